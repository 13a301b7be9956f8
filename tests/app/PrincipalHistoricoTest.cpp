#include "app/Principal.h"
#include "net/HttpDouble.h"
#include "net/Soap.h"
#include "support/GuiTest.h"
#include "support/TestProgramDir.h"

#include "platform/Browser.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTcpServer>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace tervalia;
using Resultado = Principal::ResultadoAtualizacao;

Q_DECLARE_METATYPE(tervalia::Principal::ResultadoAtualizacao::Falha)

namespace {
using test::child;

const QString ie = QStringLiteral("0620000000123");
const QString razao = QStringLiteral("EMPRESA TESTE LTDA");
const QString chave = QStringLiteral("AB12CD34");
const QString indisponivelRefresh = QStringLiteral("O Servidor está indisponivel, tente novamente mais tarde.");
const QString indisponivel = QStringLiteral("O Servidor está indisponível, tente novamente mais tarde.");

QByteArray respostaSoap(const QString& retorno, const QString& operacao = QStringLiteral("Transferencia.ver2"))
{
    return test::HttpDouble::soapAnswer(operacao, retorno);
}

QString entrega(const QString& referencia, const QString& status, const QString& protocolo)
{
    return QStringLiteral("<transferencia><referencia>%1</referencia><data>10/02/2025 10:00:00</data>"
                          "<protocolo>%3</protocolo><status>%2</status><adicionado>100,00</adicionado>"
                          "</transferencia>")
        .arg(referencia, status, protocolo);
}

// A history whose root attributes put the date at 32, the working year at 59 and the version at 78.
QString historico(const QString& data, const QString& versao, const QString& entregas = {})
{
    QString texto = QStringLiteral("<listaTransferencias");
    auto atributo = [&texto](const QString& nome, int posicao, const QString& valor) {
        texto +=
            QString(posicao - 1 - texto.size() - nome.size() - 2, u' ') + nome + QStringLiteral("=\"") + valor + u'"';
    };
    atributo(QStringLiteral("data"), 32, data);
    atributo(QStringLiteral("ano"), 59, QStringLiteral("2025/2026"));
    atributo(QStringLiteral("versao"), 78, versao.leftJustified(20));
    return texto + u'>' + entregas + QStringLiteral("</listaTransferencias>");
}

const QString dataServidor = QStringLiteral("01/02/2025 04:05:09");
const QDateTime momentoServidor(QDate(2025, 2, 1), QTime(4, 5, 9));

QString historicoAtual(const QString& entregas = {})
{
    return historico(dataServidor, QStringLiteral("1.15.01"), entregas);
}
} // namespace

class PrincipalHistoricoTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void selecaoMostraHistorico();
    void populaRejeicoesEListaVazia_data();
    void populaRejeicoesEListaVazia();
    void populaTresLinhasEmOrdem();

    void atualizaPedeHistoricoDaSelecao();
    void atualizaGuardaDataEAno_data();
    void atualizaGuardaDataEAno();
    void atualizaVersao_data();
    void atualizaVersao();
    void atualizaChaveRecusadaRetiraSelecao_data();
    void atualizaChaveRecusadaRetiraSelecao();
    void atualizaDuasVezesMesmoEstado();
    void atualizaFalhas_data();
    void atualizaFalhas();
    void atualizaSemInfoDipNaoChamaServidor();

    void cliqueNasEntregas();
    void detalhesComFalha_data();
    void detalhesComFalha();

    void protocolo_data();
    void protocoloSeguro_data();
    void protocoloSeguro();
    void protocolo();
    void openBrowser_data();
    void openBrowser();

private:
    Resultado atualiza(const QString& retorno);
    void clicaLinha(int linha);
    QTableWidget* grid() { return child<QTableWidget>(m_p, "GridTransmissoes"); }
    QStringList linhasDoGrid();

    std::unique_ptr<test::TestProgramDir> m_dir;
    std::unique_ptr<test::HttpDouble> m_servidor;
    Principal* m_p = nullptr;
};

void PrincipalHistoricoTest::init()
{
    m_dir = std::make_unique<test::TestProgramDir>();
    test::startGuiTest();
    m_servidor = std::make_unique<test::HttpDouble>();
    m_dir->writeSettings(QStringLiteral("127.0.0.1"), m_servidor->port());
    m_p = Principal::instance();
    m_p->show();
    m_p->selecionaContribuinte(ie, razao, chave);
}

