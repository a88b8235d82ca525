#pragma once
// The push buttons at the foot of the progress and results pages. The
// desktop program gives the pages its own picture buttons, so that every
// page looks alike; without them the pages use the style's push buttons
// with its standard pictures.
#include <QString>
#include <functional>

class QAbstractButton;
class QWidget;

namespace ombrelo {

enum class PageButtonKind { back, next, report };

// Makes a button of that kind with that text (no parent yet).
using PageButtonFactory = std::function<QAbstractButton*(PageButtonKind kind, const QString& text)>;

// A button from the factory, or the plain push button when it has none.
QAbstractButton* MakePageButton(const PageButtonFactory& factory, PageButtonKind kind,
                                const QString& text, QWidget* parent);

}  // namespace ombrelo
