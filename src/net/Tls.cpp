#include "Tls.h"

#include "net/Servidor.h"
#include "platform/ProgramDir.h"
#include "storage/ReadWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSslCertificate>
#include <QSslSocket>

namespace tervalia::tls {

namespace {
constexpr qint64 maiorArquivoCertificado = 1024 * 1024;

QString semEnvio(const QString& texto)
{
    return texto + QStringLiteral(" Nada foi enviado.");
}

// The authority's certificates in the file, PEM or DER; an error in Portuguese when there are none.
QString leAutoridade(const QString& valor, QList<QSslCertificate>& certificados)
{
    const QString caminho = QDir(programDir()).absoluteFilePath(valor);
    const QString origem = QStringLiteral("O certificado do servidor indicado em dipam.ini (%1=%2)")
                               .arg(servidor::chaveCertificado, QDir::toNativeSeparators(caminho));
    QFile arquivo(caminho);
    if (!QFileInfo(caminho).isFile())
        return semEnvio(origem + QStringLiteral(" não foi encontrado."));
    if (!arquivo.open(QIODevice::ReadOnly))
        return semEnvio(origem + QStringLiteral(" não pôde ser lido: %1.").arg(arquivo.errorString()));
    const QByteArray conteudo = arquivo.read(maiorArquivoCertificado + 1);
    if (conteudo.size() <= maiorArquivoCertificado) {
        certificados = QSslCertificate::fromData(conteudo, QSsl::Pem);
        if (certificados.isEmpty())
            certificados = QSslCertificate::fromData(conteudo, QSsl::Der);
        certificados.removeIf([](const QSslCertificate& c) { return c.isNull(); });
    }
    if (certificados.isEmpty())
        return semEnvio(origem + QStringLiteral(" não contém um certificado válido (PEM ou DER)."));
    return {};
}

QString causa(const QSslError& erro, const QString& host)
{
    switch (erro.error()) {
    case QSslError::CertificateExpired:
        return QStringLiteral("O certificado do servidor está vencido.");
    case QSslError::CertificateNotYetValid:
        return QStringLiteral("O certificado do servidor ainda não é válido (confira a data deste computador).");
    case QSslError::HostNameMismatch:
        return QStringLiteral("O certificado do servidor não pertence a %1.").arg(host);
    case QSslError::SelfSignedCertificate:
        return QStringLiteral("O certificado do servidor é autoassinado, sem uma autoridade confiável.");
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
        return QStringLiteral("O certificado do servidor foi emitido por uma autoridade desconhecida.");
    case QSslError::CertificateRevoked:
        return QStringLiteral("O certificado do servidor foi revogado.");
    case QSslError::NoPeerCertificate:
        return QStringLiteral("O servidor não apresentou certificado.");
    default:
        return QStringLiteral("O servidor não pôde ser verificado: %1").arg(erro.errorString());
    }
}
} // namespace

QString esquemaConfigurado(QString* erro)
{
    const QString protocolo = ReadFromFile(servidor::secaoConfiguracao, servidor::chaveProtocolo);
    if (protocolo.isEmpty() || protocolo.compare(QLatin1String("http"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("http");
    if (erro && protocolo.compare(QLatin1String("https"), Qt::CaseInsensitive) != 0)
        *erro = QStringLiteral("O protocolo \"%1\" da seção [servidor] de dipam.ini (%2=) não é conhecido; use "
                               "http ou https.")
                    .arg(protocolo, servidor::chaveProtocolo);
    return QStringLiteral("https");
}

Transporte transporteConfigurado()
{
    Transporte t;
    QString erro;
    t.seguro = esquemaConfigurado(&erro) == QLatin1String("https");
    if (!t.seguro)
        return t;
    if (!erro.isEmpty()) {
        t.erro = semEnvio(erro);
        return t;
    }
    if (!QSslSocket::supportsSsl()) {
        t.erro = semEnvio(QStringLiteral("A conexão segura (https) pedida em dipam.ini não está disponível neste "
                                         "computador: falta a biblioteca OpenSSL 3 (pacote libssl3)."));
        return t;
    }
    t.configuracao = QSslConfiguration::defaultConfiguration();
    t.configuracao.setPeerVerifyMode(QSslSocket::VerifyPeer);
    const QString arquivo = ReadFromFile(servidor::secaoConfiguracao, servidor::chaveCertificado);
    if (!arquivo.isEmpty()) {
        QList<QSslCertificate> autoridade;
        t.erro = leAutoridade(arquivo, autoridade);
        // The municipality's own authority is the only one trusted: a certificate some other
        // authority issued for the same name is refused.
        t.configuracao.setCaCertificates(autoridade);
    }
    return t;
}

void conectaSeguro(QSslSocket& socket, const QString& host, quint16 porta, const QSslConfiguration& configuracao)
{
    QSslConfiguration c = configuracao;
    c.setPeerVerifyMode(QSslSocket::VerifyPeer);
    socket.setSslConfiguration(c);
    socket.connectToHostEncrypted(host, porta, host);
}

QString descricaoFalha(const QSslSocket& socket, const QString& host)
{
    const QList<QSslError> erros = socket.sslHandshakeErrors();
    if (!erros.isEmpty())
        return descricaoErros(erros, host);
    return QStringLiteral("O servidor não estabeleceu a conexão segura (https); confira se ele atende em https e o "
                          "protocolo em dipam.ini (%1).")
        .arg(socket.errorString());
}

QString descricaoErros(const QList<QSslError>& erros, const QString& host)
{
    QStringList causas;
    for (const QSslError& erro : erros) {
        const QString texto = causa(erro, host);
        if (!causas.contains(texto))
            causas.append(texto);
    }
    return causas.join(u' ');
}

} // namespace tervalia::tls
