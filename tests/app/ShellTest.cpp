#include "app/Abertura.h"
#include "app/frmSobre.h"
#include "app/Principal.h"
#include "app/Startup.h"
#include "platform/Browser.h"
#include "platform/Janela.h"
#include "storage/Cadastro.h"
#include "support/GuiTest.h"
#include "support/TestProgramDir.h"
#include "taxpayers/frmtbl_CadastroContribuinte.h"
#include "taxpayers/ImportarEmpresas.h"

#include <QAbstractFileIconProvider>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QUrl>
#include <QWindow>

#include <memory>

using namespace tervalia;

namespace {
using test::child;

QAction* action(QWidget* window, const char* name)
{
    return child<QAction>(window, name);
}

Principal* openPrincipal()
{
    startUp();
    QTest::mouseClick(child<QPushButton>(Abertura::existing(), "Command1"), Qt::LeftButton);
    return Principal::existing();
}
} // namespace

class ShellTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openingWindow();
    void qtTextsInPortuguese();
    void iniciarShowsMainWindowOnce();
    void sobreFromOpeningWindowLeadsToMainWindow();
    void sairEndsProgram();

    void mainWindowBeforeAnySelection();
    void gridHeadersAndHiddenColumns();
    void menusAndShortcuts();
    void deliveriesAndProgramFolder();

    void novoWithoutContador();
    void novoWithContador();
    void novoWithBrokenDatabaseLeavesWindowUsable();
    void helpMessage();
    void sobreFromMenuSwitchesMainWindowOffUntilClosed();
    void childWindows_data();
    void childWindows();

private:
    std::unique_ptr<test::TestProgramDir> m_dir;
};

void ShellTest::init()
{
    m_dir = std::make_unique<test::TestProgramDir>();
    test::startGuiTest();
}

void ShellTest::cleanup()
{
    test::finishGuiTest();
    m_dir.reset();
}

void ShellTest::openingWindow()
{
    startUp();
    Abertura* a = Abertura::existing();
    QVERIFY(a && a->isVisible());
    QCOMPARE(a->windowTitle(), QStringLiteral("VAF - Prefeitura Municipal de Ostare- Versão 1.15.01"));
    QCOMPARE(child<QLabel>(a, "Label4")->text(), QStringLiteral("Prefeitura Municipal de Ostare"));
    QVERIFY(child<QLabel>(a, "Label1")->text().startsWith(QStringLiteral("Este software valida e transmite")));
    QVERIFY(!child<QLabel>(a, "Picture1")->pixmap().isNull());
    QCOMPARE(child<QPushButton>(a, "Command1")->text(), QStringLiteral("Iniciar"));
    QCOMPARE(child<QPushButton>(a, "Command2")->text(), QStringLiteral("Sobre"));
    QCOMPARE(child<QPushButton>(a, "Command3")->text(), QStringLiteral("Sair"));
}

void ShellTest::iniciarShowsMainWindowOnce()
{
    Principal* p = openPrincipal();
    QVERIFY(p && p->isVisible() && p->isEnabled());
    QTRY_VERIFY(!Abertura::existing());
    QCOMPARE(p->windowTitle(), QStringLiteral("Tervalia - Prefeitura Municipal de Ostare - Versão 1.15.01"));
    QCOMPARE(Principal::instance(), p);
}

void ShellTest::sobreFromOpeningWindowLeadsToMainWindow()
{
    startUp();
    QTest::mouseClick(child<QPushButton>(Abertura::existing(), "Command2"), Qt::LeftButton);
    frmSobre* sobre = frmSobre::existing();
    QVERIFY(sobre && sobre->isVisible());
    QTRY_VERIFY(!Abertura::existing());
    QVERIFY(!Principal::existing());
    QCOMPARE(sobre->windowTitle(), QStringLiteral("VAF - Prefeitura Municipal de Ostare"));
    QCOMPARE(child<QLabel>(sobre, "lblTitle")->text(), QStringLiteral("Lumadra 1.14.01"));
    QCOMPARE(child<QLabel>(sobre, "lblTitle")->font().pointSize(), 24);
    QVERIFY(child<QLabel>(sobre, "lblTitle")->font().bold());
    QCOMPARE(child<QLabel>(sobre, "Label1")->text(), QStringLiteral("©"));
    // The user can find where the databases and settings are.
    QCOMPARE(child<QLabel>(sobre, "lblPastaPrograma")->text(), QStringLiteral("Pasta do programa: ") + m_dir->path());

    QTest::mouseClick(child<QPushButton>(sobre, "cmdOK"), Qt::LeftButton);
    QTRY_VERIFY(!frmSobre::existing());
    Principal* p = Principal::existing();
    QVERIFY(p && p->isVisible() && p->isEnabled());
    QCOMPARE(child<QTableWidget>(p, "GridTransmissoes")->columnCount(), 5);
    QVERIFY(child<QLabel>(p, "IESel")->text().isEmpty());
}

