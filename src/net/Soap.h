#pragma once

#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QPair>
#include <QString>

#include <memory>
#include <stdexcept>

namespace tervalia {

namespace http {
class AsyncPost;
}

// The SOAP 1.2 envelope, built from fixed pieces without line breaks. Every piece is byte-exact,
// trailing blanks included, because the server compares them as text.
QString GenerateSoapBodyStart();
QString GenerateSoapFunctionCallStart(const QString& strFunction);
// Escapes "&", "<" and ">" in the value and writes a carriage return as "&#13;", so that any value
// keeps the envelope well-formed and arrives as typed; characters that XML forbids are left out
// (removeXmlForbiddenCharacters). Anything else (a caller's doubling of "'" for instance) passes
// unchanged.
QString GenerateSoapParameter(const QString& strParam, const QString& strValue);
QString GenerateSoapFunctionCallEnd(const QString& strFunction);
QString GenerateSoapBodyEnd();

// The text without the characters no XML document may hold: controls below U+0020 other than tab,
// line feed and carriage return, U+FFFE, U+FFFF and halves of surrogate pairs standing alone.
QString removeXmlForbiddenCharacters(const QString& text);

// The whole envelope of one call: the pieces above chained, parameters in the order given.
QString montaEnvelope(const QString& operation, const QList<QPair<QString, QString>>& params);

// "http://" (or "https://" with protocolo=https) + host + ":" + port + the service path, read
// afresh from dipam.ini at every call.
QString EnderecoServico();

// A call that could not reach the server or got no complete answer from it.
class SoapError : public std::runtime_error
{
public:
    SoapError(QString description, QNetworkReply::NetworkError code);

    // What went wrong, in Portuguese, ready for a message box.
    const QString& description() const { return m_description; }
    QNetworkReply::NetworkError code() const { return m_code; }
    // The secure connection failed (certificate, handshake) or the settings ask for one that
    // cannot be made: the cause matters to the user even where a fixed message is shown.
    bool seguranca() const { return m_code == QNetworkReply::SslHandshakeFailedError; }
    // For a fixed message: a blank line and the description when seguranca(), otherwise nothing.
    QString causaSeguranca() const;

private:
    QString m_description;
    QNetworkReply::NetworkError m_code;
};

// Posts the envelope to EnderecoServico() once, over a connection of its own, and returns the
// answer body as text, whatever the HTTP status (an error page comes back as text too). Blocks the
// caller in a local event loop that ignores user input and holds window closes until the call has
// ended (platform/BlockingWait.h): a handler finds its window still there when the call returns.
// Throws SoapError when the server cannot be reached, the settings give no usable address or ask
// for a secure connection that cannot be made, the TLS handshake fails (net/Tls.h), the
// server stays silent longer than the time limit or takes longer than the deadline as a whole,
// the answer is not HTTP, is cut off, or is larger than the answer limit.
QString EnviaSoap(const QString& operation, const QString& envelope);

// The exchange of EnviaSoap without waiting, for windows that keep working during their calls: the
// same request over a connection of its own, the same limits and the same reading of the answer.
// iniciar() returns at once; then exactly one of the signals comes, from the event loop. Deleting it
// drops the call without a signal.
class ChamadaSoap : public QObject
{
    Q_OBJECT

public:
    ChamadaSoap(const QString& operation, const QString& envelope, QObject* parent = nullptr);
    ~ChamadaSoap() override;

    void iniciar();

signals:
    void respondida(const QString& resposta); // the answer body as text, whatever the HTTP status
    void falhou(const QString& descricao);    // what EnviaSoap would have thrown, in Portuguese

private:
    QString m_operation;
    QString m_envelope;
    std::unique_ptr<http::AsyncPost> m_post;
    bool m_iniciada = false;
};

// Time limit of one call, in milliseconds: how long the transfer may go without receiving
// anything before it is aborted. 120 s unless a test makes it short; 0 or less restores it.
int soapTimeout();
void setSoapTimeoutForTests(int ms);
// Deadline of one call as a whole, in milliseconds, however steadily the answer trickles in.
// 120 s unless a test makes it short; 0 or less restores it.
int soapDeadline();
void setSoapDeadlineForTests(int ms);
// Largest answer body read, in bytes: 64 MB unless a test makes it smaller; 0 or less restores it.
qint64 soapMaxAnswer();
void setSoapMaxAnswerForTests(qint64 bytes);

// Deepest element nesting any answer reader accepts; a deeper document counts as unreadable.
inline constexpr int maxXmlNesting = 256;

// Text of the first element named resultParam at the fourth level (document element, any child,
// any child, resultParam), in document order. Returns the empty text and sets *failed when the
// answer is empty, not well-formed XML, nested deeper than maxXmlNesting, or lacks that element;
// *failed is false otherwise. No external entity is ever resolved and nothing is fetched.
QString GetResult(const QString& responseText, const QString& resultParam, bool* failed = nullptr);

} // namespace tervalia
