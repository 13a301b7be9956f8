// The Access (Jet 4) writer against libmdb: every type written and read back, the mdbtools programs
// on a written file, random tables over many seeds, failures that leave no file, the password.

#include "storage/access/EscritorAccess.h"
#include "storage/access/LeitorAccess.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <cmath>

using namespace tervalia::access;

namespace {

using Linhas = QList<QVariantList>;

Coluna col(const char* nome, TipoColuna tipo, int tamanho = 255, int precisao = 18, int escala = 0)
{
    return {QString::fromLatin1(nome), tipo, tamanho, precisao, escala};
}

QString fixture(const char* nome)
{
    return QDir(QStringLiteral(TERVALIA_FIXTURES_DIR "/access")).filePath(QString::fromLatin1(nome));
}

// Writes the tables with their rows; the writer's message, empty when it succeeded.
QString escreve(const QString& caminho, const QList<QPair<Tabela, Linhas>>& tabelas, const QString& senha = {})
{
    EscritorAccess escritor(caminho, senha, QDateTime(QDate(2024, 3, 4), QTime(9, 30)));
    for (const auto& [tabela, linhas] : tabelas) {
        if (!escritor.iniciaTabela(tabela))
            return escritor.erro();
        for (const QVariantList& linha : linhas) {
            if (!escritor.escreveLinha(linha))
                return escritor.erro();
        }
    }
    return escritor.conclui() ? QString() : escritor.erro();
}

Linhas leTudo(const LeitorAccess& leitor, const QString& tabela)
{
    Linhas linhas;
    const bool lida = leitor.leLinhas(tabela, [&](const QVariantList& v) {
        linhas.append(v);
        return true;
    });
    if (!lida)
        qWarning("table %s not read", qPrintable(tabela));
    return linhas;
}

QString executa(const QString& programa, const QStringList& argumentos)
{
    QProcess p;
    p.start(programa, argumentos);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString textoLongo(int tamanho)
{
    const QString amostra = QStringLiteral("Açúcar, café e pão de queijo — 漢字 😀 ");
    QString t;
    while (t.size() < tamanho)
        t += amostra;
    return t.left(tamanho);
}

QByteArray binario(int tamanho, quint32 semente)
{
    QByteArray b(tamanho, Qt::Uninitialized);
    QRandomGenerator gerador(semente);
    for (char& c : b)
        c = char(gerador.bounded(256));
    return b;
}

QDateTime dh(int a, int m, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(a, m, d), QTime(h, mi, s));
}

QVariantList textos(std::initializer_list<const char*> utf8)
{
    QVariantList v;
    for (const char* t : utf8)
        v.append(QString::fromUtf8(t));
    return v;
}

// Doubles compare exactly; NULL differs from every value.
bool iguais(const QVariant& a, const QVariant& b)
{
    if (a.metaType().id() == QMetaType::Double && b.metaType().id() == QMetaType::Double)
        return a.toDouble() == b.toDouble();
    return a.isNull() == b.isNull() && a == b;
}

} // namespace

class AccessTest : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void pagesFullAndMany_data();
    void pagesFullAndMany();
    void mdbtoolsPrograms();
    void randomTables();
    void failuresLeaveNoFile_data();
    void failuresLeaveNoFile();
    void password();
    void realFiles();
    void twoHundredThousandRows();

private:
    QTemporaryDir m_dir;
};

