#pragma once

#include "storage/Cadastro.h"

#include <QList>
#include <QSet>
#include <QString>

#include <optional>

// The register kept by the municipality's older program in its Access file dipam.mdb: the
// accountant in tblContador and the companies, each with its key, in tblContribuinte. Bringing it
// over asks nothing of the server: the keys come from the file.
namespace tervalia {

struct LeituraCadastroAnterior
{
    QString erro; // in Portuguese; empty when the file was read whole
    std::optional<ContadorRecord> contador;
    QList<ContribuinteRecord> empresas; // in file order; blanks around each text dropped
};

// Reads the file through the helper leitor-access (storage/LeituraAccess.h), columns by name in any
// letter case; a file that crashes, hangs or bloats the reader gets the message of an unreadable
// file. Writes nothing anywhere.
LeituraCadastroAnterior leCadastroAnterior(const QString& caminho);

enum class MarcaEmpresa {
    Nova,         // not registered here
    MesmosDados,  // registered here with exactly these data
    OutrosDados,  // registered here with other data
    Inutilizavel, // cannot be registered: no IE, a wrong CNPJ, a key that is not 8 characters
};

struct EmpresaAnterior
{
    ContribuinteRecord arquivo;
    MarcaEmpresa marca = MarcaEmpresa::Nova;
    QString motivo; // why it is unusable
    std::optional<ContribuinteRecord> local;
};

// Marks each company of the file against those registered here.
QList<EmpresaAnterior> comparaEmpresas(const QList<ContribuinteRecord>& doArquivo,
                                       const QList<ContribuinteRecord>& locais);

struct ResumoImportacao
{
    int importadas = 0;   // new companies stored
    int substituidas = 0; // registered companies replaced by the file's data
    int mantidas = 0;     // registered companies kept as they were
    int recusadas = 0;    // unusable companies
    bool contadorGravado = false;
};

// Stores in one transaction the new companies, the registered ones whose IE is in `substituir`,
// and the accountant when one is given. Throws DatabaseError; nothing is stored then.
ResumoImportacao importaCadastroAnterior(const QList<EmpresaAnterior>& empresas, const QSet<QString>& substituir,
                                         const std::optional<ContadorRecord>& contador);

} // namespace tervalia
