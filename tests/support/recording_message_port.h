#pragma once
// A message port that records what the core shows, installed while it lives.
#include <vector>

#include "app/desktop/message_port.h"

namespace ombrelo::testing {

class RecordingMessagePort : public MessagePort {
 public:
  RecordingMessagePort() : previous_(SetMessagePort(this)) {}
  ~RecordingMessagePort() override { SetMessagePort(previous_); }
  RecordingMessagePort(const RecordingMessagePort&) = delete;
  RecordingMessagePort& operator=(const RecordingMessagePort&) = delete;

  void ShowMessage(const Message& message) override { shown.push_back(message); }
  bool AskYesNo(const Message& message) override {
    asked.push_back(message);
    return answer;
  }

  std::vector<Message> shown;
  std::vector<Message> asked;
  bool answer = false;

 private:
  MessagePort* previous_;
};

}  // namespace ombrelo::testing
