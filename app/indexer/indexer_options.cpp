#include "app/indexer/indexer_options.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <map>
#include <type_traits>

#include "engine/capture_settings.h"
#include "platform/translate.h"

namespace ombrelo::indexer {

namespace {

// Numbers are read the same whatever the locale says.
template <typename Number>
bool ParseWhole(const std::string& text, Number* value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, *value);
  return ec == std::errc() && ptr == end;
}

// A number for a setting; one outside the values the setting can be
// honoured with is refused with the range in the message.
template <typename Number>
bool ParseSetting(const std::string& text, NumericSetting setting, Number* value,
                  std::string* problem) {
  if (!ParseWhole(text, value) || (std::is_floating_point_v<Number> && !std::isfinite(*value)) ||
      !RangeOf(setting).Contains(static_cast<double>(*value))) {
    *problem = DescribeRange(setting);
    return false;
  }
  return true;
}

// A setter stores an option's value; false for a bad value, with what was
// expected in the problem text when there is more to say than "bad value".
using Setter = std::function<bool(const std::string&)>;

Setter Text(std::string* field) {
  return [field](const std::string& value) {
    *field = value;
    return !value.empty();
  };
}

template <typename Number>
Setter Setting(NumericSetting which, std::optional<Number>* field, std::string* problem) {
  return [which, field, problem](const std::string& text) {
    Number value{};
    if (!ParseSetting(text, which, &value, problem)) return false;
    *field = value;
    return true;
  };
}

Setter Whole(int least, int most, std::optional<int>* field) {
  return [least, most, field](const std::string& text) {
    int value = 0;
    if (!ParseWhole(text, &value) || value < least || value > most) return false;
    *field = value;
    return true;
  };
}

// "K/N": the K-th of N parts, K from 1 to N.
Setter ShardOf(std::optional<Shard>* field, std::string* problem) {
  return [field, problem](const std::string& text) {
    const size_t slash = text.find('/');
    Shard shard;
    if (slash == std::string::npos || !ParseWhole(text.substr(0, slash), &shard.index) ||
        !ParseWhole(text.substr(slash + 1), &shard.count) || shard.count < 1 ||
        shard.count > kMostShards || shard.index < 1 || shard.index > shard.count) {
      *problem = FillIn(Translate("Indexer", "K/N, a part K from 1 to N of N parts, N at most %1"),
                        {std::to_string(kMostShards)});
      return false;
    }
    *field = shard;
    return true;
  };
}

Setter ImageFormat(std::optional<int>* field) {
  return [field](const std::string& text) {
    if (text == "jpg" || text == "jpeg") {
      *field = 0;
    } else if (text == "bmp") {
      *field = 1;
    } else {
      return false;
    }
    return true;
  };
}

Setter Seconds(std::optional<double>* field) {
  return [field](const std::string& text) {
    double seconds = 0;
    if (!ParseWhole(text, &seconds) || !(seconds > 0)) return false;
    *field = seconds;
    return true;
  };
}

// The options that take a value.
std::map<std::string, Setter> ValuedOptions(Options* options, std::string* problem) {
  return {
      {"--project", Text(&options->projectFile)},
      {"--settings", Text(&options->settingsFile)},
      {"--save", Text(&options->saveFile)},
      {"--out", Text(&options->outFolder)},
      {"--start-after", Setting(NumericSetting::delaybeforefirst, &options->startAfter, problem)},
      {"--every", Setting(NumericSetting::delaybetweensamples, &options->every, problem)},
      {"--least", Setting(NumericSetting::leastnofframes, &options->least, problem)},
      {"--quality", Setting(NumericSetting::jpegquality, &options->quality, problem)},
      {"--format", ImageFormat(&options->imageFormat)},
      {"--html-template", Text(&options->htmlTemplate)},
      {"--index-template", Text(&options->indexTemplate)},
      {"--shard", ShardOf(&options->shard, problem)},
      {"--merge", Text(&options->mergeInto)},
      {"--jobs", Whole(1, 256, &options->jobs)},
      {"--worker-project", Text(&options->workerProject)},
      {"--worker-threads", Whole(1, 1024, &options->workerThreads)},
      {"--worker-timeout", Seconds(&options->workerTimeout)},
  };
}

// The options that take none.
std::map<std::string, bool*> FlagOptions(Options* options) {
  return {
      {"--no-html", &options->noHtml},
      {"--no-playlist", &options->noPlaylist},
      {"--no-index-photo", &options->noIndexPhoto},
      {"--skip-blank", &options->skipBlank},
      {"--no-deinterlace", &options->noDeinterlace},
      {"--allow-many-thumbnails", &options->allowMany},
      {"--help", &options->help},
      {"-h", &options->help},
      {"--version", &options->version},
      {"--list-templates", &options->listTemplates},
      {"--quiet", &options->quiet},
      {"-q", &options->quiet},
      {"--json", &options->json},
      {"--worker-interactive", &options->workerInteractive},
  };
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error) {
  std::string problem;
  const std::map<std::string, Setter> valued = ValuedOptions(options, &problem);
  const std::map<std::string, bool*> flags = FlagOptions(options);
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      options->paths.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = arg;
    std::optional<std::string> value;
    if (const size_t equals = arg.find('=');
        equals != std::string::npos && arg.rfind("--", 0) == 0) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
    }
    if (const auto flag = flags.find(name); flag != flags.end()) {
      if (value) {
        *error = FillIn(Translate("Indexer", "option %1 takes no value"), {name});
        return false;
      }
      *flag->second = true;
      continue;
    }
    const auto setter = valued.find(name);
    if (setter == valued.end()) {
      *error = FillIn(Translate("Indexer", "unknown option %1"), {name});
      return false;
    }
    if (!value) {
      if (i + 1 >= args.size()) {
        *error = FillIn(Translate("Indexer", "option %1 needs a value"), {name});
        return false;
      }
      value = args[++i];
    }
    problem.clear();
    if (!setter->second(*value)) {
      *error = problem.empty()
                   ? FillIn(Translate("Indexer", "bad value for %1: '%2'"), {name, *value})
                   : FillIn(Translate("Indexer", "bad value for %1: '%2' (%3)"),
                            {name, *value, problem});
      return false;
    }
  }
  return true;
}

