#include "accountant/frmContador.h"
#include "app/Principal.h"
#include "BuildConfig.h"
#include "net/HttpDouble.h"
#include "server/SoapMessage.h"
#include "storage/Cadastro.h"
#include "storage/Database.h"
#include "support/GuiTest.h"
#include "support/StandInServer.h"
#include "support/TestProgramDir.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTest>

#include <memory>

using namespace tervalia;

namespace {
using test::child;

const QString tituloMg = QStringLiteral("Tervalia - MG");
const QString cnpjVazio = QStringLiteral("__.___.___/____-__");

QLineEdit* campo(QWidget* w, const char* name)
{
    return child<QLineEdit>(w, name);
}

// Types as a user would: masked fields take the digits from their first place on.
void digita(QWidget* w, const char* name, const QString& texto)
{
    QLineEdit* e = campo(w, name);
    e->clear();
    e->setCursorPosition(0);
    QTest::keyClicks(e, texto);
}

// A complete, valid accountant as typed; the masked fields take digits only.
struct Digitado
{
    const char* nome;
    QString texto;
};

QList<Digitado> valido()
{
    return {{"txtCNPJCPF", QStringLiteral("11222333000181")},
            {"txtCRC", QStringLiteral("MG-012345/O")},
            {"txtRazaoSocial", QStringLiteral("Contabilidade Ostare Ltda")},
            {"txtLogradouro", QStringLiteral("Rua das Flores")},
            {"txtNumero", QStringLiteral("100")},
            {"txtComplemento", QStringLiteral("sala 2")},
            {"txtBairro", QStringLiteral("Centro")},
            {"txtCidade", QStringLiteral("Ostare")},
            {"txtUF", QStringLiteral("MG")},
            {"txtTelefone", QStringLiteral("3133334444")},
            {"txtCEP", QStringLiteral("35500000")},
            {"txtEmail", QStringLiteral("contato@ostare.com.br")}};
}

// The record the window reads from its fields, in column order.
ContadorRecord naTela(QWidget* w)
{
    return {
        campo(w, "txtCNPJCPF")->displayText(),  campo(w, "txtCRC")->text(),        campo(w, "txtRazaoSocial")->text(),
        campo(w, "txtLogradouro")->text(),      campo(w, "txtNumero")->text(),     campo(w, "txtComplemento")->text(),
        campo(w, "txtBairro")->text(),          campo(w, "txtCidade")->text(),     campo(w, "txtUF")->text(),
        campo(w, "txtTelefone")->displayText(), campo(w, "txtCEP")->displayText(), campo(w, "txtEmail")->text()};
}

QStringList comoLista(const ContadorRecord& c)
{
    return {c.cpfCnpj,   c.numCrc,    c.razaoNome, c.nomEndereco, c.numPredial, c.dscComplemento,
            c.nomBairro, c.nomCidade, c.nomEstado, c.numTelefone, c.numCep,     c.email};
}

ContadorRecord armazenado()
{
    return {QStringLiteral("123.456.789-09"), QStringLiteral("CRC 1"),     QStringLiteral("Maria D'Avila"),
            QStringLiteral("Av. Brasil"),     QStringLiteral("5"),         QString(),
            QStringLiteral("Savassi"),        QStringLiteral("Ostare"),    QStringLiteral("MG"),
            QStringLiteral("(31) 2222-1111"), QStringLiteral("30140-000"), QStringLiteral("maria@ostare.br")};
}

int linhasContador()
{
    Connection db;
    QSqlQuery q = db.exec(QStringLiteral("select count(0) as total from tblContador"));
    q.next();
    return q.value(0).toInt();
}

// A loopback port with nobody listening.
QString portaMorta()
{
    QTcpServer s;
    if (!s.listen(QHostAddress::LocalHost))
        qFatal("no free port");
    return QString::number(s.serverPort());
}
} // namespace

class ContadorTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void opensEmpty();
    void storedDocumentChoosesMaskAndLocks_data();
    void storedDocumentChoosesMaskAndLocks();
    void personTypeSwitchesMask();
    void clickIntoEmptyMaskedField();
    void leavingDocumentField_data();
    void leavingDocumentField();
    void otherWindowDoesNotLeaveDocumentField();

    void checksAfterSending_data();
    void checksAfterSending();
    void crcQuestion();
    void okReplacesTheOneRow();
    void envelopeAsSent();
    void unreachableServerSavesNothing_data();
    void unreachableServerSavesNothing();
    void failedInsertKeepsPreviousRow();
    void cancelarChangesNothing();

    void removerReopensEmpty_data();
    void removerReopensEmpty();
    void removerFailure();
    void removerThenReopenFailure();

    void novoWithoutAccountantOpensWindow();
    void contadorMenuLeavesMainWindowUsable();
    void contadorMenuWithBrokenDatabase();