void PrincipalHistoricoTest::cleanup()
{
    setSoapTimeoutForTests(0);
    setSoapDeadlineForTests(0);
    test::finishGuiTest();
    QLocale::setDefault(QLocale::c());
    m_servidor.reset();
    m_dir.reset();
}

Resultado PrincipalHistoricoTest::atualiza(const QString& retorno)
{
    m_servidor->setAnswer(respostaSoap(retorno));
    return m_p->RecebeDadosServer();
}

void PrincipalHistoricoTest::clicaLinha(int linha)
{
    const QRect celula = grid()->visualRect(grid()->model()->index(linha, PainelHistorico::ColReferencia));
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, celula.center());
}

QStringList PrincipalHistoricoTest::linhasDoGrid()
{
    QStringList linhas;
    for (int l = 0; l < grid()->rowCount(); ++l) {
        QStringList celulas;
        for (int c = 0; c < PainelHistorico::ColCount; ++c)
            celulas << (grid()->item(l, c) ? grid()->item(l, c)->text() : QStringLiteral("<nada>"));
        linhas << celulas.join(u'|');
    }
    return linhas;
}

void PrincipalHistoricoTest::selecaoMostraHistorico()
{
    QCOMPARE(m_p->ieSelecionada(), ie);
    QCOMPARE(child<QLabel>(m_p, "IESel")->text(), ie);
    QCOMPARE(child<QLabel>(m_p, "RSSel")->text(), razao);
    QCOMPARE(child<QLabel>(m_p, "lblChave")->text(), chave);
    QVERIFY(!child<QLabel>(m_p, "lblChave")->isVisible());
    QVERIFY(child<QGroupBox>(m_p, "frmImportacao")->isVisible());
    QVERIFY(child<QPushButton>(m_p, "Command1")->isVisible());
}

void PrincipalHistoricoTest::populaRejeicoesEListaVazia_data()
{
    QTest::addColumn<QString>("retorno");
    QTest::addColumn<QString>("mensagem");
    QTest::addColumn<QMessageBox::Icon>("icone");
    QTest::addColumn<bool>("gridIntacto");
    QTest::addColumn<bool>("botaoHabilitado");
    QTest::newRow("chave_invalida minuscula com brancos") << "  chave_invalida  "
                                                          << "Chave inválida" << QMessageBox::Critical << true << false;
    QTest::newRow("CHAVE_INVALIDA seguida de texto")
        << "CHAVE_INVALIDA IE 0620000000123"
        << "Acesso não autorizado" << QMessageBox::Information << false << true;
    QTest::newRow("lista vazia") << "<listaTransferencias></listaTransferencias>"
                                 << "" << QMessageBox::NoIcon << false << true;
}

void PrincipalHistoricoTest::populaRejeicoesEListaVazia()
{
    QFETCH(QString, retorno);
    QFETCH(QString, mensagem);
    QFETCH(QMessageBox::Icon, icone);
    QFETCH(bool, gridIntacto);
    QFETCH(bool, botaoHabilitado);
    QVERIFY(m_p->historico()->PopulaGridTransmissoes(historicoAtual(entrega("01/2025", "1", "P1"))));
    const QStringList antes = linhasDoGrid();
    auto* botao = child<QPushButton>(m_p, "Command1");
    botao->setEnabled(!botaoHabilitado);

    QVERIFY(m_p->historico()->PopulaGridTransmissoes(retorno));
    const auto mostradas = test::takeMessages();
    if (mensagem.isEmpty()) {
        QVERIFY(mostradas.isEmpty());
    } else {
        QCOMPARE(mostradas.size(), 1);
        QCOMPARE(mostradas[0].text, mensagem);
        QCOMPARE(mostradas[0].title, QStringLiteral("Tervalia - MG"));
        QCOMPARE(mostradas[0].icon, icone);
        QCOMPARE(mostradas[0].buttons, QMessageBox::Ok);
    }
    QCOMPARE(linhasDoGrid(), gridIntacto ? antes : QStringList());
    QCOMPARE(grid()->columnCount(), int(PainelHistorico::ColCount));
    QCOMPARE(botao->isEnabled(), botaoHabilitado);
}

