#pragma once
// The crash reporter: the process that the crash handler starts. It shows the
// crash log, writes the recovery file again, and on request uploads the log
// and the dump file to the crash-report FTP server. The user interface is a
// port: the desktop program shows the crash dialog, tests answer headless.
#include <chrono>
#include <optional>
#include <string>

namespace ombrelo {

// A report exactly as it would be sent: the log text and the bytes of the
// dump file. What is empty is not sent.
struct CrashReport {
  std::string log;
  std::string dumpPath;  // the local dump file
  std::string dump;      // its bytes; empty when there is none
};

// The report of a crash: the log and the dump file, read when it is a
// regular file of this user (a link is not followed).
CrashReport ReadCrashReport(const std::string& logText, const std::string& dumpPath);

class CrashReportUi {
 public:
  virtual ~CrashReportUi() = default;
  // Shows the log and waits for the user: true for "Send", false for "Do not
  // send". What shows the log stays visible until the report is done: the
  // upload's titles and messages belong to it.
  virtual bool AskSend(const CrashReport& report) = 0;
  // The title bar text during the upload.
  virtual void SetTitle(const std::string& title) = 0;
  // A message box with an OK button.
  virtual void ShowMessage(const std::string& title, const std::string& text) = 0;
  // The wait cursor, from the start of the upload to its end.
  virtual void SetBusy(bool busy) = 0;
  // Asked again and again while the upload runs, on the thread that uploads:
  // true ends it within a second, with no more messages.
  virtual bool CancelRequested() { return false; }
};

struct CrashServer {
  std::string host;
  long port = 21;
  // The longest the server may keep silent (connecting, answering, taking
  // data) before the step is given up, and the longest one step (logging
  // in, one file) may take.
  std::chrono::seconds stallLimit{30};
  std::chrono::seconds stepLimit{300};
};

// The crash-report server: the environment variables OMBRELO_CRASH_SERVER
// and OMBRELO_CRASH_PORT when set, else the preferences "CrashReportServer"
// and "CrashReportPort", else the default server on port 21.
CrashServer ConfiguredCrashServer();

// The reporter's files, from "<program> --crash-reporter <dump> <recovery>";
// nothing when the command line is not the reporter's.
struct CrashReportFiles {
  std::string dump;
  std::string recovery;
};
std::optional<CrashReportFiles> ReporterCommandLine(int argc, char** argv);

// Uploads the log and the dump file: log in session, "90_<uuid>.xml" and
// "90_<uuid>.dmp" in binary mode (an empty one is not sent), each failure
// reported through the ui; at the end the thank-you message, titled
// "Crashlog uploaded" only when everything was sent (none when no connection
// could be opened, or the user cancelled).
void UploadCrashReport(const CrashServer& server, const CrashReport& report, CrashReportUi& ui);

// The whole report: reads the recovery file as it is now (the project the
// crashed process saved), asks the user, writes that project to the recovery
// file again, and uploads on "Send". Returns the process's exit code.
int RunCrashReport(const std::string& logText, const CrashReportFiles& files,
                   const CrashServer& server, CrashReportUi& ui);

// Everything on standard input (the log, as the crash handler passes it).
std::string ReadStandardInput();

}  // namespace ombrelo