// One column of each type, its values written and read back (the expected value when reading changes it).
void AccessTest::roundTrip_data()
{
    QTest::addColumn<Coluna>("coluna");
    QTest::addColumn<QVariantList>("valores");
    QTest::addColumn<QVariantList>("lidos");
    const QVariant nulo;
    const QString texto255 = textoLongo(255);
    const QString memo = textoLongo(70000);
    const QByteArray mega = binario(1 << 20, 7);

    QTest::newRow("inteiro") << col("N", TipoColuna::Inteiro)
                             << QVariantList{0, 2147483647, qint64(-2147483648LL), nulo, QStringLiteral("-5"), 7.0}
                             << QVariantList{qint64(0), qint64(2147483647), qint64(-2147483648LL),
                                             nulo,      qint64(-5),         qint64(7)};
    QTest::newRow("duplo")
        << col("D", TipoColuna::Duplo)
        << QVariantList{0.1, 1.2345678901234567e-300, -1.7976931348623157e308, 123456789.12345678, nulo, 3}
        << QVariantList{0.1, 1.2345678901234567e-300, -1.7976931348623157e308, 123456789.12345678, nulo, 3.0};
    QTest::newRow("numerico 18,4")
        << col("V", TipoColuna::Numerico, 255, 18, 4)
        << (textos({"-99999999999999.9999", "99999999999999.9999", "12.34", "-0.0001", "-0"}) << 0 << 12.34 << nulo)
        << (textos({"-99999999999999.9999", "99999999999999.9999", "12.3400", "-0.0001", "0.0000", "0.0000", "12.3400"})
            << nulo);
    const QVariantList grandes = textos({"9999999999999999999999999999", "-9223372036854775808"});
    QTest::newRow("numerico 28,0") << col("G", TipoColuna::Numerico, 255, 28, 0) << grandes << grandes;
    const QVariantList datas{
        dh(1899, 12, 29, 6),        dh(1850, 7, 14, 23, 59, 59),  dh(1899, 12, 30), dh(1899, 12, 30, 13, 5, 9),
        dh(2150, 1, 1, 12, 34, 56), dh(9999, 12, 31, 23, 59, 59), dh(100, 1, 1),    nulo};
    QTest::newRow("data") << col("DT", TipoColuna::DataHora) << datas << datas;
    QTest::newRow("data de texto") << col("DT", TipoColuna::DataHora)
                                   << QVariantList{QStringLiteral("2024-05-31"), QStringLiteral("2024-05-31 13:45:07"),
                                                   QStringLiteral("13:45"), QDate(1900, 2, 28)}
                                   << QVariantList{dh(2024, 5, 31), dh(2024, 5, 31, 13, 45, 7),
                                                   dh(1899, 12, 30, 13, 45), dh(1900, 2, 28)};
    QTest::newRow("sim/não") << col("B", TipoColuna::SimNao) << QVariantList{true, false, nulo, 1, 0}
                             << QVariantList{true, false, false, true, false};
    const QVariantList texto = textos({"", "Ação São João ç", "Ελληνικά 漢字", "😀", "ab"})
                               << QString() << texto255 << nulo;
    QTest::newRow("texto") << col("T", TipoColuna::Texto, 255) << texto << texto;
    const QVariantList memos{
        memo, QString(), QStringLiteral("curto"), textoLongo(1500), QString(5000, u'a'), QString(2000, u'b'), nulo};
    QTest::newRow("memo") << col("M", TipoColuna::Memo) << memos << memos;
    const QVariantList binarios{mega, QByteArray(), QByteArray("\0\1\2", 3), binario(4000, 1), binario(4081, 2), nulo};
    QTest::newRow("ole") << col("O", TipoColuna::ObjetoOle) << binarios << binarios;
}

