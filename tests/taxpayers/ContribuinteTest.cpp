// The taxpayer creation and update windows, driven through their controls.
#include "app/Principal.h"
#include "ContribuinteTestSupport.h"
#include "storage/Database.h"
#include "support/TestProgramDir.h"
#include "taxpayers/frmtbl_CadastroContribuinte.h"
#include "taxpayers/frmtbl_CriaContribuinte.h"
#include "taxpayers/ImportarEmpresas.h"
#include "taxpayers/VerificaContribuinte.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>

#include <memory>

using namespace tervalia;
using test::campo;
using test::child;
using test::digita;

namespace {
const QString tituloMg = QStringLiteral("Tervalia - MG");

int linhas()
{
    Connection db;
    QSqlQuery q = db.exec(QStringLiteral("select count(0) from tblContribuinte"));
    q.next();
    return q.value(0).toInt();
}

QString erroMsg(QWidget* w)
{
    return child<QLabel>(w, "erroMsg")->text();
}

void clica(QWidget* w, const char* botao)
{
    QTest::mouseClick(child<QPushButton>(w, botao), Qt::LeftButton);
}

void saiDoCampo(QWidget* w, const char* de, const char* para)
{
    QLineEdit* origem = campo(w, de);
    origem->setFocus();
    QTRY_VERIFY(origem->hasFocus());
    campo(w, para)->setFocus();
    QTRY_VERIFY(!origem->hasFocus());
}
} // namespace

class ContribuinteTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layout();
    void creationChecks_data();
    void creationChecks();
    void creationStoresApostropheOnce();
    void cnpjThenIeClearsErroMsg();
    void enterRunsTheFieldCheck_data();
    void enterRunsTheFieldCheck();
    void secondCreationWithSameIe();
    void otherWindowDoesNotLeaveIeField();
    void brokenDatabaseKeepsWindowAndValues();
    void certificateStepWithoutKeyChangesNothing();
    void closingSwitchesMainWindowOn_data();
    void closingSwitchesMainWindowOn();

    void updateShowsFixedFieldsReadOnly();
    void updateKeepsStoredFlag_data();
    void updateKeepsStoredFlag();
    void updateChecksIeDigitsOfMinasGerais();
    void updateOfVanishedRow();

private:
    frmtbl_CriaContribuinte* abreCriacao();

    std::unique_ptr<test::TestProgramDir> m_dir;
};

void ContribuinteTest::init()
{
    m_dir = std::make_unique<test::TestProgramDir>();
    test::startGuiTest();
}

void ContribuinteTest::cleanup()
{
    test::finishGuiTest();
    m_dir.reset();
}

frmtbl_CriaContribuinte* ContribuinteTest::abreCriacao()
{
    frmtbl_CriaContribuinte* w = frmtbl_CriaContribuinte::abrir();
    if (!QTest::qWaitForWindowActive(w))
        qWarning("creation window not active");
    return w;
}

