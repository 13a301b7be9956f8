// The delivery upload on a real socket: the bytes a server receives, the signals a window gets,
// the refusals before anything is sent, the failures of the network, and the kept copy.
#include "net/Upload.h"
#include "HttpDouble.h"
#include "platform/Pausa.h"
#include "storage/Entregas.h"
#include "support/TestProgramDir.h"

#include <QCryptographicHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace tervalia;
using test::HttpDouble;

namespace {
// Everything a window would be told, in order.
struct Janela
{
    QStringList eventos;
    QString painel;
    QList<int> valores;
    QString texto;
    std::optional<RespostaUpload> resposta;
    QString erro;

    explicit Janela(Upload& u)
    {
        QObject::connect(&u, &Upload::requisicaoPronta, [this](const QString& p) {
            painel = p;
            eventos << QStringLiteral("pronta");
        });
        QObject::connect(&u, &Upload::progresso, [this](const QString& t, int v) {
            QCOMPARE(t, QString::number(v) + QStringLiteral("% completo."));
            valores << v;
        });
        QObject::connect(&u, &Upload::envioConcluido, [this](const QString& t) { eventos << t; });
        QObject::connect(&u, &Upload::dadosRecebidos, [this](const QString& t) {
            texto = t;
            eventos << QStringLiteral("dados");
        });
        QObject::connect(&u, &Upload::respostaConcluida, [this](const RespostaUpload& r) {
            resposta = r;
            eventos << QStringLiteral("resposta");
        });
        QObject::connect(&u, &Upload::erroSocket, [this](const QString& d) {
            erro = d;
            eventos << QStringLiteral("erro");
        });
        QObject::connect(&u, &Upload::fechado, [this] { eventos << QStringLiteral("fechado"); });
    }
};

PedidoUpload pedido(const QString& port, const QString& arquivo,
                    const QString& caminho = QStringLiteral("/client/xt_upload_simples.php"))
{
    PedidoUpload p;
    p.endereco =
        QStringLiteral("http://127.0.0.1:%1 %2?contador=123.456.789-00&chave=K7M2Q9TX&gias=").arg(port, caminho);
    p.portaConfiguracao = port;
    p.arquivo = arquivo;
    p.nomeArquivo = QFileInfo(arquivo).fileName();
    return p;
}

OpcoesUpload rapidas(OpcoesUpload o = OpcoesUpload::vaf())
{
    o.limiteConexaoMs = 5000;
    o.limiteSilencioMs = 400;
    return o;
}

// A server that misbehaves: resets the connection as soon as data arrives, or reads the whole
// request and closes without answering.
class ServidorFalho : public QObject
{
public:
    enum class Modo { Reinicia, FechaSemResponder };
    explicit ServidorFalho(Modo modo)
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this, modo] {
            QTcpSocket* s = m_server.nextPendingConnection();
            connect(s, &QTcpSocket::readyRead, s, [s, modo] {
                if (modo == Modo::Reinicia) {
                    s->abort(); // unread data makes the close a reset
                    return;
                }
                if (s->readAll().endsWith("--"))
                    s->disconnectFromHost();
            });
        });
        HttpDouble::listenBelow32768(m_server);
    }
    QString port() const { return QString::number(m_server.serverPort()); }

private:
    QTcpServer m_server;
};
} // namespace

class UploadTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        setPausaParaTestes([this](int ms) { m_pausas << ms; });
    }
    void cleanup()
    {
        setPausaParaTestes({});
        m_pausas.clear();
    }
    void serverReceivesTheExactRequest();
    void progressRunsToTheEndOfALargeFile();
    void simplesPausesAndMarkers();
    void refusedBeforeSending_data();
    void refusedBeforeSending();
    void networkFailuresEndCleanly_data();
    void networkFailuresEndCleanly();
    void oneAnswerEndsTheUpload();
    void anAnswerInPiecesIsReadToItsEnd_data();
    void anAnswerInPiecesIsReadToItsEnd();
    void copyFailureDoesNotStopTheDelivery();
    void entriesAreListed();
    void fileChangedAfterSendingKeepsNoCopy();
    void addressFromTheSettings();

private:
    QList<int> m_pausas;
};

