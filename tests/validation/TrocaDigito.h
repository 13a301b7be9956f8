#pragma once

#include <QString>

namespace tervalia::test {

// The typed text with its digit at `posicao` (counted from 1 among the digits only) set to `valor`.
inline QString trocaDigito(QString texto, int posicao, int valor)
{
    for (QChar& c : texto) {
        if (c >= u'0' && c <= u'9' && --posicao == 0) {
            c = QChar(u'0' + valor);
            break;
        }
    }
    return texto;
}

inline int digitoEm(const QString& texto, int posicao)
{
    for (const QChar c : texto) {
        if (c >= u'0' && c <= u'9' && --posicao == 0)
            return c.unicode() - u'0';
    }
    return -1;
}

} // namespace tervalia::test
