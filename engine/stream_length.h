#pragma once
// The length of a video stream whose file does not state it (Matroska
// written to a pipe, streams cut from a broadcast): the end of its last
// packet, read from the last megabytes of the file. Carries FFmpeg types:
// include it from .cpp files only.
#include <cstdint>

extern "C" {
#include <libavformat/avformat.h>
}

namespace ombrelo::av {

// Whether the length that VideoDuration gives for the stream cannot be
// trusted: none at all, or only the container's guess from its bit rate.
bool LengthNeedsScan(const AVFormatContext* format, int64_t duration, bool fromStream);

// The end of the stream's last packet, in 100-ns units from the stream's
// start, found by opening the file of `format` once more and reading its
// packets from up to 64 MB before its end (from 2 MB on, further back only
// while no packet of the stream turns up there). 0 when the file cannot be
// positioned or no timed packet of the stream was found. The scan gives up
// when `format`'s interrupt callback asks it to.
int64_t ScanVideoEnd(const AVFormatContext* format, const AVStream* stream);

}  // namespace ombrelo::av
