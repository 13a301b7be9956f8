#include "ImportarEmpresas.h"
#include "ui_ImportarEmpresas.h"

#include "app/JanelaPrincipal.h"
#include "platform/FileDialog.h"
#include "platform/Janela.h"
#include "platform/MessageBox.h"
#include "storage/Database.h"
#include "taxpayers/ImportacaoEmpresa.h"
#include "taxpayers/SelecionarCertificado.h"
#include "validation/Documentos.h"

#include <QApplication>
#include <QHeaderView>
#include <QPointer>
#include <QScrollBar>

#include <algorithm>

namespace tervalia {

namespace {

const QString tituloMG = QStringLiteral("Tervalia - MG");

struct ColunaGrid
{
    const char* titulo;
    int larguraTwips;
    Qt::Alignment alinhamento;
};

const ColunaGrid colunasGrid[ImportarEmpresas::ColCount] = {
    {"IE", 1500, Qt::AlignCenter},
    {"CNPJ", 1800, Qt::AlignCenter},
    {"CNAE", 1200, Qt::AlignCenter},
    {"Razão Social", 5000, Qt::AlignLeft | Qt::AlignVCenter},
};

int twipsToPixels(const QWidget* w, int twips)
{
    return (twips * w->logicalDpiX() + 720) / 1440;
}

// Why a row of the preview is wrong, for those who cannot see its colour.
QString motivoErro(const EmpresaNovaGia& empresa)
{
    QStringList motivos;
    if (!CNPJValida(empresa.cnpj))
        motivos << QStringLiteral("CNPJ inválido");
    if (empresa.razaoSocial.trimmed().isEmpty())
        motivos << QStringLiteral("razão social em branco");
    return motivos.join(QStringLiteral(", "));
}

} // namespace

ImportarEmpresas::ImportarEmpresas(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::ImportarEmpresas>())
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setupGrid();
    janela::fechaComEsc(this);
    janela::ajustaLargura(this);
    // Like every child window, it gives the main window back when it closes.
    connect(this, &QObject::destroyed, qApp, &JanelaPrincipal::switchOn);
    connect(m_ui->cmdFechar, &QPushButton::clicked, this, &QWidget::close);
    connect(m_ui->Command2, &QPushButton::clicked, this, &ImportarEmpresas::Command2_Click);
    connect(m_ui->Command3, &QPushButton::clicked, this, &ImportarEmpresas::Command3_Click);
    connect(m_ui->Command1, &QPushButton::clicked, this, &ImportarEmpresas::Command1_Click);
    // A path typed by hand is another file: it needs a preview of its own before any import.
    connect(m_ui->Text1, &QLineEdit::textEdited, this, [this](const QString& texto) {
        m_empresas.clear();
        m_ui->Command1->hide();
        m_ui->Command3->setVisible(!texto.isEmpty());
    });
}

ImportarEmpresas::~ImportarEmpresas() = default;

ImportarEmpresas* ImportarEmpresas::abrir()
{
    ImportarEmpresas* janela = instance();
    JanelaPrincipal::mantemAcima(janela);
    janela->show();
    janela->raise();
    janela->activateWindow();
    return janela;
}

void ImportarEmpresas::setupGrid()
{
    QTableWidget* grid = m_ui->MSFlexGrid1;
    grid->setColumnCount(ColCount);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    for (int c = 0; c < ColCount; ++c) {
        grid->setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromUtf8(colunasGrid[c].titulo)));
        grid->setColumnWidth(c, twipsToPixels(grid, colunasGrid[c].larguraTwips));
    }
}

// The file dialog of the NovaGIA export.
void ImportarEmpresas::Command2_Click()
{
    const QString arquivo =
        FileDialog::getOpenFileName(this, QStringLiteral("Escolha o arquivo"), {},
                                    QStringLiteral("Arquivos exportados do NovaGIA (*.mdb)"), QStringLiteral("mdb"));
    if (arquivo.isEmpty())
        return;
    m_ui->Text1->setText(arquivo);
    limpaPrevia();
    m_ui->Command3->show();
}

// Hides the preview of an earlier file, and with it the import.
void ImportarEmpresas::limpaPrevia()
{
    m_empresas.clear();
    m_ui->MSFlexGrid1->setRowCount(0);
    for (QWidget* w : std::initializer_list<QWidget*>{m_ui->MSFlexGrid1, m_ui->Command1, m_ui->Label1, m_ui->Label2})
        w->hide();
}

// "Carregar Dados": the preview, with wrong rows in red; the import only after a preview without
// errors.
void ImportarEmpresas::Command3_Click()
{
    const LeituraNovaGia leitura = lerExportacaoNovaGia(m_ui->Text1->text());
    if (leitura.situacao != LeituraNovaGia::Situacao::Lida) {
        limpaPrevia();
        if (leitura.situacao == LeituraNovaGia::Situacao::Vazia)
            MessageBox::showUntitled(this, mensagemArquivoNovaGiaVazio());
        else
            MessageBox::show(this, mensagemArquivoNovaGiaInvalido(), tituloMG);
        return;
    }
    mostraPrevia(leitura.empresas);
}

