#pragma once
// The one channel for internal diagnostics. Every library writes its debug
// lines here; nothing in the core prints to stdout or stderr by itself.
//
// By default a line goes to standard error when OMBRELO_DEBUG is set in the
// environment, and nowhere otherwise. Tests (and front ends that want a log)
// install a sink that receives every text exactly as it was written.
#include <functional>
#include <string>
#include <string_view>

namespace ombrelo {

// Writes one debug text. The text is passed on unchanged (most texts carry
// their own trailing line feed, some do not).
void DebugOutput(std::string_view text);

// printf-style convenience for texts built from values.
void DebugOutputF(const char* format, ...) __attribute__((format(printf, 1, 2)));

using DebugSink = std::function<void(std::string_view)>;

// Installs a sink that receives every debug text; returns the previous one.
// An empty sink restores the default behaviour. Thread-safe.
DebugSink SetDebugSink(DebugSink sink);

}  // namespace ombrelo
