#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace tervalia::test {

// A program directory of the test's own, made from the ready one the build produced: dipam.db,
// dipam.ini, info.dip and an empty temp/. It becomes the program directory and the settings path
// while it lives.
class TestProgramDir
{
public:
    TestProgramDir();
    ~TestProgramDir();

    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const;

    void writeFile(const QString& name, const QByteArray& content) const;
    void removeFile(const QString& name) const;
    // Copies one more file of the ready program directory (vaf_limpo.db, fbexport), keeping its
    // permissions.
    void installFromDist(const QString& name) const;
    // dipam.ini pointing at host and port; extra lines ("protocolo=https") follow in the same section.
    void writeSettings(const QString& host, const QString& port, const QStringList& extra = {}) const;

private:
    QTemporaryDir m_dir;
};

} // namespace tervalia::test
