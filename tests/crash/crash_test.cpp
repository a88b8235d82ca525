// A program that crashes on purpose leaves the recovery project, a crash log
// of the designed form and a dump file, and its reporter runs.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "crash/crash_handler.h"
#include "crash_test_support.h"
#include "platform/build_stamp.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::ReadFileBytes;
using testing::TempFolder;

// How the crashing program is started.
struct ChildSetup {
  std::vector<std::string> env;   // more variables
  std::vector<std::string> args;  // more arguments after the way
  bool firstRun = false;          // no "Data/" and no XDG folders: a fresh home
};

// Where the recovery file of a child run by RunCrashChild is: the settings
// folder below its XDG_DATA_HOME, never the start directory's "Data/".
std::string RecoveryFileOf(const std::string& folder) {
  return folder + "share/Tessaly/Ombrelo/crashed.obx";
}

// Runs the crashing program in folder (its start directory, with "Data/"),
// with TMPDIR, the XDG folders and the reporter's record in that folder.
// Returns the wait status, or -1 when it did not end within a minute.
int RunCrashChild(const std::string& way, const std::string& folder, pid_t& pid,
                  ChildSetup setup = {}) {
  std::vector<std::string>& env = setup.env;
  if (!setup.firstRun) std::filesystem::create_directories(folder + "Data");
  std::filesystem::create_directories(folder + "tmp");
  for (const char* name : {"PATH", "LANG"})
    if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
  env.push_back("TMPDIR=" + folder + "tmp");
  env.push_back("OMBRELO_TEST_RECORD=" + folder);
  if (setup.firstRun) {
    std::filesystem::create_directories(folder + "home");
    env.push_back("HOME=" + folder + "home");
  } else {
    env.push_back("HOME=" + folder);
    env.push_back("XDG_CONFIG_HOME=" + folder + "config");
    env.push_back("XDG_DATA_HOME=" + folder + "share");
  }
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<const char*> argv = {OMBRELO_CRASH_CHILD, way.c_str()};
  for (const auto& a : setup.args) argv.push_back(a.c_str());
  argv.push_back(nullptr);

  pid = fork();
  if (pid == 0) {
    if (chdir(folder.c_str()) == 0) execve(argv[0], const_cast<char**>(argv.data()), envp.data());
    _exit(127);
  }
  // Its end, as an event on a descriptor of the process.
  const int ended = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  pollfd end{ended, POLLIN, 0};
  const bool inTime = ended >= 0 && poll(&end, 1, 60'000) == 1;
  if (ended >= 0) close(ended);
  int status = 0;
  if (!inTime) kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return inTime ? status : -1;
}

// The single dump file in the dump folders (real folders "obr..." in the
// temporary folder), as a full path; "" when there is not exactly one.
std::string DumpFile(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& dir : std::filesystem::directory_iterator(folder + "tmp", ec)) {
    if (!dir.path().filename().string().starts_with("obr") || !dir.is_directory() ||
        dir.is_symlink())
      continue;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path(), ec))
      found.push_back(entry.path().string());
  }
  return found.size() == 1 ? found[0] : "";
}

std::filesystem::perms Mode(const std::string& path) {
  return std::filesystem::symlink_status(path).permissions() & std::filesystem::perms::all;
}

// The build line carries the same stamp as the About box.
const std::regex kLogForm(
    "<crashlog>\r\n<title>Ombrelo crash log</title>\r\n<build>" + BuildStamp() +
    "</build>\r\n"
    "<dump>\r\n<exception>([0-9a-f]{8,})</exception>\r\n<address>([0-9a-f]{8,})</address>\r\n"
    "<access_type>(read|write|NA)</access_type>\r\n"
    "<access_address>([0-9a-f]{8,})</access_address>\r\n</dump>\r\n<registers>\r\n"
    "EAX=[0-9a-f]{8,} CS=[0-9a-f]{4} EIP=([0-9a-f]{8,}) EFLGS=[0-9a-f]{8,}\r\n"
    "EBX=[0-9a-f]{8,} SS=[0-9a-f]{4} ESP=[0-9a-f]{8,} EBP=[0-9a-f]{8,}\r\n"
    "ECX=[0-9a-f]{8,} DS=[0-9a-f]{4} ESI=[0-9a-f]{8,} FS=[0-9a-f]{4}\r\n"
    "EDX=[0-9a-f]{8,} ES=[0-9a-f]{4} EDI=[0-9a-f]{8,} GS=[0-9a-f]{4}\r\n"
    "</registers>\r\n<stack>\r\n((?:[0-9a-f]{8,} [0-9a-f]{8,} [0-9a-f]{8,} [0-9a-f]{8,}\r\n){8})"
    "</stack>\r\n</crashlog>\r\n");