void UploadTest::serverReceivesTheExactRequest()
{
    test::TestProgramDir dir;
    HttpDouble server(true);
    server.setAnswer("HTTP/1.0 200 OK\r\n\r\nENTREGA RECEBIDA - PROTOCOLO 2026000004\r\n");
    const QByteArray conteudo = "%PDF-1.4\n\x00\xff conteúdo\n%%EOF\n";
    dir.writeFile(QStringLiteral("Declaração.pdf"), conteudo);

    Upload upload(rapidas());
    Janela janela(upload);
    upload.setCertificadoValido(true);
    QVERIFY(upload.iniciar(pedido(server.port(), dir.file(QStringLiteral("Declaração.pdf")))).iniciado());
    QTRY_VERIFY(janela.resposta);

    QCOMPARE(server.requests().size(), 1);
    const HttpDouble::Request& r = server.requests().first();
    QCOMPARE(r.method, QByteArray("POST"));
    QCOMPARE(r.target, QByteArray("/client/xt_upload_simples.php?contador=123.456.789-00&chave=K7M2Q9TX&gias="));
    QCOMPARE(QSet<QByteArray>(r.headers.keyBegin(), r.headers.keyEnd()),
             (QSet<QByteArray>{"host", "content-type", "content-length"}));
    QCOMPARE(r.headers.value("host"), QByteArray("127.0.0.1"));
    const QByteArray b = r.headers.value("content-type").mid(QByteArray("multipart/form-data, boundary=").size());
    QCOMPARE(r.body,
             "--" + b +
                 "\r\nContent-Disposition: form-data; name=\"objArquivo\"; filename=\"Declara\xe7\xe3o.pdf\"\r\n"
                 "Content-Type: application/octet-stream\r\n\r\n" +
                 conteudo + "\r\n--" + b + "--");
    QCOMPARE(r.headers.value("content-length"), QByteArray::number(r.body.size()));

    QCOMPARE(janela.eventos, (QStringList{"pronta", "Aguarde, carregando informações", "dados", "resposta"}));
    QCOMPARE(janela.painel, QString::fromLatin1(upload.requisicao().bytes()));
    QVERIFY(janela.texto.endsWith(QStringLiteral("ENTREGA RECEBIDA - PROTOCOLO 2026000004\r\n")));
    QCOMPARE(janela.resposta->texto, janela.texto);
    QVERIFY(janela.resposta->mensagensRecusa.isEmpty());
    QCOMPARE(m_pausas, (QList<int>{0, 0, 0})); // the VAF window does not pause
    QVERIFY(!upload.conectado());
    QCOMPARE(upload.estado(), Upload::Estado::Respondido);

    // What the window records the delivery from; the upload itself keeps nothing.
    const RespostaUpload& recebida = *janela.resposta;
    QCOMPARE(recebida.resposta, QByteArray("HTTP/1.0 200 OK\r\n\r\nENTREGA RECEBIDA - PROTOCOLO 2026000004\r\n"));
    QCOMPARE(recebida.cabecalhos, upload.requisicao().cabecalhos);
    QCOMPARE(recebida.arquivo, dir.file(QStringLiteral("Declaração.pdf")));
    QCOMPARE(recebida.nomeArquivo, QStringLiteral("Declaração.pdf"));
    QVERIFY(recebida.endereco.endsWith(QStringLiteral("chave=K7M2Q9TX&gias=")));
    QCOMPARE(recebida.tamanhoConteudo, conteudo.size());
    QCOMPARE(recebida.modificadoEm, QFileInfo(recebida.arquivo).lastModified());
    QVERIFY(listaEntregas().isEmpty());
}

void UploadTest::progressRunsToTheEndOfALargeFile()
{
    test::TestProgramDir dir;
    HttpDouble server(true);
    server.setAnswer("HTTP/1.0 200 OK\r\n\r\nok");
    QByteArray conteudo(12 * 1024 * 1024, 'v');
    dir.writeFile(QStringLiteral("vaf.mdb"), conteudo);

    Upload upload(rapidas());
    Janela janela(upload);
    upload.setCertificadoValido(true);
    QVERIFY(upload.iniciar(pedido(server.port(), dir.file(QStringLiteral("vaf.mdb")))).iniciado());
    QTRY_VERIFY(janela.resposta);

    QCOMPARE(server.requests().first().body.size(), upload.requisicao().tamanhoCorpo());
    QVERIFY(server.requests().first().body.contains(conteudo));
    QVERIFY(janela.valores.size() > 1);
    QVERIFY(std::is_sorted(janela.valores.begin(), janela.valores.end()));
    QCOMPARE(janela.valores.last(), 100);
    QVERIFY(upload.totalEnvio() > 0 && upload.totalEnvio() < upload.requisicao().tamanho());
    QVERIFY2(janela.painel.size() < 4096, "the panel shows only the start of a large request");
}

