#pragma once

#include "storage/Cadastro.h"

#include <QString>

namespace tervalia {

// The registered accountant as stored, mask punctuation included; every field is empty when no
// accountant is stored. A database failure throws DatabaseError to the caller.
ContadorRecord DadosContador();

// The accountant's document number without ".", "-" and "/": what a certificate must carry to be
// the accountant's. Empty when no accountant is stored.
QString cpfCnpjContador(const ContadorRecord& contador);
QString cpfCnpjContador();

} // namespace tervalia
