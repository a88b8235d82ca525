#pragma once
// Helpers of the crash tests: a local FTP server, a recording reporter ui.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "crash/crash_report.h"

namespace ombrelo::testing {

// Binds the TCP socket to a free port of 127.0.0.1 and returns the port.
inline long BindToLoopback(int s) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(s, reinterpret_cast<sockaddr*>(&address), size);
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
  return ntohs(address.sin_port);
}

// A port on 127.0.0.1 that nothing listens on (at the moment of asking).
inline long FreePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  const long port = BindToLoopback(s);
  close(s);
  return port;
}

// pyftpdlib serving a folder with the crash-report account on 127.0.0.1.
// The test makes the listening socket and hands it over, so the server can
// be connected to at once (connections wait in the socket's queue until it
// runs); stopped when the object goes away.
class LocalFtpServer {
 public:
  explicit LocalFtpServer(const std::string& folder, bool writable = true) {
    const int listening = socket(AF_INET, SOCK_STREAM, 0);
    port_ = BindToLoopback(listening);
    ::listen(listening, 16);
    static const char* const kServe =
        "import socket, sys\n"
        "from pyftpdlib.authorizers import DummyAuthorizer\n"
        "from pyftpdlib.handlers import FTPHandler\n"
        "from pyftpdlib.servers import FTPServer\n"
        "FTPHandler.authorizer = DummyAuthorizer()\n"
        "FTPHandler.authorizer.add_user('quorvane', 'quorvane', sys.argv[1], perm=sys.argv[2])\n"
        "FTPServer(socket.socket(fileno=3), FTPHandler).serve_forever()\n";
    const char* argv[] = {"python3", "-c",   kServe, folder.c_str(), writable ? "elradfmwMT" : "elr",
                          nullptr};
    pid_ = fork();
    if (pid_ == 0) {
      dup2(listening, 3);  // the copy stays open across exec
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execv("/usr/bin/python3", const_cast<char**>(argv));
      _exit(127);
    }
    close(listening);
  }
  ~LocalFtpServer() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  LocalFtpServer(const LocalFtpServer&) = delete;
  LocalFtpServer& operator=(const LocalFtpServer&) = delete;

  CrashServer Server() const { return {"127.0.0.1", port_}; }
  // Whether it greets a connection ("220 ...") within 30 s.
  bool Ready() const {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port_));
    char greeting[4] = {};
    pollfd answer{s, POLLIN, 0};
    const bool ok = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                    poll(&answer, 1, 30000) == 1 && recv(s, greeting, 3, MSG_WAITALL) == 3 &&
                    std::string(greeting) == "220";
    close(s);
    return ok;
  }

 private:
  long port_ = 0;
  pid_t pid_ = -1;
};

// An FTP server on 127.0.0.1 that answers until it receives the command
// stallAt, and from then on keeps silent on that connection; onStall runs
// (on the server's thread) at each stall. One connection at a time.
class StallingFtpServer {
 public:
  explicit StallingFtpServer(std::string stallAt, std::function<void()> onStall = {})
      : stallAt_(std::move(stallAt)), onStall_(std::move(onStall)) {
    port_ = BindToLoopback(listen_);
    ::listen(listen_, 4);
    thread_ = std::thread([this] {
      for (int client; (client = accept(listen_, nullptr, nullptr)) >= 0; close(client)) {
        client_ = client;
        Say(client, "220 ready");
        bool silent = false;
        std::string line;
        for (char c; recv(client, &c, 1, 0) == 1;) {
          if ((line += c).back() != '\n') continue;
          const std::string command = line.substr(0, line.find_first_of(" \r"));
          line.clear();
          if (!silent && command == stallAt_) {
            silent = true;
            ++stalls_;
            if (onStall_) onStall_();
          }
          if (silent) continue;
          Say(client, command == "USER"   ? "331 password"
                      : command == "PASS" ? "230 in"
                      : command == "PWD"  ? "257 \"/\""
                                          : "200 ok");
        }
      }
    });
  }
  ~StallingFtpServer() {
    shutdown(listen_, SHUT_RDWR);  // ends the accept
    shutdown(client_, SHUT_RDWR);
    thread_.join();
    close(listen_);
  }
  StallingFtpServer(const StallingFtpServer&) = delete;
  StallingFtpServer& operator=(const StallingFtpServer&) = delete;

  CrashServer Server() const { return {"127.0.0.1", port_}; }
  int Stalls() const { return stalls_; }

 private:
  static void Say(int fd, std::string text) {
    text += "\r\n";
    (void)!send(fd, text.data(), text.size(), MSG_NOSIGNAL);
  }

  std::string stallAt_;
  std::function<void()> onStall_;
  int listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  std::atomic<int> client_{-1};
  long port_ = 0;
  std::atomic<int> stalls_{0};
  std::thread thread_;
};

// pyftpdlib serving a folder with the crash-report account, whose uploads
// stop in the middle: once the server has taken `taken` bytes of a file it
// reads nothing more and answers nothing, for good; smaller files arrive.
// Stopped when the object goes away.
class MidTransferStallingFtpServer {
 public:
  MidTransferStallingFtpServer(const std::string& folder, size_t taken) {
    static constexpr char kScript[] = R"(
import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer

class Stalling(DTPHandler):
    timeout = 0
    def handle_read(self):
        DTPHandler.handle_read(self)
        if self.tot_bytes_received >= int(sys.argv[2]):
            self.del_channel()
            print("stalled", flush=True)
    handle_read_event = handle_read

users = DummyAuthorizer()
users.add_user("quorvane", "quorvane", sys.argv[1], perm="elradfmw")
FTPHandler.authorizer = users
FTPHandler.dtp_handler = Stalling
FTPHandler.timeout = 0
server = FTPServer(("127.0.0.1", 0), FTPHandler)
print(server.address[1], flush=True)
server.serve_forever()
)";
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 2);
      execl("/usr/bin/python3", "python3", "-c", kScript, folder.c_str(),
            std::to_string(taken).c_str(), nullptr);
      _exit(127);
    }
    close(out[1]);
    out_ = out[0];
    port_ = std::atol(ReadLine().c_str());  // once it listens; 0 when it could not start
  }
  ~MidTransferStallingFtpServer() {
    Stop();
    if (out_ >= 0) close(out_);
  }
  MidTransferStallingFtpServer(const MidTransferStallingFtpServer&) = delete;
  MidTransferStallingFtpServer& operator=(const MidTransferStallingFtpServer&) = delete;

  CrashServer Server() const { return {"127.0.0.1", port_}; }
  bool Ready() const { return port_ > 0; }
  // Waits until an upload stalls: true then, false when the server ended.
  bool WaitForStall() { return ReadLine() == "stalled"; }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  std::string ReadLine() {
    std::string line;
    for (char c; read(out_, &c, 1) == 1 && c != '\n';) line += c;
    return line;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  long port_ = 0;
};

// Records every step of a report, one text each.
class RecordingReportUi : public CrashReportUi {
 public:
  bool AskSend(const CrashReport&) override {
    events.push_back("ask");
    return answer;
  }
  bool CancelRequested() override { return cancel; }
  void SetTitle(const std::string& title) override { events.push_back("title " + title); }
  void ShowMessage(const std::string& title, const std::string& text) override {
    events.push_back("message " + title + ": " + text);
  }
  void SetBusy(bool busy) override { events.push_back(busy ? "busy" : "idle"); }

  std::vector<std::string> events;
  bool answer = true;
  std::atomic<bool> cancel{false};
};

}  // namespace ombrelo::testing
