// The conversion of a VAF.GDB into vaf.db and the document list, end to end with the real export tool.
#include "support/TestProgramDir.h"
#include "VafTestData.h"

#include "delivery/ArquivoEnvioVaf.h"
#include "delivery/ConverteVAF.h"
#include "delivery/DocumentosVAF.h"
#include "delivery/FbExportStatus.h"
#include "delivery/GravaVafAccess.h"
#include "platform/ProgramDir.h"
#include "storage/access/LeitorAccess.h"
#include "storage/Database.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <optional>

using namespace tervalia;
using namespace tervalia::test;

namespace {
using Evento = QPair<QString, int>;

qint64 countRows(const QString& table)
{
    Connection vaf(QStringLiteral("vaf.db"));
    QSqlQuery q = vaf.exec(QStringLiteral("select count(*) from ") + table);
    return q.next() ? q.value(0).toLongLong() : -1;
}

QByteArray sha(const QString& path)
{
    return QCryptographicHash::hash(fileContent(path), QCryptographicHash::Sha256);
}

enum class Setup {
    None,
    NoTemplate,
    NoTool,
    BrokenTemplate,
    FailingTool,
    NoAccessTemplate,
    BrokenAccessTemplate,
    CrashingTool,
    DiskFull
};

// While it lives, no file of this process or of the tools it starts may grow past the given size:
// a write beyond fails (EFBIG) as on a full disk.
class LimiteDisco
{
public:
    explicit LimiteDisco(qint64 bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_antes);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit novo{rlim_t(bytes), m_antes.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &novo);
    }
    ~LimiteDisco() { ::setrlimit(RLIMIT_FSIZE, &m_antes); }

private:
    rlimit m_antes{};
};

// A decimal as sign and significant digits, so that "5", "5.00" and "5.0000" compare equal.
QString decimalNormal(QString t)
{
    t = t.trimmed();
    const bool negativo = t.startsWith(QLatin1Char('-'));
    t.remove(QLatin1Char('-'));
    if (t.contains(QLatin1Char('.'))) {
        while (t.endsWith(QLatin1Char('0')))
            t.chop(1);
        if (t.endsWith(QLatin1Char('.')))
            t.chop(1);
    }
    while (t.size() > 1 && t.startsWith(QLatin1Char('0')) && t[1] != QLatin1Char('.'))
        t.remove(0, 1);
    return (negativo && t != QLatin1String("0") ? QStringLiteral("-") : QString()) + t;
}

// One value of vaf.db against the same value read back from vaf.mdb; empty when they agree.
QString diferenca(const QVariant& sqlite, const QVariant& access, const access::Coluna& c)
{
    using access::TipoColuna;
    const auto difere = [&] {
        return QStringLiteral("%1: vaf.db %2, vaf.mdb %3").arg(c.nome, sqlite.toString(), access.toString());
    };
    if (c.tipo == TipoColuna::SimNao)
        return (sqlite.toLongLong() != 0) == access.toBool() ? QString() : difere();
    if (sqlite.isNull() || access.isNull())
        return sqlite.isNull() && access.isNull() ? QString() : difere();
    switch (c.tipo) {
    case TipoColuna::Inteiro:
        return sqlite.toLongLong() == access.toLongLong() ? QString() : difere();
    case TipoColuna::Duplo:
        return sqlite.toDouble() == access.toDouble() ? QString() : difere();
    case TipoColuna::Numerico: {
        const QString s = sqlite.typeId() == QMetaType::Double ? QString::number(sqlite.toDouble(), 'f', c.escala)
                                                               : sqlite.toString();
        return decimalNormal(s) == decimalNormal(access.toString()) ? QString() : difere();
    }
    case TipoColuna::DataHora: {
        // Access keeps a time to the millisecond at best, and libmdb prints it to the second.
        const QString texto = sqlite.toString();
        QDateTime esperado = QDateTime::fromString(texto.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (texto.size() == 10)
            esperado = QDateTime(QDate::fromString(texto, QStringLiteral("yyyy-MM-dd")), QTime(0, 0));
        else if (texto.size() >= 8 && texto[2] == QLatin1Char(':'))
            esperado = QDateTime(QDate(1899, 12, 30), QTime::fromString(texto.left(8), QStringLiteral("HH:mm:ss")));
        const QDateTime lido = access.toDateTime();
        const qint64 segundos = qAbs(
            QDateTime(esperado.date(), esperado.time(), Qt::UTC).secsTo(QDateTime(lido.date(), lido.time(), Qt::UTC)));
        return esperado.isValid() && segundos <= 1 ? QString() : difere();
    }
    case TipoColuna::ObjetoOle:
        return sqlite.toByteArray() == access.toByteArray() ? QString() : difere();
    default:
        return sqlite.toString() == access.toString() ? QString() : difere();
    }
}
} // namespace

class ConverteVAFTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void convertsEveryTable();
    void progressSequence();
    void eachFileInOneTransaction();
    void userFileUnchangedAndTempCleaned();
    void accessFileHoldsEveryValue();
    void accessWriteFailureLeavesNoFile();
    void values_data();
    void values();
    void failingStatementFailsAlone();
    void fileInsideTempKept();
    void failures_data();
    void failures();
    void leftoversOfAnInterruptedRun();
    void documentList_data();
    void documentList();
    void tipoDocumento_data();
    void tipoDocumento();

private:
    QString user(const QString& name) const { return QDir(m_user.path()).filePath(name); }

    QTemporaryDir m_user;
    std::unique_ptr<TestProgramDir> m_prog;
    QByteArray m_shaBefore;
    ResultadoConversao m_result;
    QList<Evento> m_events;
    qint64 m_seenWhileLoading = -1;
    qint64 m_seenAfterLoading = -1;
};

void ConverteVAFTest::initTestCase()
{
    QVERIFY(m_user.isValid());
    QCOMPARE(geraVafGdb(user(QStringLiteral("VAF.GDB")), {QStringLiteral("-n"), QStringLiteral("20000")}), QString());
    QCOMPARE(geraVafGdb(user(QStringLiteral("ANTIGO.GDB")), {QStringLiteral("--ods11")}), QString());
    QCOMPARE(geraVafGdb(user(QStringLiteral("PEQUENO.GDB"))), QString());
    QCOMPARE(
        geraVafGdb(user(QStringLiteral("SEMESTOQUE.GDB")), {QStringLiteral("--sem-tabela"), QStringLiteral("ESTOQUE")}),
        QString());
    QFile lixo(user(QStringLiteral("LIXO.GDB")));
    QVERIFY(lixo.open(QIODevice::WriteOnly) && lixo.write(QByteArray(8192, 'x')) == 8192);
    lixo.close();
    const QByteArray inteiro = fileContent(user(QStringLiteral("VAF.GDB")));
    QFile truncado(user(QStringLiteral("TRUNCADO.GDB")));
    QVERIFY(truncado.open(QIODevice::WriteOnly) && truncado.write(inteiro.left(inteiro.size() / 2)) > 0);
    truncado.close();
    m_shaBefore = sha(user(QStringLiteral("VAF.GDB")));

    m_prog = std::make_unique<TestProgramDir>();
    m_prog->installFromDist(QStringLiteral("vaf_limpo.db"));
    m_prog->installFromDist(QStringLiteral("vaf_limpo.mdb"));
    m_prog->installFromDist(QStringLiteral("fbexport"));
    m_result = ConverteVAF(user(QStringLiteral("VAF.GDB")), [this](const ProgressoConversao& p) {
        const Evento e{p.ocorrencia, p.progresso};
        if (m_events.isEmpty() || m_events.last() != e)
            m_events.append(e);
        // Another connection sees a table's rows only once its file is committed as a whole.
        // (Before the bar advances: the last call of a table comes after its commit.)
        if (p.ocorrencia == QLatin1String("Passo 2: Carregando ENTRADA") && p.progresso == 1 + 4 * 9)
            m_seenWhileLoading = qMax(m_seenWhileLoading, countRows(QStringLiteral("ENTRADA")));
        if (p.ocorrencia == QLatin1String("Passo 2: Carregando ESTOQUE") && m_seenAfterLoading < 0)
            m_seenAfterLoading = countRows(QStringLiteral("ENTRADA"));
    });
}

void ConverteVAFTest::convertsEveryTable()
{
    QVERIFY2(m_result.ok, qPrintable(m_result.erro));
    QCOMPARE(m_result.comandosRecusados, 0);
    // Every row of every table arrives: compare with the tool's own export of a separate copy.
    QTemporaryDir dir;
    const QString copy = QDir(dir.path()).filePath(QStringLiteral("copia.gdb"));
    QVERIFY(QFile::copy(user(QStringLiteral("VAF.GDB")), copy));
    qint64 total = 0;
    for (const QString& table : tabelasVAF()) {
        const QString out = QDir(dir.path()).filePath(table);
        QCOMPARE(runFbExport({"-D", copy, "-Si", "-V", table, "-F", out}), 0);
        const qint64 lines = fileContent(out).count("\r\n");
        QVERIFY2(lines > 0, qPrintable(table));
        QCOMPARE(countRows(table), lines);
        total += lines;
    }
    QCOMPARE(m_result.comandosExecutados, total);
    QVERIFY(total > 19000);
}

