#include "app/indexer/terminal_port.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "engine/codec_probe.h"
#include "platform/data_folder.h"
#include "platform/translate.h"
#include "project/movie.h"
#include "workflow/frame_output.h"
#include "workflow/workflow_controller.h"

namespace ombrelo::indexer {

namespace {

constexpr int kBarWidth = 24;

}  // namespace

size_t DecodeUtf8(std::string_view text, size_t i, uint32_t* code) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t length;
  uint32_t value;
  if (lead < 0x80) {
    *code = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2;
    value = lead & 0x1Fu;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    value = lead & 0x0Fu;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    value = lead & 0x07u;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(i + k) & 0x3Fu);
  }
  constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[length] || value > 0x10FFFF) return 0;
  if (value >= 0xD800 && value <= 0xDFFF) return 0;
  *code = value;
  return length;
}

namespace {

// Codec help as a terminal user can follow it: the local page by its path.
std::string CodecHelpForTerminal(const std::string& address) {
  if (address != kLocalCodecHelpPage) return address;
  return ApplicationDataFolder() + "dialogs/" + address;
}

// A text of the workflow with the name in it escaped in full (its line
// feeds too); the rest keeps its own lines.
std::string WithNameEscaped(const std::string& text, const std::string& name) {
  if (name.empty()) return text;
  const std::string safe = TerminalSafe(name);
  std::string out;
  size_t from = 0;
  for (size_t at; (at = text.find(name, from)) != std::string::npos; from = at + name.size()) {
    out += text.substr(from, at - from);
    out += safe;
  }
  return out + text.substr(from);
}

}  // namespace

std::string TerminalSafe(std::string_view text, bool keepLineFeeds) {
  std::string out;
  out.reserve(text.size());
  char escape[16];
  for (size_t i = 0; i < text.size();) {
    uint32_t code = 0;
    const size_t length = DecodeUtf8(text, i, &code);
    if (length == 0) {
      std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(text[i]));
      out += escape;
      ++i;
      continue;
    }
    if (code == '\n' && keepLineFeeds) {
      out += '\n';
    } else if (code < 0x20 || code == 0x7F) {
      switch (code) {
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\t':
          out += "\\t";
          break;
        default:
          std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(code));
          out += escape;
      }
    } else if (code >= 0x80 && code <= 0x9F) {
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(code));
      out += escape;
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  return out;
}

std::string FitColumns(const std::string& text, int columns) {
  int count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) == 0x80) continue;  // continuation byte
    if (count == columns) return text.substr(0, i);
    ++count;
  }
  return text;
}

