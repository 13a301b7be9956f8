#include "validation/Digitos.h"

namespace tervalia {

Digitos::Digitos(const QString& texto)
{
    for (const QChar c : texto) {
        if (c >= u'0' && c <= u'9')
            m_digitos.append(c);
    }
}

int Digitos::em(qsizetype posicao) const
{
    if (posicao < 1 || posicao > m_digitos.size())
        return 0;
    return m_digitos.at(posicao - 1).unicode() - u'0';
}

int Digitos::soma(std::span<const int> pesos, qsizetype primeira) const
{
    int total = 0;
    for (const int peso : pesos)
        total += em(primeira++) * peso;
    return total;
}

int Digitos::numero(qsizetype quantos) const
{
    int valor = 0;
    for (qsizetype i = 1; i <= quantos && i <= m_digitos.size(); ++i)
        valor = valor * 10 + em(i);
    return valor;
}

void Digitos::corta(qsizetype inicio, qsizetype quantos)
{
    if (inicio >= 1)
        m_digitos = m_digitos.mid(inicio - 1, quantos);
}

int moduloOnze(int soma)
{
    const int digito = 11 - soma % 11;
    return digito >= 10 ? 0 : digito;
}

int restoOnze(int soma)
{
    const int digito = soma % 11;
    return digito >= 10 ? 0 : digito;
}

int moduloDez(int soma)
{
    const int resto = soma % 10;
    return resto == 0 ? 0 : 10 - resto;
}

} // namespace tervalia
