#pragma once
// A worker of a batch (see batch_run.h): indexes the movies the batch sends
// on its channel, one after the other, and answers each with the movie's
// record.
#include <string>

namespace ombrelo {
class CProject;
class CaptureEngine;
class PageGeneration;
}  // namespace ombrelo

namespace ombrelo::indexer {

// Takes the settings from the batch's settings file into project, then
// serves the channel until the batch closes it or asks the worker to stop
// (SIGTERM: the movie under way is stopped and answered). The exit code: 0,
// or 2 when the settings cannot be read.
int ServeBatch(const std::string& settingsFile, bool interactive, CProject& project,
               CaptureEngine& engine, PageGeneration& pages);

}  // namespace ombrelo::indexer