void ConverteVAFTest::progressSequence()
{
    const QStringList& tables = tabelasVAF();
    QCOMPARE(m_events.first(), Evento("Passo 1: Preparando CNAEF", 0));
    QCOMPARE(m_events.last(), Evento("Passo 3: Gravando VAF", 100));
    QStringList labels;
    QList<int> firstValues;
    for (const Evento& e : m_events) {
        QVERIFY(e.second >= 0 && e.second <= 100);
        if (labels.isEmpty() || labels.last() != e.first) {
            labels.append(e.first);
            firstValues.append(e.second);
        }
    }
    QStringList expected;
    for (const QString& t : tables)
        expected.append(QStringLiteral("Passo 1: Preparando ") + t);
    for (const QString& t : tables)
        expected.append(QStringLiteral("Passo 2: Carregando ") + t);
    for (const QString& t : tables)
        expected.append(QStringLiteral("Passo 3: Gravando ") + t);
    QCOMPARE(labels, expected);
    // Steps of 4: 100 after 25 tables and still 100 for the 26th; the later passes restart at 1.
    for (int i = 0; i < 26; ++i) {
        QCOMPARE(firstValues[i], qMin(4 * i, 100));
        QCOMPARE(firstValues[26 + i], qMin(1 + 4 * i, 100));
        QCOMPARE(firstValues[52 + i], qMin(1 + 4 * i, 100));
    }
    QCOMPARE(firstValues[25], 100);
    QCOMPARE(firstValues[26], 1);
    QCOMPARE(firstValues[51], 100);
    const int endOfStep1 = int(m_events.indexOf(Evento("Passo 2: Carregando CNAEF", 1)));
    QCOMPARE(m_events[endOfStep1 - 1], Evento("Passo 1: Preparando VAF", 100));
}

void ConverteVAFTest::eachFileInOneTransaction()
{
    QCOMPARE(m_seenWhileLoading, 0);
    QCOMPARE(m_seenAfterLoading, countRows(QStringLiteral("ENTRADA")));
    QVERIFY(m_seenAfterLoading > 2000); // the load of ENTRADA was looked at in its middle
}

void ConverteVAFTest::userFileUnchangedAndTempCleaned()
{
    QCOMPARE(sha(user(QStringLiteral("VAF.GDB"))), m_shaBefore);
    QCOMPARE(QDir(m_prog->file(QStringLiteral("temp"))).entryList(QDir::Files), QStringList());
}

// vaf.mdb, read back through libmdb, holds every row and every value of vaf.db, in the layout of
// the template and under the server's password.
void ConverteVAFTest::accessFileHoldsEveryValue()
{
    QVERIFY2(m_result.ok, qPrintable(m_result.erro));
    QCOMPARE(arquivoEnvioVaf(), m_prog->file(QStringLiteral("vaf.mdb")));
    access::LeitorAccess mdb, modelo;
    QVERIFY(mdb.abre(arquivoEnvioVaf()));
    QVERIFY(modelo.abre(m_prog->file(QStringLiteral("vaf_limpo.mdb"))));
    QCOMPARE(mdb.tabelas(), tabelasVAF());
    Connection vaf(QStringLiteral("vaf.db"));
    qint64 linhas = 0;
    for (const QString& nome : tabelasVAF()) {
        const auto t = mdb.tabela(nome);
        QVERIFY(t);
        QCOMPARE(*t, *modelo.tabela(nome));
        QStringList colunas;
        for (const auto& c : t->colunas)
            colunas << c.nome;
        QSqlQuery q = vaf.exec(QStringLiteral("select %1 from %2 order by rowid").arg(colunas.join(u','), nome));
        QVERIFY(mdb.leLinhas(nome, [&](const QVariantList& linha) {
            if (!q.next())
                return false;
            ++linhas;
            for (int i = 0; i < linha.size(); ++i) {
                const QString d = diferenca(q.value(i), linha[i], t->colunas[i]);
                if (!d.isEmpty()) {
                    qWarning("%s: %s", qPrintable(nome), qPrintable(d));
                    return false;
                }
            }
            return true;
        }));
        QVERIFY2(!q.next(), qPrintable(nome));
    }
    QCOMPARE(linhas, m_result.comandosExecutados);
    QProcess senha;
    senha.start(QStringLiteral("python3"), {QStringLiteral(TERVALIA_FIXTURES_DIR "/access/tools/gen_novagia_mdb.py"),
                                            QStringLiteral("--password"), arquivoEnvioVaf()});
    QVERIFY(senha.waitForFinished());
    QCOMPARE(senha.readAllStandardOutput().trimmed(), QByteArray("tum4821"));
}

