#pragma once

#include "server/Respostas.h"
#include "server/Seed.h"

#include <optional>
#include <QSqlDatabase>
#include <QStringList>
#include <QVariantList>
#include <stdexcept>

class QSqlQuery;

namespace tervalia::standin {

// The server's own state file cannot be opened or written; the message is in Portuguese.
class StoreError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct Empresa
{
    QString ie; // 13 digits
    QString cnpj;
    QString cnae;
    QString razaoSocial;
    QString chave;
    bool simples = false;
};

struct Entrega
{
    qint64 id = 0;
    QString ie;
    QString protocolo;
    QString referencia;
    QString data;
    int status = 1;
    QString adicionado;
    QString tipo; // "vaf" or "simples"
    QString contador;
    QString gias;
    QString nomeArquivo; // of the upload that made it; empty for seeded deliveries
    qint64 tamanhoArquivo = 0;
};

// One upload as received, kept whatever the answer was.
struct Envio
{
    QString recebidoEm;
    QString caminho;
    QString contador;
    QString chave;
    QString gias;
    QString campo;
    QString nomeArquivo;
    QString tipoConteudo;
    QByteArray conteudo;
    QString resposta;
};

// The stand-in server's state: an SQLite file of its own, created when missing.
class Store
{
public:
    explicit Store(const QString& path);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // Companies and settings follow the seed at every start; its deliveries are added once (a
    // protocol already stored is left alone).
    void aplicarSemente(const Seed& seed);

    QString anoTrabalho() const;
    QString versao() const;

    std::optional<Empresa> empresa(const QString& ie) const;
    std::optional<Empresa> empresaPorChave(const QString& chave) const;

    QList<Entrega> entregas(const QString& ie) const; // in the order received
    std::optional<Entrega> entrega(const QString& protocolo) const;
    QList<MensagemEntrega> mensagens(qint64 entregaId) const;

    qint64 gravarEnvio(const Envio& envio);
    void definirResposta(qint64 envioId, const QString& resposta);
    // Creates a delivery of the company from an upload and returns its new protocol number.
    QString criarEntrega(const Entrega& entrega, const QList<MensagemEntrega>& mensagens, qint64 envioId, int ano);

    // The accountant fields in the order the service receives them.
    void gravarContador(const QStringList& campos, const QString& recebidoEm);
    QList<QStringList> contadores() const;
    QList<Envio> envios() const;

private:
    QSqlQuery run(const QString& sql, const QVariantList& values = {}) const;
    void createSchema();
    void setConfiguracao(const QString& nome, const QString& valor);
    QString configuracao(const QString& nome) const;
    void gravarEmpresa(const SeedEmpresa& e);
    void gravarEntregaSemente(const QString& ie, bool simples, const SeedEntrega& e);
    qint64 inserirEntrega(const Entrega& e, qint64 envioId);
    void inserirMensagens(qint64 entregaId, const QList<MensagemEntrega>& mensagens);
    QString novaChave() const;
    bool protocoloExiste(const QString& protocolo) const;
    void begin();
    void commit();
    void rollback();

    QString m_connection;
    QSqlDatabase m_db;
};

} // namespace tervalia::standin
