// tervalia-server: a stand-in for the municipality's server, for the demo and the tests. It listens on
// 127.0.0.1 only, plain HTTP or TLS (--tls), and keeps its state in an SQLite file of its own.
#include "net/Servidor.h"
#include "server/HttpServer.h"
#include "server/RequestHandler.h"
#include "server/Seed.h"
#include "server/SoapMessage.h"
#include "server/Store.h"

#include <cstdio>
#include <memory>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>

using namespace tervalia;
using namespace tervalia::standin;

namespace {

void printLine(FILE* stream, const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

bool isHistoryCall(const HttpRequest& request)
{
    return QString::fromLatin1(request.path()) + QStringLiteral("?wsdl") == servidor::caminhoServico &&
           parseSoapCall(request.body, request.header("SOAPAction")).call.operation == servidor::operacao::historico;
}

bool isUpload(const HttpRequest& request)
{
    const QString path = QString::fromLatin1(request.path());
    return path == servidor::caminhoUploadVaf || path == servidor::caminhoUploadSimples;
}

// The server's certificate (with any intermediates after it) and its key, PEM; an error in Portuguese.
QString readTls(const QString& certificateFile, const QString& keyFile, QSslConfiguration& configuration)
{
    if (!QSslSocket::supportsSsl())
        return QStringLiteral("TLS indisponível (falta a biblioteca OpenSSL 3)");
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(certificateFile, QSsl::Pem);
    if (chain.isEmpty())
        return QStringLiteral("nenhum certificado PEM em %1").arg(certificateFile);
    QFile file(keyFile);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("não foi possível ler %1: %2").arg(keyFile, file.errorString());
    const QByteArray pem = file.readAll();
    QSslKey key;
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Ec, QSsl::Rsa, QSsl::Dsa}) {
        if (key.isNull())
            key = QSslKey(pem, algorithm, QSsl::Pem);
    }
    if (key.isNull())
        return QStringLiteral("nenhuma chave privada PEM sem senha em %1").arg(keyFile);
    configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificateChain(chain);
    configuration.setPrivateKey(key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone); // clients bring no certificate
    return {};
}