// A value Access cannot hold (a date before the year 100) fails the write of its table: the message
// names it and no vaf.mdb is left to be sent.
void ConverteVAFTest::accessWriteFailureLeavesNoFile()
{
    {
        TestProgramDir dir;
        dir.installFromDist(QStringLiteral("vaf_limpo.db"));
        dir.installFromDist(QStringLiteral("vaf_limpo.mdb"));
        QVERIFY(QFile::copy(dir.file(QStringLiteral("vaf_limpo.db")), dir.file(QStringLiteral("vaf.db"))));
        QFile::setPermissions(dir.file(QStringLiteral("vaf.db")), QFile::ReadOwner | QFile::WriteOwner);
        {
            Connection vaf(QStringLiteral("vaf.db"));
            vaf.exec(QStringLiteral("insert into PARAMETROS (PARAMETRO_ID, DATA) values (1, '0001-01-01')"));
            const ResultadoGravacaoAccess r = GravaVafAccess(vaf, dir.file(QStringLiteral("vaf_limpo.mdb")),
                                                             dir.file(QStringLiteral("vaf.mdb")), tabelasVAF());
            QVERIFY(!r.ok);
            QVERIFY2(r.erro.contains(QLatin1String("PARAMETROS")), qPrintable(r.erro));
        }
        QCOMPARE(QDir(dir.path())
                     .entryList({QStringLiteral("vaf.mdb*"), QStringLiteral(".vaf.mdb*")}, QDir::Files | QDir::Hidden),
                 QStringList());
    }
    setProgramDir(m_prog->path());
}

