#include "app/indexer/indexer_options.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <map>
#include <type_traits>

#include "engine/capture_settings.h"

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
      *problem = "K/N, a part K from 1 to N of N parts, N at most " + std::to_string(kMostShards);
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
        *error = "option " + name + " takes no value";
        return false;
      }
      *flag->second = true;
      continue;
    }
    const auto setter = valued.find(name);
    if (setter == valued.end()) {
      *error = "unknown option " + name;
      return false;
    }
    if (!value) {
      if (i + 1 >= args.size()) {
        *error = "option " + name + " needs a value";
        return false;
      }
      value = args[++i];
    }
    problem.clear();
    if (!setter->second(*value)) {
      *error = "bad value for " + name + ": '" + *value + "'";
      if (!problem.empty()) *error += " (" + problem + ")";
      return false;
    }
  }
  return true;
}

std::string UsageText() {
  return R"(Usage: ombrelo-index [OPTIONS] [PATH...]
       ombrelo-index --merge OUT.obx PART.obx...
       ombrelo-index --thumbnail [-s SIZE] [--time-limit SEC] INPUT OUTPUT.png

Indexes videos: saves thumbnails on a schedule, then makes for each video an
image playlist, a web page and an index photo.

Each PATH is a video file (added whatever its name) or a folder (its videos
are added, recursively, by their extension).

Options:
  --project FILE      load a project file first (its movies and settings)
  --settings FILE     take only the settings of a project file
  --save FILE         write the project to FILE when the run ends
  --out DIR           put the outputs in DIR/Thumbs/, DIR/Html/, DIR/Ipl/
                      and DIR/Index/
  --start-after SEC   take the first thumbnail SEC seconds into a video
  --every SEC         take a thumbnail every SEC seconds
  --least N           take at least N thumbnails from every video
  --quality Q         JPEG quality, 1 to 100
  --format jpg|bmp    thumbnail file format
  --skip-blank        replace a thumbnail that is nearly one flat colour
                      (black, a fade, a title card) by the first frame
                      after it that is not, within half the interval
  --no-deinterlace    take frames of interlaced video with both fields as
                      they are (combed edges where something moves)
  --allow-many-thumbnails
                      take more than 10000 thumbnails of a video when the
                      settings ask for that (a video that would get more
                      fails without it)
  --no-html           make no web pages
  --no-playlist       make no image playlists
  --no-index-photo    make no index photos
  --html-template NAME   web page template (see --list-templates)
  --index-template NAME  index photo template (see --list-templates)
  --list-templates    list the templates with their titles
  --jobs N            index up to N videos at the same time, in N worker
                      processes (default: the number of processors)
  --shard K/N         index only the K-th of N parts of the videos (K from 1);
                      a video's part follows from its path below the folder
                      named, so it stays when videos are added
  --merge OUT         join the projects named as PATHs into the new project
                      file OUT (an existing OUT is never replaced)
  -q, --quiet         print no progress and no summary, only errors
  --json              print one JSON object per video on standard output
                      (path, status, images, outputs, error); everything
                      else goes to standard error
  --version           show the version and build date
  -h, --help          show this text

Thumbnails for file managers (--thumbnail comes first):
  --thumbnail         write one picture of the video INPUT (a path or a
                      file:// address) to OUTPUT.png: the key frame at or
                      after a quarter of the video (a later one when it is
                      one flat colour), upright, in its shape, HDR in SDR
                      colours; exit status 1 and no file when there is none
  -s, --size SIZE     its longer side at most SIZE pixels, 1 to 4096
                      (default 256; a smaller video keeps its size)
  --time-limit SEC    give up after SEC seconds (default 10)

Without --project or --settings the default settings are used. Ctrl+C stops
the capture, saves the project (with --save) and ends the run. With more than
one job, a video whose worker crashes or makes no progress for ten minutes
is marked failed and the others go on.

Exit status: 0 when every video was indexed, 1 when any was not, 2 on a
usage error.
)";
}

}  // namespace ombrelo::indexer
