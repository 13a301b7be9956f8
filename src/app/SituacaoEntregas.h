#pragma once

#include "Historico.h"

#include <QDateTime>
#include <QHash>
#include <QString>

#include <optional>

// The delivery status of every company at a glance: what the last history call ("Transferencia.ver2")
// said about each one, kept in a file of the program directory of its own so that the window opens
// with the last state. No widgets here.
namespace tervalia::situacao {

// What is known about one company's deliveries.
struct Consulta
{
    // When the server last answered for this company; invalid when it never did.
    QDateTime em;
    bool chaveRecusada = false; // that answer refused the company's key
    QString anoTrabalho;        // the working year that answer carried
    // The latest delivery of that working year, when there is one.
    std::optional<historico::Linha> ultima;
    // Why the latest call failed, in Portuguese; empty when it got its answer. A failed call keeps
    // what the answer before it said.
    QString falha;

    bool consultada() const { return em.isValid(); }
    bool operator==(const Consulta&) const = default;
};

// Reads one whole answer of "Transferencia.ver2" as the history refresh does: the "return" text,
// the key's refusal ("CHAVE_I" anywhere in the answer), the deliveries and the working year at their
// fixed positions. An answer without a readable result or history is a failed call (falha set, the
// rest taken from anterior).
Consulta leResposta(const QString& respostaCompleta, const QDateTime& em, const Consulta& anterior = {});
// A call that got no answer: anterior with its failure.
Consulta comFalha(const QString& descricao, const Consulta& anterior = {});

// The latest of the deliveries whose reference holds the working year: the latest date, the one
// further down the history on a tie. None when the working year is blank.
std::optional<historico::Linha> ultimaDoAno(const QList<historico::Linha>& linhas, const QString& anoTrabalho);

// What the history says of a delivery's status, as the main window shows it on a click.
QString textoStatus(const QString& status);

// The file, situacao-entregas.json in the program directory, readable by its owner only.
QString arquivoRegistro();

struct Registro
{
    QDateTime atualizadoEm;            // end of the last "Atualizar" over every company
    QHash<QString, Consulta> empresas; // by IE
};

// The file as last written; an empty record when there is none. A file that cannot be read gives an
// empty record and the reason in *erro.
Registro carregaRegistro(QString* erro = nullptr);

// Writes these companies' consultations into the file, with the others as the file has them now
// (so that two writers never undo each other); atualizadoEm replaces the file's when valid. The
// file is replaced whole or not at all; one that could not be read is kept beside it as
// situacao-entregas-danificado.json. Returns what failed, in Portuguese, or the empty text.
QString gravaConsultas(const QHash<QString, Consulta>& consultas, const QDateTime& atualizadoEm = {});

} // namespace tervalia::situacao