// table, key column, key, column, expected value. A QByteArray is compared as bytes, a float as the
// float the file held, a null QVariant means NULL; anything else as text.
void ConverteVAFTest::values_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("expected");
    const auto row = [](const char* name, const char* table, const char* key, int id, const char* column, QVariant v) {
        QTest::newRow(name) << QString::fromLatin1(table) << QString::fromLatin1(key) << id
                            << QString::fromLatin1(column) << v;
    };
    const auto p = [&row](const char* name, int id, const char* column, QVariant v) {
        row(name, "PARAMETROS", "PARAMETRO_ID", id, column, std::move(v));
    };
    p("numeric -0.05", 1, "VALORNUMERICO", "-0.05");
    p("decimal -0.0001", 1, "VALORDECIMAL", "-0.0001");
    p("smallint min", 1, "VALORCURTO", "-32768");
    p("integer min", 1, "VALORINTEIRO", "-2147483648");
    p("bigint min", 1, "VALORGRANDE", "-9223372036854775808");
    p("bigint max", 2, "VALORGRANDE", "9223372036854775807");
    p("double -2.5", 1, "VALORREAL", -2.5);
    p("float -0.1", 1, "VALORFLOAT", QVariant(-0.1f));
    p("float 3.14", 2, "VALORFLOAT", QVariant(3.14f));
    p("float 1.5e-7", 3, "VALORFLOAT", QVariant(1.5e-7f));
    p("double 0.1", 2, "VALORREAL", 0.1);
    p("double many digits", 3, "VALORREAL", 123456789.123456789);
    p("double 1e20", 4, "VALORREAL", 1e20);
    p("double small", 5, "VALORREAL", 0.000000000123);
    p("numeric 15 digits", 2, "VALORNUMERICO", "9999999999999.99");
    p("decimal 18 digits", 2, "VALORDECIMAL", "99999999999999.9999");
    p("decimal keeps zeros", 3, "VALORDECIMAL", "1.0000");
    p("decimal most negative", 12, "VALORDECIMAL", "-922337203685477.5808");
    p("numeric most negative", 12, "VALORNUMERICO", "-9999999999999.99");
    p("date min", 1, "DATA", "0100-01-01");
    p("date max", 2, "DATA", "9999-12-31");
    p("time fraction", 2, "HORA", "23:59:59.9999");
    p("timestamp", 2, "MOMENTO", "2024-02-29 13:45:30.1234");
    p("boolean false", 1, "ATIVO", "0");
    p("boolean true", 2, "ATIVO", "1");
    p("char unpadded", 1, "CODIGO", "AB");
    p("char full", 2, "CODIGO", "ABCDEFGHIJ");
    p("apostrophes", 6, "VALORTEXTO", QString::fromUtf8("D'Ávila & Cia 'x'"));
    p("text blob CR LF", 6, "TEXTOLONGO", "linha 1\r\nlinha 2");
    p("charset NONE", 6, "TEXTONONE", QString::fromUtf8("Açougue São João"));
    p("charset WIN1252", 6, "TEXTOWIN", QString::fromUtf8("€ “aspas” – ok"));
    p("charset ISO8859_1", 6, "TEXTOLATIN", QString::fromUtf8("Ação"));
    p("charset UTF8 CHAR", 6, "TEXTOUTF", QString::fromUtf8("Açougue São João"));
    p("text blob NONE", 6, "BLOBNONE", QString::fromUtf8("Açougue São João"));
    p("NULL text", 7, "VALORTEXTO", QVariant());
    p("NULL number", 7, "VALORDECIMAL", QVariant());
    p("NULL blob", 7, "ARQUIVO", QVariant());
    p("NULL date", 7, "DATA", QVariant());
    p("empty text", 8, "VALORTEXTO", "");
    p("empty blob", 8, "ARQUIVO", QByteArray(""));
    p("breaks inside", 9, "VALORTEXTO", "a\nb\rc\td");
    p("CR LF in NONE", 9, "TEXTONONE", "x\r\ny");
    QString longText;
    for (int i = 0; i < 1500; ++i)
        longText += QStringLiteral("linha %1 çã\r\n").arg(i);
    p("1500 line breaks", 10, "TEXTOLONGO", longText);
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes += char(i);
    p("binary blob", 10, "ARQUIVO", bytes);
    p("outside Windows-1252", 11, "VALORTEXTO", QString::fromUtf8("Łódź ő 日本 €"));
    row("company WIN1252", "CONTRIBUINTE", "CONTRIBUINTE_ID", 3, "RAZAOSOCIAL", QString::fromUtf8("Açougue São João"));
    row("company NONE", "CONTRIBUINTE", "CONTRIBUINTE_ID", 3, "NOMEFANTASIA", QString::fromUtf8("Açougue São João"));
    row("company UTF8", "CONTRIBUINTE", "CONTRIBUINTE_ID", 3, "ENDERECO", QString::fromUtf8("Açougue São João"));
    row("IE", "CONTRIBUINTE", "CONTRIBUINTE_ID", 1, "INSCESTADUAL", "7001234500028");
    row("decimal(18,2)", "DOCUMENTO", "DOCUMENTO_ID", 400, "VALORADICIONADO", "99999999999999.99");
    row("numeric(18,2) 16 digits", "ESTOQUE", "ESTOQUE_ID", 2, "VALORINICIAL", "9999999999999999.99");
    row("recibo bytes", "TRANSMISSAO", "TRANSMISSAO_ID", 1, "RECIBO", QByteArray("%PDF"));
    row("municipality ISO8859_1", "MUNICIPIO", "MUNICIPIO_ID", 2, "NOME", QString::fromUtf8("São João del-Rei"));
}

void ConverteVAFTest::values()
{
    QFETCH(QString, table);
    QFETCH(QString, key);
    QFETCH(int, id);
    QFETCH(QString, column);
    QFETCH(QVariant, expected);
    Connection vaf(QStringLiteral("vaf.db"));
    QSqlQuery q = vaf.exec(QStringLiteral("select %1 from %2 where %3 = ?").arg(column, table, key), {id});
    QVERIFY(q.next());
    const QVariant v = q.value(0);
    if (!expected.isValid()) {
        QVERIFY(v.isNull());
        return;
    }
    QVERIFY(!v.isNull());
    if (expected.typeId() == QMetaType::QByteArray)
        QCOMPARE(v.toByteArray(), expected.toByteArray());
    else if (expected.typeId() == QMetaType::Float)
        QCOMPARE(float(v.toDouble()), expected.toFloat());
    else if (expected.typeId() == QMetaType::Double)
        QCOMPARE(v.toDouble(), expected.toDouble());
    else
        QCOMPARE(v.toString(), expected.toString());
}

