#include "VerificaContribuinte.h"

#include "validation/Documentos.h"
#include "validation/IEValida.h"

namespace tervalia::contribuinte {

int tamanhoPreenchido(const QString& valor)
{
    return int(valor.size() - valor.count(u'_'));
}

QString verificaCampos(const Campos& c, Exige exige)
{
    if (tamanhoPreenchido(c.ie) != tamanhoIE)
        return QStringLiteral("Inscrição Estadual preenchida incorretamente");
    if (exige.digitosIE && !ieValida(c.ie))
        return mensagem::ieInvalida();
    if (c.razaoSocial.trimmed().isEmpty())
        return QStringLiteral("Razão Social preenchida incorretamente");
    if (tamanhoPreenchido(c.cnpj) != tamanhoCnpj)
        return QStringLiteral("CNPJ preenchido incorretamente");
    if (!CNPJValida(c.cnpj))
        return QStringLiteral("CNPJ preenchido é inválido");
    if (tamanhoPreenchido(c.cnae) != tamanhoCnae)
        return QStringLiteral("CNAE preenchido incorretamente");
    if (exige.chave && c.chave.isEmpty())
        return QStringLiteral("Chave não informada");
    return {};
}

QString verificaSaidaCnpj(const QString& cnpj)
{
    return CNPJValida(cnpj) ? QString() : QStringLiteral("CNPJ Inválido");
}

bool ieValida(const QString& ie)
{
    return IEValida(ie, QString(ufInscricao));
}

namespace mensagem {
QString jaCadastrado()
{
    return QStringLiteral("Contribuinte já cadastrado.");
}
QString naoCadastrado()
{
    return QStringLiteral("Contribuinte não cadastrado.");
}
QString corrijaErros()
{
    return QStringLiteral("Corrija os erros antes de prosseguir");
}
QString ieInvalida()
{
    return QStringLiteral("Inscrição Estadual inválida");
}
QString criado()
{
    return QStringLiteral("O contribuinte foi criado!");
}
QString atualizado()
{
    return QStringLiteral("O dados cadastrais do contribuinte foram atualizados");
}
} // namespace mensagem

} // namespace tervalia::contribuinte
