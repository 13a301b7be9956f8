#pragma once

#include "accountant/RegistroContador.h"
#include "platform/SingleWindow.h"

#include <QWidget>

#include <memory>

namespace Ui {
class frmContador;
}

namespace tervalia {

// The data of the one accountant on whose behalf the program works. OK reports what was typed to
// the municipality's server, checks the fields and replaces the stored accountant.
class frmContador : public QWidget, public SingleWindow<frmContador>
{
    Q_OBJECT

public:
    // Loads the stored accountant; a database failure throws DatabaseError and no window is left.
    explicit frmContador(QWidget* parent = nullptr);
    ~frmContador() override;

    // Shows the one instance, creating and loading it when it is not open. Throws DatabaseError.
    static frmContador* abrir();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void mudaMascaraDocumento(contador::TipoDocumento tipo);
    ContadorRecord campos() const;
    void txtCNPJCPF_LostFocus();
    void btnOK_Click();
    void confirma(const ContadorRecord& digitado);
    void Command2_Click();
    static void reabreVazia();

    std::unique_ptr<Ui::frmContador> m_ui;
    contador::TipoDocumento m_tipoDocumento = contador::TipoDocumento::Cnpj;
};

} // namespace tervalia
