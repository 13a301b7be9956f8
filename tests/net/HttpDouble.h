#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

namespace tervalia::test {

// A small HTTP server on 127.0.0.1 that records each request and sends back one canned answer,
// or, when silent, accepts the request and never answers.
class HttpDouble : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray method;
        QByteArray target;
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };

    // The delivery upload reads its port as a 16-bit signed number: with portBelow32768 the double
    // listens on a free port from 20000 to 32767 instead of one the system picks.
    explicit HttpDouble(bool portBelow32768 = false);

    // Listens on a free loopback port from 20000 to 32767; false when none could be had.
    static bool listenBelow32768(QTcpServer& server);

    QString port() const { return QString::number(m_server.serverPort()); }
    // The whole answer, status line and headers included, written as is.
    void setAnswer(const QByteArray& rawAnswer) { m_answer = rawAnswer; }
    void setSilent(bool silent) { m_silent = silent; }

    const QList<Request>& requests() const { return m_requests; }
    int connections() const { return m_connections; }

    // A "200 OK" (or other status) answer carrying body, with Content-Length and a closing connection.
    static QByteArray answer(const QByteArray& body, const QByteArray& contentType = "text/xml; charset=utf-8",
                             const QByteArray& status = "200 OK");

private:
    void serve(QTcpSocket* socket);

    QTcpServer m_server;
    QByteArray m_answer;
    bool m_silent = false;
    QList<Request> m_requests;
    int m_connections = 0;
};

} // namespace tervalia::test
