#include "Cadastro.h"

#include "Database.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <functional>

namespace tervalia::cadastro {

namespace {
// Values read by column name; the names match in any letter case.
QString text(const QSqlQuery& q, const char* column)
{
    return q.record().value(QLatin1String(column)).toString();
}

ContadorRecord contadorFrom(const QSqlQuery& q)
{
    return {text(q, "cont_cpf_cnpj"),     text(q, "cont_num_crc"),     text(q, "cont_razao_nome"),
            text(q, "cont_nom_endereco"), text(q, "cont_num_predial"), text(q, "cont_dsc_complemento"),
            text(q, "cont_nom_bairro"),   text(q, "cont_nom_cidade"),  text(q, "cont_nom_estado"),
            text(q, "cont_num_telefone"), text(q, "cont_num_cep"),     text(q, "cont_email")};
}

ContribuinteRecord contribuinteFrom(const QSqlQuery& q)
{
    ContribuinteRecord c{text(q, "IE"),   text(q, "RazaoSocial"), text(q, "CNPJ"),
                         text(q, "CNAE"), text(q, "Chave"),       text(q, "CCM")};
    c.optanteSimples = q.record().value(QStringLiteral("OptanteSimples")).toInt() != 0;
    return c;
}

int total(Connection& db, const QString& statement, const QVariantList& values = {})
{
    QSqlQuery q = db.exec(statement, values);
    return q.next() ? q.record().value(QStringLiteral("total")).toInt() : 0;
}

void substituiContador(Connection& db, const ContadorRecord& c)
{
    db.exec(QStringLiteral("delete from tblContador"));
    db.exec(QStringLiteral("Insert into tblContador (cont_cpf_cnpj, cont_num_crc, cont_razao_nome, "
                           "cont_nom_endereco, cont_num_predial, cont_dsc_complemento, cont_nom_bairro, "
                           "cont_nom_cidade, cont_nom_estado, cont_num_telefone, cont_num_cep, cont_email) "
                           "values (?,?,?,?,?,?,?,?,?,?,?,?)"),
            {c.cpfCnpj, c.numCrc, c.razaoNome, c.nomEndereco, c.numPredial, c.dscComplemento, c.nomBairro, c.nomCidade,
             c.nomEstado, c.numTelefone, c.numCep, c.email});
}

// Runs the statements of `passos` in one transaction, undone whole when any fails.
void emTransacao(const std::function<void(Connection&)>& passos)
{
    Connection db;
    db.begin();
    try {
        passos(db);
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
}
} // namespace

int countContadores()
{
    Connection db;
    return total(db, QStringLiteral("select count(0) as total from tblContador"));
}

std::optional<ContadorRecord> readContador()
{
    Connection db;
    QSqlQuery q = db.exec(QStringLiteral("SELECT * FROM tblContador"));
    if (!q.next())
        return std::nullopt;
    return contadorFrom(q);
}

void replaceContador(const ContadorRecord& c)
{
    emTransacao([&](Connection& db) { substituiContador(db, c); });
}

void deleteContador()
{
    Connection db;
    db.exec(QStringLiteral("delete from tblContador"));
}

int countContribuintes(const QString& ie)
{
    Connection db;
    return total(db, QStringLiteral("select count(0) as total from tblContribuinte where IE = ?"), {ie});
}

void insertContribuinte(const ContribuinteRecord& c)
{
    Connection db;
    db.exec(QStringLiteral("Insert into tblContribuinte (IE,RazaoSocial,Cnpj,Cnae,Chave,CCM,OptanteSimples) "
                           "values (?,?,?,?,?,?,?)"),
            {c.ie, c.razaoSocial, c.cnpj, c.cnae, c.chave, c.ccm, c.optanteSimples ? 1 : 0});
}

void updateContribuinte(const ContribuinteRecord& c)
{
    Connection db;
    db.exec(QStringLiteral("Update tblContribuinte set RazaoSocial = ?,Cnae = ?,CCM = ?,Chave = ?,OptanteSimples = ? "
                           "where IE = ?"),
            {c.razaoSocial, c.cnae, c.ccm, c.chave, c.optanteSimples ? 1 : 0, c.ie});
}

QList<ContribuinteRecord> listContribuintes()
{
    Connection db;
    QList<ContribuinteRecord> rows;
    QSqlQuery q = db.exec(QStringLiteral("Select * From tblContribuinte"));
    while (q.next())
        rows.append(contribuinteFrom(q));
    return rows;
}

std::optional<ContribuinteRecord> findContribuinte(const QString& ie)
{
    Connection db;
    QSqlQuery q = db.exec(QStringLiteral("Select * from tblContribuinte where ie = ?"), {ie});
    if (!q.next())
        return std::nullopt;
    return contribuinteFrom(q);
}

void deleteContribuinte(const QString& ie)
{
    Connection db;
    db.exec(QStringLiteral("Delete From tblContribuinte where ie = ?"), {ie});
}

// The export file's values are texts: one the file leaves empty is stored as an empty text, never
// as NULL (a QString without data binds as NULL).
void importContribuinte(const QString& ie, const QString& razaoSocial, const QString& cnpj, const QString& cnae,
                        const QString& chave, bool optanteSimples)
{
    const auto texto = [](const QString& valor) { return valor.isNull() ? QStringLiteral("") : valor; };
    Connection db;
    db.exec(QStringLiteral("insert into tblContribuinte (IE, RazaoSocial, Cnpj, Cnae, Chave, OptanteSimples) "
                           "values (?,?,?,?,?,?)"),
            {texto(ie), texto(razaoSocial), texto(cnpj), texto(cnae), texto(chave), optanteSimples ? 1 : 0});
}

void gravaCadastroImportado(const std::optional<ContadorRecord>& contador, const QList<ContribuinteRecord>& novas,
                            const QList<ContribuinteRecord>& substituidas)
{
    emTransacao([&](Connection& db) {
        if (contador)
            substituiContador(db, *contador);
        for (const ContribuinteRecord& c : novas)
            db.exec(QStringLiteral("Insert into tblContribuinte (IE,RazaoSocial,Cnpj,Cnae,Chave,CCM,OptanteSimples) "
                                   "values (?,?,?,?,?,?,?)"),
                    {c.ie, c.razaoSocial, c.cnpj, c.cnae, c.chave, c.ccm, c.optanteSimples ? 1 : 0});
        for (const ContribuinteRecord& c : substituidas)
            db.exec(QStringLiteral("Update tblContribuinte set RazaoSocial = ?,Cnpj = ?,Cnae = ?,Chave = ?,CCM = ?,"
                                   "OptanteSimples = ? where IE = ?"),
                    {c.razaoSocial, c.cnpj, c.cnae, c.chave, c.ccm, c.optanteSimples ? 1 : 0, c.ie});
    });
}

} // namespace tervalia::cadastro
