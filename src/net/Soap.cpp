#include "Soap.h"

#include "net/HttpPost.h"
#include "net/Servidor.h"
#include "net/Tls.h"
#include "storage/ReadWrite.h"
#include "text/Windows1252.h"

#include <memory>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>
#include <QXmlStreamReader>

namespace tervalia {

namespace {
constexpr int defaultTimeoutMs = 120 * 1000;
constexpr int defaultDeadlineMs = 120 * 1000;
constexpr qint64 defaultMaxAnswer = 64 * 1024 * 1024;
int g_timeoutMs = defaultTimeoutMs;
int g_deadlineMs = defaultDeadlineMs;
qint64 g_maxAnswer = defaultMaxAnswer;

// A carriage return goes as a character reference: a parser turns a literal one into a line feed.
QString escapeValue(const QString& value)
{
    QString escaped = removeXmlForbiddenCharacters(value);
    escaped.replace(u'&', QLatin1String("&amp;"));
    escaped.replace(u'<', QLatin1String("&lt;"));
    escaped.replace(u'>', QLatin1String("&gt;"));
    escaped.replace(u'\r', QLatin1String("&#13;"));
    return escaped;
}

bool allowedInXml(char16_t c)
{
    return c >= 0x20 ? c != 0xFFFE && c != 0xFFFF : c == u'\t' || c == u'\n' || c == u'\r';
}

// The charset of the Content-Type header when it names a known one, then a byte-order mark, then
// UTF-8; an answer that is not valid UTF-8 is read as Windows-1252 rather than losing its accents.
QString decodeBody(const QByteArray& body, const QByteArray& contentType)
{
    static const QRegularExpression charsetPattern(QStringLiteral("charset\\s*=\\s*\"?([^\";\\s]+)"),
                                                   QRegularExpression::CaseInsensitiveOption);
    const auto match = charsetPattern.match(QString::fromLatin1(contentType));
    if (match.hasMatch()) {
        QStringDecoder named(match.captured(1).toLatin1().constData());
        if (named.isValid())
            return named(body);
    }
    if (const auto bom = QStringConverter::encodingForData(body); bom && *bom != QStringConverter::Utf8) {
        QStringDecoder withBom(*bom);
        return withBom(body);
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(body);
    return utf8.hasError() ? decodeWindows1252(body) : text;
}

QString serviceAddress(const QString& scheme, const QString& host, const QString& port)
{
    return scheme + QLatin1String("://") + host + QLatin1Char(':') + port + servidor::caminhoServico;
}

// Where a call goes and, over TLS, which authorities are trusted; a setting that asks for a secure
// connection that cannot be made refuses the call before anything is sent.
struct Destination
{
    QUrl url;
    QSslConfiguration tls;
};

Destination destination()
{
    const tls::Transporte transport = tls::transporteConfigurado();
    if (!transport.erro.isEmpty())
        throw SoapError(transport.erro, QNetworkReply::SslHandshakeFailedError);
    const QString host = ReadFromFile(servidor::secaoConfiguracao, servidor::chaveHost);
    const QString port = ReadFromFile(servidor::secaoConfiguracao, servidor::chavePorta);
    if (host.isEmpty() || port.isEmpty())
        throw SoapError(QStringLiteral("O endereço do servidor (host e port) não está definido em dipam.ini."),
                        QNetworkReply::ProtocolUnknownError);
    const QString address = serviceAddress(tls::esquemaConfigurado(), host, port);
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.port() <= 0)
        throw SoapError(QStringLiteral("O endereço do servidor em dipam.ini é inválido: %1").arg(address),
                        QNetworkReply::ProtocolUnknownError);
    return {url, transport.configuracao};
}
} // namespace

QString GenerateSoapBodyStart()
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                          "<soap12:Envelope "
                          "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                          "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
                          "xmlns:soap12=\"http://www.w3.org/2003/05/soap-envelope\"> "
                          "<soap12:Body>");
}

QString GenerateSoapFunctionCallStart(const QString& strFunction)
{
    return QLatin1Char('<') + strFunction + QLatin1String(" xmlns=\"\">");
}

QString GenerateSoapParameter(const QString& strParam, const QString& strValue)
{
    return QLatin1Char('<') + strParam + QLatin1Char('>') + escapeValue(strValue) + QLatin1String("</") + strParam +
           QLatin1Char('>');
}

QString GenerateSoapFunctionCallEnd(const QString& strFunction)
{
    return QLatin1String("</") + strFunction + QLatin1Char('>');
}

QString GenerateSoapBodyEnd()
{
    return QStringLiteral("</soap12:Body></soap12:Envelope>");
}

