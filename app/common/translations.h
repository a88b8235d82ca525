#pragma once
// The user's language for both programs: the program's own catalogue (built
// into the program), Qt's catalogue for its dialogs, and the core libraries'
// texts routed through the same lookup.
#include <QLocale>
#include <QString>

class QCoreApplication;

namespace ombrelo {

// Loads the catalogues of the first of the locale's languages (LANGUAGE,
// LC_ALL, LC_MESSAGES, LANG for the default) that the program speaks. English
// is the language the texts are written in: a user who puts it before another
// language gets it. Calling it again replaces what an earlier call loaded.
// Returns the language loaded ("de"), or an empty text for English.
QString LoadTranslations(QCoreApplication& app, const QLocale& locale = QLocale());

// The language LoadTranslations loaded last ("de"), empty for English.
QString LoadedTranslation();

// The languages the program has a catalogue for ("de", ...), English not counted.
QStringList AvailableTranslations();

}  // namespace ombrelo
