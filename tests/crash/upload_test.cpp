// The crash report's upload against a local FTP server.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "crash/crash_report.h"
#include "crash_test_support.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::LocalFtpServer;
using testing::ReadFileBytes;
using testing::RecordingReportUi;
using testing::TempFolder;

std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

const std::string kLog = "<crashlog>\r\n<title>Ombrelo crash log</title>\r\n</crashlog>\r\n";
const std::string kThanks = "message Crashlog uploaded: Thank you for helping to improve Ombrelo!";
// After a failure the box must not claim that the log was uploaded.
const std::string kNotUploaded =
    "message Crashlog not uploaded: Thank you for helping to improve Ombrelo!";

TEST(CrashUpload, DeliversLogAndDumpUnderOneUuidInBinaryMode) {
  TempFolder folder("upload");
  std::filesystem::create_directory(folder / "server");
  const std::string dump =
      std::string("OMBRELO DUMP 1\n\0\r\n\x80\xff\r", 21) + std::string(70000, 'x');
  testing::WriteFileBytes(folder / "v1.0.dmp", dump);
  LocalFtpServer server(folder / "server");
  ASSERT_TRUE(server.Ready());

  RecordingReportUi ui;
  UploadCrashReport(server.Server(), ReadCrashReport(kLog, folder / "v1.0.dmp"), ui);

  const std::vector<std::string> expected = {"busy",
                                             "title Opening internet connection...",
                                             "title Connecting to server...",
                                             "title Writing crash log...",
                                             "title Writing crash dump...",
                                             kThanks,
                                             "idle"};
  EXPECT_EQ(ui.events, expected);
  const auto names = FileNames(folder / "server");
  ASSERT_EQ(names.size(), 2u);
  std::smatch log, dmp;
  const std::regex form(
      "90_([0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12})\\.(dmp|xml)");
  ASSERT_TRUE(std::regex_match(names[0], dmp, form)) << names[0];
  ASSERT_TRUE(std::regex_match(names[1], log, form)) << names[1];
  EXPECT_EQ(names[1].size(), 43u);  // nothing before the number
  EXPECT_EQ(log[2], "xml");
  EXPECT_EQ(dmp[2], "dmp");
  EXPECT_EQ(log[1], dmp[1]);
  EXPECT_EQ(ReadFileBytes(folder / "server/" + names[1]), kLog);
  EXPECT_EQ(ReadFileBytes(folder / "server/" + names[0]), dump);

  SCOPED_TRACE("a second report gets a UUID of its own");
  UploadCrashReport(server.Server(), ReadCrashReport(kLog, folder / "v1.0.dmp"), ui);
  EXPECT_EQ(FileNames(folder / "server").size(), 4u);
}

TEST(CrashUpload, NoServerGivesTheSessionFailureThenThanks) {
  RecordingReportUi ui;
  UploadCrashReport({"127.0.0.1", testing::FreePort()}, ReadCrashReport(kLog, "/nonexistent.dmp"),
                    ui);
  const std::vector<std::string> expected = {
      "busy",
      "title Opening internet connection...",
      "title Connecting to server...",
      "message Sending crash log: Failed to create ftp session",
      kNotUploaded,
      "idle"};
  EXPECT_EQ(ui.events, expected);
}

TEST(CrashUpload, ServerRefusingFilesReportsTheLogAndSkipsTheDumpSilently) {
  TempFolder folder("upload-ro");
  testing::WriteFileBytes(folder / "v1.0.dmp", "dump");
  LocalFtpServer server(folder.Path(), /*writable=*/false);
  ASSERT_TRUE(server.Ready());

  RecordingReportUi ui;
  UploadCrashReport(server.Server(), ReadCrashReport(kLog, folder / "v1.0.dmp"), ui);
  const std::vector<std::string> expected = {
      "busy",
      "title Opening internet connection...",
      "title Connecting to server...",
      "title Writing crash log...",
      "message Sending crash log: Failed to open ftp file for writing",
      "title Writing crash dump...",
      kNotUploaded,
      "idle"};
  EXPECT_EQ(ui.events, expected);
  EXPECT_EQ(FileNames(folder.Path()), std::vector<std::string>{"v1.0.dmp"});
}

TEST(CrashUpload, SendsNothingForADumpThatIsMissingOrEmpty) {
  TempFolder folder("upload-empty");
  std::filesystem::create_directory(folder / "server");
  testing::WriteFileBytes(folder / "empty.dmp", "");
  LocalFtpServer server(folder / "server");
  ASSERT_TRUE(server.Ready());
  for (const std::string& dump : {folder / "empty.dmp", folder / "missing.dmp"}) {
    RecordingReportUi ui;
    UploadCrashReport(server.Server(), ReadCrashReport(kLog, dump), ui);
    EXPECT_EQ(ui.events.at(ui.events.size() - 2), kThanks) << dump;
  }
  const auto names = FileNames(folder / "server");
  ASSERT_EQ(names.size(), 2u);
  EXPECT_TRUE(names[0].ends_with(".xml") && names[1].ends_with(".xml"));
}

TEST(CrashUpload, AServerThatStallsIsGivenUpOnAfterTheStallLimit) {
  TempFolder folder("upload-stall");
  testing::WriteFileBytes(folder / "v1.0.dmp", "dump");
  testing::StallingFtpServer server("STOR");  // silent once the data should flow
  CrashServer limited = server.Server();
  limited.stallLimit = std::chrono::seconds(1);
  RecordingReportUi ui;
  const auto start = std::chrono::steady_clock::now();
  UploadCrashReport(limited, ReadCrashReport(kLog, folder / "v1.0.dmp"), ui);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
  EXPECT_EQ(server.Stalls(), 2) << "the log and the dump";
  ASSERT_GE(ui.events.size(), 2u);
  EXPECT_EQ(ui.events[ui.events.size() - 2], kNotUploaded);
}

TEST(CrashUpload, CancelEndsAnUploadStalledMidTransferWithoutWaitingForTheServer) {
  TempFolder folder("upload-cancel");
  std::filesystem::create_directory(folder / "server");
  // Far more than the sockets hold: the upload waits on the server.
  testing::WriteFileBytes(folder / "v1.0.dmp", std::string(16 << 20, 'd'));
  testing::MidTransferStallingFtpServer server(folder / "server", 100000);
  ASSERT_TRUE(server.Ready());

  // The user presses Cancel once the server has stopped taking the dump; the
  // server would keep the upload waiting for the stall limit (30 s).
  RecordingReportUi ui;
  std::chrono::steady_clock::time_point cancelledAt;
  std::thread user([&] {
    if (!server.WaitForStall()) return;
    cancelledAt = std::chrono::steady_clock::now();
    ui.cancel = true;
  });
  UploadCrashReport(server.Server(), ReadCrashReport(kLog, folder / "v1.0.dmp"), ui);
  const auto ended = std::chrono::steady_clock::now();
  server.Stop();  // frees the user when the upload ended another way
  user.join();
  ASSERT_TRUE(ui.cancel) << "the upload ended before it stalled";
  EXPECT_LT(ended - cancelledAt, std::chrono::seconds(5));
  // The log arrived; after Cancel nothing more is said, not even thanks.
  const std::vector<std::string> expected = {"busy",
                                             "title Opening internet connection...",
                                             "title Connecting to server...",
                                             "title Writing crash log...",
                                             "title Writing crash dump...",
                                             "idle"};
  EXPECT_EQ(ui.events, expected);
  const auto names = FileNames(folder / "server");
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(ReadFileBytes(folder / "server/" + names[1]), kLog);
}

}  // namespace
}  // namespace ombrelo
