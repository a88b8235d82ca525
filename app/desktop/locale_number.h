#pragma once
// Numbers as the user reads and writes them: in the locale of the session
// (a decimal comma where that is the custom), never with digit grouping, so
// that "0.500" typed in a locale that groups with points is refused rather
// than read as 500. Files keep their own notation; these are for fields.
#include <QLocale>
#include <QString>
#include <optional>

class QDoubleValidator;
class QObject;

namespace ombrelo::desktop {

// The session's locale, grouping refused and not written.
QLocale FieldLocale();

// The number the whole text (blanks around it allowed) gives in the field
// locale; nothing for any other text, infinities and NaN included.
std::optional<double> ReadFieldNumber(const QString& text);

// The whole number the whole text gives in the field locale.
std::optional<int> ReadFieldWholeNumber(const QString& text);

// The number of a field's text in the C notation that the checks of the
// engine read ("0,5" in a German session gives "0.5"); "" when the text is
// no number of that kind in the field locale.
QString CNotation(const QString& text, bool wholeNumber);

// The value with at least `minDecimals` decimals and as many more (up to
// six) as it needs to be read back as the same single-precision number.
QString ShowFieldNumber(double value, int minDecimals);

// A validator of non-negative numbers up to `top` in the field locale, in
// plain notation; `parent` owns it.
QDoubleValidator* MakeFieldValidator(double top, QObject* parent);

}  // namespace ombrelo::desktop
