#pragma once

#include "JanelaEntrega.h"
#include "platform/SingleWindow.h"

#include <memory>

namespace Ui {
class frmUpload;
}

class QTableWidget;

namespace tervalia {

struct DocumentoVAF;

// The VAF debit/credit delivery: the user picks the company's VAF.GDB, it is converted into the
// program directory's vaf.db, the company's documents are listed (those outside the working year
// greyed, not selectable), and the selected ones of an accepted year are posted with vaf.db under
// the chosen file's name. The main window stays off until the list is shown.
class frmUpload : public JanelaEntrega, public SingleWindow<frmUpload>
{
    Q_OBJECT

public:
    explicit frmUpload(QWidget* parent = nullptr);
    ~frmUpload() override;

    // Shows the one instance for the company (see JanelaEntrega::abrirPara).
    static frmUpload* abrir(const EmpresaEntrega& empresa);

    bool convertendo() const { return m_convertendo; }

protected:
    void closeEvent(QCloseEvent* evento) override;
    void empresaTrocada() override;

private:
    void montaGrade();
    void larguraMinima();
    void file_Click(const QString& pasta, const QString& nome);
    void converte();
    void Command1_Click();
    void cmdUpload_Click();
    void selPRF_Click();
    void limpaLista();
    void preencheGrade(const QList<DocumentoVAF>& documentos);
    void marcaForaDoAno(QTableWidget* grade, int linha);
    void setControlesAtivos(bool ativos);

    std::unique_ptr<Ui::frmUpload> m_ui;
    QString m_nomeArquivo; // as the file list shows it
    bool m_msgTrabalho = false;
    bool m_convertendo = false;
};

} // namespace tervalia
