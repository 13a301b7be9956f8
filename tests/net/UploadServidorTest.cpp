// The Simples Nacional upload against the real stand-in server: what it stores, what it answers,
// and the new delivery in the next history.
#include "net/Soap.h"
#include "net/Upload.h"
#include "platform/Pausa.h"
#include "server/Store.h"
#include "storage/Entregas.h"
#include "support/StandInServer.h"
#include "support/TestProgramDir.h"

#include <QTest>

using namespace tervalia;

namespace {
const QString semente = QStringLiteral(TERVALIA_SOURCE_DIR "/tools/server/demo-seed.json");
const QString ieRestaurante = QStringLiteral("7025551230008");
const QString chaveRestaurante = QStringLiteral("R2D5L6YB");
} // namespace

class UploadServidorTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_servidor = std::make_unique<test::StandInServer>(QStringList{QStringLiteral("--seed"), semente});
        setPausaParaTestes([](int) {});
    }
    void cleanupTestCase() { setPausaParaTestes({}); }
    void pdfReachesTheServer_data();
    void pdfReachesTheServer();

private:
    std::unique_ptr<test::StandInServer> m_servidor;
};

void UploadServidorTest::pdfReachesTheServer_data()
{
    QTest::addColumn<QByteArray>("pdf");
    QTest::addColumn<QString>("resposta");
    QTest::addColumn<int>("marca"); // index of the refusal marker whose message shows, -1 for none

    QTest::newRow("accepted") << QByteArray("%PDF-1.4\n1 0 obj << >> endobj\n%%EOF\n")
                              << "ENTREGA RECEBIDA - PROTOCOLO " << -1;
    QTest::newRow("not a PDF") << QByteArray("GIF89a") << "ARQUIVO INVALIDO - EXTRATO" << 0;
    QTest::newRow("a receipt") << QByteArray("%PDF-1.4\nRECIBO\n%%EOF\n") << "ARQUIVO INVALIDO - RECIBO" << 1;
    QTest::newRow("saved again") << QByteArray("%PDF-1.4\n%%EOF\nmais\n%%EOF\n") << "ARQUIVO INVALIDO - MODIFICADO"
                                 << 2;
}

void UploadServidorTest::pdfReachesTheServer()
{
    QFETCH(QByteArray, pdf);
    QFETCH(QString, resposta);
    QFETCH(int, marca);
    test::TestProgramDir dir;
    const QString porta = QString::number(m_servidor->port());
    dir.writeSettings(QStringLiteral("127.0.0.1"), porta);
    dir.writeFile(QStringLiteral("Declaração – março.pdf"), pdf);

    Upload upload(OpcoesUpload::simplesNacional());
    std::optional<RespostaUpload> recebida;
    connect(&upload, &Upload::respostaConcluida, this, [&](const RespostaUpload& r) { recebida = r; });
    upload.setCertificadoValido(true);
    PedidoUpload p;
    p.endereco =
        QStringLiteral("http://127.0.0.1:%1 /client/xt_upload_simples.php?contador=123.456.789-09&chave=%2&gias=")
            .arg(porta, chaveRestaurante);
    p.portaConfiguracao = porta;
    p.arquivo = dir.file(QStringLiteral("Declaração – março.pdf"));
    p.nomeArquivo = QStringLiteral("Declaração – março.pdf");
    QVERIFY(upload.iniciar(p).iniciado());
    QTRY_VERIFY_WITH_TIMEOUT(recebida, 20000);

    QVERIFY2(recebida->texto.contains(resposta), qPrintable(recebida->texto));
    QCOMPARE(recebida->mensagensRecusa,
             marca < 0 ? QStringList() : QStringList{upload.opcoes().marcasRecusa.at(marca).mensagem});

    // The server read the name in the users' code page, dash included, and got every byte.
    const standin::Envio envio = standin::Store(m_servidor->statePath()).envios().last();
    QCOMPARE(envio.nomeArquivo, QStringLiteral("Declaração – março.pdf"));
    QCOMPARE(envio.contador, QStringLiteral("123.456.789-09"));
    QCOMPARE(envio.chave, chaveRestaurante);
    QCOMPARE(envio.gias, QString());
    QCOMPARE(envio.conteudo, pdf);

    QVERIFY(primeiraLinhaResposta(recebida->resposta).startsWith(resposta));

    if (marca < 0) { // the accepted delivery is in the next history
        const qsizetype at = recebida->texto.indexOf(resposta) + resposta.size();
        const QString protocolo = recebida->texto.mid(at, 10);
        const QString historico =
            EnviaSoap(QStringLiteral("Transferencia.ver2"),
                      montaEnvelope(QStringLiteral("Transferencia.ver2"),
                                    {{QStringLiteral("strNome"), ieRestaurante},
                                     {QStringLiteral("strDiretorioDestino"), QStringLiteral("vbs")},
                                     {QStringLiteral("Chave"), chaveRestaurante}}));
        QVERIFY2(historico.contains(protocolo), qPrintable(protocolo));
    }
}

QTEST_GUILESS_MAIN(UploadServidorTest)
#include "UploadServidorTest.moc"
