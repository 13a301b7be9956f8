#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

namespace tervalia::test {

// A small HTTP server on 127.0.0.1 that records each request and sends back one canned answer, or
// plays a hostile server: silent, dripping its answer a byte at a time, or streaming without end.
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

    QString port() const { return QString::number(m_port); }
    // The whole answer, status line and headers included, written as is; then the connection
    // closes. An empty answer closes the connection without a word.
    void setAnswer(const QByteArray& rawAnswer) { m_answer = rawAnswer; }
    // Accepts the request and never answers.
    void setSilent(bool silent) { m_silent = silent; }
    // Writes the answer one byte every intervalMs instead of all at once (0: all at once).
    void setDrip(int intervalMs) { m_dripMs = intervalMs; }
    // After the answer (usually a head without Content-Length), keeps writing "x" until this many
    // bytes have gone out or the client goes away.
    void setEndlessBody(qint64 bytes) { m_endless = bytes; }
    // Resets the connection (TCP RST) as soon as a request has arrived whole, without a word.
    void setReset(bool reset) { m_reset = reset; }
    // Leaves the connection open after the answer instead of closing it.
    void setKeepOpen(bool keepOpen) { m_keepOpen = keepOpen; }
    // Holds every answer from now on until release(), which answers the requests held.
    void setHeld(bool held) { m_held = held; }
    void release();
    // One of the hostile servers the failure tables name, for a row of a data-driven test: "dead"
    // (stops listening: nobody answers on port()), "silent", "dripping" (a 2,000-byte answer at one
    // byte every 5 ms), "reset", "garbage" (bytes that are not HTTP). False for any other name.
    bool playHostile(const QString& name);
    // Runs when a request has arrived whole, before anything is answered.
    void setOnRequest(std::function<void()> hook) { m_onRequest = std::move(hook); }

    const QList<Request>& requests() const { return m_requests; }
    int connections() const { return m_connections; }
    // Bytes of the endless body written so far.
    qint64 endlessWritten() const { return m_endlessWritten; }

    // A "200 OK" (or other status) answer carrying body, with Content-Length and a closing connection.
    static QByteArray answer(const QByteArray& body, const QByteArray& contentType = "text/xml; charset=utf-8",
                             const QByteArray& status = "200 OK");
    // A SOAP 1.2 answer of operation with result escaped in "return" at the fourth level, as the
    // server sends it.
    static QByteArray soapAnswer(const QString& operation, const QString& result);
    // The same body in chunks of chunkSize bytes (chunked transfer coding, no Content-Length).
    static QByteArray chunkedAnswer(const QByteArray& body, int chunkSize,
                                    const QByteArray& contentType = "text/xml; charset=utf-8");

private:
    void serve(QTcpSocket* socket);
    void respond(QTcpSocket* socket);
    void drip(QTcpSocket* socket);
    static void reset(QTcpSocket* socket);
    void pour(QTcpSocket* socket);

    QTcpServer m_server;
    quint16 m_port = 0; // kept when the double plays a dead server
    QByteArray m_answer;
    bool m_silent = false;
    bool m_reset = false;
    bool m_held = false;
    QList<QPointer<QTcpSocket>> m_waiting;
    bool m_keepOpen = false;
    int m_dripMs = 0;
    qint64 m_endless = 0;
    qint64 m_endlessWritten = 0;
    std::function<void()> m_onRequest;
    QList<Request> m_requests;
    int m_connections = 0;
};

} // namespace tervalia::test
