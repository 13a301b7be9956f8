// "Situação das entregas": the reading of one history answer, the file of the last state, and the
// window against the real stand-in server with thirty companies.
#include "app/SituacaoEntregas.h"
#include "app/frmSituacaoEntregas.h"
#include "app/ModeloSituacao.h"
#include "app/Principal.h"
#include "platform/FileDialog.h"
#include "support/GuiTest.h"
#include "support/StandInServer.h"
#include "support/TestProgramDir.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace tervalia;
using test::child;
using Col = ModeloSituacao::Coluna;

namespace {
const QString anoTrabalho = QStringLiteral("2025/2026");

QString transferencia(const QString& referencia, const QString& data, const QString& protocolo, int status)
{
    return QStringLiteral("<transferencia><referencia>%1</referencia><data>%2</data><protocolo>%3</protocolo>"
                          "<status>%4</status><adicionado>1,00</adicionado></transferencia>")
        .arg(referencia, data, protocolo)
        .arg(status);
}

// A ver2 answer as the server writes it: the working year at position 59 of "return".
QString resposta(const QString& entregas)
{
    const QString retorno = QStringLiteral("<listaTransferencias dataHora=\"05/03/2026 14:30:00\" anos=\"%1\" "
                                           "versao=\"1.15.01             \">%2</listaTransferencias>")
                                .arg(anoTrabalho, entregas);
    return QStringLiteral("<?xml version=\"1.0\"?><env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\">"
                          "<env:Body><r><return>%1</return></r></env:Body></env:Envelope>")
        .arg(retorno.toHtmlEscaped());
}

// The thirty companies of the window test. Every third has no delivery, every other third one of
// the working year, the rest two of it (the later first) and an older one; a few are Simples.
struct Empresa
{
    QString ie, chave, razao;
    bool simples;
    QJsonArray entregas;
    QString referencia, data; // the latest delivery of the working year, if any
    int status = 0;
};

QList<Empresa> empresas()
{
    QList<Empresa> lista;
    for (int i = 0; i < 30; ++i) {
        Empresa e{QStringLiteral("70%1").arg(i, 11, 10, QLatin1Char('0')),
                  QStringLiteral("K%1").arg(i, 7, 10, QLatin1Char('0')),
                  QStringLiteral("EMPRESA %1 LTDA").arg(i, 2, 10, QLatin1Char('0')),
                  i % 10 == 9,
                  {},
                  {},
                  {}};
        const auto entrega = [&](const QString& ref, const QString& data, int n, int status) {
            e.entregas.append(
                QJsonObject{{"protocolo", QStringLiteral("20%1%2").arg(i, 6, 10, QLatin1Char('0')).arg(n)},
                            {"referencia", ref},
                            {"data", data},
                            {"status", status},
                            {"adicionado", "1,00"}});
        };
        if (i % 3 > 0) {
            entrega(QStringLiteral("2024/2025"), QStringLiteral("01/03/2025 09:00:00"), 1, 1);
            e.referencia = anoTrabalho;
            e.data = QStringLiteral("%1/03/2026 10:00:00").arg(10 + i % 10);
            e.status = 1 + i % 2;
            if (i % 3 == 2)
                entrega(anoTrabalho, e.data, 2, e.status);
            entrega(anoTrabalho, QStringLiteral("02/01/2026 08:00:00"), 3, 2 - i % 2);
            if (i % 3 == 1) { // then the one above is the only one
                e.data = QStringLiteral("02/01/2026 08:00:00");
                e.status = 2 - i % 2;
            }
        }
        lista.append(e);
    }
    return lista;
}

QByteArray semente(const QList<Empresa>& lista)
{
    QJsonArray json;
    for (const Empresa& e : lista)
        json.append(QJsonObject{{"ie", e.ie},
                                {"cnpj", QStringLiteral("%1").arg(e.ie.toLongLong(), 14, 10, QLatin1Char('0'))},
                                {"cnae", "4711-3/02"},
                                {"simples", e.simples},
                                {"chave", e.chave},
                                {"razaoSocial", e.razao},
                                {"entregas", e.entregas}});
    return QJsonDocument(QJsonObject{{"anoTrabalho", anoTrabalho}, {"versao", "1.15.01"}, {"empresas", json}}).toJson();
}

QString portaMorta()
{
    QTcpServer livre;
    livre.listen(QHostAddress::LocalHost, 0);
    return QString::number(livre.serverPort());
}

// The row of that IE as the view shows it, or -1.
int linhaDe(const ModeloSituacao* m, const QString& ie)
{
    for (int l = 0; l < m->visao()->rowCount(); ++l) {
        if (m->textoVisto(l, Col::ColIE) == ie)
            return l;
    }
    return -1;
}
// With TERVALIA_CAPTURAS naming a folder, the window is saved there as a picture (to look at it).
void captura(QWidget* janela, const QString& nome)
{
    const QString pasta = qEnvironmentVariable("TERVALIA_CAPTURAS");
    if (!pasta.isEmpty())
        janela->grab().save(QDir(pasta).filePath(nome + QStringLiteral(".png")));
}
} // namespace

