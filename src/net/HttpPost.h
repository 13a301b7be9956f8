#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QPair>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <optional>
#include <utility>

// One HTTP/1.1 POST over a plain TCP connection, or over TLS for an "https" address, answered once. Qt's own HTTP
// client resends a POST on its own when the connection drops before the answer, so one click could reach the server
// several times; this one sends each request exactly once ("Connection: close") and takes whatever comes back on that
// one connection.
namespace tervalia::http {

// Why an exchange gave no answer to return.
struct Failure
{
    QNetworkReply::NetworkError code;
    QString description; // in Portuguese, ready for a message box
};

struct Answer
{
    int status = 0;
    QByteArray contentType;
    QByteArray body;
};

struct Limits
{
    int silenceMs;  // longest stretch without anything arriving or leaving
    int deadlineMs; // longest exchange, from the connection to the last byte of the answer
    qint64 maxBody; // largest answer body kept; anything more ends the exchange
};

// Reads one HTTP/1.x answer as it arrives: the status line, the header block, then a body of
// Content-Length bytes, in chunks, or up to the close of the connection. Interim 1xx answers are
// skipped. Memory stays within the header block bound plus maxBody whatever the server sends.
class ResponseReader
{
public:
    enum class State { Reading, Done, Failed };

    explicit ResponseReader(qint64 maxBody);

    State feed(QByteArrayView data);
    // The server closed its side: an answer read up to the close is complete, any other is cut off.
    State connectionClosed();

    State state() const;
    const Answer& answer() const { return m_answer; }
    Answer takeAnswer() { return std::exchange(m_answer, {}); }
    const Failure& failure() const { return m_failure; }

    // Limit of the status line and headers together (and of the chunked trailers).
    static constexpr qsizetype maxHead = 64 * 1024;

private:
    enum class Phase { StatusLine, Headers, Body, BodyToClose, ChunkSize, ChunkData, ChunkEnd, Trailers, Done, Failed };

    bool takeLine(QByteArrayView& data, QByteArray& line);
    void onLine(const QByteArray& line);
    void onStatusLine(const QByteArray& line);
    void onHeader(const QByteArray& line);
    void startBody();
    void onChunkSize(const QByteArray& line);
    void takeBody(QByteArrayView& data);
    bool appendBody(QByteArrayView piece);
    void fail(QNetworkReply::NetworkError code, const QString& description);
    void tooLarge();

    qint64 m_maxBody;
    Phase m_phase = Phase::StatusLine;
    QByteArray m_line;
    qsizetype m_headBytes = 0;
    qint64 m_remaining = 0; // of the body or of the current chunk
    bool m_anything = false;
    QList<QByteArray> m_contentLengths;
    QByteArray m_transferEncoding;
    Answer m_answer;
    Failure m_failure{QNetworkReply::NoError, {}};
};

struct Result
{
    std::optional<Failure> failure;
    Answer answer;
};

// The exchange of post() without waiting: start() connects and returns, and finished() comes once,
// from the event loop (never from inside start()), when the answer is whole or the exchange has
// failed; result() then holds it. abort(), or deleting it, drops the connection without a signal.
// An "https" address is reached over TLS (net/Tls.h): the request is written only once the
// handshake has succeeded, and a failed one ends the exchange with its cause.
class AsyncPost : public QObject
{
    Q_OBJECT

public:
    AsyncPost(const QUrl& url, const QList<QPair<QByteArray, QByteArray>>& headers, const QByteArray& body,
              const Limits& limits, QObject* parent = nullptr);
    ~AsyncPost() override;

    // The authorities trusted for an "https" address; the system's unless set before start().
    void setTls(const QSslConfiguration& configuration) { m_tlsConfiguration = configuration; }
    void start();
    void abort();
    bool isFinished() const { return m_finished; }
    const Result& result() const { return m_result; }
    Result takeResult() { return std::exchange(m_result, {}); }

signals:
    void finished();

private:
    void connectSignals();
    void finish(std::optional<Failure> failure);
    void judge(ResponseReader::State state);
    void closed();
    void sendRequest();
    bool handshakeFailed() const { return m_tls && m_tcpConnected && !m_socket.isEncrypted(); }

    QByteArray m_request;
    QString m_host;
    quint16 m_port;
    bool m_tls;
    bool m_tcpConnected = false;
    QSslConfiguration m_tlsConfiguration = QSslConfiguration::defaultConfiguration();
    Limits m_limits;
    QTimer m_silence;
    QTimer m_deadline;
    QSslSocket m_socket; // plain unless m_tls
    ResponseReader m_reader;
    Result m_result;
    bool m_started = false;
    bool m_finished = false;
};

// Posts body to url with the given headers, once, and waits for the whole answer in a local event
// loop that ignores user input and holds window closes (BlockingWait). Any HTTP status is an
// answer; a refused or lost connection, a silence or an exchange over its limits, an answer that
// is not HTTP or is larger than maxBody is a failure, and so is a TLS handshake that failed.
Result post(const QUrl& url, const QList<QPair<QByteArray, QByteArray>>& headers, const QByteArray& body,
            const Limits& limits, const QSslConfiguration& tls = QSslConfiguration::defaultConfiguration());

} // namespace tervalia::http
