#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace tervalia::standin {

// One web-service call read from a SOAP envelope.
struct SoapCall
{
    QString operation; // the SOAPAction header, or the operation element's name without it
    QList<QPair<QString, QString>> params;

    // Text of the first parameter of that name; empty when absent.
    QString param(const QString& name) const;
};

struct SoapParse
{
    SoapCall call;
    QString error; // empty when the envelope was read

    bool ok() const { return error.isEmpty(); }
};

// Reads Envelope / Body / <operation> / <parameter>. Any namespace is accepted; a document type
// declaration is refused, so no entity is ever expanded or fetched.
SoapParse parseSoapCall(const QByteArray& body, const QByteArray& soapAction);

// The answer envelope: Envelope / Body / <operation>Response / return, the result as the escaped
// text of "return".
QByteArray soapResponse(const QString& operation, const QString& result);
// A SOAP 1.2 fault with a reason text; it has no "return" element.
QByteArray soapFault(const QString& reason);

// Text escaped for XML content; characters that XML cannot carry become U+FFFD, and a carriage
// return is written as a reference so that it survives line-end normalisation.
QString escapeXmlText(QStringView text);
// The same for a double-quoted attribute value.
QString escapeXmlAttribute(QStringView text);

} // namespace tervalia::standin
