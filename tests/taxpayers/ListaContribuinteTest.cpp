// The selection, update and deletion lists, reached from the main window's menus, and the whole
// road from an empty program to a selected company against the real stand-in server.
#include "accountant/frmContador.h"
#include "app/Principal.h"
#include "ContribuinteTestSupport.h"
#include "platform/EscolhaCertificado.h"
#include "storage/Database.h"
#include "support/StandInServer.h"
#include "support/TestCertificates.h"
#include "support/TestProgramDir.h"
#include "taxpayers/frmtbl_CadastroContribuinte.h"
#include "taxpayers/frmtbl_CriaContribuinte.h"
#include "taxpayers/ListasContribuinte.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <memory>

using namespace tervalia;
using test::campo;
using test::child;
using test::digita;

namespace {
const QString tituloMg = QStringLiteral("Tervalia - MG");
const QString relogio = QStringLiteral("13/02/2025 14:05:09");
const QString semente = QStringLiteral(TERVALIA_SOURCE_DIR "/tools/server/demo-seed.json");

QTableWidget* grid(QWidget* w)
{
    return child<QTableWidget>(w, "GridSelContribuinte");
}

void clicaLinha(QWidget* w, int linha, bool duplo = false)
{
    QTableWidget* g = grid(w);
    const QRect celula = g->visualRect(g->model()->index(linha, ListaContribuintes::ColRazaoSocial));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, celula.center());
    if (duplo)
        QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, celula.center());
}

QString portaMorta()
{
    QTcpServer s;
    if (!s.listen(QHostAddress::LocalHost))
        qFatal("no free port");
    return QString::number(s.serverPort());
}

ContribuinteRecord semChave()
{
    return {QStringLiteral("7019876540034"),
            QStringLiteral("Serralheria Ostarense S.A."),
            QStringLiteral("27.485.963/0001-89"),
            QStringLiteral("2512-8/00"),
            QString(),
            QString(),
            false};
}

enum Lista { Selecao, Atualizacao, Exclusao };

const char* menuDe(Lista lista)
{
    return lista == Selecao ? "mnContribuinteSelecionar" : lista == Atualizacao ? "mnAtualizar" : "mnExcluir";
}

const char* nomeDe(Lista lista)
{
    return lista == Selecao       ? "frmtbl_SelecionaContribuinte"
           : lista == Atualizacao ? "frmtbl_atualizarContribuinte"
                                  : "frmtbl_exclusaoContribuinte";
}
} // namespace

class ListaContribuinteTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void listsFromTheMenus_data();
    void listsFromTheMenus();
    void emptyTable_data();
    void emptyTable();
    void gridColumnsAndCompanyWithoutKey();
    void manyCompanies();
    void selectionWithFailedRefreshTellsWhy();
    void updateOpensFilledWindow_data();
    void updateOpensFilledWindow();
    void deletionAsksFirst();
    void brokenDatabaseOpensNoList_data();
    void brokenDatabaseOpensNoList();
    void updateOfCompanyDeletedMeanwhile();

    void deliveryMessagesAndSelectionChange();
    void deletingTheSelectedCompanyClearsIt();
    void regimeChangeFromTheServer();

    void wholeRoad();

private:
    Principal* abrePrincipal();
    QWidget* abreLista(Lista lista);
    // The key step: the company's e-CNPJ from a test store, chosen in the chooser.
    void obtemChave(QWidget* janela, const QString& chave, const QString& cnpj = test::EmpresaTeste().cnpj,
                    bool simples = false);
    // Picks the row of the list that the menu opens, and presses OK.
    void escolheNaLista(Lista lista, int linha);

    std::unique_ptr<test::StandInServer> m_servidor;
    std::unique_ptr<test::TestProgramDir> m_dir;
};

void ListaContribuinteTest::initTestCase()
{
    m_servidor = std::make_unique<test::StandInServer>(
        QStringList{QStringLiteral("--seed"), semente, QStringLiteral("--clock"), relogio});
}

void ListaContribuinteTest::init()
{
    m_dir = std::make_unique<test::TestProgramDir>();
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), QString::number(m_servidor->port()));
    test::startGuiTest();
}

