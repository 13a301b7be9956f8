#include "CopiaBanco.h"

#include "Database.h"

#include <QFile>

#include <sqlite3.h>

namespace tervalia {

namespace {
struct Banco
{
    sqlite3* db = nullptr;
    ~Banco() { sqlite3_close_v2(db); }

    int abre(const QByteArray& nome, int modo) { return sqlite3_open_v2(nome.constData(), &db, modo, nullptr); }
    QString erro(int codigo) const
    {
        return descricaoErroBanco(codigo, db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString());
    }
    // The single value of a one-row query; nullopt-like failure through codigo.
    QString valor(const char* sql, int& codigo) const
    {
        sqlite3_stmt* st = nullptr;
        codigo = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
        QString texto;
        if (codigo == SQLITE_OK) {
            codigo = sqlite3_step(st);
            if (codigo == SQLITE_ROW) {
                texto = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
                codigo = SQLITE_OK;
            }
        }
        sqlite3_finalize(st);
        return texto;
    }
    int empresas(int& codigo) const
    {
        const QString n = valor("select count(*) from tblContribuinte", codigo);
        if (codigo == SQLITE_OK)
            valor("select count(*) from tblContador", codigo);
        return n.toInt();
    }
};

constexpr int leitura = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX;
} // namespace

CopiaBanco copiaBanco(const QString& caminho)
{
    CopiaBanco copia;
    Banco origem, memoria;
    int codigo = origem.abre(QFile::encodeName(caminho), leitura);
    if (codigo != SQLITE_OK) {
        copia.erro = origem.erro(codigo);
        return copia;
    }
    // A writer elsewhere holds the file for a moment at most: wait for it rather than fail.
    sqlite3_busy_timeout(origem.db, 5000);
    memoria.abre(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    sqlite3_backup* backup = sqlite3_backup_init(memoria.db, "main", origem.db, "main");
    if (!backup) {
        copia.erro = memoria.erro(sqlite3_errcode(memoria.db));
        return copia;
    }
    // One step of every page: the copy is taken under one read lock, so it is of one moment.
    do {
        codigo = sqlite3_backup_step(backup, -1);
        if (codigo == SQLITE_BUSY || codigo == SQLITE_LOCKED)
            sqlite3_sleep(50);
    } while (codigo == SQLITE_OK || codigo == SQLITE_BUSY || codigo == SQLITE_LOCKED);
    sqlite3_backup_finish(backup);
    if (codigo != SQLITE_DONE) {
        // The step's failure is the backup's own: the source connection would say "not an error".
        copia.erro = descricaoErroBanco(codigo, QString::fromUtf8(sqlite3_errstr(codigo)));
        return copia;
    }
    copia.empresas = memoria.empresas(codigo);
    if (codigo != SQLITE_OK) {
        copia.erro = memoria.erro(codigo);
        return copia;
    }
    sqlite3_int64 tamanho = 0;
    unsigned char* bytes = sqlite3_serialize(memoria.db, "main", &tamanho, 0);
    if (!bytes) {
        copia.erro = descricaoErroBanco(SQLITE_NOMEM, {});
        return copia;
    }
    copia.conteudo = QByteArray(reinterpret_cast<const char*>(bytes), qsizetype(tamanho));
    sqlite3_free(bytes);
    return copia;
}

VerificacaoBanco verificaBanco(const QString& caminho)
{
    VerificacaoBanco v;
    Banco banco;
    int codigo = banco.abre(QFile::encodeName(caminho), leitura);
    if (codigo == SQLITE_OK) {
        const QString integridade = banco.valor("pragma integrity_check", codigo);
        if (codigo == SQLITE_OK && integridade != QLatin1String("ok")) {
            v.erro = descricaoErroBanco(SQLITE_CORRUPT, integridade);
            return v;
        }
    }
    if (codigo == SQLITE_OK)
        v.empresas = banco.empresas(codigo);
    if (codigo != SQLITE_OK)
        v.erro = banco.erro(codigo);
    return v;
}

} // namespace tervalia
