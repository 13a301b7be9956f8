#include "EscolhaCertificado.h"
#include "ui_EscolhaCertificado.h"

#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/PasswordPrompt.h"
#include "platform/RoteiroEscolha.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>

namespace tervalia {

using namespace roteiro_escolha;

namespace {

enum Coluna { ColTitular, ColDocumento, ColEmissor, ColValidoDe, ColValidoAte, ColDias, NumColunas };

const QString tituloMG = QStringLiteral("Tervalia - MG");

} // namespace

EscolhaCertificado::EscolhaCertificado(QWidget* dono, const Textos& textos, certstore::Listing lista)
    : QDialog(dono), m_ui(std::make_unique<Ui::EscolhaCertificado>()), m_lista(std::move(lista)),
      m_agora(QDateTime::currentDateTimeUtc())
{
    m_ui->setupUi(this);
    setWindowTitle(textos.titulo);
    m_ui->lblTexto->setText(textos.texto);
    QTableWidget* grid = m_ui->GridCertificados;
    grid->setColumnCount(NumColunas);
    grid->setHorizontalHeaderLabels({QStringLiteral("Titular"), QStringLiteral("CNPJ/CPF"), QStringLiteral("Emissor"),
                                     QStringLiteral("Válido desde"), QStringLiteral("Válido até"),
                                     QStringLiteral("Dias restantes")});
    grid->setAccessibleName(QStringLiteral("Certificados"));
    grid->horizontalHeader()->setStretchLastSection(false);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grid->horizontalHeader()->setSectionResizeMode(ColTitular, QHeaderView::Stretch);
    grid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    m_ui->txtFiltro->setAccessibleName(QStringLiteral("Procurar"));

    connect(m_ui->txtFiltro, &QLineEdit::textChanged, this, &EscolhaCertificado::filtra);
    connect(grid, &QTableWidget::itemSelectionChanged, this, &EscolhaCertificado::atualizaBotoes);
    connect(grid, &QTableWidget::cellDoubleClicked, this, &EscolhaCertificado::aceita);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &EscolhaCertificado::aceita);
    connect(m_ui->cmdCancelar, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->cmdAtualizar, &QPushButton::clicked, this, &EscolhaCertificado::atualiza);
    connect(m_ui->cmdImportar, &QPushButton::clicked, this, &EscolhaCertificado::importaArquivo);
    preenche();
}

EscolhaCertificado::~EscolhaCertificado() = default;

