#include "SelecionarCertificado.h"

namespace tervalia {

// Placeholder until the certificate store is in: no certificate can be chosen.
ResultadoCertificado SelecionarCertificado(QWidget*, const PedidoCertificado& pedido)
{
    return {pedido.certificadoValido, std::nullopt};
}

} // namespace tervalia
