#include "FormContribuinte.h"
#include "ui_FormContribuinte.h"

#include "platform/Janela.h"
#include "platform/MessageBox.h"
#include "storage/Database.h"
#include "taxpayers/SelecionarCertificado.h"

#include <QCheckBox>
#include <QFocusEvent>

namespace tervalia {

namespace {
const QString tituloMG = QStringLiteral("Tervalia - MG");

bool semDigitos(const QString& texto)
{
    return std::none_of(texto.cbegin(), texto.cend(), [](QChar c) { return c.isDigit(); });
}

// A field that only shows: read-only, on the window's own background rather than an input's.
void mostraSomenteLeitura(QLineEdit* campo)
{
    campo->setReadOnly(true);
    QPalette paleta = campo->palette();
    paleta.setColor(QPalette::Base, paleta.color(QPalette::Window));
    campo->setPalette(paleta);
}
} // namespace

FormContribuinte::FormContribuinte(const QString& titulo, Uso uso)
    : m_ui(std::make_unique<Ui::FormContribuinte>()), m_uso(uso)
{
    m_ui->setupUi(this);
    setWindowTitle(titulo);
    setAttribute(Qt::WA_DeleteOnClose);
    m_ui->txtIE->setInputMask(QString(contribuinte::mascaraIE));
    m_ui->txtCNPJ->setInputMask(QString(contribuinte::mascaraCnpj));
    m_ui->txtCNAE->setInputMask(QString(contribuinte::mascaraCnae));
    for (QLineEdit* mascarado : {m_ui->txtIE, m_ui->txtCNPJ, m_ui->txtCNAE})
        mascarado->installEventFilter(this);
    // Shown only: the key request or the stored row sets it, never a click.
    m_ui->flag_optantesimples->setEnabled(false);
    m_ui->flag_optantesimples->setToolTip(
        QStringLiteral("Informado pelo servidor da Prefeitura com a chave de acesso"));
    connect(m_ui->flag_optantesimples, &QCheckBox::toggled, this, &FormContribuinte::mostraRegime);
    if (uso == Uso::Atualizacao) {
        // The update writes neither IE nor CNPJ; the key changes only with a key request.
        for (QLineEdit* fixo : {m_ui->txtIE, m_ui->txtCNPJ, m_ui->Chave})
            mostraSomenteLeitura(fixo);
        m_ui->Command2->hide();
    } else {
        // A flag the server gave for one company must not be stored for another.
        for (QLineEdit* identificacao : {m_ui->txtIE, m_ui->txtCNPJ})
            connect(identificacao, &QLineEdit::textEdited, this,
                    [this] { m_ui->flag_optantesimples->setChecked(false); });
    }

    connect(m_ui->cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(m_ui->Command1, &QPushButton::clicked, this, &FormContribuinte::Command1_Click);
    for (QLineEdit* campo : findChildren<QLineEdit*>()) {
        connect(campo, &QLineEdit::returnPressed, this, [this, campo] {
            verificaAoSair(campo);
            m_ui->cmdOK->click();
        });
    }
    connect(m_ui->cmdCancelar, &QPushButton::clicked, this, &QWidget::close);
    janela::fechaComEsc(this);
    janela::ajustaLargura(this);
}

FormContribuinte::~FormContribuinte() = default;

bool FormContribuinte::eventFilter(QObject* watched, QEvent* event)
{
    auto* campo = qobject_cast<QLineEdit*>(watched);
    // Leaving the field means the focus going to another control. The window losing activation
    // (to another window, a message box or a menu) leaves the field where it was.
    if (campo && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason motivo = static_cast<QFocusEvent*>(event)->reason();
        if (motivo != Qt::ActiveWindowFocusReason && motivo != Qt::PopupFocusReason)
            verificaAoSair(campo);
    }
    // A click into the blank part of an empty masked field would leave the cursor where typed
    // digits are dropped: start at the first place instead.
    if (campo && event->type() == QEvent::MouseButtonRelease && semDigitos(campo->displayText()) &&
        !campo->hasSelectedText())
        campo->setCursorPosition(0);
    return QWidget::eventFilter(watched, event);
}

void FormContribuinte::verificaAoSair(QLineEdit* campo)
{
    if (campo == m_ui->txtIE && m_uso == Uso::Criacao)
        txtIE_LostFocus();
    else if (campo == m_ui->txtCNPJ)
        txtCNPJ_LostFocus();
}

contribuinte::Campos FormContribuinte::campos() const
{
    return {m_ui->txtIE->displayText(),   m_ui->txtRazaoSocial->text(), m_ui->txtCNPJ->displayText(),
            m_ui->txtCNAE->displayText(), m_ui->Chave->text(),          m_ui->txtInscMunicipal->text()};
}

bool FormContribuinte::optanteSimples() const
{
    return m_ui->flag_optantesimples->isChecked();
}

void FormContribuinte::preenche(const ContribuinteRecord& r)
{
    m_ui->txtIE->setText(r.ie);
    m_ui->txtRazaoSocial->setText(r.razaoSocial);
    m_ui->txtCNPJ->setText(r.cnpj);
    m_ui->txtCNAE->setText(r.cnae);
    m_ui->Chave->setText(r.chave);
    m_ui->txtInscMunicipal->setText(r.ccm);
    m_ui->flag_optantesimples->setChecked(r.optanteSimples);
}

void FormContribuinte::setChave(const QString& chave, bool optanteSimples)
{
    m_ui->Chave->setText(chave);
    m_ui->flag_optantesimples->setChecked(optanteSimples);
}

QString FormContribuinte::erroMsg() const
{
    return m_ui->erroMsg->text();
}

void FormContribuinte::setErroMsg(const QString& texto)
{
    m_ui->erroMsg->setText(texto);
}

void FormContribuinte::mostraRegime(bool optanteSimples)
{
    m_ui->lblRegime->setText(optanteSimples ? QStringLiteral("Regime: Simples Nacional")
                                            : QStringLiteral("Regime: Débito e Crédito"));
}

void FormContribuinte::Command1_Click()
{
    const contribuinte::Campos c = campos();
    PedidoCertificado pedido;
    pedido.forma = FormaCertificado::PedidoChave;
    pedido.empresa = EmpresaDigitada{c.ie, c.razaoSocial, c.cnpj, c.cnae};
    const ResultadoCertificado resultado = SelecionarCertificado(this, pedido);
    if (resultado.chave)
        setChave(resultado.chave->chave, resultado.chave->optanteSimples);
}

void FormContribuinte::txtIE_LostFocus()
{
    setErroMsg({});
    try {
        if (cadastro::countContribuintes(m_ui->txtIE->displayText()) > 0)
            setErroMsg(contribuinte::mensagem::jaCadastrado());
    } catch (const DatabaseError& erro) {
        MessageBox::show(this, RelatorioErroBanco(erro));
    }
}

void FormContribuinte::txtCNPJ_LostFocus()
{
    setErroMsg(contribuinte::verificaSaidaCnpj(m_ui->txtCNPJ->displayText()));
}

bool FormContribuinte::verificaAntesDeGravar()
{
    const QString falha =
        contribuinte::verificaCampos(campos(), {.digitosIE = m_uso == Uso::Atualizacao, .chave = true});
    if (!falha.isEmpty()) {
        MessageBox::show(this, falha, tituloMG, QMessageBox::Critical);
        return false;
    }
    if (!erroMsg().isEmpty()) {
        MessageBox::show(this, contribuinte::mensagem::corrijaErros());
        return false;
    }
    return true;
}

} // namespace tervalia