bool readPort(const QString& text, quint16& port)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    port = quint16(value);
    return ok && value <= 65535;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tervalia-server"));

    QCommandLineParser cli;
    cli.setApplicationDescription(
        QStringLiteral("Servidor substituto do servidor da Prefeitura de Ostare, para a demonstração e os testes.\n"
                       "Escuta só em 127.0.0.1; a primeira linha da saída é \"LISTENING <porta>\"."));
    cli.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Porta (0 escolhe uma livre)."),
                                        QStringLiteral("porta"), QStringLiteral("0"));
    const QCommandLineOption stateOption(QStringLiteral("state"),
                                         QStringLiteral("Arquivo SQLite do estado do servidor (criado se faltar)."),
                                         QStringLiteral("arquivo"));
    const QCommandLineOption seedOption(QStringLiteral("seed"), QStringLiteral("Arquivo JSON de semente."),
                                        QStringLiteral("arquivo"));
    const QCommandLineOption clockOption(QStringLiteral("clock"),
                                         QStringLiteral("Data e hora fixas do servidor, dd/mm/aaaa hh:mm:ss."),
                                         QStringLiteral("data"));
    const QCommandLineOption receiptOption(
        QStringLiteral("receipt-port"),
        QStringLiteral("Porta a mais, também em 127.0.0.1 (o navegador abre o protocolo na porta 80)."),
        QStringLiteral("porta"));
    const QCommandLineOption historyDelayOption(
        QStringLiteral("history-delay"),
        QStringLiteral("Milissegundos de espera antes de cada resposta de Transferencia.ver2 (servidor lento)."),
        QStringLiteral("ms"));
    const QCommandLineOption dropUploadOption(
        QStringLiteral("drop-upload"),
        QStringLiteral("Descarta sem resposta a conexão do N-ésimo envio de arquivo (1 é o primeiro)."),
        QStringLiteral("n"));
    const QCommandLineOption tlsOption(
        QStringLiteral("tls"),
        QStringLiteral("Atende em TLS: --tls CERTIFICADO CHAVE (arquivos PEM; o certificado pode vir seguido da "
                       "cadeia). Sem esta opção, HTTP simples."),
        QStringLiteral("certificado"));
    cli.addOptions({portOption, stateOption, seedOption, clockOption, receiptOption, historyDelayOption,
                    dropUploadOption, tlsOption});
    cli.addPositionalArgument(QStringLiteral("chave"), QStringLiteral("Chave privada de --tls."),
                              QStringLiteral("[CHAVE]"));
    cli.process(app);

    quint16 port = 0;
    if (!readPort(cli.value(portOption), port)) {
        printLine(stderr, QStringLiteral("tervalia-server: porta inválida: %1").arg(cli.value(portOption)));
        return 2;
    }
    if (!cli.isSet(stateOption)) {
        printLine(stderr, QStringLiteral("tervalia-server: falta --state <arquivo>"));
        return 2;
    }
    RequestHandler::Clock clock;
    if (cli.isSet(clockOption)) {
        const QDateTime fixed = QDateTime::fromString(cli.value(clockOption), QStringLiteral("dd/MM/yyyy HH:mm:ss"));
        if (!fixed.isValid()) {
            printLine(stderr, QStringLiteral("tervalia-server: --clock deve ter a forma dd/mm/aaaa hh:mm:ss"));
            return 2;
        }
        clock = [fixed] { return fixed; };
    }

    std::unique_ptr<Store> store;
    try {
        store = std::make_unique<Store>(cli.value(stateOption));
        if (cli.isSet(seedOption))
            store->aplicarSemente(readSeed(cli.value(seedOption)));
    } catch (const std::exception& e) {
        printLine(stderr, QStringLiteral("tervalia-server: %1").arg(QString::fromStdString(e.what())));
        return 1;
    }

    bool numbersOk = true;
    const auto number = [&](const QCommandLineOption& option) {
        bool ok = true;
        const int value = cli.isSet(option) ? cli.value(option).toInt(&ok) : 0;
        numbersOk = numbersOk && ok && value >= 0;
        return value;
    };
    const int historyDelay = number(historyDelayOption);
    const int dropUpload = number(dropUploadOption);
    if (!numbersOk) {
        printLine(stderr, QStringLiteral("tervalia-server: --history-delay e --drop-upload pedem um número"));
        return 2;
    }

    QSslConfiguration tls;
    if (cli.isSet(tlsOption) != (cli.positionalArguments().size() == 1) || cli.positionalArguments().size() > 1) {
        printLine(stderr, QStringLiteral("tervalia-server: use --tls CERTIFICADO CHAVE"));
        return 2;
    }
    if (cli.isSet(tlsOption)) {
        if (const QString erro = readTls(cli.value(tlsOption), cli.positionalArguments().first(), tls);
            !erro.isEmpty()) {
            printLine(stderr, QStringLiteral("tervalia-server: %1").arg(erro));
            return 2;
        }
    }

    RequestHandler handler(*store, clock);
    HttpServer server(handler);
    if (cli.isSet(tlsOption))
        server.setTls(tls);
    if (historyDelay > 0)
        server.setAnswerDelay([historyDelay](const HttpRequest& r) { return isHistoryCall(r) ? historyDelay : 0; });
    if (dropUpload > 0)
        server.setDrop(
            [dropUpload, uploads = 0](const HttpRequest& r) mutable { return isUpload(r) && ++uploads == dropUpload; });
    if (!server.listen(port)) {
        printLine(stderr, QStringLiteral("tervalia-server: não foi possível escutar em 127.0.0.1:%1: %2")
                              .arg(port)
                              .arg(server.errorString()));
        return 1;
    }
    printLine(stdout, QStringLiteral("LISTENING %1").arg(server.port()));
    const auto log = [](const QString& line) { printLine(stdout, line); };
    QObject::connect(&server, &HttpServer::served, log);

    HttpServer receipts(handler);
    if (cli.isSet(tlsOption))
        receipts.setTls(tls);
    quint16 receiptPort = 0;
    if (cli.isSet(receiptOption)) {
        if (!readPort(cli.value(receiptOption), receiptPort) || !receipts.listen(receiptPort))
            printLine(stderr, QStringLiteral("tervalia-server: aviso: porta %1 indisponível: %2")
                                  .arg(cli.value(receiptOption), receipts.errorString()));
        else
            QObject::connect(&receipts, &HttpServer::served, log);
    }
    return QCoreApplication::exec();
}
