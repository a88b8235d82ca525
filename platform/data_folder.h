#pragma once
// The application data folder: templates, help pages, pictures and the
// recovery file. It is the current directory at start-up followed by
// "Data/" when that folder exists, else the installed data folder.
#include <string>

namespace ombrelo {

// The application data folder, always ending with "/". The answer is fixed
// at the first call (or at start-up, when this file is linked in) unless it
// is overridden below. The environment variable OMBRELO_DATA, when set and
// not empty, takes the place of both candidates.
std::string ApplicationDataFolder();

// Replaces the folder for the rest of the run (tests, front ends with an
// option of their own). An empty text returns to the start-up rule.
void SetApplicationDataFolder(const std::string& folder);

// The installed data folder that the start-up rule falls back to.
std::string InstalledDataFolder();

}  // namespace ombrelo
