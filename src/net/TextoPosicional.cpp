#include "TextoPosicional.h"

#include <QStringList>

namespace tervalia {

QString trecho(const QString& texto, int posicao, int tamanho)
{
    return texto.mid(posicao - 1, tamanho);
}

std::optional<QDateTime> converteDataServidor(const QString& texto)
{
    const QStringList partes = texto.trimmed().split(u' ', Qt::SkipEmptyParts);
    if (partes.size() != 2)
        return std::nullopt;
    // Explicit formats: the user's regional settings never decide the order of day and month.
    const QDate data = QDate::fromString(partes[0], QStringLiteral("d/M/yyyy"));
    const QTime hora = QTime::fromString(partes[1], QStringLiteral("H:m:s"));
    if (!data.isValid() || !hora.isValid())
        return std::nullopt;
    QDateTime momento(data, hora);
    // An hour skipped by a daylight-saving change does not exist locally: take the clock time an
    // hour earlier (counted without any such change) and move it one hour on, past the change.
    if (!momento.isValid()) {
        const QDateTime umaHoraAntes = QDateTime(data, hora, Qt::UTC).addSecs(-3600);
        momento = QDateTime(umaHoraAntes.date(), umaHoraAntes.time()).addSecs(3600);
    }
    return momento.isValid() ? std::optional(momento) : std::nullopt;
}

} // namespace tervalia