void ContribuinteTest::layout()
{
    frmtbl_CriaContribuinte* w = abreCriacao();
    QCOMPARE(w->windowTitle(), QStringLiteral("Cadastro de Contribuinte - Prefeitura Municipal de Ostare"));
    QCOMPARE(campo(w, "txtIE")->displayText(), QStringLiteral("_____________"));
    QCOMPARE(campo(w, "txtCNPJ")->displayText(), QStringLiteral("__.___.___/____-__"));
    QCOMPARE(campo(w, "txtCNAE")->displayText(), QStringLiteral("____-_/__"));
    QCOMPARE(child<QLabel>(w, "lblIE")->buddy(), campo(w, "txtIE"));
    QCOMPARE(child<QLabel>(w, "lblChave")->buddy(), campo(w, "Chave"));
    QCOMPARE(child<QPushButton>(w, "Command1")->text(), QStringLiteral("Gerar chave através do Cert. Digital"));
    QCOMPARE(child<QPushButton>(w, "Command2")->text(), QStringLiteral("Importação de Empresas"));
    QVERIFY(child<QLabel>(w, "lblDicaCertificado")->isVisible());
    QCOMPARE(child<QLabel>(w, "lblRegime")->text(), QStringLiteral("Regime: Débito e Crédito"));
    // Display only, and shown so: a click does not change it.
    auto* flag = child<QCheckBox>(w, "flag_optantesimples");
    QVERIFY(!flag->isEnabled());
    QTest::mouseClick(flag, Qt::LeftButton);
    QVERIFY(!flag->isChecked());
    // Typing more than 13 digits keeps 13.
    digita(w, "txtIE", QStringLiteral("70012345000289"));
    QCOMPARE(campo(w, "txtIE")->displayText(), QStringLiteral("7001234500028"));
    // "Importação de Empresas" opens the import window beside this one, which stays open.
    clica(w, "Command2");
    QVERIFY(test::takeMessages().isEmpty());
    QVERIFY(ImportarEmpresas::existing() && ImportarEmpresas::existing()->isVisible());
    QCOMPARE(ImportarEmpresas::existing()->windowTitle(),
             QStringLiteral("Cadastro de Empresas - Através do Arquivo NovaGIA - Importação"));
    QVERIFY(w->isVisible());
}

void ContribuinteTest::creationChecks_data()
{
    QTest::addColumn<QString>("campo");
    QTest::addColumn<QString>("valor");
    QTest::addColumn<QString>("mensagem");
    QTest::newRow("IE with two places left") << "txtIE"
                                             << "70012345000"
                                             << "Inscrição Estadual preenchida incorretamente";
    QTest::newRow("no razão social") << "txtRazaoSocial"
                                     << ""
                                     << "Razão Social preenchida incorretamente";
    QTest::newRow("razão social of blanks") << "txtRazaoSocial"
                                            << "   "
                                            << "Razão Social preenchida incorretamente";
    QTest::newRow("short CNPJ") << "txtCNPJ"
                                << "1847362500013"
                                << "CNPJ preenchido incorretamente";
    QTest::newRow("CNPJ check digits") << "txtCNPJ"
                                       << "18473625000137"
                                       << "CNPJ preenchido é inválido";
    QTest::newRow("short CNAE") << "txtCNAE"
                                << "471130"
                                << "CNAE preenchido incorretamente";
    QTest::newRow("no key") << "Chave"
                            << ""
                            << "Chave não informada";
}

// Each check stops the creation with its message and stores nothing; the window stays open.
void ContribuinteTest::creationChecks()
{
    QFETCH(QString, campo);
    QFETCH(QString, valor);
    QFETCH(QString, mensagem);
    frmtbl_CriaContribuinte* w = abreCriacao();
    test::preencheEmpresa(w, {});
    digita(w, "Chave", QStringLiteral("K7M2Q9TX"));
    digita(w, qPrintable(campo), valor);
    child<QPushButton>(w, "cmdOK")->click();
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, mensagem);
    QCOMPARE(shown[0].title, tituloMg);
    QCOMPARE(shown[0].icon, QMessageBox::Critical);
    QCOMPARE(linhas(), 0);
    QVERIFY(w->isVisible());
}

void ContribuinteTest::creationStoresApostropheOnce()
{
    frmtbl_CriaContribuinte* w = abreCriacao();
    test::EmpresaTeste e;
    e.razaoSocial = QStringLiteral("Padaria d'Ouro");
    test::preencheEmpresa(w, e);
    digita(w, "Chave", e.chave);
    clica(w, "cmdOK");
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("O contribuinte foi criado!"));
    QCOMPARE(shown[0].title, QString()); // blank, not the program's default
    QCOMPARE(shown[0].icon, QMessageBox::NoIcon);
    QTRY_VERIFY(!frmtbl_CriaContribuinte::existing());
    QCOMPARE(cadastro::listContribuintes(), QList<ContribuinteRecord>{test::registro(e)});
}

