#pragma once

#include <QString>

#include <span>

namespace tervalia {

// The digits of a typed document number. Only the characters "0" to "9" count, wherever they
// stand; a position beyond the last digit reads as 0, so short numbers are judged as if padded
// with zeros on the right and surplus digits are never looked at.
class Digitos
{
public:
    explicit Digitos(const QString& texto);

    qsizetype tamanho() const { return m_digitos.size(); }

    // The digit at a position counted from 1.
    int em(qsizetype posicao) const;

    // Sum of each digit times its weight, the first weight going with position `primeira`.
    int soma(std::span<const int> pesos, qsizetype primeira = 1) const;

    // The number formed by the first `quantos` digits, or by all of them when there are fewer.
    int numero(qsizetype quantos) const;

    // Keeps at most `quantos` digits from position `inicio` on. Nothing is left when `inicio` lies
    // beyond the last digit; a start before position 1 leaves the digits as they are.
    void corta(qsizetype inicio, qsizetype quantos);

private:
    QString m_digitos;
};

// Check digit from a weighted sum, modulus 11: 11 minus the remainder, 10 and 11 giving 0.
int moduloOnze(int soma);
// Check digit equal to the remainder modulus 11, 10 giving 0.
int restoOnze(int soma);
// Check digit modulus 10: 10 minus the remainder, a remainder of 0 giving 0.
int moduloDez(int soma);

} // namespace tervalia