void PrincipalHistoricoTest::populaTresLinhasEmOrdem()
{
    const QString documento =
        QStringLiteral("<listaTransferencias>"
                       "<transferencia><referencia>01/2025</referencia><data>10/02/2025</data><protocolo>P1</protocolo>"
                       "<status>1</status><adicionado>10,00</adicionado></transferencia>"
                       "<transferencia><adicionado>20,00</adicionado><status>2</status><data>11/03/2025</data>"
                       "<referencia>02/2025</referencia></transferencia>"
                       "<transferencia><referencia>03/2025</referencia><protocolo>P3</protocolo></transferencia>"
                       "<transferencia><referencia>PGDAS 2024/2025 - RETIFICADORA</referencia></transferencia>"
                       "</listaTransferencias>");
    QVERIFY(m_p->historico()->PopulaGridTransmissoes(documento));
    QCOMPARE(linhasDoGrid(), (QStringList{"01/2025|10/02/2025|P1|1|10,00", "02/2025|11/03/2025||2|20,00",
                                          "03/2025||P3||", "PGDAS 2024/2025 - RETIFICADORA||||"}));
    // Every reference whole on one line, and in the cell's tooltip.
    QVERIFY(!grid()->wordWrap());
    QVERIFY(grid()->columnWidth(PainelHistorico::ColReferencia) >=
            static_cast<QAbstractItemView*>(grid())->sizeHintForColumn(PainelHistorico::ColReferencia));
    QCOMPARE(grid()->item(3, PainelHistorico::ColReferencia)->toolTip(),
             QStringLiteral("PGDAS 2024/2025 - RETIFICADORA"));
    QCOMPARE(grid()->item(0, PainelHistorico::ColValorAdicionado)->textAlignment(), int(Qt::AlignRight | Qt::AlignTop));

    // A new answer replaces the rows.
    QVERIFY(m_p->historico()->PopulaGridTransmissoes(historicoAtual(entrega("04/2025", "1", "P4"))));
    QCOMPARE(grid()->rowCount(), 1);

    QString motivo;
    QVERIFY(!m_p->historico()->PopulaGridTransmissoes(QStringLiteral("<listaTransferencias><transferencia>"), &motivo));
    QVERIFY(!motivo.isEmpty());
}

void PrincipalHistoricoTest::atualizaPedeHistoricoDaSelecao()
{
    QVERIFY(atualiza(historicoAtual()).ok());
    QCOMPARE(m_servidor->requests().size(), 1);
    const auto& pedido = m_servidor->requests().first();
    QCOMPARE(pedido.method, QByteArray("POST"));
    QCOMPARE(pedido.target, QByteArray("/ravu/server/index.php?wsdl"));
    QCOMPARE(pedido.headers.value("soapaction"), QByteArray("Transferencia.ver2"));
    QVERIFY2(pedido.body.contains("<Transferencia.ver2 xmlns=\"\"><strNome>0620000000123</strNome>"
                                  "<strDiretorioDestino>vbs</strDiretorioDestino><Chave>AB12CD34</Chave>"
                                  "</Transferencia.ver2>"),
             pedido.body.constData());
}

void PrincipalHistoricoTest::atualizaGuardaDataEAno_data()
{
    QTest::addColumn<QString>("locale");
    QTest::newRow("pt_BR") << "pt_BR";
    QTest::newRow("en_US") << "en_US";
}

void PrincipalHistoricoTest::atualizaGuardaDataEAno()
{
    QFETCH(QString, locale);
    QLocale::setDefault(QLocale(locale));
    auto* arvore = child<QTreeWidget>(m_p, "tvwPessoa");
    arvore->show();
    const Resultado r = atualiza(historicoAtual(entrega("01/2025", "1", "P1")));
    QVERIFY2(r.ok(), qPrintable(r.descricao));
    QCOMPARE(m_p->DataServidor, momentoServidor);
    QCOMPARE(m_p->anoTrabalho, QStringLiteral("2025/2026"));
    QCOMPARE(grid()->rowCount(), 1);
    QVERIFY(!arvore->isVisible());
    QVERIFY(!child<QLabel>(m_p, "detApuracao")->isVisible());
    QVERIFY(test::takeMessages().isEmpty());
}

