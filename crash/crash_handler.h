#pragma once
// The crash handler: on a fatal signal (SIGSEGV, SIGBUS, SIGFPE, SIGILL,
// SIGABRT) or std::terminate, on any thread, it saves the project snapshot
// (crash_snapshot.h) as the recovery file, builds the crash log, writes a
// dump file, starts the crash reporter (this program again, with the
// reporter switch) and waits for it, then ends the process with the
// signal's usual status.
//
// The handler runs in a process that cannot be trusted: it uses only
// async-signal-safe calls, no heap, no locks. Everything it needs is
// prepared when it is installed.
#include <string>

namespace ombrelo {

// "-nohandler" anywhere on the command line (also inside a longer word)
// keeps the handler off.
inline constexpr char kNoHandlerSwitch[] = "-nohandler";
// The reporter's command line: <program> --crash-reporter <dump file> <recovery
// file>, with the crash log on its standard input.
inline constexpr char kCrashReporterSwitch[] = "--crash-reporter";

struct CrashHandlerSettings {
  std::string recoveryFile;     // where the project snapshot is saved (mode 0600)
  std::string dumpFolder;       // folder of the dump file (private), ending with "/"
  std::string reporterProgram;  // empty: no reporter is started
};

// The recovery file "crashed.obx": in the settings folder (the one of
// "last_settings.bin"), wherever the program is started from; in the start
// directory's "Data/" only when there is no settings folder.
std::string RecoveryFilePath();

// The recovery file above, the private folder "obr" (paths::
// PrivateTemporaryFolder) for the dump, and this executable as the reporter.
CrashHandlerSettings DefaultCrashHandlerSettings();

// True when an argument contains "-nohandler".
bool CrashHandlerDisabled(int argc, char** argv);

// Installs the handler (call on the main thread; again to change the
// settings). The calling thread gets an alternate signal stack. The recovery
// file's folder is made at once (each new folder with mode 0700), so that a
// crash on the very first run is recovered. False when a setting is too long
// to prepare or the signals cannot be caught.
bool InstallCrashHandler(const CrashHandlerSettings& settings);

// Gives the calling thread an alternate signal stack of its own, kept until
// the thread ends, so that a stack overflow on it is reported as well. New
// threads do not inherit one; threads of our own call this when they start.
void ProvideCrashStackForThread();

}  // namespace ombrelo
