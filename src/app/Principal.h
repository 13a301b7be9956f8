#pragma once

#include "platform/SingleWindow.h"

#include <QDateTime>
#include <QMainWindow>

#include <memory>

namespace Ui {
class Principal;
}

namespace tervalia {

// The main window: the hub from whose menus every other window opens. It holds the selected
// taxpayer (the captions of IESel, RSSel and lblChave) and what the last history refresh reported.
class Principal : public QMainWindow, public SingleWindow<Principal>
{
    Q_OBJECT

public:
    // Columns of GridTransmissoes.
    enum Coluna { ColReferencia, ColDataProcessamento, ColProtocolo, ColStatus, ColValorAdicionado, ColCount };

    explicit Principal(QWidget* parent = nullptr);
    ~Principal() override;

    // "Off" keeps the window visible but deaf to the user while a child window is in charge.
    void setInputEnabled(bool enabled);
    // Switches the open main window back on; children call this when they close.
    static void switchOn();

    // How a cell of the history grid is aligned.
    static Qt::Alignment alinhamentoColuna(int coluna);

    // Set by the last history refresh.
    QDateTime DataServidor;
    QString anoTrabalho;
    // The accountant's document, read when a delivery starts.
    QString thisCont_cpf_cnpj;

private:
    void setupGridTransmissoes();
    void novoContribuinte();
    void abrirContador();
    void abrirCriaContribuinte();
    void mostrarAjuda();
    void mostrarSobre();

    std::unique_ptr<Ui::Principal> m_ui;
};

} // namespace tervalia
