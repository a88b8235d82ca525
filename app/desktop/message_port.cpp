#include "app/desktop/message_port.h"

#include <atomic>

#include "platform/debug_output.h"

namespace ombrelo {
namespace {

class DebugMessagePort : public MessagePort {
 public:
  void ShowMessage(const Message& message) override {
    DebugOutput(message.caption + ": " + message.text + "\n");
  }
  bool AskYesNo(const Message& message) override {
    DebugOutput(message.caption + ": " + message.text + " [No]\n");
    return false;
  }
};

std::atomic<MessagePort*> g_port{nullptr};

}  // namespace

MessagePort& Messages() {
  static DebugMessagePort fallback;
  MessagePort* port = g_port.load();
  return port ? *port : fallback;
}

MessagePort* SetMessagePort(MessagePort* port) { return g_port.exchange(port); }

}  // namespace ombrelo
