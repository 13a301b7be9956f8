#include "server/RequestHandler.h"

#include "net/Servidor.h"
#include "server/LeituraVaf.h"
#include "server/Multipart.h"

namespace tervalia::standin {

namespace {

namespace op = servidor::operacao;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Payload Too Large";
    default:
        return "Internal Server Error";
    }
}

QString pathOf(QLatin1StringView entryPoint)
{
    const qsizetype q = entryPoint.indexOf(u'?');
    return q < 0 ? QString(entryPoint) : QString(entryPoint.left(q));
}

QString withoutBlanks(QString text)
{
    text.remove(u' ');
    return text;
}

QString html(const QString& title, const QString& content)
{
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"pt-BR\"><head><meta charset=\"utf-8\"><title>") +
           title.toHtmlEscaped() +
           QStringLiteral("</title><style>body{font-family:sans-serif;margin:2em;max-width:50em}"
                          "table{border-collapse:collapse}th,td{border:1px solid #999;padding:4px 8px;"
                          "text-align:left}</style></head><body>\n<h1>Prefeitura Municipal de Ostare</h1>\n") +
           content + QStringLiteral("\n</body></html>\n");
}

HttpResponse htmlResponse(int status, const QString& title, const QString& content)
{
    return {status, "text/html; charset=utf-8", html(title, content).toUtf8(), {}, {}};
}

HttpResponse methodNotAllowed(QByteArrayView allowed)
{
    HttpResponse r =
        RequestHandler::errorPage(405, QStringLiteral("Método não permitido"),
                                  QStringLiteral("Este endereço só aceita %1.").arg(QString::fromLatin1(allowed)));
    r.extraHeaders.append({"Allow", allowed.toByteArray()});
    return r;
}

HttpResponse textResponse(const QString& text, const QString& note)
{
    return {200, "text/plain; charset=utf-8", (text + QStringLiteral("\r\n")).toUtf8(), {}, note};
}

// Faults go out with status 500, as PHP's SOAP server sends them.
HttpResponse soapFaultResponse(const QString& reason)
{
    return {500, "application/soap+xml; charset=utf-8", soapFault(reason), {}, reason};
}

// The accountant window doubles every "'" for the server's own statements; the server keeps the
// value as typed.
QString undoQuoteDoubling(QString value)
{
    return value.replace(QStringLiteral("''"), QStringLiteral("'"));
}

QString row(const QString& header, const QString& value)
{
    return QStringLiteral("<tr><th>") + header + QStringLiteral("</th><td>") + value.toHtmlEscaped() +
           QStringLiteral("</td></tr>");
}

QString situacao(int status)
{
    if (status == servidor::historico::statusSemMensagens)
        return QStringLiteral("Verificada, sem mensagens");
    if (status == servidor::historico::statusComDetalhes)
        return QStringLiteral("Verificada, com mensagens");
    return QStringLiteral("Em processamento");
}

QString receiptPage(const Empresa& empresa, const Entrega& e, const QList<MensagemEntrega>& mensagens,
                    const QString& emitido)
{
    QString table = QStringLiteral("<table>");
    table += row(QStringLiteral("Protocolo"), e.protocolo);
    table += row(QStringLiteral("Inscrição Estadual"), empresa.ie);
    table += row(QStringLiteral("CNPJ"), empresa.cnpj);
    table += row(QStringLiteral("Razão Social"), empresa.razaoSocial);
    table += row(QStringLiteral("Referência"), e.referencia);
    table += row(QStringLiteral("Data de processamento"), e.data);
    table += row(QStringLiteral("Declaração"), e.tipo == u"simples" ? QStringLiteral("Simples Nacional (PGDAS)")
                                                                    : QStringLiteral("VAF - Débito e Crédito"));
    if (!e.gias.isEmpty())
        table += row(QStringLiteral("GIAs"), e.gias);
    if (!e.adicionado.isEmpty())
        table += row(QStringLiteral("Valor adicionado"), e.adicionado);
    if (!e.nomeArquivo.isEmpty())
        table += row(QStringLiteral("Arquivo recebido"),
                     QStringLiteral("%1 (%2 bytes)").arg(e.nomeArquivo).arg(e.tamanhoArquivo));
    table += row(QStringLiteral("Situação"), situacao(e.status));
    table += QStringLiteral("</table>\n<h3>Mensagens</h3>\n");
    if (mensagens.isEmpty()) {
        table += QStringLiteral("<p>Nenhuma mensagem para esta entrega.</p>");
    } else {
        table += QStringLiteral("<ul>");
        for (const MensagemEntrega& m : mensagens)
            table += QStringLiteral("<li>") + m.detalhe.toHtmlEscaped() + QStringLiteral("</li>");
        table += QStringLiteral("</ul>");
    }
    table += QStringLiteral("\n<p>Documento emitido em %1.</p>").arg(emitido);
    return html(QStringLiteral("Protocolo de entrega %1").arg(e.protocolo),
                QStringLiteral("<h2>Protocolo de entrega</h2>\n") + table);
}

} // namespace

