#pragma once
// A translation hook that marks every text it is asked for: «text», with
// the count in place of %n as a catalogue would put it. A text the user
// reads that is wholly marked went through the catalogue as one piece;
// values filled in after the lookup stand inside the marks unmarked.
#include <string>

#include "platform/translate.h"

namespace ombrelo::testing {

class MarkedTexts {
 public:
  MarkedTexts() { SetTranslateHook(&Mark); }
  ~MarkedTexts() { SetTranslateHook(nullptr); }
  MarkedTexts(const MarkedTexts&) = delete;
  MarkedTexts& operator=(const MarkedTexts&) = delete;

 private:
  static std::string Mark(const char*, const char* source, const char*, int n) {
    std::string text = source;
    for (size_t at = text.find("%n"); n >= 0 && at != std::string::npos; at = text.find("%n", at))
      text.replace(at, 2, std::to_string(n));
    return "\u00ab" + text + "\u00bb";
  }
};

}  // namespace ombrelo::testing
