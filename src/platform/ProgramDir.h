#pragma once

#include <QString>

namespace tervalia {

// The program directory holds dipam.ini, the databases, info.dip, fbexport and temp/.
// It is the directory of the executable; tests point it at a directory of their own.
QString programDir();
void setProgramDir(const QString& dir);

// Absolute path of a file that lives in the program directory.
QString programFile(const QString& name);

} // namespace tervalia
