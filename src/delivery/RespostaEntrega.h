#pragma once

#include <QString>

namespace tervalia {

// What the server's answer to a delivery says, read from its first line.
struct LeituraResposta
{
    QString primeiraLinha;
    QString protocolo; // the number after "PROTOCOLO"; empty when the answer names none
    // No protocol, or a refusal marker: nothing was registered as delivered.
    bool recusada = true;
};

LeituraResposta leResposta(const QString& primeiraLinha);

// The line the main window keeps after a delivery: the protocol (or the refusal), the company and
// the server's first line, and what the window adds (the documents sent).
QString resultadoEntrega(const LeituraResposta& resposta, const QString& razaoSocial, const QString& ie,
                         const QString& detalhe);

struct RespostaUpload;

// Keeps this computer's record of one delivery in entregas/ from what the upload sent and received,
// for the company it was sent for; returns why the copy could not be kept, or an empty text.
QString registraEntrega(const QString& ie, const QString& razaoSocial, const RespostaUpload& resposta);

} // namespace tervalia