// The two leave-field checks write the same label; the last one run wins.
void ContribuinteTest::cnpjThenIeClearsErroMsg()
{
    frmtbl_CriaContribuinte* w = abreCriacao();
    test::preencheEmpresa(w, {});
    digita(w, "Chave", QStringLiteral("K7M2Q9TX"));
    digita(w, "txtCNPJ", QStringLiteral("18473625000137"));
    saiDoCampo(w, "txtCNPJ", "txtCNAE");
    QCOMPARE(erroMsg(w), QStringLiteral("CNPJ Inválido"));
    saiDoCampo(w, "txtIE", "txtRazaoSocial");
    QCOMPARE(erroMsg(w), QString());
    child<QPushButton>(w, "cmdOK")->click();
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("CNPJ preenchido é inválido"));
}

void ContribuinteTest::enterRunsTheFieldCheck_data()
{
    QTest::addColumn<QString>("campo");
    QTest::addColumn<QString>("errado");
    QTest::addColumn<QString>("mensagem");
    QTest::newRow("CNPJ") << "txtCNPJ"
                          << "18473625000137"
                          << "CNPJ Inválido";
    QTest::newRow("IE") << "txtIE"
                        << "7019876540034"
                        << "Contribuinte já cadastrado.";
}

// The field left with an error, mended, then Enter in it: its check runs again before OK, so the
// stale error does not block the mended data.
void ContribuinteTest::enterRunsTheFieldCheck()
{
    QFETCH(QString, campo);
    QFETCH(QString, errado);
    QFETCH(QString, mensagem);
    ContribuinteRecord outra = test::registro({});
    outra.ie = QStringLiteral("7019876540034");
    cadastro::insertContribuinte(outra);
    frmtbl_CriaContribuinte* w = abreCriacao();
    const test::EmpresaTeste e;
    test::preencheEmpresa(w, e);
    digita(w, "Chave", e.chave);
    digita(w, qPrintable(campo), errado);
    saiDoCampo(w, qPrintable(campo), "txtInscMunicipal");
    QCOMPARE(erroMsg(w), mensagem);
    QLineEdit* editado = test::campo(w, qPrintable(campo));
    editado->setFocus();
    QTRY_VERIFY(editado->hasFocus());
    digita(w, qPrintable(campo), campo == u"txtIE" ? e.ie : e.cnpj);
    QTest::keyClick(editado, Qt::Key_Return);
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("O contribuinte foi criado!"));
    QCOMPARE(linhas(), 2);
}

void ContribuinteTest::secondCreationWithSameIe()
{
    const test::EmpresaTeste e;
    cadastro::insertContribuinte(test::registro(e));
    frmtbl_CriaContribuinte* w = abreCriacao();
    test::preencheEmpresa(w, e);
    digita(w, "Chave", QStringLiteral("OUTRA123"));
    // OK without leaving a field: the count of OK refuses it, under the fields only.
    child<QPushButton>(w, "cmdOK")->click();
    QVERIFY(test::takeMessages().isEmpty());
    QCOMPARE(erroMsg(w), QStringLiteral("Contribuinte já cadastrado."));
    QCOMPARE(cadastro::listContribuintes(), QList<ContribuinteRecord>{test::registro(e)});

    // Leaving the IE field finds it too; OK then asks for the errors to be mended.
    child<QLabel>(w, "erroMsg")->clear();
    saiDoCampo(w, "txtIE", "txtRazaoSocial");
    QCOMPARE(erroMsg(w), QStringLiteral("Contribuinte já cadastrado."));
    child<QPushButton>(w, "cmdOK")->click();
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("Corrija os erros antes de prosseguir"));
    QCOMPARE(shown[0].title, QStringLiteral("Tervalia"));
    QCOMPARE(shown[0].icon, QMessageBox::NoIcon);
    QCOMPARE(linhas(), 1);
}

