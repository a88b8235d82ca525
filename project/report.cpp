#include "project/report.h"

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
    if (!WriteHtmlFile(path, page, MessageOwner::mainWindow)) return ReportResult::kWriteFailed;
    return ReportResult::kWritten;
  } catch (const std::exception&) {
    DebugOutput("Failed to generate report");
    return ReportResult::kFailed;
  }
}

}  // namespace ombrelo