std::optional<certstore::Certificate> EscolhaCertificado::escolher(QWidget* dono, const Textos& textos)
{
    const certstore::Listing lista =
        certstore::list([dono](const certstore::PinRequest& r) { return PasswordPrompt::askPin(dono, r); });
    EscolhaCertificado dialogo(dono, textos, lista);
    if (testState().enabled)
        return escolheEmTeste(dialogo);
    if (dialogo.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialogo.selecionado();
}

std::optional<certstore::Certificate> EscolhaCertificado::escolheEmTeste(EscolhaCertificado& dialogo)
{
    auto& state = testState();
    state.oferecidos.append(dialogo.oferecido());
    while (!state.acoes.isEmpty()) {
        const Acao acao = state.acoes.dequeue();
        if (const auto* e = std::get_if<Escolha>(&acao))
            return dialogo.selecionaTitular(e->titular) && dialogo.confirma() ? dialogo.selecionado() : std::nullopt;
        if (const auto* i = std::get_if<Importacao>(&acao)) {
            const bool importado = dialogo.importa(i->arquivo, i->senha);
            state.oferecidos.append(dialogo.oferecido());
            if (importado && state.acoes.isEmpty())
                return dialogo.selecionado();
            continue;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

certstore::PinCallback EscolhaCertificado::pedePin()
{
    return [this](const certstore::PinRequest& r) { return PasswordPrompt::askPin(this, r); };
}

void EscolhaCertificado::preenche()
{
    std::sort(m_lista.certificates.begin(), m_lista.certificates.end(),
              [](const auto& a, const auto& b) { return a.holder.localeAwareCompare(b.holder) < 0; });
    QTableWidget* grid = m_ui->GridCertificados;
    grid->clearContents();
    grid->setRowCount(int(m_lista.certificates.size()));
    const QColor fundoExpirado(0xF8, 0xD7, 0xDA), textoExpirado(0x84, 0x20, 0x29);
    const QColor fundoAVencer(0xFF, 0xE8, 0xA1), textoAVencer(0x5C, 0x45, 0x00);
    for (int r = 0; r < grid->rowCount(); ++r) {
        const Linha l = descreveCertificado(m_lista.certificates[r], m_agora);
        const QString celulas[NumColunas] = {l.titular,  l.documento, l.emissor,
                                             l.validoDe, l.validoAte, l.diasRestantes};
        for (int col = 0; col < NumColunas; ++col) {
            auto* item = new QTableWidgetItem(celulas[col]);
            item->setData(Qt::AccessibleDescriptionRole, l.nomeAcessivel);
            if (col == ColTitular)
                item->setData(Qt::AccessibleTextRole, l.nomeAcessivel);
            if (l.situacao != Situacao::Valido) {
                const bool expirado = l.situacao == Situacao::Expirado;
                item->setBackground(expirado ? fundoExpirado : fundoAVencer);
                item->setForeground(expirado ? textoExpirado : textoAVencer);
            }
            if (col == ColDias)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grid->setItem(r, col, item);
        }
    }
    m_ui->lblAvisos->setText(m_lista.notices.join(QLatin1Char('\n')));
    m_ui->lblAvisos->setVisible(!m_lista.notices.isEmpty());
    filtra(m_ui->txtFiltro->text());
}

// The first row the filter leaves that can still be used is chosen for the user; an expired one
// never is.
void EscolhaCertificado::filtra(const QString& filtro)
{
    QTableWidget* grid = m_ui->GridCertificados;
    int primeiraVisivel = -1;
    for (int r = 0; r < grid->rowCount(); ++r) {
        const bool mostra = certificadoCombina(m_lista.certificates[r], filtro);
        grid->setRowHidden(r, !mostra);
        if (mostra && primeiraVisivel < 0 && m_lista.certificates[r].validUntil >= m_agora)
            primeiraVisivel = r;
    }
    const int atual = grid->currentRow();
    if (atual < 0 || grid->isRowHidden(atual)) {
        if (primeiraVisivel >= 0)
            grid->selectRow(primeiraVisivel);
        else
            grid->clearSelection();
    }
    atualizaBotoes();
}

void EscolhaCertificado::atualizaBotoes()
{
    m_ui->cmdOK->setEnabled(selecionado().has_value());
}

// An expired certificate is told at once, before any exchange with the server; the user chooses again.
bool EscolhaCertificado::confirma()
{
    const std::optional<certstore::Certificate> escolhido = selecionado();
    if (!escolhido)
        return false;
    if (escolhido->validUntil >= m_agora)
        return true;
    MessageBox::show(this,
                     QStringLiteral("O certificado de %1 expirou em %2 e não pode ser usado. Escolha um certificado "
                                    "válido ou renove este com seu fornecedor.")
                         .arg(escolhido->holder, descreveCertificado(*escolhido, m_agora).validoAte),
                     tituloMG, QMessageBox::Warning);
    return false;
}

void EscolhaCertificado::aceita()
{
    if (confirma())
        accept();
}
std::optional<certstore::Certificate> EscolhaCertificado::selecionado() const
{
    const QTableWidget* grid = m_ui->GridCertificados;
    const QList<QTableWidgetItem*> itens = grid->selectedItems();
    if (itens.isEmpty())
        return std::nullopt;
    const int r = itens.first()->row();
    if (r < 0 || r >= m_lista.certificates.size() || grid->isRowHidden(r))
        return std::nullopt;
    return m_lista.certificates[r];
}

bool EscolhaCertificado::selecionaTitular(const QString& titular)
{
    for (int r = 0; r < m_lista.certificates.size(); ++r) {
        if (m_lista.certificates[r].holder == titular && !m_ui->GridCertificados->isRowHidden(r)) {
            m_ui->GridCertificados->selectRow(r);
            return true;
        }
    }
    return false;
}

bool EscolhaCertificado::selecionaDer(const QByteArray& der)
{
    for (int r = 0; r < m_lista.certificates.size(); ++r) {
        if (m_lista.certificates[r].der == der) {
            m_ui->txtFiltro->clear();
            m_ui->GridCertificados->selectRow(r);
            return true;
        }
    }
    return false;
}

void EscolhaCertificado::atualiza()
{
    try {
        m_lista = certstore::list(pedePin());
    } catch (const certstore::StoreError& e) {
        MessageBox::show(this, e.description(), tituloMG, QMessageBox::Warning);
        return;
    }
    m_agora = QDateTime::currentDateTimeUtc();
    preenche();
}

bool EscolhaCertificado::importa(const QString& arquivo, const QString& senha)
{
    certstore::Certificate importado;
    try {
        importado = certstore::importPkcs12(arquivo, senha, pedePin());
    } catch (const certstore::ImportError& e) {
        MessageBox::show(this, e.description(), tituloMG, QMessageBox::Warning);
        return false;
    } catch (const certstore::StoreError& e) {
        MessageBox::show(this, e.description(), tituloMG, QMessageBox::Warning);
        return false;
    }
    atualiza();
    if (!selecionaDer(importado.der)) {
        m_lista.certificates.append(importado);
        preenche();
        selecionaDer(importado.der);
    }
    return true;
}

void EscolhaCertificado::importaArquivo()
{
    const QString arquivo =
        FileDialog::getOpenFileName(this, QStringLiteral("Importar certificado A1"), QDir::homePath(),
                                    QStringLiteral("Certificados A1 (*.pfx *.p12);;Todos os arquivos (*)"));
    if (arquivo.isEmpty())
        return;
    const std::optional<QString> senha =
        PasswordPrompt::ask(this, QStringLiteral("Senha do certificado A1"),
                            QStringLiteral("Digite a senha do arquivo “%1”:").arg(QFileInfo(arquivo).fileName()));
    if (senha)
        importa(arquivo, *senha);
}

EscolhaCertificado::Oferecido EscolhaCertificado::oferecido() const
{
    Oferecido o{windowTitle(), m_ui->lblTexto->text(), {}, m_lista.notices};
    for (int r = 0; r < m_lista.certificates.size(); ++r) {
        if (!m_ui->GridCertificados->isRowHidden(r))
            o.linhas.append(descreveCertificado(m_lista.certificates[r], m_agora));
    }
    return o;
}

void EscolhaCertificado::setTestMode(bool enabled)
{
    testState().enabled = enabled;
}

bool EscolhaCertificado::testMode()
{
    return testState().enabled;
}

void EscolhaCertificado::queueEscolha(const QString& titular)
{
    testState().acoes.enqueue(Escolha{titular});
}

void EscolhaCertificado::queueImportacao(const QString& arquivo, const QString& senha)
{
    testState().acoes.enqueue(Importacao{arquivo, senha});
}

void EscolhaCertificado::queueCancelamento()
{
    testState().acoes.enqueue(Cancelamento{});
}

int EscolhaCertificado::pendingActions()
{
    return int(testState().acoes.size());
}

QList<EscolhaCertificado::Oferecido> EscolhaCertificado::takeOferecidos()
{
    return std::exchange(testState().oferecidos, {});
}

void EscolhaCertificado::reset()
{
    testState().acoes.clear();
    testState().oferecidos.clear();
}

} // namespace tervalia