QByteArray HttpResponse::toBytes(QByteArrayView requestVersion, bool withBody) const
{
    const QByteArray version = requestVersion == "HTTP/1.0" ? "HTTP/1.0" : "HTTP/1.1";
    QByteArray out = version + ' ' + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    if (!contentType.isEmpty())
        out += "Content-Type: " + contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += "Connection: close\r\n";
    for (const auto& [name, value] : extraHeaders)
        out += name + ": " + value + "\r\n";
    out += "\r\n";
    if (withBody)
        out += body;
    return out;
}

QString marcaRecusaSimples(const QByteArray& pdf)
{
    const QString marca = servidor::marcaArquivoInvalido;
    if (!pdf.startsWith("%PDF-"))
        return marca + QStringLiteral("EXTRATO");
    if (pdf.contains("RECIBO"))
        return marca + QStringLiteral("RECIBO");
    // A PDF as produced holds one end-of-file marker; one saved again afterwards has more, and one
    // cut short has none.
    if (pdf.count("%%EOF") != 1)
        return marca + QStringLiteral("MODIFICADO");
    return {};
}

RequestHandler::RequestHandler(Store& store, Clock clock) : m_store(store), m_clock(std::move(clock)) {}

QDateTime RequestHandler::agora() const
{
    return m_clock ? m_clock() : QDateTime::currentDateTime();
}

HttpResponse RequestHandler::errorPage(int status, const QString& title, const QString& text)
{
    HttpResponse r = htmlResponse(status, title,
                                  QStringLiteral("<h2>") + title.toHtmlEscaped() + QStringLiteral("</h2>\n<p>") +
                                      text.toHtmlEscaped() + QStringLiteral("</p>"));
    r.note = text;
    return r;
}

HttpResponse RequestHandler::handle(const HttpRequest& request)
{
    try {
        return route(request);
    } catch (const std::exception& e) {
        const QString reason = QString::fromStdString(e.what());
        if (QString::fromLatin1(request.path()) == pathOf(servidor::caminhoServico))
            return soapFaultResponse(reason);
        return errorPage(500, QStringLiteral("Erro no servidor"), reason);
    }
}

HttpResponse RequestHandler::route(const HttpRequest& request)
{
    const QString path = QString::fromLatin1(request.path());
    if (path == pathOf(servidor::caminhoServico))
        return servico(request);
    if (path == servidor::caminhoUploadVaf)
        return upload(request, false);
    if (path == servidor::caminhoUploadSimples)
        return upload(request, true);
    if (path == servidor::caminhoProtocolo)
        return protocolo(request);
    return errorPage(404, QStringLiteral("Página não encontrada"),
                     QStringLiteral("O endereço pedido não existe neste servidor."));
}

HttpResponse RequestHandler::servico(const HttpRequest& request)
{
    if (request.method != "POST")
        return methodNotAllowed("POST");
    const SoapParse parse = parseSoapCall(request.body, request.header("SOAPAction"));
    if (!parse.ok())
        return soapFaultResponse(parse.error);
    const SoapCall& call = parse.call;
    QString note;
    QString result;
    if (call.operation == op::chave)
        result = chave(call, note);
    else if (call.operation == op::historico)
        result = historico(call, note);
    else if (call.operation == op::detalhes)
        result = detalhes(call, note);
    else if (call.operation == op::contador)
        result = contador(call, note);
    else
        return soapFaultResponse(QStringLiteral("operação desconhecida: %1").arg(call.operation));
    HttpResponse r{200, "application/soap+xml; charset=utf-8", soapResponse(call.operation, result), {}, {}};
    r.note = call.operation + QStringLiteral(": ") + note;
    return r;
}