void ConverteVAFTest::failingStatementFailsAlone()
{
    {
        TestProgramDir dir;
        QVERIFY(QFile::copy(QStringLiteral(TERVALIA_DIST_DIR "/vaf_limpo.db"), dir.file(QStringLiteral("vaf.db"))));
        QFile::setPermissions(dir.file(QStringLiteral("vaf.db")), QFile::ReadOwner | QFile::WriteOwner);
        // Lines as the tool writes them, with broken and refused ones among them.
        const QByteArray head = "INSERT INTO \"UF\" (\"UF\",\"NOME\",\"CODIGOIBGE\") VALUES (";
        dir.writeFile(QStringLiteral("temp/exportUF.txt"),
                      head +
                          "'MG','Minas Gerais',31);\r\n"
                          "\r\n"
                          "   \r\n" +
                          head +
                          "'MG','repetida',1);\r\n"
                          "INSERT INTO NAOHA VALUES (1);\r\n"
                          "  " +
                          head + "'SP','S\xe3o Paulo',35);  \r\n" + head + "'PA','Par\xe1',15);\r\n" + head +
                          "'AM','x);\r\n" + head + "'),('AC','Acre',12);\r\n" + head +
                          "'ES','Esp\xedrito Santo',32);\r\n" +
                          "INSERT INTO UF VALUES ('RS','Rio Grande do Sul',43);\r\n");
        Connection vaf(QStringLiteral("vaf.db"));
        const ResultadoCarga r =
            CarregaExportacao(vaf, QStringLiteral("UF"), dir.file(QStringLiteral("temp/exportUF.txt")));
        QCOMPARE(r.erro, QString());
        QCOMPARE(r.executados, 5);
        QCOMPARE(r.recusados, 4);
        QList<int> refused;
        for (const ComandoRecusado& c : r.primeirosRecusados)
            refused << c.linha;
        std::sort(refused.begin(), refused.end());
        QCOMPARE(refused, QList<int>({4, 5, 8, 9}));
        QSqlQuery q = vaf.exec(QStringLiteral("select UF, NOME from UF order by UF"));
        QStringList rows;
        while (q.next())
            rows << q.value(0).toString() + QLatin1Char('=') + q.value(1).toString();
        QCOMPARE(rows,
                 QStringList({QString::fromUtf8("ES=Espírito Santo"), "MG=Minas Gerais", QString::fromUtf8("PA=Pará"),
                              "RS=Rio Grande do Sul", QString::fromUtf8("SP=São Paulo")}));
        const ResultadoCarga missing =
            CarregaExportacao(vaf, QStringLiteral("UF"), dir.file(QStringLiteral("temp/x.txt")));
        QVERIFY(missing.erro.contains(QStringLiteral("Não foi possível ler o arquivo de exportação")));
    }
    setProgramDir(m_prog->path());
}

void ConverteVAFTest::fileInsideTempKept()
{
    {
        TestProgramDir dir;
        dir.installFromDist(QStringLiteral("vaf_limpo.db"));
        dir.installFromDist(QStringLiteral("vaf_limpo.mdb"));
        dir.installFromDist(QStringLiteral("fbexport"));
        const QString inTemp = dir.file(QStringLiteral("temp/vaf_copia.gdb"));
        QVERIFY(QFile::copy(user(QStringLiteral("PEQUENO.GDB")), inTemp));
        const QByteArray before = sha(inTemp);
        const ResultadoConversao r = ConverteVAF(inTemp);
        QVERIFY2(r.ok, qPrintable(r.erro));
        QCOMPARE(sha(inTemp), before);
        QCOMPARE(ListaDocumentosVAF(QStringLiteral("7019876540034")).size(), 2);
    }
    setProgramDir(m_prog->path());
}