void AccessTest::roundTrip()
{
    QFETCH(Coluna, coluna);
    QFETCH(QVariantList, valores);
    QFETCH(QVariantList, lidos);
    const Tabela tabela{QStringLiteral("VALORES"), {col("ID", TipoColuna::Inteiro), coluna}};
    Linhas linhas;
    for (int i = 0; i < valores.size(); ++i)
        linhas.append({i, valores[i]});
    const QString arquivo = m_dir.filePath(QStringLiteral("valores.mdb"));
    QCOMPARE(escreve(arquivo, {{tabela, linhas}}), QString());

    LeitorAccess leitor;
    QVERIFY(leitor.abre(arquivo));
    QCOMPARE(leitor.tabelas(), QStringList{tabela.nome});
    QCOMPARE(leitor.tabela(QStringLiteral("valores")), std::optional<Tabela>(tabela));
    const Linhas lidas = leTudo(leitor, tabela.nome);
    QCOMPARE(lidas.size(), lidos.size());
    for (int i = 0; i < lidos.size(); ++i) {
        QCOMPARE(lidas[i][0], QVariant(qint64(i)));
        QVERIFY2(iguais(lidas[i][1], lidos[i]), qPrintable(QStringLiteral("row %1").arg(i)));
    }
}

// 26 rows of 144 compressed characters fill one data page to its last byte (14 + 26 * (2 + 155));
// 40,000 rows of 100 take thousands of pages, past what an inline usage map covers; 255 columns of
// long names make a definition of ten pages.
void AccessTest::pagesFullAndMany_data()
{
    QTest::addColumn<int>("linhas");
    QTest::addColumn<int>("tamanho");
    QTest::addColumn<int>("colunas");
    QTest::newRow("nenhuma linha") << 0 << 10 << 1;
    QTest::newRow("página cheia") << 26 << 144 << 1;
    QTest::newRow("página cheia e uma linha") << 27 << 144 << 1;
    QTest::newRow("255 linhas numa página") << 600 << 1 << 1;
    QTest::newRow("milhares de páginas") << 40000 << 100 << 1;
    QTest::newRow("255 colunas") << 30 << 3 << 255;
}

void AccessTest::pagesFullAndMany()
{
    QFETCH(int, linhas);
    QFETCH(int, tamanho);
    QFETCH(int, colunas);
    Tabela tabela{QStringLiteral("GRANDE"), {}};
    for (int c = 0; c < colunas; ++c)
        tabela.colunas.append(
            {QStringLiteral("COLUNA_%1_").arg(c).leftJustified(colunas > 1 ? 64 : 0, u'x'), TipoColuna::Texto, 255});
    const QString arquivo = m_dir.filePath(QStringLiteral("grande.mdb"));
    Linhas escritas;
    for (int i = 0; i < linhas; ++i) {
        QVariantList linha{QString::number(i).rightJustified(tamanho, QLatin1Char('x'), true)};
        for (int c = 1; c < colunas; ++c)
            linha.append(QString::number(c));
        escritas.append(linha);
    }
    QCOMPARE(escreve(arquivo, {{tabela, escritas}}), QString());
    LeitorAccess leitor;
    QVERIFY(leitor.abre(arquivo));
    QCOMPARE(leitor.tabela(tabela.nome), std::optional<Tabela>(tabela));
    QCOMPARE(leTudo(leitor, tabela.nome), escritas);
}

