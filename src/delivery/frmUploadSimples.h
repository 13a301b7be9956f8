#pragma once

#include "JanelaEntrega.h"
#include "platform/SingleWindow.h"

#include <memory>

namespace Ui {
class frmUploadSimples;
}

namespace tervalia {

// The Simples Nacional delivery: the user picks the PGDAS PDF and it is posted unchanged; the
// server's refusal markers in its answer become messages. The main window stays usable meanwhile.
class frmUploadSimples : public JanelaEntrega, public SingleWindow<frmUploadSimples>
{
    Q_OBJECT

public:
    explicit frmUploadSimples(QWidget* parent = nullptr);
    ~frmUploadSimples() override;

    // Shows the one instance for the company (see JanelaEntrega::abrirPara).
    static frmUploadSimples* abrir(const EmpresaEntrega& empresa);

protected:
    void empresaTrocada() override;

private:
    void file_Click(const QString& pasta, const QString& nome);
    void cmdUpload_Click();

    std::unique_ptr<Ui::frmUploadSimples> m_ui;
    QString m_nomeArquivo; // as the file list shows it
};

} // namespace tervalia
