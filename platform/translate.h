#pragma once
// Texts for the user's eyes go through Translate(), so that the front ends
// can show them in the user's language. The core libraries do not know Qt's
// catalogues: a front end installs a hook that looks texts up; without one a
// text stays as written. The catalogue tools find the calls by their name
// (Translate is a translate function to them, with the same arguments as
// QCoreApplication::translate).
//
// A text with values in it is a pattern with %1 ... %9, filled in after the
// lookup, so that a translation may put the values where its language wants
// them. A text that depends on a count passes the count as `n`: "%n" in the
// text becomes the count, and a catalogue may give a form for each plural.
#include <initializer_list>
#include <string>
#include <string_view>

namespace ombrelo {

using TranslateHook = std::string (*)(const char* context, const char* source,
                                      const char* disambiguation, int n);

// Installed once at start-up, before any thread translates; nullptr removes it.
void SetTranslateHook(TranslateHook hook);

std::string Translate(const char* context, const char* source, const char* disambiguation = nullptr,
                      int n = -1);

// Puts the values in place of %1, %2, ... (each may stand more than once, in
// any order). A value's own "%2" is not replaced again; "%%" stays as it is.
std::string FillIn(std::string_view pattern, std::initializer_list<std::string_view> values);

}  // namespace ombrelo
