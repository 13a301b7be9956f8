#include "Soap.h"

#include "net/Servidor.h"
#include "net/Windows1252.h"
#include "storage/ReadWrite.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>
#include <QXmlStreamReader>

#include <memory>

namespace tervalia {

namespace {
constexpr int defaultTimeoutMs = 120 * 1000;
int g_timeoutMs = defaultTimeoutMs;

QString escapeValue(const QString& value)
{
    QString escaped = value;
    escaped.replace(u'&', QLatin1String("&amp;"));
    escaped.replace(u'<', QLatin1String("&lt;"));
    escaped.replace(u'>', QLatin1String("&gt;"));
    return escaped;
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

QString describeFailure(QNetworkReply::NetworkError code)
{
    switch (code) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("O servidor recusou a conexão.");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("O servidor não foi encontrado.");
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return QStringLiteral("O servidor não respondeu dentro do tempo limite.");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("O servidor encerrou a conexão antes de responder.");
    default:
        return QStringLiteral("Falha na comunicação com o servidor.");
    }
}

// An HTTP answer arrived whole, whatever its status: content and server errors (4xx, 5xx) carry
// a body the caller judges. Transport and protocol failures leave no answer to return.
bool answerArrived(const QNetworkReply& reply)
{
    // Any HTTP status is an answer: the caller judges the text. A broken or cut-off answer is not.
    const auto code = reply.error();
    const bool statusReported = code >= QNetworkReply::ContentAccessDenied &&
                                code <= QNetworkReply::UnknownServerError && code != QNetworkReply::ProtocolFailure;
    return code == QNetworkReply::NoError ||
           (statusReported && reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid());
}

QString serviceAddress(const QString& host, const QString& port)
{
    return QLatin1String("http://") + host + QLatin1Char(':') + port + servidor::caminhoServico;
}

QUrl serviceUrl()
{
    const QString host = ReadFromFile(servidor::secaoConfiguracao, servidor::chaveHost);
    const QString port = ReadFromFile(servidor::secaoConfiguracao, servidor::chavePorta);
    if (host.isEmpty() || port.isEmpty())
        throw SoapError(QStringLiteral("O endereço do servidor (host e port) não está definido em dipam.ini."),
                        QNetworkReply::ProtocolUnknownError);
    const QString address = serviceAddress(host, port);
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.port() <= 0)
        throw SoapError(QStringLiteral("O endereço do servidor em dipam.ini é inválido: %1").arg(address),
                        QNetworkReply::ProtocolUnknownError);
    return url;
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
    return serviceAddress(ReadFromFile(servidor::secaoConfiguracao, servidor::chaveHost),
                          ReadFromFile(servidor::secaoConfiguracao, servidor::chavePorta));
}

SoapError::SoapError(QString description, QNetworkReply::NetworkError code)
    : std::runtime_error(description.toStdString()), m_description(std::move(description)), m_code(code)
{
}

int soapTimeout()
{
    return g_timeoutMs;
}

void setSoapTimeoutForTests(int ms)
{
    g_timeoutMs = ms > 0 ? ms : defaultTimeoutMs;
}

QString EnviaSoap(const QString& operation, const QString& envelope)
{
    QNetworkRequest request(serviceUrl());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("text/xml"));
    request.setRawHeader(QByteArrayLiteral("SOAPAction"), operation.toUtf8());
    // QNetworkRequest's transfer timeout: the call is aborted when nothing arrives for this long,
    // so a server that accepts and never answers cannot hold the program for good.
    request.setTransferTimeout(g_timeoutMs);

    // One manager and one request per call: nothing carries over from an earlier exchange.
    QNetworkAccessManager manager;
    const std::unique_ptr<QNetworkReply> reply(manager.post(request, envelope.toUtf8()));
    if (!reply->isFinished()) {
        QEventLoop loop;
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!answerArrived(*reply))
        throw SoapError(describeFailure(reply->error()), reply->error());
    return decodeBody(reply->readAll(), reply->rawHeader(QByteArrayLiteral("Content-Type")));
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
    QString text;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
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
    const bool ok = found && !reader.hasError();
    if (failed)
        *failed = !ok;
    return ok ? text : QString();
}

} // namespace tervalia