void PrincipalHistoricoTest::atualizaVersao_data()
{
    QTest::addColumn<QByteArray>("infoDip");
    QTest::addColumn<QString>("versaoServidor");
    QTest::addColumn<bool>("atualizado");
    QTest::newRow("atual") << QByteArray("1.15.01") << "1.15.01" << true;
    QTest::newRow("antiga") << QByteArray("1.14.07") << "1.15.01" << false;
    QTest::newRow("vazia") << QByteArray() << "9.99.99" << true;
    QTest::newRow("em outro lugar da resposta") << QByteArray("Transferencia.ver2Response") << "9.99.99" << true;
    QTest::newRow("diferente na caixa") << QByteArray("1.15.01-BETA") << "1.15.01-beta" << false;
}

void PrincipalHistoricoTest::atualizaVersao()
{
    QFETCH(QByteArray, infoDip);
    QFETCH(QString, versaoServidor);
    QFETCH(bool, atualizado);
    auto* lblAtualizado = child<QLabel>(m_p, "lblAtualizado");
    auto* lblNova = child<QLabel>(m_p, "lblnovaatualizacao");
    // Start from the opposite state, so that the refresh must change the labels.
    m_dir->writeFile(QStringLiteral("info.dip"), atualizado ? "0.0.0-nunca" : QByteArray());
    QVERIFY(atualiza(historico(dataServidor, QStringLiteral("0.0.1"))).ok());
    QCOMPARE(lblAtualizado->isVisible(), !atualizado);

    m_dir->writeFile(QStringLiteral("info.dip"), infoDip);
    QVERIFY(atualiza(historico(dataServidor, versaoServidor)).ok());
    QCOMPARE(lblAtualizado->isVisible(), atualizado);
    QCOMPARE(lblNova->isVisible(), !atualizado);
    if (!atualizado)
        QCOMPARE(lblNova->text(), QStringLiteral("Nova atualização disponível para download - versão ") +
                                      versaoServidor.leftJustified(20));
}

void PrincipalHistoricoTest::atualizaChaveRecusadaRetiraSelecao_data()
{
    QTest::addColumn<QString>("retorno");
    QTest::addColumn<QString>("mensagem");
    QTest::newRow("CHAVE_INVALIDA") << " CHAVE_INVALIDA"
                                    << "Chave inválida";
    QTest::newRow("outra recusa") << "CHAVE_INEXISTENTE"
                                  << "Acesso não autorizado";
}

void PrincipalHistoricoTest::atualizaChaveRecusadaRetiraSelecao()
{
    QFETCH(QString, retorno);
    QFETCH(QString, mensagem);
    QVERIFY(atualiza(historicoAtual(entrega("01/2025", "1", "P1"))).ok());

    QVERIFY(atualiza(retorno).ok());
    const auto mostradas = test::takeMessages();
    QCOMPARE(mostradas.size(), 1);
    QCOMPARE(mostradas[0].text, mensagem);
    for (const char* rotulo : {"IESel", "RSSel", "lblChave"})
        QVERIFY2(child<QLabel>(m_p, rotulo)->text().isEmpty(), rotulo);
    QVERIFY(!child<QGroupBox>(m_p, "frmImportacao")->isVisible());
    QVERIFY(!child<QPushButton>(m_p, "Command1")->isVisible());
    // The last accepted refresh still tells the date and the working year.
    QCOMPARE(m_p->DataServidor, momentoServidor);
    QCOMPARE(m_p->anoTrabalho, QStringLiteral("2025/2026"));
}

void PrincipalHistoricoTest::atualizaDuasVezesMesmoEstado()
{
    m_dir->writeFile(QStringLiteral("info.dip"), "1.14.07");
    const QString retorno = historicoAtual(entrega("01/2025", "1", "P1") + entrega("02/2025", "2", "P2"));
    auto estado = [this] {
        QStringList e = linhasDoGrid();
        for (const char* nome : {"IESel", "RSSel", "lblChave", "lblAtualizado", "lblnovaatualizacao", "labelOK"})
            e << child<QLabel>(m_p, nome)->text() + QString::number(child<QLabel>(m_p, nome)->isVisible());
        e << QString::number(child<QPushButton>(m_p, "Command1")->isEnabled())
          << m_p->DataServidor.toString(Qt::ISODate) << m_p->anoTrabalho;
        return e;
    };
    QVERIFY(atualiza(retorno).ok());
    const QStringList primeiro = estado();
    QVERIFY(atualiza(retorno).ok());
    QCOMPARE(estado(), primeiro);
    QCOMPARE(grid()->rowCount(), 2);
}

