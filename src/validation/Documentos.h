#pragma once

#include <QString>

namespace tervalia {

// Whether a company number (CNPJ, 14 digits) or a personal taxpayer number (CPF, 11 digits) carries
// the right pair of check digits. The number may be typed with any punctuation; only its digits
// count. There is no length check: callers test lengths themselves. Neither function can fail.
bool CNPJValida(const QString& texto);
bool CPFValida(const QString& texto);

} // namespace tervalia
