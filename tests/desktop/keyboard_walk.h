#pragma once
// Walking a window as a keyboard user does: Tab from control to control,
// and the Alt keys of its menus and buttons.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <map>
#include <vector>

namespace ombrelo::testing {

// The controls below `area` Tab should reach (of a radio group, the checked one).
inline std::vector<QWidget*> TabStops(QWidget* area) {
  std::vector<QWidget*> stops;
  for (QWidget* w : area->findChildren<QWidget*>()) {
    auto* radio = qobject_cast<QRadioButton*>(w);
    if (w->isVisibleTo(area->window()) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
        !w->focusProxy() && !(radio && !radio->isChecked()))
      stops.push_back(w);
  }
  return stops;
}

// Whether `b` comes before `a` as one reads: wholly above it, or beside it
// on its left. Controls in different group boxes are read group by group.
inline bool ReadBefore(QWidget* area, QWidget* b, QWidget* a) {
  const auto group = [area](QWidget* w) {
    QWidget* outer = w;
    for (QWidget* up = w; up && up != area; up = up->parentWidget())
      if (qobject_cast<QGroupBox*>(up)) outer = up;
    return outer;
  };
  if (group(a) != group(b)) std::tie(a, b) = std::pair(group(a), group(b));
  const QRect ra(a->mapTo(area, QPoint()), a->size()), rb(b->mapTo(area, QPoint()), b->size());
  return rb.bottom() < ra.top() ||
         (rb.top() <= ra.bottom() && ra.top() <= rb.bottom() && rb.right() < ra.left());
}

// Presses Tab from `first` once round the window: every control below
// `area` gets the focus, in reading order.
inline void ExpectTabReachesAllInReadingOrder(QWidget* area, QWidget* first) {
  QApplication::setActiveWindow(area->window());
  first->setFocus(Qt::TabFocusReason);
  std::vector<QWidget*> order;
  for (QWidget* at = first; at && order.size() < 200; at = QApplication::focusWidget()) {
    if (!order.empty() && at == first) break;
    if (area->isAncestorOf(at) && std::find(order.begin(), order.end(), at) == order.end())
      order.push_back(at);
    QTest::keyClick(at, Qt::Key_Tab);
  }
  for (QWidget* stop : TabStops(area))
    EXPECT_NE(std::find(order.begin(), order.end(), stop), order.end())
        << "Tab does not reach a " << stop->metaObject()->className();
  for (size_t i = 1; i < order.size(); ++i)
    EXPECT_FALSE(ReadBefore(area, order[i], order[i - 1]))
        << order[i]->metaObject()->className() << " is reached after the "
        << order[i - 1]->metaObject()->className() << " it comes before";
}

// No two of the texts share an Alt key; each with a letter has one.
inline void ExpectOwnMnemonics(const std::vector<QString>& texts, const std::string& where) {
  std::map<int, QString> taken;
  for (const QString& text : texts) {
    const int key = QKeySequence::mnemonic(text)[0].key();
    if (key == 0) {
      EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("\\w"))))
          << where << ": \"" << text.toStdString() << "\" has no Alt key";
    } else if (const auto [at, fresh] = taken.emplace(key, text); !fresh) {
      ADD_FAILURE() << where << ": \"" << text.toStdString() << "\" and \""
                    << at->second.toStdString() << "\" share an Alt key";
    }
  }
}

// Each menu's items, and its submenus', have Alt keys of their own.
inline void ExpectMenusHaveOwnMnemonics(QMenu* menu) {
  std::vector<QString> texts;
  for (QAction* action : menu->actions()) {
    if (action->isSeparator() || !action->isVisible()) continue;
    texts.push_back(action->text());
    if (action->menu()) ExpectMenusHaveOwnMnemonics(action->menu());
  }
  ExpectOwnMnemonics(texts, menu->title().toStdString());
}

// What the Alt keys go to while `area` shows: the menu titles, and the
// buttons (radio buttons move with the arrows).
inline std::vector<QString> AltKeyTexts(QMenuBar* bar, QWidget* area) {
  std::vector<QString> texts;
  if (bar)
    for (QAction* action : bar->actions()) texts.push_back(action->text());
  for (QAbstractButton* button : area->findChildren<QAbstractButton*>())
    if (button->isVisibleTo(area->window()) && !qobject_cast<QRadioButton*>(button))
      texts.push_back(button->text());
  return texts;
}

}  // namespace ombrelo::testing
