// The main window's history against the real stand-in server, seeded with the demo companies.
#include "app/Principal.h"
#include "platform/Browser.h"
#include "support/GuiTest.h"
#include "support/StandInServer.h"
#include "support/TestProgramDir.h"

#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace tervalia;

namespace {
using test::child;

const QString relogio = QStringLiteral("13/02/2025 14:05:09");
const QString semente = QStringLiteral(TERVALIA_SOURCE_DIR "/tools/server/demo-seed.json");

} // namespace

class PrincipalServidorTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void historicoDetalhesEProtocolo();
    void chaveErradaRetiraSelecao();

private:
    void clicaLinha(int linha);

    std::unique_ptr<test::StandInServer> m_servidor;
    std::unique_ptr<test::TestProgramDir> m_dir;
    Principal* m_p = nullptr;
};

void PrincipalServidorTest::initTestCase()
{
    m_servidor = std::make_unique<test::StandInServer>(
        QStringList{QStringLiteral("--seed"), semente, QStringLiteral("--clock"), relogio});
}

void PrincipalServidorTest::init()
{
    m_dir = std::make_unique<test::TestProgramDir>();
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), QString::number(m_servidor->port()));
    test::startGuiTest();
    m_p = Principal::instance();
    m_p->show();
}

void PrincipalServidorTest::cleanup()
{
    test::finishGuiTest();
    m_dir.reset();
}

void PrincipalServidorTest::clicaLinha(int linha)
{
    auto* grid = child<QTableWidget>(m_p, "GridTransmissoes");
    const QRect celula = grid->visualRect(grid->model()->index(linha, PainelHistorico::ColReferencia));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, celula.center());
}

void PrincipalServidorTest::historicoDetalhesEProtocolo()
{
    m_p->selecionaContribuinte(QStringLiteral("7001234500028"), QStringLiteral("Mercearia Boa Vista Ltda"),
                               QStringLiteral("K7M2Q9TX"));
    const auto r = m_p->RecebeDadosServer();
    QVERIFY2(r.ok(), qPrintable(r.descricao));
    QCOMPARE(m_p->DataServidor, QDateTime(QDate(2025, 2, 13), QTime(14, 5, 9)));
    QCOMPARE(m_p->anoTrabalho, QStringLiteral("2025/2026"));
    QVERIFY(child<QLabel>(m_p, "lblAtualizado")->isVisible());
    auto* grid = child<QTableWidget>(m_p, "GridTransmissoes");
    QCOMPARE(grid->rowCount(), 2);
    QCOMPARE(grid->item(0, PainelHistorico::ColProtocolo)->text(), QStringLiteral("2024000101"));
    QCOMPARE(grid->item(1, PainelHistorico::ColReferencia)->text(), QStringLiteral("2024/2025"));

    clicaLinha(0);
    QVERIFY(child<QLabel>(m_p, "labelOK")->isVisible());
    clicaLinha(1);
    QVERIFY(!child<QLabel>(m_p, "labelOK")->isVisible());
    QTreeWidgetItem* raiz = child<QTreeWidget>(m_p, "tvwPessoa")->topLevelItem(0);
    QVERIFY(raiz);
    QCOMPARE(raiz->childCount(), 2);
    QVERIFY(raiz->child(0)->text(0).endsWith(QStringLiteral(": GIA 312: o total de entradas difere do informado na "
                                                            "DAPI do mesmo período.")));
    QCOMPARE(raiz->child(0)->data(0, Qt::UserRole).toString(), QStringLiteral("2025000087"));

    // The browser would reach the receipt on port 80; here the page is fetched on the server's port.
    QTest::mouseClick(child<QPushButton>(m_p, "cmd_Impressao"), Qt::LeftButton);
    const QStringList abertos = Browser::takeOpened();
    QCOMPARE(abertos.size(), 1);
    QUrl endereco(abertos.first());
    QCOMPARE(endereco.port(), -1);
    endereco.setPort(m_servidor->port());
    QNetworkAccessManager rede;
    std::unique_ptr<QNetworkReply> pagina(rede.get(QNetworkRequest(endereco)));
    QSignalSpy fim(pagina.get(), &QNetworkReply::finished);
    QVERIFY(fim.wait(20000));
    QCOMPARE(pagina->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    QVERIFY(QString::fromUtf8(pagina->readAll()).contains(QStringLiteral("2025000087")));
    QVERIFY(test::takeMessages().isEmpty());
}

void PrincipalServidorTest::chaveErradaRetiraSelecao()
{
    m_p->selecionaContribuinte(QStringLiteral("7001234500028"), QStringLiteral("Mercearia Boa Vista Ltda"),
                               QStringLiteral("ERRADA00"));
    QVERIFY(m_p->RecebeDadosServer().ok());
    const auto mostradas = test::takeMessages();
    QCOMPARE(mostradas.size(), 1);
    QCOMPARE(mostradas[0].text, QStringLiteral("Chave inválida"));
    QVERIFY(m_p->ieSelecionada().isEmpty());
    QVERIFY(!child<QPushButton>(m_p, "Command1")->isVisible());
    QVERIFY(m_p->DataServidor.isNull());
}

QTEST_MAIN(PrincipalServidorTest)
#include "PrincipalServidorTest.moc"
