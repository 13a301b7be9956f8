#include "frmContador.h"
#include "ui_frmContador.h"

#include "app/JanelaPrincipal.h"
#include "net/Soap.h"
#include "platform/Janela.h"
#include "platform/MessageBox.h"
#include "storage/Cadastro.h"
#include "storage/Database.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QPointer>

#include <algorithm>
#include <exception>

namespace tervalia {

using contador::TipoDocumento;
namespace mensagem = contador::mensagem;

namespace {
QWidget* principal()
{
    JanelaPrincipal* p = JanelaPrincipal::aberta();
    return p ? p->janela() : nullptr;
}

QString mascara(TipoDocumento tipo)
{
    return tipo == TipoDocumento::Cpf ? QString(contador::mascaraCpf) : QString(contador::mascaraCnpj);
}

bool semDigitos(const QString& texto)
{
    return std::none_of(texto.cbegin(), texto.cend(), [](QChar c) { return c.isDigit(); });
}
} // namespace

frmContador::frmContador(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::frmContador>())
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    m_ui->txtCNPJCPF->setInputMask(mascara(TipoDocumento::Cnpj));
    m_ui->txtTelefone->setInputMask(QString(contador::mascaraTelefone));
    m_ui->txtCEP->setInputMask(QString(contador::mascaraCep));
    for (QLineEdit* mascarado : {m_ui->txtCNPJCPF, m_ui->txtTelefone, m_ui->txtCEP})
        mascarado->installEventFilter(this);

    connect(m_ui->opt_fisica, &QRadioButton::clicked, this, [this] { mudaMascaraDocumento(TipoDocumento::Cpf); });
    connect(m_ui->opt_juridica, &QRadioButton::clicked, this, [this] { mudaMascaraDocumento(TipoDocumento::Cnpj); });
    connect(m_ui->btnOK, &QPushButton::clicked, this, &frmContador::btnOK_Click);
    // OK is the default button: Enter in any field confirms.
    for (QLineEdit* campo : findChildren<QLineEdit*>())
        connect(campo, &QLineEdit::returnPressed, m_ui->btnOK, &QPushButton::click);
    connect(m_ui->Command1, &QPushButton::clicked, this, &QWidget::close);
    connect(m_ui->Command2, &QPushButton::clicked, this, &frmContador::Command2_Click);
    janela::fechaComEsc(this);
    janela::ajustaLargura(this);

    Form_Load();
}

frmContador::~frmContador() = default;

frmContador* frmContador::abrir()
{
    frmContador* janela = instance();
    JanelaPrincipal::mantemAcima(janela);
    janela->show();
    janela->raise();
    janela->activateWindow();
    // Already open, it does not load again; it still gives the main window back.
    JanelaPrincipal::switchOn();
    return janela;
}

bool frmContador::eventFilter(QObject* watched, QEvent* event)
{
    auto* campo = qobject_cast<QLineEdit*>(watched);
    // Leaving the field means the focus going to another control. The window losing activation
    // (to another window, a message box or a menu) leaves the field where it was.
    if (campo == m_ui->txtCNPJCPF && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason motivo = static_cast<QFocusEvent*>(event)->reason();
        if (motivo != Qt::ActiveWindowFocusReason && motivo != Qt::PopupFocusReason)
            txtCNPJCPF_LostFocus();
    }
    // A click into the blank part of an empty masked field would leave the cursor where typed
    // digits are dropped: start at the first place instead.
    if (campo && event->type() == QEvent::MouseButtonRelease && semDigitos(campo->displayText()) &&
        !campo->hasSelectedText())
        campo->setCursorPosition(0);
    return QWidget::eventFilter(watched, event);
}

void frmContador::Form_Load()
{
    JanelaPrincipal::switchOn();
    const std::optional<ContadorRecord> salvo = cadastro::readContador();
    if (!salvo)
        return;

    // The stored document keeps its punctuation: 14 characters are a CPF, anything else a CNPJ.
    m_tipoDocumento = salvo->cpfCnpj.size() == contador::tamanhoCpfFormatado ? TipoDocumento::Cpf : TipoDocumento::Cnpj;
    m_ui->txtCNPJCPF->setInputMask(mascara(m_tipoDocumento));
    m_ui->txtCNPJCPF->setText(salvo->cpfCnpj);
    // Only removal can change the document of a stored accountant.
    for (QWidget* travado : std::initializer_list<QWidget*>{m_ui->txtCNPJCPF, m_ui->opt_fisica, m_ui->opt_juridica})
        travado->setEnabled(false);

    m_ui->txtCRC->setText(salvo->numCrc);
    m_ui->txtRazaoSocial->setText(salvo->razaoNome);
    m_ui->txtLogradouro->setText(salvo->nomEndereco);
    m_ui->txtNumero->setText(salvo->numPredial);
    m_ui->txtComplemento->setText(salvo->dscComplemento);
    m_ui->txtBairro->setText(salvo->nomBairro);
    m_ui->txtCidade->setText(salvo->nomCidade);
    m_ui->txtUF->setText(salvo->nomEstado);
    m_ui->txtTelefone->setText(salvo->numTelefone);
    m_ui->txtCEP->setText(salvo->numCep);
    m_ui->txtEmail->setText(salvo->email);
}