void PrincipalHistoricoTest::atualizaFalhas_data()
{
    QTest::addColumn<QByteArray>("resposta"); // or the name of a hostile server (HttpDouble::playHostile)
    QTest::addColumn<Resultado::Falha>("falha");
    QTest::addColumn<bool>("gridVazio");
    QTest::addColumn<QString>("descricao"); // how the description starts
    const QString morto = QStringLiteral("O servidor recusou a conexão.");
    QTest::newRow("servidor fora do ar") << QByteArray("dead") << Resultado::Transferencia << false << morto;
    QTest::newRow("servidor mudo") << QByteArray("silent") << Resultado::Transferencia << false
                                   << "O servidor não respondeu dentro do tempo limite.";
    QTest::newRow("servidor gotejando") << QByteArray("dripping") << Resultado::Transferencia << false
                                        << "O servidor não completou a resposta dentro do tempo limite.";
    QTest::newRow("conexao reiniciada") << QByteArray("reset") << Resultado::Transferencia << false
                                        << "O servidor encerrou a conexão antes de responder.";
    QTest::newRow("resposta nao http") << QByteArray("garbage") << Resultado::Transferencia << false
                                       << "O servidor enviou uma resposta que não é HTTP.";
    QTest::newRow("pagina de erro") << test::HttpDouble::answer("<html><body>Erro interno", "text/html", "500 Erro")
                                    << Resultado::RespostaIlegivel << true
                                    << "A resposta do servidor não pôde ser lida.";
    QTest::newRow("historico nao xml") << respostaSoap(QStringLiteral("Servidor em manutenção"))
                                       << Resultado::HistoricoInvalido << true
                                       << "O histórico enviado pelo servidor não pôde ser lido: ";
    QTest::newRow("data ilegivel") << respostaSoap(historico(QStringLiteral("99/99/9999 99:99:99"), "1.15.01"))
                                   << Resultado::DataInvalida << true
                                   << "A data do servidor não pôde ser lida: \"99/99/9999 99:99:99\".";
    QTest::newRow("historico sem data") << respostaSoap(QStringLiteral("<listaTransferencias/>"))
                                        << Resultado::DataInvalida << true << "A data do servidor não pôde ser lida: ";
}

// Each failure reaches the caller; the date and working year of the last good refresh stay.
void PrincipalHistoricoTest::atualizaFalhas()
{
    QFETCH(QByteArray, resposta);
    QFETCH(Resultado::Falha, falha);
    QFETCH(bool, gridVazio);
    QFETCH(QString, descricao);
    QVERIFY(atualiza(historicoAtual(entrega("01/2025", "1", "P1"))).ok());
    if (!m_servidor->playHostile(QString::fromLatin1(resposta)))
        m_servidor->setAnswer(resposta);
    setSoapTimeoutForTests(1000);
    setSoapDeadlineForTests(2000);

    const Resultado r = m_p->RecebeDadosServer();
    QCOMPARE(r.falha, falha);
    QVERIFY(!r.ok());
    QVERIFY2(r.descricao.startsWith(descricao), qPrintable(r.descricao));
    const auto mostradas = test::takeMessages();
    if (falha == Resultado::RespostaIlegivel) {
        QCOMPARE(mostradas.size(), 1);
        QCOMPARE(mostradas[0].text, indisponivelRefresh);
        QCOMPARE(mostradas[0].title, QStringLiteral("Tervalia - MG"));
    } else {
        QVERIFY(mostradas.isEmpty());
    }
    QCOMPARE(grid()->rowCount(), gridVazio ? 0 : 1);
    QCOMPARE(m_p->DataServidor, momentoServidor);
    QCOMPARE(m_p->anoTrabalho, QStringLiteral("2025/2026"));
    QCOMPARE(m_p->ieSelecionada(), ie);
}

