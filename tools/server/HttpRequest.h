#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace tervalia::standin {

// One HTTP/1.0 or HTTP/1.1 request, as read from the connection.
struct HttpRequest
{
    QByteArray method;
    QByteArray target; // path and query, exactly as sent
    QByteArray version;
    QList<QPair<QByteArray, QByteArray>> headers; // in the order sent, names as written
    QByteArray body;

    // Value of the first header of that name (any letter case); empty when there is none.
    QByteArray header(QByteArrayView name) const;
    bool hasHeader(QByteArrayView name) const;
    QByteArray path() const;  // before the first "?"
    QByteArray query() const; // after the first "?", empty without one
};

// What the server accepts before it answers 400 or 413.
struct HttpLimits
{
    qsizetype maxHeadBytes = 64 * 1024;
    int maxHeaderLines = 100;
    qsizetype maxBodyBytes = 64 * 1024 * 1024;
};

// Reads one request from bytes as they arrive. Whatever follows the announced body is ignored:
// the server answers one request per connection and then closes it.
class HttpRequestParser
{
public:
    enum class State { NeedMore, Complete, Failed };

    explicit HttpRequestParser(HttpLimits limits = {}) : m_limits(limits) {}

    State feed(QByteArrayView data);
    State state() const { return m_state; }
    bool headComplete() const { return m_headDone; }
    const HttpRequest& request() const { return m_request; }
    int errorStatus() const { return m_errorStatus; } // 400 or 413 once Failed
    QString errorReason() const { return m_errorReason; }

private:
    State readHeadLines();
    State parseHead();
    bool parseRequestLine(const QByteArray& line);
    bool parseHeaderLine(const QByteArray& line);
    State takeContentLength();
    State readBody();
    State fail(int status, const QString& reason);

    HttpLimits m_limits;
    State m_state = State::NeedMore;
    QByteArray m_buffer;
    qsizetype m_lineStart = 0;
    QList<QByteArray> m_headLines;
    bool m_headDone = false;
    qsizetype m_contentLength = 0;
    HttpRequest m_request;
    int m_errorStatus = 0;
    QString m_errorReason;
};

// Query text split into names and values. "%XX" sequences are decoded; the text is read as UTF-8
// when it is valid UTF-8, otherwise as Windows-1252 (the client writes its values in that single-byte
// code page without encoding them).
QList<QPair<QString, QString>> parseQuery(QByteArrayView query);
// Value of the first entry named `name` (exact name first, then any letter case); empty when absent.
QString queryValue(const QList<QPair<QString, QString>>& query, const QString& name);
// Bytes read as UTF-8 when valid, otherwise as Windows-1252.
QString decodeText(QByteArrayView bytes);

} // namespace tervalia::standin
