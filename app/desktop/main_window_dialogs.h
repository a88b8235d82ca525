#pragma once
// The main window's questions and file dialogs as the user sees them; the
// window holds them as replaceable functions (tests answer them).
#include "app/desktop/main_window.h"

namespace ombrelo::desktop {

QString DefaultFileChooser(QWidget* owner, MainWindow::FileDialog kind);
MainWindow::SaveAnswer DefaultSaveQuestion(QWidget* owner, const QString& name);
MainWindow::LockedAnswer DefaultLockedQuestion(QWidget* owner, const QString& path, qint64 holder);

}  // namespace ombrelo::desktop
