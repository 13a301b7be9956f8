#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace tervalia {

// The accountant, with every value as typed in the accountant window (mask punctuation included).
struct ContadorRecord
{
    QString cpfCnpj;
    QString numCrc;
    QString razaoNome;
    QString nomEndereco;
    QString numPredial;
    QString dscComplemento;
    QString nomBairro;
    QString nomCidade;
    QString nomEstado;
    QString numTelefone;
    QString numCep;
    QString email;

    bool operator==(const ContadorRecord&) const = default;
};

// One client company; IE is its key.
struct ContribuinteRecord
{
    QString ie;
    QString razaoSocial;
    QString cnpj;
    QString cnae;
    QString chave;
    QString ccm;
    bool optanteSimples = false;

    bool operator==(const ContribuinteRecord&) const = default;
};

// Every statement the program runs on tblContador and tblContribuinte of dipam.db. Each call opens
// its own connection and binds every value as a parameter. Failures throw DatabaseError.
namespace cadastro {

int countContadores();
// The first stored accountant, if any.
std::optional<ContadorRecord> readContador();
// Replaces the stored accountant in one transaction: a failed insert keeps the previous row.
void replaceContador(const ContadorRecord& contador);
void deleteContador();

int countContribuintes(const QString& ie);
// A new company with its Simples Nacional flag as the server reported it.
void insertContribuinte(const ContribuinteRecord& contribuinte);
// The company of that IE: its razão social, CNAE, CCM, key and Simples Nacional flag. IE and CNPJ
// stay as stored.
void updateContribuinte(const ContribuinteRecord& contribuinte);
QList<ContribuinteRecord> listContribuintes();
std::optional<ContribuinteRecord> findContribuinte(const QString& ie);
void deleteContribuinte(const QString& ie);
// A company taken from a NovaGIA export, with the Simples Nacional flag the server gave with its
// key; CCM keeps its column default.
void importContribuinte(const QString& ie, const QString& razaoSocial, const QString& cnpj, const QString& cnae,
                        const QString& chave, bool optanteSimples);

// The register brought from another computer, in one transaction: the accountant (replacing the
// one stored) when given, the new companies inserted, the replaced ones rewritten in every column
// but IE. A failure stores nothing.
void gravaCadastroImportado(const std::optional<ContadorRecord>& contador, const QList<ContribuinteRecord>& novas,
                            const QList<ContribuinteRecord>& substituidas);

} // namespace cadastro
} // namespace tervalia
