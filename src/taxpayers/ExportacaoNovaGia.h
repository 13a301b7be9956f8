#pragma once

#include <QList>
#include <QString>

namespace tervalia {

// One company of a NovaGIA company export: the first four columns of its tblContribuinte, by
// position, as text exactly as the file holds them (the razão social keeps its blanks).
struct EmpresaNovaGia
{
    QString ie;
    QString razaoSocial;
    QString cnpj;
    QString cnae;

    // The razão social as the preview grid shows it and the import stores it: one blank appended.
    QString razaoSocialComBranco() const { return razaoSocial + QLatin1Char(' '); }

    bool operator==(const EmpresaNovaGia&) const = default;
};

struct LeituraNovaGia
{
    enum class Situacao {
        Lida,            // `empresas` holds every row, in file order
        ArquivoInvalido, // not an Access file, no table tblContribuinte, fewer than four columns, or unreadable
        Vazia,           // the table has no row
    };
    Situacao situacao = Situacao::ArquivoInvalido;
    QList<EmpresaNovaGia> empresas;
};

// Reads the NovaGIA export file at `arquivo` (an Access database) through the helper leitor-access
// (storage/LeituraAccess.h): a file that crashes, hangs or bloats the reader is an invalid file.
// The file is only read. Never throws and writes nothing to the standard error.
LeituraNovaGia lerExportacaoNovaGia(const QString& arquivo);

// The preview's check of one row: wrong when the CNPJ's check digits fail or the razão social is
// only blanks.
bool empresaComErro(const EmpresaNovaGia& empresa);

// The preview's messages.
QString mensagemArquivoNovaGiaInvalido(); // "Erro: Arquivo inválido, você deve selecionar um arquivo conforme ..."
QString mensagemArquivoNovaGiaVazio();    // "Erro: Arquivo está vazio"

} // namespace tervalia