void PrincipalHistoricoTest::atualizaSemInfoDipNaoChamaServidor()
{
    QVERIFY(m_p->historico()->PopulaGridTransmissoes(historicoAtual(entrega("01/2025", "1", "P1"))));
    m_dir->removeFile(QStringLiteral("info.dip"));
    m_servidor->setAnswer(respostaSoap(historicoAtual()));
    const Resultado r = m_p->RecebeDadosServer();
    QCOMPARE(r.falha, Resultado::SemInfoDip);
    QVERIFY(m_servidor->requests().isEmpty());
    QCOMPARE(grid()->rowCount(), 1);
    QVERIFY(m_p->DataServidor.isNull());
}

void PrincipalHistoricoTest::cliqueNasEntregas()
{
    QVERIFY(m_p->historico()->PopulaGridTransmissoes(
        historicoAtual(entrega("01/2025", "1", "P1") + entrega("02/2025", "2", "P2") + entrega("03/2025", "", "P3") +
                       entrega("04/2025", "7", "P4"))));
    auto* labelOK = child<QLabel>(m_p, "labelOK");
    auto* arvore = child<QTreeWidget>(m_p, "tvwPessoa");

    clicaLinha(0);
    QVERIFY(labelOK->isVisible());
    QCOMPARE(labelOK->text(), QStringLiteral("Verificação concluída, sem mensagens."));
    QVERIFY(m_servidor->requests().isEmpty());

    m_servidor->setAnswer(respostaSoap(QStringLiteral("<mensagens><erro PROTOCOLO=\"P2\"><DETALHE>Campo 12 vazio"
                                                      "</DETALHE></erro><aviso><DETALHE>OK</DETALHE></aviso>"
                                                      "</mensagens>"),
                                       QStringLiteral("Transferencia.ver")));
    clicaLinha(1);
    QVERIFY(!labelOK->isVisible());
    QCOMPARE(m_servidor->requests().size(), 1);
    const auto& pedido = m_servidor->requests().first();
    QCOMPARE(pedido.headers.value("soapaction"), QByteArray("Transferencia.ver"));
    QVERIFY(pedido.body.contains("<strNome>P2</strNome><strDiretorioDestino>vbs</strDiretorioDestino>"
                                 "<Chave>AB12CD34</Chave>"));
    QCOMPARE(arvore->topLevelItemCount(), 1);
    QTreeWidgetItem* raiz = arvore->topLevelItem(0);
    QCOMPARE(raiz->text(0), QStringLiteral("mensagens"));
    QCOMPARE(raiz->childCount(), 2);
    QCOMPARE(raiz->child(0)->text(0), QStringLiteral("erro: Campo 12 vazio"));
    QCOMPARE(raiz->child(0)->data(0, Qt::UserRole).toString(), QStringLiteral("P2"));
    QCOMPARE(raiz->child(0)->child(0)->text(0), QStringLiteral("Campo 12 vazio"));
    QCOMPARE(raiz->child(1)->text(0), QStringLiteral("DIPAM : OK"));
    QVERIFY(raiz->isExpanded());
    QVERIFY(arvore->isVisible());
    QVERIFY(child<QLabel>(m_p, "detApuracao")->isVisible());

    // A second load replaces the root.
    clicaLinha(1);
    QCOMPARE(arvore->topLevelItemCount(), 1);

    clicaLinha(3); // a status the program does not act on
    QCOMPARE(m_servidor->requests().size(), 2);
    QVERIFY(test::takeMessages().isEmpty());

    // A delivery whose details hold no message shows neither the label nor the tree.
    m_servidor->setAnswer(respostaSoap(QStringLiteral("<mensagens></mensagens>"), QStringLiteral("Transferencia.ver")));
    clicaLinha(1);
    QVERIFY(!arvore->isVisible());
    QVERIFY(!child<QLabel>(m_p, "detApuracao")->isVisible());

    clicaLinha(2); // empty status
    const auto mostradas = test::takeMessages();
    QCOMPARE(mostradas.size(), 1);
    QCOMPARE(mostradas[0].text, indisponivel);
    QCOMPARE(mostradas[0].title, QStringLiteral("Tervalia - MG"));
}

