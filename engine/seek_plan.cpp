#include "engine/seek_plan.h"

#include "engine/capture_engine.h"

namespace ombrelo {

FrameNumber FrameAt(int64_t start, int64_t end, bool hasEnd, int64_t frameDuration) {
  const int64_t stop = hasEnd ? end : start;
  const int64_t length = stop == start ? frameDuration : stop - start;
  return (start + length / 2) / frameDuration;
}

bool StartsPastDuration(int64_t start, double durationSeconds) {
  return static_cast<double>(start) / static_cast<double>(kUnitsPerSecond) > durationSeconds;
}

bool Takes(const SamplingSchedule& schedule, FrameNumber f, FrameNumber next) {
  return (f >= 0 && f >= next && f <= schedule.frameCount) || schedule.stopFrame == 0;
}

NextMove PlanAfterSample(const SamplingSchedule& schedule, FrameNumber taken, FrameNumber next,
                         bool seekAllowed) {
  if (next * schedule.frameDuration >= schedule.duration && schedule.period > 0)
    return {NextMove::complete, 0};
  if (seekAllowed && next > taken) return {NextMove::seek, SeekTarget(next, taken)};
  if (next > taken && schedule.stopFrame != 0) return {NextMove::decodeOn, next};
  return {};
}

FrameNumber SeekTarget(FrameNumber next, FrameNumber current) {
  const FrameNumber target = next > kSeekLeadFrames ? next - kSeekLeadFrames : next;
  return target < current ? current : target;
}

StallAction StallActionAt(uint64_t elapsedMs) {
  if (elapsedMs < 1000) return StallAction::none;
  if (elapsedMs < 3000) return StallAction::standBy;
  if (elapsedMs < 5000) return StallAction::slowMode;
  if (elapsedMs < 15000) return StallAction::probablyImpossible;
  if (elapsedMs <= 30000) return StallAction::none;
  return StallAction::giveUp;
}

const char* StallMessage(StallAction action) {
  switch (action) {
    case StallAction::standBy:
      return kStallMessageStandBy;
    case StallAction::slowMode:
      return kStallMessageSlowMode;
    case StallAction::probablyImpossible:
      return kStallMessageProbablyImpossible;
    case StallAction::giveUp:
      return kStallMessageAborting;
    case StallAction::none:
      break;
  }
  return nullptr;
}

int64_t ApproachBackoff(int retry) { return int64_t{2} * kUnitsPerSecond << (2 * retry); }

}  // namespace ombrelo
