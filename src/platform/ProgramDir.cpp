#include "ProgramDir.h"

#include <QCoreApplication>
#include <QDir>

namespace tervalia {

namespace {
QString& overrideDir()
{
    static QString dir;
    return dir;
}
} // namespace

QString programDir()
{
    if (!overrideDir().isEmpty())
        return overrideDir();
    return QCoreApplication::applicationDirPath();
}

void setProgramDir(const QString& dir)
{
    overrideDir() = dir;
}

QString programFile(const QString& name)
{
    return QDir(programDir()).filePath(name);
}

} // namespace tervalia
