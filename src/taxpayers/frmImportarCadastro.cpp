#include "frmImportarCadastro.h"
#include "ui_frmImportarCadastro.h"

#include "app/JanelaPrincipal.h"
#include "platform/FileDialog.h"
#include "platform/Janela.h"
#include "platform/MessageBox.h"
#include "storage/Database.h"

#include <QDir>
#include <QHeaderView>
#include <QStyle>

namespace tervalia {

namespace {
const QString titulo = QStringLiteral("Tervalia - MG");
const char* const titulos[frmImportarCadastro::ColCount] = {
    "Situação", "IE", "Razão Social", "CNPJ", "CNAE", "Chave", "CCM", "Simples",
};
const QColor corNova(0xdf, 0xf5, 0xdf), corOutros(0xff, 0xf3, 0xc4), corInutilizavel(0xf8, 0xd7, 0xd7);

QString situacao(const EmpresaAnterior& e)
{
    switch (e.marca) {
    case MarcaEmpresa::Nova:
        return QStringLiteral("Nova");
    case MarcaEmpresa::MesmosDados:
        return QStringLiteral("Já cadastrada, mesmos dados");
    case MarcaEmpresa::OutrosDados:
        return QStringLiteral("Já cadastrada, outros dados");
    case MarcaEmpresa::Inutilizavel:
        break;
    }
    return QStringLiteral("Inutilizável: ") + e.motivo;
}

QString simNao(bool valor)
{
    return valor ? QStringLiteral("Sim") : QStringLiteral("Não");
}

QStringList valores(const ContribuinteRecord& c)
{
    return {c.ie, c.razaoSocial, c.cnpj, c.cnae, c.chave, c.ccm, simNao(c.optanteSimples)};
}

QString descricao(const ContadorRecord& c)
{
    QStringList partes;
    for (const QString& p : {c.razaoNome, c.cpfCnpj, c.numCrc.isEmpty() ? QString() : QStringLiteral("CRC ") + c.numCrc,
                             QStringList{c.nomCidade, c.nomEstado}.join(u'/'), c.email})
        if (!p.isEmpty() && p != QLatin1String("/"))
            partes << p;
    return partes.join(QStringLiteral(", "));
}

QString resumo(const QList<EmpresaAnterior>& empresas)
{
    int n[4] = {};
    for (const EmpresaAnterior& e : empresas)
        ++n[int(e.marca)];
    if (empresas.isEmpty())
        return QStringLiteral("O arquivo não tem empresas.");
    return QStringLiteral("%1 empresas no arquivo: %2 novas, %3 já cadastradas com os mesmos dados, %4 já "
                          "cadastradas com outros dados, %5 inutilizáveis.")
        .arg(empresas.size())
        .arg(n[int(MarcaEmpresa::Nova)])
        .arg(n[int(MarcaEmpresa::MesmosDados)])
        .arg(n[int(MarcaEmpresa::OutrosDados)])
        .arg(n[int(MarcaEmpresa::Inutilizavel)]);
}

QString relatorio(const ResumoImportacao& r)
{
    return QStringLiteral("Importação concluída.\r\n\r\nEmpresas importadas: %1\r\nEmpresas já cadastradas "
                          "substituídas pelos dados do arquivo: %2\r\nEmpresas mantidas como estavam: %3\r\nEmpresas "
                          "recusadas: %4\r\nContador: %5")
        .arg(r.importadas)
        .arg(r.substituidas)
        .arg(r.mantidas)
        .arg(r.recusadas)
        .arg(r.contadorGravado ? QStringLiteral("gravado com os dados do arquivo.")
                               : QStringLiteral("mantido como estava."));
}
} // namespace

frmImportarCadastro::frmImportarCadastro(QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::frmImportarCadastro>())
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    QTableWidget* grid = m_ui->GridEmpresas;
    grid->setColumnCount(ColCount);
    for (int c = 0; c < ColCount; ++c)
        grid->setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromUtf8(titulos[c])));
    grid->verticalHeader()->hide();
    janela::fechaComEsc(this);
    janela::ajustaLargura(this);
    connect(m_ui->cmdImportar, &QPushButton::clicked, this, &frmImportarCadastro::importa);
    connect(m_ui->cmdMarcarTodas, &QPushButton::clicked, this, &frmImportarCadastro::marcaTodas);
    connect(m_ui->cmdFechar, &QPushButton::clicked, this, &QWidget::close);
}

frmImportarCadastro::~frmImportarCadastro() = default;

