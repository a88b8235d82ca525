#pragma once
// Measures of a picture's content, for choosing which frames to show.
#include <cstddef>
#include <cstdint>

namespace ombrelo {

// How much of a 24-bit picture (BGR or RGB: the measure does not tell the
// channels apart) is taken by its most common colour, within a small
// tolerance: 1 for a picture of one flat colour, lower the more it shows.
// Pixels are sampled on a grid of about 64 x 64 points; `stride` may be
// negative (bottom-up rows, `pixels` pointing at the top row). 1 for an
// empty picture.
double DominantColourShare(const uint8_t* pixels, int width, int height, ptrdiff_t stride);

// A picture that is almost one flat colour: black or white frames, fades,
// title cards with a little text. Nothing to recognise a video by.
bool IsNearlyFlat(const uint8_t* pixels, int width, int height, ptrdiff_t stride);

}  // namespace ombrelo
