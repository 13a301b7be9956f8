#pragma once

#include <QString>

class QWidget;

namespace tervalia {

struct EmpresaEntrega;

// The pieces of the main window's delivery button that need no main window.
namespace despacho {

// Why the delivery window of that regime cannot be opened for the company of IE ie now (it still
// waits for the answer to another company's upload); empty when it can.
QString impedimento(bool simples, const QString& ie);
// Shows the delivery window of that regime for the company.
QWidget* abreJanela(bool simples, const EmpresaEntrega& empresa);
// Appends the working year to the caption once: an empty year is in every caption, so nothing is
// appended before the first refresh.
void marcaAnoTrabalho(QWidget* janela, const QString& anoTrabalho);

} // namespace despacho
} // namespace tervalia