void ListaContribuinteTest::cleanup()
{
    test::finishGuiTest();
    m_dir.reset();
}

Principal* ListaContribuinteTest::abrePrincipal()
{
    Principal* p = Principal::instance();
    p->show();
    return p;
}

QWidget* ListaContribuinteTest::abreLista(Lista lista)
{
    child<QAction>(abrePrincipal(), menuDe(lista))->trigger();
    QWidget* w = test::topLevel(nomeDe(lista));
    if (w && !QTest::qWaitForWindowActive(w))
        qWarning("list not active");
    return w;
}

void ListaContribuinteTest::obtemChave(QWidget* criacao, const QString& chave, const QString& cnpj, bool simples)
{
    test::TestCertificates certificados;
    test::CertProfile eCnpj(QStringLiteral("EMPRESA DA CHAVE LTDA"), cnpj);
    eCnpj.validFrom = QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC); // before the server's clock
    QTemporaryDir home;
    const QStringList titulares = certificados.installStore(home.path(), {eCnpj});
    const QByteArray casa = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    EscolhaCertificado::queueEscolha(titulares.first());
    QTest::mouseClick(child<QPushButton>(criacao, "Command1"), Qt::LeftButton);
    qputenv("HOME", casa);

    const auto oferecidos = EscolhaCertificado::takeOferecidos();
    QCOMPARE(oferecidos.size(), 1);
    QCOMPARE(oferecidos[0].titulo, QStringLiteral("Selecione o Certificado Digital (e-CNPJ)"));
    QCOMPARE(oferecidos[0].texto, QStringLiteral("Escolha o certificado e-CNPJ da empresa para receber a chave"));
    QVERIFY(test::takeMessages().isEmpty());
    QCOMPARE(campo(criacao, "Chave")->text(), chave);
    QCOMPARE(child<QCheckBox>(criacao, "flag_optantesimples")->isChecked(), simples);
    QCOMPARE(child<QLabel>(criacao, "lblRegime")->text(),
             simples ? QStringLiteral("Regime: Simples Nacional") : QStringLiteral("Regime: Débito e Crédito"));
}

void ListaContribuinteTest::escolheNaLista(Lista lista, int linha)
{
    QWidget* w = abreLista(lista);
    QVERIFY(w);
    clicaLinha(w, linha);
    QTest::mouseClick(child<QPushButton>(w, "cmdOK"), Qt::LeftButton);
}

void ListaContribuinteTest::listsFromTheMenus_data()
{
    QTest::addColumn<int>("lista");
    QTest::addColumn<QString>("titulo");
    QTest::addColumn<QString>("instrucao");
    QTest::addColumn<bool>("principalDesligada");
    QTest::addColumn<int>("tecla"); // 0: the menu item
    const QString selecao = QStringLiteral("Seleção de Contribuinte - Prefeitura Municipal de Ostare");
    const QString atualizacao = QStringLiteral("Atualização de Contribuinte - Prefeitura Municipal de Ostare");
    QTest::newRow("Selecionar") << int(Selecao) << selecao << "Selecione o Contribuinte que deseja abrir:" << true << 0;
    QTest::newRow("F5") << int(Selecao) << selecao << "Selecione o Contribuinte que deseja abrir:" << true
                        << int(Qt::Key_F5);
    QTest::newRow("Atualizar") << int(Atualizacao) << atualizacao
                               << "Selecione o Contribuinte que deseja atualizar:" << false << 0;
    QTest::newRow("F8") << int(Atualizacao) << atualizacao << "Selecione o Contribuinte que deseja atualizar:" << false
                        << int(Qt::Key_F8);
    QTest::newRow("Excluir") << int(Exclusao) << "Exclusão de Contribuinte - Prefeitura Municipal de Ostare"
                             << "Selecione o Contribuinte que deseja excluir:" << false << 0;
}