private:
    frmContador* abrir();
    void preenche(frmContador* w, const QList<Digitado>& campos);
    void clicaOk(frmContador* w);
    QList<QStringList> recebidos() const;

    std::unique_ptr<test::TestProgramDir> m_dir;
    std::unique_ptr<test::StandInServer> m_server;
};

void ContadorTest::initTestCase()
{
    m_server = std::make_unique<test::StandInServer>();
}

void ContadorTest::init()
{
    m_dir = std::make_unique<test::TestProgramDir>();
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), QString::number(m_server->port()));
    test::startGuiTest();
}

void ContadorTest::cleanup()
{
    test::finishGuiTest();
    m_dir.reset();
}

frmContador* ContadorTest::abrir()
{
    frmContador* w = frmContador::abrir();
    if (!w || !w->isVisible())
        qFatal("the accountant window did not open");
    return w;
}

void ContadorTest::preenche(frmContador* w, const QList<Digitado>& campos)
{
    for (const Digitado& d : campos)
        digita(w, d.nome, d.texto);
}

void ContadorTest::clicaOk(frmContador* w)
{
    QTest::mouseClick(child<QPushButton>(w, "btnOK"), Qt::LeftButton);
}

QList<QStringList> ContadorTest::recebidos() const
{
    return m_server->contadores();
}

void ContadorTest::opensEmpty()
{
    frmContador* w = abrir();
    QCOMPARE(w->windowTitle(), QStringLiteral("Dados do Contador - Prefeitura Municipal de Ostare"));
    QCOMPARE(child<QGroupBox>(w, "Frame1")->title(), QStringLiteral("Dados do Contador"));
    QCOMPARE(child<QRadioButton>(w, "opt_fisica")->text(), QStringLiteral("Física"));
    QCOMPARE(child<QRadioButton>(w, "opt_juridica")->text(), QStringLiteral("Jurídica"));
    QCOMPARE(child<QPushButton>(w, "btnOK")->text(), QStringLiteral("OK"));
    QCOMPARE(child<QPushButton>(w, "Command1")->text(), QStringLiteral("Cancelar"));
    QCOMPARE(child<QPushButton>(w, "Command2")->text(), QStringLiteral("Remover"));
    QCOMPARE(child<QLabel>(w, "Label11")->text(),
             QStringLiteral("Atenção: Para a transmissão dos documentos será utilizado o certificado dos dados "
                            "cadastrados do contador responsável."));
    QVERIFY(child<QLabel>(w, "erroMsg")->text().isEmpty());

    // Each field's caption is the label that names it.
    const QList<QPair<const char*, const char*>> legendas = {
        {"txtCNPJCPF", "CNPJ / CPF"},  {"txtCRC", "CRC"},       {"txtRazaoSocial", "Razão Social"},
        {"txtLogradouro", "Endereço"}, {"txtNumero", "Número"}, {"txtComplemento", "Complemento"},
        {"txtBairro", "Bairro"},       {"txtCidade", "Cidade"}, {"txtUF", "Estado"},
        {"txtTelefone", "Telefone"},   {"txtCEP", "CEP"},       {"txtEmail", "E-mail"}};
    for (const auto& [nome, legenda] : legendas) {
        QLineEdit* e = campo(w, nome);
        QVERIFY2(e->isEnabled(), nome);
        QVERIFY2(!e->inputMask().isEmpty() || e->text().isEmpty(), nome);
        const auto labels = w->findChildren<QLabel*>();
        const bool temLegenda = std::any_of(labels.cbegin(), labels.cend(), [&](QLabel* l) {
            return l->buddy() == e && l->text() == QString::fromUtf8(legenda);
        });
        QVERIFY2(temLegenda, nome);
    }
    QCOMPARE(campo(w, "txtCNPJCPF")->displayText(), cnpjVazio);
    QCOMPARE(campo(w, "txtTelefone")->displayText(), QStringLiteral("(__) ____-____"));
    QCOMPARE(campo(w, "txtCEP")->displayText(), QStringLiteral("_____-___"));
    for (const char* opcao : {"opt_fisica", "opt_juridica"}) {
        QVERIFY(child<QRadioButton>(w, opcao)->isEnabled());
        QVERIFY(!child<QRadioButton>(w, opcao)->isChecked());
    }
}