void PrincipalHistoricoTest::detalhesComFalha_data()
{
    QTest::addColumn<QByteArray>("resposta");
    QTest::addColumn<QString>("mensagem"); // empty: the parser's reason
    QTest::addColumn<QString>("titulo");
    QTest::newRow("nao analisavel") << respostaSoap("<mensagens><erro>", "Transferencia.ver") << ""
                                    << "Tervalia";
    QTest::newRow("entidade externa")
        << respostaSoap("<!DOCTYPE m [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><m><e><DETALHE>&e;</DETALHE></e></m>",
                        "Transferencia.ver")
        << "O documento declara a entidade externa \"e\", que não é lida."
        << "Tervalia";
    QTest::newRow("sem DETALHE") << respostaSoap("<m><erro/></m>", "Transferencia.ver") << indisponivel
                                 << "Tervalia - MG";
    QTest::newRow("pagina de erro") << test::HttpDouble::answer("<html>", "text/html", "404 Nao") << indisponivel
                                    << "Tervalia - MG";
    QTest::newRow("servidor fora do ar") << QByteArray("dead") << indisponivel << "Tervalia - MG";
    QTest::newRow("servidor mudo") << QByteArray("silent") << indisponivel << "Tervalia - MG";
    QTest::newRow("servidor gotejando") << QByteArray("dripping") << indisponivel << "Tervalia - MG";
    QTest::newRow("conexao reiniciada") << QByteArray("reset") << indisponivel << "Tervalia - MG";
    QTest::newRow("resposta nao http") << QByteArray("garbage") << indisponivel << "Tervalia - MG";
}

// A failed details load leaves the tree with what it had.
void PrincipalHistoricoTest::detalhesComFalha()
{
    QFETCH(QByteArray, resposta);
    QFETCH(QString, mensagem);
    QFETCH(QString, titulo);
    QVERIFY(m_p->historico()->CarregaArvoreDetalhes(
        QStringLiteral("<anterior><m><DETALHE>antes</DETALHE></m></anterior>")));
    QVERIFY(m_p->historico()->PopulaGridTransmissoes(historicoAtual(entrega("01/2025", "2", "P1"))));
    if (!m_servidor->playHostile(QString::fromLatin1(resposta)))
        m_servidor->setAnswer(resposta);
    setSoapTimeoutForTests(1000);
    setSoapDeadlineForTests(2000);

    clicaLinha(0);
    const auto mostradas = test::takeMessages();
    QCOMPARE(mostradas.size(), 1);
    if (mensagem.isEmpty())
        QVERIFY(!mostradas[0].text.isEmpty() && !mostradas[0].text.startsWith(QStringLiteral("O Servidor")));
    else
        QCOMPARE(mostradas[0].text, mensagem);
    QCOMPARE(mostradas[0].title, titulo);
    auto* arvore = child<QTreeWidget>(m_p, "tvwPessoa");
    QCOMPARE(arvore->topLevelItemCount(), 1);
    QCOMPARE(arvore->topLevelItem(0)->text(0), QStringLiteral("anterior"));
}

void PrincipalHistoricoTest::protocolo_data()
{
    QTest::addColumn<QString>("referencia"); // "-": no row is current
    QTest::addColumn<QString>("esperado");   // empty: "Selecione uma entrega específica"
    const QString base = QStringLiteral("http://ostare.example/protocoloDown.php?IE=0620000000123&key=AB12CD34&ref=");
    QTest::newRow("brancos em volta e dentro") << " 01 / 2025 " << base + "01/2025";
    QTest::newRow("sem codificacao") << "01/2025&x=ç" << base + "01/2025&x=ç";
    QTest::newRow("sem barra") << "012025"
                               << "";
    QTest::newRow("celula vazia") << ""
                                  << "";
    QTest::newRow("nenhuma linha atual") << "-"
                                         << "";
}

