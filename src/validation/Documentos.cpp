#include "validation/Documentos.h"

#include "validation/Digitos.h"

#include <array>

namespace tervalia {

namespace {

// Both numbers end in two modulus-11 check digits; the second one also weighs the first.
template <std::size_t N>
bool confereDoisDigitos(const QString& texto, const std::array<int, N>& pesosPrimeiro,
                        const std::array<int, N + 1>& pesosSegundo)
{
    const Digitos d(texto);
    return d.em(N + 1) == moduloOnze(d.soma(pesosPrimeiro)) && d.em(N + 2) == moduloOnze(d.soma(pesosSegundo));
}

} // namespace

bool CNPJValida(const QString& texto)
{
    static constexpr std::array<int, 12> primeiro{5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    static constexpr std::array<int, 13> segundo{6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    return confereDoisDigitos(texto, primeiro, segundo);
}

bool CPFValida(const QString& texto)
{
    static constexpr std::array<int, 9> primeiro{10, 9, 8, 7, 6, 5, 4, 3, 2};
    static constexpr std::array<int, 10> segundo{11, 10, 9, 8, 7, 6, 5, 4, 3, 2};
    return confereDoisDigitos(texto, primeiro, segundo);
}

} // namespace tervalia