class SituacaoEntregasTest : public QObject
{
    Q_OBJECT

private slots:
    void leResposta_data();
    void leResposta();
    void registroNoArquivo();
    void situacaoPelaJanela();
};

void SituacaoEntregasTest::leResposta_data()
{
    QTest::addColumn<QString>("texto");
    QTest::addColumn<QString>("protocolo"); // of the latest delivery of the year; "-" for none
    QTest::addColumn<bool>("chaveRecusada");
    QTest::addColumn<bool>("falhou");

    const QString antiga = transferencia(QStringLiteral("2024/2025"), QStringLiteral("01/12/2026 10:00:00"), "1", 1);
    QTest::newRow("the later date, not the later row")
        << resposta(transferencia(anoTrabalho, QStringLiteral("05/02/2026 10:00:00"), "2", 1) +
                    transferencia(anoTrabalho, QStringLiteral("20/01/2026 23:59:59"), "3", 2) + antiga)
        << "2" << false << false;
    QTest::newRow("the later row on the same date")
        << resposta(transferencia(QStringLiteral("PGDAS 2025/2026"), QStringLiteral("05/02/2026 10:00:00"), "4", 1) +
                    transferencia(anoTrabalho, QStringLiteral("05/02/2026 10:00:00"), "5", 1))
        << "5" << false << false;
    QTest::newRow("an unreadable date loses")
        << resposta(transferencia(anoTrabalho, QStringLiteral("?"), "6", 1) +
                    transferencia(anoTrabalho, QStringLiteral("1/1/2026 0:0:0"), "7", 1))
        << "7" << false << false;
    QTest::newRow("only older years") << resposta(antiga) << "-" << false << false;
    QTest::newRow("refused key") << resposta(QStringLiteral("CHAVE_INVALIDA")) << "-" << true << false;
    QTest::newRow("an HTML page") << QStringLiteral("<html><body>erro</body></html>") << "-" << false << true;
    QTest::newRow("a broken history") << resposta(QStringLiteral("<transferencia>")) << "-" << false << true;
}

void SituacaoEntregasTest::leResposta()
{
    QFETCH(QString, texto);
    QFETCH(QString, protocolo);
    QFETCH(bool, chaveRecusada);
    QFETCH(bool, falhou);
    situacao::Consulta anterior;
    anterior.em = QDateTime(QDate(2026, 1, 1), QTime(8, 0));
    anterior.anoTrabalho = anoTrabalho;
    anterior.ultima = historico::Linha{anoTrabalho, "01/01/2026 07:00:00", "antiga", "1", ""};
    const QDateTime agora = QDateTime::currentDateTime();
    const situacao::Consulta c = situacao::leResposta(texto, agora, anterior);
    QCOMPARE(!c.falha.isEmpty(), falhou);
    // A failure keeps what was known; an answer replaces it.
    QCOMPARE(c.em, falhou ? anterior.em : agora);
    QCOMPARE(c.chaveRecusada, chaveRecusada);
    const QString esperado = falhou ? QStringLiteral("antiga") : protocolo;
    QCOMPARE(c.ultima ? (*c.ultima)[2] : QStringLiteral("-"), esperado);
}

void SituacaoEntregasTest::registroNoArquivo()
{
    test::TestProgramDir dir;
    situacao::Consulta a;
    a.em = QDateTime(QDate(2026, 3, 5), QTime(14, 30));
    a.anoTrabalho = anoTrabalho;
    a.ultima = historico::Linha{anoTrabalho, "05/03/2026 14:00:00", "2026000001", "2", "10,00"};
    situacao::Consulta b = situacao::comFalha(QStringLiteral("O servidor recusou a conexão."), a);
    const QDateTime quando(QDate(2026, 3, 5), QTime(15, 0));
    QCOMPARE(situacao::gravaConsultas({{"1", a}, {"2", a}}, quando), QString());
    // A second writer replaces only its own companies and keeps the date.
    QCOMPARE(situacao::gravaConsultas({{"2", b}}), QString());
    QFile arquivo(situacao::arquivoRegistro());
    QCOMPARE(arquivo.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
             QFile::Permissions());
    QString erro;
    situacao::Registro r = situacao::carregaRegistro(&erro);
    QCOMPARE(erro, QString());
    QCOMPARE(r.atualizadoEm, quando);
    QCOMPARE(r.empresas.value("1"), a);
    QCOMPARE(r.empresas.value("2"), b);

    // A damaged file is reported, kept aside, and the next write starts afresh.
    dir.writeFile(QStringLiteral("situacao-entregas.json"), "{\"empresas\": [");
    r = situacao::carregaRegistro(&erro);
    QVERIFY(erro.contains(QStringLiteral("situacao-entregas.json")));
    QVERIFY(r.empresas.isEmpty());
    QCOMPARE(situacao::gravaConsultas({{"3", a}}), QString());
    QCOMPARE(situacao::carregaRegistro().empresas.keys(), QStringList{"3"});
    QVERIFY(QFile::exists(dir.file(QStringLiteral("situacao-entregas-danificado.json"))));
}