void ShellTest::sairEndsProgram()
{
    startUp();
    QTest::mouseClick(child<QPushButton>(Abertura::existing(), "Command3"), Qt::LeftButton);
    QCOMPARE(test::programEndings(), 1);
    QTRY_VERIFY(!Abertura::existing());

    Principal* p = openPrincipal();
    action(p, "mnSair")->trigger();
    QCOMPARE(test::programEndings(), 2);
    QTRY_VERIFY(!Principal::existing());
}

void ShellTest::mainWindowBeforeAnySelection()
{
    Principal* p = openPrincipal();
    QVERIFY(child<QGroupBox>(p, "GIASelecionada")->isVisible());
    QCOMPARE(child<QGroupBox>(p, "GIASelecionada")->title(), QStringLiteral("Contribuinte Selecionado"));
    QCOMPARE(child<QLabel>(p, "lblLabels")->text(), QStringLiteral("Inscrição Estadual"));
    QCOMPARE(child<QLabel>(p, "Label1")->text(), QStringLiteral("Razão Social"));
    QVERIFY(child<QLabel>(p, "IESel")->text().isEmpty());
    QVERIFY(child<QLabel>(p, "RSSel")->text().isEmpty());
    QCOMPARE(child<QLabel>(p, "lblChave")->text(), QStringLiteral("LABEL DA CHAVE!"));
    QVERIFY(!child<QLabel>(p, "lblChave")->isVisible());
    QVERIFY(!child<QGroupBox>(p, "frmImportacao")->isVisible());
    QVERIFY(!child<QPushButton>(p, "Command1")->isVisible());
    QCOMPARE(child<QPushButton>(p, "Command1")->text(), QStringLiteral("Escolher arquivo para &transmitir"));
    QCOMPARE(child<QPushButton>(p, "cmd_Impressao")->text(), QStringLiteral("Im&primir Protocolo"));
    QCOMPARE(child<QGroupBox>(p, "frmImportacao")->title(), QStringLiteral("Transmissões Realizadas"));

    // Inside the hidden frame: the version state shows, the rest waits for a refresh.
    QVERIFY(child<QLabel>(p, "lblAtualizado")->isVisibleTo(child<QGroupBox>(p, "frmImportacao")));
    for (const char* hidden : {"lblnovaatualizacao", "labelOK", "detApuracao"})
        QVERIFY2(!child<QLabel>(p, hidden)->isVisibleTo(p), hidden);
    QVERIFY(p->DataServidor.isNull());
    QVERIFY(p->anoTrabalho.isEmpty());
    QVERIFY(p->thisCont_cpf_cnpj.isEmpty());
}

void ShellTest::gridHeadersAndHiddenColumns()
{
    Principal* p = openPrincipal();
    auto* grid = child<QTableWidget>(p, "GridTransmissoes");
    const QStringList headers{QStringLiteral("Referência"), QStringLiteral("Data de Processamento"),
                              QStringLiteral("Protocolo"), QStringLiteral("Status"),
                              QStringLiteral("Valor Adicionado")};
    QCOMPARE(grid->columnCount(), headers.size());
    QCOMPARE(grid->rowCount(), 0);
    for (int c = 0; c < headers.size(); ++c)
        QCOMPARE(grid->horizontalHeaderItem(c)->text(), headers[c]);

    QVERIFY(!grid->isColumnHidden(0) && !grid->isColumnHidden(1) && !grid->isColumnHidden(2));
    QVERIFY(grid->isColumnHidden(3));
    QVERIFY(grid->isColumnHidden(4));
    // Widths keep the proportions 1500 : 2500 : 1700.
    QVERIFY(grid->columnWidth(0) < grid->columnWidth(2));
    QVERIFY(grid->columnWidth(2) < grid->columnWidth(1));
    QVERIFY(qAbs(grid->columnWidth(0) * 5 - grid->columnWidth(1) * 3) <= 5);

    QCOMPARE(PainelHistorico::alinhamentoColuna(0), Qt::AlignHCenter | Qt::AlignTop);
    QCOMPARE(PainelHistorico::alinhamentoColuna(4), Qt::AlignRight | Qt::AlignTop);
}