void PrincipalHistoricoTest::protocolo()
{
    QFETCH(QString, referencia);
    QFETCH(QString, esperado);
    QVERIFY(m_p->historico()->PopulaGridTransmissoes(historicoAtual(entrega(referencia.toHtmlEscaped(), "7", "P1"))));
    if (referencia != u'-')
        grid()->setCurrentCell(0, PainelHistorico::ColReferencia);
    auto* botao = child<QPushButton>(m_p, "cmd_Impressao");
    // The port never reaches the receipt's address, and the host is read afresh at each press.
    for (const char* porta : {"8080", "", "1"}) {
        m_dir->writeSettings(QStringLiteral("ostare.example"), QString::fromLatin1(porta));
        QTest::mouseClick(botao, Qt::LeftButton);
        if (esperado.isEmpty()) {
            QVERIFY(Browser::takeOpened().isEmpty());
            const auto mostradas = test::takeMessages();
            QCOMPARE(mostradas.size(), 1);
            QCOMPARE(mostradas[0].text, QStringLiteral("Selecione uma entrega específica"));
            QCOMPARE(mostradas[0].title, QStringLiteral("Tervalia - MG"));
            QCOMPARE(mostradas[0].icon, QMessageBox::Information);
        } else {
            QCOMPARE(Browser::takeOpened(), QStringList{esperado});
        }
    }
}

void PrincipalHistoricoTest::protocoloSeguro_data()
{
    QTest::addColumn<QString>("protocolo"); // the value of protocolo= in dipam.ini
    QTest::addColumn<QString>("esquema");   // empty: the setting is refused
    QTest::newRow("ausente") << ""
                             << "http";
    QTest::newRow("http") << "http"
                          << "http";
    QTest::newRow("https") << "HTTPS"
                           << "https";
    QTest::newRow("desconhecido") << "htps"
                                  << "";
}

// The receipt follows protocolo; a misspelled one opens nothing, and the details box, which shows a
// fixed text for other failures, tells the cause.
void PrincipalHistoricoTest::protocoloSeguro()
{
    QFETCH(QString, protocolo);
    QFETCH(QString, esquema);
    QVERIFY(m_p->historico()->PopulaGridTransmissoes(historicoAtual(entrega("01/2025", "2", "P1"))));
    m_dir->writeSettings(QStringLiteral("ostare.example"), m_servidor->port(),
                         {QStringLiteral("protocolo=") + protocolo});
    grid()->setCurrentCell(0, PainelHistorico::ColReferencia);
    QTest::mouseClick(child<QPushButton>(m_p, "cmd_Impressao"), Qt::LeftButton);
    if (!esquema.isEmpty()) {
        QCOMPARE(Browser::takeOpened(),
                 QStringList{esquema + QStringLiteral("://ostare.example/protocoloDown.php?IE=0620000000123&key="
                                                      "AB12CD34&ref=01/2025")});
        return;
    }
    const QString causa = QStringLiteral("O protocolo \"htps\" da seção [servidor] de dipam.ini (protocolo=) não é "
                                         "conhecido; use http ou https.");
    QVERIFY(Browser::takeOpened().isEmpty());
    auto mostradas = test::takeMessages();
    QCOMPARE(mostradas.size(), 1);
    QCOMPARE(mostradas[0].text, causa);
    QCOMPARE(mostradas[0].icon, QMessageBox::Critical);

    clicaLinha(0);
    mostradas = test::takeMessages();
    QCOMPARE(mostradas.size(), 1);
    QCOMPARE(mostradas[0].text,
             indisponivel + QStringLiteral("\r\n\r\n") + causa + QStringLiteral(" Nada foi enviado."));
    QVERIFY(m_servidor->requests().isEmpty());
}

void PrincipalHistoricoTest::openBrowser_data()
{
    QTest::addColumn<QString>("endereco");
    QTest::addColumn<QString>("aberto");
    QTest::newRow("sem esquema") << "ostare.example/p?a=1"
                                 << "http://ostare.example/p?a=1";
    QTest::newRow("maiusculas") << "HTTP://ostare.example/"
                                << "HTTP://ostare.example/";
    QTest::newRow("https") << "https://ostare.example/"
                           << "https://ostare.example/";
    QTest::newRow("vazio") << ""
                           << "http://";
}

void PrincipalHistoricoTest::openBrowser()
{
    QFETCH(QString, endereco);
    QFETCH(QString, aberto);
    QVERIFY(PainelHistorico::OpenBrowser(endereco));
    QCOMPARE(Browser::takeOpened(), QStringList{aberto});
}

QTEST_MAIN(PrincipalHistoricoTest)
#include "PrincipalHistoricoTest.moc"
