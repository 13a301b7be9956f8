#include "ExportacaoNovaGia.h"

#include "storage/LeituraAccess.h"
#include "validation/Documentos.h"

namespace tervalia {

namespace {

constexpr int colunasLidas = 4;

// Each of the first four columns as text; NULL reads as empty.
QString comoTexto(const QVariant& valor)
{
    return valor.isNull() ? QString() : valor.toString();
}

} // namespace

LeituraNovaGia lerExportacaoNovaGia(const QString& arquivo)
{
    LeituraNovaGia leitura;
    const LeituraAccess lida = leTabelasAccess(arquivo, {QStringLiteral("tblContribuinte")});
    if (lida.situacao != LeituraAccess::Situacao::Lida || lida.tabelas[0].colunas.size() < colunasLidas)
        return leitura;
    for (const QVariantList& v : lida.tabelas[0].linhas)
        leitura.empresas.append({comoTexto(v[0]), comoTexto(v[1]), comoTexto(v[2]), comoTexto(v[3])});
    leitura.situacao = leitura.empresas.isEmpty() ? LeituraNovaGia::Situacao::Vazia : LeituraNovaGia::Situacao::Lida;
    return leitura;
}

bool empresaComErro(const EmpresaNovaGia& empresa)
{
    return !CNPJValida(empresa.cnpj) || empresa.razaoSocial.trimmed().isEmpty();
}

QString mensagemArquivoNovaGiaInvalido()
{
    return QStringLiteral("Erro: Arquivo inválido, você deve selecionar um arquivo conforme o manual indicar");
}

QString mensagemArquivoNovaGiaVazio()
{
    return QStringLiteral("Erro: Arquivo está vazio");
}

} // namespace tervalia
