#include "ImportacaoEmpresa.h"

#include "net/Servidor.h"
#include "net/Soap.h"
#include "storage/Cadastro.h"
#include "taxpayers/RespostaChave.h"

namespace tervalia {

namespace {

using Situacao = ResultadoEmpresa::Situacao;

// The company as every message names it: its razão social with the blank the import adds, then its
// IE on a line of its own.
QString identificacao(const EmpresaNovaGia& empresa)
{
    return empresa.razaoSocialComBranco() + QStringLiteral("\r\nInscrição Estadual: ") + empresa.ie;
}

ResultadoEmpresa situacao(Situacao s)
{
    return ResultadoEmpresa{s, std::nullopt, {}};
}

ResultadoEmpresa guarda(const EmpresaNovaGia& empresa, const RespostaChave& resposta)
{
    try {
        if (cadastro::findContribuinte(empresa.ie))
            return situacao(Situacao::JaCadastrada);
        cadastro::importContribuinte(empresa.ie, empresa.razaoSocialComBranco(), empresa.cnpj, empresa.cnae,
                                     resposta.chave, resposta.optanteSimples);
        return situacao(Situacao::Cadastrada);
    } catch (const DatabaseError& e) {
        return ResultadoEmpresa{Situacao::FalhaBanco, e, {}};
    }
}

} // namespace

ResultadoEmpresa importaEmpresa(const EmpresaNovaGia& empresa, const certstore::Certificate& certificado)
{
    QString resposta;
    try {
        resposta = pedeChave(empresa.ie, empresa.cnpj);
    } catch (const SoapError& erro) {
        ResultadoEmpresa falha = situacao(Situacao::FalhaComunicacao);
        falha.causaSeguranca = erro.causaSeguranca();
        return falha;
    }
    if (resposta.contains(servidor::chave::naoAutorizado))
        return situacao(Situacao::NaoAutorizada);
    bool falhou = false;
    const QString retorno = GetResult(resposta, servidor::elementoResultado, &falhou);
    const std::optional<RespostaChave> chave = falhou ? std::nullopt : lerRespostaChave(retorno);
    if (!chave)
        return situacao(Situacao::RespostaIlegivel);
    if (chave->dataServidor < certificado.validFrom || chave->dataServidor > certificado.validUntil)
        return situacao(Situacao::CertificadoExpirado);
    return guarda(empresa, *chave);
}

QString mensagemEmpresaNaoAutorizada(const EmpresaNovaGia& empresa)
{
    return QStringLiteral("Não é possível cadastrar a empresa: \r\n\r\n") + identificacao(empresa) +
           QStringLiteral("\r\n\r\nEmpresa não está cadastrada nos servidores da Prefeitura.\r\n"
                          "Se a empresa pertencer ao Muncípio, por favor, nos informe imediatamente.");
}

QString mensagemEmpresaJaCadastrada(const EmpresaNovaGia& empresa)
{
    return QStringLiteral("Empresa já cadastrada anteriormente: \r\n\r\n") + identificacao(empresa) +
           QStringLiteral("\r\n\r\nA empresa não será cadastrada, para não gerar duplicidade");
}

QString mensagemRespostaIlegivel(const EmpresaNovaGia& empresa)
{
    return QStringLiteral("Não foi possível ler a resposta do servidor ao pedido da chave da empresa: \r\n\r\n") +
           identificacao(empresa) +
           QStringLiteral("\r\n\r\nA importação foi interrompida; as empresas já cadastradas continuam cadastradas. "
                          "Tente novamente mais tarde.");
}

QString textoProgressoImportacao(int numero, int total, const EmpresaNovaGia& empresa)
{
    return QStringLiteral("Importando %1 de %2: %3").arg(numero).arg(total).arg(empresa.razaoSocial.trimmed());
}

} // namespace tervalia