std::string UsageText() {
  // One text, so that a translation may reflow it; the option names stay.
  return Translate(
      "Indexer",
      "Usage: ombrelo-index [OPTIONS] [PATH...]\n"
      "       ombrelo-index --merge OUT.obx PART.obx...\n"
      "       ombrelo-index --thumbnail [-s SIZE] [--time-limit SEC] INPUT OUTPUT.png\n"
      "\n"
      "Indexes videos: saves thumbnails on a schedule, then makes for each video an\n"
      "image playlist, a web page and an index photo.\n"
      "\n"
      "Each PATH is a video file (added whatever its name) or a folder (its videos\n"
      "are added, recursively, by their extension).\n"
      "\n"
      "Options:\n"
      "  --project FILE      load a project file first (its movies and settings)\n"
      "  --settings FILE     take only the settings of a project file\n"
      "  --save FILE         write the project to FILE when the run ends\n"
      "  --out DIR           put the outputs in DIR/Thumbs/, DIR/Html/, DIR/Ipl/\n"
      "                      and DIR/Index/\n"
      "  --start-after SEC   take the first thumbnail SEC seconds into a video\n"
      "  --every SEC         take a thumbnail every SEC seconds\n"
      "  --least N           take at least N thumbnails from every video\n"
      "  --quality Q         JPEG quality, 1 to 100\n"
      "  --format jpg|bmp    thumbnail file format\n"
      "  --skip-blank        replace a thumbnail that is nearly one flat colour\n"
      "                      (black, a fade, a title card) by the first frame\n"
      "                      after it that is not, within half the interval\n"
      "  --no-deinterlace    take frames of interlaced video with both fields as\n"
      "                      they are (combed edges where something moves)\n"
      "  --allow-many-thumbnails\n"
      "                      take more than 10000 thumbnails of a video when the\n"
      "                      settings ask for that (a video that would get more\n"
      "                      fails without it)\n"
      "  --no-html           make no web pages\n"
      "  --no-playlist       make no image playlists\n"
      "  --no-index-photo    make no index photos\n"
      "  --html-template NAME   web page template (see --list-templates)\n"
      "  --index-template NAME  index photo template (see --list-templates)\n"
      "  --list-templates    list the templates with their titles\n"
      "  --jobs N            index up to N videos at the same time, in N worker\n"
      "                      processes (default: the number of processors)\n"
      "  --shard K/N         index only the K-th of N parts of the videos (K from 1);\n"
      "                      a video's part follows from its path below the folder\n"
      "                      named, so it stays when videos are added\n"
      "  --merge OUT         join the projects named as PATHs into the new project\n"
      "                      file OUT (an existing OUT is never replaced)\n"
      "  -q, --quiet         print no progress and no summary, only errors\n"
      "  --json              print one JSON object per video on standard output\n"
      "                      (path, status, images, outputs, error); everything\n"
      "                      else goes to standard error\n"
      "  --version           show the version and build date\n"
      "  -h, --help          show this text\n"
      "\n"
      "Thumbnails for file managers (--thumbnail comes first):\n"
      "  --thumbnail         write one picture of the video INPUT (a path or a\n"
      "                      file:// address) to OUTPUT.png: the key frame at or\n"
      "                      after a quarter of the video (a later one when it is\n"
      "                      one flat colour), upright, in its shape, HDR in SDR\n"
      "                      colours; exit status 1 and no file when there is none\n"
      "  -s, --size SIZE     its longer side at most SIZE pixels, 1 to 4096\n"
      "                      (default 256; a smaller video keeps its size)\n"
      "  --time-limit SEC    give up after SEC seconds (default 10)\n"
      "\n"
      "Without --project or --settings the default settings are used. Ctrl+C stops\n"
      "the capture, saves the project (with --save) and ends the run. With more than\n"
      "one job, a video whose worker crashes or makes no progress for ten minutes\n"
      "is marked failed and the others go on.\n"
      "\n"
      "Exit status: 0 when every video was indexed, 1 when any was not, 2 on a\n"
      "usage error.\n");
}

}  // namespace ombrelo::indexer