void ContadorTest::storedDocumentChoosesMaskAndLocks_data()
{
    QTest::addColumn<QString>("documento");
    QTest::addColumn<QString>("mascaraVazia");
    QTest::newRow("CPF, 14 characters") << QStringLiteral("123.456.789-09") << QStringLiteral("___.___.___-__");
    QTest::newRow("CNPJ, 18 characters") << QStringLiteral("11.222.333/0001-81") << cnpjVazio;
}

void ContadorTest::storedDocumentChoosesMaskAndLocks()
{
    QFETCH(QString, documento);
    QFETCH(QString, mascaraVazia);
    ContadorRecord salvo = armazenado();
    salvo.cpfCnpj = documento;
    cadastro::replaceContador(salvo);

    frmContador* w = abrir();
    QCOMPARE(naTela(w), salvo);
    QLineEdit* doc = campo(w, "txtCNPJCPF");
    QVERIFY(!doc->isEnabled());
    for (const char* opcao : {"opt_fisica", "opt_juridica"}) {
        QVERIFY(!child<QRadioButton>(w, opcao)->isEnabled());
        QVERIFY(!child<QRadioButton>(w, opcao)->isChecked());
    }
    QVERIFY(campo(w, "txtRazaoSocial")->isEnabled());
    // The mask in use shows once the field is emptied.
    doc->clear();
    QCOMPARE(doc->displayText(), mascaraVazia);
}

void ContadorTest::personTypeSwitchesMask()
{
    frmContador* w = abrir();
    QLineEdit* doc = campo(w, "txtCNPJCPF");
    QTest::mouseClick(child<QRadioButton>(w, "opt_fisica"), Qt::LeftButton);
    QCOMPARE(doc->displayText(), QStringLiteral("___.___.___-__"));
    digita(w, "txtCNPJCPF", QStringLiteral("1234567"));
    QCOMPARE(doc->displayText(), QStringLiteral("123.456.7__-__"));
    // The digits already typed follow into the other mask.
    QTest::mouseClick(child<QRadioButton>(w, "opt_juridica"), Qt::LeftButton);
    QCOMPARE(doc->displayText(), QStringLiteral("12.345.67_/____-__"));
    QTest::mouseClick(child<QRadioButton>(w, "opt_fisica"), Qt::LeftButton);
    QCOMPARE(doc->displayText(), QStringLiteral("123.456.7__-__"));
}

// A click anywhere into an empty masked field lets the digits typed next land from its first place.
void ContadorTest::clickIntoEmptyMaskedField()
{
    frmContador* w = abrir();
    QLineEdit* cep = campo(w, "txtCEP");
    QTest::mouseClick(cep, Qt::LeftButton, {}, QPoint(cep->width() - 4, cep->height() / 2));
    QTest::keyClicks(cep, QStringLiteral("35500000"));
    QCOMPARE(cep->displayText(), QStringLiteral("35500-000"));

    // Once something is typed, a click places the cursor where it falls, as usual.
    QTest::mouseClick(cep, Qt::LeftButton, {}, QPoint(cep->width() - 4, cep->height() / 2));
    QCOMPARE(cep->cursorPosition(), cep->displayText().size());
}

void ContadorTest::leavingDocumentField_data()
{
    QTest::addColumn<bool>("cpf");
    QTest::addColumn<QString>("digitos");
    QTest::addColumn<QString>("mensagem");
    const QString erroCpf = QStringLiteral("Documento CPF Informado incorretamente");
    const QString erroCnpj = QStringLiteral("Documento CNPJ Informado incorretamente");
    QTest::newRow("valid CNPJ") << false << QStringLiteral("11222333000181") << QString();
    QTest::newRow("wrong CNPJ") << false << QStringLiteral("11222333000182") << erroCnpj;
    QTest::newRow("valid CPF") << true << QStringLiteral("11144477735") << QString();
    QTest::newRow("wrong CPF") << true << QStringLiteral("11144477736") << erroCpf;
    QTest::newRow("empty field: no length test here") << false << QString() << QString();
    // Missing places read as zeros, and this number is valid with a final zero.
    QTest::newRow("13-digit CNPJ passes on leaving") << false << QStringLiteral("1122233300182") << QString();
}

void ContadorTest::leavingDocumentField()
{
    QFETCH(bool, cpf);
    QFETCH(QString, digitos);
    QFETCH(QString, mensagem);
    frmContador* w = abrir();
    QVERIFY(QTest::qWaitForWindowActive(w));
    auto* erro = child<QLabel>(w, "erroMsg");
    erro->setText(QStringLiteral("mensagem anterior"));
    if (cpf)
        QTest::mouseClick(child<QRadioButton>(w, "opt_fisica"), Qt::LeftButton);
    QLineEdit* doc = campo(w, "txtCNPJCPF");
    doc->setFocus();
    QTRY_VERIFY(doc->hasFocus());
    digita(w, "txtCNPJCPF", digitos);
    campo(w, "txtCRC")->setFocus();
    QTRY_VERIFY(!doc->hasFocus());
    QCOMPARE(erro->text(), mensagem);
}

