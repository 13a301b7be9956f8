#include "VafTestData.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace tervalia::test {

QString geraVafGdb(const QString& path, const QStringList& options)
{
    QProcess p;
    p.start(QStringLiteral("bash"),
            QStringList{QStringLiteral(TERVALIA_SOURCE_DIR "/tests/delivery/gera_vaf_gdb.sh")} << options << path);
    if (!p.waitForFinished(300000))
        return QStringLiteral("gera_vaf_gdb.sh did not finish");
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("gera_vaf_gdb.sh failed: ") + QString::fromUtf8(p.readAllStandardError());
    return {};
}

int runFbExport(const QStringList& arguments, QString* errorText, QString* outputText)
{
    QProcess p;
    p.start(QDir(QStringLiteral(TERVALIA_DIST_DIR)).filePath(QStringLiteral("fbexport")), arguments);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    if (errorText)
        *errorText = QString::fromUtf8(p.readAllStandardError());
    if (outputText)
        *outputText = QString::fromUtf8(p.readAllStandardOutput());
    return p.exitCode();
}

QByteArray fileContent(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace tervalia::test
