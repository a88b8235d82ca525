#pragma once
// The capture's decisions, as pure functions of the schedule and of what the
// decoder delivered: which frame a delivery is, whether it is taken, where
// the capture goes after a sample (on by decoding, ahead by seeking, or to
// its end), and what a stall of a given length calls for. The capture loop
// applies them; tests check them by tables.
#include <cstdint>

#include "engine/capture_settings.h"

namespace ombrelo {

// A seek ahead lands this many frames before the next sample.
constexpr FrameNumber kSeekLeadFrames = 40;

// The frame a delivery stands for: its middle, (start + length / 2) / T in
// 64-bit integers, where the length is end - start, or T when the end is
// unknown or equals the start.
FrameNumber FrameAt(int64_t start, int64_t end, bool hasEnd, int64_t frameDuration);

// True when a delivery starting at `start` (100-ns units) starts after the
// movie's length in seconds.
bool StartsPastDuration(int64_t start, double durationSeconds);

// Whether frame f is taken when `next` is the next frame to take: at or
// after it and not past the last frame (a frame before the stream's start
// never is), or any frame of a movie whose stop frame is 0.
bool Takes(const SamplingSchedule& schedule, FrameNumber f, FrameNumber next);

// Where a capture goes after the sample at `taken`, with `next` the next
// frame to take.
struct NextMove {
  enum Kind {
    complete,  // the next sample would start at or after the end of the movie
    seek,      // position to `target` (and decode from there to `next`)
    decodeOn,  // decode on toward `next`, taking no frame before it
    none,      // go on as before
  } kind = none;
  FrameNumber target = 0;

  bool operator==(const NextMove&) const = default;
};
NextMove PlanAfterSample(const SamplingSchedule& schedule, FrameNumber taken, FrameNumber next,
                         bool seekAllowed);

// The position of a seek ahead to `next`: kSeekLeadFrames before it when it
// lies further out than that, else `next` itself; never before `current`.
FrameNumber SeekTarget(FrameNumber next, FrameNumber current);

// What a stall that has lasted `elapsedMs` calls for, checked about once a
// second while no new frame comes.
enum class StallAction {
  none,                // below 1 s, and from 15 s to 30 s
  standBy,             // 1 s to 3 s: no seeking; "Stand by"
  slowMode,            // 3 s to 5 s: no seeking; decode every frame
  probablyImpossible,  // 5 s to 15 s: the user may stop it
  giveUp,              // above 30 s: the capture is given up
};
StallAction StallActionAt(uint64_t elapsedMs);

// The message shown for the action; null for `none`.
const char* StallMessage(StallAction action);

// How far back a seek that landed after its position looks next time (the
// retry-th time, from 0): 2 s, 8 s, 32 s, 128 s, in 100-ns units.
int64_t ApproachBackoff(int retry);

}  // namespace ombrelo
