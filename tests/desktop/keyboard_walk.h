#pragma once
// Walking a window as a keyboard user does: Tab from control to control,
// and the mnemonics of its menus and buttons.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <map>
#include <vector>

namespace ombrelo::testing {

// The controls below `area` that Tab should reach: enabled, shown, taking
// the focus by Tab.
inline std::vector<QWidget*> TabStops(QWidget* area) {
  std::vector<QWidget*> stops;
  for (QWidget* widget : area->findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(area->window()) || !widget->isEnabled()) continue;
    if (!(widget->focusPolicy() & Qt::TabFocus) || widget->focusProxy()) continue;
    // Of a group of radio buttons Tab stops at the checked one; the arrows
    // move within the group.
    if (auto* radio = qobject_cast<QRadioButton*>(widget); radio && !radio->isChecked()) continue;
    stops.push_back(widget);
  }
  return stops;
}

// Presses Tab from `first` on, once round the window, and gives the
// controls below `area` in the order they got the focus.
inline std::vector<QWidget*> WalkByTab(QWidget* area, QWidget* first) {
  QWidget* window = area->window();
  QApplication::setActiveWindow(window);
  first->setFocus(Qt::TabFocusReason);
  std::vector<QWidget*> order;
  for (int step = 0; step < 200; ++step) {
    QWidget* focused = QApplication::focusWidget();
    if (!focused) break;
    if (step > 0 && focused == first) break;
    if (area->isAncestorOf(focused) &&
        std::find(order.begin(), order.end(), focused) == order.end())
      order.push_back(focused);
    QTest::keyClick(focused, Qt::Key_Tab);
  }
  return order;
}

// The outermost group box below `area` that holds `widget`, or the widget.
inline QWidget* OuterGroup(QWidget* area, QWidget* widget) {
  QWidget* group = widget;
  for (QWidget* up = widget; up && up != area; up = up->parentWidget())
    if (qobject_cast<QGroupBox*>(up)) group = up;
  return group;
}

// Whether `b` comes before `a` as one reads: wholly above it, or beside it
// on its left. Controls in different groups are read group by group.
inline bool ReadBefore(QWidget* area, QWidget* b, QWidget* a) {
  if (QWidget* ga = OuterGroup(area, a), *gb = OuterGroup(area, b); ga != gb) {
    a = ga;
    b = gb;
  }
  const QRect ra(a->mapTo(area, QPoint()), a->size());
  const QRect rb(b->mapTo(area, QPoint()), b->size());
  if (rb.bottom() < ra.top()) return true;
  const bool sideBySide = rb.top() <= ra.bottom() && ra.top() <= rb.bottom();
  return sideBySide && rb.right() < ra.left();
}

inline std::string Describe(QWidget* area, QWidget* widget) {
  const QPoint at = widget->mapTo(area, QPoint());
  QString text;
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) text = button->text();
  return std::string(widget->metaObject()->className()) + " \"" + text.toStdString() + "\" at " +
         std::to_string(at.x()) + "," + std::to_string(at.y());
}

// Tab reaches every control below `area`, in reading order.
inline void ExpectTabReachesAllInReadingOrder(QWidget* area, QWidget* first) {
  const std::vector<QWidget*> order = WalkByTab(area, first);
  for (QWidget* stop : TabStops(area))
    EXPECT_NE(std::find(order.begin(), order.end(), stop), order.end())
        << "Tab does not reach " << stop->metaObject()->className() << " "
        << stop->objectName().toStdString();
  for (size_t i = 1; i < order.size(); ++i)
    EXPECT_FALSE(ReadBefore(area, order[i], order[i - 1]))
        << Describe(area, order[i]) << " comes after " << Describe(area, order[i - 1]);
}

// The mnemonic letter of a text, or 0.
inline int Mnemonic(const QString& text) { return QKeySequence::mnemonic(text)[0].key(); }

// No two mnemonics among the texts collide; the texts with a letter each
// have one.
inline void ExpectOwnMnemonics(const std::vector<QString>& texts, const std::string& where) {
  std::map<int, QString> taken;
  for (const QString& text : texts) {
    const int key = Mnemonic(text);
    if (key == 0) {
      EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("\\w"))))
          << where << ": \"" << text.toStdString() << "\" has no mnemonic";
      continue;
    }
    const auto [at, fresh] = taken.emplace(key, text);
    EXPECT_TRUE(fresh) << where << ": \"" << text.toStdString() << "\" and \""
                       << at->second.toStdString() << "\" share a mnemonic";
  }
}

// Each menu's items, and the submenus', have mnemonics of their own.
inline void ExpectMenusHaveOwnMnemonics(QMenu* menu) {
  std::vector<QString> texts;
  for (QAction* action : menu->actions()) {
    if (action->isSeparator() || !action->isVisible()) continue;
    texts.push_back(action->text());
    if (action->menu()) ExpectMenusHaveOwnMnemonics(action->menu());
  }
  ExpectOwnMnemonics(texts, menu->title().toStdString());
}

// The texts the window's Alt keys go to while `area` shows: the menu
// titles, and the buttons in `area` (radio buttons move with the arrows).
inline std::vector<QString> AltKeyTexts(QMenuBar* bar, QWidget* area) {
  std::vector<QString> texts;
  if (bar)
    for (QAction* action : bar->actions()) texts.push_back(action->text());
  for (QAbstractButton* button : area->findChildren<QAbstractButton*>()) {
    if (!button->isVisibleTo(area->window()) || qobject_cast<QRadioButton*>(button)) continue;
    texts.push_back(button->text());
  }
  return texts;
}

}  // namespace ombrelo::testing
