#include "Startup.h"

#include "Abertura.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"
#include "storage/ReadWrite.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace tervalia {

// Every text of the program is Portuguese: Qt's own texts and dates are too, whatever the system's
// language.
void installPortugueseTranslations(QApplication& app)
{
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_pt_BR"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return;
    QCoreApplication::installTranslator(translator);
    FileDialog::traduzTiposDeArquivo(translator);
}

QString prepareProgramDirectory()
{
    const PastaPrograma pasta = preparaPastaPrograma();
    if (!pasta.pasta.isEmpty())
        setProgramDir(pasta.pasta);
    return pasta.erro;
}

void startUp(const QString& startupError)
{
    setIniPath(programFile(QStringLiteral("dipam.ini")));
    Abertura::instance()->show();
    if (!startupError.isEmpty())
        MessageBox::show(Abertura::existing(), startupError, QStringLiteral("Tervalia - MG"), QMessageBox::Critical);
}

} // namespace tervalia
