#pragma once

#include <QString>

class QApplication;

namespace tervalia {

// Qt's own texts (Sim, Não, Cancelar, the file dialogs) in Portuguese.
void installPortugueseTranslations(QApplication& app);

// Finds or prepares the program directory (portable or the user's own, see ProgramDir.h) and
// makes it the program directory. Returns what went wrong, in Portuguese, or an empty text.
QString prepareProgramDirectory();

// Points the settings at dipam.ini of the program directory and shows the opening window.
// Shows startupError over the opening window when it is not empty.
void startUp(const QString& startupError = {});

} // namespace tervalia
