#include "platform/build_stamp.h"

#include <sstream>

namespace ombrelo {

std::string BuildStamp() {
  // __DATE__ pads a day below 10 with a blank ("Dec  8 2026"): one blank
  // between the words.
  std::istringstream date(__DATE__);
  std::string text = "Build:";
  for (std::string word; date >> word;) text += " " + word;
  return text;
}

std::string ProgramVersion() { return OMBRELO_VERSION; }

std::string VersionText(const std::string& program) {
  return program + " " + ProgramVersion() + "\n" + BuildStamp() + "\n";
}

}  // namespace ombrelo
