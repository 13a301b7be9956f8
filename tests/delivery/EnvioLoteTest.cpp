// The batch delivery against hostile servers: the history call made before the run, and the run
// itself, which tells each company's failure and goes on with the next, keeping nothing it did not
// send.
#include "delivery/LoteVaf.h"
#include "net/HttpDouble.h"
#include "net/Soap.h"
#include "storage/Entregas.h"
#include "support/TestProgramDir.h"

#include <QSignalSpy>
#include <QTest>

using namespace tervalia;
using test::HttpDouble;

class EnvioLoteTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        EnvioLote::setAjusteParaTestes([](OpcoesUpload& o) {
            o.limiteConexaoMs = 2000;
            o.limiteSilencioMs = 1000;
        });
        setSoapTimeoutForTests(1000);
        setSoapDeadlineForTests(2000);
    }
    void cleanup()
    {
        EnvioLote::setAjusteParaTestes({});
        setSoapTimeoutForTests(0);
        setSoapDeadlineForTests(0);
    }
    void consultaFalha_data();
    void consultaFalha();
    void envioFalha_data();
    void envioFalha();
};

void EnvioLoteTest::consultaFalha_data()
{
    QTest::addColumn<QString>("servidor"); // HttpDouble::playHostile, or "500": an error page
    QTest::addColumn<QString>("erro");
    QTest::newRow("fora do ar") << "dead"
                                << "O servidor recusou a conexão.";
    QTest::newRow("mudo") << "silent"
                          << "O servidor não respondeu dentro do tempo limite.";
    QTest::newRow("gotejando") << "dripping"
                               << "O servidor não completou a resposta dentro do tempo limite.";
    QTest::newRow("reinicia") << "reset"
                              << "O servidor encerrou a conexão antes de responder.";
    QTest::newRow("nao HTTP") << "garbage"
                              << "O servidor enviou uma resposta que não é HTTP.";
    QTest::newRow("pagina de erro") << "500"
                                    << "A resposta do servidor não pôde ser lida.";
}

// The run never starts without the server's date: the failure is told as the call saw it.
void EnvioLoteTest::consultaFalha()
{
    QFETCH(QString, servidor);
    QFETCH(QString, erro);
    test::TestProgramDir dir;
    HttpDouble http;
    if (!http.playHostile(servidor))
        http.setAnswer(HttpDouble::answer("<html>erro</html>", "text/html", "500 Internal Server Error"));
    dir.writeSettings(QStringLiteral("127.0.0.1"), http.port());
    const DadosServidor d = consultaDadosServidor(QStringLiteral("7001234500028"), QStringLiteral("K7M2Q9TX"));
    QCOMPARE(d.erro, erro);
    QVERIFY(!d.dataServidor.isValid());
    QVERIFY(!d.chaveRecusada);
}

void EnvioLoteTest::envioFalha_data()
{
    QTest::addColumn<QString>("servidor"); // HttpDouble::playHostile, or "500": an error page
    QTest::addColumn<QString>("falha");    // empty: the first data came, taken as the answer
    QTest::newRow("fora do ar") << "dead"
                                << "O servidor recusou a conexão.";
    QTest::newRow("mudo") << "silent"
                          << "O servidor não respondeu dentro do tempo limite.";
    QTest::newRow("reinicia") << "reset"
                              << "O servidor encerrou a conexão antes de responder; a entrega não foi confirmada.";
    QTest::newRow("gotejando") << "dripping"
                               << "";
    QTest::newRow("nao HTTP") << "garbage"
                              << "";
    QTest::newRow("pagina de erro") << "500"
                                    << "";
}

// Each company is told apart and the run reaches the last one; a failed upload keeps no copy, an
// answered one keeps what the server said, however little or strange.
void EnvioLoteTest::envioFalha()
{
    QFETCH(QString, servidor);
    QFETCH(QString, falha);
    test::TestProgramDir dir;
    dir.writeFile(QStringLiteral("vaf.mdb"), QByteArray(200 * 1024, 'm'));
    HttpDouble http(true);
    const QByteArray pagina = HttpDouble::answer("<html>erro</html>", "text/html", "500 Internal Server Error");
    if (!http.playHostile(servidor))
        http.setAnswer(pagina);
    dir.writeSettings(QStringLiteral("127.0.0.1"), http.port());

    EnvioLote lote;
    QSignalSpy falhou(&lote, &EnvioLote::falhou);
    QSignalSpy respondida(&lote, &EnvioLote::respondida);
    QSignalSpy terminou(&lote, &EnvioLote::terminou);
    lote.inicia({{QStringLiteral("7001234500028"), QStringLiteral("Mercearia"), QStringLiteral("K7M2Q9TX"), "400"},
                 {QStringLiteral("7019876540034"), QStringLiteral("Serralheria"), QStringLiteral("P4W8N3HC"), "502"}},
                QStringLiteral("123.456.789-09"), dir.file(QStringLiteral("vaf.mdb")), QStringLiteral("VAF.GDB"));
    QTRY_COMPARE_WITH_TIMEOUT(terminou.size(), 1, 15000);
    QVERIFY(!lote.emAndamento());
    if (!falha.isEmpty()) {
        QCOMPARE(falhou.size(), 2);
        QCOMPARE(respondida.size(), 0);
        QCOMPARE(falhou[0][0].toInt(), 0);
        QCOMPARE(falhou[1][0].toInt(), 1);
        QCOMPARE(falhou[0][1].toString(), falha);
        QVERIFY(listaEntregas().isEmpty());
        return;
    }
    QCOMPARE(falhou.size(), 0);
    QCOMPARE(respondida.size(), 2);
    const QByteArray todo = servidor == QLatin1String("500") ? pagina : QByteArray();
    for (const QList<QVariant>& r : std::as_const(respondida)) {
        const QByteArray recebido = r[1].value<RespostaUpload>().resposta;
        QVERIFY(!recebido.isEmpty());
        QVERIFY(todo.isEmpty() || recebido == todo);
        QCOMPARE(r[2].toString(), QString()); // the copy was kept
    }
    QCOMPARE(listaEntregas().size(), 2);
    QFile mdb(dir.file(QStringLiteral("vaf.mdb")));
    QVERIFY(mdb.open(QIODevice::ReadOnly));
    QCOMPARE(mdb.readAll(), QByteArray(200 * 1024, 'm'));
}

QTEST_GUILESS_MAIN(EnvioLoteTest)
#include "EnvioLoteTest.moc"
