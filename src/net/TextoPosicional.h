#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// The server's answers that carry their values at fixed character positions.
namespace tervalia {

// The `tamanho` characters from the 1-based `posicao`, cut short at the end of the text.
QString trecho(const QString& texto, int posicao, int tamanho);

// The server's "dd/mm/yyyy hh:mm:ss" as a local date and time, read the same whatever the user's
// locale. Blanks around it are ignored and single-digit fields accepted; anything else gives
// nothing.
std::optional<QDateTime> converteDataServidor(const QString& texto);

} // namespace tervalia
