#include "RegistroContador.h"

#include "BuildConfig.h"
#include "net/Servidor.h"
#include "net/Soap.h"
#include "validation/Documentos.h"

#include <algorithm>

namespace tervalia::contador {

namespace {
const QString crlf = QStringLiteral("\r\n");

// The state check looks for the typed text followed by a comma anywhere in this list, case-sensitive,
// as it always has: an empty text or a single letter that ends an abbreviation passes as well.
const QString listaUf = QStringLiteral("AC,AL,AM,AP,BA,CE,DF,ES,GO,MA,MG,MS,MT,PA,PB,PE,PI,PR,RJ,RN,RO,RR,RS,SC,SE,"
                                       "SP,TO,");

qsizetype contaDigitos(const QString& texto)
{
    return std::count_if(texto.cbegin(), texto.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

bool vazioSemBrancos(const QString& texto)
{
    return texto.trimmed().isEmpty();
}
} // namespace

ContadorRecord comApostrofosDobrados(ContadorRecord c)
{
    for (QString* campo : {&c.cpfCnpj, &c.numCrc, &c.razaoNome, &c.nomEndereco, &c.numPredial, &c.dscComplemento,
                           &c.nomBairro, &c.nomCidade, &c.nomEstado, &c.numTelefone, &c.numCep, &c.email})
        campo->replace(QLatin1Char('\''), QStringLiteral("''"));
    return c;
}

QList<QPair<QString, QString>> parametrosEnvio(const ContadorRecord& c)
{
    const QString valores[] = {c.cpfCnpj,   c.numCrc,    c.razaoNome, c.nomEndereco, c.numPredial, c.dscComplemento,
                               c.nomBairro, c.nomCidade, c.nomEstado, c.numTelefone, c.numCep,     c.email};
    QList<QPair<QString, QString>> parametros;
    for (int i = 0; i < 12; ++i)
        parametros.append({QString(servidor::parametrosContador[i]), valores[i]});
    return parametros;
}

bool fnContador(const ContadorRecord& digitado)
{
    const QString operacao(servidor::operacao::contador);
    const QString resposta =
        EnviaSoap(operacao, montaEnvelope(operacao, parametrosEnvio(comApostrofosDobrados(digitado))));
    // An error page, a fault or anything else without a readable result is no registration. The
    // result's text itself says nothing the program acts on.
    bool leituraFalhou = true;
    static_cast<void>(GetResult(resposta, servidor::elementoResultado, &leituraFalhou));
    return !leituraFalhou;
}

QString verificaDigitosDocumento(TipoDocumento tipo, const QString& texto)
{
    if (tipo == TipoDocumento::Cpf)
        return CPFValida(texto) ? QString() : mensagem::documentoCpf();
    return CNPJValida(texto) ? QString() : mensagem::documentoCnpj();
}

QString verificaDocumento(TipoDocumento tipo, const QString& texto)
{
    if (tipo == TipoDocumento::Cpf) {
        QString numero = texto;
        numero.remove(QLatin1Char('_')).remove(QLatin1Char('.')).remove(QLatin1Char('-'));
        return !CPFValida(texto) || numero.size() < 11 ? mensagem::documentoCpf() : QString();
    }
    return !CNPJValida(texto) || contaDigitos(texto) < 14 ? mensagem::documentoCnpj() : QString();
}

QString verificaCampos(const ContadorRecord& c, const std::function<bool()>& prosseguirSemCrc)
{
    if (c.email.size() < 6)
        return QStringLiteral("Favor digitar um e-mail");
    if (vazioSemBrancos(c.numCrc) && !prosseguirSemCrc())
        return QStringLiteral("Você optou por não prosseguir sem o CRC, favor digitar e clicar em OK novamente");
    if (c.razaoNome.size() < 5)
        return QStringLiteral("Favor digitar a Razão Social corretamente");
    if (c.nomEndereco.isEmpty())
        return QStringLiteral("Favor digitar o Endereço corretamente");
    if (c.numPredial.isEmpty())
        return QStringLiteral("Favor digitar o Número corretamente");
    if (QString(c.numCep).remove(QLatin1Char('_')).size() != 9)
        return QStringLiteral("Favor digitar o CEP corretamente");
    if (vazioSemBrancos(c.nomBairro))
        return QStringLiteral("Favor digitar o Bairro corretamente");
    if (vazioSemBrancos(c.nomCidade))
        return QStringLiteral("Favor digitar a Cidade corretamente");
    if (!listaUf.contains(c.nomEstado + QLatin1Char(',')))
        return QStringLiteral("Favor digitar o UF corretamente.  Ex: SP, RJ, PR, MG (em maiúsculo)");
    return {};
}

namespace mensagem {
QString documentoCpf()
{
    return QStringLiteral("Documento CPF Informado incorretamente");
}

QString documentoCnpj()
{
    return QStringLiteral("Documento CNPJ Informado incorretamente");
}

QString perguntaCrc()
{
    return QStringLiteral("Deseja prosseguir sem o CRC?");
}

QString sucesso()
{
    return QStringLiteral("Contador cadastrado com sucesso");
}

QString falhaRemocao()
{
    return QStringLiteral("Não foi possível excluir o contador. Tente novamente mais tarde.");
}

QString perguntaRemocao()
{
    return QStringLiteral("Deseja realmente remover os dados do contador?");
}

QString falhaConexao(int codigo)
{
    return QStringLiteral("Falha de conexão - Cód %1, ").arg(codigo) + crlf +
           QStringLiteral("favor entrar em contato com seu administrador de redes para verificação de regras no "
                          "seu firewall ou proxy. ") +
           crlf + crlf + QStringLiteral("Verifique também suas configurações de antivírus.") + crlf + crlf +
           QStringLiteral("O sistema deverá se comunicar com a URL http://") + QString::fromUtf8(build::siteAddress) +
           QLatin1Char('/');
}
} // namespace mensagem

} // namespace tervalia::contador