// Only the focus going to another control of the window leaves the document field: another
// window coming to the front checks nothing yet.
void ContadorTest::otherWindowDoesNotLeaveDocumentField()
{
    frmContador* w = abrir();
    QVERIFY(QTest::qWaitForWindowActive(w));
    auto* erro = child<QLabel>(w, "erroMsg");
    QLineEdit* doc = campo(w, "txtCNPJCPF");
    doc->setFocus();
    QTRY_VERIFY(doc->hasFocus());
    digita(w, "txtCNPJCPF", QStringLiteral("112223"));

    QWidget outra;
    outra.show();
    outra.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&outra));
    QVERIFY(!doc->hasFocus());
    QCOMPARE(erro->text(), QString());

    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    QTRY_VERIFY(doc->hasFocus());
    campo(w, "txtCRC")->setFocus();
    QTRY_VERIFY(!doc->hasFocus());
    QCOMPARE(erro->text(), QStringLiteral("Documento CNPJ Informado incorretamente"));
}

// Every OK reaches the server first, with what was typed; only then are the fields checked.
void ContadorTest::checksAfterSending_data()
{
    QTest::addColumn<bool>("cpf");
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QString>("texto");
    QTest::addColumn<QString>("erro");

    const QString erroCpf = QStringLiteral("Documento CPF Informado incorretamente");
    const QString erroCnpj = QStringLiteral("Documento CNPJ Informado incorretamente");
    const QString erroRazao = QStringLiteral("Favor digitar a Razão Social corretamente");
    const QString erroUf = QStringLiteral("Favor digitar o UF corretamente.  Ex: SP, RJ, PR, MG (em maiúsculo)");
    const QString aceito;

    QTest::newRow("valid CNPJ") << false << "txtCNPJCPF"
                                << "11222333000181" << aceito;
    QTest::newRow("wrong CNPJ") << false << "txtCNPJCPF"
                                << "11222333000182" << erroCnpj;
    // Valid once the missing place reads as zero: only the digit count refuses it.
    QTest::newRow("CNPJ of 13 digits") << false << "txtCNPJCPF"
                                       << "1122233300182" << erroCnpj;
    QTest::newRow("empty CNPJ") << false << "txtCNPJCPF"
                                << "" << erroCnpj;
    QTest::newRow("valid CPF") << true << "txtCNPJCPF"
                               << "11144477735" << aceito;
    QTest::newRow("wrong CPF") << true << "txtCNPJCPF"
                               << "11144477736" << erroCpf;
    QTest::newRow("CPF missing a digit") << true << "txtCNPJCPF"
                                         << "1234567881" << erroCpf;

    QTest::newRow("e-mail of 5") << false << "txtEmail"
                                 << "a@b.c" << QStringLiteral("Favor digitar um e-mail");
    QTest::newRow("e-mail of 6 without at sign") << false << "txtEmail"
                                                 << "abcdef" << aceito;
    QTest::newRow("e-mail empty") << false << "txtEmail"
                                  << "" << QStringLiteral("Favor digitar um e-mail");

    QTest::newRow("razão social of 4") << false << "txtRazaoSocial"
                                       << "ABCD" << erroRazao;
    QTest::newRow("razão social of 3 and an apostrophe") << false << "txtRazaoSocial"
                                                         << "AB'" << erroRazao;
    QTest::newRow("razão social of 4 and an apostrophe") << false << "txtRazaoSocial"
                                                         << "ABC'" << aceito;

    QTest::newRow("endereço empty") << false << "txtLogradouro"
                                    << "" << QStringLiteral("Favor digitar o Endereço corretamente");
    QTest::newRow("endereço of blanks") << false << "txtLogradouro"
                                        << "  " << aceito;
    QTest::newRow("número empty") << false << "txtNumero"
                                  << "" << QStringLiteral("Favor digitar o Número corretamente");
    QTest::newRow("número of blanks") << false << "txtNumero"
                                      << " " << aceito;
    QTest::newRow("CEP missing a digit") << false << "txtCEP"
                                         << "3550000" << QStringLiteral("Favor digitar o CEP corretamente");
    QTest::newRow("CEP empty") << false << "txtCEP"
                               << "" << QStringLiteral("Favor digitar o CEP corretamente");
    QTest::newRow("bairro of blanks") << false << "txtBairro"
                                      << "   " << QStringLiteral("Favor digitar o Bairro corretamente");
    QTest::newRow("cidade empty") << false << "txtCidade"
                                  << "" << QStringLiteral("Favor digitar a Cidade corretamente");

    QTest::newRow("UF SP") << false << "txtUF"
                           << "SP" << aceito;
    QTest::newRow("UF sp") << false << "txtUF"
                           << "sp" << erroUf;
    QTest::newRow("UF XX") << false << "txtUF"
                           << "XX" << erroUf;
    QTest::newRow("UF empty") << false << "txtUF"
                              << "" << aceito;
    QTest::newRow("UF P ends AP") << false << "txtUF"
                                  << "P" << aceito;
    QTest::newRow("UF C ends AC") << false << "txtUF"
                                  << "C" << aceito;
    QTest::newRow("UF D only starts DF") << false << "txtUF"
                                         << "D" << erroUf;
}