void SituacaoEntregasTest::situacaoPelaJanela()
{
    const QList<Empresa> lista = empresas();
    QTemporaryDir temp;
    const QString arquivoSemente = temp.filePath(QStringLiteral("semente.json"));
    {
        QFile f(arquivoSemente);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(semente(lista));
    }
    // Each history answer waits, so that a run can be cancelled halfway.
    test::StandInServer servidor(
        {QStringLiteral("--seed"), arquivoSemente, QStringLiteral("--history-delay"), QStringLiteral("150")});
    test::TestProgramDir dir;
    dir.writeSettings(QStringLiteral("127.0.0.1"), QString::number(servidor.port()));
    const QString semChave = lista[4].ie, recusada = lista[7].ie;
    for (const Empresa& e : lista)
        cadastro::insertContribuinte({e.ie, e.razao, "", "",
                                      e.ie == semChave   ? QString()
                                      : e.ie == recusada ? QStringLiteral("ZZZZZZZZ")
                                                         : e.chave,
                                      "", e.simples});
    test::startGuiTest();
    Principal* p = Principal::instance();
    p->show();
    child<QAction>(p, "mnSituacao")->trigger();
    frmSituacaoEntregas* janela = frmSituacaoEntregas::existing();
    QVERIFY(janela);
    QVERIFY(p->isEnabled());
    const ModeloSituacao* m = janela->modelo();
    auto* atualizar = child<QPushButton>(janela, "cmdAtualizar");
    auto* cancelar = child<QPushButton>(janela, "cmdCancelar");
    auto* rotulo = child<QLabel>(janela, "lblConsultando");
    QCOMPARE(m->visao()->rowCount(), 30);
    QCOMPARE(m->textoVisto(linhaDe(m, semChave), Col::ColSituacao), QStringLiteral("Sem chave"));
    QCOMPARE(m->textoVisto(linhaDe(m, lista[0].ie), Col::ColSituacao), QStringLiteral("Não consultada"));

    // 1. A run cancelled after its first answers: what was answered is kept, the rest untouched.
    QTest::mouseClick(atualizar, Qt::LeftButton);
    QVERIFY(rotulo->text().startsWith(QStringLiteral("Consultando 4 de 29: ")));
    QTRY_VERIFY(janela->modelo()->consulta(lista[0].ie).consultada() ||
                janela->modelo()->consulta(lista[1].ie).consultada());
    QTest::mouseClick(cancelar, Qt::LeftButton);
    QTRY_VERIFY(atualizar->isEnabled());
    int consultadas = 0;
    for (const Empresa& e : lista)
        consultadas += m->consulta(e.ie).consultada() ? 1 : 0;
    QVERIFY2(consultadas >= 4 && consultadas < 29, qPrintable(QString::number(consultadas)));
    QCOMPARE(rotulo->text(), QStringLiteral("Atualização cancelada: %1 de 29 empresas consultadas.").arg(consultadas));
    QCOMPARE(situacao::carregaRegistro().empresas.size(), consultadas);
    QVERIFY(!situacao::carregaRegistro().atualizadoEm.isValid());

    // 2. A whole run: each row says what the company's history says.
    QTest::mouseClick(atualizar, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(atualizar->isEnabled(), 30000);
    QCOMPARE(rotulo->text(), QStringLiteral("Atualização concluída: 29 empresas consultadas."));
    for (const Empresa& e : lista) {
        const int l = linhaDe(m, e.ie);
        const QString situacao = e.ie == semChave   ? QStringLiteral("Sem chave")
                                 : e.ie == recusada ? QStringLiteral("Chave recusada")
                                 : e.status == 0    ? QStringLiteral("Sem entrega")
                                 : e.status == 1    ? QStringLiteral("Verificação concluída, sem mensagens.")
                                                    : QStringLiteral("Com detalhes da apuração");
        QCOMPARE(m->textoVisto(l, Col::ColSituacao), situacao);
        const bool comEntrega = e.ie != semChave && e.ie != recusada;
        QCOMPARE(m->textoVisto(l, Col::ColReferencia), comEntrega ? e.referencia : QString());
        QCOMPARE(m->textoVisto(l, Col::ColData), comEntrega ? e.data : QString());
        QCOMPARE(m->textoVisto(l, Col::ColRegime),
                 e.simples ? QStringLiteral("Simples Nacional") : QStringLiteral("Débito e Crédito"));
        QCOMPARE(m->textoVisto(l, Col::ColConsultadoEm).isEmpty(), e.ie == semChave);
    }
    auto* ultima = child<QLabel>(janela, "lblUltimaAtualizacao");
    QVERIFY(ultima->text().startsWith(QStringLiteral("Última atualização: ")));
    QVERIFY(ultima->text().endsWith(QStringLiteral("Ano de trabalho: 2025/2026.")));

    captura(janela, QStringLiteral("frmSituacaoEntregas"));
    // 3. The filter, and the sorting by date (the latest first).
    child<QCheckBox>(janela, "chkSemEntrega")->setChecked(true);
    QCOMPARE(m->visao()->rowCount(), 12); // ten without deliveries, the one without key, the refused one
    child<QCheckBox>(janela, "chkSemEntrega")->setChecked(false);
    auto* grade = child<QTableView>(janela, "GridSituacao");
    const QHeaderView* cabecalho = grade->horizontalHeader();
    grade->sortByColumn(Col::ColData, Qt::DescendingOrder);
    QCOMPARE(m->textoVisto(0, Col::ColData), QStringLiteral("19/03/2026 10:00:00"));
    QCOMPARE(cabecalho->sortIndicatorSection(), int(Col::ColData));

    // 4. The spreadsheet.
    const QString planilha = temp.filePath(QStringLiteral("situacao.csv"));
    FileDialog::queueAnswer(planilha);
    QTest::mouseClick(child<QPushButton>(janela, "cmdExportar"), Qt::LeftButton);
    QFile csv(planilha);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> linhas = csv.readAll().split('\n');
    QCOMPARE(linhas.size(), 32); // header, thirty rows, nothing after the last line break
    QCOMPARE(linhas[0], QByteArray("\xEF\xBB\xBFIE;Razão Social;Regime;Referência;Data de Processamento;Situação;"
                                   "Consultado em\r"));
    QVERIFY(linhas[1].startsWith(QStringLiteral("=\"7000000000029\";EMPRESA 29 LTDA;Simples Nacional;2025/2026;"
                                                "19/03/2026 10:00:00;Com detalhes da apuração;")
                                     .toUtf8()));

    // 5. A double click selects the company in the main window, as "Selecionar" does.
    const int l = linhaDe(m, lista[2].ie);
    grade->scrollTo(grade->model()->index(l, 0));
    const QRect celula = grade->visualRect(grade->model()->index(l, Col::ColRazaoSocial));
    QTest::mouseClick(grade->viewport(), Qt::LeftButton, {}, celula.center());
    QTest::mouseDClick(grade->viewport(), Qt::LeftButton, {}, celula.center());
    QTRY_COMPARE(p->ieSelecionada(), lista[2].ie);
    QCOMPARE(p->chaveSelecionada(), lista[2].chave);
    QCOMPARE(child<QTableWidget>(p, "GridTransmissoes")->rowCount(), 3);

    // 6. Opened again: the last state at once, without asking the server.
    const int pedidos = consultadas + 29 + 1;
    QTRY_COMPARE(servidor.log().size(), pedidos);
    janela->close();
    QTRY_VERIFY(!frmSituacaoEntregas::existing());
    janela = frmSituacaoEntregas::abrir();
    QCOMPARE(janela->modelo()->textoVisto(linhaDe(janela->modelo(), recusada), Col::ColSituacao),
             QStringLiteral("Chave recusada"));
    QCOMPARE(servidor.log().size(), pedidos);

    // 7. A dead server: every company says why, and what was known stays.
    dir.writeSettings(QStringLiteral("127.0.0.1"), portaMorta());
    atualizar = child<QPushButton>(janela, "cmdAtualizar");
    QTest::mouseClick(atualizar, Qt::LeftButton);
    QTRY_VERIFY(atualizar->isEnabled());
    m = janela->modelo();
    const int l2 = linhaDe(m, lista[2].ie);
    QCOMPARE(m->textoVisto(l2, Col::ColSituacao),
             QStringLiteral("Falha de comunicação: O servidor recusou a conexão."));
    QCOMPARE(m->textoVisto(l2, Col::ColData), lista[2].data);
    QCOMPARE(child<QLabel>(janela, "lblConsultando")->text(),
             QStringLiteral("Atualização concluída: 29 empresas consultadas, 29 com falha de comunicação."));
    test::finishGuiTest();
}

QTEST_MAIN(SituacaoEntregasTest)
#include "SituacaoEntregasTest.moc"
