#pragma once
// The program's colours come from the palette of the desktop (or of the
// style), so that it reads as well in a dark scheme as in a light one.
#include <QColor>
#include <QIcon>
#include <QPalette>

class QAbstractItemView;

namespace ombrelo::desktop {

// A colour between two: 0 gives `from`, 1 gives `to`.
QColor Blend(const QColor& from, const QColor& to, double amount);

// Whether the palette draws light text on dark ground.
bool IsDark(const QPalette& palette);

// A dark palette for the Fusion style.
QPalette DarkPalette();

// Follows the colour scheme asked for in OMBRELO_COLOR_SCHEME ("dark" or
// "light"): Fusion with a palette of that scheme. Without it, a desktop
// that prefers dark (its settings portal says so) while the style's palette
// is light gets Fusion in dark; otherwise the desktop's own style and
// palette stay.
void ApplyColorSchemeFromEnvironment();

// An icon of the shape of `shape`, drawn in the program palette's button
// text colour, taken each time it is drawn (a symbol that stays readable on
// the button whatever the scheme, also after the scheme changes).
QIcon PaletteIcon(const QIcon& shape);

// Gives the view a selection that shows whether the view has the focus:
// the highlight while it has, a quieter colour while it has not.
void ShowFocusInSelection(QAbstractItemView* view);

}  // namespace ombrelo::desktop