// "Selecionar" switches the main window off while its list is open; the others leave it on. Any
// way of closing the list switches it on.
void ListaContribuinteTest::listsFromTheMenus()
{
    QFETCH(int, lista);
    QFETCH(QString, titulo);
    QFETCH(QString, instrucao);
    QFETCH(bool, principalDesligada);
    QFETCH(int, tecla);
    Principal* p = abrePrincipal();
    QVERIFY(QTest::qWaitForWindowActive(p));
    QWidget* w = nullptr;
    if (tecla) {
        QTest::keyClick(p, Qt::Key(tecla));
        w = test::topLevel(nomeDe(Lista(lista)));
    } else {
        w = abreLista(Lista(lista));
    }
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), titulo);
    QCOMPARE(child<QLabel>(w, "Label1")->text(), instrucao);
    QCOMPARE(child<QPushButton>(w, "cmdOK")->text(), QStringLiteral("&OK"));
    QCOMPARE(p->isEnabled(), !principalDesligada);
    p->setInputEnabled(false);
    QTest::mouseClick(child<QPushButton>(w, "cmdCancelar"), Qt::LeftButton);
    QTRY_VERIFY(!test::topLevel(nomeDe(Lista(lista))));
    QTRY_VERIFY(p->isEnabled());
}

void ListaContribuinteTest::emptyTable_data()
{
    QTest::addColumn<int>("lista");
    QTest::addColumn<QString>("mensagem");
    QTest::addColumn<bool>("fecha");
    QTest::newRow("Selecionar") << int(Selecao) << "É necessário cadastrar empresa" << true;
    QTest::newRow("Atualizar") << int(Atualizacao) << "É necessário selecionar a empresa" << false;
    QTest::newRow("Excluir") << int(Exclusao) << "É necessário selecionar a empresa" << false;
}

void ListaContribuinteTest::emptyTable()
{
    QFETCH(int, lista);
    QFETCH(QString, mensagem);
    QFETCH(bool, fecha);
    QWidget* w = abreLista(Lista(lista));
    QCOMPARE(grid(w)->rowCount(), 0);
    QCOMPARE(grid(w)->horizontalHeaderItem(ListaContribuintes::ColRazaoSocial)->text(), QStringLiteral("RAZÃO SOCIAL"));
    QTest::mouseClick(child<QPushButton>(w, "cmdOK"), Qt::LeftButton);
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, mensagem);
    QCOMPARE(shown[0].title, QStringLiteral("Tervalia"));
    if (fecha)
        QTRY_VERIFY(!test::topLevel(nomeDe(Lista(lista))));
    else
        QVERIFY(w->isVisible());
    QVERIFY(Principal::existing()->ieSelecionada().isEmpty());
}

// A company without key shows an empty last column; picking it hands an empty key to the main
// window, whose refresh then meets the server's rejection.
void ListaContribuinteTest::gridColumnsAndCompanyWithoutKey()
{
    cadastro::insertContribuinte(test::registro({}));
    cadastro::insertContribuinte(semChave());
    QWidget* w = abreLista(Selecao);
    QTableWidget* g = grid(w);
    const QStringList cabecalhos{QStringLiteral("IE"), QStringLiteral("RAZÃO SOCIAL"), QStringLiteral("CNPJ"),
                                 QStringLiteral("CNAE"), QStringLiteral("Chave")};
    for (int c = 0; c < cabecalhos.size(); ++c)
        QCOMPARE(g->horizontalHeaderItem(c)->text(), cabecalhos[c]);
    const int dpi = g->logicalDpiX();
    QCOMPARE(g->columnWidth(ListaContribuintes::ColRazaoSocial), (4400 * dpi + 720) / 1440);
    // IE, CNPJ, CNAE and the key show whole, and every column fits in the window.
    for (int c : {ListaContribuintes::ColIE, ListaContribuintes::ColCnpj, ListaContribuintes::ColCnae,
                  ListaContribuintes::ColChave})
        QVERIFY2(g->columnWidth(c) >= static_cast<QAbstractItemView*>(g)->sizeHintForColumn(c),
                 qPrintable(cabecalhos[c]));
    QVERIFY(!g->wordWrap());
    QTRY_VERIFY(g->horizontalHeader()->length() <= g->viewport()->width());
    QCOMPARE(g->rowCount(), 2);
    QCOMPARE(g->item(0, ListaContribuintes::ColChave)->text(), QStringLiteral("K7M2Q9TX"));
    QCOMPARE(g->item(0, ListaContribuintes::ColChave)->textAlignment(), int(Qt::AlignHCenter | Qt::AlignTop));
    QVERIFY(!g->item(1, ListaContribuintes::ColChave));

    // Enter on the row does what OK does.
    clicaLinha(w, 1);
    QTest::keyClick(g, Qt::Key_Return);
    QTRY_VERIFY(!test::topLevel(nomeDe(Selecao)));
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("Chave inválida"));
    Principal* p = Principal::existing();
    QVERIFY(p->ieSelecionada().isEmpty());
    QVERIFY(p->chaveSelecionada().isEmpty());
    QTRY_VERIFY(p->isEnabled());
}

