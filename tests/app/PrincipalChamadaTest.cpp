// The main window closed while one of its server calls is in flight: the close waits for the end
// of the call, the handler finishes on a live window, and the window closes afterwards.
#include "app/PainelHistorico.h"
#include "app/Principal.h"
#include "net/HttpDouble.h"
#include "support/GuiTest.h"
#include "support/TestProgramDir.h"

#include <QPointer>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace tervalia;

namespace {
using test::child;
using test::HttpDouble;

const QString indisponivel = QStringLiteral("O Servidor está indisponível, tente novamente mais tarde.");

QByteArray respostaSoap(const QString& operacao, const QString& retorno)
{
    return HttpDouble::answer(QStringLiteral("<E xmlns:e=\"urn:e\"><B><ns1:%1Response xmlns:ns1=\"urn:T\">"
                                             "<return>%2</return></ns1:%1Response></B></E>")
                                  .arg(operacao, retorno.toHtmlEscaped())
                                  .toUtf8());
}

const QString historicoComDetalhes =
    QStringLiteral("<listaTransferencias><transferencia><referencia>01/2025</referencia><protocolo>P1</protocolo>"
                   "<status>2</status></transferencia></listaTransferencias>");
} // namespace

class PrincipalChamadaTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fecharDuranteDetalhes_data();
    void fecharDuranteDetalhes();
    void fecharDuranteAtualizacao();

private:
    // Closes the main window from inside the server, as the request arrives; records the outcome.
    void fechaQuandoChegar();

    std::unique_ptr<test::TestProgramDir> m_dir;
    std::unique_ptr<HttpDouble> m_servidor;
    QPointer<Principal> m_p;
    int m_pedidos = 0;
    bool m_fechouNaHora = true;
};

void PrincipalChamadaTest::init()
{
    m_dir = std::make_unique<test::TestProgramDir>();
    test::startGuiTest();
    m_servidor = std::make_unique<HttpDouble>();
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), m_servidor->port());
    m_p = Principal::instance();
    m_p->show();
    m_p->selecionaContribuinte(QStringLiteral("0620000000123"), QStringLiteral("EMPRESA TESTE LTDA"),
                               QStringLiteral("AB12CD34"));
    m_pedidos = 0;
    m_fechouNaHora = true;
}

void PrincipalChamadaTest::cleanup()
{
    test::finishGuiTest();
    m_servidor.reset();
    m_dir.reset();
}

void PrincipalChamadaTest::fechaQuandoChegar()
{
    m_servidor->setOnRequest([this] {
        ++m_pedidos;
        m_fechouNaHora = m_p && m_p->close();
    });
}

void PrincipalChamadaTest::fecharDuranteDetalhes_data()
{
    QTest::addColumn<QByteArray>("resposta");
    QTest::addColumn<QString>("mensagem"); // empty: none
    QTest::newRow("detalhes lidos") << respostaSoap(QStringLiteral("Transferencia.ver"),
                                                    QStringLiteral("<m><e><DETALHE>Campo 12</DETALHE></e></m>"))
                                    << QString();
    QTest::newRow("detalhes ilegiveis") << respostaSoap(QStringLiteral("Transferencia.ver"), QStringLiteral("<m><e>"))
                                        << QStringLiteral("*");
    QTest::newRow("pagina de erro") << HttpDouble::answer("<html>", "text/html", "500 Erro") << indisponivel;
    QTest::newRow("conexao derrubada") << QByteArray() << indisponivel;
}

void PrincipalChamadaTest::fecharDuranteDetalhes()
{
    QFETCH(QByteArray, resposta);
    QFETCH(QString, mensagem);
    QVERIFY(m_p->historico()->PopulaGridTransmissoes(historicoComDetalhes));
    m_servidor->setAnswer(resposta);
    fechaQuandoChegar();
    auto* grid = child<QTableWidget>(m_p, "GridTransmissoes");

    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(grid->model()->index(0, PainelHistorico::ColReferencia)).center());

    QCOMPARE(m_pedidos, 1);
    QVERIFY(!m_fechouNaHora);
    QVERIFY(m_p && m_p->isVisible()); // the handler ended on a live window
    const auto mostradas = test::takeMessages();
    if (mensagem.isEmpty()) {
        QVERIFY(mostradas.isEmpty());
        QCOMPARE(child<QTreeWidget>(m_p, "tvwPessoa")->topLevelItem(0)->child(0)->text(0),
                 QStringLiteral("e: Campo 12"));
    } else {
        QCOMPARE(mostradas.size(), 1);
        if (mensagem != QLatin1String("*")) // "*": the parser's reason
            QCOMPARE(mostradas[0].text, mensagem);
    }
    QTRY_VERIFY(!m_p);
}

void PrincipalChamadaTest::fecharDuranteAtualizacao()
{
    m_servidor->setAnswer(respostaSoap(QStringLiteral("Transferencia.ver2"), QStringLiteral("<lista")));
    fechaQuandoChegar();

    const Principal::ResultadoAtualizacao resultado = m_p->RecebeDadosServer();

    QCOMPARE(m_pedidos, 1);
    QVERIFY(!m_fechouNaHora);
    QVERIFY(m_p && m_p->isVisible());
    QCOMPARE(resultado.falha, Principal::ResultadoAtualizacao::HistoricoInvalido);
    QVERIFY(test::takeMessages().isEmpty());
    QTRY_VERIFY(!m_p);
}

QTEST_MAIN(PrincipalChamadaTest)
#include "PrincipalChamadaTest.moc"