void ContadorTest::checksAfterSending()
{
    QFETCH(bool, cpf);
    QFETCH(QString, nome);
    QFETCH(QString, texto);
    QFETCH(QString, erro);
    frmContador* w = abrir();
    if (cpf)
        QTest::mouseClick(child<QRadioButton>(w, "opt_fisica"), Qt::LeftButton);
    preenche(w, valido());
    digita(w, qPrintable(nome), texto);
    const ContadorRecord digitado = naTela(w);
    const qsizetype antes = recebidos().size();

    clicaOk(w);

    const QList<QStringList> depois = recebidos();
    QCOMPARE(depois.size(), antes + 1);
    QCOMPARE(depois.last(), comoLista(digitado));

    if (erro.isEmpty()) {
        QTRY_VERIFY(!frmContador::existing());
        const auto shown = test::takeMessages();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("Contador cadastrado com sucesso"));
        QCOMPARE(shown[0].title, tituloMg);
        QCOMPARE(shown[0].icon, QMessageBox::Information);
        QCOMPARE(cadastro::readContador(), std::optional<ContadorRecord>(digitado));
    } else {
        QVERIFY(w->isVisible());
        QCOMPARE(child<QLabel>(w, "erroMsg")->text(), erro);
        QVERIFY(test::takeMessages().isEmpty());
        QCOMPARE(linhasContador(), 0);
        // The typed values stay for the user to correct.
        QCOMPARE(naTela(w), digitado);
    }
}

void ContadorTest::crcQuestion()
{
    const QString pergunta = QStringLiteral("Deseja prosseguir sem o CRC?");
    frmContador* w = abrir();
    preenche(w, valido());
    digita(w, "txtCRC", QStringLiteral("  "));

    MessageBox::queueAnswer(QMessageBox::No);
    clicaOk(w);
    auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, pergunta);
    QCOMPARE(shown[0].title, tituloMg);
    QCOMPARE(shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(child<QLabel>(w, "erroMsg")->text(),
             QStringLiteral("Você optou por não prosseguir sem o CRC, favor digitar e clicar em OK novamente"));
    QCOMPARE(linhasContador(), 0);

    // An earlier check failing asks nothing.
    digita(w, "txtEmail", QStringLiteral("a@b"));
    clicaOk(w);
    QVERIFY(test::takeMessages().isEmpty());
    QCOMPARE(child<QLabel>(w, "erroMsg")->text(), QStringLiteral("Favor digitar um e-mail"));

    digita(w, "txtEmail", QStringLiteral("a@b.com"));
    digita(w, "txtCRC", QString());
    MessageBox::queueAnswer(QMessageBox::Yes);
    clicaOk(w);
    shown = test::takeMessages();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0].text, pergunta);
    QCOMPARE(shown[1].text, QStringLiteral("Contador cadastrado com sucesso"));
    QTRY_VERIFY(!frmContador::existing());
    QCOMPARE(cadastro::readContador().value().numCrc, QString());
}

void ContadorTest::okReplacesTheOneRow()
{
    cadastro::replaceContador(armazenado());
    Principal* p = Principal::instance();
    p->show();
    frmContador* w = abrir();
    QVERIFY(p->isEnabled());
    digita(w, "txtRazaoSocial", QStringLiteral("Maria D'Avila Contabilidade"));
    digita(w, "txtUF", QStringLiteral("SP"));
    ContadorRecord esperado = armazenado();
    esperado.razaoNome = QStringLiteral("Maria D'Avila Contabilidade");
    esperado.nomEstado = QStringLiteral("SP");
    QCOMPARE(naTela(w), esperado);

    // Enter in a field confirms, as OK does.
    QTest::keyClick(campo(w, "txtCidade"), Qt::Key_Return);
    QCOMPARE(test::takeMessages().size(), 1);
    QTRY_VERIFY(!frmContador::existing());
    QCOMPARE(linhasContador(), 1);
    QCOMPARE(cadastro::readContador(), std::optional<ContadorRecord>(esperado));
    QVERIFY(p->isEnabled());

    // Opened again, the stored accountant is back and locked.
    w = abrir();
    QCOMPARE(naTela(w), esperado);
    QVERIFY(!campo(w, "txtCNPJCPF")->isEnabled());
}

