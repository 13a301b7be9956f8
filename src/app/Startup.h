#pragma once

class QApplication;

namespace tervalia {

// Qt's own texts (Sim, Não, Cancelar, the file dialogs) in Portuguese.
void installPortugueseTranslations(QApplication& app);

// Points the settings at dipam.ini of the program directory and shows the opening window.
void startUp();

} // namespace tervalia