frmImportarCadastro* frmImportarCadastro::abrir(QWidget* pai)
{
    const QString caminho = FileDialog::getOpenFileName(
        pai, QStringLiteral("Importar cadastro de outro computador (dipam.mdb)"), {},
        QStringLiteral("Banco de dados do programa anterior (*.mdb *.MDB);;Todos os arquivos (*)"));
    if (caminho.isEmpty())
        return nullptr;
    const LeituraCadastroAnterior leitura = leCadastroAnterior(caminho);
    if (!leitura.erro.isEmpty()) {
        MessageBox::show(pai,
                         QStringLiteral("O cadastro não pode ser importado deste arquivo.\r\n") + leitura.erro +
                             QStringLiteral("\r\nNada foi gravado."),
                         titulo, QMessageBox::Warning);
        return nullptr;
    }
    try {
        const QList<ContribuinteRecord> locais = cadastro::listContribuintes();
        const std::optional<ContadorRecord> contadorLocal = cadastro::readContador();
        frmImportarCadastro* importacao = instance();
        importacao->mostra(caminho, leitura, locais, contadorLocal);
        JanelaPrincipal::mantemAcima(importacao);
        importacao->show();
        importacao->raise();
        importacao->activateWindow();
        return importacao;
    } catch (const DatabaseError& erro) {
        MessageBox::show(pai, RelatorioErroBanco(erro));
        return nullptr;
    }
}

void frmImportarCadastro::mostra(const QString& caminho, const LeituraCadastroAnterior& leitura,
                                 const QList<ContribuinteRecord>& locais,
                                 const std::optional<ContadorRecord>& contadorLocal)
{
    m_ui->lblArquivo->setText(QStringLiteral("Arquivo: ") + QDir::toNativeSeparators(caminho));
    m_contadorArquivo = leitura.contador;
    m_contadorLocal = contadorLocal;
    m_empresas = comparaEmpresas(leitura.empresas, locais);
    mostraContador();

    QTableWidget* grid = m_ui->GridEmpresas;
    grid->setUpdatesEnabled(false);
    grid->clearContents();
    grid->setRowCount(int(m_empresas.size()));
    for (int linha = 0; linha < grid->rowCount(); ++linha)
        preencheLinha(linha, m_empresas[linha]);
    ajustaColunas();
    for (int linha = 0; linha < grid->rowCount(); ++linha) {
        if (m_empresas[linha].marca == MarcaEmpresa::OutrosDados)
            grid->resizeRowToContents(linha);
    }
    grid->setUpdatesEnabled(true);
    m_ui->lblResumo->setText(resumo(m_empresas));
    m_ui->cmdMarcarTodas->setVisible(std::any_of(m_empresas.begin(), m_empresas.end(), [](const EmpresaAnterior& e) {
        return e.marca == MarcaEmpresa::OutrosDados;
    }));
}

void frmImportarCadastro::mostraContador()
{
    QCheckBox* substituir = m_ui->chkSubstituirContador;
    m_ui->lblContadorArquivo->setText(m_contadorArquivo ? descricao(*m_contadorArquivo)
                                                        : QStringLiteral("Nenhum contador no arquivo."));
    substituir->setChecked(m_contadorArquivo && !m_contadorLocal);
    substituir->setEnabled(m_contadorArquivo && m_contadorLocal && *m_contadorArquivo != *m_contadorLocal);
    if (!m_contadorLocal)
        m_ui->lblContadorLocal->setText(
            m_contadorArquivo ? QStringLiteral("Nenhum contador cadastrado: o do arquivo será cadastrado.")
                              : QStringLiteral("Nenhum contador cadastrado."));
    else if (m_contadorArquivo && *m_contadorArquivo == *m_contadorLocal)
        m_ui->lblContadorLocal->setText(descricao(*m_contadorLocal) + QStringLiteral(" (o mesmo do arquivo)"));
    else
        m_ui->lblContadorLocal->setText(descricao(*m_contadorLocal));
}