// The mdbtools programs list the tables, print their definitions and export their rows.
void AccessTest::mdbtoolsPrograms()
{
    const QString mdbTables = QStandardPaths::findExecutable(QStringLiteral("mdb-tables"));
    if (mdbTables.isEmpty())
        QSKIP("mdbtools is not installed");
    const QString arquivo = m_dir.filePath(QStringLiteral("programas.mdb"));
    const Tabela documento{QStringLiteral("DOCUMENTO"),
                           {col("DOCUMENTO_ID", TipoColuna::Inteiro), col("VALOR", TipoColuna::Numerico, 255, 15, 2),
                            col("DATAENTREGA", TipoColuna::DataHora), col("RAZAO", TipoColuna::Texto, 100),
                            col("ATIVO", TipoColuna::SimNao), col("OBS", TipoColuna::Memo),
                            col("ARQUIVO", TipoColuna::ObjetoOle), col("TAXA", TipoColuna::Duplo)}};
    Linhas linhas;
    for (int i = 1; i <= 1000; ++i)
        linhas.append({i, QStringLiteral("%1.25").arg(i), dh(2024, 1 + i % 12, 1 + i % 28, 10, 30, 15),
                       QStringLiteral("Padaria D'Ouro nº %1").arg(i), i % 2 == 0, QString(100 + i, QLatin1Char('m')),
                       QByteArray(10, 'z'), i / 8.0});
    const Tabela vazia{QStringLiteral("CNAEF_CNAE"), {col("CNAE", TipoColuna::Texto, 9)}};
    QCOMPARE(escreve(arquivo, {{documento, linhas}, {vazia, {}}}), QString());

    QCOMPARE(executa(QStringLiteral("mdb-ver"), {arquivo}).trimmed(), QStringLiteral("JET4"));
    QCOMPARE(executa(mdbTables, {QStringLiteral("-1"), arquivo}).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             (QStringList{QStringLiteral("DOCUMENTO"), QStringLiteral("CNAEF_CNAE")}));
    const QString esquema = executa(QStringLiteral("mdb-schema"), {arquivo, QStringLiteral("access")});
    for (const char* linha : {"[VALOR]\t\t\tNumeric (15, 2)", "[RAZAO]\t\t\tText (100)", "[OBS]\t\t\tMemo/Hyperlink",
                              "[ATIVO]\t\t\tBoolean NOT NULL", "[DATAENTREGA]\t\t\tDateTime"})
        QVERIFY2(esquema.contains(QString::fromUtf8(linha)), linha);
    const QStringList exportadas =
        executa(QStringLiteral("mdb-export"),
                {QStringLiteral("-T"), QStringLiteral("%Y-%m-%d %H:%M:%S"), arquivo, documento.nome})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(exportadas.size(), 1 + linhas.size());
    QCOMPARE(exportadas[0], QStringLiteral("DOCUMENTO_ID,VALOR,DATAENTREGA,RAZAO,ATIVO,OBS,ARQUIVO,TAXA"));
    QVERIFY2(
        exportadas[7].startsWith(QStringLiteral("7,7.25,\"2024-08-08 10:30:15\",\"Padaria D'Ouro nº 7\",0,\"mmmmmmmm")),
        qPrintable(exportadas[7]));
    QCOMPARE(executa(QStringLiteral("mdb-export"), {arquivo, vazia.nome}).trimmed(), QStringLiteral("CNAE"));
}

namespace {

struct Aleatorio
{
    QRandomGenerator g;

