#pragma once
// The frame decoder: the video stream's decoder on FFmpeg's own threads,
// driven receive-first. A frame the decoder holds is taken before it is given
// the next packet; a packet it refuses with EAGAIN is kept and given again
// once its frames have been taken; at the end of the file it is drained
// once. Errors are counted, and the first of them written to the debug
// output.
#include <cstdint>
#include <memory>

#include "platform/result_codes.h"

struct AVFrame;
struct AVPacket;
struct AVStream;

namespace ombrelo {

struct PipelineCounters;

class FrameDecoder {
 public:
  explicit FrameDecoder(PipelineCounters& counters);
  ~FrameDecoder();
  FrameDecoder(const FrameDecoder&) = delete;
  FrameDecoder& operator=(const FrameDecoder&) = delete;

  // Opens the decoder of the stream. threadCount 0: FFmpeg's choice for
  // pictures larger than 640 x 480, one thread for smaller ones.
  // MediaError::noDecoder when the stream cannot be decoded.
  MediaError Open(AVStream* stream, int threadCount);
  bool IsOpen() const;

  enum class Receive { frame, failed, needsPacket, ended };
  // Takes a decoded frame when the decoder holds one; `failed` when the
  // decoder refused one (counted and logged).
  Receive Take(AVFrame* frame);
  // Gives the decoder a packet (its reference is taken over; one refused is
  // kept for Refused). skipNonRef:
  // the picture is shown well before anything wanted, so it may be left out
  // when nothing refers to it.
  void Give(AVPacket* packet, bool skipNonRef);
  // The packet refused last time, to be given again (with Give); null when
  // there is none.
  AVPacket* Refused();
  // The end of the file: what the decoder holds comes out, then `ended`.
  void Drain();
  bool Draining() const { return draining_; }
  // Forgets every frame and packet held (a new position).
  void Flush();
  // How many pictures decoding may lag behind reading (B-frame reordering).
  int ReorderDelay() const;

 private:
  void Error(const char* step, int error);

  PipelineCounters& counters_;
  struct Context;
  std::unique_ptr<Context> context_;
  bool draining_ = false;
  int errorsLogged_ = 0;
};

}  // namespace ombrelo
