#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <vector>

#include "platform/data_folder.h"
#include "project/project.h"
#include "project/report.h"
#include "project/template_data.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::DebugCapture;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    project_.AddMovie("/v/one & two.avi");
    project_.SetReportTransform("mine.xslt");
  }

  // A transformation that records what it was given.
  TemplateTransform Recording(bool succeed) {
    return [this, succeed](std::string* result, const std::string& xml,
                           const std::string& stylesheet, std::string* failure) {
      xml_ = xml;
      stylesheet_ = stylesheet;
      if (succeed) *result = "<p>report</p>";
      if (!succeed) *failure = "Failed to load xslt document for html generation";
      return succeed;
    };
  }

  std::string failure_ = "left from before";
  CProject project_{"/base/"};
  TempFolder folder_{"report"};
  std::string xml_, stylesheet_;
};

TEST_F(ReportTest, WritesTheTransformedProjectDocument) {
  const std::string path = folder_ / "my report.html";
  ASSERT_TRUE(WriteFileBytes(path, "an older and longer report"));
  EXPECT_EQ(WriteProjectReport(project_, path, Recording(true), &failure_), ReportResult::kWritten);
  EXPECT_EQ(ReadFileBytes(path), "<p>report</p>");
  EXPECT_EQ(stylesheet_, "report/mine.xslt");
  EXPECT_EQ(xml_, ProjectDocument(project_, path));
  EXPECT_EQ(failure_, "");
}

TEST_F(ReportTest, FailuresLeaveNoFileAndComeBackToTheCaller) {
  SCOPED_TRACE("transformation fails: its own text comes back");
  const std::string path = folder_ / "report.html";
  EXPECT_EQ(WriteProjectReport(project_, path, Recording(false), &failure_),
            ReportResult::kTransformFailed);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(failure_, "Failed to load xslt document for html generation");

  SCOPED_TRACE("file cannot be written");
  const std::string missing = folder_ / "no such folder/report.html";
  EXPECT_EQ(WriteProjectReport(project_, missing, Recording(true), &failure_),
            ReportResult::kWriteFailed);
  EXPECT_EQ(failure_, "Failed to open html file (" + missing + ") for writing, error : 2");

  SCOPED_TRACE("anything thrown on the way");
  DebugCapture debug;
  const auto throwing = [](std::string*, const std::string&, const std::string&,
                           std::string*) -> bool { throw std::runtime_error("boom"); };
  EXPECT_EQ(WriteProjectReport(project_, path, throwing, &failure_), ReportResult::kFailed);
  EXPECT_TRUE(debug.Contains("Failed to generate report"));
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace ombrelo
