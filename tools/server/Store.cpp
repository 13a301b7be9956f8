#include "server/Store.h"

#include "net/Servidor.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace tervalia::standin {

namespace {

const char* const schema[] = {
    "CREATE TABLE IF NOT EXISTS configuracao (nome TEXT PRIMARY KEY, valor TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS empresa (ie TEXT PRIMARY KEY, cnpj TEXT NOT NULL, cnae TEXT NOT NULL,"
    " razao_social TEXT NOT NULL, simples INTEGER NOT NULL, chave TEXT NOT NULL UNIQUE)",
    "CREATE TABLE IF NOT EXISTS contador (id INTEGER PRIMARY KEY, recebido_em TEXT NOT NULL,"
    " cpf_cnpj TEXT, num_crc TEXT, razao_nome TEXT, nom_endereco TEXT, num_endereco TEXT, complemento TEXT,"
    " nom_bairro TEXT, nom_cidade TEXT, nom_estado TEXT, num_telefone TEXT, num_cep TEXT, email TEXT)",
    "CREATE TABLE IF NOT EXISTS envio (id INTEGER PRIMARY KEY, recebido_em TEXT NOT NULL, caminho TEXT NOT NULL,"
    " contador TEXT, chave TEXT, gias TEXT, campo TEXT, nome_arquivo TEXT, tipo_conteudo TEXT,"
    " tamanho INTEGER NOT NULL, conteudo BLOB, resposta TEXT)",
    "CREATE TABLE IF NOT EXISTS entrega (id INTEGER PRIMARY KEY, ie TEXT NOT NULL REFERENCES empresa(ie),"
    " protocolo TEXT NOT NULL UNIQUE, referencia TEXT NOT NULL, data TEXT NOT NULL, status INTEGER NOT NULL,"
    " adicionado TEXT NOT NULL, tipo TEXT NOT NULL, contador TEXT, gias TEXT, envio_id INTEGER REFERENCES envio(id))",
    "CREATE TABLE IF NOT EXISTS mensagem (id INTEGER PRIMARY KEY,"
    " entrega_id INTEGER NOT NULL REFERENCES entrega(id), protocolo TEXT, detalhe TEXT NOT NULL)",
};

const QString entregaColumns =
    QStringLiteral("e.id, e.ie, e.protocolo, e.referencia, e.data, e.status, e.adicionado, e.tipo, e.contador, e.gias,"
                   " v.nome_arquivo, v.tamanho FROM entrega e LEFT JOIN envio v ON v.id = e.envio_id");

Entrega readEntrega(const QSqlQuery& q)
{
    Entrega e;
    e.id = q.value(0).toLongLong();
    e.ie = q.value(1).toString();
    e.protocolo = q.value(2).toString();
    e.referencia = q.value(3).toString();
    e.data = q.value(4).toString();
    e.status = q.value(5).toInt();
    e.adicionado = q.value(6).toString();
    e.tipo = q.value(7).toString();
    e.contador = q.value(8).toString();
    e.gias = q.value(9).toString();
    e.nomeArquivo = q.value(10).toString();
    e.tamanhoArquivo = q.value(11).toLongLong();
    return e;
}

Empresa readEmpresa(const QSqlQuery& q)
{
    return {q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
            q.value(3).toString(), q.value(4).toString(), q.value(5).toBool()};
}

const QString empresaColumns = QStringLiteral("ie, cnpj, cnae, razao_social, chave, simples FROM empresa");

QString text(const QString& s)
{
    return s.isNull() ? QStringLiteral("") : s; // NOT NULL columns take an empty text
}

} // namespace

Store::Store(const QString& path)
{
    static QAtomicInt counter;
    m_connection = QStringLiteral("tervalia-server-%1").arg(counter.fetchAndAddRelaxed(1));
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        throw StoreError(QStringLiteral("não foi possível criar a pasta %1").arg(info.absolutePath()).toStdString());
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    m_db.setDatabaseName(info.absoluteFilePath());
    if (!m_db.open())
        throw StoreError(
            QStringLiteral("não foi possível abrir %1: %2").arg(path, m_db.lastError().text()).toStdString());
    try {
        run(QStringLiteral("PRAGMA foreign_keys = ON"));
        createSchema();
    } catch (const StoreError& e) {
        throw StoreError(QStringLiteral("%1 não é um arquivo de estado utilizável: %2")
                             .arg(path, QString::fromStdString(e.what()))
                             .toStdString());
    }
}

Store::~Store()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
}

QSqlQuery Store::run(const QString& sql, const QVariantList& values) const
{
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw StoreError(QStringLiteral("erro no banco do servidor: %1").arg(q.lastError().text()).toStdString());
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        throw StoreError(QStringLiteral("erro no banco do servidor: %1").arg(q.lastError().text()).toStdString());
    return q;
}

