// The accountant window against what the server answers to "Transferencia.contador": only an
// answer it can read counts as a registration, and a window closed meanwhile survives the call.
#include "accountant/frmContador.h"
#include "BuildConfig.h"
#include "net/HttpDouble.h"
#include "net/Soap.h"
#include "server/SoapMessage.h"
#include "storage/Cadastro.h"
#include "support/GuiTest.h"
#include "support/StandInServer.h"
#include "support/TestProgramDir.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace tervalia;

namespace {
using test::child;
using test::HttpDouble;

const QString tituloMg = QStringLiteral("Tervalia - MG");

QString falhaConexao2()
{
    return QStringLiteral("Falha de conexão - Cód 2, \r\nfavor entrar em contato com seu administrador de redes "
                          "para verificação de regras no seu firewall ou proxy. \r\n\r\nVerifique também suas "
                          "configurações de antivírus.\r\n\r\nO sistema deverá se comunicar com a URL http://") +
           QString::fromUtf8(build::siteAddress) + QLatin1Char('/');
}

// The stand-in's own answers, so that these tests say what the real server exchange looks like.
QByteArray aceito()
{
    return HttpDouble::answer(
        standin::soapResponse(QStringLiteral("Transferencia.contador"), QStringLiteral("CONTADOR_RECEBIDO")),
        "application/soap+xml; charset=utf-8");
}

QByteArray recusado()
{
    return HttpDouble::answer(standin::soapFault(QStringLiteral("envelope ilegível")),
                              "application/soap+xml; charset=utf-8", "500 Internal Server Error");
}

QByteArray bombaDeEntidades()
{
    QByteArray texto = "<!DOCTYPE E [<!ENTITY a0 \"ha\">";
    for (int i = 1; i < 10; ++i)
        texto += "<!ENTITY a" + QByteArray::number(i) + " \"" + ("&a" + QByteArray::number(i - 1) + ";").repeated(10) +
                 "\">";
    return texto + "]><E><B><R><return>&a9;</return></R></B></E>";
}

ContadorRecord armazenado()
{
    return {QStringLiteral("11.222.333/0001-81"),
            QStringLiteral("CRC 1"),
            QStringLiteral("Maria Contabilidade"),
            QStringLiteral("Av. Brasil"),
            QStringLiteral("5"),
            QString(),
            QStringLiteral("Savassi"),
            QStringLiteral("Ostare"),
            QStringLiteral("MG"),
            QStringLiteral("(31) 2222-1111"),
            QStringLiteral("30140-000"),
            QStringLiteral("maria@ostare.br")};
}

const QString novoNome = QStringLiteral("Outro Nome Contabilidade");
} // namespace

class ContadorRespostaTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void soRespostaLegivelRegistra_data();
    void soRespostaLegivelRegistra();
    void caracteresProibidosNemEnviadosNemGuardados();
    void fecharDuranteAChamada_data();
    void fecharDuranteAChamada();

private:
    // Opens the window on the stored accountant and renames it; the OK then replaces the row.
    frmContador* abreEAltera();
    void clicaOk(frmContador* w) { QTest::mouseClick(child<QPushButton>(w, "btnOK"), Qt::LeftButton); }

    std::unique_ptr<test::StandInServer> m_standin;
    std::unique_ptr<test::TestProgramDir> m_dir;
};

void ContadorRespostaTest::initTestCase()
{
    m_standin = std::make_unique<test::StandInServer>();
}

void ContadorRespostaTest::init()
{
    m_dir = std::make_unique<test::TestProgramDir>();
    test::startGuiTest();
    cadastro::replaceContador(armazenado());
}

void ContadorRespostaTest::cleanup()
{
    setSoapTimeoutForTests(0);
    setSoapDeadlineForTests(0);
    test::finishGuiTest();
    m_dir.reset();
}

frmContador* ContadorRespostaTest::abreEAltera()
{
    frmContador* w = frmContador::abrir();
    child<QLineEdit>(w, "txtRazaoSocial")->setText(novoNome);
    return w;
}

void ContadorRespostaTest::soRespostaLegivelRegistra_data()
{
    QTest::addColumn<QByteArray>("resposta");
    QTest::addColumn<bool>("registra");

    QTest::newRow("aceito pelo servidor") << aceito() << true;
    QTest::newRow("aceito, resultado vazio") << HttpDouble::answer("<E><B><R><return/></R></B></E>") << true;
    QTest::newRow("recusa do servidor (falha SOAP)") << recusado() << false;
    QTest::newRow("pagina de erro 500") << HttpDouble::answer("<html><body>Erro</body></html>", "text/html",
                                                              "500 Internal Server Error")
                                        << false;
    QTest::newRow("bomba de entidades") << HttpDouble::answer(bombaDeEntidades()) << false;
    QTest::newRow("100.000 elementos aninhados")
        << HttpDouble::answer("<E><B><R><return>" + QByteArray("<a>").repeated(100000) +
                              QByteArray("</a>").repeated(100000) + "</return></R></B></E>")
        << false;
    QTest::newRow("envelope cortado") << HttpDouble::answer(
                                             standin::soapResponse(QStringLiteral("Transferencia.contador"),
                                                                   QStringLiteral("CONTADOR_RECEBIDO"))
                                                 .chopped(30))
                                      << false;
    QTest::newRow("resultado fora do lugar") << HttpDouble::answer("<E><B><return>x</return></B></E>") << false;
    QTest::newRow("lixo") << QByteArray("\x01\x02 lixo\r\n\r\n") << false;
    QTest::newRow("conexao derrubada sem resposta") << QByteArray() << false;
    // Hostile servers by name (HttpDouble::playHostile).
    QTest::newRow("servidor mudo") << QByteArray("silent") << false;
    QTest::newRow("servidor gotejando") << QByteArray("dripping") << false;
    QTest::newRow("conexao reiniciada") << QByteArray("reset") << false;
}