// Another window coming to the front does not count as leaving the IE field.
void ContribuinteTest::otherWindowDoesNotLeaveIeField()
{
    cadastro::insertContribuinte(test::registro({}));
    frmtbl_CriaContribuinte* w = abreCriacao();
    QLineEdit* ie = campo(w, "txtIE");
    ie->setFocus();
    QTRY_VERIFY(ie->hasFocus());
    digita(w, "txtIE", test::EmpresaTeste().ie);
    QWidget outra;
    outra.show();
    outra.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&outra));
    QCOMPARE(erroMsg(w), QString());
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    QTRY_VERIFY(ie->hasFocus());
    campo(w, "txtCNPJ")->setFocus();
    QTRY_COMPARE(erroMsg(w), QStringLiteral("Contribuinte já cadastrado."));
}

// A database failure shows the report; the window stays open with what was typed.
void ContribuinteTest::brokenDatabaseKeepsWindowAndValues()
{
    frmtbl_CriaContribuinte* w = abreCriacao();
    test::preencheEmpresa(w, {});
    digita(w, "Chave", QStringLiteral("K7M2Q9TX"));
    m_dir->removeFile(QStringLiteral("dipam.db"));
    child<QPushButton>(w, "cmdOK")->click();
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].text.startsWith(QStringLiteral("\r\nVB Error # ")), qPrintable(shown[0].text));
    QVERIFY(w->isVisible());
    QCOMPARE(campo(w, "txtIE")->displayText(), test::EmpresaTeste().ie);
    QCOMPARE(campo(w, "Chave")->text(), QStringLiteral("K7M2Q9TX"));
}

// A certificate step that brings no key (cancelled, refused) leaves the key and flag alone.
void ContribuinteTest::certificateStepWithoutKeyChangesNothing()
{
    frmtbl_CriaContribuinte* w = abreCriacao();
    test::preencheEmpresa(w, {});
    digita(w, "Chave", QStringLiteral("TYPED123"));
    clica(w, "Command1");
    test::takeMessages();
    QCOMPARE(campo(w, "Chave")->text(), QStringLiteral("TYPED123"));
    QVERIFY(!child<QCheckBox>(w, "flag_optantesimples")->isChecked());
}

void ContribuinteTest::closingSwitchesMainWindowOn_data()
{
    QTest::addColumn<int>("como");
    QTest::newRow("Cancelar") << 0;
    QTest::newRow("close box") << 1;
    QTest::newRow("OK") << 2;
}

void ContribuinteTest::closingSwitchesMainWindowOn()
{
    QFETCH(int, como);
    ContadorRecord contador;
    contador.cpfCnpj = QStringLiteral("111.444.777-35");
    cadastro::replaceContador(contador);
    Principal* p = Principal::instance();
    p->show();
    child<QAction>(p, "mnContribuinteNovo")->trigger();
    auto* w = frmtbl_CriaContribuinte::existing();
    QVERIFY(w && w->isVisible());
    QVERIFY(!p->isEnabled());
    if (como == 0) {
        clica(w, "cmdCancelar");
    } else if (como == 1) {
        w->close();
    } else {
        test::preencheEmpresa(w, {});
        digita(w, "Chave", QStringLiteral("K7M2Q9TX"));
        clica(w, "cmdOK");
        QCOMPARE(test::takeMessages().size(), 1);
    }
    QTRY_VERIFY(!frmtbl_CriaContribuinte::existing());
    QTRY_VERIFY(p->isEnabled());
    QCOMPARE(linhas(), como == 2 ? 1 : 0);
}

