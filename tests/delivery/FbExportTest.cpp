// The export tool on its own: options, errors and the form of the lines it writes.
#include "VafTestData.h"

#include "delivery/FbExportStatus.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include <algorithm>

using namespace tervalia;
using namespace tervalia::test;

class FbExportTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void errors_data();
    void errors();
    void help();
    void linesOnePerRowWithCrLf();
    void values_data();
    void values();
    void lockDirectoryOfItsOwn();
    void accentedFolderWithoutUtf8Locale();

private:
    QString path(const QString& name) const { return QDir(m_dir.path()).filePath(name); }
    QByteArray exportTable(const QString& table);

    QTemporaryDir m_dir;
    QString m_gdb;
    QHash<QString, QByteArray> m_exports;
};

void FbExportTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_gdb = path(QStringLiteral("VAF.GDB"));
    QCOMPARE(geraVafGdb(m_gdb), QString());
    QCOMPARE(geraVafGdb(path(QStringLiteral("ANTIGO.GDB")), {QStringLiteral("--ods11")}), QString());
    QFile random(path(QStringLiteral("LIXO.GDB")));
    QVERIFY(random.open(QIODevice::WriteOnly));
    random.write(QByteArray(20000, '\x5a'));
    random.close();
    QDir(m_dir.path()).mkdir(QStringLiteral("pasta.gdb"));
}

QByteArray FbExportTest::exportTable(const QString& table)
{
    if (m_exports.contains(table))
        return m_exports[table];
    const QString out = path(QStringLiteral("export") + table + QStringLiteral(".txt"));
    QString err;
    const int rc = runFbExport({"-D", m_gdb, "-U", "SYSDBA", "-P", "pelicanos", "-Si", "-V", table, "-F", out}, &err);
    if (rc != 0)
        qWarning("%s", qPrintable(err));
    return m_exports[table] = rc == 0 ? fileContent(out) : QByteArray();
}

void FbExportTest::errors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("message");
    const QString gdb = path(QStringLiteral("VAF.GDB"));
    const QString out = path(QStringLiteral("saida.txt"));
    QTest::newRow("unknown option") << QStringList{"-D", gdb, "-Si", "-V", "UF", "-F", out, "-X"} << int(fbexport::Uso)
                                    << QStringList{"opção desconhecida: -X", "--help"};
    QTest::newRow("option without value") << QStringList{"-Si", "-V", "UF", "-F", out, "-D"} << int(fbexport::Uso)
                                          << QStringList{"falta o valor da opção -D"};
    QTest::newRow("no table") << QStringList{"-D", gdb, "-Si", "-F", out} << int(fbexport::Uso) << QStringList{"-V"};
    QTest::newRow("no -Si") << QStringList{"-D", gdb, "-V", "UF", "-F", out} << int(fbexport::Uso)
                            << QStringList{"-Si"};
    QTest::newRow("missing file") << QStringList{"-D", path("NADA.GDB"), "-Si", "-V", "UF", "-F", out}
                                  << int(fbexport::BancoInacessivel)
                                  << QStringList{"não foi encontrado", path("NADA.GDB")};
    QTest::newRow("not a database") << QStringList{"-D", path("LIXO.GDB"), "-Si", "-V", "UF", "-F", out}
                                    << int(fbexport::BancoInacessivel) << QStringList{"LIXO.GDB"};
    QTest::newRow("directory") << QStringList{"-D", path("pasta.gdb"), "-Si", "-V", "UF", "-F", out}
                               << int(fbexport::BancoInacessivel) << QStringList{"pasta"};
    QTest::newRow("missing table") << QStringList{"-D", gdb, "-Si", "-V", "NAOEXISTE", "-F", out}
                                   << int(fbexport::TabelaInexistente) << QStringList{"a tabela NAOEXISTE não existe"};
    QTest::newRow("ODS 11") << QStringList{"-D", path("ANTIGO.GDB"), "-Si", "-V", "UF", "-F", out}
                            << int(fbexport::FormatoAntigo)
                            << QStringList{"versão antiga do Firebird", "ODS 11", "VAF-MG", "gbak"};
    QTest::newRow("output over the database") << QStringList{"-D", gdb, "-Si", "-V", "UF", "-F", gdb}
                                              << int(fbexport::Uso) << QStringList{"não pode ser o próprio banco"};
    QTest::newRow("output not writable") << QStringList{"-D", gdb, "-Si", "-V", "UF", "-F", path("nao/ha/saida.txt")}
                                         << int(fbexport::ErroSaida) << QStringList{"arquivo de saída"};
}

void FbExportTest::errors()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QStringList, message);
    QFile::remove(path(QStringLiteral("saida.txt")));
    QString err;
    QCOMPARE(runFbExport(arguments, &err), status);
    for (const QString& part : message)
        QVERIFY2(err.contains(part), qPrintable(err));
    QVERIFY(!err.contains(QLatin1String("empresa")));
    QVERIFY(!QFile::exists(path(QStringLiteral("saida.txt"))));
    QVERIFY(QFileInfo(m_gdb).size() > 8192);
}

void FbExportTest::help()
{
    QString out;
    QCOMPARE(runFbExport({"--help"}, nullptr, &out), 0);
    for (const char* option : {"-D", "-U", "-P", "-Si", "-V", "-F", "--help"})
        QVERIFY2(out.contains(QLatin1String(option)), option);
}

