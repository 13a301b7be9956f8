#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace tervalia::standin {

// Date and time as the server writes them in its answers: dd/MM/yyyy hh:mm:ss, 19 characters.
QString formatDataHora(const QDateTime& moment);

// Answer of "Transferencia.ecnpj" for a known company, 68 characters:
//   DATAHORA_SERVIDOR = 05/03/2026 14:30:00 SIMPLES = S CHAVE = AB12CD34
// date and time at 21-39, "S" or "N" at 51, the 8-character key at 61-68 (counted from 1).
QString respostaChave(const QDateTime& agora, bool simples, const QString& chave);

struct LinhaHistorico
{
    QString referencia;
    QString data;
    QString protocolo;
    int status = 1;
    QString adicionado;
};

// Answer of "Transferencia.ver2": the history document, whose root element's attributes put the
// server date at 32 (19 characters), the working year at 59 (9) and the latest version at 78 (20,
// padded with blanks):
//   <listaTransferencias dataHora="05/03/2026 14:30:00" anos="2025/2026" versao="1.15.01             ">
QString respostaHistorico(const QDateTime& agora, const QString& anoTrabalho, const QString& versao,
                          const QList<LinhaHistorico>& entregas);

struct MensagemEntrega
{
    QString protocolo; // empty: the message carries no PROTOCOLO attribute
    QString detalhe;
};

// Answer of "Transferencia.ver": <mensagens> with one <mensagem PROTOCOLO="…"><DETALHE>…</DETALHE>
// per message.
QString respostaDetalhes(const QList<MensagemEntrega>& mensagens);

} // namespace tervalia::standin