void Store::createSchema()
{
    begin();
    try {
        for (const char* sql : schema)
            run(QString::fromLatin1(sql));
        commit();
    } catch (...) {
        rollback();
        throw;
    }
}

void Store::begin()
{
    if (!m_db.transaction())
        throw StoreError(QStringLiteral("erro no banco do servidor: %1").arg(m_db.lastError().text()).toStdString());
}

void Store::commit()
{
    if (!m_db.commit())
        throw StoreError(QStringLiteral("erro no banco do servidor: %1").arg(m_db.lastError().text()).toStdString());
}

void Store::rollback()
{
    m_db.rollback();
}

void Store::aplicarSemente(const Seed& seed)
{
    begin();
    try {
        setConfiguracao(QStringLiteral("ano_trabalho"), seed.anoTrabalho);
        setConfiguracao(QStringLiteral("versao"), seed.versao);
        for (const SeedEmpresa& e : seed.empresas) {
            gravarEmpresa(e);
            for (const SeedEntrega& d : e.entregas) {
                if (!protocoloExiste(d.protocolo))
                    gravarEntregaSemente(e.ie, e.simples, d);
            }
        }
        commit();
    } catch (...) {
        rollback();
        throw;
    }
}

void Store::setConfiguracao(const QString& nome, const QString& valor)
{
    run(QStringLiteral("INSERT INTO configuracao (nome, valor) VALUES (?, ?)"
                       " ON CONFLICT(nome) DO UPDATE SET valor = excluded.valor"),
        {nome, valor});
}

QString Store::configuracao(const QString& nome) const
{
    QSqlQuery q = run(QStringLiteral("SELECT valor FROM configuracao WHERE nome = ?"), {nome});
    return q.next() ? q.value(0).toString() : QString();
}

QString Store::anoTrabalho() const
{
    return configuracao(QStringLiteral("ano_trabalho"));
}

QString Store::versao() const
{
    return configuracao(QStringLiteral("versao"));
}

void Store::gravarEmpresa(const SeedEmpresa& e)
{
    QString chave = e.chave;
    if (chave.isEmpty()) {
        const std::optional<Empresa> existing = empresa(e.ie);
        chave = existing ? existing->chave : novaChave();
    }
    run(QStringLiteral("INSERT INTO empresa (ie, cnpj, cnae, razao_social, simples, chave) VALUES (?, ?, ?, ?, ?, ?)"
                       " ON CONFLICT(ie) DO UPDATE SET cnpj = excluded.cnpj, cnae = excluded.cnae,"
                       " razao_social = excluded.razao_social, simples = excluded.simples, chave = excluded.chave"),
        {e.ie, text(e.cnpj), text(e.cnae), e.razaoSocial, e.simples ? 1 : 0, chave});
}

void Store::gravarEntregaSemente(const QString& ie, bool simples, const SeedEntrega& d)
{
    Entrega e;
    e.ie = ie;
    e.protocolo = d.protocolo;
    e.referencia = d.referencia;
    e.data = d.data;
    e.status = d.status;
    e.adicionado = d.adicionado;
    e.tipo = simples ? QStringLiteral("simples") : QStringLiteral("vaf");
    QList<MensagemEntrega> mensagens;
    for (const SeedMensagem& m : d.mensagens)
        mensagens.append({m.protocolo, m.detalhe});
    inserirMensagens(inserirEntrega(e, 0), mensagens);
}

qint64 Store::inserirEntrega(const Entrega& e, qint64 envioId)
{
    QSqlQuery q = run(QStringLiteral("INSERT INTO entrega (ie, protocolo, referencia, data, status, adicionado, tipo,"
                                     " contador, gias, envio_id) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                      {e.ie, e.protocolo, text(e.referencia), text(e.data), e.status, text(e.adicionado), e.tipo,
                       e.contador, e.gias, envioId > 0 ? QVariant(envioId) : QVariant()});
    return q.lastInsertId().toLongLong();
}

void Store::inserirMensagens(qint64 entregaId, const QList<MensagemEntrega>& mensagens)
{
    for (const MensagemEntrega& m : mensagens) {
        run(QStringLiteral("INSERT INTO mensagem (entrega_id, protocolo, detalhe) VALUES (?, ?, ?)"),
            {entregaId, m.protocolo.isEmpty() ? QVariant() : QVariant(m.protocolo), m.detalhe});
    }
}

QString Store::novaChave() const
{
    static const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    for (;;) {
        QString chave;
        for (int i = 0; i < servidor::chave::lenChave; ++i)
            chave += alphabet.at(QRandomGenerator::global()->bounded(alphabet.size()));
        if (!empresaPorChave(chave))
            return chave;
    }
}

bool Store::protocoloExiste(const QString& protocolo) const
{
    return run(QStringLiteral("SELECT 1 FROM entrega WHERE protocolo = ?"), {protocolo}).next();
}

