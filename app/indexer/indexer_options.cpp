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

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error) {
  // A setter returns false for a bad value, with what was expected in problem.
  std::string problem;
  using Setter = std::function<bool(const std::string&)>;
  const auto text = [](std::string* field) {
    return [field](const std::string& value) {
      *field = value;
      return !value.empty();
    };
  };
  const auto setting = [&problem](NumericSetting which, auto* field) {
    return [&problem, which, field](const std::string& v) {
      typename std::remove_pointer_t<decltype(field)>::value_type value{};
      if (!ParseSetting(v, which, &value, &problem)) return false;
      *field = value;
      return true;
    };
  };
  const auto whole = [](int least, int most, std::optional<int>* field) {
    return [least, most, field](const std::string& v) {
      int value = 0;
      if (!ParseWhole(v, &value) || value < least || value > most) return false;
      *field = value;
      return true;
    };
  };
  const std::map<std::string, Setter> valued = {
      {"--jobs", whole(1, 256, &options->jobs)},
      {"--worker-project", text(&options->workerProject)},
      {"--worker-threads", whole(1, 1024, &options->workerThreads)},
      {"--worker-timeout",
       [options](const std::string& v) {
         double seconds = 0;
         if (!ParseWhole(v, &seconds) || !(seconds > 0)) return false;
         options->workerTimeout = seconds;
         return true;
       }},
      {"--project", text(&options->projectFile)},
      {"--settings", text(&options->settingsFile)},
      {"--save", text(&options->saveFile)},
      {"--out", text(&options->outFolder)},
      {"--start-after", setting(NumericSetting::delaybeforefirst, &options->startAfter)},
      {"--every", setting(NumericSetting::delaybetweensamples, &options->every)},
      {"--least", setting(NumericSetting::leastnofframes, &options->least)},
      {"--quality", setting(NumericSetting::jpegquality, &options->quality)},
      {"--format",
       [options](const std::string& v) {
         if (v == "jpg" || v == "jpeg") {
           options->imageFormat = 0;
         } else if (v == "bmp") {
           options->imageFormat = 1;
         } else {
           return false;
         }
         return true;
       }},
  };
  const std::map<std::string, bool*> flags = {
      {"--no-html", &options->noHtml},
      {"--no-playlist", &options->noPlaylist},
      {"--no-index-photo", &options->noIndexPhoto},
      {"--help", &options->help},
      {"--worker-interactive", &options->workerInteractive},
      {"-h", &options->help},
  };

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
  --no-html           make no web pages
  --no-playlist       make no image playlists
  --no-index-photo    make no index photos
  --jobs N            index up to N videos at the same time, each in a
                      process of its own (default: the number of processors)
  --help              show this text

Without --project or --settings the default settings are used. Ctrl+C stops
the capture, saves the project (with --save) and ends the run. With more than
one job, a video whose process crashes or makes no progress for ten minutes
is marked failed and the others go on.

Exit status: 0 when every video was indexed, 1 when any was not, 2 on a
usage error.
)";
}

}  // namespace ombrelo::indexer
