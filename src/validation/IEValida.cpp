#include "validation/IEValida.h"

#include "validation/Digitos.h"

#include <QLatin1String>

#include <span>

namespace tervalia {

namespace {

// Weights of positions 1, 2, 3, ... in order.
constexpr int noveADois[] = {9, 8, 7, 6, 5, 4, 3, 2};
constexpr int oitoADois[] = {8, 7, 6, 5, 4, 3, 2};
constexpr int dezADois[] = {10, 9, 8, 7, 6, 5, 4, 3, 2};
constexpr int seisADois[] = {6, 5, 4, 3, 2};
constexpr int treze1[] = {4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
constexpr int treze2[] = {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
constexpr int matoGrosso[] = {3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
constexpr int parana1[] = {3, 2, 7, 6, 5, 4, 3, 2};
constexpr int parana2[] = {4, 3, 2, 7, 6, 5, 4, 3, 2};
constexpr int rioDeJaneiro[] = {2, 7, 6, 5, 4, 3, 2};
constexpr int rioGrandeDoSul[] = {2, 9, 8, 7, 6, 5, 4, 3, 2};

// One modulus-11 check digit: the weighted sum of the positions before it, and where it stands.
struct Verificador
{
    std::span<const int> pesos;
    int posicao = 0;
};

bool confere(const Digitos& d, const Verificador& v)
{
    return d.em(v.posicao) == moduloOnze(d.soma(v.pesos));
}

// Units whose one or two check digits all follow the plain modulus-11 rule. A second digit is
// checked only when the first one is right.
struct UnidadeComum
{
    QLatin1String uf;
    Verificador primeiro;
    Verificador segundo; // position 0 when the unit has a single check digit
};

// clang-format off
const UnidadeComum comuns[] = {
    {QLatin1String("AC"), {treze1, 12},         {treze2, 13}},
    {QLatin1String("CE"), {noveADois, 9},       {}},
    {QLatin1String("DF"), {treze1, 12},         {treze2, 13}},
    {QLatin1String("ES"), {noveADois, 9},       {}},
    {QLatin1String("MA"), {noveADois, 9},       {}},
    {QLatin1String("MT"), {matoGrosso, 11},     {}},
    {QLatin1String("MS"), {noveADois, 9},       {}},
    {QLatin1String("PA"), {noveADois, 9},       {}},
    {QLatin1String("PB"), {noveADois, 9},       {}},
    {QLatin1String("PI"), {noveADois, 9},       {}},
    {QLatin1String("PR"), {parana1, 9},         {parana2, 10}},
    {QLatin1String("RJ"), {rioDeJaneiro, 8},    {}},
    {QLatin1String("RS"), {rioGrandeDoSul, 10}, {}},
    {QLatin1String("SC"), {noveADois, 9},       {}},
    {QLatin1String("SE"), {noveADois, 9},       {}},
};
// clang-format on

bool confereComum(const Digitos& d, const UnidadeComum& unidade)
{
    return confere(d, unidade.primeiro) && (unidade.segundo.posicao == 0 || confere(d, unidade.segundo));
}

// The weighted sum is multiplied by 10 before its remainder by 11 is taken as the digit.
bool alagoas(Digitos d, const QString&)
{
    return d.em(9) == restoOnze(d.soma(noveADois) * 10);
}

// Only numbers starting with "03" are checked. Each range of numbers adds its own constant to the
// sum and has its own digit for a remainder of 0.
bool amapa(Digitos d, const QString&)
{
    if (d.em(1) != 0 || d.em(2) != 3)
        return true;
    const int numero = d.numero(8);
    int acrescimo = 0;
    int digitoDoZero = 0;
    if (numero >= 3000001 && numero <= 3017000) {
        acrescimo = 5;
    } else if (numero >= 3017001 && numero <= 3019022) {
        acrescimo = 9;
        digitoDoZero = 1;
    }
    const int digito = 11 - (acrescimo + d.soma(noveADois)) % 11;
    return d.em(9) == (digito == 11 ? digitoDoZero : digito == 10 ? 0 : digito);
}

// A sum below 11 gives 11 minus the sum, so a sum of 0 has no valid digit.
bool amazonas(Digitos d, const QString&)
{
    const int soma = d.soma(noveADois);
    return d.em(9) == (soma < 11 ? 11 - soma : moduloOnze(soma));
}

// The second check digit (position 8) is computed first and weighs into the first (position 7).
// The 8th digit chooses the modulus of both: 11 for 6, 7 and 9, 10 for the others.
bool bahia(Digitos d, const QString&)
{
    static constexpr int pesosSegundo[] = {7, 6, 5, 4, 3, 2};
    static constexpr int pesosPrimeiro[] = {8, 7, 6, 5, 4, 3};
    const int oitavo = d.em(8);
    const auto regra = (oitavo == 6 || oitavo == 7 || oitavo == 9) ? moduloOnze : moduloDez;
    const int segundo = regra(d.soma(pesosSegundo));
    return oitavo == segundo && d.em(7) == regra(d.soma(pesosPrimeiro) + 2 * segundo);
}

// A remainder of 0 accepts any check digit. A remainder of 1 accepts any digit for the numbers
// 10103105 to 10119997 and for 11094402, and none for the others.
bool goias(Digitos d, const QString&)
{
    const int resto = d.soma(noveADois) % 11;
    const int numero = d.numero(8);
    if (resto == 0)
        return true;
    if (resto == 1)
        return numero == 11094402 || (numero >= 10103105 && numero <= 10119997);
    return d.em(9) == 11 - resto;
}

// First check digit: a 0 goes in after the 3-digit municipality code, the twelve digits are
// multiplied by 1 and 2 in turn, and the digits of all the products are added up; the check digit
// brings that total up to the next multiple of 10. The second is a plain modulus-11 digit.
bool minasGerais(Digitos d, const QString&)
{
    static constexpr int posicoes[] = {1, 2, 3, 0, 4, 5, 6, 7, 8, 9, 10, 11}; // position 0 reads as 0
    static constexpr int pesosSegundo[] = {3, 2, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2};
    int total = 0;
    for (int i = 0; i < 12; ++i) {
        const int produto = d.em(posicoes[i]) * (i % 2 == 0 ? 1 : 2);
        total += produto / 10 + produto % 10;
    }
    return d.em(12) == (10 - total % 10) % 10 && confere(d, {pesosSegundo, 13});
}

// Numbers of 13 or more digits are of the old 14-digit form with one check digit; shorter ones
// are of the 9-digit form with two.
bool pernambuco(Digitos d, const QString&)
{
    static constexpr int pesos14[] = {5, 4, 3, 2, 1, 9, 8, 7, 6, 5, 4, 3, 2};
    if (d.tamanho() >= 13)
        return confere(d, {pesos14, 14});
    return confere(d, {oitoADois, 8}) && confere(d, {noveADois, 9});
}

// Ten-digit numbers weigh nine digits; all others weigh eight.
bool rioGrandeDoNorte(Digitos d, const QString&)
{
    return d.tamanho() == 10 ? confere(d, {dezADois, 10}) : confere(d, {noveADois, 9});
}

// Old numbers are typed as "101.62521-3": municipality, company, check digit. Only the company's
// five digits and the check digit count. Longer numbers keep six digits from position L − 7 on,
// L being the length of the text as typed, punctuation included: where the company's digits start
// in that form.
bool rondonia(Digitos d, const QString& texto)
{
    if (d.tamanho() > 6)
        d.corta(texto.size() - 7, 6);
    return confere(d, {seisADois, 6});
}

// The check digit is the remainder by 9 of the sum.
bool roraima(Digitos d, const QString&)
{
    static constexpr int pesos[] = {1, 2, 3, 4, 5, 6, 7, 8};
    return d.em(9) == d.soma(pesos) % 9;
}

// Both check digits are the remainder by 11 itself. A rural producer's number starts with a
// capital "P" and has only the first one; the digits after it are not checked.
bool saoPaulo(Digitos d, const QString& texto)
{
    static constexpr int pesosPrimeiro[] = {1, 3, 4, 5, 6, 7, 8, 10};
    static constexpr int pesosSegundo[] = {3, 2, 10, 9, 8, 7, 6, 5, 4, 3, 2};
    if (d.em(9) != restoOnze(d.soma(pesosPrimeiro)))
        return false;
    return texto.startsWith(u'P') || d.em(12) == restoOnze(d.soma(pesosSegundo));
}

// Digits 3 and 4 tell the kind of establishment and are not weighed.
bool tocantins(Digitos d, const QString&)
{
    static constexpr int pesosInicio[] = {9, 8};
    static constexpr int pesosFim[] = {7, 6, 5, 4, 3, 2};
    return d.em(11) == moduloOnze(d.soma(pesosInicio) + d.soma(pesosFim, 5));
}

struct UnidadeEspecial
{
    QLatin1String uf;
    bool (*valida)(Digitos d, const QString& texto);
};

const UnidadeEspecial especiais[] = {
    {QLatin1String("AL"), alagoas},    {QLatin1String("AP"), amapa},
    {QLatin1String("AM"), amazonas},   {QLatin1String("BA"), bahia},
    {QLatin1String("GO"), goias},      {QLatin1String("MG"), minasGerais},
    {QLatin1String("PE"), pernambuco}, {QLatin1String("RN"), rioGrandeDoNorte},
    {QLatin1String("RO"), rondonia},   {QLatin1String("RR"), roraima},
    {QLatin1String("SP"), saoPaulo},   {QLatin1String("TO"), tocantins},
};

} // namespace

bool IEValida(const QString& texto, const QString& uf)
{
    const Digitos d(texto);
    for (const UnidadeComum& unidade : comuns) {
        if (uf == unidade.uf)
            return confereComum(d, unidade);
    }
    for (const UnidadeEspecial& unidade : especiais) {
        if (uf == unidade.uf)
            return unidade.valida(d, texto);
    }
    return true;
}

} // namespace tervalia
