#pragma once
// The build text that the About box and the crash log both show:
// "Build: " and the date this program was built ("Build: Dec 8 2026"), and
// the version the command lines print.
#include <string>

namespace ombrelo {

std::string BuildStamp();

// The version of the programs ("0.1.0").
std::string ProgramVersion();

// What "--version" prints: the program's name and version, then the build
// text ("ombrelo-index 0.1.0\nBuild: Dec 8 2026\n").
std::string VersionText(const std::string& program);

}  // namespace ombrelo
