#include "app/Startup.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tervalia"));
    tervalia::installPortugueseTranslations(app);
    tervalia::startUp(tervalia::prepareProgramDirectory());
    return QApplication::exec();
}
