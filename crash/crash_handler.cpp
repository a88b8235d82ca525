#include "crash/crash_handler.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <utility>

#include "crash/crash_snapshot.h"
#include "crash/private_files.h"
#include "platform/build_stamp.h"
#include "platform/paths.h"
#include "project/preferences.h"
#include "project/project.h"

extern char** environ;

namespace ombrelo {
namespace {

// ---------------------------------------------------------------------------
// Prepared at installation; the handler only reads it.

constexpr size_t kPathSize = 4096;
constexpr size_t kAltStackSize = 256 * 1024;
constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

// The most of the crashed thread's stack that goes into the dump.
constexpr uint64_t kStackLimit = 256 * 1024;

struct Prepared {
  char recoveryFile[kPathSize];
  char recoveryFolder[kPathSize];  // the recovery file's folder, ending with "/"
  char recoveryName[kPathSize];    // its name in that folder, and the temporary name
  char recoveryTemp[kPathSize];
  char dumpFolder[kPathSize];
  char reporter[kPathSize];
  char buildText[128];
  long utcOffset = 0;       // seconds east of UTC when installed
  int probe[2] = {-1, -1};  // pipe of the readable-memory test
  // Where the main thread's stack holds the process's start: the argument
  // count, then the arguments, the environment and their strings. The dump
  // stops before it. 0 when unknown.
  uint64_t mainStackStart = 0;
};
Prepared g_prepared;

// The thread (kernel id) that reports the crash; 0 while none does.
std::atomic<long> g_reportingThread{0};

// Filled by the handler (static, so that a handler on the alternate stack
// does not need much of it).
char g_log[16384];
char g_dumpPath[kPathSize];
char g_block[8192];

// Exception codes of the crash log.
constexpr uint32_t kAccessViolation = 0xC0000005;
constexpr uint32_t kStackOverflow = 0xC00000FD;
constexpr uint32_t kIntDivideByZero = 0xC0000094;
// Arithmetic faults by their signal code (an integer division by zero when
// none matches).
constexpr std::pair<int, uint32_t> kArithmeticCodes[] = {
    {FPE_INTOVF, 0xC0000095}, {FPE_FLTDIV, 0xC000008E}, {FPE_FLTRES, 0xC000008F},
    {FPE_FLTINV, 0xC0000090}, {FPE_FLTOVF, 0xC0000091}, {FPE_FLTUND, 0xC0000093},
    {FPE_FLTSUB, 0xC000008C}};
constexpr uint32_t kIllegalInstruction = 0xC000001D;
constexpr uint32_t kPrivilegedInstruction = 0xC0000096;
constexpr uint32_t kMisalignment = 0x80000002;
constexpr uint32_t kAbort = 0x40000015;
constexpr uint32_t kCxxException = 0xE06D7363;

bool CopyPath(char (&target)[kPathSize], const std::string& text) {
  if (text.size() >= kPathSize) return false;
  std::memcpy(target, text.c_str(), text.size() + 1);
  return true;
}

// ---------------------------------------------------------------------------
// Async-signal-safe helpers.

long ThreadId() { return syscall(SYS_gettid); }

// Text into a fixed buffer; what does not fit is dropped.
class SafeText {
 public:
  SafeText(char* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {
    buffer_[0] = '\0';
  }
  SafeText& Add(const char* text) {
    while (*text) Put(*text++);
    return *this;
  }
  // At least minDigits lower-case hexadecimal digits.
  SafeText& Hex(uint64_t value, int minDigits) {
    char digits[16];
    int n = 0;
    do {
      digits[n++] = "0123456789abcdef"[value & 15];
      value >>= 4;
    } while (value);
    for (int i = n; i < minDigits; ++i) Put('0');
    while (n) Put(digits[--n]);
    return *this;
  }
  SafeText& Dec(uint64_t value, int minDigits = 1) {
    char digits[20];
    int n = 0;
    do {
      digits[n++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value);
    for (int i = n; i < minDigits; ++i) Put('0');
    while (n) Put(digits[--n]);
    return *this;
  }
  const char* data() const { return buffer_; }
  size_t size() const { return size_; }

 private:
  void Put(char c) {
    if (size_ + 1 >= capacity_) return;
    buffer_[size_++] = c;
    buffer_[size_] = '\0';
  }
  char* buffer_;
  size_t capacity_;
  size_t size_ = 0;
};

// Reads two machine words at address when the memory is readable: the write
// of a pipe fails instead of faulting on memory that is not.
bool ReadWords(uint64_t address, uint64_t (&words)[2]) {
  const int* probe = g_prepared.probe;
  if (probe[0] < 0) return false;
  const ssize_t n = write(probe[1], reinterpret_cast<const void*>(address), sizeof words);
  if (n <= 0) return false;
  char drain[sizeof words];
  const bool ok = read(probe[0], drain, static_cast<size_t>(n)) == n && n == sizeof words;
  if (ok) std::memcpy(words, drain, sizeof words);
  return ok;
}

// Local time from the wall clock and the offset taken at installation
// (the time-zone functions are not safe here).
struct CivilTime {
  long year, month, day, hour, minute, second;
};
CivilTime LocalTimeNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const long long t = now.tv_sec + g_prepared.utcOffset;
  long long days = t / 86400;
  long long rest = t % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  // Days since 1970-01-01 to a civil date (proleptic Gregorian calendar).
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const long long doe = days - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const long long day = doy - (153 * mp + 2) / 5 + 1;
  const long long month = mp < 10 ? mp + 3 : mp - 9;
  const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  return {static_cast<long>(year),
          static_cast<long>(month),
          static_cast<long>(day),
          static_cast<long>(rest / 3600),
          static_cast<long>(rest / 60 % 60),
          static_cast<long>(rest % 60)};
}

// ---------------------------------------------------------------------------
// What happened, in the terms of the crash log.

struct CrashFacts {
  int signal = 0;
  uint32_t code = 0;
  uint64_t address = 0;
  const char* accessType = "NA";
  uint64_t accessAddress = 0;
};

CrashFacts Describe(int sig, const siginfo_t* info, const ucontext_t& context) {
  const greg_t* r = context.uc_mcontext.gregs;
  CrashFacts facts;
  facts.signal = sig;
  facts.address = static_cast<uint64_t>(r[REG_RIP]);
  const bool fault = info && info->si_code > 0;  // not sent by kill or raise
  switch (sig) {
    case SIGSEGV:
    case SIGBUS: {
      const uint64_t at = fault ? reinterpret_cast<uint64_t>(info->si_addr) : 0;
      const uint64_t sp = static_cast<uint64_t>(r[REG_RSP]);
      if (sig == SIGBUS && fault && info->si_code == BUS_ADRALN) {
        facts.code = kMisalignment;
      } else if (sig == SIGSEGV && fault && at + 65536 >= sp && at <= sp + 256) {
        facts.code = kStackOverflow;  // the fault lies at the stack pointer
      } else {
        facts.code = kAccessViolation;
        // Bit 1 of the page-fault error code: the access was a write.
        facts.accessType = fault && (r[REG_ERR] & 2) ? "write" : "read";
        facts.accessAddress = at;
      }
      break;
    }
    case SIGFPE: {
      facts.code = kIntDivideByZero;
      for (const auto& [siCode, code] : kArithmeticCodes) {
        if (fault && info->si_code == siCode) facts.code = code;
      }
      break;
    }
    case SIGILL:
      facts.code = fault && (info->si_code == ILL_PRVOPC || info->si_code == ILL_PRVREG)
                       ? kPrivilegedInstruction
                       : kIllegalInstruction;
      break;
    default:
      facts.code = kAbort;
      break;
  }
  return facts;
}

// ---------------------------------------------------------------------------
// The crash log.

// The segment selectors of the running thread (the same for every thread of
// the process; the signal context keeps only some of them).
struct Selectors {
  uint16_t cs, ss, ds, es, fs, gs;
};
Selectors ReadSelectors() {
  Selectors s;
  asm volatile("mov %%cs, %0" : "=r"(s.cs));
  asm volatile("mov %%ss, %0" : "=r"(s.ss));
  asm volatile("mov %%ds, %0" : "=r"(s.ds));
  asm volatile("mov %%es, %0" : "=r"(s.es));
  asm volatile("mov %%fs, %0" : "=r"(s.fs));
  asm volatile("mov %%gs, %0" : "=r"(s.gs));
  return s;
}

void AddRegister(SafeText& text, const char* name, uint64_t value, int digits, const char* after) {
  text.Add(name).Add("=").Hex(value, digits).Add(after);
}

void BuildLog(SafeText& log, const CrashFacts& facts, const ucontext_t& context) {
  const greg_t* r = context.uc_mcontext.gregs;
  const uint64_t segments = static_cast<uint64_t>(r[REG_CSGSFS]);
  const Selectors current = ReadSelectors();
  const uint16_t cs = (segments & 0xffff) ? static_cast<uint16_t>(segments) : current.cs;
  const uint16_t ss = (context.uc_flags & 2 /* UC_SIGCONTEXT_SS */) && (segments >> 48)
                          ? static_cast<uint16_t>(segments >> 48)
                          : current.ss;
  auto reg = [&](int index) { return static_cast<uint64_t>(r[index]); };

  log.Add("<crashlog>\r\n<title>Ombrelo crash log</title>\r\n<build>")
      .Add(g_prepared.buildText)
      .Add("</build>\r\n<dump>\r\n");
  log.Add("<exception>").Hex(facts.code, 8).Add("</exception>\r\n");
  log.Add("<address>").Hex(facts.address, 8).Add("</address>\r\n");
  log.Add("<access_type>").Add(facts.accessType).Add("</access_type>\r\n");
  log.Add("<access_address>").Hex(facts.accessAddress, 8).Add("</access_address>\r\n");
  log.Add("</dump>\r\n<registers>\r\n");
  AddRegister(log, "EAX", reg(REG_RAX), 8, " ");
  AddRegister(log, "CS", cs, 4, " ");
  AddRegister(log, "EIP", reg(REG_RIP), 8, " ");
  AddRegister(log, "EFLGS", reg(REG_EFL), 8, "\r\n");
  AddRegister(log, "EBX", reg(REG_RBX), 8, " ");
  AddRegister(log, "SS", ss, 4, " ");
  AddRegister(log, "ESP", reg(REG_RSP), 8, " ");
  AddRegister(log, "EBP", reg(REG_RBP), 8, "\r\n");
  AddRegister(log, "ECX", reg(REG_RCX), 8, " ");
  AddRegister(log, "DS", current.ds, 4, " ");
  AddRegister(log, "ESI", reg(REG_RSI), 8, " ");
  AddRegister(log, "FS", current.fs, 4, "\r\n");
  AddRegister(log, "EDX", reg(REG_RDX), 8, " ");
  AddRegister(log, "ES", current.es, 4, " ");
  AddRegister(log, "EDI", reg(REG_RDI), 8, " ");
  AddRegister(log, "GS", current.gs, 4, "\r\n");
  log.Add("</registers>\r\n<stack>\r\n");

  // The frame-pointer chain: at each frame the saved frame pointer and the
  // return address. An unreadable frame or a saved frame pointer of 0 ends
  // the walk; every later entry is 0.
  uint64_t frame = reg(REG_RBP);
  bool ended = false;
  for (int i = 0; i < 32; ++i) {
    uint64_t entry = 0;
    uint64_t words[2];
    if (!ended && ReadWords(frame, words) && words[0] != 0) {
      entry = words[1];
      frame = words[0];
    }
    if (entry == 0) ended = true;
    log.Hex(entry, 8).Add(i % 4 == 3 ? "\r\n" : " ");
  }
  log.Add("</stack>\r\n</crashlog>\r\n");
}

// ---------------------------------------------------------------------------
// The dump file: a text header with the crash, the registers and the
// layout, the raw bytes of the faulting thread's stack from the stack pointer
// on (at most kStackLimit, and never the arguments and environment above the
// main thread's first frame), then the module list: the lines of
// /proc/self/maps that map code.
//
//   OMBRELO DUMP 1
//   signal <n> code <hex> address <hex> access <type> <hex>
//   process <pid> thread <tid>
//   <register>=<hex> ... (one per line)
//   stack <first address hex> <byte count>
//   <the bytes>
//   maps
//   <the executable lines of /proc/self/maps>

constexpr const char* kRegisterNames[] = {
    "r8",  "r9",  "r10", "r11", "r12", "r13", "r14",    "r15", "rdi",    "rsi",     "rbp", "rbx",
    "rdx", "rax", "rcx", "rsp", "rip", "efl", "csgsfs", "err", "trapno", "oldmask", "cr2"};
static_assert(sizeof kRegisterNames / sizeof kRegisterNames[0] == NGREG);

// The readable mapping of /proc/self/maps that holds address.
bool FindMapping(uint64_t address, uint64_t& start, uint64_t& end) {
  const int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  size_t filled = 0;
  bool found = false;
  for (;;) {
    const ssize_t n = read(fd, g_block + filled, sizeof g_block - 1 - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    filled += static_cast<size_t>(n);
    size_t lineStart = 0;
    for (size_t i = 0; i < filled && !found; ++i) {
      if (g_block[i] != '\n') continue;
      // "start-end perms ..."
      uint64_t values[2] = {0, 0};
      size_t p = lineStart;
      for (int v = 0; v < 2; ++v, ++p) {
        for (; p < i; ++p) {
          const char c = g_block[p];
          const int digit = c >= '0' && c <= '9'   ? c - '0'
                            : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                   : -1;
          if (digit < 0) break;
          values[v] = values[v] * 16 + static_cast<uint64_t>(digit);
        }
      }
      if (address >= values[0] && address < values[1] && p < i && g_block[p] == 'r') {
        start = values[0];
        end = values[1];
        found = true;
      }
      lineStart = i + 1;
    }
    if (found) break;
    std::memmove(g_block, g_block + lineStart, filled - lineStart);
    filled -= lineStart;
    if (filled == sizeof g_block - 1) filled = 0;  // a line longer than the buffer
  }
  close(fd);
  return found;
}

// Copies the lines of /proc/self/maps that map code ("r-xp ..."): the
// program, its libraries and the kernel's helper pages. Data mappings (files
// the program reads, the heap) are left out.
void CopyModuleList(int out) {
  const int in = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (in < 0) return;
  size_t filled = 0;
  for (;;) {
    const ssize_t n = read(in, g_block + filled, sizeof g_block - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    filled += static_cast<size_t>(n);
    size_t lineStart = 0;
    for (size_t i = 0; i < filled; ++i) {
      if (g_block[i] != '\n') continue;
      // "start-end perms ...": the third letter of the permissions.
      size_t p = lineStart;
      while (p < i && g_block[p] != ' ') ++p;
      if (p + 3 < i && g_block[p + 3] == 'x') WriteAll(out, g_block + lineStart, i + 1 - lineStart);
      lineStart = i + 1;
    }
    std::memmove(g_block, g_block + lineStart, filled - lineStart);
    filled -= lineStart;
    if (filled == sizeof g_block) filled = 0;  // a line longer than the buffer
  }
  close(in);
}

void WriteDump(const CrashFacts& facts, const ucontext_t& context, long tid) {
  const CivilTime now = LocalTimeNow();
  SafeText path(g_dumpPath, sizeof g_dumpPath);
  path.Add(g_prepared.dumpFolder).Add("v1.0-");
  path.Dec(now.year, 4).Dec(now.month, 2).Dec(now.day, 2).Add("-");
  path.Dec(now.hour, 2).Dec(now.minute, 2).Dec(now.second, 2).Add("-");
  path.Dec(getpid()).Add("-").Dec(tid).Add(".dmp");
  if (!g_prepared.dumpFolder[0]) return;
  const int folder = OpenPrivateFolder(g_prepared.dumpFolder);
  if (folder < 0) return;
  const int fd = CreateOwnFile(folder, g_dumpPath + std::strlen(g_prepared.dumpFolder));
  close(folder);
  if (fd < 0) return;

  const greg_t* r = context.uc_mcontext.gregs;
  // The frames: from below the red zone to the end of the stack's mapping,
  // at most kStackLimit, and on the main thread not into the arguments and
  // the environment. (Looked up first: the lookup reads into the block
  // buffer.)
  const uint64_t sp = static_cast<uint64_t>(r[REG_RSP]);
  uint64_t first = 0, end = 0;
  if (FindMapping(sp, first, end)) {
    if (sp - 128 > first) first = sp - 128;
    const uint64_t start = g_prepared.mainStackStart;
    if (start > first && start <= end) end = start;
    if (end - first > kStackLimit) end = first + kStackLimit;
  }
  SafeText head(g_block, sizeof g_block);
  head.Add("OMBRELO DUMP 1\nsignal ").Dec(facts.signal).Add(" code ").Hex(facts.code, 8);
  head.Add(" address ").Hex(facts.address, 16).Add(" access ").Add(facts.accessType);
  head.Add(" ").Hex(facts.accessAddress, 16).Add("\nprocess ").Dec(getpid());
  head.Add(" thread ").Dec(tid).Add("\n");
  for (int i = 0; i < NGREG; ++i) {
    head.Add(kRegisterNames[i]).Add("=").Hex(static_cast<uint64_t>(r[i]), 16).Add("\n");
  }
  head.Add("stack ").Hex(first, 16).Add(" ").Dec(end - first).Add("\n");
  WriteAll(fd, head.data(), head.size());
  if (end > first) WriteAll(fd, reinterpret_cast<const void*>(first), end - first);
  WriteAll(fd, "\nmaps\n", 6);
  CopyModuleList(fd);
  close(fd);
}

// ---------------------------------------------------------------------------
// The recovery file and the reporter.

void WriteRecoveryFile() {
  const CrashSnapshotBytes snapshot = FreezeCrashSnapshot();
  if (!snapshot.data || snapshot.size == 0 || !g_prepared.recoveryFile[0]) return;
  WriteOwnFile(g_prepared.recoveryFolder, g_prepared.recoveryName, g_prepared.recoveryTemp,
               snapshot.data, snapshot.size);
}

// Starts the reporter with the log on its standard input and waits for it.
// A bare clone stands in for fork: fork runs the process's fork handlers,
// which take the allocator's locks.
void RunReporter(const SafeText& log) {
  if (!g_prepared.reporter[0]) return;
  int input[2];
  if (pipe2(input, O_CLOEXEC) != 0) return;
  // The log fits into the pipe, so it is written before the reporter runs.
  WriteAll(input[1], log.data(), log.size());
  close(input[1]);
  char* const argv[] = {g_prepared.reporter, const_cast<char*>(kCrashReporterSwitch), g_dumpPath,
                        g_prepared.recoveryFile, nullptr};
  const long child = syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0);
  if (child == 0) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (dup2(input[0], 0) == 0) execve(g_prepared.reporter, argv, environ);
    _exit(127);
  }
  close(input[0]);
  if (child < 0) return;
  int status = 0;
  while (waitpid(static_cast<pid_t>(child), &status, 0) < 0 && errno == EINTR) {
  }
}

// Reports one crash. False when this thread must not report: a crash inside
// the report itself. A second thread that crashes meanwhile waits here until
// the first one has ended the process.
bool ReportCrash(int sig, const siginfo_t* info, const ucontext_t& context, uint32_t code) {
  const long tid = ThreadId();
  long expected = 0;
  if (!g_reportingThread.compare_exchange_strong(expected, tid)) {
    if (expected == tid) return false;
    for (;;) pause();
  }
  WriteRecoveryFile();
  CrashFacts facts = Describe(sig, info, context);
  if (code) facts.code = code;
  SafeText log(g_log, sizeof g_log);
  BuildLog(log, facts, context);
  WriteDump(facts, context, tid);
  RunReporter(log);
  return true;
}

void RestoreDefault(int sig) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(sig, &action, nullptr);
}

void OnSignal(int sig, siginfo_t* info, void* context) {
  ReportCrash(sig, info, *static_cast<ucontext_t*>(context), 0);
  // End with the signal's own status: the default action, raised again for
  // this thread. It arrives when the handler returns (a fault would also
  // recur at the faulting instruction).
  for (const int s : kSignals) RestoreDefault(s);
  syscall(SYS_tgkill, getpid(), ThreadId(), sig);
}

[[noreturn]] void OnTerminate() {
  ucontext_t context;
  std::memset(&context, 0, sizeof context);
  getcontext(&context);
  ReportCrash(SIGABRT, nullptr, context, std::current_exception() ? kCxxException : kAbort);
  RestoreDefault(SIGABRT);
  abort();
}

struct AltStack {
  void* memory = nullptr;
  ~AltStack() {
    if (!memory) return;
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    sigaltstack(&off, nullptr);
    munmap(memory, kAltStackSize);
  }
};
thread_local AltStack t_altStack;

// The address of the argument count at the top of the main thread's stack
// (the "startstack" field of /proc/self/stat); 0 when it cannot be read.
uint64_t MainStackStart() {
  const int fd = open("/proc/self/stat", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char text[2048];
  const ssize_t n = read(fd, text, sizeof text - 1);
  close(fd);
  if (n <= 0) return 0;
  text[n] = '\0';
  // The fields after the program's name in parentheses (which may hold
  // blanks): field 3 follows ") ", startstack is field 28.
  const char* p = std::strrchr(text, ')');
  for (int field = 2; field < 28 && p; ++field) p = std::strchr(p + 1, ' ');
  return p ? std::strtoull(p + 1, nullptr, 10) : 0;
}

}  // namespace

std::string RecoveryFilePath() {
  // Not the "Data/" of the folder the program was started from: a start from
  // another folder would then miss the file, and the work in it be lost.
  std::string folder = SettingsFolder();
  if (folder.empty()) folder = StartDirectory() + "Data/";
  return folder + "crashed.obx";
}

CrashHandlerSettings DefaultCrashHandlerSettings() {
  CrashHandlerSettings settings;
  settings.recoveryFile = RecoveryFilePath();
  // The user's own temporary folder: "obr" in the private runtime folder,
  // else "obr-<uid>" in the temporary folder (never one that others may
  // enter or that is a link).
  settings.dumpFolder = paths::PrivateTemporaryFolder("obr");
  char self[kPathSize];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) settings.reporterProgram.assign(self, static_cast<size_t>(n));
  return settings;
}

bool CrashHandlerDisabled(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i] && std::strstr(argv[i], kNoHandlerSwitch)) return true;
  }
  return false;
}

