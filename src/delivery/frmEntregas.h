#pragma once

#include "platform/SingleWindow.h"
#include "storage/Entregas.h"

#include <QList>
#include <QWidget>

#include <memory>

namespace Ui {
class frmEntregas;
}

namespace tervalia {

// The deliveries made from this computer, newest first, as kept in the program directory's
// entregas/ folder: what was sent, what the server answered first (a refusal marked), and the
// content's size and fingerprint. Escape closes it.
class frmEntregas : public QWidget, public SingleWindow<frmEntregas>
{
    Q_OBJECT

public:
    enum Coluna { ColData, ColIe, ColRazaoSocial, ColArquivo, ColResposta, ColTamanho, ColSha256, ColCount };

    explicit frmEntregas(QWidget* parent = nullptr);
    ~frmEntregas() override;

    // Shows the one instance with the list read afresh.
    static frmEntregas* abrir();

    // The entry of the selected row, if any.
    const Entrega* entregaSelecionada() const;

private:
    void carrega();
    void abrirPasta();

    std::unique_ptr<Ui::frmEntregas> m_ui;
    QList<Entrega> m_entregas;
};

} // namespace tervalia