int TerminalColumns(std::FILE* out) {
  winsize size{};
  if (::ioctl(::fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  // Not a terminal: the width its reader asked for (a batch's worker).
  const char* columns = std::getenv("COLUMNS");
  const int asked = columns ? std::atoi(columns) : 0;
  return asked > 0 ? asked : 80;
}

TerminalPort::TerminalPort(std::FILE* out, std::FILE* err, bool interactive)
    : out_(out), err_(err), interactive_(interactive) {}

TerminalPort::~TerminalPort() { EndProgressLine(); }

void TerminalPort::Follow(WorkflowController& run) {
  using Run = WorkflowController;
  QObject::connect(&run, &Run::statusChanged, &run,
                   [this](const std::string& text) { SetStatusText(text); });
  QObject::connect(&run, &Run::movieStarted, &run,
                   [this](const Movie& movie) { MovieStarted(movie); });
  const auto failed = [this](const Movie& movie, const std::string& errorText) {
    MovieNotOpened(movie, errorText);
  };
  QObject::connect(&run, &Run::movieNotOpened, &run, failed);
  QObject::connect(&run, &Run::movieFailed, &run, failed);
  QObject::connect(&run, &Run::progress, &run,
                   [this](int32_t movieId, int perMille) { ShowProgress(movieId, perMille); });
  QObject::connect(&run, &Run::previewFrame, &run,
                   [this](const FrameCopy& frame) { ShowFrame(frame); });
  QObject::connect(&run, &Run::movieFinished, &run,
                   [this](const Movie& movie) { MovieFinished(movie); });
  QObject::connect(&run, &Run::indexPhotoFinished, &run, [this](const Movie& movie, bool written) {
    IndexPhotoFinished(movie, written);
  });
  QObject::connect(&run, &Run::runFinished, &run, [this] { RunFinished(); });
  QObject::connect(&run, &Run::runCompleted, &run,
                   [this](int indexed, int failedCount) { RunCompleted(indexed, failedCount); });
  QObject::connect(&run, &Run::helpRequested, &run,
                   [this](const std::string& name, HelpMode mode) { ShowHelpPage(name, mode); });
  QObject::connect(&run, &Run::codecHelpRequested, &run,
                   [this](const std::string& moviePath, const std::string& address) {
                     OpenCodecHelp(moviePath, address);
                   });
  QObject::connect(&run, &Run::decodingProblemsFound, &run,
                   [this](const std::vector<std::string>& paths) { ShowDecodingProblems(paths); });
  QObject::connect(&run, &Run::messageRequested, &run,
                   [this](const Message& message) { ShowMessage(message); });
}

void TerminalPort::EndProgressLine() {
  if (!lineOpen_) return;
  std::fputs("\r\033[K", out_);
  std::fflush(out_);
  lineOpen_ = false;
  lastDrawn_.clear();
}

void TerminalPort::Note(const std::string& text) {
  EndProgressLine();
  std::fprintf(out_, "%s\n", TerminalSafe(text, true).c_str());
  std::fflush(out_);
}

void TerminalPort::Error(const std::string& text) {
  EndProgressLine();
  std::fflush(out_);
  std::fprintf(err_, "%s\n", TerminalSafe(text, true).c_str());
  std::fflush(err_);
}

std::string ImagesText(int count) {
  return count == 1 ? Translate("Indexer", "%n image", nullptr, count)
                    : Translate("Indexer", "%n images", nullptr, count);
}

void TerminalPort::Draw() {
  if (!interactive_) return;
  const int filled = perMille_ * kBarWidth / 1000;
  std::string line = movieName_.empty() ? std::string("ombrelo-index") : movieName_;
  line += " [";
  line.append(static_cast<size_t>(filled), '#');
  line.append(static_cast<size_t>(kBarWidth - filled), '-');
  char percent[16];
  std::snprintf(percent, sizeof percent, "] %3d%%  ", perMille_ / 10);
  line += percent;
  line += ImagesText(frames_) + "  ";
  line += status_;
  // One line that redraws itself: nothing in it may move the cursor.
  line = FitColumns(TerminalSafe(line), std::max(TerminalColumns(out_) - 1, 10));
  if (line == lastDrawn_) return;
  lastDrawn_ = line;
  std::fprintf(out_, "\r\033[K%s", line.c_str());
  std::fflush(out_);
  lineOpen_ = true;
}

void TerminalPort::PlainProgress() {
  if (interactive_) return;
  const int percent = perMille_ / 100 * 10;  // every tenth
  if (percent == lastPlainPercent_) return;
  lastPlainPercent_ = percent;
  std::fprintf(out_, "[%3d%%] %s: %s\n", percent, TerminalSafe(movieName_).c_str(),
               ImagesText(frames_).c_str());
  std::fflush(out_);
}

void TerminalPort::SetStatusText(const std::string& text) {
  if (text == status_) return;
  status_ = text;
  if (interactive_) {
    Draw();
  } else {
    std::fprintf(out_, "%s\n", TerminalSafe(text).c_str());
    std::fflush(out_);
  }
}

void TerminalPort::MovieNotOpened(const Movie& movie, const std::string& errorText) {
  Error(WithNameEscaped(errorText, movie.path()));
}

void TerminalPort::MovieStarted(const Movie& movie) {
  EndProgressLine();
  movieName_ = movie.Title();
  perMille_ = 0;
  frames_ = 0;
  lastPlainPercent_ = -1;
  Draw();
}

void TerminalPort::ShowProgress(int32_t, int perMille) {
  perMille_ = std::clamp(perMille, 0, 1000);
  Draw();
  PlainProgress();
}

void TerminalPort::ShowFrame(const FrameCopy& frame) {
  // Previews are coalesced: the frame says how many came before it.
  frames_ = frame.imageNumber + 1;
  Draw();
}

void TerminalPort::MovieFinished(const Movie& movie) {
  EndProgressLine();
  const int count = static_cast<int>(std::min<size_t>(movie.images.size(), INT32_MAX));
  const std::string line =
      FillIn(count == 1 ? Translate("Indexer", "Indexed %1 (%n image)", nullptr, count)
                        : Translate("Indexer", "Indexed %1 (%n images)", nullptr, count),
             {TerminalSafe(movie.path())});
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

void TerminalPort::IndexPhotoFinished(const Movie& movie, bool written) {
  if (written) {
    Note(FillIn(Translate("Indexer", "Index photo %1"), {TerminalSafe(movie.indexphoto)}));
  } else {
    Error(FillIn(Translate("Indexer", "No index photo for %1"), {TerminalSafe(movie.path())}));
  }
}

void TerminalPort::ShowHelpPage(const std::string& name, HelpMode mode) {
  // The pages that only explain a message already printed are left out.
  if (mode != HelpMode::notice || name == "completed.htm") return;
  if (name == "error_writing.htm") {
    Error(Translate("Indexer",
                    "A thumbnail could not be written: check that the output folder exists and "
                    "is writable, and that the disk is not full."));
  } else if (name == "error_capturing.htm") {
    Error(Translate("Indexer",
                    "A video could not be opened: check that the file exists and is a video."));
  } else {
    Error(FillIn(Translate("Indexer", "See the help page %1"), {TerminalSafe(name)}));
  }
}

void TerminalPort::OpenCodecHelp(const std::string& moviePath, const std::string& address) {
  Error(FillIn(Translate("Indexer", "No installed decoder can play '%1'. Codec help: %2"),
               {TerminalSafe(moviePath), TerminalSafe(CodecHelpForTerminal(address))}));
}

void TerminalPort::ShowDecodingProblems(const std::vector<std::string>& paths) {
  std::string text = Translate(
      "Indexer", "Decoding problems: these videos need missing components (video codecs) to play:");
  for (const std::string& path : paths) {
    text += "\n  " + FillIn(Translate("Indexer", "%1  codec help: %2"),
                            {TerminalSafe(path),
                             TerminalSafe(CodecHelpForTerminal(CodecHelpAddress(path)))});
  }
  Error(text);
}

void TerminalPort::RunCompleted(int indexed, int failed) {
  // A run where every video was indexed ends without a word of its own.
  if (failed > 0)
    Error(TranslateKept("WorkflowPort", kRunSummaryCaption) + ": " +
          RunSummaryText(indexed, failed));
}

void TerminalPort::RunFinished() {
  EndProgressLine();
  if (runFinished_) runFinished_();
}

void TerminalPort::ShowMessage(const Message& message) {
  Error(message.caption.empty() ? message.text : message.caption + ": " + message.text);
}

}  // namespace ombrelo::indexer
