#include "server/SoapMessage.h"

#include <QXmlStreamReader>

namespace tervalia::standin {

namespace {

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

QString escape(QStringView text, bool attribute)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (char32_t c : text.toUcs4()) {
        switch (c) {
        case '&':
            out += u"&amp;";
            break;
        case '<':
            out += u"&lt;";
            break;
        case '>':
            out += u"&gt;";
            break;
        case '\r':
            out += u"&#13;";
            break;
        case '"':
            out += attribute ? u"&quot;" : u"\"";
            break;
        case '\n':
            out += attribute ? u"&#10;" : u"\n";
            break;
        case '\t':
            out += attribute ? u"&#9;" : u"\t";
            break;
        default:
            if (isXmlChar(c))
                out += QStringView(QString::fromUcs4(&c, 1));
            else
                out += QChar(0xFFFD);
        }
    }
    return out;
}

const QString envelopeStart = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                             "<env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\">"
                                             "<env:Body>");
const QString envelopeEnd = QStringLiteral("</env:Body></env:Envelope>");

// Moves the reader to the next start element among the current element's children. A document
// type declaration stops the reading: it could declare entities.
bool nextChild(QXmlStreamReader& xml)
{
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            return true;
        case QXmlStreamReader::EndElement:
            return false;
        case QXmlStreamReader::DTD:
            xml.raiseError(QStringLiteral("declaração de tipo de documento não é aceita"));
            return false;
        default:
            break;
        }
    }
    return false;
}

} // namespace

QString SoapCall::param(const QString& name) const
{
    for (const auto& [n, v] : params) {
        if (n == name)
            return v;
    }
    return {};
}

SoapParse parseSoapCall(const QByteArray& body, const QByteArray& soapAction)
{
    SoapParse result;
    QXmlStreamReader xml(body);
    if (!nextChild(xml) || xml.name() != u"Envelope") {
        result.error = QStringLiteral("o pedido não é um envelope SOAP");
    } else {
        while (nextChild(xml) && xml.name() != u"Body")
            xml.skipCurrentElement(); // a SOAP Header carries nothing this server reads
        if (xml.name() != u"Body" || !nextChild(xml)) {
            result.error = QStringLiteral("o envelope SOAP não tem operação");
        } else {
            const QString element = xml.name().toString();
            while (nextChild(xml)) {
                const QString name = xml.name().toString();
                result.call.params.append({name, xml.readElementText(QXmlStreamReader::IncludeChildElements)});
            }
            result.call.operation = element;
        }
    }
    while (!xml.atEnd() && !xml.hasError())
        xml.readNext();
    if (xml.hasError())
        result.error = QStringLiteral("envelope SOAP malformado: %1").arg(xml.errorString());
    // The header names the operation; clients may quote it.
    QByteArray action = soapAction.trimmed();
    if (action.size() >= 2 && action.startsWith('"') && action.endsWith('"'))
        action = action.mid(1, action.size() - 2);
    if (result.ok() && !action.isEmpty())
        result.call.operation = QString::fromUtf8(action);
    return result;
}

// `operation` is always one of the service's own operation names, so it is a valid element name.
QByteArray soapResponse(const QString& operation, const QString& result)
{
    const QString element = QStringLiteral("ns1:") + operation + QStringLiteral("Response");
    return (envelopeStart + u'<' + element + QStringLiteral(" xmlns:ns1=\"urn:Transferencia\"><return>") +
            escapeXmlText(result) + QStringLiteral("</return></") + element + u'>' + envelopeEnd)
        .toUtf8();
}

QByteArray soapFault(const QString& reason)
{
    return (envelopeStart +
            QStringLiteral("<env:Fault><env:Code><env:Value>env:Sender</env:Value></env:Code>"
                           "<env:Reason><env:Text xml:lang=\"pt-BR\">") +
            escapeXmlText(reason) + QStringLiteral("</env:Text></env:Reason></env:Fault>") + envelopeEnd)
        .toUtf8();
}

QString escapeXmlText(QStringView text)
{
    return escape(text, false);
}

QString escapeXmlAttribute(QStringView text)
{
    return escape(text, true);
}

} // namespace tervalia::standin