void UploadTest::simplesPausesAndMarkers()
{
    test::TestProgramDir dir;
    HttpDouble server(true);
    server.setAnswer("HTTP/1.0 200 OK\r\n\r\nARQUIVO INVALIDO - MODIFICADO\nARQUIVO INVALIDO - EXTRATO");
    dir.writeFile(QStringLiteral("a.pdf"), "%PDF-1.4");

    Upload upload(rapidas(OpcoesUpload::simplesNacional()));
    Janela janela(upload);
    QList<int> pausasAntesDosDados;
    connect(&upload, &Upload::dadosRecebidos, this, [&] { pausasAntesDosDados = m_pausas; });
    upload.setCertificadoValido(true);
    QVERIFY(upload.iniciar(pedido(server.port(), dir.file(QStringLiteral("a.pdf")))).iniciado());
    QCOMPARE(m_pausas, (QList<int>{50, 100}));
    QTRY_VERIFY(janela.resposta);
    QCOMPARE(pausasAntesDosDados, (QList<int>{50, 100}));
    QCOMPARE(m_pausas, (QList<int>{50, 100, 1500}));
    // In the order of the markers, not of the answer.
    QCOMPARE(janela.resposta->mensagensRecusa,
             (QStringList{upload.opcoes().marcasRecusa.at(0).mensagem, upload.opcoes().marcasRecusa.at(2).mensagem}));
    QVERIFY(janela.resposta->mensagensRecusa.first().startsWith(
        QStringLiteral("O arquivo que você enviou (Extrato) não é correto")));
}

void UploadTest::refusedBeforeSending_data()
{
    QTest::addColumn<bool>("certificado");
    QTest::addColumn<QString>("endereco"); // %1: the server's port
    QTest::addColumn<QString>("portaConfiguracao");
    QTest::addColumn<QString>("arquivo");
    QTest::addColumn<int>("resultado");
    QTest::addColumn<QString>("mensagem"); // start of the message

    using R = InicioUpload::Resultado;
    const QString normal = QStringLiteral("http://127.0.0.1:%1 /client/xt_upload.php?gias=");
    QTest::newRow("certificate not accepted") << false << normal << "%1"
                                              << "a.pdf" << int(R::Ignorado) << "";
    QTest::newRow("no file chosen") << true << normal << "%1"
                                    << "" << int(R::SemArquivo) << "No File Chosen";
    QTest::newRow("no host") << true << "http://:%1 /client/xt_upload.php?gias="
                             << "%1"
                             << "a.pdf" << int(R::HostInvalido) << "Invalid Host";
    QTest::newRow("port missing") << true << "http://127.0.0.1: /client/x.php"
                                  << ""
                                  << "a.pdf" << int(R::PortaInvalida)
                                  << "A porta do servidor não está definida em dipam.ini.";
    QTest::newRow("port not a number") << true << "http://127.0.0.1:oito /client/x.php"
                                       << "oito"
                                       << "a.pdf" << int(R::PortaInvalida)
                                       << "A porta do servidor em dipam.ini (\"oito\") não é";
    QTest::newRow("port above 32767") << true << "http://127.0.0.1:40000 /client/x.php"
                                      << "40000"
                                      << "a.pdf" << int(R::PortaInvalida) << "A porta \"40000\" do endereço está fora";
    QTest::newRow("port zero") << true << "http://127.0.0.1:0 /client/x.php"
                               << "0"
                               << "a.pdf" << int(R::PortaInvalida)
                               << "A porta 0 está fora do intervalo aceito (1 a 32767).";
    QTest::newRow("negative port") << true << "http://127.0.0.1:-80 /client/x.php"
                                   << "-80"
                                   << "a.pdf" << int(R::PortaInvalida) << "A porta -80 está fora";
    QTest::newRow("unreadable file") << true << normal << "%1"
                                     << "nao-existe.pdf" << int(R::ArquivoIlegivel) << "Não foi possível ler o arquivo";
}

