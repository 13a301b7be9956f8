#include "TestProgramDir.h"

#include "platform/ProgramDir.h"
#include "storage/ReadWrite.h"

#include <QDir>
#include <QFile>
#include <stdexcept>

namespace tervalia::test {

TestProgramDir::TestProgramDir()
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary program directory");
    const QDir dist(QStringLiteral(TERVALIA_DIST_DIR));
    for (const char* name : {"dipam.db", "dipam.ini", "info.dip"}) {
        const QString n = QString::fromLatin1(name);
        if (!QFile::copy(dist.filePath(n), file(n)))
            throw std::runtime_error("cannot copy " + n.toStdString() + " from the ready program directory");
        QFile::setPermissions(file(n), QFile::ReadOwner | QFile::WriteOwner);
    }
    QDir(path()).mkdir(QStringLiteral("temp"));
    setProgramDir(path());
    setIniPath(file(QStringLiteral("dipam.ini")));
}

TestProgramDir::~TestProgramDir()
{
    setProgramDir({});
    setIniPath({});
}

QString TestProgramDir::file(const QString& name) const
{
    return QDir(path()).filePath(name);
}

void TestProgramDir::writeFile(const QString& name, const QByteArray& content) const
{
    QFile f(file(name));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        throw std::runtime_error("cannot write " + name.toStdString());
}

void TestProgramDir::removeFile(const QString& name) const
{
    QFile::remove(file(name));
}

void TestProgramDir::installFromDist(const QString& name) const
{
    if (!QFile::copy(QDir(QStringLiteral(TERVALIA_DIST_DIR)).filePath(name), file(name)))
        throw std::runtime_error("cannot copy " + name.toStdString() + " from the ready program directory");
}

void TestProgramDir::writeSettings(const QString& host, const QString& port, const QStringList& extra) const
{
    QString text = QStringLiteral("[servidor]\r\nhost=%1\r\nport=%2\r\n").arg(host, port);
    for (const QString& line : extra)
        text += line + QStringLiteral("\r\n");
    writeFile(QStringLiteral("dipam.ini"), text.toUtf8());
}

} // namespace tervalia::test
