// The indexer's usage errors, its help and the end of a run in the user's
// language: each a whole text of the catalogue, values filled in after it.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/indexer/indexer_options.h"
#include "support/marked_texts.h"
#include "workflow/workflow_port.h"

namespace ombrelo::indexer {
namespace {

std::string ParseError(const std::vector<std::string>& args) {
  Options options;
  std::string error;
  EXPECT_FALSE(ParseOptions(args, &options, &error));
  return error;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(IndexerTexts, UsageErrorsHelpAndSummaryAreWholeTextsOfTheCatalogue) {
  {
    testing::MarkedTexts marked;
    EXPECT_EQ(ParseError({"--quality", "0"}),
              "\u00abbad value for --quality: '0' (\u00aba whole number from 1 to "
              "100\u00bb)\u00bb");
    EXPECT_EQ(ParseError({"--bogus"}), "\u00abunknown option --bogus\u00bb");
    EXPECT_EQ(ParseError({"--quiet=yes"}), "\u00aboption --quiet takes no value\u00bb");
    // What the user typed is a value, never read as a place of the pattern.
    EXPECT_EQ(ParseError({"--jobs", "%1%2"}), "\u00abbad value for --jobs: '%1%2'\u00bb");

    const std::string usage = UsageText();
    EXPECT_EQ(usage.rfind("\u00abUsage: ombrelo-index [OPTIONS] [PATH...]\n", 0), 0u) << usage;
    EXPECT_EQ(Count(usage, "\u00ab"), 1u) << "one text, not pieces";
    EXPECT_EQ(usage.substr(usage.size() - 15), "usage error.\n\u00bb");

    // The count chooses the form; the failed ones are a value.
    EXPECT_EQ(RunSummaryText(1, 2),
              "\u00ab1 video was indexed and 2 could not be indexed.\nEach video that failed is "
              "listed with its error.\u00bb");
    EXPECT_EQ(RunSummaryText(3, 1),
              "\u00ab3 videos were indexed and 1 could not be indexed.\nEach video that failed "
              "is listed with its error.\u00bb");
  }
  // Without a catalogue the texts are today's English.
  EXPECT_EQ(ParseError({"--quality", "0"}),
            "bad value for --quality: '0' (a whole number from 1 to 100)");
  EXPECT_EQ(RunSummaryText(0, 4),
            "0 videos were indexed and 4 could not be indexed.\nEach video that failed is listed "
            "with its error.");
}

}  // namespace
}  // namespace ombrelo::indexer