void ShellTest::menusAndShortcuts()
{
    Principal* p = openPrincipal();
    QStringList titles;
    for (QAction* a : p->menuBar()->actions())
        titles << a->text();
    QCOMPARE(titles,
             (QStringList{QStringLiteral("&Arquivo"), QStringLiteral("&Contribuinte"), QStringLiteral("A&juda")}));

    const struct
    {
        const char* name;
        const char* text;
        const char* shortcut;
    } items[] = {{"mnSair", "&Sair", ""},
                 {"mnContribuinteNovo", "&Novo", "F2"},
                 {"mnContribuinteSelecionar", "&Selecionar", "F5"},
                 {"mnAtualizar", "&Atualizar", "F8"},
                 {"mnExcluir", "&Excluir", ""},
                 {"mnContador", "C&ontador", "F6"},
                 {"mnSAjuda", "A&juda", "F1"},
                 {"mnSobre", "&Sobre", ""},
                 {"mnEntregas", "&Entregas realizadas neste computador", ""},
                 {"mnEntregaLote", "Entrega VAF para &várias empresas", ""},
                 {"mnSituacao", "Situação das en&tregas", ""},
                 {"mnAbrirPasta", "Abrir &pasta do programa", ""},
                 {"mnImportarCadastro", "&Importar cadastro de outro computador (dipam.mdb)…", ""},
                 {"mnCopiaSeguranca", "&Cópia de segurança…", ""},
                 {"mnRestaurarCopia", "&Restaurar cópia de segurança…", ""}};
    for (const auto& item : items) {
        QAction* a = action(p, item.name);
        QCOMPARE(a->text(), QString::fromUtf8(item.text));
        QCOMPARE(a->shortcut(), QKeySequence(QString::fromLatin1(item.shortcut)));
    }

    const QList<QAction*> contribuinte = child<QMenu>(p, "mnContribuinte")->actions();
    QCOMPARE(contribuinte.size(), 7);
    QCOMPARE(contribuinte[4], action(p, "mnSituacao"));
    QVERIFY(contribuinte[5]->isSeparator());
    QCOMPARE(contribuinte[5]->objectName(), QStringLiteral("space2"));
    QCOMPARE(contribuinte[6], action(p, "mnContador"));
}

// The two ways to the user's files: the list of deliveries made here, and the program directory.
void ShellTest::deliveriesAndProgramFolder()
{
    Principal* p = openPrincipal();
    const QList<QAction*> arquivo = child<QMenu>(p, "mnArquivo")->actions();
    QCOMPARE(arquivo.first()->text(), QStringLiteral("&Entregas realizadas neste computador"));
    arquivo.first()->trigger();
    QWidget* entregas = test::topLevel("frmEntregas");
    QVERIFY(entregas && entregas->isVisible());
    QCOMPARE(entregas->windowTitle(), QStringLiteral("Entregas realizadas neste computador"));

    QAction* pasta = action(p, "mnAbrirPasta");
    QCOMPARE(pasta->text(), QStringLiteral("Abrir &pasta do programa"));
    pasta->trigger();
    QCOMPARE(Browser::takeOpened(), QStringList{QUrl::fromLocalFile(m_dir->path()).toString()});
}

void ShellTest::novoWithoutContador()
{
    Principal* p = openPrincipal();
    action(p, "mnContribuinteNovo")->trigger();
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text,
             QStringLiteral("É necessário cadastrar um contador antes de Cadastrar seu(s) Contribuinte(s)."));
    QCOMPARE(shown[0].title, QStringLiteral("Tervalia"));
    QCOMPARE(shown[0].buttons, QMessageBox::Ok);
    QVERIFY(p->isEnabled());
}

void ShellTest::novoWithContador()
{
    ContadorRecord contador;
    contador.cpfCnpj = QStringLiteral("111.444.777-35");
    cadastro::replaceContador(contador);
    Principal* p = openPrincipal();
    action(p, "mnContribuinteNovo")->trigger();
    QVERIFY(test::takeMessages().isEmpty());
    // The registration window is in charge until it closes.
    QWidget* cria = test::topLevel("frmtbl_CriaContribuinte");
    QVERIFY(cria && cria->isVisible());
    QVERIFY(!p->isEnabled());
    cria->close();
    QTRY_VERIFY(p->isEnabled());
}

void ShellTest::novoWithBrokenDatabaseLeavesWindowUsable()
{
    Principal* p = openPrincipal();
    m_dir->removeFile(QStringLiteral("dipam.db"));
    action(p, "mnContribuinteNovo")->trigger();
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].text.startsWith(QStringLiteral("\r\nVB Error # ")), qPrintable(shown[0].text));
    QCOMPARE(shown[0].title, QStringLiteral("Tervalia"));
    QCOMPARE(shown[0].buttons, QMessageBox::Ok);
    QVERIFY(p->isEnabled());
}

