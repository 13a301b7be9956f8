#pragma once

#include "storage/Cadastro.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

namespace tervalia::test {

// How a test's dipam.mdb departs from the older program's layout.
struct LayoutDipamMdb
{
    bool nomesMisturados = false;   // column names in other letter cases ("ie", "CNPJ", "optantesimples")
    QStringList semColunas;         // columns of tblContribuinte left out
    bool semTabelaEmpresas = false; // no tblContribuinte at all
    QString senha;                  // the database password, when it has one
};

// A company row of tblContribuinte: IE, RazaoSocial, Cnpj, Cnae, Chave, CCM (a null QVariant is
// NULL), OptanteSimples (bool).
QVariantList linhaEmpresa(const ContribuinteRecord& c);

// Writes a dipam.mdb as the older program keeps it, with our Access writer: tblContador (twelve
// text columns, the accountant when given) and tblContribuinte (text columns and a Yes/No
// OptanteSimples). Returns the writer's message, empty when written.
QString escreveDipamMdb(const QString& caminho, const std::optional<ContadorRecord>& contador,
                        const QList<QVariantList>& empresas, const LayoutDipamMdb& layout = {});

// A company with a valid CNPJ and an 8-character key, different for every n.
ContribuinteRecord empresaValida(int n);

} // namespace tervalia::test
