#include "crash/crash_report.h"

#include <curl/curl.h>
#include <unistd.h>
#include <uuid/uuid.h>

#include <QSettings>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "crash/crash_handler.h"
#include "crash/private_files.h"
#include "platform/debug_output.h"
#include "platform/paths.h"
#include "platform/translate.h"
#include "project/preferences.h"

namespace ombrelo {
namespace {

constexpr char kDefaultServer[] = "crashreport.tessaly.com";
constexpr char kAccount[] = "quorvane";

struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct CurlTextDeleter {
  void operator()(char* text) const { curl_free(text); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;

// The content of a regular file of this user ("" otherwise).
std::string ReadOwnFile(const std::string& path) {
  const int fd = OpenOwnFile(path);
  if (fd < 0) return {};
  std::string bytes = ReadAll(fd);
  close(fd);
  return bytes;
}

std::string NewUuidText() {
  uuid_t id;
  uuid_generate(id);
  char text[37];
  uuid_unparse_lower(id, text);
  return text;
}

// "90_<uuid>" plus the extension. The number is not padded: a name that
// starts with a space is hard to handle on the server's side.
std::string RemoteName(const std::string& uuid, const char* extension) {
  return "90_" + uuid + extension;
}

struct Source {
  const std::string* bytes;
  size_t offset = 0;
};

size_t ReadSource(char* buffer, size_t size, size_t count, void* user) {
  auto* source = static_cast<Source*>(user);
  const size_t n = std::min(size * count, source->bytes->size() - source->offset);
  std::memcpy(buffer, source->bytes->data() + source->offset, n);
  source->offset += n;
  return n;
}

enum class StoreResult { ok, openFailed, writeFailed, cancelled };

// libcurl's progress callback: a non-zero answer ends the transfer.
int CheckCancel(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<CrashReportUi*>(user)->CancelRequested() ? 1 : 0;
}

// Stores the bytes under the name in the server's current folder, over the
// session the handle holds.
StoreResult Store(CURL* curl, const std::string& base, const std::string& name,
                  const std::string& bytes) {
  std::unique_ptr<char, CurlTextDeleter> escaped(
      curl_easy_escape(curl, name.c_str(), static_cast<int>(name.size())));
  if (!escaped) return StoreResult::openFailed;
  const std::string url = base + escaped.get();
  Source source{&bytes};
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOBODY, 0L);
  curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(curl, CURLOPT_TRANSFERTEXT, 0L);  // binary ("TYPE I")
  curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadSource);
  curl_easy_setopt(curl, CURLOPT_READDATA, &source);
  curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(bytes.size()));
  const CURLcode result = curl_easy_perform(curl);
  long response = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response);
  switch (result) {
    case CURLE_ABORTED_BY_CALLBACK:
      return StoreResult::cancelled;
    case CURLE_OK:
      return response >= 400 ? StoreResult::writeFailed : StoreResult::ok;
    case CURLE_UPLOAD_FAILED:  // STOR refused
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_FTP_PORT_FAILED:  // no data connection
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_ACCEPT_TIMEOUT:
    case CURLE_FTP_COULDNT_SET_TYPE:
    case CURLE_COULDNT_CONNECT:
    case CURLE_LOGIN_DENIED:
      return StoreResult::openFailed;
    default:
      return StoreResult::writeFailed;
  }
}

void Message(CrashReportUi& ui, const std::string& text) {
  ui.ShowMessage(Translate("CrashReport", "Sending crash log"), text);
}

}  // namespace

CrashServer ConfiguredCrashServer() {
  QSettings settings(kOrganizationName, kApplicationName);
  CrashServer server;
  server.host = settings.value("CrashReportServer", kDefaultServer).toString().toStdString();
  server.port = settings.value("CrashReportPort", 21).toInt();
  if (const char* host = std::getenv("OMBRELO_CRASH_SERVER"); host && *host) server.host = host;
  if (const char* port = std::getenv("OMBRELO_CRASH_PORT"); port && *port) {
    server.port = std::strtol(port, nullptr, 10);
  }
  if (server.port <= 0 || server.port > 65535) server.port = 21;
  return server;
}

std::optional<CrashReportFiles> ReporterCommandLine(int argc, char** argv) {
  if (argc < 4 || std::strcmp(argv[1], kCrashReporterSwitch) != 0) return std::nullopt;
  return CrashReportFiles{argv[2], argv[3]};
}

CrashReport ReadCrashReport(const std::string& logText, const std::string& dumpPath) {
  return {logText, dumpPath, ReadOwnFile(dumpPath)};
}

