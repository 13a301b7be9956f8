// The road of one VAF delivery through the real windows against the real stand-in server: the
// accountant, the company and its key from a certificate, the selection and its history, the
// delivery window, the conversion of a VAF.GDB, two documents selected upwards, the delivery, the
// new delivery in the refreshed history and the receipt address.
#include "accountant/frmContador.h"
#include "app/Principal.h"
#include "delivery/EscolhaArquivo.h"
#include "delivery/frmUpload.h"
#include "platform/Browser.h"
#include "platform/CertStore.h"
#include "platform/EscolhaCertificado.h"
#include "platform/Pausa.h"
#include "support/GuiTest.h"
#include "support/StandInServer.h"
#include "support/TestCertificates.h"
#include "support/TestProgramDir.h"
#include "taxpayers/frmtbl_CriaContribuinte.h"
#include "VafTestData.h"

#include <QAction>
#include <QRegularExpression>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <memory>

using namespace tervalia;
using test::child;
using test::TestCertificates;

namespace {
const QString semente = QStringLiteral(TERVALIA_SOURCE_DIR "/tools/server/demo-seed.json");

void digita(QWidget* w, const char* nome, const QString& texto)
{
    auto* e = child<QLineEdit>(w, nome);
    e->clear();
    e->setCursorPosition(0);
    QTest::keyClicks(e, texto);
}

void clicaLinha(QTableWidget* g, int linha, Qt::KeyboardModifiers mod = {})
{
    g->scrollToItem(g->item(linha, 0));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, mod, g->visualItemRect(g->item(linha, 0)).center());
}

QStringList textos(const QList<MessageBox::Shown>& shown)
{
    QStringList t;
    for (const auto& s : shown)
        t << s.text;
    return t;
}
} // namespace

class EntregaVafTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void caminhoDeUmaEntrega();

private:
    std::unique_ptr<TestCertificates> m_certs;
    QTemporaryDir m_home;
    QTemporaryDir m_usuario;
    QStringList m_titulares;
    QByteArray m_homeSalvo;
};

void EntregaVafTest::initTestCase()
{
    m_homeSalvo = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(m_home.path()));
    certstore::setP11KitProxyPathForTests({});
    m_certs = std::make_unique<TestCertificates>();
    m_titulares = m_certs->installStore(m_home.path(), TestCertificates::standardSet());
    QCOMPARE(test::geraVafGdb(QDir(m_usuario.path()).filePath(QStringLiteral("VAF.GDB"))), QString());
    setPausaParaTestes([](int) {});
}

void EntregaVafTest::cleanupTestCase()
{
    setPausaParaTestes({});
    qputenv("HOME", m_homeSalvo);
}