// The row count is no 16-bit number: forty thousand companies all show.
void ListaContribuinteTest::manyCompanies()
{
    {
        Connection db;
        db.begin();
        for (int i = 0; i < 40000; ++i)
            db.exec(
                QStringLiteral("insert into tblContribuinte (IE, RazaoSocial, Cnpj, Cnae, Chave) values (?,?,?,?,?)"),
                {QStringLiteral("%1").arg(i, 13, 10, QLatin1Char('0')), QStringLiteral("Empresa %1").arg(i), QString(),
                 QString(), QStringLiteral("K%1").arg(i)});
        db.commit();
    }
    QWidget* w = abreLista(Exclusao);
    QCOMPARE(grid(w)->rowCount(), 40000);
    QCOMPARE(grid(w)->item(39999, ListaContribuintes::ColRazaoSocial)->text(), QStringLiteral("Empresa 39999"));
    QCOMPARE(grid(w)->item(32767, ListaContribuintes::ColChave)->text(), QStringLiteral("K32767"));
}

// The company is registered; when the refresh fails, the server is what failed, and the message
// says so.
void ListaContribuinteTest::selectionWithFailedRefreshTellsWhy()
{
    cadastro::insertContribuinte(test::registro({}));
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), portaMorta());
    QWidget* w = abreLista(Selecao);
    clicaLinha(w, 0, true);
    QTRY_VERIFY(!test::topLevel(nomeDe(Selecao)));
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].text != QStringLiteral("É necessário cadastrar empresa"));
    QVERIFY2(!shown[0].text.isEmpty(), "the refresh's own description");
    QCOMPARE(shown[0].title, tituloMg);
    // The selection itself was made.
    Principal* p = Principal::existing();
    QCOMPARE(p->ieSelecionada(), test::EmpresaTeste().ie);
    QVERIFY(child<QWidget>(p, "frmImportacao")->isVisible());
    QVERIFY(child<QPushButton>(p, "Command1")->isVisible());
}

void ListaContribuinteTest::updateOpensFilledWindow_data()
{
    QTest::addColumn<bool>("optante");
    QTest::addColumn<QString>("ccm");
    QTest::newRow("Simples Nacional, CCM") << true << "CCM-77";
    QTest::newRow("imported, no CCM") << false << "";
}

void ListaContribuinteTest::updateOpensFilledWindow()
{
    QFETCH(bool, optante);
    QFETCH(QString, ccm);
    test::EmpresaTeste e;
    e.ccm = ccm;
    cadastro::insertContribuinte(test::registro(e, optante));
    Principal* p = abrePrincipal();
    QWidget* w = abreLista(Atualizacao);
    clicaLinha(w, 0, true);
    QTRY_VERIFY(!test::topLevel(nomeDe(Atualizacao)));
    frmtbl_CadastroContribuinte* u = frmtbl_CadastroContribuinte::existing();
    QVERIFY(u && u->isVisible());
    QCOMPARE(campo(u, "txtIE")->displayText(), e.ie);
    QCOMPARE(campo(u, "txtCNPJ")->displayText(), QStringLiteral("18.473.625/0001-36"));
    QCOMPARE(campo(u, "txtCNAE")->displayText(), QStringLiteral("4711-3/02"));
    QCOMPARE(campo(u, "Chave")->text(), e.chave);
    QCOMPARE(campo(u, "txtInscMunicipal")->text(), ccm);
    QCOMPARE(child<QCheckBox>(u, "flag_optantesimples")->isChecked(), optante);

    // OK keeps the stored flag, and the closing switches the main window on.
    p->setInputEnabled(false);
    QTest::mouseClick(child<QPushButton>(u, "cmdOK"), Qt::LeftButton);
    QCOMPARE(test::takeMessages().size(), 1);
    QTRY_VERIFY(!frmtbl_CadastroContribuinte::existing());
    QTRY_VERIFY(p->isEnabled());
    QCOMPARE(cadastro::findContribuinte(e.ie)->optanteSimples, optante);
}

