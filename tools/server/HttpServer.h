#pragma once

#include "server/HttpRequest.h"

#include <QObject>

#include <functional>
#include <memory>
#include <QSslConfiguration>
#include <QTcpServer>

namespace tervalia::standin {

class RequestHandler;

// Listens on 127.0.0.1, plain or over TLS, and answers one request per connection, then closes it. Whatever arrives, a
// malformed request gets an error answer and the server goes on.
class HttpServer : public QObject
{
    Q_OBJECT

public:
    explicit HttpServer(RequestHandler& handler, HttpLimits limits = {}, QObject* parent = nullptr);
    ~HttpServer() override;

    // Serves over TLS with this certificate and key from now on; before listen().
    void setTls(const QSslConfiguration& configuration);
    bool listen(quint16 port); // 0 picks a free port from 20000 to 32767
    quint16 port() const { return m_server->serverPort(); }
    QString errorString() const { return m_server->errorString(); }

    // A connection that sends nothing for this long gets 408 and is closed.
    void setIdleTimeout(int ms) { m_idleMs = ms; }

    // Trials of a slow or failing server: how many milliseconds a complete request waits for its
    // answer, and whether its connection is dropped unanswered instead (nothing is stored then).
    void setAnswerDelay(std::function<int(const HttpRequest&)> delay) { m_delay = std::move(delay); }
    void setDrop(std::function<bool(const HttpRequest&)> drop) { m_drop = std::move(drop); }

signals:
    // One line per request served: time, method, path, status and what was done.
    void served(const QString& line);

private:
    void acceptConnections();
    void useServer(std::unique_ptr<QTcpServer> server);

    RequestHandler& m_handler;
    HttpLimits m_limits;
    std::unique_ptr<QTcpServer> m_server;
    int m_idleMs = 30000;
    std::function<int(const HttpRequest&)> m_delay;
    std::function<bool(const HttpRequest&)> m_drop;
    int m_open = 0;

    friend class Connection;
};

} // namespace tervalia::standin
