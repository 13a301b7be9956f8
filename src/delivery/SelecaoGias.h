#pragma once

#include <QString>
#include <QStringList>

namespace tervalia {

// The documents chosen for one press of the send button: the numbers whose year the server accepts
// and the year message to show, if any.
struct SelecaoGias
{
    QStringList aceitas; // document numbers, from the lower grid row to the higher
    int giaCerta = 0;    // how many were accepted
    QString mensagemAno; // empty when nothing is to be shown
    QString lista() const { return aceitas.join(QLatin1Char(',')); }
};

// One grid row as the selection reads it: column 0 (the number) and column 1 (the reference,
// ending in the year).
struct LinhaGia
{
    QString nroGia;
    QString referencia;
};

// Whether the reference's year (its last four characters) is one the server accepts. A reference
// whose last four characters are not a year is never accepted.
bool anoAceito(const QString& referencia, const QString& anoTrabalho);

// Walks rows[linhaAtual .. fimSelecao] (0-based, either order) from the lower row to the higher.
// linhaAtual is where the selection was started, fimSelecao where it ends. The year message is
// given for the first refused row unless msgTrabalho is already set, which it then sets: "Você
// deverá consultar ..." when the selection was made downwards, "Somente serão aceitas GIAS de ..."
// for a single row or a selection made upwards. Rows outside the list are ignored.
SelecaoGias selecionaGias(const QList<LinhaGia>& linhas, int linhaAtual, int fimSelecao, const QString& anoTrabalho,
                          bool& msgTrabalho);

} // namespace tervalia