void ListaContribuinteTest::deletionAsksFirst()
{
    cadastro::insertContribuinte(test::registro({}));
    cadastro::insertContribuinte(semChave());
    QWidget* w = abreLista(Exclusao);
    clicaLinha(w, 1);
    MessageBox::queueAnswer(QMessageBox::No);
    QTest::mouseClick(child<QPushButton>(w, "cmdOK"), Qt::LeftButton);
    auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("Deseja realmente excluir este contribuinte"));
    QCOMPARE(shown[0].title, tituloMg);
    QCOMPARE(shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(cadastro::listContribuintes().size(), 2);
    QVERIFY(w->isVisible());

    MessageBox::queueAnswer(QMessageBox::Yes);
    QTest::mouseClick(child<QPushButton>(w, "cmdOK"), Qt::LeftButton);
    shown = test::takeMessages();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[1].text, QStringLiteral("Contribuinte Excluído"));
    QCOMPARE(shown[1].icon, QMessageBox::Information);
    QCOMPARE(cadastro::listContribuintes(), QList<ContribuinteRecord>{test::registro({})});
    QTRY_VERIFY(!test::topLevel(nomeDe(Exclusao)));
}

// A list that cannot read the register says why and leaves the main window usable.
void ListaContribuinteTest::brokenDatabaseOpensNoList_data()
{
    QTest::addColumn<QByteArray>("conteudo"); // of dipam.db; empty: no file
    QTest::addColumn<QString>("descricao");
    QTest::newRow("missing") << QByteArray() << "Arquivo de banco de dados não encontrado: ";
    QTest::newRow("damaged") << QByteArray(4096, 'x')
                             << "O arquivo do banco de dados está danificado ou não é um banco de dados.";
}

// The report says why; a damaged file is left as it was, never replaced by an empty database.
void ListaContribuinteTest::brokenDatabaseOpensNoList()
{
    QFETCH(QByteArray, conteudo);
    QFETCH(QString, descricao);
    Principal* p = abrePrincipal();
    m_dir->removeFile(QStringLiteral("dipam.db"));
    if (!conteudo.isEmpty())
        m_dir->writeFile(QStringLiteral("dipam.db"), conteudo);
    QWidget* w = abreLista(Selecao);
    QVERIFY(!w);
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].text.startsWith(QStringLiteral("\r\nVB Error # ")), qPrintable(shown[0].text));
    QVERIFY2(shown[0].text.contains(QStringLiteral("Description  ") + descricao), qPrintable(shown[0].text));
    QVERIFY(p->isEnabled());
    QFile banco(m_dir->file(QStringLiteral("dipam.db")));
    QCOMPARE(banco.exists(), !conteudo.isEmpty());
    if (banco.open(QIODevice::ReadOnly))
        QCOMPARE(banco.readAll(), conteudo);
}

// Another window deleted the company after the list was read: the update window does not open
// empty; the list says so and reads the register again.
void ListaContribuinteTest::updateOfCompanyDeletedMeanwhile()
{
    cadastro::insertContribuinte(test::registro({}));
    cadastro::insertContribuinte(semChave());
    QWidget* w = abreLista(Atualizacao);
    cadastro::deleteContribuinte(test::EmpresaTeste().ie);
    clicaLinha(w, 0);
    QTest::mouseClick(child<QPushButton>(w, "cmdOK"), Qt::LeftButton);
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("Contribuinte não cadastrado."));
    QVERIFY(!frmtbl_CadastroContribuinte::existing());
    QVERIFY(w->isVisible());
    QCOMPARE(grid(w)->rowCount(), 1);
    QCOMPARE(grid(w)->item(0, ListaContribuintes::ColIE)->text(), semChave().ie);
}