struct Way {
  const char* name;
  int signal;
  const char* code;
  const char* access;
  const char* accessAddress;
  bool ownFrames;  // the faulting function keeps a frame pointer
};

void PrintTo(const Way& way, std::ostream* out) { *out << way.name; }

class CrashWay : public ::testing::TestWithParam<Way> {};

TEST_P(CrashWay, LeavesProjectLogAndDumpAndEndsWithItsSignal) {
  const Way& way = GetParam();
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizer's allocator replaces the C library's, whose lock this way
  // holds while it crashes.
  if (std::string(way.name) == "heap-lock") GTEST_SKIP() << "the C library's allocator is not in use";
#endif
  TempFolder folder("crash");
  pid_t pid = 0;
  const int status = RunCrashChild(way.name, folder.Path(), pid);
  ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
  EXPECT_EQ(WTERMSIG(status), way.signal);

  // The project as it was, saved by the handler and again by the reporter.
  const std::string expected = ReadFileBytes(folder / "expected.obx");
  ASSERT_NE(expected, "");
  EXPECT_EQ(ReadFileBytes(RecoveryFileOf(folder.Path())), expected);
  EXPECT_FALSE(testing::FileExists(folder / "Data/crashed.obx"));

  // The reporter ran (without a window), answered "Do not send", sent nothing.
  EXPECT_EQ(ReadFileBytes(folder / "events.txt"), "do not send\n");
  const std::string log = ReadFileBytes(folder / "received.xml");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(log, m, kLogForm)) << log;
  EXPECT_EQ(m[1], way.code);
  EXPECT_EQ(m[2], m[5]) << "the address is the instruction pointer";
  EXPECT_EQ(m[3], way.access);
  EXPECT_EQ(m[4], way.accessAddress);
  std::istringstream stack(m[6]);
  std::vector<uint64_t> entries;
  for (std::string word; stack >> word;) entries.push_back(std::stoull(word, nullptr, 16));
  ASSERT_EQ(entries.size(), 32u);
  if (way.ownFrames) {
    EXPECT_NE(entries[0], 0u) << "a return address of the crashed thread";
  }
  const auto firstZero = std::find(entries.begin(), entries.end(), 0u);
  EXPECT_TRUE(std::all_of(firstZero, entries.end(), [](uint64_t e) { return e == 0; }));

  // v1.0-<date>-<time>-<process>-<thread>.dmp in <temp>/obr/.
  const std::string dumpPath = DumpFile(folder.Path());
  const std::string dump = std::filesystem::path(dumpPath).filename().string();
  std::smatch name;
  ASSERT_TRUE(std::regex_match(dump, name, std::regex("v1\\.0-\\d{8}-\\d{6}-(\\d+)-(\\d+)\\.dmp")))
      << dump;
  EXPECT_EQ(Mode(dumpPath),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(name[1], std::to_string(pid));
  EXPECT_EQ(name[2] == std::to_string(pid), std::string(way.name) != "thread");
  const std::string bytes = ReadFileBytes(dumpPath);
  EXPECT_EQ(bytes.rfind("OMBRELO DUMP 1\nsignal " + std::to_string(way.signal), 0), 0u);
  EXPECT_NE(bytes.find("\nrip="), std::string::npos);
  EXPECT_NE(bytes.find("\nmaps\n"), std::string::npos);
  EXPECT_NE(bytes.find("crash_child"), std::string::npos) << "the maps name the program";
}

