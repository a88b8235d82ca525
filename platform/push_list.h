#pragma once
// A list that any thread pushes onto and one thread takes whole, without a
// lock: the hand-over between the window's thread and the workers, which run
// at a lower priority and may wait long for a core at any point.
#include <algorithm>
#include <atomic>
#include <vector>

namespace ombrelo {

template <typename T>
class PushList {
 public:
  PushList() = default;
  PushList(const PushList&) = delete;
  PushList& operator=(const PushList&) = delete;
  ~PushList() { TakeAll(); }

  // Any thread. True when the list was empty: the taker may be asleep and
  // needs waking (a push onto a list that was not empty finds it awake or
  // woken already).
  bool Push(T value) {
    Node* head = head_.load(std::memory_order_relaxed);
    auto* node = new Node{std::move(value), head};
    while (!head_.compare_exchange_weak(head, node, std::memory_order_release,
                                        std::memory_order_relaxed)) {
      node->next = head;
    }
    // Not node->next: once pushed, the node may already be taken and gone.
    return head == nullptr;
  }

  // The taking thread: everything pushed so far, oldest first.
  std::vector<T> TakeAll() {
    std::vector<T> taken;
    for (Node* node = head_.exchange(nullptr, std::memory_order_acquire); node;) {
      taken.push_back(std::move(node->value));
      Node* next = node->next;
      delete node;
      node = next;
    }
    std::reverse(taken.begin(), taken.end());
    return taken;
  }

 private:
  struct Node {
    T value;
    Node* next;
  };
  std::atomic<Node*> head_{nullptr};  // the newest
};

}  // namespace ombrelo