QString montaEnvelope(const QString& operation, const QList<QPair<QString, QString>>& params)
{
    QString envelope = GenerateSoapBodyStart() + GenerateSoapFunctionCallStart(operation);
    for (const auto& [name, value] : params)
        envelope += GenerateSoapParameter(name, value);
    return envelope + GenerateSoapFunctionCallEnd(operation) + GenerateSoapBodyEnd();
}

QString EnderecoServico()
{
    return serviceAddress(tls::esquemaConfigurado(), ReadFromFile(servidor::secaoConfiguracao, servidor::chaveHost),
                          ReadFromFile(servidor::secaoConfiguracao, servidor::chavePorta));
}

SoapError::SoapError(QString description, QNetworkReply::NetworkError code)
    : std::runtime_error(description.toStdString()), m_description(std::move(description)), m_code(code)
{
}

QString SoapError::causaSeguranca() const
{
    return seguranca() ? QStringLiteral("\r\n\r\n") + m_description : QString();
}

int soapTimeout()
{
    return g_timeoutMs;
}

void setSoapTimeoutForTests(int ms)
{
    g_timeoutMs = ms > 0 ? ms : defaultTimeoutMs;
}

int soapDeadline()
{
    return g_deadlineMs;
}

void setSoapDeadlineForTests(int ms)
{
    g_deadlineMs = ms > 0 ? ms : defaultDeadlineMs;
}

qint64 soapMaxAnswer()
{
    return g_maxAnswer;
}

void setSoapMaxAnswerForTests(qint64 bytes)
{
    g_maxAnswer = bytes > 0 ? bytes : defaultMaxAnswer;
}

QString removeXmlForbiddenCharacters(const QString& text)
{
    QString kept;
    kept.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            kept += c;
            kept += text[++i];
        } else if (!c.isSurrogate() && allowedInXml(c.unicode())) {
            kept += c;
        }
    }
    return kept;
}

namespace {
// What every call sends besides the envelope, and how long it may take.
QList<QPair<QByteArray, QByteArray>> cabecalhos(const QString& operation)
{
    return {{"Content-Type", "text/xml"}, {"SOAPAction", operation.toUtf8()}};
}

http::Limits limites()
{
    return {g_timeoutMs, g_deadlineMs, g_maxAnswer};
}
} // namespace

QString EnviaSoap(const QString& operation, const QString& envelope)
{
    // One connection per call, closed after the answer: nothing carries over from an earlier
    // exchange, and the request is never sent twice.
    const Destination to = destination();
    const http::Result result = http::post(to.url, cabecalhos(operation), envelope.toUtf8(), limites(), to.tls);
    if (result.failure)
        throw SoapError(result.failure->description, result.failure->code);
    return decodeBody(result.answer.body, result.answer.contentType);
}

ChamadaSoap::ChamadaSoap(const QString& operation, const QString& envelope, QObject* parent)
    : QObject(parent), m_operation(operation), m_envelope(envelope)
{
}

ChamadaSoap::~ChamadaSoap() = default;

void ChamadaSoap::iniciar()
{
    if (m_post || m_iniciada)
        return;
    m_iniciada = true;
    try {
        const Destination to = destination();
        m_post = std::make_unique<http::AsyncPost>(to.url, cabecalhos(m_operation), m_envelope.toUtf8(), limites());
        m_post->setTls(to.tls);
    } catch (const SoapError& erro) {
        // Told from the event loop, as every other ending.
        QMetaObject::invokeMethod(
            this, [this, descricao = erro.description()] { emit falhou(descricao); }, Qt::QueuedConnection);
        return;
    }
    connect(m_post.get(), &http::AsyncPost::finished, this, [this] {
        const http::Result result = m_post->takeResult();
        if (result.failure)
            emit falhou(result.failure->description);
        else
            emit respondida(decodeBody(result.answer.body, result.answer.contentType));
    });
    m_post->start();
}

QString GetResult(const QString& responseText, const QString& resultParam, bool* failed)
{
    // A QXmlStreamReader never fetches anything: external entities are skipped, internal ones are
    // expanded within Qt's expansion limit, and going over it makes the answer unreadable.
    QXmlStreamReader reader(responseText);
    constexpr int resultDepth = 4;
    int depth = 0;
    bool found = false;
    bool capturing = false;
    bool tooDeep = false;
    QString text;
    while (!reader.atEnd() && !tooDeep) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            tooDeep = ++depth > maxXmlNesting;
            if (!found && depth == resultDepth && reader.qualifiedName() == resultParam)
                found = capturing = true;
            break;
        case QXmlStreamReader::EndElement:
            if (capturing && depth == resultDepth)
                capturing = false;
            --depth;
            break;
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            if (capturing)
                text += reader.text();
            break;
        default:
            break;
        }
    }
    const bool ok = found && !tooDeep && !reader.hasError();
    if (failed)
        *failed = !ok;
    return ok ? text : QString();
}

} // namespace tervalia