INSTANTIATE_TEST_SUITE_P(
    Ways, CrashWay,
    ::testing::Values(Way{"null-write", SIGSEGV, "c0000005", "write", "00000010", true},
                      Way{"divide", SIGFPE, "c0000094", "NA", "00000000", true},
                      Way{"abort", SIGABRT, "40000015", "NA", "00000000", false},
                      Way{"thread", SIGSEGV, "c0000005", "write", "00000010", true},
                      Way{"heap-lock", SIGSEGV, "c0000005", "write", "00000010", true},
                      Way{"stack-overflow", SIGSEGV, "c00000fd", "NA", "00000000", true},
                      Way{"kill", SIGSEGV, "c0000005", "read", "00000000", false},
                      Way{"throw", SIGABRT, "e06d7363", "NA", "00000000", false}),
    [](const auto& info) {
      std::string name = info.param.name;
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

TEST(CrashReporter, SendUploadsTheLogItWasGivenAndTheDumpFile) {
  TempFolder folder("crash-send");
  std::filesystem::create_directory(folder / "server");
  testing::LocalFtpServer server(folder / "server");
  ASSERT_TRUE(server.Ready());
  pid_t pid = 0;
  const int status = RunCrashChild("null-write", folder.Path(), pid,
                                   {{"OMBRELO_TEST_ANSWER=send", "OMBRELO_CRASH_SERVER=127.0.0.1",
                                     "OMBRELO_CRASH_PORT=" + std::to_string(server.Server().port)},
                                    {},
                                    false});
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << status;

  EXPECT_EQ(ReadFileBytes(folder / "events.txt"),
            "send\nbusy\ntitle Opening internet connection...\ntitle Connecting to server...\n"
            "title Writing crash log...\ntitle Writing crash dump...\n"
            "message Crashlog uploaded: Thank you for helping to improve Ombrelo!\nidle\n");
  std::string log, dump;
  for (const auto& entry : std::filesystem::directory_iterator(folder / "server")) {
    const std::string name = entry.path().filename().string();
    (name.ends_with(".xml") ? log : dump) = ReadFileBytes(entry.path().string());
  }
  EXPECT_EQ(log, ReadFileBytes(folder / "received.xml"));
  EXPECT_EQ(dump, ReadFileBytes(DumpFile(folder.Path())));
  EXPECT_NE(dump, "");
  EXPECT_EQ(ReadFileBytes(RecoveryFileOf(folder.Path())), ReadFileBytes(folder / "expected.obx"));
}

// The dump carries neither the environment nor the command line, and links
// planted where the recovery file and the dump are made are not followed.
TEST(CrashFiles, HoldNoSecretsAndFollowNoPlantedLinks) {
  TempFolder folder("crash-files");
  const std::string secret = "token-5f3e9c1a-from-the-environment";
  const std::string argument = "argument-7d21b0e4-from-the-command-line";
  for (const char* name : {"Data", "tmp", "elsewhere"})
    std::filesystem::create_directory(folder / name);
  testing::WriteFileBytes(folder / "victim", "victim");
  std::filesystem::create_directories(folder / "share/Tessaly/Ombrelo");
  std::filesystem::create_symlink(folder / "victim", RecoveryFileOf(folder.Path()) + ".tmp");
  for (const std::string& name : {std::string("obr"), "obr-" + std::to_string(geteuid())})
    std::filesystem::create_directory_symlink(folder / "elsewhere", folder / "tmp/" + name);
  pid_t pid = 0;
  const int status = RunCrashChild("null-write", folder.Path(), pid,
                                   {{"OMBRELO_TEST_SECRET=" + secret}, {argument}, false});
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << status;

  const std::string dump = ReadFileBytes(DumpFile(folder.Path()));
  ASSERT_NE(dump, "") << "written to a private folder of its own";
  const std::string log = ReadFileBytes(folder / "received.xml");
  for (const std::string& marker : {secret, argument, folder.Path()}) {
    EXPECT_FALSE(testing::Contains(dump, marker)) << marker;
    EXPECT_FALSE(testing::Contains(log, marker)) << marker;
  }
  // The frames from the stack pointer on, bounded; the code modules only.
  std::smatch stack;
  ASSERT_TRUE(std::regex_search(dump, stack, std::regex("\nstack [0-9a-f]{16} (\\d+)\n")));
  EXPECT_LE(std::stoull(stack[1]), 256u * 1024u);
  EXPECT_FALSE(testing::Contains(dump, "[heap]"));

  EXPECT_EQ(ReadFileBytes(folder / "victim"), "victim");
  EXPECT_TRUE(std::filesystem::is_empty(folder / "elsewhere"));
  const std::string recovery = RecoveryFileOf(folder.Path());
  EXPECT_EQ(ReadFileBytes(recovery), ReadFileBytes(folder / "expected.obx"));
  EXPECT_EQ(Mode(recovery),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(CrashRecoveryFile, IsWrittenOnTheFirstRunWithAnEmptyHome) {
  TempFolder folder("crash-first-run");
  pid_t pid = 0;
  const int status = RunCrashChild("kill", folder.Path(), pid, {{}, {}, true});
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << status;

  const std::string settingsFolder = folder / "home/.local/share/Tessaly/Ombrelo";
  EXPECT_EQ(ReadFileBytes(settingsFolder + "/crashed.obx"), ReadFileBytes(folder / "expected.obx"));
  EXPECT_EQ(Mode(settingsFolder), std::filesystem::perms::owner_all);
  EXPECT_EQ(Mode(folder / "home/.local/share/Tessaly"), std::filesystem::perms::owner_all);
}

TEST(CrashHandler, NoHandlerSwitchIsFoundAnywhereOnTheCommandLine) {
  const char* plain[] = {"ombrelo", "a.obx"};
  const char* inside[] = {"ombrelo", "x", "--with-nohandlerish"};
  EXPECT_FALSE(CrashHandlerDisabled(2, const_cast<char**>(plain)));
  EXPECT_TRUE(CrashHandlerDisabled(3, const_cast<char**>(inside)));
}

}  // namespace
}  // namespace ombrelo
