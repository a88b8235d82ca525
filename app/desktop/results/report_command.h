#pragma once
// The "Generate report" command: asks where to save the report, writes the
// project report there and offers to open it in the browser.
#include <QString>
#include <functional>

class QWidget;

namespace ombrelo {

class CProject;
class DesktopShell;

// Asks for the report file: "Html files" (*.html) or all files, ".html"
// added to a name without extension. Empty when cancelled.
QString AskReportPath(QWidget* parent);

// Writes the report of the project to path through the XSLT service and,
// once written, asks "Html report saved" (through the message port) whether
// to open it; Yes opens it with the default browser. True when written.
bool WriteReportAndOffer(const CProject& project, const QString& path, DesktopShell& shell);

// The whole command: AskReportPath, then WriteReportAndOffer. The path is
// asked for by askPath when given (tests), else by the save dialog.
void GenerateReport(const CProject& project, DesktopShell& shell, QWidget* parent,
                    const std::function<QString()>& askPath = {});

}  // namespace ombrelo
