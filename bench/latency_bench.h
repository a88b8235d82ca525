#pragma once
// ombrelo-workflow-bench latency: how long the owner's event loop keeps a
// posted event waiting during an indexing run (see latency_bench.cpp).
#include <string>

namespace ombrelo::bench {

struct LatencyOptions {
  bool keepSnapshot = true;  // keep the crash snapshot as the desktop program does
  bool slowVideo = true;     // index a video whose open takes about 2 s too
  int busyLoops = 0;         // processes spinning beside the run
  std::string corpus;        // where the generated videos are kept
  std::string dataFolder;    // the application data folder (templates)
};

// Runs it and prints the figures; 0 when the goal was met, 1 when it was
// missed, 2 when the run could not be made.
int LatencyBench(const LatencyOptions& options);

}  // namespace ombrelo::bench
