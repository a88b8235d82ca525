#include "platform/translate.h"

#include <gtest/gtest.h>

#include <string>

namespace ombrelo {
namespace {

std::string Shouting(const char*, const char* source, const char*, int n) {
  std::string out = std::string("[") + source + "]";
  if (n >= 0) out += "#" + std::to_string(n);
  return out;
}

TEST(Translate, WithoutAHookTheTextStaysAndTheCountFillsPercentN) {
  SetTranslateHook(nullptr);
  EXPECT_EQ(Translate("Ctx", "Stop"), "Stop");
  EXPECT_EQ(Translate("Ctx", "%n videos are missing", nullptr, 3), "3 videos are missing");
  // Without a count a "%n" is left alone (it is not ours to fill).
  EXPECT_EQ(Translate("Ctx", "100%n"), "100%n");
}

TEST(Translate, TheHookDecidesWhatTheUserReads) {
  SetTranslateHook(&Shouting);
  EXPECT_EQ(Translate("Ctx", "Stop"), "[Stop]");
  EXPECT_EQ(Translate("Ctx", "%n left", nullptr, 2), "[%n left]#2");
  SetTranslateHook(nullptr);
  EXPECT_EQ(Translate("Ctx", "Stop"), "Stop");
}

TEST(FillIn, ValuesGoWhereThePatternSaysInAnyOrderAndAreNotReadAgain) {
  EXPECT_EQ(FillIn("%2 before %1, %1 again", {"one", "two"}), "two before one, one again");
  // A value that holds "%2" is text, not a place for the second value.
  EXPECT_EQ(FillIn("%1 and %2", {"50%2", "x"}), "50%2 and x");
  // Places without a value, a literal "%%" and a lone "%" at the end stay.
  EXPECT_EQ(FillIn("%1 %3 100%% %", {"a"}), "a %3 100%% %");
}

}  // namespace
}  // namespace ombrelo
