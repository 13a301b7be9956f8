#include "server/HttpServer.h"

#include "server/RequestHandler.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

namespace tervalia::standin {

namespace {
constexpr int maxOpenConnections = 200;
// How long an answered connection is kept open for the client to read the answer and close.
constexpr int lingerMs = 5000;
} // namespace

// One client connection: reads a request, answers it, closes.
class Connection : public QObject
{
public:
    Connection(QTcpSocket* socket, HttpServer& server)
        : QObject(&server), m_socket(socket), m_server(server), m_parser(server.m_limits)
    {
        ++m_server.m_open;
        m_socket->setParent(this);
        connect(m_socket, &QTcpSocket::readyRead, this, &Connection::read);
        connect(m_socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, &Connection::timedOut);
        m_timer.start(m_server.m_idleMs);
    }

    ~Connection() override { --m_server.m_open; }

private:
    void read()
    {
        const QByteArray data = m_socket->readAll();
        if (m_answered)
            return;
        m_timer.start(m_server.m_idleMs);
        const auto state = m_parser.feed(data);
        if (state == HttpRequestParser::State::Complete) {
            complete();
        } else if (state == HttpRequestParser::State::Failed) {
            answer(RequestHandler::errorPage(m_parser.errorStatus(), QStringLiteral("Pedido inválido"),
                                             m_parser.errorReason()));
        } else if (m_parser.headComplete() && !m_continued && m_parser.request().version == "HTTP/1.1" &&
                   m_parser.request().header("Expect").compare("100-continue", Qt::CaseInsensitive) == 0) {
            m_continued = true;
            m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
        }
    }

    void complete()
    {
        const HttpRequest& request = m_parser.request();
        if (m_server.m_drop && m_server.m_drop(request)) {
            m_answered = true;
            emit m_server.served(logLine(request, QStringLiteral("- conexão descartada sem resposta")));
            m_socket->abort();
            deleteLater();
            return;
        }
        const int delay = m_server.m_delay ? m_server.m_delay(request) : 0;
        if (delay <= 0) {
            answer(m_server.m_handler.handle(request));
            return;
        }
        m_answered = true; // whatever else arrives is dropped
        QTimer::singleShot(delay, this, [this] { answer(m_server.m_handler.handle(m_parser.request())); });
    }

    static QString logLine(const HttpRequest& request, const QString& outcome)
    {
        const auto orDash = [](const QByteArray& s) {
            return s.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(s);
        };
        return QStringLiteral("%1 %2 %3 %4")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), orDash(request.method),
                 orDash(request.path()), outcome);
    }

    void timedOut()
    {
        if (m_answered) {
            m_socket->abort(); // the client does not take the answer
            deleteLater();
            return;
        }
        answer(RequestHandler::errorPage(408, QStringLiteral("Tempo esgotado"),
                                         QStringLiteral("o pedido não chegou completo a tempo")));
    }

    void answer(const HttpResponse& response)
    {
        m_answered = true;
        const HttpRequest& request = m_parser.request();
        m_socket->write(response.toBytes(request.version, request.method != "HEAD"));
        connect(m_socket, &QTcpSocket::bytesWritten, this, &Connection::finishWhenSent);
        if (auto* tls = qobject_cast<QSslSocket*>(m_socket))
            connect(tls, &QSslSocket::encryptedBytesWritten, this, &Connection::finishWhenSent);
        finishWhenSent();
        m_timer.start(lingerMs);
        emit m_server.served(logLine(request, QStringLiteral("%1 %2").arg(response.status).arg(response.note)));
    }

    // Once the answer is out, only the sending side is shut: closing the socket outright while the
    // client is still sending (a refused upload) would reset the connection and lose the answer.
    // What the client still sends is read and dropped until it closes.
    void finishWhenSent()
    {
        if (m_finished)
            return;
        m_socket->flush();
        const auto* tls = qobject_cast<QSslSocket*>(m_socket);
        if (m_socket->bytesToWrite() > 0 || (tls && tls->encryptedBytesToWrite() > 0))
            return; // called again by bytesWritten
        m_finished = true;
        ::shutdown(int(m_socket->socketDescriptor()), SHUT_WR);
    }

    QTcpSocket* m_socket;
    HttpServer& m_server;
    HttpRequestParser m_parser;
    QTimer m_timer;
    bool m_answered = false;
    bool m_continued = false;
    bool m_finished = false;
};

HttpServer::HttpServer(RequestHandler& handler, HttpLimits limits, QObject* parent)
    : QObject(parent), m_handler(handler), m_limits(limits)
{
    useServer(std::make_unique<QTcpServer>());
}

void HttpServer::useServer(std::unique_ptr<QTcpServer> server)
{
    m_server = std::move(server);
    // Over TLS a connection is pending only once its handshake has succeeded.
    connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, this, &HttpServer::acceptConnections);
}

void HttpServer::setTls(const QSslConfiguration& configuration)
{
    auto server = std::make_unique<QSslServer>();
    server->setSslConfiguration(configuration);
    useServer(std::move(server));
}

HttpServer::~HttpServer()
{
    // Open connections are the only children; they must go while the counter they update exists.
    qDeleteAll(children());
}

bool HttpServer::listen(quint16 port)
{
    if (port != 0)
        return m_server->listen(QHostAddress::LocalHost, port);
    // The upload client reads the port of its address as a 16-bit signed number, so a port the
    // system would pick (32768 and up) could not be reached by it.
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (m_server->listen(QHostAddress::LocalHost, quint16(QRandomGenerator::global()->bounded(20000, 32768))))
            return true;
    }
    return false;
}

void HttpServer::acceptConnections()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        if (m_open >= maxOpenConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        new Connection(socket, *this);
    }
}

} // namespace tervalia::standin
