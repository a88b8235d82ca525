// ombrelo-schedule FILE: shows which frames indexing FILE with the default
// capture settings will take.
#include <cstdio>
#include <string>

#include "tools/schedule/schedule_report.h"

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '-') {
    std::fputs(
        "usage: ombrelo-schedule FILE\n"
        "Prints the duration, frame rate and sampling schedule of a video under the\n"
        "default capture settings.\n",
        argc == 2 && std::string(argv[1]) == "--help" ? stdout : stderr);
    return argc == 2 && std::string(argv[1]) == "--help" ? 0 : 2;
  }
  av_log_set_level(AV_LOG_ERROR);
  ombrelo::tools::MovieTiming timing;
  std::string error;
  if (!ombrelo::tools::ReadMovieTiming(argv[1], &timing, &error)) {
    std::fprintf(stderr, "ombrelo-schedule: %s\n", error.c_str());
    return 1;
  }
  std::printf("File: %s\n%s", argv[1], ombrelo::tools::FormatSchedule(timing).c_str());
  return 0;
}