void UploadTest::refusedBeforeSending()
{
    QFETCH(bool, certificado);
    QFETCH(QString, endereco);
    QFETCH(QString, portaConfiguracao);
    QFETCH(QString, arquivo);
    QFETCH(int, resultado);
    QFETCH(QString, mensagem);
    test::TestProgramDir dir;
    HttpDouble server(true);
    dir.writeFile(QStringLiteral("a.pdf"), "%PDF-1.4");

    Upload upload(rapidas());
    Janela janela(upload);
    upload.setCertificadoValido(certificado);
    PedidoUpload p = pedido(server.port(), arquivo.isEmpty() ? QString() : dir.file(arquivo));
    p.endereco = endereco.contains(u'%') ? endereco.arg(server.port()) : endereco;
    p.portaConfiguracao = portaConfiguracao.contains(u'%') ? portaConfiguracao.arg(server.port()) : portaConfiguracao;
    const InicioUpload inicio = upload.iniciar(p);
    QCOMPARE(int(inicio.resultado), resultado);
    QVERIFY2(mensagem.isEmpty() ? inicio.mensagem.isEmpty() : inicio.mensagem.startsWith(mensagem),
             qPrintable(inicio.mensagem));
    QCOMPARE(inicio.titulo, mensagem.isEmpty() ? QString() : QStringLiteral("ERROR"));
    QCoreApplication::processEvents();
    QCOMPARE(server.connections(), 0);
    QVERIFY(janela.eventos.isEmpty());
    QVERIFY(!upload.conectado());
}

void UploadTest::networkFailuresEndCleanly_data()
{
    QTest::addColumn<QString>("servidor");
    QTest::addColumn<int>("resultado");
    QTest::addColumn<QString>("erro");

    using R = InicioUpload::Resultado;
    QTest::newRow("refused port") << "recusa" << int(R::ConexaoFalhou) << "O servidor recusou a conexão.";
    QTest::newRow("reset connection") << "reinicia" << int(R::Iniciado)
                                      << "O servidor encerrou a conexão antes de responder";
    QTest::newRow("closed without an answer")
        << "fecha" << int(R::Iniciado) << "O servidor encerrou a conexão antes de responder";
    QTest::newRow("accepts and never answers")
        << "mudo" << int(R::Iniciado) << "O servidor não respondeu dentro do tempo limite.";
}

void UploadTest::networkFailuresEndCleanly()
{
    QFETCH(QString, servidor);
    QFETCH(int, resultado);
    QFETCH(QString, erro);
    test::TestProgramDir dir;
    dir.writeFile(QStringLiteral("vaf.mdb"), QByteArray(3 * 1024 * 1024, 'm'));
    HttpDouble mudo(true);
    mudo.setSilent(true);
    ServidorFalho reinicia(ServidorFalho::Modo::Reinicia);
    ServidorFalho fecha(ServidorFalho::Modo::FechaSemResponder);
    QString port = servidor == "mudo" ? mudo.port() : servidor == "reinicia" ? reinicia.port() : fecha.port();
    if (servidor == "recusa") {
        QTcpServer probe;
        QVERIFY(HttpDouble::listenBelow32768(probe));
        port = QString::number(probe.serverPort());
    }

    Upload upload(rapidas());
    Janela janela(upload);
    upload.setCertificadoValido(true);
    QCOMPARE(int(upload.iniciar(pedido(port, dir.file(QStringLiteral("vaf.mdb")))).resultado), resultado);
    QTRY_VERIFY(!janela.erro.isEmpty());
    QVERIFY2(janela.erro.startsWith(erro), qPrintable(janela.erro));
    QCOMPARE(janela.eventos.mid(janela.eventos.indexOf("erro")), (QStringList{"erro", "fechado"}));
    QVERIFY(!janela.resposta);
    QCOMPARE(upload.estado(), Upload::Estado::Falhou);
    QVERIFY(!upload.conectado());
    QVERIFY(listaEntregas().isEmpty());

    // The user can go on: a second try against a working server delivers.
    HttpDouble bom(true);
    bom.setAnswer("HTTP/1.0 200 OK\r\n\r\nENTREGA RECEBIDA");
    QVERIFY(upload.iniciar(pedido(bom.port(), dir.file(QStringLiteral("vaf.mdb")))).iniciado());
    QTRY_VERIFY(janela.resposta);
    QCOMPARE(janela.eventos.count("erro"), 1);
}