    int ate(int n) { return int(g.bounded(n)); }
    QString nome(int tamanho)
    {
        static const QString letras =
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_ ");
        QString s(1, letras[ate(52)]);
        while (s.size() < tamanho)
            s += letras[ate(int(letras.size()))];
        return s.trimmed();
    }
    QString texto(int maximo)
    {
        static const QStringList pedacos = {
            QStringLiteral("a"), QStringLiteral("Z"), QStringLiteral("ç"),  QStringLiteral("ã"), QStringLiteral(" "),
            QStringLiteral("9"), QStringLiteral("€"), QStringLiteral("漢"), QStringLiteral("😀"), QStringLiteral("'")};
        const int alvo = ate(maximo + 1);
        QString s;
        while (true) {
            const QString& p = pedacos[ate(int(pedacos.size()))];
            if (s.size() + p.size() > alvo)
                return s;
            s += p;
        }
    }
    Coluna coluna(int i)
    {
        Coluna c{QStringLiteral("C%1 %2").arg(i).arg(nome(1 + ate(8))), TipoColuna(ate(8))};
        if (c.tipo == TipoColuna::Texto)
            c.tamanho = 1 + ate(ate(5) == 0 ? 255 : 40);
        if (c.tipo == TipoColuna::Numerico) {
            c.precisao = 1 + ate(28);
            c.escala = ate(c.precisao + 1);
        }
        return c;
    }
    // A value and what reading it gives back.
    QPair<QVariant, QVariant> valor(const Coluna& c)
    {
        if (ate(7) == 0)
            return {QVariant(), c.tipo == TipoColuna::SimNao ? QVariant(false) : QVariant()};
        switch (c.tipo) {
        case TipoColuna::SimNao: {
            const bool b = ate(2) == 1;
            return {b, b};
        }
        case TipoColuna::Inteiro: {
            const qint64 v = qint64(qint32(g.generate()));
            return {v, v};
        }
        case TipoColuna::Duplo: {
            const double v = (g.generateDouble() - 0.5) * std::pow(10.0, ate(40) - 20);
            return {v, v};
        }
        case TipoColuna::Numerico: {
            QString inteiros = QString::number(g.generate64() % 10000000000ULL).left(ate(c.precisao - c.escala + 1));
            while (inteiros.size() > 1 && inteiros.startsWith(QLatin1Char('0')))
                inteiros.remove(0, 1);
            QString decimais;
            while (decimais.size() < c.escala)
                decimais += QChar(u'0' + ate(10));
            const bool negativo = ate(2) == 1;
            const QString lido = (inteiros.isEmpty() ? QStringLiteral("0") : inteiros) +
                                 (c.escala ? QLatin1Char('.') + decimais : QString());
            const bool zero = !lido.contains(QRegularExpression(QStringLiteral("[1-9]")));
            const QString escrito = (negativo ? QStringLiteral("-") : QString()) + lido;
            return {escrito, (negativo && !zero ? QStringLiteral("-") : QString()) + lido};
        }
        case TipoColuna::DataHora: {
            const QDateTime v(QDate(100, 1, 1).addDays(ate(3600000)), QTime(0, 0).addSecs(ate(86400)));
            return {v, v};
        }
        case TipoColuna::Texto: {
            const QString v = texto(c.tamanho);
            return {v, v};
        }
        case TipoColuna::Memo: {
            const QString v = texto(ate(10) == 0 ? 6000 : 80);
            return {v, v};
        }
        case TipoColuna::ObjetoOle: {
            const QByteArray v = binario(ate(10) == 0 ? ate(9000) : ate(100), g.generate());
            return {v, v};
        }
        }
        return {};
    }
};

} // namespace

// Random tables of every type, written and read back equal, over 50 seeds.
void AccessTest::randomTables()
{
    int recusadas = 0;
    for (quint32 semente = 1; semente <= 50; ++semente) {
        Aleatorio a{QRandomGenerator(semente)};
        QList<QPair<Tabela, Linhas>> tabelas;
        QList<Linhas> esperadas;
        const int quantas = 1 + a.ate(3);
        for (int t = 0; t < quantas; ++t) {
            Tabela tabela{QStringLiteral("T%1 %2").arg(t).arg(a.nome(1 + a.ate(20))), {}};
            for (int i = 0, n = 1 + a.ate(12); i < n; ++i)
                tabela.colunas.append(a.coluna(i));
            Linhas linhas, lidas;
            for (int r = 0, n = a.ate(60); r < n; ++r) {
                QVariantList escrita, lida;
                for (const Coluna& c : tabela.colunas) {
                    const auto [valor, esperado] = a.valor(c);
                    escrita.append(valor);
                    lida.append(esperado);
                }
                linhas.append(escrita);
                lidas.append(lida);
            }
            tabelas.append({tabela, linhas});
            esperadas.append(lidas);
        }
        const QString arquivo = m_dir.filePath(QStringLiteral("aleatorio.mdb"));
        const QString erro = escreve(arquivo, tabelas);
        if (!erro.isEmpty() && erro.contains(QStringLiteral("Access admite no máximo 4060")) && ++recusadas < 5)
            continue; // a row over Access's limit, refused as it should be
        QVERIFY2(erro.isEmpty(), qPrintable(QStringLiteral("seed %1: %2").arg(semente).arg(erro)));
        LeitorAccess leitor;
        QVERIFY(leitor.abre(arquivo));
        QCOMPARE(leitor.tabelas().size(), tabelas.size());
        for (int t = 0; t < tabelas.size(); ++t) {
            QCOMPARE(leitor.tabela(tabelas[t].first.nome), std::optional<Tabela>(tabelas[t].first));
            const Linhas lidas = leTudo(leitor, tabelas[t].first.nome);
            QCOMPARE(lidas.size(), esperadas[t].size());
            for (int r = 0; r < lidas.size(); ++r) {
                for (int c = 0; c < lidas[r].size(); ++c)
                    QVERIFY2(
                        iguais(lidas[r][c], esperadas[t][r][c]),
                        qPrintable(
                            QStringLiteral("seed %1, table %2, row %3, column %4").arg(semente).arg(t).arg(r).arg(c)));
            }
        }
    }
}

