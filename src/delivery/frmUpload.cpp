#include "frmUpload.h"
#include "ui_frmUpload.h"

#include "app/JanelaPrincipal.h"
#include "ConverteVAF.h"
#include "DocumentosVAF.h"
#include "LerArquivoGia.h"
#include "net/Servidor.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"
#include "SelecaoGias.h"
#include "storage/Database.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>

#include <algorithm>

namespace tervalia {

namespace {
const QString tituloMG = QStringLiteral("Tervalia - MG");

struct Coluna
{
    int twips;
    const char* titulo;
};
// Column 2 is centred.
constexpr Coluna colunas[] = {{500, "ID"}, {1000, "Referência"}, {1600, "Regime tributário"}, {1400, "Tipo"}};
} // namespace

frmUpload::frmUpload(QWidget* parent)
    : JanelaEntrega(OpcoesUpload::vaf(), parent), m_ui(std::make_unique<Ui::frmUpload>())
{
    m_ui->setupUi(this);
    ligaPainel(m_ui->painelUpload);
    montaGrade();
    connect(m_ui->escolhaArquivo, &EscolhaArquivo::arquivoEscolhido, this, &frmUpload::file_Click);
    connect(m_ui->Command1, &QPushButton::clicked, this, &frmUpload::Command1_Click);
    connect(m_ui->selPRF, &QPushButton::clicked, this, &frmUpload::selPRF_Click);
    connect(m_ui->cmdUpload, &QPushButton::clicked, this, &frmUpload::cmdUpload_Click);
    connect(m_ui->Command2, &QPushButton::clicked, this, &QWidget::close);
}

frmUpload::~frmUpload() = default;

frmUpload* frmUpload::abrir()
{
    frmUpload* janela = instance();
    janela->show();
    janela->raise();
    janela->activateWindow();
    return janela;
}

// Widths are given in twips, 1440 to the inch of this screen.
void frmUpload::montaGrade()
{
    QTableWidget* grade = m_ui->GridRefencias;
    const int dpi = grade->logicalDpiX();
    grade->setColumnCount(4);
    for (int c = 0; c < 4; ++c) {
        auto* cabecalho = new QTableWidgetItem(QString::fromUtf8(colunas[c].titulo));
        cabecalho->setTextAlignment(c == 2 ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
        grade->setHorizontalHeaderItem(c, cabecalho);
        grade->setColumnWidth(c, colunas[c].twips * dpi / 1440);
    }
    grade->setWordWrap(false);
    grade->horizontalHeader()->setStretchLastSection(true);
    larguraMinima();
}

// The widths in twips were made for a smaller font: a column widens to show its header and texts
// whole, never narrower than its width in twips.
void frmUpload::larguraMinima()
{
    QTableWidget* grade = m_ui->GridRefencias;
    const int dpi = grade->logicalDpiX();
    for (int c = 0; c < 3; ++c) {
        const int minima = colunas[c].twips * dpi / 1440;
        grade->resizeColumnToContents(c);
        grade->setColumnWidth(c, std::max(minima, grade->columnWidth(c)));
    }
}

// A conversion lets the interface process events: meanwhile nothing can start another one, send,
// or close the window under it.
void frmUpload::closeEvent(QCloseEvent* evento)
{
    if (m_convertendo) {
        evento->ignore();
        return;
    }
    JanelaEntrega::closeEvent(evento);
}

void frmUpload::setControlesAtivos(bool ativos)
{
    for (QWidget* w : {static_cast<QWidget*>(m_ui->escolhaArquivo), static_cast<QWidget*>(m_ui->GridRefencias),
                       static_cast<QWidget*>(m_ui->Command1), static_cast<QWidget*>(m_ui->selPRF),
                       static_cast<QWidget*>(m_ui->Command2)})
        w->setEnabled(ativos);
    if (!ativos)
        m_ui->cmdUpload->setEnabled(false);
}

// Whatever the grid listed belongs to the file chosen before: it goes, and so does the send.
void frmUpload::limpaLista()
{
    m_ui->GridRefencias->setRowCount(0);
    m_ui->cmdUpload->setEnabled(false);
}

void frmUpload::file_Click(const QString& pasta, const QString& nome)
{
    if (m_convertendo)
        return;
    m_ui->painelUpload->txtUploadFile->setText(QDir::toNativeSeparators(QDir(pasta).filePath(nome)));
    m_nomeArquivo = nome;
    limpaLista();
    m_ui->Preparacao->show();
    if (nome.endsWith(QLatin1String(".GDB"), Qt::CaseInsensitive)) {
        MessageBox::show(this,
                         QStringLiteral("Por favor, se o programa VAF-MG estiver aberto queira por gentileza "
                                        "fechá-lo."),
                         tituloMG, QMessageBox::Warning);
        converte();
    } else {
        MessageBox::show(this, QStringLiteral("Arquivo inválido.\r\n\r\nO arquivos que esperamos deve ser VAF.GDB"),
                         tituloMG, QMessageBox::Critical);
        m_ui->Preparacao->hide();
    }
}

void frmUpload::converte()
{
    const QString caminho = QDir::fromNativeSeparators(m_ui->painelUpload->txtUploadFile->text());
    m_convertendo = true;
    setControlesAtivos(false);
    m_ui->ocorrencia->clear();
    m_ui->Progresso->setValue(0);
    const ResultadoConversao resultado = ConverteVAF(caminho, [this](const ProgressoConversao& p) {
        m_ui->ocorrencia->setText(p.ocorrencia);
        m_ui->Progresso->setValue(p.progresso);
        QCoreApplication::processEvents();
    });
    m_convertendo = false;
    setControlesAtivos(true);
    m_ui->Preparacao->hide();
    if (!resultado.ok) {
        MessageBox::show(this, resultado.erro, tituloMG, QMessageBox::Critical);
        return;
    }
    Command1_Click();
}

void frmUpload::Command1_Click()
{
    JanelaPrincipal* principal = JanelaPrincipal::aberta();
    if (principal)
        principal->setPathMDB(m_ui->painelUpload->txtUploadFile->text());
    limpaLista();
    QList<DocumentoVAF> documentos;
    try {
        documentos = ListaDocumentosVAF(principal ? principal->ieSelecionada() : QString());
    } catch (const DatabaseError& erro) {
        MessageBox::show(this, RelatorioErroBanco(erro));
        return;
    }
    if (documentos.isEmpty()) {
        MessageBox::show(this, QStringLiteral("Erro: Arquivo não contém informações da empresa selecionada"), tituloMG);
        return;
    }
    preencheGrade(documentos);
    m_ui->cmdUpload->setEnabled(true);
    JanelaPrincipal::switchOn();
}

void frmUpload::preencheGrade(const QList<DocumentoVAF>& documentos)
{
    QTableWidget* grade = m_ui->GridRefencias;
    grade->setRowCount(int(documentos.size()));
    for (int l = 0; l < documentos.size(); ++l) {
        const DocumentoVAF& d = documentos.at(l);
        const QString textos[] = {d.nroGia, d.referencia, QStringLiteral("Débito e Crédito"), d.tipo};
        for (int c = 0; c < 4; ++c) {
            auto* item = new QTableWidgetItem(textos[c]);
            if (c == 2)
                item->setTextAlignment(Qt::AlignCenter);
            item->setData(Qt::AccessibleTextRole,
                          QString::fromUtf8(colunas[c].titulo) + QStringLiteral(": ") + textos[c]);
            grade->setItem(l, c, item);
        }
    }
    larguraMinima();
    grade->setCurrentCell(0, 0);
}

// The list of documents and the year count are made afresh on every press; the year message is
// shown once per window.
void frmUpload::cmdUpload_Click()
{
    QTableWidget* grade = m_ui->GridRefencias;
    const QList<QTableWidgetSelectionRange> faixas = grade->selectedRanges();
    if (faixas.isEmpty()) {
        MessageBox::show(this, QStringLiteral("Selecione as referências a enviar."), tituloMG);
        return;
    }
    // The grid's current row is where the selection ends; it was started at the other end.
    const QTableWidgetSelectionRange faixa = faixas.first();
    const int fim = grade->currentRow() == faixa.topRow() ? faixa.topRow() : faixa.bottomRow();
    const int inicio = fim == faixa.topRow() ? faixa.bottomRow() : faixa.topRow();
    QList<LinhaGia> linhas;
    for (int l = 0; l < grade->rowCount(); ++l)
        linhas.append({grade->item(l, 0)->text(), grade->item(l, 1)->text()});

    JanelaPrincipal* principal = JanelaPrincipal::aberta();
    const QString anoTrabalho = principal ? principal->anoTrabalho : QString();
    const SelecaoGias selecao = selecionaGias(linhas, inicio, fim, anoTrabalho, m_msgTrabalho);
    if (!selecao.mensagemAno.isEmpty())
        MessageBox::show(this, selecao.mensagemAno);
    if (selecao.giaCerta == 0)
        return;
    const QString contador = principal ? principal->thisCont_cpf_cnpj : QString();
    const QString chave = principal ? principal->chaveSelecionada() : QString();
    enviar(EnderecoUpload(servidor::caminhoUploadVaf, contador, chave, selecao.lista()), m_nomeArquivo,
           arquivoVafEnviado());
}

void frmUpload::selPRF_Click()
{
    const ImportacaoGia importacao = importarArquivoGia(m_ui->painelUpload->txtUploadFile->text());
    if (!importacao.leitura.concluida)
        MessageBox::show(this, importacao.leitura.mensagem, tituloMG, QMessageBox::Warning);
    if (!importacao.atualCriado)
        return;
    m_ui->painelUpload->txtUploadFile->setText(QDir::toNativeSeparators(importacao.atual));
    Command1_Click();
}

} // namespace tervalia