// The request as it leaves the window: the fields as typed, each apostrophe doubled, an empty
// masked field as its bare mask. Once the server has taken it, the checks run.
void ContadorTest::envelopeAsSent()
{
    test::HttpDouble servidor;
    servidor.setAnswer(test::HttpDouble::answer(
        standin::soapResponse(QStringLiteral("Transferencia.contador"), QStringLiteral("CONTADOR_RECEBIDO")),
        "application/soap+xml; charset=utf-8"));
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), servidor.port());
    frmContador* w = abrir();
    preenche(w, valido());
    digita(w, "txtCNPJCPF", QString());
    digita(w, "txtRazaoSocial", QStringLiteral("D'Avila & Filhos <Ltda>"));
    digita(w, "txtNumero", QStringLiteral(" 10 "));
    digita(w, "txtTelefone", QString());
    digita(w, "txtEmail", QStringLiteral("o'neil@ostare.br"));
    clicaOk(w);

    QCOMPARE(servidor.requests().size(), 1);
    const test::HttpDouble::Request& pedido = servidor.requests().first();
    QCOMPARE(pedido.method, QByteArray("POST"));
    QCOMPARE(pedido.target, QByteArray("/ravu/server/index.php?wsdl"));
    QCOMPARE(pedido.headers.value("content-type"), QByteArray("text/xml"));
    QCOMPARE(pedido.headers.value("soapaction"), QByteArray("Transferencia.contador"));
    const QByteArray& corpo = pedido.body;
    QCOMPARE(corpo, QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?><soap12:Envelope "
                               "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                               "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
                               "xmlns:soap12=\"http://www.w3.org/2003/05/soap-envelope\"> <soap12:Body>"
                               "<Transferencia.contador xmlns=\"\">"
                               "<thisCont_cpf_cnpj>__.___.___/____-__</thisCont_cpf_cnpj>"
                               "<thisCont_num_crc>MG-012345/O</thisCont_num_crc>"
                               "<thisCont_razao_nome>D''Avila &amp; Filhos &lt;Ltda&gt;</thisCont_razao_nome>"
                               "<thisCont_nom_endereco>Rua das Flores</thisCont_nom_endereco>"
                               "<thisCont_num_endereco> 10 </thisCont_num_endereco>"
                               "<thisCont_complemento>sala 2</thisCont_complemento>"
                               "<thisCont_nom_bairro>Centro</thisCont_nom_bairro>"
                               "<thisCont_nom_cidade>Ostare</thisCont_nom_cidade>"
                               "<thisCont_nom_estado>MG</thisCont_nom_estado>"
                               "<thisCont_num_telefone>(__) ____-____</thisCont_num_telefone>"
                               "<thisCont_num_cep>35500-000</thisCont_num_cep>"
                               "<thisCont_email>o''neil@ostare.br</thisCont_email>"
                               "</Transferencia.contador></soap12:Body></soap12:Envelope>"));
    QCOMPARE(child<QLabel>(w, "erroMsg")->text(), QStringLiteral("Documento CNPJ Informado incorretamente"));

    // With a document the entry is saved; apostrophes are stored once.
    digita(w, "txtCNPJCPF", QStringLiteral("11222333000181"));
    clicaOk(w);
    QCOMPARE(servidor.requests().size(), 2);
    QCOMPARE(test::takeMessages().size(), 1);
    QTRY_VERIFY(!frmContador::existing());
    QCOMPARE(cadastro::readContador().value().razaoNome, QStringLiteral("D'Avila & Filhos <Ltda>"));
    QCOMPARE(cadastro::readContador().value().email, QStringLiteral("o'neil@ostare.br"));
}

void ContadorTest::unreachableServerSavesNothing_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("porta");
    QTest::newRow("dead port") << "127.0.0.1" << portaMorta();
    QTest::newRow("no port in the settings") << "127.0.0.1"
                                             << "";
}

