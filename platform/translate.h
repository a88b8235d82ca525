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

// Marks a text of a table for the catalogue tools without looking it up; the
// code that shows it passes it through TranslateKept() with the same context.
// (The same definition as Qt's, so that either may come first.)
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

namespace ombrelo {

using TranslateHook = std::string (*)(const char* context, const char* source,
                                      const char* disambiguation, int n);

// Installed once at start-up, before any thread translates; nullptr removes it.
void SetTranslateHook(TranslateHook hook);

std::string Translate(const char* context, const char* source, const char* disambiguation = nullptr,
                      int n = -1);

// Translate() for a text that is not written in the call itself (a table's
// text marked with QT_TRANSLATE_NOOP): the catalogue tools find it where it
// is marked.
std::string TranslateKept(const char* context, const char* source);

// Puts the values in place of %1, %2, ... (each may stand more than once, in
// any order). A value's own "%2" is not replaced again; "%%" stays as it is.
std::string FillIn(std::string_view pattern, std::initializer_list<std::string_view> values);

}  // namespace ombrelo
