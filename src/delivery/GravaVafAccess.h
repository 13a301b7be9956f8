#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace tervalia {

class Connection;

struct ResultadoGravacaoAccess
{
    bool ok = false;
    QString erro; // Portuguese text for the user when !ok, naming the table
    qint64 linhas = 0;
};

// Writes the Access database `destino` (the file posted to the server) from the rows of `vaf` (the
// working SQLite database the conversion filled), one table after the other in the order of
// `tabelas`, with the layout of the empty Access database `modelo`: every table of the list must be
// in it, and its columns are matched to the SQLite columns by name. `tabelaIniciada` is called
// before each table, `pulso` every few hundred rows so that the caller can repaint. On failure no
// file is left at `destino`.
ResultadoGravacaoAccess GravaVafAccess(Connection& vaf, const QString& modelo, const QString& destino,
                                       const QStringList& tabelas,
                                       const std::function<void(const QString&)>& tabelaIniciada = {},
                                       const std::function<void()>& pulso = {});

// The password with which the server opens the posted database.
QString senhaVafAccess();

} // namespace tervalia