// A value the column cannot hold, a folder where nothing can be written, the size limit: the message
// names the table (and the column), and no file is left, neither the hidden one nor the target, nor
// one that a killed run left.
void AccessTest::failuresLeaveNoFile_data()
{
    QTest::addColumn<Coluna>("coluna");
    QTest::addColumn<QVariant>("valor");
    QTest::addColumn<QString>("pasta");
    QTest::addColumn<QStringList>("trechos");
    const QString valido = QStringLiteral("ok");
    const Coluna texto = col("NOME", TipoColuna::Texto, 5);
    QTest::newRow("inteiro fora de 32 bits")
        << col("QTD", TipoColuna::Inteiro) << QVariant(qint64(1) << 31) << valido
        << QStringList{QStringLiteral("Tabela VALORES, coluna QTD"), QStringLiteral("32 bits")};
    QTest::newRow("texto longo demais") << texto << QVariant(QStringLiteral("abcdef")) << valido
                                        << QStringList{QStringLiteral("coluna NOME"), QStringLiteral("no máximo 5")};
    QTest::newRow("numérico fora da precisão")
        << col("VALOR", TipoColuna::Numerico, 255, 5, 2) << QVariant(QStringLiteral("1234.5")) << valido
        << QStringList{QStringLiteral("coluna VALOR"), QStringLiteral("Numérico(5,2)")};
    QTest::newRow("decimais demais") << col("VALOR", TipoColuna::Numerico, 255, 5, 2)
                                     << QVariant(QStringLiteral("1.234")) << valido
                                     << QStringList{QStringLiteral("coluna VALOR")};
    QTest::newRow("data fora do intervalo") << col("DIA", TipoColuna::DataHora) << QVariant(QDate(99, 12, 31)) << valido
                                            << QStringList{QStringLiteral("coluna DIA"), QStringLiteral("anos 100")};
    QTest::newRow("tipo errado") << texto << QVariant(QByteArray("abc")) << valido
                                 << QStringList{QStringLiteral("coluna NOME")};
    QTest::newRow("pasta inexistente") << texto << QVariant(valido) << QStringLiteral("nao/existe")
                                       << QStringList{QStringLiteral("tabela VALORES"), QStringLiteral("não existe")};
    QTest::newRow("pasta sem permissão") << texto << QVariant(valido) << QStringLiteral("protegida")
                                         << QStringList{QStringLiteral("tabela VALORES"),
                                                        QStringLiteral("sem permissão")};
    QTest::newRow("limite de tamanho") << texto << QVariant(valido) << QStringLiteral("limite")
                                       << QStringList{QStringLiteral("tabela VALORES"), QStringLiteral("2 GB")};
    QTest::newRow("disco cheio") << texto << QVariant(valido) << QStringLiteral("cheio")
                                 << QStringList{QStringLiteral("tabela VALORES"), QStringLiteral("grande demais")};
    QTest::newRow("tabelas demais") << texto << QVariant(valido) << QStringLiteral("muitas")
                                    << QStringList{QStringLiteral("não comporta mais tabelas")};
    QTest::newRow("sem concluir") << texto << QVariant(valido) << QStringLiteral("abandonado") << QStringList{};
}