void FbExportTest::linesOnePerRowWithCrLf()
{
    const QByteArray text = exportTable(QStringLiteral("PARAMETROS"));
    QVERIFY(text.endsWith("\r\n"));
    const QList<QByteArray> lines = text.chopped(2).split('\n');
    QCOMPARE(lines.size(), 12);
    for (const QByteArray& line : lines) {
        QVERIFY(line.endsWith("\r") || &line == &lines.last());
        QVERIFY(line.startsWith("INSERT INTO \"PARAMETROS\" (\"PARAMETRO_ID\",\"NOME\","));
        QVERIFY(!line.chopped(line.endsWith('\r') ? 1 : 0).contains('\r'));
    }
    QCOMPARE(exportTable(QStringLiteral("UF")).count("\r\n"), 3);
}

// Pieces of the line of one row (found by its key) as written: exact decimals, no exponent,
// Windows-1252 text, hex for the rest.
void FbExportTest::values_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("key"); // first column of the row
    QTest::addColumn<QByteArray>("piece");
    QTest::newRow("scaled negative") << "PARAMETROS" << 1 << QByteArray(",'-0.05','-0.0001',-2.5,-0.1,");
    QTest::newRow("bigint extremes") << "PARAMETROS" << 1 << QByteArray(",-32768,-2147483648,-9223372036854775808,");
    QTest::newRow("dates and boolean") << "PARAMETROS" << 1
                                       << QByteArray(",'0100-01-01','00:00:00','1900-01-01 00:00:00',0,'AB',NULL,");
    QTest::newRow("18 digits exact") << "PARAMETROS" << 2 << QByteArray(",'9999999999999.99','99999999999999.9999',");
    QTest::newRow("fractions of a second")
        << "PARAMETROS" << 2 << QByteArray(",'23:59:59.9999','2024-02-29 13:45:30.1234',1,");
    QTest::newRow("float shortest") << "PARAMETROS" << 3 << QByteArray(",123456789.12345679,0.00000015,");
    QTest::newRow("no exponent") << "PARAMETROS" << 4 << QByteArray(",100000000000000000000.0,16777216.0,");
    QTest::newRow("apostrophes doubled") << "PARAMETROS" << 6 << QByteArray(",'D''\xc1vila & Cia ''x''',");
    QTest::newRow("NONE column in Windows-1252")
        << "PARAMETROS" << 6 << QByteArray(",'A\xe7ougue S\xe3o Jo\xe3o','\x80 \x93");
    QTest::newRow("line break as hex text")
        << "PARAMETROS" << 6 << QByteArray("CAST(X'6C696E686120310D0A6C696E68612032' AS TEXT)");
    QTest::newRow("empty is not NULL") << "PARAMETROS" << 8 << QByteArray("'','',X'',''");
    QTest::newRow("outside Windows-1252") << "PARAMETROS" << 11 << QByteArray("CAST(X'C582' AS TEXT)");
    QTest::newRow("most negative scaled")
        << "PARAMETROS" << 12 << QByteArray(",'-9999999999999.99','-922337203685477.5808',");
    QTest::newRow("binary blob") << "TRANSMISSAO" << 1 << QByteArray(",X'25504446');");
    QTest::newRow("CHAR of UTF8 unpadded") << "CONTRIBUINTE" << 1 << QByteArray(",'18473625000136',");
}

void FbExportTest::values()
{
    QFETCH(QString, table);
    QFETCH(int, key);
    QFETCH(QByteArray, piece);
    const QByteArray start = ") VALUES (" + QByteArray::number(key) + ",";
    const QList<QByteArray> lines = exportTable(table).split('\n');
    const auto line = std::find_if(lines.begin(), lines.end(), [&](const QByteArray& l) { return l.contains(start); });
    QVERIFY(line != lines.end());
    QVERIFY2(line->contains(piece), line->constData());
}

void FbExportTest::lockDirectoryOfItsOwn()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    qunsetenv("FIREBIRD_LOCK");
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", tmp.path().toLocal8Bit());
    const int rc = runFbExport({"-D", m_gdb, "-Si", "-V", "UF", "-F", path("uf.txt")});
    qputenv("TMPDIR", oldTmp);
    QCOMPARE(rc, 0);
    QVERIFY(QFileInfo(QDir(tmp.path()).filePath(QStringLiteral("tervalia-fb-%1").arg(getuid()))).isDir());
}

void FbExportTest::accentedFolderWithoutUtf8Locale()
{
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("Documentos de João")));
    const QString gdb = path(QStringLiteral("Documentos de João/Vaf Ç.gdb"));
    QVERIFY(QFile::copy(m_gdb, gdb));
    const QByteArray oldLocale = qgetenv("LC_ALL");
    qputenv("LC_ALL", "C");
    QString err;
    const int rc = runFbExport({"-D", gdb, "-Si", "-V", "UF", "-F", path("Documentos de João/saída.txt")}, &err);
    qputenv("LC_ALL", oldLocale);
    QVERIFY2(rc == 0, qPrintable(err));
    QCOMPARE(fileContent(path(QStringLiteral("Documentos de João/saída.txt"))).count("\r\n"), 3);
}

QTEST_GUILESS_MAIN(FbExportTest)
#include "FbExportTest.moc"
