#pragma once
// The capture settings' element list inside a project file's "<rendering>".
#include <istream>
#include <string>

#include "engine/capture_settings.h"

namespace ombrelo {

// The elements in file order, e.g. "<samplestart>3</samplestart>...".
std::string CaptureSettingsToXml(const CaptureSettings& settings);

// Reads the elements in file order into settings. A missing or misplaced
// element throws the tag reader's "Format error : missing " text; fields read
// before it keep their new values, the rest keep what they had. Values that
// cannot be honoured are clamped into range (ClampToRanges).
void ReadCaptureSettingsXml(std::istream& in, CaptureSettings& settings);

}  // namespace ombrelo
