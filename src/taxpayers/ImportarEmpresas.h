#pragma once

#include "platform/SingleWindow.h"
#include "taxpayers/ExportacaoNovaGia.h"

#include <QList>
#include <QWidget>

#include <memory>

namespace Ui {
class ImportarEmpresas;
}

namespace tervalia {

struct ResultadoEmpresa;

// Registers many companies at once from the company file the NovaGIA program exports: choose the
// file, preview and check its companies, then ask the server for each company's key with one
// certificate and store every company that gets one and is not yet stored.
class ImportarEmpresas : public QWidget, public SingleWindow<ImportarEmpresas>
{
    Q_OBJECT

public:
    // Columns of MSFlexGrid1.
    enum Coluna { ColIE, ColCNPJ, ColCNAE, ColRazaoSocial, ColCount };

    explicit ImportarEmpresas(QWidget* parent = nullptr);
    ~ImportarEmpresas() override;

    // Shows the one instance (modeless), creating it when it is not open, and brings it to the front.
    // Closing it switches the main window on, as every child window does.
    static ImportarEmpresas* abrir();

    bool importando() const { return m_importando; }

private:
    void Command2_Click();
    void Command3_Click();
    void Command1_Click();

    void setupGrid();
    void limpaPrevia();
    void mostraPrevia(const QList<EmpresaNovaGia>& empresas);
    void preencheLinha(int linha, const EmpresaNovaGia& empresa);
    void importa(const QList<EmpresaNovaGia>& empresas);
    // Tells the user what happened to the company; true when the import goes on.
    bool informa(const EmpresaNovaGia& empresa, const ResultadoEmpresa& resultado);
    void mostraProgresso(int numero, int total, const EmpresaNovaGia& empresa);
    void habilitaControles(bool habilitados);

    std::unique_ptr<Ui::ImportarEmpresas> m_ui;
    QList<EmpresaNovaGia> m_empresas; // the companies of the last preview without errors
    bool m_importando = false;
};

} // namespace tervalia