void ContadorTest::unreachableServerSavesNothing()
{
    QFETCH(QString, host);
    QFETCH(QString, porta);
    m_dir->writeSettings(host, porta);
    cadastro::replaceContador(armazenado());
    frmContador* w = abrir();
    digita(w, "txtRazaoSocial", QStringLiteral("Outro Nome Ltda"));
    const qsizetype antes = recebidos().size();

    clicaOk(w);
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text,
             QStringLiteral("Falha de conexão - Cód 2, \r\nfavor entrar em contato com seu administrador de redes "
                            "para verificação de regras no seu firewall ou proxy. \r\n\r\nVerifique também suas "
                            "configurações de antivírus.\r\n\r\nO sistema deverá se comunicar com a URL http://") +
                 QString::fromUtf8(build::siteAddress) + QLatin1Char('/'));
    QCOMPARE(shown[0].title, tituloMg);
    QCOMPARE(shown[0].icon, QMessageBox::Critical);
    QVERIFY(w->isVisible());
    QCOMPARE(cadastro::readContador(), std::optional<ContadorRecord>(armazenado()));
    QCOMPARE(recebidos().size(), antes);
}

void ContadorTest::failedInsertKeepsPreviousRow()
{
    cadastro::replaceContador(armazenado());
    {
        Connection db;
        db.exec(QStringLiteral("create trigger recusa before insert on tblContador "
                               "begin select raise(abort, 'disco cheio'); end"));
    }
    frmContador* w = abrir();
    digita(w, "txtRazaoSocial", QStringLiteral("Outro Nome Ltda"));
    clicaOk(w);
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].text.startsWith(QStringLiteral("Falha de conexão - Cód 1, \r\nfavor entrar")),
             qPrintable(shown[0].text));
    QCOMPARE(shown[0].title, tituloMg);
    QCOMPARE(shown[0].icon, QMessageBox::Critical);
    QVERIFY(w->isVisible());
    QCOMPARE(linhasContador(), 1);
    QCOMPARE(cadastro::readContador(), std::optional<ContadorRecord>(armazenado()));
}

void ContadorTest::cancelarChangesNothing()
{
    cadastro::replaceContador(armazenado());
    frmContador* w = abrir();
    digita(w, "txtRazaoSocial", QStringLiteral("Outro Nome Ltda"));
    const qsizetype antes = recebidos().size();
    QTest::mouseClick(child<QPushButton>(w, "Command1"), Qt::LeftButton);
    QTRY_VERIFY(!frmContador::existing());
    QCOMPARE(recebidos().size(), antes);
    QCOMPARE(cadastro::readContador(), std::optional<ContadorRecord>(armazenado()));
}

void ContadorTest::removerReopensEmpty_data()
{
    QTest::addColumn<bool>("comContador");
    QTest::addColumn<int>("resposta"); // to "Deseja realmente remover os dados do contador?"; 0: Enter
    QTest::newRow("stored accountant") << true << int(QMessageBox::Yes);
    QTest::newRow("nothing stored") << false << int(QMessageBox::Yes);
    QTest::newRow("Não keeps it") << true << int(QMessageBox::No);
    QTest::newRow("Enter answers Não") << true << 0;
}

// "Remover" asks first; only "Sim" removes.
void ContadorTest::removerReopensEmpty()
{
    QFETCH(bool, comContador);
    QFETCH(int, resposta);
    if (comContador)
        cadastro::replaceContador(armazenado());
    QPointer<frmContador> antiga = abrir();
    const qsizetype antes = recebidos().size();
    if (resposta)
        MessageBox::queueAnswer(MessageBox::Button(resposta));
    QTest::mouseClick(child<QPushButton>(antiga, "Command2"), Qt::LeftButton);
    const auto perguntas = test::takeMessages();
    QCOMPARE(perguntas.size(), 1);
    QCOMPARE(perguntas[0].text, QStringLiteral("Deseja realmente remover os dados do contador?"));
    QCOMPARE(perguntas[0].title, tituloMg);
    QCOMPARE(perguntas[0].buttons, QMessageBox::Yes | QMessageBox::No);
    if (resposta != QMessageBox::Yes) {
        QCOMPARE(cadastro::readContador(), std::optional<ContadorRecord>(armazenado()));
        QCOMPARE(frmContador::existing(), antiga.data());
        QCOMPARE(campo(antiga, "txtRazaoSocial")->text(), armazenado().razaoNome);
        return;
    }

    QTRY_VERIFY(!antiga);
    QTRY_VERIFY(frmContador::existing());
    frmContador* nova = frmContador::existing();
    QVERIFY(nova->isVisible());
    QCOMPARE(naTela(nova), (ContadorRecord{cnpjVazio,
                                           {},
                                           {},
                                           {},
                                           {},
                                           {},
                                           {},
                                           {},
                                           {},
                                           QStringLiteral("(__) ____-____"),
                                           QStringLiteral("_____-___"),
                                           {}}));
    QVERIFY(campo(nova, "txtCNPJCPF")->isEnabled());
    QVERIFY(child<QRadioButton>(nova, "opt_fisica")->isEnabled());
    QVERIFY(child<QRadioButton>(nova, "opt_juridica")->isEnabled());
    QCOMPARE(linhasContador(), 0);
    QVERIFY(test::takeMessages().isEmpty());
    // The server is not told of a removal.
    QCOMPARE(recebidos().size(), antes);
}

