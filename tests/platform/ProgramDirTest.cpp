#include "platform/ProgramDir.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tervalia;

namespace {
void escreve(const QString& caminho, const QByteArray& conteudo)
{
    QDir().mkpath(QFileInfo(caminho).path());
    QFile f(caminho);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(conteudo);
}

QByteArray le(const QString& caminho)
{
    QFile f(caminho);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

// Where the user's data live decides whether they survive an upgrade: these cases guard that.
class ProgramDirTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_raiz;
    QString exe() const { return m_raiz.filePath(QStringLiteral("usr/lib/tervalia")); }
    QString modelo() const { return m_raiz.filePath(QStringLiteral("usr/share/tervalia")); }
    QString dados() const { return m_raiz.filePath(QStringLiteral("home/.local/share")); }
    QString usuario(const char* nome) const
    {
        return QDir(dados()).filePath(QStringLiteral("tervalia/") + QLatin1String(nome));
    }

    void instala(const QByteArray& versao)
    {
        QDir().mkpath(exe());
        for (const char* nome : {"dipam.db", "dipam.ini", "vaf_limpo.db", "gia_limpa.db"})
            escreve(QDir(modelo()).filePath(QLatin1String(nome)), "modelo " + QByteArray(nome) + ' ' + versao);
        escreve(QDir(modelo()).filePath(QStringLiteral("info.dip")), versao);
    }

private slots:
    void init()
    {
        QVERIFY(m_raiz.isValid());
        QDir(m_raiz.path()).removeRecursively();
        QDir().mkpath(m_raiz.path());
    }

    void portableWhenTheExecutableDirectoryHoldsTheDatabase()
    {
        instala("1");
        escreve(QDir(exe()).filePath(QStringLiteral("dipam.db")), "portatil");
        const auto modos = QFileInfo(exe()).permissions();
        const PastaPrograma p = preparaPastaPrograma(exe(), modelo(), dados());
        QCOMPARE(QFileInfo(exe()).permissions(), modos);
        QVERIFY(p.erro.isEmpty());
        QVERIFY(p.portatil);
        QCOMPARE(p.pasta, exe());
        QVERIFY(!QFileInfo::exists(usuario("dipam.db")));
    }

    void firstStartPreparesTheUsersFolder()
    {
        instala("1.15.01");
        const PastaPrograma p = preparaPastaPrograma(exe(), modelo(), dados());
        QVERIFY2(p.erro.isEmpty(), qPrintable(p.erro));
        QVERIFY(!p.portatil);
        QCOMPARE(p.pasta, QDir(dados()).filePath(QStringLiteral("tervalia")));
        for (const char* nome : {"dipam.db", "dipam.ini", "info.dip", "vaf_limpo.db", "gia_limpa.db"})
            QVERIFY2(QFileInfo::exists(usuario(nome)), nome);
        QVERIFY(QFileInfo(usuario("temp")).isDir());
        QCOMPARE(p.copiados.size(), 5);
    }

    void upgradeKeepsTheUsersDataAndRefreshesTheProgramsFiles()
    {
        instala("1.15.01");
        preparaPastaPrograma(exe(), modelo(), dados());
        escreve(usuario("dipam.db"), "empresas do contador");
        escreve(usuario("dipam.ini"), "[servidor]\r\nhost=prefeitura\r\n");
        escreve(usuario("vaf.db"), "entrega em curso");
        QFile::remove(usuario("gia_limpa.db"));

        instala("1.16.00");
        const PastaPrograma p = preparaPastaPrograma(exe(), modelo(), dados());
        QVERIFY2(p.erro.isEmpty(), qPrintable(p.erro));
        QCOMPARE(le(usuario("dipam.db")), QByteArray("empresas do contador"));
        QCOMPARE(le(usuario("dipam.ini")), QByteArray("[servidor]\r\nhost=prefeitura\r\n"));
        QCOMPARE(le(usuario("vaf.db")), QByteArray("entrega em curso"));
        QCOMPARE(le(usuario("info.dip")), QByteArray("1.16.00"));
        QCOMPARE(le(usuario("gia_limpa.db")), QByteArray("modelo gia_limpa.db 1.16.00"));
        QVERIFY(!p.copiados.contains(QStringLiteral("dipam.db")));
    }

    // Another user of the machine reads nothing of the folder: neither what was copied at the
    // first start nor what the program writes later; a folder left open by an older version closes.
    void theUsersFolderIsPrivate()
    {
        instala("1");
        QDir().mkpath(usuario("temp"));
        QFile::setPermissions(QFileInfo(usuario("temp")).path(), QFileDevice::Permissions(0x7755));
        const PastaPrograma p = preparaPastaPrograma(exe(), modelo(), dados());
        QVERIFY2(p.erro.isEmpty(), qPrintable(p.erro));
        QCOMPARE(QFileInfo(p.pasta).permissions() & 0x0777, QFileDevice::Permissions(0x0700));
        QCOMPARE(QFileInfo(usuario("dipam.db")).permissions() & 0x0777, QFileDevice::Permissions(0x0600));
        QSaveFile depois(usuario("entregas.json"));
        QVERIFY(depois.open(QIODevice::WriteOnly) && depois.commit());
        QCOMPARE(QFileInfo(usuario("entregas.json")).permissions() & 0x0777, QFileDevice::Permissions(0x0600));
    }

    void aMissingTemplateIsReportedAndNothingIsInvented()
    {
        QDir().mkpath(exe());
        const PastaPrograma p = preparaPastaPrograma(exe(), modelo(), dados());
        QVERIFY(p.erro.startsWith(QStringLiteral("A instalação está incompleta")));
        QVERIFY(!QFileInfo::exists(usuario("dipam.db")));
    }

    void aFolderThatCannotBeCreatedIsReported()
    {
        instala("1");
        escreve(dados(), "um arquivo onde devia haver uma pasta");
        const PastaPrograma p = preparaPastaPrograma(exe(), modelo(), dados());
        QVERIFY(p.erro.startsWith(QStringLiteral("Não foi possível criar a pasta do programa")));
        QVERIFY(p.pasta.isEmpty());
    }
};

QTEST_GUILESS_MAIN(ProgramDirTest)
#include "ProgramDirTest.moc"
