#pragma once

#include <QString>

namespace tervalia {

// Whether a state registration number (inscrição estadual) carries the right check digit or digits
// under the rule of the unit whose two-letter abbreviation is given, in capitals. The number may be
// typed with any punctuation; only its digits count, except where a unit's rule says otherwise.
// An abbreviation that is none of the 27 units accepts any number. The function cannot fail.
bool IEValida(const QString& texto, const QString& uf);

} // namespace tervalia
