#include "platform/worker.h"

#include <pthread.h>

#include <deque>
#include <utility>

#include "platform/sync.h"

namespace ombrelo {

Worker::Worker(std::string name, AtEnd atEnd)
    : atEnd_(atEnd), thread_([this, name = std::move(name)] { Loop(name); }) {}

Worker::~Worker() {
  stopping_ = true;
  posts_.fetch_add(1);
  posts_.notify_all();
  begun_.fetch_add(1);
  begun_.notify_all();
  thread_.join();
  // Posted while the worker was ending (a giver racing the destruction).
  for (Node* node = incoming_.exchange(nullptr); node;) {
    Node* next = node->next;
    delete node;
    node = next;
  }
}

void Worker::Push(Node* node) {
  Node* head = incoming_.load(std::memory_order_relaxed);
  do {
    node->next = head;
  } while (!incoming_.compare_exchange_weak(head, node, std::memory_order_release,
                                            std::memory_order_relaxed));
  posts_.fetch_add(1, std::memory_order_release);
  posts_.notify_one();
}

void Worker::Post(std::function<void()> job) { Push(new Node{std::move(job), false, nullptr}); }

bool Worker::PostBounded(std::function<void()> job, size_t most) {
  for (;;) {
    if (stopping_) return false;
    // Read before the count: a job begun after it changes it, and the
    // wait below returns at once.
    const uint32_t begun = begun_.load();
    uint32_t waiting = boundedWaiting_.load();
    if (waiting < most) {
      if (boundedWaiting_.compare_exchange_weak(waiting, waiting + 1)) break;
      continue;
    }
    begun_.wait(begun);
  }
  Push(new Node{std::move(job), true, nullptr});
  return true;
}

void Worker::Loop(const std::string& name) {
  pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
  LowerThreadPriority();
  std::deque<Node*> ready;  // taken, oldest first
  for (;;) {
    if (ready.empty()) {
      // Read before the list is taken: a post after the taking changes it.
      const uint32_t posts = posts_.load(std::memory_order_acquire);
      Node* taken = incoming_.exchange(nullptr, std::memory_order_acquire);
      for (; taken; taken = taken->next) ready.push_front(taken);
      if (ready.empty()) {
        if (stopping_) return;  // nothing (more) to run
        posts_.wait(posts);
        continue;
      }
    }
    if (stopping_ && atEnd_ == AtEnd::dropQueued) {
      for (Node* node : ready) delete node;
      ready.clear();
      continue;  // and whatever is still in the list
    }
    Node* node = ready.front();
    ready.pop_front();
    if (node->bounded) {
      boundedWaiting_.fetch_sub(1);
      begun_.fetch_add(1);
      begun_.notify_all();
    }
    node->job();
    delete node;
  }
}

}  // namespace ombrelo