std::optional<Empresa> Store::empresa(const QString& ie) const
{
    QSqlQuery q = run(QStringLiteral("SELECT ") + empresaColumns + QStringLiteral(" WHERE ie = ?"), {ie});
    if (!q.next())
        return std::nullopt;
    return readEmpresa(q);
}

std::optional<Empresa> Store::empresaPorChave(const QString& chave) const
{
    QSqlQuery q = run(QStringLiteral("SELECT ") + empresaColumns + QStringLiteral(" WHERE chave = ?"), {chave});
    if (!q.next())
        return std::nullopt;
    return readEmpresa(q);
}

QList<Entrega> Store::entregas(const QString& ie) const
{
    QSqlQuery q =
        run(QStringLiteral("SELECT ") + entregaColumns + QStringLiteral(" WHERE e.ie = ? ORDER BY e.id"), {ie});
    QList<Entrega> list;
    while (q.next())
        list.append(readEntrega(q));
    return list;
}

std::optional<Entrega> Store::entrega(const QString& protocolo) const
{
    QSqlQuery q =
        run(QStringLiteral("SELECT ") + entregaColumns + QStringLiteral(" WHERE e.protocolo = ?"), {protocolo});
    if (!q.next())
        return std::nullopt;
    return readEntrega(q);
}

QList<MensagemEntrega> Store::mensagens(qint64 entregaId) const
{
    QSqlQuery q =
        run(QStringLiteral("SELECT protocolo, detalhe FROM mensagem WHERE entrega_id = ? ORDER BY id"), {entregaId});
    QList<MensagemEntrega> list;
    while (q.next())
        list.append({q.value(0).toString(), q.value(1).toString()});
    return list;
}

qint64 Store::gravarEnvio(const Envio& v)
{
    QSqlQuery q = run(QStringLiteral("INSERT INTO envio (recebido_em, caminho, contador, chave, gias, campo,"
                                     " nome_arquivo, tipo_conteudo, tamanho, conteudo, resposta)"
                                     " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                      {v.recebidoEm, v.caminho, v.contador, v.chave, v.gias, v.campo, v.nomeArquivo, v.tipoConteudo,
                       qint64(v.conteudo.size()), v.conteudo, v.resposta});
    return q.lastInsertId().toLongLong();
}

void Store::definirResposta(qint64 envioId, const QString& resposta)
{
    run(QStringLiteral("UPDATE envio SET resposta = ? WHERE id = ?"), {resposta, envioId});
}

QString Store::criarEntrega(const Entrega& entrega, const QList<MensagemEntrega>& mensagens, qint64 envioId, int ano)
{
    begin();
    try {
        // Protocol numbers are the year and a sequence: 2026000001, 2026000002, ...
        QSqlQuery count = run(QStringLiteral("SELECT COUNT(*) FROM entrega"));
        qint64 n = count.next() ? count.value(0).toLongLong() + 1 : 1;
        Entrega e = entrega;
        do {
            e.protocolo = QStringLiteral("%1%2").arg(ano).arg(n++, 6, 10, QLatin1Char('0'));
        } while (protocoloExiste(e.protocolo));
        inserirMensagens(inserirEntrega(e, envioId), mensagens);
        commit();
        return e.protocolo;
    } catch (...) {
        rollback();
        throw;
    }
}

void Store::gravarContador(const QStringList& campos, const QString& recebidoEm)
{
    QVariantList values{recebidoEm};
    for (qsizetype i = 0; i < 12; ++i)
        values.append(i < campos.size() ? campos[i] : QString());
    run(QStringLiteral("INSERT INTO contador (recebido_em, cpf_cnpj, num_crc, razao_nome, nom_endereco, num_endereco,"
                       " complemento, nom_bairro, nom_cidade, nom_estado, num_telefone, num_cep, email)"
                       " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        values);
}

QList<QStringList> Store::contadores() const
{
    QSqlQuery q = run(QStringLiteral("SELECT cpf_cnpj, num_crc, razao_nome, nom_endereco, num_endereco, complemento,"
                                     " nom_bairro, nom_cidade, nom_estado, num_telefone, num_cep, email"
                                     " FROM contador ORDER BY id"));
    QList<QStringList> list;
    while (q.next()) {
        QStringList campos;
        for (int i = 0; i < 12; ++i)
            campos.append(q.value(i).toString());
        list.append(campos);
    }
    return list;
}

QList<Envio> Store::envios() const
{
    QSqlQuery q = run(QStringLiteral("SELECT recebido_em, caminho, contador, chave, gias, campo, nome_arquivo,"
                                     " tipo_conteudo, conteudo, resposta FROM envio ORDER BY id"));
    QList<Envio> list;
    while (q.next()) {
        list.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                     q.value(4).toString(), q.value(5).toString(), q.value(6).toString(), q.value(7).toString(),
                     q.value(8).toByteArray(), q.value(9).toString()});
    }
    return list;
}

} // namespace tervalia::standin