// A company with other data here shows, under each value that differs, the value registered here;
// only those rows can be ticked for replacing. Items are made whole before they enter the grid.
void frmImportarCadastro::preencheLinha(int linha, const EmpresaAnterior& e)
{
    const QStringList doArquivo = valores(e.arquivo);
    const QStringList daqui = e.local ? valores(*e.local) : QStringList();
    const bool outros = e.marca == MarcaEmpresa::OutrosDados;
    const QColor cor = e.marca == MarcaEmpresa::Nova           ? corNova
                       : outros                                ? corOutros
                       : e.marca == MarcaEmpresa::Inutilizavel ? corInutilizavel
                                                               : QColor();
    for (int c = 0; c < ColCount; ++c) {
        const QString valor = c == ColSituacao ? situacao(e) : doArquivo[c - ColIE];
        const bool difere = outros && c != ColSituacao && daqui[c - ColIE].trimmed() != valor;
        auto* item =
            new QTableWidgetItem(difere ? valor + QStringLiteral("\n(aqui: %1)").arg(daqui[c - ColIE]) : valor);
        if (difere) {
            QFont negrito = item->font();
            negrito.setBold(true);
            item->setFont(negrito);
        }
        if (cor.isValid())
            item->setBackground(cor);
        if (outros && c == ColSituacao) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
            item->setToolTip(QStringLiteral("Marque para substituir os dados deste computador pelos do arquivo."));
        }
        m_ui->GridEmpresas->setItem(linha, c, item);
    }
}

// Widths that show every text whole. Shaping thousands of texts is slow and the width of a line
// follows its length closely: only the longest lines of each column are measured.
void frmImportarCadastro::ajustaColunas()
{
    constexpr qsizetype medidas = 24;
    QTableWidget* grid = m_ui->GridEmpresas;
    QFont fonteNegrito = grid->font();
    fonteNegrito.setBold(true);
    const QFontMetrics normal(grid->font()), negrito(fonteNegrito);
    const int margem = 2 * grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 12;
    for (int c = 0; c < ColCount; ++c) {
        struct Linha
        {
            QString texto;
            bool negrito;
        };
        QList<Linha> linhas{{grid->horizontalHeaderItem(c)->text(), true}};
        for (int linha = 0; linha < grid->rowCount(); ++linha) {
            const QTableWidgetItem* item = grid->item(linha, c);
            const bool diferente = m_empresas[linha].marca == MarcaEmpresa::OutrosDados && c != ColSituacao;
            for (const QString& parte : item->text().split(u'\n'))
                linhas.append({parte, diferente});
        }
        const auto maiores = linhas.begin() + std::min(medidas, linhas.size());
        std::partial_sort(linhas.begin(), maiores, linhas.end(),
                          [](const Linha& a, const Linha& b) { return a.texto.size() > b.texto.size(); });
        int largura = 0;
        for (auto l = linhas.begin(); l != maiores; ++l)
            largura = std::max(largura, (l->negrito ? negrito : normal).horizontalAdvance(l->texto));
        grid->setColumnWidth(c, largura + margem + (c == ColSituacao ? 24 : 0));
    }
}

void frmImportarCadastro::marcaTodas()
{
    for (int linha = 0; linha < m_empresas.size(); ++linha) {
        if (m_empresas[linha].marca == MarcaEmpresa::OutrosDados)
            m_ui->GridEmpresas->item(linha, ColSituacao)->setCheckState(Qt::Checked);
    }
}

QSet<QString> frmImportarCadastro::substituir() const
{
    QSet<QString> ies;
    for (int linha = 0; linha < m_empresas.size(); ++linha) {
        if (m_empresas[linha].marca == MarcaEmpresa::OutrosDados &&
            m_ui->GridEmpresas->item(linha, ColSituacao)->checkState() == Qt::Checked)
            ies.insert(m_empresas[linha].arquivo.ie);
    }
    return ies;
}

std::optional<ContadorRecord> frmImportarCadastro::contadorAGravar() const
{
    if (m_contadorArquivo &&
        (!m_contadorLocal || (m_ui->chkSubstituirContador->isChecked() && m_ui->chkSubstituirContador->isEnabled())))
        return m_contadorArquivo;
    return std::nullopt;
}

void frmImportarCadastro::importa()
{
    const QSet<QString> ies = substituir();
    ResumoImportacao r;
    try {
        r = importaCadastroAnterior(m_empresas, ies, contadorAGravar());
    } catch (const DatabaseError& erro) {
        MessageBox::show(this, RelatorioErroBanco(erro)); // nothing was stored; the preview stays
        return;
    }
    // A selected company whose key or data were replaced is selected afresh by the user.
    if (JanelaPrincipal* p = JanelaPrincipal::aberta(); p && ies.contains(p->ieSelecionada()))
        p->retiraSelecao();
    MessageBox::show(this, relatorio(r), titulo, QMessageBox::Information);
    close();
}

} // namespace tervalia
