#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <optional>

// What the helper program leitor-access prints on its standard output and the program reads back:
// the tables asked for of one Access file, with every row.
//
// The output is a run of items, each one letter, the length of its data in decimal, a colon, the
// data and a newline ("S5:Ol\xc3\xa1!\n"), so no value can break the framing:
//   V "leitor-access 1"                      first, once
//   T name, C column name..., then per row R "" and one value item per column, E row count
//   Z ""                                     last, when every table asked for was read
//   F name                                   last instead, when that table is missing or unreadable
// Values: N NULL (no data), B "0"/"1", I integer, D double (shortest exact text), S text (UTF-8),
// X bytes, H date and time ("<julian day> <milliseconds of the day>", no data when invalid).
namespace tervalia::access {

// Exit statuses of leitor-access.
enum StatusLeitor {
    LeitorOk = 0,
    LeitorUso = 1,            // wrong arguments
    LeitorNaoEAccess = 2,     // missing, unreadable or not an Access file
    LeitorSemTabela = 3,      // a table asked for is not in the file (F names it)
    LeitorTabelaIlegivel = 4, // a table asked for cannot be read (F names it)
};

struct TabelaLida
{
    QString nome; // as the file spells it
    QStringList colunas;
    QList<QVariantList> linhas; // each with one value per column, typed as LeitorAccess gives them

    bool operator==(const TabelaLida&) const = default;
};

struct Transporte
{
    QList<TabelaLida> tabelas;    // read whole, in the order asked
    std::optional<QString> falha; // the table that ended the output, missing or unreadable

    bool operator==(const Transporte&) const = default;
};

// Writes the items, handing them to `saida` in blocks of some kilobytes.
class EscritaTransporte
{
public:
    explicit EscritaTransporte(std::function<void(QByteArrayView)> saida);
    ~EscritaTransporte();
    EscritaTransporte(const EscritaTransporte&) = delete;
    EscritaTransporte& operator=(const EscritaTransporte&) = delete;

    void tabela(const QString& nome, const QStringList& colunas);
    void linha(const QVariantList& valores);
    void fimDaTabela();
    // The last item: Z, or F naming the table that ended the output (a file may name one "").
    void termina(const std::optional<QString>& falha = std::nullopt);

private:
    void item(char letra, QByteArrayView dados);
    void valor(const QVariant& v);
    void descarrega();

    std::function<void(QByteArrayView)> m_saida;
    QByteArray m_bloco;
    qint64 m_linhas = 0;
};

// What leitor-access does: reads `arquivo` through LeitorAccess and writes the tables asked for
// (every user table when none is), stopping at the first missing or unreadable one. Returns the
// exit status.
int exportaTabelas(const QString& arquivo, const QStringList& tabelas,
                   const std::function<void(QByteArrayView)>& saida);

// The output read back; nullopt unless it is exactly such an output, whole. Any bytes are safe
// here; memory used stays in proportion to their number.
std::optional<Transporte> leTransporte(QByteArrayView bytes);

} // namespace tervalia::access
