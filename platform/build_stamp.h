#pragma once
// The build text that the About box and the crash log both show:
// "Build: " and the date this program was built ("Build: Dec 8 2026").
#include <string>

namespace ombrelo {

std::string BuildStamp();

}  // namespace ombrelo