void ContadorRespostaTest::soRespostaLegivelRegistra()
{
    QFETCH(QByteArray, resposta);
    QFETCH(bool, registra);
    HttpDouble servidor;
    if (!servidor.playHostile(QString::fromLatin1(resposta)))
        servidor.setAnswer(resposta);
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), servidor.port());
    setSoapTimeoutForTests(1000);
    setSoapDeadlineForTests(2000);
    frmContador* w = abreEAltera();

    clicaOk(w);

    QCOMPARE(servidor.requests().size(), 1);
    const auto mostradas = test::takeMessages();
    QCOMPARE(mostradas.size(), 1);
    QCOMPARE(mostradas[0].title, tituloMg);
    if (registra) {
        QCOMPARE(mostradas[0].text, QStringLiteral("Contador cadastrado com sucesso"));
        QTRY_VERIFY(!frmContador::existing());
        QCOMPARE(cadastro::readContador().value().razaoNome, novoNome);
    } else {
        QCOMPARE(mostradas[0].text, falhaConexao2());
        QCOMPARE(mostradas[0].icon, QMessageBox::Critical);
        QVERIFY(w->isVisible());
        QCOMPARE(child<QLineEdit>(w, "txtRazaoSocial")->text(), novoNome);
        QCOMPARE(cadastro::readContador(), std::optional<ContadorRecord>(armazenado()));
    }
}

// A pasted control character would make the envelope unreadable and the stand-in would refuse it.
void ContadorRespostaTest::caracteresProibidosNemEnviadosNemGuardados()
{
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), QString::number(m_standin->port()));
    frmContador* w = abreEAltera();
    child<QLineEdit>(w, "txtRazaoSocial")->setText(QStringLiteral("Outro\u0001 Nome\u001F Contabilidade"));
    child<QLineEdit>(w, "txtComplemento")->setText(QStringLiteral("sala\u000B 2\u0000"));
    const qsizetype antes = m_standin->contadores().size();

    clicaOk(w);

    const auto mostradas = test::takeMessages();
    QCOMPARE(mostradas.size(), 1);
    QCOMPARE(mostradas[0].text, QStringLiteral("Contador cadastrado com sucesso"));
    const QList<QStringList> recebidos = m_standin->contadores();
    QCOMPARE(recebidos.size(), antes + 1);
    QCOMPARE(recebidos.last().value(2), novoNome);
    QCOMPARE(recebidos.last().value(5), QStringLiteral("sala 2"));
    QCOMPARE(cadastro::readContador().value().razaoNome, novoNome);
    QCOMPARE(cadastro::readContador().value().dscComplemento, QStringLiteral("sala 2"));
}

// The window is closed while its OK waits for the server: the close waits for the answer, the
// handler finishes on a live window, and the window closes afterwards.
void ContadorRespostaTest::fecharDuranteAChamada_data()
{
    QTest::addColumn<QByteArray>("resposta");
    QTest::addColumn<bool>("registra");
    QTest::newRow("aceito") << aceito() << true;
    QTest::newRow("recusado") << recusado() << false;
    QTest::newRow("conexao derrubada") << QByteArray() << false;
}

void ContadorRespostaTest::fecharDuranteAChamada()
{
    QFETCH(QByteArray, resposta);
    QFETCH(bool, registra);
    HttpDouble servidor;
    servidor.setAnswer(resposta);
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), servidor.port());
    const QPointer<frmContador> w = abreEAltera();
    int tentativas = 0;
    bool fechouNaHora = true;
    servidor.setOnRequest([&] {
        ++tentativas;
        fechouNaHora = w && w->close();
    });

    clicaOk(w);

    QCOMPARE(tentativas, 1);
    QVERIFY(!fechouNaHora);
    const auto mostradas = test::takeMessages();
    QCOMPARE(mostradas.size(), 1);
    QCOMPARE(mostradas[0].text, registra ? QStringLiteral("Contador cadastrado com sucesso") : falhaConexao2());
    if (!registra)
        QVERIFY(w && w->isVisible()); // still there when its handler ended
    QTRY_VERIFY(!frmContador::existing());
    QCOMPARE(cadastro::readContador().value().razaoNome, registra ? novoNome : armazenado().razaoNome);
}

QTEST_MAIN(ContadorRespostaTest)
#include "ContadorRespostaTest.moc"
