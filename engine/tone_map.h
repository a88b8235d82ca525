#pragma once
// Brings HDR and wide-gamut pictures to what an SDR BT.709 display shows.
//
// A frame whose tags say PQ (SMPTE ST 2084) or HLG (ARIB STD-B67) transfer,
// or BT.2020 primaries, does not look right when its samples are simply
// converted to 8-bit RGB: PQ comes out washed out and grey, HLG too dark,
// wide-gamut colours dull. ToneMapper turns such a frame into 8-bit BGR the
// way FFmpeg's zscale and tonemap filters do: display light with a nominal
// 100 cd/m2 white (HLG shown on its nominal 1000 cd/m2 display, the system
// gamma applied to each component), the BT.2020 to BT.709 gamut matrix, the
// Hable curve on the brightest component up to the content's peak, then the
// BT.1886 inverse EOTF. The curves are look-up tables; the work is done on
// the converting thread, for the frames taken only. Frames with ordinary SDR
// tags pass untouched, so their conversion stays what it was.
#include <memory>

struct AVFrame;

namespace ombrelo {

class ToneMapper {
 public:
  ToneMapper();
  ~ToneMapper();
  ToneMapper(const ToneMapper&) = delete;
  ToneMapper& operator=(const ToneMapper&) = delete;

  // Whether frames tagged like this one are converted here.
  static bool Needed(const AVFrame* frame);

  // The frame itself when Needed is false. Otherwise a BGR24 frame of the
  // same size holding the picture as an SDR BT.709 display shows it, owned
  // by the mapper and valid until the next call; null when the frame cannot
  // be converted.
  AVFrame* Apply(AVFrame* frame);

  // The content's peak brightness used for the frame, in units of the
  // nominal 100 cd/m2 white: its content light level, else its mastering
  // display's peak, else 1000 cd/m2; kept within 1 to 100.
  static double SignalPeak(const AVFrame* frame);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace ombrelo
