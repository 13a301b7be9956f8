#include "HttpDouble.h"

#include <memory>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <stdexcept>

namespace tervalia::test {

namespace {
// Splits a complete request off the front of buffer; false while it is still incomplete.
bool takeRequest(QByteArray& buffer, HttpDouble::Request& request)
{
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return false;
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const qsizetype length = request.headers.value("content-length").toLongLong();
    if (buffer.size() < headEnd + 4 + length)
        return false;
    request.body = buffer.mid(headEnd + 4, length);
    buffer.remove(0, headEnd + 4 + length);
    return true;
}
} // namespace

bool HttpDouble::listenBelow32768(QTcpServer& server)
{
    const int first = 20000 + QRandomGenerator::global()->bounded(12768);
    for (int i = 0; i < 12768; ++i) {
        if (server.listen(QHostAddress::LocalHost, quint16(20000 + (first - 20000 + i) % 12768)))
            return true;
    }
    return false;
}

HttpDouble::HttpDouble(bool portBelow32768)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            ++m_connections;
            serve(socket);
        }
    });
    if (!(portBelow32768 ? listenBelow32768(m_server) : m_server.listen(QHostAddress::LocalHost, 0)))
        throw std::runtime_error("the HTTP test double cannot listen on 127.0.0.1");
}

void HttpDouble::serve(QTcpSocket* socket)
{
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
        buffer->append(socket->readAll());
        Request request;
        if (!takeRequest(*buffer, request))
            return;
        m_requests.append(request);
        if (m_silent)
            return;
        socket->write(m_answer);
        socket->disconnectFromHost();
    });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
}

QByteArray HttpDouble::answer(const QByteArray& body, const QByteArray& contentType, const QByteArray& status)
{
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

} // namespace tervalia::test
