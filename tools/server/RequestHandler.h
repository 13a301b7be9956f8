#pragma once

#include "server/HttpRequest.h"
#include "server/SoapMessage.h"
#include "server/Store.h"

#include <functional>
#include <QDateTime>

namespace tervalia::standin {

struct HttpResponse
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> extraHeaders;
    QString note; // what was served, for the server's log line

    // The whole answer with Content-Length and "Connection: close"; the server closes after it.
    QByteArray toBytes(QByteArrayView requestVersion = "HTTP/1.1", bool withBody = true) const;
};

// Refusal markers of a Simples Nacional upload (the rule is in docs/servidor.md); empty when the
// file is accepted.
QString marcaRecusaSimples(const QByteArray& pdf);

// Answers one complete request. Everything the server knows is in the Store; the clock gives the
// server's date and time.
class RequestHandler
{
public:
    using Clock = std::function<QDateTime()>;

    explicit RequestHandler(Store& store, Clock clock = {});

    HttpResponse handle(const HttpRequest& request);

    // A page in Portuguese for a request the server cannot serve.
    static HttpResponse errorPage(int status, const QString& title, const QString& text);

private:
    HttpResponse route(const HttpRequest& request);
    HttpResponse servico(const HttpRequest& request);
    HttpResponse upload(const HttpRequest& request, bool simples);
    HttpResponse protocolo(const HttpRequest& request);

    QString chave(const SoapCall& call, QString& note);
    QString historico(const SoapCall& call, QString& note);
    QString detalhes(const SoapCall& call, QString& note);
    QString contador(const SoapCall& call, QString& note);
    QList<MensagemEntrega> verificaVaf(const QByteArray& arquivo, const QString& ie, const QString& gias) const;

    QDateTime agora() const;

    Store& m_store;
    Clock m_clock;
};

} // namespace tervalia::standin
