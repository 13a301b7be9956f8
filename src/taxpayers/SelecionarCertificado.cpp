#include "SelecionarCertificado.h"

#include "BuildConfig.h"
#include "net/Enc64.h"
#include "net/Servidor.h"
#include "net/Soap.h"
#include "net/Tls.h"
#include "platform/EscolhaCertificado.h"
#include "platform/MessageBox.h"
#include "storage/Database.h"
#include "storage/ReadWrite.h"
#include "taxpayers/DadosContador.h"
#include "taxpayers/RespostaChave.h"
#include "taxpayers/VerificaContribuinte.h"

namespace tervalia {

namespace {

const QString tituloMG = QStringLiteral("Tervalia - MG");

const EscolhaCertificado::Textos textosChave{QStringLiteral("Selecione o Certificado Digital (e-CNPJ)"),
                                             QStringLiteral("Escolha o certificado e-CNPJ da empresa para receber "
                                                            "a chave")};
const EscolhaCertificado::Textos textosEntrega{QStringLiteral("Using CAPI to Select a certificate"),
                                               QStringLiteral("Select a certificate using CAPI")};

QString semPontuacao(QString documento)
{
    return documento.remove(u'.').remove(u'/').remove(u'-');
}

// The chooser; nothing when cancelled or when the store cannot be used (then the component
// message has been shown).
std::optional<certstore::Certificate> escolhe(QWidget* janela, const EscolhaCertificado::Textos& textos)
{
    try {
        return EscolhaCertificado::escolher(janela, textos);
    } catch (const certstore::StoreError&) {
        MessageBox::show(janela, mensagemComponentes());
        return std::nullopt;
    }
}

ResultadoCertificado pedidoChave(QWidget* janela, const PedidoCertificado& pedido)
{
    ResultadoCertificado resultado{pedido.certificadoValido, std::nullopt, std::nullopt};
    QString contador;
    try {
        contador = cpfCnpjContador(DadosContador());
    } catch (const DatabaseError& e) {
        MessageBox::show(janela, RelatorioErroBanco(e));
        return resultado;
    }
    const EmpresaDigitada& empresa = pedido.empresa;
    const contribuinte::Campos campos{empresa.ie, empresa.razaoSocial, empresa.cnpj, empresa.cnae, {}, {}};
    if (const QString erro = contribuinte::verificaCampos(campos, {.digitosIE = false, .chave = false});
        !erro.isEmpty()) {
        MessageBox::show(janela, erro, tituloMG, QMessageBox::Critical);
        return resultado;
    }
    resultado.certificado = escolhe(janela, textosChave);
    if (!resultado.certificado)
        return resultado;
    const QByteArray documento = documentoCertificado(*resultado.certificado);
    if (!certificadoPossui(documento, semPontuacao(empresa.cnpj)) && !certificadoPossui(documento, contador)) {
        MessageBox::show(janela,
                         QStringLiteral("O Certificado não possui informações da empresa selecionada ou contador."),
                         tituloMG, QMessageBox::Information);
        return resultado;
    }
    resultado.certificadoValido = true;
    if (resultado.certificado->hasCrlDistributionPoints)
        ListaUrlsCrl(janela, *resultado.certificado);

    QString resposta;
    try {
        resposta = pedeChave(empresa.ie, empresa.cnpj);
    } catch (const SoapError& erro) {
        MessageBox::show(janela, mensagemComunicacao() + erro.causaSeguranca());
        return resultado;
    }
    if (resposta.contains(servidor::chave::naoAutorizado)) {
        MessageBox::show(janela,
                         QStringLiteral("Atenção, não foi encontrado cadastro para as informações preenchidas.\r\n\r\n"
                                        "Solicitamos entrar em contato por E-MAIL com o suporte, informando: CNPJ, IE "
                                        "e CNAE do contribuinte."),
                         tituloMG, QMessageBox::Critical);
        return resultado;
    }
    bool falhou = false;
    const QString retorno = GetResult(resposta, servidor::elementoResultado, &falhou);
    const std::optional<RespostaChave> chave = falhou ? std::nullopt : lerRespostaChave(retorno);
    if (!chave) {
        MessageBox::show(
            janela,
            QStringLiteral("A resposta do servidor ao pedido da chave não pôde ser lida. Nenhuma chave foi "
                           "recebida; tente novamente mais tarde."),
            tituloMG, QMessageBox::Warning);
        return resultado;
    }
    const certstore::Certificate& cert = *resultado.certificado;
    if (chave->dataServidor < cert.validFrom || chave->dataServidor > cert.validUntil) {
        MessageBox::show(janela, QStringLiteral("Certificado expirado, contate seu fornecedor"));
        return resultado;
    }
    resultado.chave = ChaveRecebida{chave->chave, chave->optanteSimples, chave->dataServidor};
    return resultado;
}

ResultadoCertificado entrega(QWidget* janela, const PedidoCertificado& pedido)
{
    ResultadoCertificado resultado{pedido.certificadoValido, std::nullopt, std::nullopt};
    resultado.certificado = escolhe(janela, textosEntrega);
    if (!resultado.certificado)
        return resultado;
    try {
        DadosContador(); // its record is not used here; a database failure ends the step
    } catch (const DatabaseError&) {
        MessageBox::show(janela, mensagemComponentes());
        return resultado;
    }
    resultado.certificadoValido = true;
    const certstore::Certificate& cert = *resultado.certificado;
    // Without a server date from a refresh, the certificate is judged at the local clock rather
    // than not judged at all.
    const QDateTime data = pedido.dataServidor.isValid() ? pedido.dataServidor : QDateTime::currentDateTime();
    if (data > cert.validUntil || !certificadoPossui(documentoCertificado(cert), pedido.cpfCnpjContador)) {
        MessageBox::show(janela,
                         QStringLiteral("O Certificado escolhido é inválido. Verifique a validade e se o mesmo confere "
                                        "com os dados informados no cadastro do contador."),
                         QStringLiteral("Tervalia - MG - Certificado Inválido"), QMessageBox::Critical);
        resultado.certificadoValido = false;
        return resultado;
    }
    if (cert.hasCrlDistributionPoints)
        ListaUrlsCrl(janela, cert);
    return resultado;
}

} // namespace

ResultadoCertificado SelecionarCertificado(QWidget* janela, const PedidoCertificado& pedido)
{
    return pedido.forma == FormaCertificado::PedidoChave ? pedidoChave(janela, pedido) : entrega(janela, pedido);
}

std::optional<certstore::Certificate> escolheCertificadoChave(QWidget* janela)
{
    return escolhe(janela, textosChave);
}

QByteArray documentoCertificado(const certstore::Certificate& certificado)
{
    QString exportado = certificado.base64Export();
    try {
        return MyDecode(exportado);
    } catch (const Base64Error&) {
        return {}; // the export is always whole lines of four; nothing to find otherwise
    }
}

QStringList ListaUrlsCrl(QWidget* janela, const certstore::Certificate& certificado)
{
    certstore::CrlUrls urls;
    try {
        urls = certstore::crlUrls(certificado.der);
    } catch (const certstore::StoreError& e) {
        urls.error = e.code(); // NSS itself did not start: the addresses cannot be read either
    }
    if (!urls.ok()) {
        MessageBox::show(janela, QStringLiteral("Could not retrieve the URLs from the CDP extension: 0x") +
                                     QString::number(quint32(urls.error), 16).toUpper());
    }
    return urls.urls;
}

QString mensagemComponentes()
{
    return QStringLiteral("O programa não pode inicializar os componentes necessários.\r\n"
                          "Favor verificar com o suporte técnico da sua empresa se os componentes estão instalados, é "
                          "provável que o erro tenha ocorrido ao tentar inicializar o CAPICOM. Alguns programas de "
                          "antivirus podem afetar estas funções. \r\n\r\n"
                          "Maiores informações sobre a CAPICOM em ") +
           QString::fromUtf8(build::certHelpAddress);
}

QString mensagemComunicacao()
{
    return QStringLiteral("Detectamos que há um problema de comunicação com a URL ") + tls::esquemaConfigurado() +
           QStringLiteral("://") + ReadFromFile(servidor::secaoConfiguracao, servidor::chaveHost) +
           QStringLiteral(". \r\n\r\nVerifique sua conectividade de Internet. \r\n\r\n"
                          "Obs: Recomendamos solicitar assistência ao responsável pela manutenção da rede");
}

} // namespace tervalia