void AccessTest::failuresLeaveNoFile()
{
    QFETCH(Coluna, coluna);
    QFETCH(QVariant, valor);
    QFETCH(QString, pasta);
    QFETCH(QStringList, trechos);
    const QString base = m_dir.filePath(QString::number(qHash(QString::fromUtf8(QTest::currentDataTag()))));
    QVERIFY(QDir().mkpath(base));
    QString dir = pasta == QLatin1String("nao/existe") ? base + QStringLiteral("/nao/existe") : base;
    if (dir == base && pasta != QLatin1String("protegida")) { // as a run that was killed leaves it
        QFile velho(base + QStringLiteral("/.vaf.mdb.0badf00d.tmp"));
        QVERIFY(velho.open(QIODevice::WriteOnly));
    }
    if (pasta == QLatin1String("protegida") && ::geteuid() == 0)
        dir = QStringLiteral("/sys"); // root writes in any folder of its own
    else if (pasta == QLatin1String("protegida"))
        QFile::setPermissions(base, QFile::ReadOwner | QFile::ExeOwner);
    // A write that fails as on a full disk: the process may not grow a file past 40 KB.
    rlimit limite{};
    ::getrlimit(RLIMIT_FSIZE, &limite);
    const rlimit antes = limite;
    limite.rlim_cur = pasta == QLatin1String("cheio") ? 40 * 1024 : limite.rlim_cur;
    ::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &limite);
    {
        EscritorAccess escritor(dir + QStringLiteral("/vaf.mdb"), QStringLiteral("tum4821"));
        if (pasta == QLatin1String("limite"))
            escritor.limitaTamanho(12 * 4096);
        const Tabela tabela{QStringLiteral("VALORES"), {col("ID", TipoColuna::Inteiro), coluna}};
        bool ok = true;
        for (int t = 0; ok && pasta == QLatin1String("muitas") && t < 200; ++t)
            ok = escritor.iniciaTabela(
                {QStringLiteral("TABELA_DE_NOME_LONGO_%1").arg(t), {col("ID", TipoColuna::Inteiro)}});
        ok = ok && escritor.iniciaTabela(tabela);
        for (int i = 0; ok && i < 600; ++i)
            ok = escritor.escreveLinha({i, QVariant()});
        ok = ok && escritor.escreveLinha({600, valor});
        if (pasta != QLatin1String("abandonado")) {
            QVERIFY(!(ok && escritor.conclui()));
            for (const QString& trecho : trechos)
                QVERIFY2(escritor.erro().contains(trecho), qPrintable(escritor.erro()));
            QVERIFY(!escritor.escreveLinha({1, QVariant()}));
        }
    }
    ::setrlimit(RLIMIT_FSIZE, &antes);
    QFile::setPermissions(base, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(QDir(base).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList());
}

// The database password as Access stores it, read back by the fixtures' tool.
void AccessTest::password()
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    const QString ferramenta = fixture("tools/gen_novagia_mdb.py");
    if (python.isEmpty() || !QFile::exists(ferramenta))
        QSKIP("python3 or the fixtures' tool is missing");
    for (const QString& senha : {QStringLiteral("tum4821"), QString(), QStringLiteral("ç20caracteres-senha!")}) {
        const QString arquivo = m_dir.filePath(QStringLiteral("senha.mdb"));
        QCOMPARE(escreve(arquivo, {}, senha), QString());
        QCOMPARE(executa(python, {ferramenta, QStringLiteral("--password"), arquivo}), senha + QLatin1Char('\n'));
    }
    EscritorAccess longa(m_dir.filePath(QStringLiteral("longa.mdb")), QString(21, QLatin1Char('x')));
    QVERIFY(!longa.conclui());
    QVERIFY(longa.erro().contains(QStringLiteral("senha")));
}

