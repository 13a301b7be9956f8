// Access files read through the helper leitor-access: the framing between it and the program, and a
// helper that crashes, hangs, bloats or prints nonsense taken for an unreadable file by both imports.

#include "storage/LeituraAccess.h"
#include "storage/access/EscritorAccess.h"
#include "support/DipamMdb.h"
#include "taxpayers/CadastroAnterior.h"
#include "taxpayers/ExportacaoNovaGia.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <QtEndian>

#include <limits>

using namespace tervalia;
using access::TabelaLida;
using access::Transporte;

namespace {

QByteArray escrito(const Transporte& t)
{
    QByteArray bytes;
    {
        access::EscritaTransporte escrita([&](QByteArrayView bloco) { bytes.append(bloco); });
        for (const TabelaLida& tabela : t.tabelas) {
            escrita.tabela(tabela.nome, tabela.colunas);
            for (const QVariantList& linha : tabela.linhas)
                escrita.linha(linha);
            escrita.fimDaTabela();
        }
        escrita.termina(t.falha);
    }
    return bytes;
}

const TabelaLida empresas{QStringLiteral("tblContribuinte"),
                          {QStringLiteral("IE"), QStringLiteral("Razao\nSocial")},
                          {{QStringLiteral("0623079040081"), QStringLiteral("Padaria")}, {QVariant(), QString()}}};

// A NovaGIA export of one company whose memo spans three long-value pages, the last linked back
// to the first: libmdb follows such a chain for ever.
void escreveMemoEmLaco(const QString& caminho)
{
    using namespace tervalia::access;
    {
        EscritorAccess escritor(caminho);
        QList<Coluna> colunas;
        for (const char* nome : {"IE", "RazaoSocial", "CNPJ", "CNAE"})
            colunas.append({QString::fromLatin1(nome)});
        colunas.append({QStringLiteral("Obs"), TipoColuna::Memo});
        QVERIFY(escritor.iniciaTabela({QStringLiteral("tblContribuinte"), colunas}));
        QVERIFY(escritor.escreveLinha({QStringLiteral("0623079040081"), QStringLiteral("Padaria"),
                                       QStringLiteral("11.222.333/0001-81"), QStringLiteral("4721-1/02"),
                                       QString(5000, u'x')}));
        QVERIFY(escritor.conclui());
    }
    QFile f(caminho);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    constexpr int pagina = 4096;
    QList<int> longas; // the long-value pages, each with one row: the link to the next at its start
    for (int p = 0; (p + 1) * pagina <= bytes.size(); ++p) {
        if (bytes.mid(p * pagina + 4, 4) == "LVAL")
            longas << p;
    }
    QCOMPARE(longas.size(), 3);
    char* ultima = bytes.data() + longas.last() * pagina;
    const int linha = qFromLittleEndian<quint16>(ultima + 14) & 0x1FFF;
    QCOMPARE(qFromLittleEndian<quint32>(ultima + linha), quint32(0));
    qToLittleEndian<quint32>(quint32(longas.first()) << 8, ultima + linha);
    f.seek(0);
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class LeituraAccessTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void framingRoundTrips_data();
    void framingRoundTrips();
    void everyCutOrAlteredOutputIsRejected();
    void failingHelperIsAnUnreadableFile_data();
    void failingHelperIsAnUnreadableFile();
    void memoChainThatLoopsReadsAsNull();
};

void LeituraAccessTest::initTestCase()
{
    // ctest names the build's helper; run by hand, the test names it itself. The scripts run it too.
    if (qEnvironmentVariableIsEmpty("TERVALIA_LEITOR_ACCESS"))
        qputenv("TERVALIA_LEITOR_ACCESS", TERVALIA_LEITOR_ACCESS);
}

void LeituraAccessTest::cleanup()
{
    leitoraccess::setPrograma({});
    leitoraccess::setLimites({});
}

void LeituraAccessTest::framingRoundTrips_data()
{
    QTest::addColumn<QVariant>("valor");
    QTest::newRow("NULL") << QVariant();
    QTest::newRow("empty text") << QVariant(QString(""));
    QTest::newRow("text with the framing in it") << QVariant(QStringLiteral("S5:abc\nZ0:\n\r\t;,\"'"));
    QTest::newRow("non-BMP and accents") << QVariant(QStringLiteral("Açougue \U0001F600 \U0001D11E"));
    QTest::newRow("long memo") << QVariant(QString(300000, QChar(u'é')));
    QTest::newRow("bytes with NULs") << QVariant(QByteArray("\0\n\xff:", 4));
    QTest::newRow("empty bytes") << QVariant(QByteArray(""));
    QTest::newRow("true") << QVariant(true);
    QTest::newRow("false") << QVariant(false);
    QTest::newRow("smallest integer") << QVariant(std::numeric_limits<qint64>::min());
    QTest::newRow("double") << QVariant(0.1 + 0.2);
    QTest::newRow("negative zero") << QVariant(-0.0);
    QTest::newRow("infinity") << QVariant(-std::numeric_limits<double>::infinity());
    QTest::newRow("tiny double") << QVariant(std::numeric_limits<double>::denorm_min());
    QTest::newRow("date and time") << QVariant(QDateTime(QDate(1899, 12, 30), QTime(23, 59, 59)));
    QTest::newRow("invalid date") << QVariant(QDateTime());
}

void LeituraAccessTest::framingRoundTrips()
{
    QFETCH(QVariant, valor);
    Transporte t{{empresas, {QStringLiteral("Umsätze"), {QStringLiteral("a:1"), QStringLiteral("")}, {}}}, {}};
    t.tabelas[1].linhas = {{valor, valor}, {QVariant(), valor}};
    const std::optional<Transporte> lido = access::leTransporte(escrito(t));
    QVERIFY(lido);
    QCOMPARE(*lido, t);
    const QVariant devolvido = lido->tabelas[1].linhas[0][0];
    QCOMPARE(devolvido.typeId(), valor.typeId());
    QCOMPARE(devolvido.isNull(), valor.isNull());
    if (valor.typeId() == QMetaType::Double)
        QCOMPARE(std::signbit(devolvido.toDouble()), std::signbit(valor.toDouble()));

    for (const QString& tabela : {QStringLiteral("tblContador"), QString()}) {
        const Transporte falhou{{empresas}, tabela};
        QCOMPARE(access::leTransporte(escrito(falhou)), falhou);
    }
}

void LeituraAccessTest::everyCutOrAlteredOutputIsRejected()
{
    const QByteArray inteiro = escrito({{empresas}, {}});
    QVERIFY(access::leTransporte(inteiro));
    for (qsizetype n = 0; n < inteiro.size(); ++n)
        QVERIFY2(!access::leTransporte(inteiro.first(n)), qPrintable(QString::number(n)));
    const QList<QPair<QByteArray, QByteArray>> alteracoes{
        {"Z0:\n", "Z0:\nZ0:\n"},      // bytes after the end
        {"E1:2", "E1:3"},             // a row count that does not match
        {"S7:Padaria", "S8:Padaria"}, // a length that overruns its item
        {"S7:Padaria", "Q7:Padaria"}, // an unknown value
        {"R0:\nN0:", "N0:\nR0:"},     // a value outside a row
        {"V15:leitor-access 1", "V15:leitor-access 2"},
        {"Z0:\n", "S9999999999:\n"},
    };
    for (const auto& [de, para] : alteracoes) {
        QByteArray alterado = inteiro;
        QVERIFY(alterado.contains(de));
        QVERIFY2(!access::leTransporte(alterado.replace(de, para)), para.constData());
    }
}

void LeituraAccessTest::failingHelperIsAnUnreadableFile_data()
{
    QTest::addColumn<QByteArray>("script"); // the helper, a shell script; empty: no helper at all
    QTest::addColumn<bool>("lido");         // read whole: the script ends up running the real helper
    QTest::addColumn<int>("tempoMs");
    QTest::addColumn<qint64>("memoria");
    const qint64 padrao = leitoraccess::Limites{}.memoria;
    const QByteArray real = "\"$TERVALIA_LEITOR_ACCESS\" \"$@\"";
    QTest::newRow("the real helper, through a script") << "exec " + real << true << 8000 << padrao;
    QTest::newRow("crash") << QByteArray("kill -SEGV $$") << false << 8000 << padrao;
    QTest::newRow("hangs past the limit") << QByteArray("exec sleep 30") << false << 500 << padrao;
    QTest::newRow("whole output, then a non-zero exit") << real + "; exit 1" << false << 8000 << padrao;
    QTest::newRow("output cut short") << real + " | head -c 200" << false << 8000 << padrao;
    QTest::newRow("garbage") << QByteArray("echo 'Padaria;11.222.333/0001-81'") << false << 8000 << padrao;
    QTest::newRow("endless output") << QByteArray("exec yes") << false << 8000 << padrao;
    QTest::newRow("no table where one was asked")
        << QByteArray("printf 'V15:leitor-access 1\\nZ0:\\n'") << false << 8000 << padrao;
    QTest::newRow("no helper") << QByteArray() << false << 8000 << padrao;
    const QByteArray incha = "x=$(head -c 100000000 /dev/zero | tr '\\0' a); exec " + real;
    QTest::newRow("memory, within the limit") << incha << true << 8000 << padrao;
    QTest::newRow("memory, over the limit") << incha << false << 8000 << qint64(64) * 1024 * 1024;
}

void LeituraAccessTest::failingHelperIsAnUnreadableFile()
{
    QFETCH(QByteArray, script);
    QFETCH(bool, lido);
    QFETCH(int, tempoMs);
    QFETCH(qint64, memoria);
    if (memoria != leitoraccess::Limites{}.memoria && !leitoraccess::limiteDeMemoriaAplicado())
        QSKIP("AddressSanitizer build: no memory limit");
    QTemporaryDir pasta;
    const QString programa = pasta.filePath(QStringLiteral("leitor-access"));
    if (!script.isEmpty()) {
        QFile f(programa);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n" + script + '\n');
        f.close();
        QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    leitoraccess::setPrograma(programa);
    leitoraccess::setLimites({tempoMs, memoria, 1024 * 1024});

    const QString novaGia = QStringLiteral(TERVALIA_FIXTURES_DIR "/access/novagia-5.mdb");
    const QString dipam = pasta.filePath(QStringLiteral("dipam.mdb"));
    QCOMPARE(test::escreveDipamMdb(dipam, ContadorRecord{}, {test::linhaEmpresa(test::empresaValida(1))}), QString());

    QElapsedTimer relogio;
    relogio.start();
    const LeituraNovaGia leitura = lerExportacaoNovaGia(novaGia);
    QCOMPARE(leitura.situacao, lido ? LeituraNovaGia::Situacao::Lida : LeituraNovaGia::Situacao::ArquivoInvalido);
    QCOMPARE(leitura.empresas.size(), lido ? 5 : 0);
    const LeituraCadastroAnterior anterior = leCadastroAnterior(dipam);
    QCOMPARE(anterior.erro, lido ? QString()
                                 : QStringLiteral("O arquivo \"dipam.mdb\" está danificado: o Access não consegue "
                                                  "ler o seu conteúdo."));
    QCOMPARE(anterior.empresas.size(), lido ? 1 : 0);
    QVERIFY2(relogio.elapsed() < 2 * tempoMs + 5000, "the time limit did not stop the helper");
}

void LeituraAccessTest::memoChainThatLoopsReadsAsNull()
{
    QTemporaryDir pasta;
    const QString arquivo = pasta.filePath(QStringLiteral("novagia.mdb"));
    escreveMemoEmLaco(arquivo);
    if (QTest::currentTestFailed())
        return;
    leitoraccess::setLimites({3000, leitoraccess::Limites{}.memoria, leitoraccess::Limites{}.saida});
    const LeituraAccess leitura = leTabelasAccess(arquivo, {QStringLiteral("tblContribuinte")});
    QCOMPARE(leitura.situacao, LeituraAccess::Situacao::Lida);
    QCOMPARE(leitura.tabelas[0].linhas.size(), 1);
    QCOMPARE(leitura.tabelas[0].linhas[0][0], QVariant(QStringLiteral("0623079040081")));
    QCOMPARE(leitura.tabelas[0].linhas[0][4], QVariant());
}

QTEST_GUILESS_MAIN(LeituraAccessTest)
#include "LeituraAccessTest.moc"
