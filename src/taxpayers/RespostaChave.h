#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace tervalia {

// What "Transferencia.ecnpj" answers for a known company, read from its fixed positions.
struct RespostaChave
{
    QDateTime dataServidor; // positions 21-39, dd/mm/yyyy hh:mm:ss
    bool optanteSimples{};  // position 51 is a capital "S"
    QString chave;          // positions 61-68, exactly 8 characters
};

// Asks the server for a company's key ("Transferencia.ecnpj" with the IE and CNPJ as shown and the
// fixed access code) and returns its whole answer. Throws SoapError when the exchange fails.
QString pedeChave(const QString& ie, const QString& cnpj);

// The "return" text read; nothing when it is too short to hold the key or its date does not read.
std::optional<RespostaChave> lerRespostaChave(const QString& retorno);

// The certificate holds x when x is not empty and occurs anywhere in its bytes (plain, case
// sensitive): e-CNPJ and e-CPF certificates carry their holder's digits in their names.
bool certificadoPossui(const QByteArray& documentoCertificado, const QString& x);

} // namespace tervalia