void UploadCrashReport(const CrashServer& server, const CrashReport& report, CrashReportUi& ui) {
  ui.SetBusy(true);
  ui.SetTitle(Translate("CrashReport", "Opening internet connection..."));
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  CurlHandle curl(initialised ? curl_easy_init() : nullptr);
  if (!curl) {
    Message(ui, Translate("CrashReport", "Failed to connect to internet"));
    ui.SetBusy(false);
    return;
  }
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_USERAGENT, "Ombrelo");
  curl_easy_setopt(c, CURLOPT_PROXY, "");  // a direct connection
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_USERNAME, kAccount);
  curl_easy_setopt(c, CURLOPT_PASSWORD, kAccount);
  curl_easy_setopt(c, CURLOPT_FTPPORT, "-");  // active mode
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
  // Every wait on the server is bounded: connecting, each reply, the
  // server's connection for the data, a transfer that stops moving, and the
  // whole step. Cancel is heard at least once a second.
  const long stall = static_cast<long>(std::max<long long>(1, server.stallLimit.count()));
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, stall);
  curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, stall);
  curl_easy_setopt(c, CURLOPT_ACCEPTTIMEOUT_MS, stall * 1000);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, stall);
  curl_easy_setopt(c, CURLOPT_TIMEOUT, static_cast<long>(server.stepLimit.count()));
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, CheckCancel);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, &ui);

  ui.SetTitle(Translate("CrashReport", "Connecting to server..."));
  const std::string base = "ftp://" + server.host + ":" + std::to_string(server.port) + "/";
  curl_easy_setopt(c, CURLOPT_URL, base.c_str());
  curl_easy_setopt(c, CURLOPT_NOBODY, 1L);  // log in, transfer nothing
  const CURLcode session = curl_easy_perform(c);
  bool sent = false;
  bool cancelled = session == CURLE_ABORTED_BY_CALLBACK;
  if (cancelled) {
  } else if (session != CURLE_OK) {
    Message(ui, Translate("CrashReport", "Failed to create ftp session"));
  } else {
    sent = true;
    ui.SetTitle(Translate("CrashReport", "Writing crash log..."));
    const std::string uuid = NewUuidText();
    // An empty file is not sent.
    if (!report.log.empty()) {
      switch (Store(c, base, RemoteName(uuid, ".xml"), report.log)) {
        case StoreResult::ok:
          break;
        case StoreResult::cancelled:
          cancelled = true;
          break;
        case StoreResult::openFailed:
          sent = false;
          Message(ui, Translate("CrashReport", "Failed to open ftp file for writing"));
          break;
        case StoreResult::writeFailed:
          sent = false;
          Message(ui, Translate("CrashReport", "Failed to write crash log to ftp file"));
          break;
      }
    }

    if (!cancelled && !ui.CancelRequested()) {
      ui.SetTitle(Translate("CrashReport", "Writing crash dump..."));
      const StoreResult dump = report.dump.empty()
                                   ? StoreResult::ok
                                   : Store(c, base, RemoteName(uuid, ".dmp"), report.dump);
      if (dump == StoreResult::cancelled) cancelled = true;
      if (dump == StoreResult::openFailed) sent = false;  // not told, as designed
      if (dump == StoreResult::writeFailed) {
        sent = false;
        Message(ui, Translate("CrashReport", "Failed to write crash dmp to ftp file"));
        DebugOutput("Failed to write crash dmp to ftp file");
      }
    } else {
      cancelled = true;
    }
  }
  // The user who cancelled hears nothing more; the others learn whether the
  // report arrived.
  if (!cancelled) {
    ui.ShowMessage(sent ? Translate("CrashReport", "Crashlog uploaded")
                        : Translate("CrashReport", "Crashlog not uploaded"),
                   Translate("CrashReport", "Thank you for helping to improve Ombrelo!"));
  }
  curl.reset();
  ui.SetBusy(false);
}

int RunCrashReport(const std::string& logText, const CrashReportFiles& files,
                   const CrashServer& server, CrashReportUi& ui) {
  const std::string project = ReadOwnFile(files.recovery);
  const CrashReport report = ReadCrashReport(logText, files.dump);
  const bool send = ui.AskSend(report);
  if (!project.empty()) {
    const std::string folder = paths::FolderOf(files.recovery);
    const std::string name = paths::FileName(files.recovery);
    WriteOwnFile(folder.empty() ? "./" : folder.c_str(), name.c_str(), (name + ".tmp").c_str(),
                 project.data(), project.size());
  }
  if (send) UploadCrashReport(server, report, ui);
  return 0;
}

std::string ReadStandardInput() {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(0, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

}  // namespace ombrelo
