#include "project/report.h"

#include <cerrno>
#include <cstdio>
#include <exception>

#include "platform/debug_output.h"
#include "project/file_write.h"
#include "project/message_port.h"
#include "project/project.h"
#include "project/template_data.h"

namespace ombrelo {

ReportResult WriteProjectReport(const CProject& project, const std::string& path,
                                const TemplateTransform& transform) {
  try {
    const std::string xml = ProjectDocument(project, path);
    std::string page;
    if (!transform(&page, xml, "report/" + project.Output().reportTransform)) {
      return ReportResult::kTransformFailed;
    }
    const int error = WriteOutputFile(path, page);
    if (error != 0) {
      char text[256];
      std::snprintf(text, sizeof text, "Failed to open html file (%s) for writing, error : %d",
                    path.c_str(), error);
      ShowMessage("Error", text, MessageIcon::error, MessageOwner::mainWindow);
      return ReportResult::kWriteFailed;
    }
    return ReportResult::kWritten;
  } catch (const std::exception&) {
    DebugOutput("Failed to generate report");
    return ReportResult::kFailed;
  }
}

}  // namespace ombrelo
