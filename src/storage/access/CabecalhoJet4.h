#pragma once

// The database header page (page 0) of a Jet 4 file.

#include <QByteArray>
#include <QString>

namespace tervalia::access::jet4 {

// The header of an Access 2000 file with code page 1252 and the General sort order, created at
// `criacao` (days since 1899-12-30). The database password (20 characters at most) is stored as
// Access stores it: UTF-16, masked with the creation date, then the header's own RC4 mask.
QByteArray paginaCabecalho(double criacao, const QString& senha);

constexpr int maiorSenha = 20;

} // namespace tervalia::access::jet4