void UploadTest::oneAnswerEndsTheUpload()
{
    test::TestProgramDir dir;
    HttpDouble server(true);
    server.setAnswer("HTTP/1.0 200 OK\r\n\r\nok");
    dir.writeFile(QStringLiteral("a.pdf"), "%PDF-1.4");
    Upload upload(rapidas());
    Janela janela(upload);
    upload.setCertificadoValido(true);
    QVERIFY(upload.iniciar(pedido(server.port(), dir.file(QStringLiteral("a.pdf")))).iniciado());
    // A second click while the first upload is under way does nothing.
    QCOMPARE(upload.iniciar(pedido(server.port(), dir.file(QStringLiteral("a.pdf")))).resultado,
             InicioUpload::Resultado::Ignorado);
    QTRY_VERIFY(janela.resposta);
    QCOMPARE(upload.iniciar(pedido(server.port(), dir.file(QStringLiteral("a.pdf")))).resultado,
             InicioUpload::Resultado::Ignorado);
    QCoreApplication::processEvents();
    QCOMPARE(server.connections(), 1);
    QCOMPARE(janela.eventos.count("resposta"), 1);
}

void UploadTest::anAnswerInPiecesIsReadToItsEnd_data()
{
    QTest::addColumn<bool>("gotejando"); // one byte every 2 ms, or all at once on a connection kept open
    QTest::newRow("trickled") << true;
    QTest::newRow("held open once its length is in") << false;
}

// The protocol number comes after the first bytes: the delivery is judged on the whole answer, and
// the answer's own end (its length, or the close) ends the wait.
void UploadTest::anAnswerInPiecesIsReadToItsEnd()
{
    QFETCH(bool, gotejando);
    test::TestProgramDir dir;
    HttpDouble server(true);
    const QByteArray corpo = "ENTREGA RECEBIDA - PROTOCOLO 2026000004\r\n";
    server.setAnswer(HttpDouble::answer(corpo, "text/html"));
    gotejando ? server.setDrip(2) : server.setKeepOpen(true);
    dir.writeFile(QStringLiteral("a.pdf"), "%PDF-1.4");
    OpcoesUpload o = rapidas();
    o.limiteRespostaMs = 60000;
    Upload upload(o);
    Janela janela(upload);
    upload.setCertificadoValido(true);
    QVERIFY(upload.iniciar(pedido(server.port(), dir.file(QStringLiteral("a.pdf")))).iniciado());
    QTRY_VERIFY(janela.resposta);
    QVERIFY2(janela.resposta->texto.endsWith(QString::fromLatin1(corpo)), qPrintable(janela.resposta->texto));
    QCOMPARE(janela.eventos.count("dados"), 1);
}

void UploadTest::copyFailureDoesNotStopTheDelivery()
{
    test::TestProgramDir dir;
    dir.writeFile(QStringLiteral("entregas"), "um arquivo no lugar da pasta");
    HttpDouble server(true);
    server.setAnswer("HTTP/1.0 200 OK\r\n\r\nENTREGA RECEBIDA");
    dir.writeFile(QStringLiteral("a.pdf"), "%PDF-1.4");
    Upload upload(rapidas());
    Janela janela(upload);
    upload.setCertificadoValido(true);
    QVERIFY(upload.iniciar(pedido(server.port(), dir.file(QStringLiteral("a.pdf")))).iniciado());
    QTRY_VERIFY(janela.resposta);
    // The copy is the window's: a file in the way of entregas/ does not reach the upload.
    QCOMPARE(janela.resposta->resposta, QByteArray("HTTP/1.0 200 OK\r\n\r\nENTREGA RECEBIDA"));
    QCOMPARE(janela.texto, QStringLiteral("HTTP/1.0 200 OK\r\n\r\nENTREGA RECEBIDA"));
}

void UploadTest::entriesAreListed()
{
    test::TestProgramDir dir;
    const QDateTime quando(QDate(2026, 3, 5), QTime(14, 30, 0));
    Entrega a;
    a.dataHora = quando;
    a.ie = QStringLiteral("70.012.345/0028");
    a.arquivo = QStringLiteral("entrega.json"); // a name that collides with the entry's own files
    a.cabecalhos = "POST /x? HTTP/1.0\r\n\r\n";
    a.resposta = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n\r\nARQUIVO INVALIDO - EXTRATO\r\n";
    QCOMPARE(gravaEntrega(a, "abc"), QString());
    Entrega b = a;
    b.resposta = "sem cabe\xe7"
                 "alho";
    QCOMPARE(gravaEntrega(b, QByteArray()), QString());
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("entregas/.gravando-x"))); // an interrupted write

    const QList<Entrega> lista = listaEntregas();
    QCOMPARE(lista.size(), 2);
    QCOMPARE(lista[0].pasta, dir.file(QStringLiteral("entregas/20260305-143000-700123450028")));
    QCOMPARE(lista[1].pasta, dir.file(QStringLiteral("entregas/20260305-143000-700123450028-2")));
    QCOMPARE(lista[0].dataHora, quando);
    QCOMPARE(lista[0].primeiraLinhaResposta, QStringLiteral("ARQUIVO INVALIDO - EXTRATO"));
    QCOMPARE(lista[1].primeiraLinhaResposta, QStringLiteral("sem cabeçalho"));
    QCOMPARE(lista[0].sha256, QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    QCOMPARE(lista[1].tamanho, 0);
    QVERIFY(QFile::exists(dir.file(QStringLiteral("entregas/20260305-143000-700123450028/arquivo-entrega.json"))));
    QCOMPARE(primeiraLinhaResposta("HTTP/1.0 500 Erro\r\n\r\n"), QStringLiteral("HTTP/1.0 500 Erro"));
}

