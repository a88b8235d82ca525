#pragma once
// Turns an interlaced frame into one picture of a single instant before it
// is converted, so that thumbnails of camcorder and broadcast video show
// clean edges instead of combs wherever something moves.
//
// An interlaced frame holds two fields taken a field period apart: its even
// rows and its odd rows. The frame taken is deinterlaced on its own: the
// field shown first is kept, and the rows of the other field are rebuilt
// from it where the two fields disagree (a row that stands out from both of
// its neighbours in the same direction, the comb a moving edge draws). Rows
// where the fields agree keep their own samples, so still parts of the
// picture keep their full detail. Working on the one frame keeps the
// capture frame-exact and needs no frames around it, which a capture that
// seeks and skips frames does not have at hand.
//
// Progressive frames pass untouched, so their conversion stays what it was.
#include <memory>

struct AVFrame;

namespace ombrelo {

class Deinterlacer {
 public:
  Deinterlacer();
  ~Deinterlacer();
  Deinterlacer(const Deinterlacer&) = delete;
  Deinterlacer& operator=(const Deinterlacer&) = delete;

  // What the stream declares (its AVFieldOrder and AVCodecID), for frames
  // whose decoder does not say whether they are interlaced.
  void SetStream(int fieldOrder, int codecId);

  // Whether the frame's fields are pictures of different instants, and
  // which is shown first. The frame's own flag decides when its decoder
  // marks pictures; otherwise the stream's field order.
  bool Interlaced(const AVFrame* frame, bool* topFieldFirst) const;

  // The frame itself when it is progressive or its pixel format keeps
  // samples in a way this cannot work on. Otherwise a frame owned by the
  // deinterlacer holding the picture of the first field, valid until the
  // next call. The frame given is never written to (the decoder may still
  // refer to it).
  AVFrame* Apply(AVFrame* frame);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace ombrelo
