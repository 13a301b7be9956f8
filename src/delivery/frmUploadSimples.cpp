#include "frmUploadSimples.h"
#include "ui_frmUploadSimples.h"

#include "app/JanelaPrincipal.h"
#include "net/Servidor.h"
#include "platform/MessageBox.h"

#include <QDir>
#include <QLineEdit>

namespace tervalia {

frmUploadSimples::frmUploadSimples(QWidget* parent)
    : JanelaEntrega(OpcoesUpload::simplesNacional(), parent), m_ui(std::make_unique<Ui::frmUploadSimples>())
{
    m_ui->setupUi(this);
    ligaPainel(m_ui->painelUpload, m_ui->lblEmpresa);
    m_ui->escolhaArquivo->setFinal(QStringLiteral("pdf"));
    connect(m_ui->escolhaArquivo, &EscolhaArquivo::arquivoEscolhido, this, &frmUploadSimples::file_Click);
    connect(m_ui->cmdUpload, &QPushButton::clicked, this, &frmUploadSimples::cmdUpload_Click);
    connect(m_ui->Command2, &QPushButton::clicked, this, &frmUploadSimples::cancela);
}

frmUploadSimples::~frmUploadSimples() = default;

frmUploadSimples* frmUploadSimples::abrir(const EmpresaEntrega& empresa)
{
    return abrirPara<frmUploadSimples>(empresa);
}

// A file chosen for the company before is not sent for this one.
void frmUploadSimples::empresaTrocada()
{
    m_ui->painelUpload->txtUploadFile->clear();
    m_nomeArquivo.clear();
    m_ui->cmdUpload->setEnabled(false);
}

// Only the last three characters of the name are looked at: what is inside the PDF is the server's
// business.
void frmUploadSimples::file_Click(const QString& pasta, const QString& nome)
{
    m_ui->painelUpload->txtUploadFile->setText(QDir::toNativeSeparators(QDir(pasta).filePath(nome)));
    m_nomeArquivo = nome;
    if (EscolhaArquivo::terminaCom(nome, QStringLiteral("pdf"))) {
        m_ui->cmdUpload->setEnabled(true);
        JanelaPrincipal::switchOn();
    } else {
        m_ui->cmdUpload->setEnabled(false);
        MessageBox::show(this, QStringLiteral("Arquivo Inválido"));
    }
}

void frmUploadSimples::cmdUpload_Click()
{
    const JanelaPrincipal* principal = JanelaPrincipal::aberta();
    const QString contador = principal ? principal->thisCont_cpf_cnpj : QString();
    // The Simples Nacional delivery names no documents: "gias" is always present and empty.
    enviar(EnderecoUpload(servidor::caminhoUploadSimples, contador, empresa().chave, QString()), m_nomeArquivo);
}

} // namespace tervalia
