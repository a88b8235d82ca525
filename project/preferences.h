#pragma once
// Per-user preferences kept between runs (QSettings under the organisation
// "Tessaly" and the application "Ombrelo": ~/.config/Tessaly/Ombrelo.conf),
// and the settings file "last_settings.bin" that carries the project's
// output and capture settings from one run to the next.
#include <cstdint>
#include <string>

namespace ombrelo {

class CProject;

inline constexpr char kOrganizationName[] = "Tessaly";
inline constexpr char kApplicationName[] = "Ombrelo";
inline constexpr char kSettingsFileName[] = "last_settings.bin";

class Preferences {
 public:
  // The process-wide preferences, read on first use. When the process ends
  // with FirstRun still set, FirstRun is cleared and saved, so it reads true
  // during the first run only.
  static Preferences& Instance();

  // Defaults (ShowTutorials 1, FirstRun 1, Videos 0), then Read.
  Preferences();
  // Clears FirstRun and saves when it is still set.
  ~Preferences();
  // The program is ending normally: FirstRun is cleared and saved now,
  // before anything slow of the shut-down, so that a start in the meantime
  // already counts as a later run.
  void RecordNormalEnd();
  Preferences(const Preferences&) = delete;
  Preferences& operator=(const Preferences&) = delete;

  // Reads "ShowTutorials", "FirstRun" and "Videos". A missing or unreadable
  // value leaves its field as it was; an unreadable store keeps them all.
  void Read();
  // Writes the three values. Failures are silent.
  void Save();

  bool ShowTutorials() const { return showTutorials_ != 0; }
  // Stores and saves at once, but only when the value changes.
  void SetShowTutorials(bool show);
  bool FirstRun() const { return firstRun_ != 0; }
  // Movies indexed so far.
  uint32_t Videos() const { return videos_; }
  // Counts one more indexed movie (saved with the next Save).
  void IncrementVideos() { ++videos_; }

 private:
  uint32_t showTutorials_ = 1;
  uint32_t firstRun_ = 1;
  uint32_t videos_ = 0;
};

// The advanced setting "Skip blank thumbnails": samples that are nearly one
// flat colour are replaced by a frame after them. Off unless the user turned
// it on; the key ("SkipBlankThumbnails") is stored only while it is on.
bool SkipBlankThumbnails();
void SetSkipBlankThumbnails(bool skip);

// The folder of the settings file: the user's local application data folder
// (~/.local/share/Tessaly/Ombrelo/, following XDG_DATA_HOME) with a trailing
// separator; "" when it cannot be determined (the caller then falls back to
// the application data folder).
std::string SettingsFolder();

// Loads folder + "last_settings.bin" into the project (CProject::Load).
bool LoadSettingsFile(CProject& project, const std::string& folder);
// Creates the folder when needed and writes folder + "last_settings.bin":
// the project file of the project with an empty movie list (the project
// itself keeps its movies).
bool SaveSettingsFile(const CProject& project, const std::string& folder);

}  // namespace ombrelo