QString RequestHandler::chave(const SoapCall& call, QString& note)
{
    namespace c = servidor::chave;
    const QString ie = onlyDigits(call.param(c::paramIe));
    const std::optional<Empresa> empresa = m_store.empresa(ie);
    if (call.param(c::paramCodigo) != c::codigoAcesso) {
        note = QStringLiteral("recusada, código de acesso errado");
        return c::naoAutorizado;
    }
    if (!empresa || onlyDigits(empresa->cnpj) != onlyDigits(call.param(c::paramCnpj))) {
        note = QStringLiteral("recusada, empresa desconhecida (IE %1)").arg(ie);
        return c::naoAutorizado;
    }
    note = QStringLiteral("chave %1 da IE %2").arg(empresa->chave, ie);
    return respostaChave(agora(), empresa->simples, empresa->chave);
}

QString RequestHandler::historico(const SoapCall& call, QString& note)
{
    namespace h = servidor::historico;
    const QString ie = onlyDigits(call.param(h::paramNome));
    const std::optional<Empresa> empresa = m_store.empresa(ie);
    if (!empresa || empresa->chave != call.param(h::paramChave)) {
        note = QStringLiteral("chave recusada (IE %1)").arg(ie);
        return h::chaveInvalida;
    }
    QList<LinhaHistorico> linhas;
    for (const Entrega& e : m_store.entregas(ie))
        linhas.append({e.referencia, e.data, e.protocolo, e.status, e.adicionado});
    note = QStringLiteral("%1 entrega(s) da IE %2").arg(linhas.size()).arg(ie);
    return respostaHistorico(agora(), m_store.anoTrabalho(), m_store.versao(), linhas);
}

QString RequestHandler::detalhes(const SoapCall& call, QString& note)
{
    namespace h = servidor::historico;
    const QString numero = call.param(h::paramNome).trimmed();
    const std::optional<Entrega> entrega = m_store.entrega(numero);
    const std::optional<Empresa> empresa = entrega ? m_store.empresa(entrega->ie) : std::nullopt;
    if (!empresa || empresa->chave != call.param(h::paramChave)) {
        note = QStringLiteral("protocolo %1 não encontrado para a chave").arg(numero);
        return respostaDetalhes({{QString(), QStringLiteral("Entrega não encontrada para esta chave.")}});
    }
    const QList<MensagemEntrega> mensagens = m_store.mensagens(entrega->id);
    note = QStringLiteral("protocolo %1, %2 mensagem(ns)").arg(numero).arg(mensagens.size());
    return respostaDetalhes(mensagens);
}

QString RequestHandler::contador(const SoapCall& call, QString& note)
{
    QStringList campos;
    for (QLatin1StringView name : servidor::parametrosContador)
        campos.append(undoQuoteDoubling(call.param(name)));
    m_store.gravarContador(campos, formatDataHora(agora()));
    note = QStringLiteral("contador %1 gravado").arg(campos.first());
    return QStringLiteral("CONTADOR_RECEBIDO");
}

QList<MensagemEntrega> RequestHandler::verificaVaf(const QByteArray& arquivo, const QString& ie,
                                                   const QString& gias) const
{
    QList<MensagemEntrega> mensagens;
    if (gias.trimmed().isEmpty())
        mensagens.append({QString(), QStringLiteral("Nenhuma GIA foi informada na entrega.")});
    if (arquivo.isEmpty())
        mensagens.append({QString(), QStringLiteral("O arquivo enviado está vazio.")});
    else
        mensagens.append(verificaBancoVaf(arquivo, ie, gias));
    return mensagens;
}