void ContadorTest::removerFailure()
{
    cadastro::replaceContador(armazenado());
    frmContador* w = abrir();
    m_dir->removeFile(QStringLiteral("dipam.db"));
    MessageBox::queueAnswer(QMessageBox::Yes);
    QTest::mouseClick(child<QPushButton>(w, "Command2"), Qt::LeftButton);
    auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 2);
    shown.removeFirst(); // the question
    QCOMPARE(shown[0].text, QStringLiteral("Não foi possível excluir o contador. Tente novamente mais tarde."));
    QCOMPARE(shown[0].title, tituloMg);
    QCOMPARE(shown[0].icon, QMessageBox::NoIcon);
    QCOMPARE(shown[0].buttons, QMessageBox::Ok);
    QVERIFY(w->isVisible());
    QCOMPARE(frmContador::existing(), w);
}

// The row is gone, but the new window cannot load: the user hears of it all the same.
void ContadorTest::removerThenReopenFailure()
{
    cadastro::replaceContador(armazenado());
    QPointer<frmContador> antiga = abrir();
    MessageBox::queueAnswer(QMessageBox::Yes);
    QTest::mouseClick(child<QPushButton>(antiga, "Command2"), Qt::LeftButton);
    QCOMPARE(test::takeMessages().size(), 1); // the question
    QCOMPARE(linhasContador(), 0);
    m_dir->removeFile(QStringLiteral("dipam.db"));

    QList<MessageBox::Shown> shown;
    QTRY_VERIFY(!(shown += test::takeMessages()).isEmpty());
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("Não foi possível excluir o contador. Tente novamente mais tarde."));
    QCOMPARE(shown[0].title, tituloMg);
    QCOMPARE(shown[0].icon, QMessageBox::NoIcon);
    QVERIFY(!antiga);
    QVERIFY(!frmContador::existing());
}

void ContadorTest::novoWithoutAccountantOpensWindow()
{
    Principal* p = Principal::instance();
    p->show();
    child<QAction>(p, "mnContribuinteNovo")->trigger();
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text,
             QStringLiteral("É necessário cadastrar um contador antes de Cadastrar seu(s) Contribuinte(s)."));
    frmContador* w = frmContador::existing();
    QVERIFY(w && w->isVisible());
    // The accountant window switched the main window back on when it loaded.
    QVERIFY(p->isEnabled());
    QCOMPARE(campo(w, "txtCNPJCPF")->displayText(), cnpjVazio);
}

void ContadorTest::contadorMenuLeavesMainWindowUsable()
{
    cadastro::replaceContador(armazenado());
    Principal* p = Principal::instance();
    p->show();
    child<QAction>(p, "mnContador")->trigger();
    frmContador* w = frmContador::existing();
    QVERIFY(w && w->isVisible());
    QVERIFY(p->isEnabled());
    QVERIFY(!campo(w, "txtCNPJCPF")->isEnabled());
    // A second time brings up the same window.
    child<QAction>(p, "mnContador")->trigger();
    QCOMPARE(frmContador::existing(), w);

    // "Novo" while it is open brings it forward and does not leave the main window off.
    cadastro::deleteContador();
    child<QAction>(p, "mnContribuinteNovo")->trigger();
    QCOMPARE(test::takeMessages().size(), 1);
    QCOMPARE(frmContador::existing(), w);
    QVERIFY(p->isEnabled());

    // Closing switches the main window on, however it was left.
    p->setInputEnabled(false);
    w->close();
    QTRY_VERIFY(!frmContador::existing());
    QVERIFY(p->isEnabled());
}

void ContadorTest::contadorMenuWithBrokenDatabase()
{
    Principal* p = Principal::instance();
    p->show();
    m_dir->removeFile(QStringLiteral("dipam.db"));
    child<QAction>(p, "mnContador")->trigger();
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].text.startsWith(QStringLiteral("\r\nVB Error # ")), qPrintable(shown[0].text));
    QVERIFY(!frmContador::existing());
    QVERIFY(p->isEnabled());
}

QTEST_MAIN(ContadorTest)
#include "ContadorTest.moc"
