#pragma once

#include <QWidget>

#include <memory>

class QTableWidget;

namespace Ui {
class ListaContribuintes;
}

namespace tervalia {

// The list of every registered taxpayer that the selection, update and deletion windows share:
// the grid GridSelContribuinte, read once when the window opens, and OK and Cancel.
class ListaContribuintes : public QWidget
{
    Q_OBJECT

public:
    enum Coluna { ColIE, ColRazaoSocial, ColCnpj, ColCnae, ColChave, ColCount };

    ~ListaContribuintes() override;

protected:
    ListaContribuintes(const QString& titulo, const QString& instrucao);

    // Fills the grid from the register. A database failure is reported and returns false.
    bool Form_Load();

public:
    // Loads the grid once, before the window is first shown.
    bool carrega() { return Form_Load(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

    // A row is picked when the current row holds a razão social.
    bool linhaEscolhida() const;
    QString celula(int coluna) const;

    virtual void cmdOK_Click() = 0;

private:
    void setupGrid();
    void ajustaColunas();

    std::unique_ptr<Ui::ListaContribuintes> m_ui;
};

} // namespace tervalia
