#include "server/HttpServer.h"

#include "server/RequestHandler.h"

#include <QDateTime>
#include <QTcpSocket>
#include <QTimer>

namespace tervalia::standin {

namespace {
constexpr int maxOpenConnections = 200;
}

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
            answer(m_server.m_handler.handle(m_parser.request()));
        } else if (state == HttpRequestParser::State::Failed) {
            answer(RequestHandler::errorPage(m_parser.errorStatus(), QStringLiteral("Pedido inválido"),
                                             m_parser.errorReason()));
        } else if (m_parser.headComplete() && !m_continued && m_parser.request().version == "HTTP/1.1" &&
                   m_parser.request().header("Expect").compare("100-continue", Qt::CaseInsensitive) == 0) {
            m_continued = true;
            m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
        }
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
        m_socket->disconnectFromHost();
        m_timer.start(m_server.m_idleMs);
        const auto orDash = [](const QByteArray& s) {
            return s.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(s);
        };
        emit m_server.served(QStringLiteral("%1 %2 %3 %4 %5")
                                 .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                      orDash(request.method), orDash(request.path()))
                                 .arg(response.status)
                                 .arg(response.note));
    }

    QTcpSocket* m_socket;
    HttpServer& m_server;
    HttpRequestParser m_parser;
    QTimer m_timer;
    bool m_answered = false;
    bool m_continued = false;
};

HttpServer::HttpServer(RequestHandler& handler, HttpLimits limits, QObject* parent)
    : QObject(parent), m_handler(handler), m_limits(limits)
{
    connect(&m_server, &QTcpServer::newConnection, this, &HttpServer::acceptConnections);
}

HttpServer::~HttpServer()
{
    // Open connections are the only children; they must go while the counter they update exists.
    qDeleteAll(children());
}

bool HttpServer::listen(quint16 port)
{
    return m_server.listen(QHostAddress::LocalHost, port);
}

void HttpServer::acceptConnections()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        if (m_open >= maxOpenConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        new Connection(socket, *this);
    }
}

} // namespace tervalia::standin