// The digits typed so far move into the new mask, in order.
void frmContador::mudaMascaraDocumento(TipoDocumento tipo)
{
    QString digitos = m_ui->txtCNPJCPF->displayText();
    digitos.removeIf([](QChar c) { return !c.isDigit(); });
    m_tipoDocumento = tipo;
    m_ui->txtCNPJCPF->setInputMask(mascara(tipo));
    m_ui->txtCNPJCPF->setText(digitos);
}

// Masked fields are read as displayed: literals and "_" placeholders included. Characters that no
// XML text may hold (a pasted control character) are left out, so they are neither sent nor stored.
ContadorRecord frmContador::campos() const
{
    ContadorRecord c{m_ui->txtCNPJCPF->displayText(),  m_ui->txtCRC->text(),        m_ui->txtRazaoSocial->text(),
                     m_ui->txtLogradouro->text(),      m_ui->txtNumero->text(),     m_ui->txtComplemento->text(),
                     m_ui->txtBairro->text(),          m_ui->txtCidade->text(),     m_ui->txtUF->text(),
                     m_ui->txtTelefone->displayText(), m_ui->txtCEP->displayText(), m_ui->txtEmail->text()};
    for (QString* campo : {&c.cpfCnpj, &c.numCrc, &c.razaoNome, &c.nomEndereco, &c.numPredial, &c.dscComplemento,
                           &c.nomBairro, &c.nomCidade, &c.nomEstado, &c.numTelefone, &c.numCep, &c.email})
        *campo = removeXmlForbiddenCharacters(*campo);
    return c;
}

void frmContador::txtCNPJCPF_LostFocus()
{
    m_ui->erroMsg->setText(contador::verificaDigitosDocumento(m_tipoDocumento, m_ui->txtCNPJCPF->displayText()));
}

// The server hears of every confirmation, even one that the checks then refuse; only one it took
// goes on to the checks and the save.
void frmContador::btnOK_Click()
{
    const ContadorRecord digitado = campos();
    // A close asked for during the call waits for its end (EnviaSoap); the window is checked anyway.
    const QPointer<frmContador> janela(this);
    bool registrado = false;
    QString causa;
    try {
        registrado = contador::fnContador(digitado);
    } catch (const SoapError& erro) {
        causa = erro.causaSeguranca();
    } catch (const std::exception&) {
        registrado = false;
    }
    if (!janela)
        return;
    if (!registrado) {
        MessageBox::show(this, mensagem::falhaConexao(2) + causa, QString(mensagem::titulo), QMessageBox::Critical);
        return;
    }
    try {
        confirma(digitado);
    } catch (const DatabaseError&) {
        MessageBox::show(this, mensagem::falhaConexao(1), QString(mensagem::titulo), QMessageBox::Critical);
    }
}

void frmContador::confirma(const ContadorRecord& digitado)
{
    const ContadorRecord verificado = contador::comApostrofosDobrados(digitado);
    QString erro = contador::verificaDocumento(m_tipoDocumento, verificado.cpfCnpj);
    m_ui->erroMsg->setText(erro);
    if (!erro.isEmpty())
        return;

    erro = contador::verificaCampos(verificado, [this] {
        return MessageBox::show(this, mensagem::perguntaCrc(), QString(mensagem::titulo), QMessageBox::NoIcon,
                                QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    });
    m_ui->erroMsg->setText(erro);
    if (!erro.isEmpty())
        return;

    // Values are bound, not spliced, so they are stored exactly as typed.
    cadastro::replaceContador(digitado);
    close();
    MessageBox::show(principal(), mensagem::sucesso(), QString(mensagem::titulo), QMessageBox::Information);
}

// Nothing is removed before the user says so; "Não" is the answer Enter gives.
void frmContador::Command2_Click()
{
    if (MessageBox::show(this, mensagem::perguntaRemocao(), QString(mensagem::titulo), QMessageBox::Question,
                         QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    try {
        cadastro::deleteContador();
    } catch (const DatabaseError&) {
        MessageBox::show(this, mensagem::falhaRemocao(), QString(mensagem::titulo));
        return;
    }
    // The new, empty window can only come once this one is gone.
    connect(this, &QObject::destroyed, qApp, &frmContador::reabreVazia, Qt::QueuedConnection);
    close();
}

void frmContador::reabreVazia()
{
    try {
        abrir();
    } catch (const DatabaseError&) {
        MessageBox::show(principal(), mensagem::falhaRemocao(), QString(mensagem::titulo));
    }
}

} // namespace tervalia
