#pragma once

#include <QAbstractSocket>
#include <QList>
#include <QSslConfiguration>
#include <QSslError>
#include <QString>

class QSslSocket;

// The secure connection to the server, as dipam.ini asks for it. Plain HTTP unless section
// "servidor" says "protocolo=https"; then the SOAP calls, the uploads and the receipt addresses all
// go over TLS. The server's certificate is always verified, chain and host name; no setting turns
// that off. The HTTP client and the upload both connect and describe failures through here.
namespace tervalia::tls {

struct Transporte
{
    bool seguro = false;
    // When seguro: the authorities trusted (only the file of certificado_servidor when it is set,
    // otherwise the system's) and peer verification on.
    QSslConfiguration configuracao;
    // In Portuguese: the settings ask for what cannot be done (an unknown protocol, an unusable
    // certificate file, no TLS on this computer). Nothing may be sent then.
    QString erro;
};

// Reads protocolo and certificado_servidor afresh.
Transporte transporteConfigurado();
// What an address written from the settings starts with: "http" when protocolo is absent or
// "http", "https" otherwise (never plain by a misspelling); *erro tells an unknown value.
QString esquemaConfigurado(QString* erro = nullptr);

// Starts the connection and its TLS handshake; the certificate must name host. Nothing may be
// written before the socket's encrypted().
void conectaSeguro(QSslSocket& socket, const QString& host, quint16 porta, const QSslConfiguration& configuracao);

// Why the handshake failed, in Portuguese: from the certificate errors, or that the server does not
// speak TLS.
QString descricaoFalha(const QSslSocket& socket, const QString& host);
// One sentence per distinct cause, in the order found.
QString descricaoErros(const QList<QSslError>& erros, const QString& host);

} // namespace tervalia::tls