// The server's messages about a delivery show under the history, each readable on its line; and
// selecting another company leaves nothing of the one before.
void ListaContribuinteTest::deliveryMessagesAndSelectionChange()
{
    cadastro::insertContribuinte(test::registro({}));
    ContribuinteRecord serralheria = semChave();
    serralheria.chave = QStringLiteral("P4W8N3HC");
    cadastro::insertContribuinte(serralheria);
    Principal* p = abrePrincipal();
    escolheNaLista(Selecao, 0);
    QTRY_VERIFY(!frmtbl_SelecionaContribuinte::existing());
    QTRY_VERIFY(p->isEnabled());
    auto* historico = child<QTableWidget>(p, "GridTransmissoes");
    QCOMPARE(historico->rowCount(), 2);
    auto clicaEntrega = [historico](int linha) {
        const QRect r = historico->visualRect(historico->model()->index(linha, PainelHistorico::ColReferencia));
        QTest::mouseClick(historico->viewport(), Qt::LeftButton, {}, r.center());
    };
    auto* rotulo = child<QLabel>(p, "detApuracao");
    auto* arvore = child<QTreeWidget>(p, "tvwPessoa");
    auto* labelOK = child<QLabel>(p, "labelOK");

    clicaEntrega(1); // status 2: the server has two messages
    QVERIFY(test::takeMessages().isEmpty());
    QVERIFY(rotulo->isVisible());
    QCOMPARE(rotulo->text(), QStringLiteral("Detalhes da apuração"));
    QVERIFY(arvore->isVisible());
    QTreeWidgetItem* raiz = arvore->topLevelItem(0);
    QCOMPARE(raiz->childCount(), 2);
    QVERIFY(raiz->isExpanded());
    for (int i = 0; i < raiz->childCount(); ++i) {
        QTreeWidgetItem* mensagem = raiz->child(i);
        QVERIFY(!arvore->visualItemRect(mensagem).isEmpty());
        QCOMPARE(mensagem->toolTip(0), mensagem->text(0));
    }
    QVERIFY(raiz->child(0)->text(0).endsWith(QStringLiteral("o total de entradas difere do informado na DAPI do "
                                                            "mesmo período.")));
    QVERIFY(arvore->columnWidth(0) >= static_cast<QAbstractItemView*>(arvore)->sizeHintForColumn(0));

    clicaEntrega(0); // status 1
    QVERIFY(labelOK->isVisible());
    QVERIFY(!rotulo->isVisible());
    QVERIFY(!arvore->isVisible());

    // Another company: the verification line and the file path of the first one go.
    p->setPathMDB(QStringLiteral("/home/contador/VAF.GDB"));
    escolheNaLista(Selecao, 1);
    QTRY_COMPARE(p->ieSelecionada(), serralheria.ie);
    QTRY_VERIFY(!frmtbl_SelecionaContribuinte::existing());
    QVERIFY(!labelOK->isVisible());
    QVERIFY(p->pathMDB().isEmpty());
    QCOMPARE(historico->rowCount(), 1);
    QVERIFY(child<QLabel>(p, "lblAtualizado")->isVisible());

    // With the server down, nothing of the company before stays: no history, no version state.
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), portaMorta());
    escolheNaLista(Selecao, 0);
    QTRY_COMPARE(p->ieSelecionada(), test::EmpresaTeste().ie);
    QCOMPARE(test::takeMessages().size(), 1);
    QCOMPARE(historico->rowCount(), 0);
    QVERIFY(!child<QLabel>(p, "lblAtualizado")->isVisible());
    QVERIFY(!child<QLabel>(p, "lblnovaatualizacao")->isVisible());
}