void ConverteVAFTest::failures_data()
{
    QTest::addColumn<QString>("gdb");
    QTest::addColumn<int>("setup");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("message");
    QTest::newRow("ODS 11") << "ANTIGO.GDB" << int(Setup::None) << int(fbexport::FormatoAntigo)
                            << QStringList{"versão antiga do Firebird", "VAF-MG", "gbak", "ANTIGO.GDB"};
    QTest::newRow("not a Firebird file") << "LIXO.GDB" << int(Setup::None) << int(fbexport::BancoInacessivel)
                                         << QStringList{"LIXO.GDB", "não é um banco de dados Firebird"};
    QTest::newRow("table missing in the file")
        << "SEMESTOQUE.GDB" << int(Setup::None) << int(fbexport::TabelaInexistente)
        << QStringList{"Não foi possível exportar a tabela ESTOQUE", "código 4", "a tabela ESTOQUE não existe"};
    QTest::newRow("tool fails") << "VAF.GDB" << int(Setup::FailingTool) << 9
                                << QStringList{"tabela CNAEF", "código 9", "falhou de propósito"};
    QTest::newRow("no template") << "VAF.GDB" << int(Setup::NoTemplate) << 0
                                 << QStringList{"vaf_limpo.db não foi encontrado"};
    QTest::newRow("no Access template") << "VAF.GDB" << int(Setup::NoAccessTemplate) << 0
                                        << QStringList{"vaf_limpo.mdb não foi encontrado"};
    QTest::newRow("Access template unreadable")
        << "VAF.GDB" << int(Setup::BrokenAccessTemplate) << 0 << QStringList{"vaf_limpo.mdb não pôde ser lido"};
    QTest::newRow("no tool") << "VAF.GDB" << int(Setup::NoTool) << 0
                             << QStringList{"programa de exportação fbexport não foi encontrado"};
    QTest::newRow("template without tables")
        << "VAF.GDB" << int(Setup::BrokenTemplate) << 0 << QStringList{"Não foi possível limpar a tabela CNAEF"};
    QTest::newRow("no file") << "NADA.GDB" << int(Setup::None) << 0 << QStringList{"NADA.GDB não foi encontrado"};
    QTest::newRow("truncated file") << "TRUNCADO.GDB" << int(Setup::None) << int(fbexport::ErroLeitura)
                                    << QStringList{"Não foi possível exportar a tabela", "código 6", "TRUNCADO.GDB"};
    QTest::newRow("tool crashes") << "VAF.GDB" << int(Setup::CrashingTool) << 0
                                  << QStringList{"O programa de exportação terminou de forma anormal ao exportar a "
                                                 "tabela CNAEF."};
    QTest::newRow("disk full") << "VAF.GDB" << int(Setup::DiskFull) << 0
                               << QStringList{"Não foi possível copiar o arquivo", "VAF.GDB",
                                              "para a pasta temporária."};
}

void ConverteVAFTest::failures()
{
    QFETCH(QString, gdb);
    QFETCH(int, setup);
    QFETCH(int, status);
    QFETCH(QStringList, message);
    {
        TestProgramDir dir;
        if (Setup(setup) != Setup::NoTemplate)
            dir.installFromDist(QStringLiteral("vaf_limpo.db"));
        if (Setup(setup) == Setup::BrokenTemplate)
            dir.writeFile(QStringLiteral("vaf_limpo.db"), {});
        if (Setup(setup) != Setup::NoAccessTemplate)
            dir.installFromDist(QStringLiteral("vaf_limpo.mdb"));
        if (Setup(setup) == Setup::BrokenAccessTemplate)
            dir.writeFile(QStringLiteral("vaf_limpo.mdb"), "não é um banco de dados");
        if (Setup(setup) == Setup::FailingTool || Setup(setup) == Setup::CrashingTool) {
            dir.writeFile(QStringLiteral("fbexport"), Setup(setup) == Setup::CrashingTool
                                                          ? "#!/bin/sh\nkill -SEGV $$\n"
                                                          : "#!/bin/sh\necho 'falhou de propósito' >&2\nexit 9\n");
            QFile::setPermissions(dir.file(QStringLiteral("fbexport")), QFile::ReadOwner | QFile::ExeOwner);
        } else if (Setup(setup) != Setup::NoTool) {
            dir.installFromDist(QStringLiteral("fbexport"));
        }
        dir.writeFile(QStringLiteral("vaf.db"), "resto de uma conversão anterior");
        dir.writeFile(QStringLiteral("vaf.mdb"), "resto de uma conversão anterior");
        std::optional<LimiteDisco> cheio;
        if (Setup(setup) == Setup::DiskFull)
            cheio.emplace(64 * 1024);
        const ResultadoConversao r = ConverteVAF(user(gdb));
        cheio.reset();
        QVERIFY(!r.ok);
        for (const QString& part : message)
            QVERIFY2(r.erro.contains(part), qPrintable(r.erro));
        QVERIFY(!r.erro.contains(QLatin1String("empresa")));
        // The user's file is named, never the working copy in temp/.
        QVERIFY2(!r.erro.contains(QLatin1String("vaf_copia")), qPrintable(r.erro));
        QCOMPARE(r.codigoExportacao, status);
        QCOMPARE(r.formatoAntigo, status == fbexport::FormatoAntigo);
        QVERIFY(!QFile::exists(dir.file(QStringLiteral("vaf.db"))));
        QVERIFY(!QFile::exists(dir.file(QStringLiteral("vaf.mdb"))));
        QCOMPARE(QDir(dir.file(QStringLiteral("temp"))).entryList(QDir::Files), QStringList());
    }
    setProgramDir(m_prog->path());
}