void ImportarEmpresas::mostraPrevia(const QList<EmpresaNovaGia>& empresas)
{
    QTableWidget* grid = m_ui->MSFlexGrid1;
    grid->show();
    grid->clearContents();
    grid->setRowCount(int(empresas.size()));
    bool erro = false;
    for (int linha = 0; linha < empresas.size(); ++linha) {
        preencheLinha(linha, empresas[linha]);
        erro = erro || empresaComErro(empresas[linha]);
    }
    m_empresas = erro ? QList<EmpresaNovaGia>() : empresas;
    // The widths of the columns, widened where this screen's font needs more to show a value whole.
    for (int c = 0; c < ColCount; ++c) {
        grid->resizeColumnToContents(c);
        grid->setColumnWidth(c, std::max(twipsToPixels(grid, colunasGrid[c].larguraTwips), grid->columnWidth(c)));
    }
    m_ui->Command1->setVisible(!erro);
    m_ui->Label1->setVisible(erro);
    m_ui->Label2->setVisible(erro);
    // The window grows to show the companies, within the screen.
    int largura = grid->frameWidth() * 2 + grid->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < ColCount; ++c)
        largura += grid->columnWidth(c);
    resize(std::max(width(), largura + width() - grid->width()), std::max(height(), sizeHint().height()));
    janela::ajustaLargura(this);
}

void ImportarEmpresas::preencheLinha(int linha, const EmpresaNovaGia& empresa)
{
    const QString textos[ColCount] = {empresa.ie, empresa.cnpj, empresa.cnae, empresa.razaoSocialComBranco()};
    const bool erro = empresaComErro(empresa);
    for (int c = 0; c < ColCount; ++c) {
        auto* item = new QTableWidgetItem(textos[c]);
        item->setTextAlignment(colunasGrid[c].alinhamento);
        // A screen reader hears the column and, on a red row, why the row stops the import.
        QString nome = QString::fromUtf8(colunasGrid[c].titulo) + QStringLiteral(": ") + textos[c].trimmed();
        if (erro) {
            item->setForeground(QColor(255, 0, 0));
            nome += QStringLiteral(" (linha com erro: ") + motivoErro(empresa) + QLatin1Char(')');
        }
        item->setData(Qt::AccessibleTextRole, nome);
        m_ui->MSFlexGrid1->setItem(linha, c, item);
    }
}

// "Impo&rtar": one certificate for every company of the preview, in file order.
void ImportarEmpresas::Command1_Click()
{
    if (m_importando || m_empresas.isEmpty())
        return;
    try {
        Connection dipam; // the register must be there before the user picks a certificate
    } catch (const DatabaseError& e) {
        MessageBox::show(this, RelatorioErroBanco(e));
        return;
    }
    const std::optional<certstore::Certificate> certificado = escolheCertificadoChave(this);
    if (!certificado)
        return;
    if (certificado->hasCrlDistributionPoints)
        ListaUrlsCrl(this, *certificado);

    const QPointer<ImportarEmpresas> janela(this);
    const QList<EmpresaNovaGia> empresas = m_empresas;
    m_importando = true;
    habilitaControles(false);
    bool concluida = true;
    for (int i = 0; i < empresas.size() && concluida; ++i) {
        mostraProgresso(i + 1, int(empresas.size()), empresas[i]);
        const ResultadoEmpresa resultado = importaEmpresa(empresas[i], *certificado);
        if (!janela)
            return;
        concluida = informa(empresas[i], resultado);
        m_ui->barraProgresso->setValue(i + 1);
    }
    m_importando = false;
    habilitaControles(true);
    m_ui->lblProgresso->hide();
    m_ui->barraProgresso->hide();
    if (!concluida)
        return; // the window stays open; what was stored stays stored
    MessageBox::show(this, QStringLiteral("Importação Concluída"), tituloMG, QMessageBox::Information);
    close();
}

bool ImportarEmpresas::informa(const EmpresaNovaGia& empresa, const ResultadoEmpresa& resultado)
{
    using Situacao = ResultadoEmpresa::Situacao;
    switch (resultado.situacao) {
    case Situacao::Cadastrada:
        break;
    case Situacao::JaCadastrada:
        MessageBox::show(this, mensagemEmpresaJaCadastrada(empresa), tituloMG, QMessageBox::Critical);
        break;
    case Situacao::NaoAutorizada:
        MessageBox::show(this, mensagemEmpresaNaoAutorizada(empresa), tituloMG, QMessageBox::Critical);
        break;
    case Situacao::CertificadoExpirado:
        MessageBox::show(this, QStringLiteral("Certificado expirado, contate seu fornecedor"));
        break;
    case Situacao::RespostaIlegivel:
        MessageBox::show(this, mensagemRespostaIlegivel(empresa), tituloMG, QMessageBox::Warning);
        break;
    case Situacao::FalhaComunicacao:
        MessageBox::show(this, mensagemComunicacao() + resultado.causaSeguranca);
        break;
    case Situacao::FalhaBanco:
        MessageBox::show(this, RelatorioErroBanco(*resultado.erroBanco));
        break;
    }
    return resultado.continua();
}

// The line and the bar show where the import is; the window is painted before the next exchange.
void ImportarEmpresas::mostraProgresso(int numero, int total, const EmpresaNovaGia& empresa)
{
    m_ui->lblProgresso->setText(textoProgressoImportacao(numero, total, empresa));
    m_ui->barraProgresso->setRange(0, total);
    m_ui->barraProgresso->setValue(numero - 1);
    m_ui->lblProgresso->show();
    m_ui->barraProgresso->show();
    repaint();
}

void ImportarEmpresas::habilitaControles(bool habilitados)
{
    for (QWidget* w : std::initializer_list<QWidget*>{m_ui->Command1, m_ui->Command2, m_ui->Command3, m_ui->Text1})
        w->setEnabled(habilitados);
}

} // namespace tervalia