// The selected company deleted: the main window is as before any selection, and offers no
// delivery for it. Deleting another company leaves the selection alone.
void ListaContribuinteTest::deletingTheSelectedCompanyClearsIt()
{
    cadastro::insertContribuinte(test::registro({}));
    cadastro::insertContribuinte(semChave());
    Principal* p = abrePrincipal();
    escolheNaLista(Selecao, 0);
    QTRY_COMPARE(p->ieSelecionada(), test::EmpresaTeste().ie);
    QVERIFY(child<QPushButton>(p, "Command1")->isVisible());
    QTRY_VERIFY(!frmtbl_SelecionaContribuinte::existing());

    MessageBox::queueAnswer(QMessageBox::Yes);
    escolheNaLista(Exclusao, 1);
    QCOMPARE(test::takeMessages().size(), 2);
    QCOMPARE(p->ieSelecionada(), test::EmpresaTeste().ie);
    QTRY_VERIFY(!frmtbl_exclusaoContribuinte::existing());

    MessageBox::queueAnswer(QMessageBox::Yes);
    escolheNaLista(Exclusao, 0);
    QCOMPARE(test::takeMessages().size(), 2);
    QTRY_VERIFY(!test::topLevel(nomeDe(Exclusao)));
    for (const char* rotulo : {"IESel", "RSSel", "lblChave"})
        QVERIFY2(child<QLabel>(p, rotulo)->text().isEmpty(), rotulo);
    QVERIFY(!child<QWidget>(p, "frmImportacao")->isVisible());
    QVERIFY(!child<QPushButton>(p, "Command1")->isVisible());
    QTest::keyClick(p, Qt::Key_T, Qt::AltModifier);
    QVERIFY(test::takeMessages().isEmpty());
}

// A company that entered the Simples Nacional: the creation window drops a flag once the company
// typed changes, and the update window takes key and flag anew from the server and stores both.
void ListaContribuinteTest::regimeChangeFromTheServer()
{
    ContadorRecord contador;
    contador.cpfCnpj = QStringLiteral("111.444.777-35");
    cadastro::replaceContador(contador);
    test::EmpresaTeste restaurante;
    restaurante.ie = QStringLiteral("7025551230008");
    restaurante.razaoSocial = QStringLiteral("Restaurante Sabor de Minas ME");
    restaurante.cnpj = QStringLiteral("09384756000156");
    restaurante.cnae = QStringLiteral("5611201");
    const QString chaveServidor = QStringLiteral("R2D5L6YB");

    frmtbl_CriaContribuinte* cria = frmtbl_CriaContribuinte::abrir();
    test::preencheEmpresa(cria, restaurante);
    obtemChave(cria, chaveServidor, restaurante.cnpj, true);
    auto* flag = child<QCheckBox>(cria, "flag_optantesimples");
    QVERIFY(!flag->isEnabled()); // shown only
    digita(cria, "txtCNPJ", test::EmpresaTeste().cnpj);
    QVERIFY(!flag->isChecked());
    QCOMPARE(child<QLabel>(cria, "lblRegime")->text(), QStringLiteral("Regime: Débito e Crédito"));
    cria->close();
    QTRY_VERIFY(!frmtbl_CriaContribuinte::existing());

    ContribuinteRecord antigo{restaurante.ie,
                              restaurante.razaoSocial,
                              QStringLiteral("09.384.756/0001-56"),
                              QStringLiteral("5611-2/01"),
                              QStringLiteral("ANTIGA00"),
                              QStringLiteral("CCM-1"),
                              false};
    cadastro::insertContribuinte(antigo);
    abrePrincipal();
    escolheNaLista(Atualizacao, 0);
    QTRY_VERIFY(frmtbl_CadastroContribuinte::existing());
    frmtbl_CadastroContribuinte* u = frmtbl_CadastroContribuinte::existing();
    auto* gerar = child<QPushButton>(u, "Command1");
    QVERIFY(gerar->isVisible());
    QCOMPARE(gerar->text(), QStringLiteral("Gerar chave através do Cert. Digital"));
    obtemChave(u, chaveServidor, restaurante.cnpj, true);
    QTest::mouseClick(child<QPushButton>(u, "cmdOK"), Qt::LeftButton);
    QCOMPARE(test::takeMessages().size(), 1);
    QTRY_VERIFY(!frmtbl_CadastroContribuinte::existing());
    ContribuinteRecord novo = antigo;
    novo.chave = chaveServidor;
    novo.optanteSimples = true;
    QCOMPARE(cadastro::findContribuinte(restaurante.ie).value(), novo);
}