void UploadTest::fileChangedAfterSendingKeepsNoCopy()
{
    test::TestProgramDir dir;
    dir.writeFile(QStringLiteral("vaf.mdb"), "conteudo enviado");
    const QDateTime enviadoEm = QFileInfo(dir.file(QStringLiteral("vaf.mdb"))).lastModified();
    Entrega e;
    e.dataHora = QDateTime::currentDateTime();
    e.arquivo = QStringLiteral("VAF.GDB");
    QCOMPARE(gravaEntregaDeArquivo(e, dir.file(QStringLiteral("vaf.mdb")), 16, enviadoEm), QString());
    QVERIFY(QFile::exists(QDir(e.pasta).filePath(QStringLiteral("VAF.GDB"))));

    dir.writeFile(QStringLiteral("vaf.mdb"), "conteudo trocado");
    QFile mudado(dir.file(QStringLiteral("vaf.mdb")));
    QVERIFY(mudado.open(QIODevice::ReadWrite));
    QVERIFY(mudado.setFileTime(enviadoEm.addSecs(5), QFileDevice::FileModificationTime));
    mudado.close();
    Entrega depois = e;
    const QString erro = gravaEntregaDeArquivo(depois, dir.file(QStringLiteral("vaf.mdb")), 16, enviadoEm);
    QVERIFY2(erro.endsWith(QStringLiteral("o arquivo foi alterado depois de enviado.")), qPrintable(erro));
    const QList<Entrega> lista = listaEntregas();
    QCOMPARE(lista.size(), 2);
    QCOMPARE(lista[0].sha256,
             QString::fromLatin1(QCryptographicHash::hash("conteudo enviado", QCryptographicHash::Sha256).toHex()));
    QCOMPARE(lista[1].sha256, QString()); // what was sent is no longer known
    QCOMPARE(lista[1].tamanho, 16);
    QCOMPARE(QDir(lista[1].pasta).entryList(QDir::Files).size(), 3); // no copy
}

void UploadTest::addressFromTheSettings()
{
    test::TestProgramDir dir;
    HttpDouble server(true);
    server.setAnswer("HTTP/1.0 200 OK\r\n\r\nok");
    dir.writeSettings(QStringLiteral("127.0.0.1"), server.port());
    const QString endereco =
        EnderecoUpload(QLatin1StringView("/client/xt_upload.php"), QStringLiteral("123.456.789-00"),
                       QStringLiteral("K7M2Q9TX"), QStringLiteral("101,102"));
    QCOMPARE(endereco, QStringLiteral("http://127.0.0.1:%1 /client/xt_upload.php?contador=123.456.789-00&chave=K7M2Q9TX"
                                      "&gias=101,102")
                           .arg(server.port()));
    dir.writeFile(QStringLiteral("vaf.mdb"), "mdb");
    PedidoUpload p = pedidoUpload(endereco, dir.file(QStringLiteral("vaf.mdb")), QStringLiteral("VAF.GDB"));
    QCOMPARE(p.portaConfiguracao, server.port());
    QCOMPARE(p.nomeCampo, QStringLiteral("objArquivo"));
    QCOMPARE(p.tipoMime, QStringLiteral("application/octet-stream"));

    Upload upload(rapidas());
    Janela janela(upload);
    upload.setCertificadoValido(true);
    QVERIFY(upload.iniciar(p).iniciado());
    QTRY_VERIFY(janela.resposta);
    QCOMPARE(server.requests().first().target, QByteArray("/client/xt_upload.php?contador=123.456.789-00&chave=K7M2Q9TX"
                                                          "&gias=101,102"));
    QVERIFY(server.requests().first().body.contains("filename=\"VAF.GDB\"\r\n"));
}

QTEST_GUILESS_MAIN(UploadTest)
#include "UploadTest.moc"