void EntregaVafTest::caminhoDeUmaEntrega()
{
    test::StandInServer servidor({QStringLiteral("--seed"), semente});
    test::TestProgramDir dir;
    dir.installFromDist(QStringLiteral("vaf_limpo.db"));
    dir.installFromDist(QStringLiteral("vaf_limpo.mdb"));
    dir.installFromDist(QStringLiteral("fbexport"));
    dir.writeSettings(QStringLiteral("127.0.0.1"), QString::number(servidor.port()));
    test::startGuiTest();
    Browser::setTestMode(true);
    EscolhaArquivo::esqueceUltimaPasta();
    Principal* p = Principal::instance();
    p->show();

    // 1. The accountant, whose e-CNPJ is in the certificate store.
    child<QAction>(p, "mnContribuinteNovo")->trigger();
    QCOMPARE(test::takeMessages().size(), 1);
    frmContador* contador = frmContador::existing();
    QVERIFY(contador);
    const QList<std::pair<const char*, QString>> dadosContador{
        {"txtCNPJCPF", TestCertificates::companyCnpj},
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

    // 2-3. The company, its key asked for with the accountant's certificate, the registration.
    QTRY_VERIFY(p->isEnabled());
    child<QAction>(p, "mnContribuinteNovo")->trigger();
    frmtbl_CriaContribuinte* cria = frmtbl_CriaContribuinte::existing();
    QVERIFY(cria);
    digita(cria, "txtIE", QStringLiteral("7001234500028"));
    digita(cria, "txtRazaoSocial", QStringLiteral("Mercearia Boa Vista Ltda"));
    digita(cria, "txtCNPJ", QStringLiteral("18473625000136"));
    digita(cria, "txtCNAE", QStringLiteral("4711302"));
    digita(cria, "txtInscMunicipal", QStringLiteral("CCM-77"));
    EscolhaCertificado::queueEscolha(m_titulares[0]);
    child<QPushButton>(cria, "Command1")->click();
    QTRY_COMPARE(child<QLineEdit>(cria, "Chave")->text(), QStringLiteral("K7M2Q9TX"));
    QCOMPARE(test::takeMessages().size(), 0);
    QTest::mouseClick(child<QPushButton>(cria, "cmdOK"), Qt::LeftButton);
    QCOMPARE(textos(test::takeMessages()), QStringList{QStringLiteral("O contribuinte foi criado!")});
    QTRY_VERIFY(!frmtbl_CriaContribuinte::existing());
    QTRY_VERIFY(p->isEnabled());

    // 4. "Selecionar" and the history.
    child<QAction>(p, "mnContribuinteSelecionar")->trigger();
    QWidget* lista = test::topLevel("frmtbl_SelecionaContribuinte");
    QVERIFY(lista);
    auto* empresas = child<QTableWidget>(lista, "GridSelContribuinte");
    QCOMPARE(empresas->rowCount(), 1);
    clicaLinha(empresas, 0);
    QTest::mouseClick(child<QPushButton>(lista, "cmdOK"), Qt::LeftButton);
    QTRY_VERIFY(!test::topLevel("frmtbl_SelecionaContribuinte"));
    QCOMPARE(p->chaveSelecionada(), QStringLiteral("K7M2Q9TX"));
    auto* historico = child<QTableWidget>(p, "GridTransmissoes");
    const int entregasAntes = historico->rowCount();
    QCOMPARE(entregasAntes, 2);
    QCOMPARE(p->anoTrabalho, QStringLiteral("2025/2026"));

    // 5. The dispatch: the VAF window, the main window off.
    QTRY_VERIFY(p->isEnabled());
    child<QPushButton>(p, "Command1")->click();
    QCOMPARE(test::takeMessages().size(), 1);
    QPointer<frmUpload> janela = frmUpload::existing();
    QVERIFY(janela);
    QVERIFY(!p->isEnabled());

    // 6. The conversion of the chosen VAF.GDB and the company's documents.
    janela->findChild<EscolhaArquivo*>()->setPasta(m_usuario.path());
    auto* arquivos = child<QListWidget>(janela, "file");
    const auto itens = arquivos->findItems(QStringLiteral("VAF.GDB"), Qt::MatchExactly);
    QCOMPARE(itens.size(), 1);
    QTest::mouseClick(arquivos->viewport(), Qt::LeftButton, {}, arquivos->visualItemRect(itens[0]).center());
    QCOMPARE(test::takeMessages().size(), 1);
    auto* grade = child<QTableWidget>(janela, "GridRefencias");
    QCOMPARE(grade->rowCount(), 5);
    QVERIFY(p->isEnabled());

    // 7-8. Rows 5 and 4 selected upwards (the 2025 documents), sent with the accountant's certificate.
    clicaLinha(grade, 4);
    clicaLinha(grade, 3, Qt::ShiftModifier);
    EscolhaCertificado::queueEscolha(m_titulares[0]);
    child<QPushButton>(janela, "cmdUpload")->click();
    QTRY_VERIFY(!janela);
    QCOMPARE(textos(test::takeMessages()), QStringList());

    // 9. The new delivery in the refreshed history.
    QTRY_COMPARE(historico->rowCount(), entregasAntes + 1);
    QVERIFY(p->isEnabled());
    // The new row: the working year as reference and status 1 (the server read vaf.db as a database
    // and found documents named).
    int nova = -1;
    for (int l = 0; l < historico->rowCount(); ++l) {
        if (!QStringList{"2024000101", "2025000087"}.contains(historico->item(l, 2)->text()))
            nova = l;
    }
    QVERIFY(nova >= 0);
    QCOMPARE(historico->item(nova, 0)->text(), QStringLiteral("2025/2026"));
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{10}$")).match(historico->item(nova, 2)->text()).hasMatch());
    QCOMPARE(historico->item(nova, 3)->text(), QStringLiteral("1"));

    // 10. The receipt address of that delivery.
    clicaLinha(historico, nova);
    QTest::mouseClick(child<QPushButton>(p, "cmd_Impressao"), Qt::LeftButton);
    const QStringList abertos = Browser::takeOpened();
    QCOMPARE(abertos, QStringList{QStringLiteral(
                          "http://127.0.0.1/protocoloDown.php?IE=7001234500028&key=K7M2Q9TX&ref=2025/2026")});

    Browser::setTestMode(false);
    test::finishGuiTest();
    EscolhaCertificado::reset();
}

QTEST_MAIN(EntregaVafTest)
#include "EntregaVafTest.moc"
