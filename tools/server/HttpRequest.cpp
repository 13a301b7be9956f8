#include "server/HttpRequest.h"

#include "text/Windows1252.h"

#include <QStringDecoder>

namespace tervalia::standin {

namespace {

bool isTokenChar(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (!isTokenChar(c))
            return false;
    }
    return true;
}

// Control characters other than the tab never belong in a request line or a header value.
bool hasControlChar(QByteArrayView text)
{
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7f)
            return true;
    }
    return false;
}

bool isDigits(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// An absolute target ("http://host:port/path?q") is reduced to its path and query.
QByteArray originForm(QByteArray target)
{
    const qsizetype scheme = target.indexOf("://");
    if (scheme <= 0 || !isToken(target.left(scheme)))
        return target;
    const qsizetype slash = target.indexOf('/', scheme + 3);
    return slash < 0 ? QByteArray("/") : target.mid(slash);
}

} // namespace

QByteArray HttpRequest::header(QByteArrayView name) const
{
    for (const auto& [n, v] : headers) {
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return v;
    }
    return {};
}

bool HttpRequest::hasHeader(QByteArrayView name) const
{
    for (const auto& h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QByteArray HttpRequest::path() const
{
    const qsizetype q = target.indexOf('?');
    return q < 0 ? target : target.left(q);
}

QByteArray HttpRequest::query() const
{
    const qsizetype q = target.indexOf('?');
    return q < 0 ? QByteArray() : target.mid(q + 1);
}

HttpRequestParser::State HttpRequestParser::feed(QByteArrayView data)
{
    if (m_state != State::NeedMore)
        return m_state;
    m_buffer.append(data);
    if (!m_headDone) {
        const State s = readHeadLines();
        if (!m_headDone || s != State::NeedMore)
            return s;
    }
    return readBody();
}

HttpRequestParser::State HttpRequestParser::readHeadLines()
{
    for (;;) {
        const qsizetype end = m_buffer.indexOf('\n', m_lineStart);
        if (end < 0)
            break;
        QByteArray line = m_buffer.mid(m_lineStart, end - m_lineStart);
        if (line.endsWith('\r'))
            line.chop(1);
        m_lineStart = end + 1;
        if (m_lineStart > m_limits.maxHeadBytes)
            return fail(400, QStringLiteral("cabeçalho do pedido grande demais"));
        if (line.isEmpty()) {
            if (m_headLines.isEmpty())
                continue; // blank lines before the request line are tolerated
            return parseHead();
        }
        m_headLines.append(line);
        if (m_headLines.size() > m_limits.maxHeaderLines + 1)
            return fail(400, QStringLiteral("cabeçalhos demais no pedido"));
    }
    if (m_buffer.size() > m_limits.maxHeadBytes)
        return fail(400, QStringLiteral("cabeçalho do pedido grande demais"));
    return State::NeedMore;
}

HttpRequestParser::State HttpRequestParser::parseHead()
{
    m_headDone = true;
    m_buffer.remove(0, m_lineStart);
    m_lineStart = 0;
    if (!parseRequestLine(m_headLines.first()))
        return m_state;
    for (qsizetype i = 1; i < m_headLines.size(); ++i) {
        if (!parseHeaderLine(m_headLines.at(i)))
            return m_state;
    }
    m_headLines.clear();
    return takeContentLength();
}

bool HttpRequestParser::parseRequestLine(const QByteArray& line)
{
    if (hasControlChar(line)) {
        fail(400, QStringLiteral("caractere de controle na linha do pedido"));
        return false;
    }
    const qsizetype first = line.indexOf(' ');
    const qsizetype last = line.lastIndexOf(' ');
    if (first <= 0 || first == last) {
        fail(400, QStringLiteral("linha do pedido malformada"));
        return false;
    }
    m_request.method = line.left(first);
    m_request.version = line.mid(last + 1);
    m_request.target = originForm(line.mid(first + 1, last - first - 1).trimmed());
    if (!isToken(m_request.method) || m_request.target.isEmpty()) {
        fail(400, QStringLiteral("linha do pedido malformada"));
        return false;
    }
    if (m_request.version != "HTTP/1.0" && m_request.version != "HTTP/1.1") {
        fail(400, QStringLiteral("versão HTTP não suportada"));
        return false;
    }
    return true;
}

bool HttpRequestParser::parseHeaderLine(const QByteArray& line)
{
    if (line.startsWith(' ') || line.startsWith('\t')) {
        fail(400, QStringLiteral("cabeçalho continuado em outra linha não é aceito"));
        return false;
    }
    const qsizetype colon = line.indexOf(':');
    const QByteArray name = line.left(colon);
    if (colon <= 0 || !isToken(name)) {
        fail(400, QStringLiteral("linha de cabeçalho malformada"));
        return false;
    }
    const QByteArray value = line.mid(colon + 1).trimmed();
    if (hasControlChar(value)) {
        fail(400, QStringLiteral("caractere de controle em um cabeçalho"));
        return false;
    }
    m_request.headers.append({name, value});
    return true;
}

HttpRequestParser::State HttpRequestParser::takeContentLength()
{
    if (m_request.hasHeader("Transfer-Encoding"))
        return fail(400, QStringLiteral("Transfer-Encoding não é aceito; envie Content-Length"));
    QByteArray announced;
    for (const auto& [name, value] : m_request.headers) {
        if (name.compare("Content-Length", Qt::CaseInsensitive) != 0)
            continue;
        if (!isDigits(value) || value.size() > 18 || (!announced.isNull() && value != announced))
            return fail(400, QStringLiteral("Content-Length inválido"));
        announced = value;
    }
    if (announced.isNull()) {
        if (m_request.method == "POST" || m_request.method == "PUT")
            return fail(400, QStringLiteral("falta Content-Length"));
        m_contentLength = 0;
    } else {
        m_contentLength = announced.toLongLong();
    }
    if (m_contentLength > m_limits.maxBodyBytes)
        return fail(413,
                    QStringLiteral("corpo do pedido grande demais (limite de %1 bytes)").arg(m_limits.maxBodyBytes));
    // Nothing is set aside for the announced length: a client that announces 64 MiB and sends
    // nothing costs the server nothing.
    return State::NeedMore;
}

HttpRequestParser::State HttpRequestParser::readBody()
{
    if (m_buffer.size() < m_contentLength)
        return State::NeedMore;
    m_request.body = m_buffer.left(m_contentLength);
    m_buffer.clear();
    m_state = State::Complete;
    return m_state;
}

HttpRequestParser::State HttpRequestParser::fail(int status, const QString& reason)
{
    m_state = State::Failed;
    m_errorStatus = status;
    m_errorReason = reason;
    m_buffer.clear();
    return m_state;
}

QString decodeText(QByteArrayView bytes)
{
    return decodeUtf8OrWindows1252(bytes);
}

QList<QPair<QString, QString>> parseQuery(QByteArrayView query)
{
    QList<QPair<QString, QString>> entries;
    const QByteArray text = query.toByteArray();
    for (const QByteArray& piece : text.split('&')) {
        if (piece.isEmpty())
            continue;
        const qsizetype eq = piece.indexOf('=');
        const QByteArray name = eq < 0 ? piece : piece.left(eq);
        const QByteArray value = eq < 0 ? QByteArray() : piece.mid(eq + 1);
        entries.append(
            {decodeText(QByteArray::fromPercentEncoding(name)), decodeText(QByteArray::fromPercentEncoding(value))});
    }
    return entries;
}

QString queryValue(const QList<QPair<QString, QString>>& query, const QString& name)
{
    for (const auto& [n, v] : query) {
        if (n == name)
            return v;
    }
    for (const auto& [n, v] : query) {
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return v;
    }
    return {};
}

} // namespace tervalia::standin