// An interrupted run left a journal that SQLite would replay into the fresh vaf.db, and an Access
// file with a temporary of its writer: none of them outlives a new conversion.
void ConverteVAFTest::leftoversOfAnInterruptedRun()
{
    {
        TestProgramDir dir;
        dir.installFromDist(QStringLiteral("vaf_limpo.db"));
        dir.installFromDist(QStringLiteral("vaf_limpo.mdb"));
        dir.installFromDist(QStringLiteral("fbexport"));
        // The journal of a database whose header held user_version 77, taken mid-transaction.
        const QString antigo = dir.file(QStringLiteral("antigo.db"));
        QVERIFY(QFile::copy(dir.file(QStringLiteral("vaf_limpo.db")), antigo));
        QFile::setPermissions(antigo, QFile::ReadOwner | QFile::WriteOwner);
        {
            Connection c(antigo);
            c.exec(QStringLiteral("PRAGMA user_version = 77"));
            c.exec(QStringLiteral("PRAGMA synchronous = OFF"));
            c.begin();
            c.exec(QStringLiteral("PRAGMA user_version = 5"));
            QVERIFY(QFile::copy(antigo + QStringLiteral("-journal"), dir.file(QStringLiteral("vaf.db-journal"))));
            c.rollback();
        }
        dir.writeFile(QStringLiteral("vaf.mdb"), "de outra conversão");
        dir.writeFile(QStringLiteral(".vaf.mdb.gravando"), "pela metade");
        const ResultadoConversao r = ConverteVAF(user(QStringLiteral("PEQUENO.GDB")));
        QVERIFY2(r.ok, qPrintable(r.erro));
        {
            Connection vaf(QStringLiteral("vaf.db"));
            QSqlQuery q = vaf.exec(QStringLiteral("PRAGMA user_version"));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toInt(), 0);
        }
        QVERIFY(!QFile::exists(dir.file(QStringLiteral("vaf.db-journal"))));
        QVERIFY(!QFile::exists(dir.file(QStringLiteral(".vaf.mdb.gravando"))));
        QVERIFY(fileContent(dir.file(QStringLiteral("vaf.mdb"))) != "de outra conversão");
    }
    setProgramDir(m_prog->path());
}

void ConverteVAFTest::documentList_data()
{
    QTest::addColumn<QString>("ie");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("several years, in period order")
        << "7001234500028"
        << QStringList{"101|1 a 12 / 2023|Normal", "311|1 a 6 / 2024|Normal", "312|1 a 12 / 2024|Substitutiva",
                       "400|1 a 6 / 2025|Substitutiva", "401|7 a 12 / 2025|Substitutiva"};
    QTest::newRow("second company") << "7019876540034"
                                    << QStringList{"501|1 a 12 / 2024|Normal", "502|1 a 12 / 2025|Substitutiva"};
    QTest::newRow("unknown company") << "7025551230008" << QStringList{};
    QTest::newRow("quote in the value") << "' or ''='" << QStringList{};
}

void ConverteVAFTest::documentList()
{
    QFETCH(QString, ie);
    QFETCH(QStringList, expected);
    QStringList rows;
    for (const DocumentoVAF& d : ListaDocumentosVAF(ie))
        rows << d.nroGia + QLatin1Char('|') + d.referencia + QLatin1Char('|') + d.tipo;
    QCOMPARE(rows, expected);
}

void ConverteVAFTest::tipoDocumento_data()
{
    QTest::addColumn<QString>("substituicao");
    QTest::addColumn<QString>("anterior");
    QTest::addColumn<QString>("tipo");
    QTest::newRow("0") << "0"
                       << "Substitutiva"
                       << "Normal";
    QTest::newRow("N") << "N"
                       << ""
                       << "Normal";
    QTest::newRow("1") << "1"
                       << "Normal"
                       << "Substitutiva";
    QTest::newRow("S") << "S"
                       << ""
                       << "Substitutiva";
    QTest::newRow("other repeats") << "X"
                                   << "Normal"
                                   << "Normal";
    QTest::newRow("empty repeats") << ""
                                   << "Substitutiva"
                                   << "Substitutiva";
    QTest::newRow("first row other") << "2"
                                     << ""
                                     << "";
}

void ConverteVAFTest::tipoDocumento()
{
    QFETCH(QString, substituicao);
    QFETCH(QString, anterior);
    QFETCH(QString, tipo);
    QCOMPARE(tervalia::tipoDocumento(substituicao, anterior), tipo);
}

QTEST_GUILESS_MAIN(ConverteVAFTest)
#include "ConverteVAFTest.moc"
