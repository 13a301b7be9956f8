#include "HttpDouble.h"

#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

#include <algorithm>
#include <memory>
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
    m_port = m_server.serverPort();
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
        if (m_onRequest)
            m_onRequest();
        if (m_reset)
            reset(socket);
        else if (m_held)
            m_waiting.append(socket);
        else if (!m_silent)
            respond(socket);
    });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
}

bool HttpDouble::playHostile(const QString& name)
{
    if (name == QLatin1String("dead"))
        m_server.close();
    else if (name == QLatin1String("silent"))
        setSilent(true);
    else if (name == QLatin1String("dripping")) {
        setAnswer(answer(QByteArray(2000, 'x')));
        setDrip(5);
    } else if (name == QLatin1String("reset"))
        setReset(true);
    else if (name == QLatin1String("garbage"))
        setAnswer(QByteArray("\x01\x7f lixo \xff\r\n\r\nmais lixo"));
    else
        return false;
    return true;
}

// A linger time of zero makes the close a reset instead of an orderly end.
void HttpDouble::reset(QTcpSocket* socket)
{
    const linger now{1, 0};
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now, sizeof now);
    socket->abort();
}

void HttpDouble::release()
{
    m_held = false;
    for (const QPointer<QTcpSocket>& socket : std::exchange(m_waiting, {})) {
        if (socket && !m_silent)
            respond(socket);
    }
}

void HttpDouble::respond(QTcpSocket* socket)
{
    if (m_dripMs > 0) {
        drip(socket);
        return;
    }
    socket->write(m_answer);
    if (m_endless > 0) {
        pour(socket);
        return;
    }
    if (!m_keepOpen)
        socket->disconnectFromHost();
}

void HttpDouble::drip(QTcpSocket* socket)
{
    auto* timer = new QTimer(socket);
    auto sent = std::make_shared<qsizetype>(0);
    connect(timer, &QTimer::timeout, socket, [this, socket, timer, sent] {
        if (*sent >= m_answer.size()) {
            timer->stop();
            socket->disconnectFromHost();
            return;
        }
        socket->write(m_answer.mid((*sent)++, 1));
    });
    timer->start(m_dripMs);
}

// Keeps about a megabyte queued until the whole endless body is out.
void HttpDouble::pour(QTcpSocket* socket)
{
    static const QByteArray filler(1024 * 1024, 'x');
    auto refill = [this, socket] {
        while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < filler.size() &&
               m_endlessWritten < m_endless) {
            const QByteArray piece =
                filler.left(qsizetype(std::min<qint64>(filler.size(), m_endless - m_endlessWritten)));
            socket->write(piece);
            m_endlessWritten += piece.size();
        }
        if (m_endlessWritten >= m_endless && socket->bytesToWrite() == 0)
            socket->disconnectFromHost();
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, refill);
    refill();
}

QByteArray HttpDouble::answer(const QByteArray& body, const QByteArray& contentType, const QByteArray& status)
{
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

QByteArray HttpDouble::soapAnswer(const QString& operation, const QString& result)
{
    return answer(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                 "<env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\"><env:Body>"
                                 "<ns1:%1Response xmlns:ns1=\"urn:Transferencia\"><return>%2</return>"
                                 "</ns1:%1Response></env:Body></env:Envelope>")
                      .arg(operation, result.toHtmlEscaped())
                      .toUtf8());
}

QByteArray HttpDouble::chunkedAnswer(const QByteArray& body, int chunkSize, const QByteArray& contentType)
{
    QByteArray raw = "HTTP/1.1 200 OK\r\nContent-Type: " + contentType + "\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (qsizetype at = 0; at < body.size(); at += chunkSize) {
        const QByteArray chunk = body.mid(at, chunkSize);
        raw += QByteArray::number(chunk.size(), 16) + ";ext=1\r\n" + chunk + "\r\n";
    }
    return raw + "0\r\nX-Fim: sim\r\n\r\n";
}

} // namespace tervalia::test
