#include "ExportacaoNovaGia.h"

#include "storage/access/LeitorAccess.h"
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
    access::LeitorAccess leitor;
    const QString tabela = QStringLiteral("tblContribuinte");
    const std::optional<access::Tabela> definicao = leitor.abre(arquivo) ? leitor.tabela(tabela) : std::nullopt;
    if (!definicao || definicao->colunas.size() < colunasLidas)
        return leitura;
    const bool lida = leitor.leLinhas(tabela, [&](const QVariantList& v) {
        leitura.empresas.append({comoTexto(v[0]), comoTexto(v[1]), comoTexto(v[2]), comoTexto(v[3])});
        return true;
    });
    if (!lida)
        return {};
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