// The update writes neither IE nor CNPJ, and the key only as the server gives it: they are shown
// read-only, and look so; the import is the creation window's only. The key request is offered.
void ContribuinteTest::updateShowsFixedFieldsReadOnly()
{
    const ContribuinteRecord r = test::registro({});
    cadastro::insertContribuinte(r);
    frmtbl_CadastroContribuinte* w = frmtbl_CadastroContribuinte::abrir(r);
    QCOMPARE(w->windowTitle(), QStringLiteral("Atualização de Contribuinte - Prefeitura Municipal de Ostare"));
    const auto pareceFixo = [](QLineEdit* e) {
        return e->palette().color(QPalette::Base) == e->palette().color(QPalette::Window);
    };
    for (const char* fixo : {"txtIE", "txtCNPJ", "Chave"})
        QVERIFY2(campo(w, fixo)->isReadOnly() && pareceFixo(campo(w, fixo)), fixo);
    for (const char* editavel : {"txtRazaoSocial", "txtCNAE", "txtInscMunicipal"})
        QVERIFY2(!campo(w, editavel)->isReadOnly() && !pareceFixo(campo(w, editavel)), editavel);
    QVERIFY(!child<QWidget>(w, "Command2")->isVisible());
    for (const char* pedido : {"Command1", "lblDicaCertificado"})
        QVERIFY2(child<QWidget>(w, pedido)->isVisible(), pedido);

    // Its own IE is the row's key: leaving the field does not report it as already registered.
    saiDoCampo(w, "txtIE", "txtRazaoSocial");
    QCOMPARE(erroMsg(w), QString());
    digita(w, "txtRazaoSocial", QStringLiteral("Casa d'Agua"));
    digita(w, "txtInscMunicipal", QStringLiteral("CCM-99"));
    clica(w, "cmdOK");
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("O dados cadastrais do contribuinte foram atualizados"));
    QCOMPARE(shown[0].title, tituloMg);
    QTRY_VERIFY(!frmtbl_CadastroContribuinte::existing());
    const ContribuinteRecord salvo = cadastro::findContribuinte(r.ie).value();
    QCOMPARE(salvo.razaoSocial, QStringLiteral("Casa d'Agua"));
    QCOMPARE(salvo.ccm, QStringLiteral("CCM-99"));
    QCOMPARE(salvo.chave, r.chave);
}

void ContribuinteTest::updateKeepsStoredFlag_data()
{
    QTest::addColumn<bool>("optante");
    QTest::newRow("Simples Nacional") << true;
    QTest::newRow("débito e crédito") << false;
}

void ContribuinteTest::updateKeepsStoredFlag()
{
    QFETCH(bool, optante);
    const ContribuinteRecord r = test::registro({}, optante);
    cadastro::insertContribuinte(r);
    frmtbl_CadastroContribuinte* w = frmtbl_CadastroContribuinte::abrir(r);
    QCOMPARE(child<QCheckBox>(w, "flag_optantesimples")->isChecked(), optante);
    QCOMPARE(child<QLabel>(w, "lblRegime")->text(),
             optante ? QStringLiteral("Regime: Simples Nacional") : QStringLiteral("Regime: Débito e Crédito"));
    clica(w, "cmdOK");
    QCOMPARE(test::takeMessages().size(), 1);
    QCOMPARE(cadastro::findContribuinte(r.ie)->optanteSimples, optante);
}

void ContribuinteTest::updateChecksIeDigitsOfMinasGerais()
{
    ContribuinteRecord r = test::registro({});
    r.ie = QStringLiteral("7001234500029");
    QVERIFY(!contribuinte::ieValida(r.ie));
    QVERIFY(contribuinte::ieValida(test::EmpresaTeste().ie));
    cadastro::insertContribuinte(r);
    frmtbl_CadastroContribuinte* w = frmtbl_CadastroContribuinte::abrir(r);
    clica(w, "cmdOK");
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("Inscrição Estadual inválida"));
    QCOMPARE(shown[0].icon, QMessageBox::Critical);
    QVERIFY(w->isVisible());
}

void ContribuinteTest::updateOfVanishedRow()
{
    const ContribuinteRecord r = test::registro({});
    frmtbl_CadastroContribuinte* w = frmtbl_CadastroContribuinte::abrir(r);
    clica(w, "cmdOK");
    QVERIFY(test::takeMessages().isEmpty());
    QCOMPARE(erroMsg(w), QStringLiteral("Contribuinte não cadastrado."));
    QCOMPARE(linhas(), 0);
    QVERIFY(w->isVisible());
}

QTEST_MAIN(ContribuinteTest)
#include "ContribuinteTest.moc"