HttpResponse RequestHandler::upload(const HttpRequest& request, bool simples)
{
    if (request.method != "POST")
        return methodNotAllowed("POST");
    const QByteArray boundary = boundaryFromContentType(request.header("Content-Type"));
    if (boundary.isEmpty())
        return errorPage(400, QStringLiteral("Pedido inválido"),
                         QStringLiteral("o envio deve ser multipart/form-data com boundary"));
    const MultipartResult form = parseMultipart(request.body, boundary);
    if (!form.ok())
        return errorPage(400, QStringLiteral("Pedido inválido"), form.error);
    const auto file =
        std::find_if(form.parts.begin(), form.parts.end(), [](const FormPart& p) { return p.hasFileName; });
    if (file == form.parts.end())
        return errorPage(400, QStringLiteral("Pedido inválido"), QStringLiteral("o formulário não traz arquivo"));

    const auto query = parseQuery(request.query());
    const QDateTime now = agora();
    Envio envio{formatDataHora(now),
                QString::fromLatin1(request.path()),
                queryValue(query, servidor::queryContador),
                queryValue(query, servidor::queryChave),
                queryValue(query, servidor::queryGias),
                decodeText(file->name),
                decodeText(file->fileName),
                decodeText(file->contentType),
                file->content,
                {}};
    const qint64 envioId = m_store.gravarEnvio(envio);
    QString resposta;
    QString note;
    const std::optional<Empresa> empresa = m_store.empresaPorChave(envio.chave);
    const QString recusa = simples ? marcaRecusaSimples(file->content) : QString();
    if (!empresa) {
        resposta = QStringLiteral("CHAVE_INVALIDA - ENTREGA NAO REGISTRADA");
        note = QStringLiteral("recusado, chave desconhecida");
    } else if (!recusa.isEmpty()) {
        resposta = recusa;
        note = QStringLiteral("recusado, %1").arg(recusa);
    } else {
        Entrega e;
        e.ie = empresa->ie;
        e.referencia = simples ? QStringLiteral("PGDAS ") + m_store.anoTrabalho() : m_store.anoTrabalho();
        e.data = formatDataHora(now);
        e.tipo = simples ? QStringLiteral("simples") : QStringLiteral("vaf");
        e.contador = envio.contador;
        e.gias = envio.gias;
        const QList<MensagemEntrega> mensagens =
            simples ? QList<MensagemEntrega>() : verificaVaf(file->content, e.ie, e.gias);
        e.status =
            mensagens.isEmpty() ? servidor::historico::statusSemMensagens : servidor::historico::statusComDetalhes;
        const QString numero = m_store.criarEntrega(e, mensagens, envioId, now.date().year());
        // A VAF database the server cannot use is refused: the delivery is kept with its messages,
        // which the history and the details show.
        resposta = (mensagens.isEmpty() ? QStringLiteral("ENTREGA RECEBIDA - PROTOCOLO %1")
                                        : QStringLiteral("ENTREGA RECUSADA - PROTOCOLO %1"))
                       .arg(numero);
        note = QStringLiteral("entrega %1 da IE %2, %3 bytes, status %4")
                   .arg(numero, e.ie)
                   .arg(file->content.size())
                   .arg(e.status);
    }
    m_store.definirResposta(envioId, resposta);
    return textResponse(resposta, (simples ? QStringLiteral("envio Simples: ") : QStringLiteral("envio VAF: ")) + note);
}

HttpResponse RequestHandler::protocolo(const HttpRequest& request)
{
    if (request.method != "GET" && request.method != "HEAD")
        return methodNotAllowed("GET");
    const auto query = parseQuery(request.query());
    const QString ie = onlyDigits(queryValue(query, servidor::queryProtocoloIe));
    const QString ref = withoutBlanks(queryValue(query, servidor::queryProtocoloRef));
    const std::optional<Empresa> empresa = m_store.empresa(ie);
    std::optional<Entrega> achada;
    if (empresa && empresa->chave == queryValue(query, servidor::queryProtocoloChave) && !ref.isEmpty()) {
        // The latest delivery with that reference (blanks ignored) or that protocol number.
        for (const Entrega& e : m_store.entregas(ie)) {
            if (withoutBlanks(e.referencia) == ref || e.protocolo == ref)
                achada = e;
        }
    }
    if (!achada)
        return errorPage(404, QStringLiteral("Protocolo não encontrado"),
                         QStringLiteral("Não encontramos a entrega pedida. Confira a inscrição estadual, a chave e a "
                                        "referência e tente de novo."));
    HttpResponse r = htmlResponse(200, QString(), QString());
    r.body = receiptPage(*empresa, *achada, m_store.mensagens(achada->id), formatDataHora(agora())).toUtf8();
    r.note = QStringLiteral("protocolo %1 da IE %2").arg(achada->protocolo, ie);
    return r;
}

} // namespace tervalia::standin