void ProvideCrashStackForThread() {
  if (t_altStack.memory) return;
  void* memory =
      mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return;
  stack_t stack{};
  stack.ss_sp = memory;
  stack.ss_size = kAltStackSize;
  if (sigaltstack(&stack, nullptr) != 0) {
    munmap(memory, kAltStackSize);
    return;
  }
  t_altStack.memory = memory;
}

bool InstallCrashHandler(const CrashHandlerSettings& settings) {
  // The recovery file's folder exists from the start (on the first run it is
  // the settings folder, which nothing else has made yet). A "Data" folder
  // in the start directory is never made: the next start would take it for
  // the application data folder.
  const std::string recoveryFolder = paths::FolderOf(settings.recoveryFile);
  const std::string recoveryName = paths::FileName(settings.recoveryFile);
  if (!recoveryFolder.empty() && recoveryFolder != StartDirectory() + "Data/")
    CreatePrivateFolders(recoveryFolder);
  if (!CopyPath(g_prepared.recoveryFile, settings.recoveryFile) ||
      !CopyPath(g_prepared.recoveryFolder, recoveryFolder.empty() ? "./" : recoveryFolder) ||
      !CopyPath(g_prepared.recoveryName, recoveryName) ||
      !CopyPath(g_prepared.recoveryTemp, recoveryName.empty() ? "" : recoveryName + ".tmp") ||
      !CopyPath(g_prepared.dumpFolder, paths::WithTrailingSeparator(settings.dumpFolder)) ||
      !CopyPath(g_prepared.reporter, settings.reporterProgram)) {
    return false;
  }
  const std::string build = BuildStamp();
  std::snprintf(g_prepared.buildText, sizeof g_prepared.buildText, "%s", build.c_str());
  g_prepared.mainStackStart = MainStackStart();
  const time_t now = time(nullptr);
  tm local{};
  if (localtime_r(&now, &local)) g_prepared.utcOffset = local.tm_gmtoff;
  if (g_prepared.probe[0] < 0 && pipe2(g_prepared.probe, O_CLOEXEC | O_NONBLOCK) != 0) {
    g_prepared.probe[0] = g_prepared.probe[1] = -1;
  }
  ProvideCrashStackForThread();

  struct sigaction action {};
  action.sa_sigaction = OnSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  bool ok = true;
  for (const int sig : kSignals) ok = sigaction(sig, &action, nullptr) == 0 && ok;
  std::set_terminate(OnTerminate);
  return ok;
}

}  // namespace ombrelo
