#pragma once

#include "platform/SingleWindow.h"
#include "taxpayers/CadastroAnterior.h"

#include <QWidget>

#include <memory>

namespace Ui {
class frmImportarCadastro;
}

namespace tervalia {

// Brings the accountant and the companies over from the older program's dipam.mdb: the user picks
// the file, sees every company marked against those registered here, and imports in one go. No
// server is asked anything: the keys come from the file.
class frmImportarCadastro : public QWidget, public SingleWindow<frmImportarCadastro>
{
    Q_OBJECT

public:
    enum Coluna { ColSituacao, ColIE, ColRazaoSocial, ColCNPJ, ColCNAE, ColChave, ColCCM, ColSimples, ColCount };

    explicit frmImportarCadastro(QWidget* parent = nullptr);
    ~frmImportarCadastro() override;

    // Asks for the file and reads it. Shows the window with its preview, or says why the file
    // cannot be used and returns nullptr.
    static frmImportarCadastro* abrir(QWidget* pai);

private:
    void mostra(const QString& caminho, const LeituraCadastroAnterior& leitura, const QList<ContribuinteRecord>& locais,
                const std::optional<ContadorRecord>& contadorLocal);
    void mostraContador();
    void preencheLinha(int linha, const EmpresaAnterior& empresa);
    void ajustaColunas();
    void marcaTodas();
    void importa();
    QSet<QString> substituir() const;
    std::optional<ContadorRecord> contadorAGravar() const;

    std::unique_ptr<Ui::frmImportarCadastro> m_ui;
    std::optional<ContadorRecord> m_contadorArquivo;
    std::optional<ContadorRecord> m_contadorLocal;
    QList<EmpresaAnterior> m_empresas;
};

} // namespace tervalia
