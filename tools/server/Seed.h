#pragma once

#include <QList>
#include <QString>
#include <stdexcept>

namespace tervalia::standin {

// A seed file that cannot be used; the message is in Portuguese.
class SeedError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct SeedMensagem
{
    QString protocolo; // optional
    QString detalhe;
};

struct SeedEntrega
{
    QString protocolo;
    QString referencia;
    QString data; // dd/mm/yyyy hh:mm:ss
    int status = 1;
    QString adicionado;
    QList<SeedMensagem> mensagens;
};

struct SeedEmpresa
{
    QString ie;   // 13 digits
    QString cnpj; // as written, punctuation allowed; 14 digits
    QString cnae;
    bool simples = false;
    QString chave; // 8 letters or digits; empty: the server makes one
    QString razaoSocial;
    QList<SeedEntrega> entregas;
};

struct Seed
{
    QString anoTrabalho; // exactly 9 characters, e.g. 2025/2026
    QString versao;      // 1 to 20 characters
    QList<SeedEmpresa> empresas;
};

// Reads and checks a JSON seed (format in docs/servidor.md). Throws SeedError.
Seed parseSeed(const QByteArray& json);
Seed readSeed(const QString& path);

QString onlyDigits(QStringView text);

} // namespace tervalia::standin