// Files written by Access and by the fixtures' tool: names matched without regard to case, dates
// before 1900 and after 2100, a Jet 3 file.
void AccessTest::realFiles()
{
    LeitorAccess leitor;
    QVERIFY(!leitor.abre(m_dir.filePath(QStringLiteral("nenhum.mdb"))));
    QVERIFY(leitor.abre(fixture("DateTestDatabase.mdb")));
    QVERIFY(leitor.tabelas().contains(QStringLiteral("DateTest")));
    const Linhas datas = leTudo(leitor, QStringLiteral("datetest"));
    QCOMPARE(datas.size(), 6);
    QCOMPARE(datas[0][1], QVariant(dh(2021, 12, 2)));
    QCOMPARE(datas[1][4], QVariant(QStringLiteral("Year 9999")));
    QCOMPARE(datas[1][1].toDateTime().date().year(), 9999);
    QVERIFY(datas[2][1].toDateTime().date().year() < 1900);
    QVERIFY(leitor.abre(fixture("nwind.mdb")));
    QVERIFY(leitor.tabela(QStringLiteral("UMSÄTZE")));
    QVERIFY(!leitor.tabela(QStringLiteral("MSysObjects")));
    QVERIFY(leitor.abre(fixture("novagia-5.mdb")));
    QCOMPARE(leTudo(leitor, QStringLiteral("TBLCONTRIBUINTE")).value(1).value(1),
             QVariant(QStringLiteral("Açougue São João ME")));
}

// 200,000 rows over 26 tables, as a VAF database holds them; read back by count and by sum.
void AccessTest::twoHundredThousandRows()
{
    const QString arquivo = m_dir.filePath(QStringLiteral("vaf.mdb"));
    EscritorAccess escritor(arquivo, QStringLiteral("tum4821"));
    constexpr int tabelas = 26;
    constexpr int porTabela = 200000 / tabelas + 1;
    for (int t = 0; t < tabelas; ++t) {
        QVERIFY(escritor.iniciaTabela(
            {QStringLiteral("TABELA_%1").arg(t),
             {col("ID", TipoColuna::Inteiro), col("DOCUMENTO_ID", TipoColuna::Inteiro),
              col("DESCRICAO", TipoColuna::Texto, 60), col("VALOR", TipoColuna::Numerico, 255, 15, 2),
              col("DATA", TipoColuna::DataHora), col("TAXA", TipoColuna::Duplo)}}));
        for (int i = 0; i < porTabela; ++i)
            QVERIFY(escritor.escreveLinha({i, i / 10, QStringLiteral("Descrição do item %1").arg(i),
                                           QStringLiteral("%1.%2").arg(i).arg(i % 100, 2, 10, QLatin1Char('0')),
                                           QDate(2024, 1, 1).addDays(i % 3000), i * 0.5}));
    }
    QVERIFY2(escritor.conclui(), qPrintable(escritor.erro()));
    LeitorAccess leitor;
    QVERIFY(leitor.abre(arquivo));
    QCOMPARE(leitor.tabelas().size(), tabelas);
    for (int t = 0; t < tabelas; t += 5) {
        qint64 linhas = 0, soma = 0;
        QVERIFY(leitor.leLinhas(QStringLiteral("tabela_%1").arg(t), [&](const QVariantList& v) {
            soma += v[0].toLongLong();
            linhas += v[3] == QVariant(QStringLiteral("%1.%2")
                                           .arg(v[0].toLongLong())
                                           .arg(v[0].toLongLong() % 100, 2, 10, QLatin1Char('0')));
            return true;
        }));
        QCOMPARE(linhas, qint64(porTabela));
        QCOMPARE(soma, qint64(porTabela) * (porTabela - 1) / 2);
    }
}

QTEST_GUILESS_MAIN(AccessTest)
#include "AccessTest.moc"