// From an empty program to a selected company with its history, against the real server.
void ListaContribuinteTest::wholeRoad()
{
    Principal* p = abrePrincipal();
    const test::EmpresaTeste e;

    // "Novo" without an accountant leads to the accountant window.
    child<QAction>(p, "mnContribuinteNovo")->trigger();
    QCOMPARE(test::takeMessages().size(), 1);
    frmContador* contador = frmContador::existing();
    QVERIFY(contador);
    const QList<std::pair<const char*, QString>> dadosContador{
        {"txtCNPJCPF", QStringLiteral("11222333000181")},
        {"txtRazaoSocial", QStringLiteral("Contabilidade Ostare")},
        {"txtLogradouro", QStringLiteral("Rua das Flores")},
        {"txtNumero", QStringLiteral("100")},
        {"txtBairro", QStringLiteral("Centro")},
        {"txtCidade", QStringLiteral("Ostare")},
        {"txtUF", QStringLiteral("MG")},
        {"txtTelefone", QStringLiteral("3133334444")},
        {"txtCEP", QStringLiteral("35500000")},
        {"txtEmail", QStringLiteral("contato@ostare.com.br")},
        {"txtCRC", QStringLiteral("MG-1")}};
    for (const auto& [nome, valor] : dadosContador)
        digita(contador, nome, valor);
    QTest::mouseClick(child<QPushButton>(contador, "btnOK"), Qt::LeftButton);
    QTRY_VERIFY(!frmContador::existing());
    QCOMPARE(test::takeMessages().size(), 1);
    QCOMPARE(cadastro::countContadores(), 1);

    // "Novo" again: the company, its key, OK.
    QTRY_VERIFY(p->isEnabled());
    child<QAction>(p, "mnContribuinteNovo")->trigger();
    frmtbl_CriaContribuinte* cria = frmtbl_CriaContribuinte::existing();
    QVERIFY(cria);
    QVERIFY(!p->isEnabled());
    test::preencheEmpresa(cria, e);
    obtemChave(cria, e.chave);
    QTest::mouseClick(child<QPushButton>(cria, "cmdOK"), Qt::LeftButton);
    QCOMPARE(test::takeMessages().size(), 1);
    QTRY_VERIFY(!frmtbl_CriaContribuinte::existing());
    QTRY_VERIFY(p->isEnabled());

    // "Selecionar": the company, then its history from the server.
    QWidget* lista = abreLista(Selecao);
    QCOMPARE(grid(lista)->rowCount(), 1);
    clicaLinha(lista, 0);
    QTest::mouseClick(child<QPushButton>(lista, "cmdOK"), Qt::LeftButton);
    QTRY_VERIFY(!test::topLevel(nomeDe(Selecao)));
    QVERIFY(test::takeMessages().isEmpty());
    QCOMPARE(p->ieSelecionada(), e.ie);
    QCOMPARE(p->razaoSocialSelecionada(), e.razaoSocial);
    QCOMPARE(p->chaveSelecionada(), e.chave);
    auto* historico = child<QTableWidget>(p, "GridTransmissoes");
    QCOMPARE(historico->rowCount(), 2);
    QCOMPARE(historico->item(0, PainelHistorico::ColProtocolo)->text(), QStringLiteral("2024000101"));
    QCOMPARE(p->DataServidor, QDateTime(QDate(2025, 2, 13), QTime(14, 5, 9)));
    QCOMPARE(p->anoTrabalho, QStringLiteral("2025/2026"));
    QVERIFY(child<QPushButton>(p, "Command1")->isVisible());
    QTRY_VERIFY(p->isEnabled());
}

QTEST_MAIN(ListaContribuinteTest)
#include "ListaContribuinteTest.moc"