// Also run under an English system locale (test_shell_en_US).
void ShellTest::qtTextsInPortuguese()
{
    installPortugueseTranslations(*qApp);
    QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("q"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Yes)->text().remove(u'&'), QStringLiteral("Sim"));
    QCOMPARE(box.button(QMessageBox::No)->text().remove(u'&'), QStringLiteral("Não"));
    QCOMPARE(box.button(QMessageBox::Cancel)->text().remove(u'&'), QStringLiteral("Cancelar"));
    // The file dialog's list and the dates the program writes.
    QCOMPARE(QAbstractFileIconProvider().type(QFileInfo(m_dir->path())), QStringLiteral("Pasta"));
    QCOMPARE(QLocale().toString(QDate(2025, 3, 5), QLocale::ShortFormat), QStringLiteral("05/03/2025"));
}

void ShellTest::helpMessage()
{
    Principal* p = openPrincipal();
    p->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(p));
    QTest::keyClick(p, Qt::Key_F1);
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].text.startsWith(QStringLiteral("Para maiores infomações acesse: http://")));
    QVERIFY(shown[0].text.size() > QStringLiteral("Para maiores infomações acesse: http://").size());
    QCOMPARE(shown[0].title, QStringLiteral("Tervalia - MG"));
    QCOMPARE(shown[0].icon, QMessageBox::Information);
}

void ShellTest::sobreFromMenuSwitchesMainWindowOffUntilClosed()
{
    Principal* p = openPrincipal();
    action(p, "mnSobre")->trigger();
    QVERIFY(frmSobre::existing() && frmSobre::existing()->isVisible());
    QVERIFY(!p->isEnabled());

    // Its close box, not OK: the main window still comes back.
    frmSobre::existing()->close();
    QTRY_VERIFY(!frmSobre::existing());
    QVERIFY(p->isEnabled());
    QVERIFY(p->isVisible());
    QCOMPARE(Principal::existing(), p);
}

void ShellTest::childWindows_data()
{
    QTest::addColumn<QString>("janela");
    QTest::addColumn<QString>("menu"); // empty: opened by its own abrir()
    QTest::addColumn<bool>("desligaPrincipal");
    QTest::newRow("Sobre") << "frmSobre"
                           << "mnSobre" << true;
    QTest::newRow("Selecionar") << "frmtbl_SelecionaContribuinte"
                                << "mnContribuinteSelecionar" << true;
    QTest::newRow("Atualizar") << "frmtbl_atualizarContribuinte"
                               << "mnAtualizar" << false;
    QTest::newRow("Excluir") << "frmtbl_exclusaoContribuinte"
                             << "mnExcluir" << false;
    QTest::newRow("Contador") << "frmContador"
                              << "mnContador" << false;
    QTest::newRow("Novo") << "frmtbl_CriaContribuinte"
                          << "mnContribuinteNovo" << true;
    QTest::newRow("Atualização") << "frmtbl_CadastroContribuinte"
                                 << "" << false;
    QTest::newRow("Importação") << "ImportarEmpresas"
                                << "" << false;
}

// Every window opened over the main window stays above it, opens wide enough for its caption and
// controls, and closes with Escape. A switched-off main window looks so.
void ShellTest::childWindows()
{
    QFETCH(QString, janela);
    QFETCH(QString, menu);
    QFETCH(bool, desligaPrincipal);
    ContadorRecord contador;
    contador.cpfCnpj = QStringLiteral("111.444.777-35");
    cadastro::replaceContador(contador);
    Principal* p = openPrincipal();
    QVERIFY(QTest::qWaitForWindowActive(p));
    if (menu.isEmpty() && janela == u"ImportarEmpresas")
        ImportarEmpresas::abrir();
    else if (menu.isEmpty())
        frmtbl_CadastroContribuinte::abrir({QStringLiteral("7001234500028"),
                                            QStringLiteral("Mercearia"),
                                            QStringLiteral("18.473.625/0001-36"),
                                            QStringLiteral("4711-3/02"),
                                            QStringLiteral("K7M2Q9TX"),
                                            {},
                                            false});
    else
        action(p, qPrintable(menu))->trigger();
    QWidget* w = test::topLevel(qPrintable(janela));
    QVERIFY(w);
    QVERIFY(w->windowHandle());
    QCOMPARE(w->windowHandle()->transientParent(), p->windowHandle());
    QVERIFY2(w->width() >= janela::larguraDoTitulo(w), qPrintable(QString::number(w->width())));
    QVERIFY(w->width() >= w->minimumSizeHint().width());
    QCOMPARE(p->isEnabled(), !desligaPrincipal);
    QCOMPARE(child<QWidget>(p, "veuDesligada")->isVisible(), desligaPrincipal);

    // A transient window counts as active while its main window is: wait for it to be the one.
    w->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), w);
    QTest::keyClick(w, Qt::Key_Escape);
    QTRY_VERIFY(!test::topLevel(qPrintable(janela)));
    QTRY_VERIFY(p->isEnabled());
    QVERIFY(!child<QWidget>(p, "veuDesligada")->isVisible());
}

QTEST_MAIN(ShellTest)
#include "ShellTest.moc"
