#pragma once
// The command line of ombrelo-index.
#include <optional>
#include <string>
#include <vector>

namespace ombrelo::indexer {

// The most parts --shard shares a collection out in.
inline constexpr int kMostShards = 1000000;

// One of the parts a collection is shared out in: the index-th (from 1) of
// count.
struct Shard {
  int index = 1;
  int count = 1;
};

struct Options {
  std::string projectFile;           // --project: movies and settings
  std::string settingsFile;          // --settings: settings only
  std::string saveFile;              // --save: the project is written here at the end
  std::string outFolder;             // --out: DIR/Thumbs/, DIR/Html/, DIR/Ipl/, DIR/Index/
  std::optional<double> startAfter;  // --start-after SEC
  std::optional<double> every;       // --every SEC
  std::optional<int> least;          // --least N
  std::optional<int> quality;        // --quality Q
  std::optional<int> imageFormat;    // --format jpg|bmp (0 or 1)
  bool noHtml = false;
  bool noPlaylist = false;
  bool noIndexPhoto = false;
  bool skipBlank = false;      // --skip-blank: no nearly flat thumbnails when avoidable
  bool noDeinterlace = false;  // --no-deinterlace: interlaced frames taken with both fields
  bool allowMany = false;      // --allow-many-thumbnails: no limit of thumbnails per video
  bool help = false;
  bool version = false;            // --version
  bool listTemplates = false;      // --list-templates
  std::string htmlTemplate;        // --html-template NAME: the web page template
  std::string indexTemplate;       // --index-template NAME: the index photo template
  bool quiet = false;              // --quiet: no progress and no summary, only errors
  bool json = false;               // --json: one JSON object per movie on stdout
  std::optional<Shard> shard;      // --shard K/N: only this part of the videos
  std::string mergeInto;           // --merge OUT: the paths are projects to join into OUT
  std::optional<int> jobs;         // --jobs N: movies indexed at the same time
  std::vector<std::string> paths;  // videos and folders

  // A worker of a batch (hidden options): takes the settings of this
  // project file and indexes the movies the batch sends it.
  std::string workerProject;
  bool workerInteractive = false;       // the batch draws progress lines
  std::optional<double> workerTimeout;  // seconds without output before a worker is killed
  std::optional<int> workerThreads;     // threads the worker's decoding and conversion may use
};

// Parses the arguments after the program name. Options take their value as
// the next argument or after "=" (--out=DIR); "--" ends the options. False
// with a message in *error for an unknown option, a missing or bad value.
bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error);

// The text --help prints.
std::string UsageText();

}  // namespace ombrelo::indexer
