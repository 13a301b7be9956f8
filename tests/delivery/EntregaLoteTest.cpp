// One VAF.GDB delivered for many companies, through the real windows against the real stand-in
// server: the file's companies sorted out against the register, one upload per company with its key
// and documents, a dropped connection retried alone, the deliveries kept and the histories refreshed.
#include "app/Principal.h"
#include "app/SituacaoEntregas.h"
#include "delivery/EscolhaArquivo.h"
#include "delivery/frmEntregaLote.h"
#include "platform/CertStore.h"
#include "platform/EscolhaCertificado.h"
#include "platform/FileDialog.h"
#include "platform/Pausa.h"
#include "server/Store.h"
#include "storage/Cadastro.h"
#include "storage/Entregas.h"
#include "support/GuiTest.h"
#include "support/StandInServer.h"
#include "support/TestCertificates.h"
#include "support/TestProgramDir.h"
#include "VafTestData.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace tervalia;
using test::child;
using test::TestCertificates;

namespace {
const QString semente = QStringLiteral(TERVALIA_SOURCE_DIR "/tools/server/demo-seed.json");
const QString contador = QStringLiteral("123.456.789-09");

struct Cadastrada
{
    const char* ie;
    const char* razao;
    const char* chave;
    const char* gias; // ticked at first: the documents of 2025 and 2026, in the VAF window's order
};
// Five companies with documents of the working year, one whose documents are all older, one absent
// from the file, and a Simples Nacional company the delivery never lists.
const Cadastrada cadastradas[] = {
    {"7001234500028", "Mercearia Boa Vista Ltda", "K7M2Q9TX", "400,401"},
    {"7019876540034", "Serralheria Ostarense S.A.", "P4W8N3HC", "502"},
    {"7031234560063", "Padaria Pão de Minas Ltda", "B7T4M1QA", "701"},
    {"7041234560055", "Farmácia Ostarense Ltda", "F3R8D2WK", "711"},
    {"7051234560047", "Oficina Mecânica Central Ltda", "M6C1X9PE", "721,722"},
    {"0621234560099", "Açougue São João", "A1B2C3D4", ""},
    {"7071234560020", "Laticínios Serra Azul Ltda", "L9S3A7ZU", nullptr},
};

QStringList textos(const QList<MessageBox::Shown>& shown)
{
    QStringList t;
    for (const auto& s : shown)
        t << s.text;
    return t;
}

// The documents ticked under each company of the list, by IE.
QMap<QString, QString> marcados(const QTreeWidget* arvore, QStringList* ordem)
{
    QMap<QString, QString> gias;
    for (int i = 0; i < arvore->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* topo = arvore->topLevelItem(i);
        QStringList numeros;
        for (int d = 0; d < topo->childCount(); ++d) {
            if (topo->child(d)->checkState(0) == Qt::Checked && topo->child(d)->flags() & Qt::ItemIsUserCheckable)
                numeros << topo->child(d)->text(0);
        }
        const QString ie = topo->text(0).left(13);
        gias.insert(ie, numeros.join(u','));
        if (!numeros.isEmpty())
            *ordem << ie;
    }
    return gias;
}

QString respostaNoResumo(const QTableWidget* resumo, const QString& ie)
{
    for (int l = 0; l < resumo->rowCount(); ++l) {
        if (resumo->item(l, 0)->text() == ie)
            return resumo->item(l, 3)->text();
    }
    return {};
}
// With TERVALIA_CAPTURAS naming a folder, the window is saved there as a picture (to look at it).
void captura(QWidget* janela, const QString& nome)
{
    const QString pasta = qEnvironmentVariable("TERVALIA_CAPTURAS");
    if (!pasta.isEmpty())
        janela->grab().save(QDir(pasta).filePath(nome + QStringLiteral(".png")));
}
} // namespace

class EntregaLoteTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void entregaParaVariasEmpresas_data();
    void entregaParaVariasEmpresas();

private:
    std::unique_ptr<TestCertificates> m_certs;
    QTemporaryDir m_home;
    QTemporaryDir m_usuario;
    QString m_certificadoContador;
    QByteArray m_homeSalvo;
};

void EntregaLoteTest::initTestCase()
{
    m_homeSalvo = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(m_home.path()));
    certstore::setP11KitProxyPathForTests({});
    m_certs = std::make_unique<TestCertificates>();
    for (const QString& titular : m_certs->installStore(m_home.path(), TestCertificates::standardSet())) {
        if (titular.endsWith(TestCertificates::accountantCpf))
            m_certificadoContador = titular;
    }
    QCOMPARE(test::geraVafGdb(QDir(m_usuario.path()).filePath(QStringLiteral("VAF.GDB")), {QStringLiteral("--lote")}),
             QString());
    setPausaParaTestes([](int) {});
}

void EntregaLoteTest::cleanupTestCase()
{
    setPausaParaTestes({});
    qputenv("HOME", m_homeSalvo);
}

void EntregaLoteTest::entregaParaVariasEmpresas_data()
{
    QTest::addColumn<int>("derrubada"); // the upload whose connection the server drops, 0 for none
    QTest::newRow("every company answered") << 0;
    QTest::newRow("the third connection dropped") << 3;
}

void EntregaLoteTest::entregaParaVariasEmpresas()
{
    QFETCH(int, derrubada);
    QStringList argumentos{QStringLiteral("--seed"), semente};
    if (derrubada)
        argumentos << QStringLiteral("--drop-upload") << QString::number(derrubada);
    test::StandInServer servidor(argumentos);
    test::TestProgramDir dir;
    dir.installFromDist(QStringLiteral("vaf_limpo.db"));
    dir.installFromDist(QStringLiteral("vaf_limpo.mdb"));
    dir.installFromDist(QStringLiteral("fbexport"));
    dir.writeSettings(QStringLiteral("127.0.0.1"), QString::number(servidor.port()));
    cadastro::replaceContador({contador, {}, QStringLiteral("José"), {}, {}, {}, {}, {}, {}, {}, {}, {}});
    for (const Cadastrada& c : cadastradas)
        cadastro::insertContribuinte({c.ie, QString::fromUtf8(c.razao), {}, {}, c.chave, {}, false});
    cadastro::insertContribuinte({"7025551230008", "Restaurante Sabor de Minas ME", {}, {}, "R2D5L6YB", {}, true});
    test::startGuiTest();
    EscolhaArquivo::esqueceUltimaPasta();
    Principal* p = Principal::instance();
    p->show();
    p->selecionaContribuinte(cadastradas[0].ie, QString::fromUtf8(cadastradas[0].razao), cadastradas[0].chave);
    QVERIFY(p->RecebeDadosServer().ok());
    auto* gradeHistorico = child<QTableWidget>(p, "GridTransmissoes");
    QCOMPARE(gradeHistorico->rowCount(), 2);

    // The file, converted once; the main window stays usable.
    child<QAction>(p, "mnEntregaLote")->trigger();
    frmEntregaLote* janela = frmEntregaLote::existing();
    QVERIFY(janela);
    QVERIFY(p->isEnabled());
    FileDialog::queueAnswer(QDir(m_usuario.path()).filePath(QStringLiteral("VAF.GDB")));
    QTest::mouseClick(child<QPushButton>(janela, "cmdEscolher"), Qt::LeftButton);
    QCOMPARE(
        textos(test::takeMessages()),
        QStringList{QStringLiteral("Por favor, se o programa VAF-MG estiver aberto queira por gentileza fechá-lo.")});

    // The registered companies of the file with their documents, the others apart.
    auto* arvore = child<QTreeWidget>(janela, "GridEmpresas");
    QStringList ordem;
    const QMap<QString, QString> gias = marcados(arvore, &ordem);
    QCOMPARE(gias.size(), 6);
    for (const Cadastrada& c : cadastradas) {
        if (c.gias)
            QCOMPARE(gias.value(c.ie), QString::fromLatin1(c.gias));
    }
    const QTreeWidgetItem* acougue = arvore->findItems(QStringLiteral("0621234560099"), Qt::MatchStartsWith)[0];
    QCOMPARE(acougue->child(0)->text(3), QStringLiteral("Somente serão aceitas GIAS de 2025/2026"));
    QVERIFY(!(acougue->child(0)->flags() & Qt::ItemIsUserCheckable));
    auto* fora = child<QTableWidget>(janela, "GridForaDoLote");
    QCOMPARE(fora->rowCount(), 2);
    QCOMPARE(fora->item(0, 0)->text() + u' ' + fora->item(0, 2)->text(),
             QStringLiteral("7061234560039 Não cadastrada"));
    QCOMPARE(fora->item(1, 0)->text() + u' ' + fora->item(1, 2)->text(),
             QStringLiteral("7071234560020 Cadastrada, ausente do arquivo"));

    // One certificate, then one upload per company, in the list's order.
    EscolhaCertificado::queueEscolha(m_certificadoContador);
    QTest::mouseClick(child<QPushButton>(janela, "cmdEnviar"), Qt::LeftButton);
    auto* rotulo = child<QLabel>(janela, "lblEnvio");
    QTRY_VERIFY_WITH_TIMEOUT(rotulo->text().startsWith(QStringLiteral("Envio concluído")), 60000);
    auto* resumo = child<QTableWidget>(janela, "GridResumo");
    QCOMPARE(resumo->rowCount(), 5);
    auto* reenviar = child<QPushButton>(janela, "cmdReenviar");
    QCOMPARE(reenviar->isEnabled(), derrubada != 0);
    if (derrubada) {
        const QString terceira = ordem[derrubada - 1];
        QCOMPARE(respostaNoResumo(resumo, terceira),
                 QStringLiteral("Falha de comunicação: O servidor encerrou a conexão antes de responder; a entrega "
                                "não foi confirmada."));
        EscolhaCertificado::queueEscolha(m_certificadoContador);
        QTest::mouseClick(reenviar, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(rotulo->text().startsWith(QStringLiteral("Envio concluído: 1 ")), 60000);
        QVERIFY(!reenviar->isEnabled());
        ordem.move(derrubada - 1, ordem.size() - 1); // it went last
    }
    captura(janela, QStringLiteral("frmEntregaLote-%1").arg(derrubada));
    const QList<standin::Envio> envios = standin::Store(servidor.statePath()).envios();
    QCOMPARE(envios.size(), 5);
    const QByteArray arquivo = test::fileContent(dir.file(QStringLiteral("vaf.mdb")));
    for (int i = 0; i < envios.size(); ++i) {
        const Cadastrada* c = std::find_if(std::begin(cadastradas), std::end(cadastradas),
                                           [&](const Cadastrada& x) { return ordem[i] == x.ie; });
        QCOMPARE(envios[i].chave, QString::fromLatin1(c->chave));
        QCOMPARE(envios[i].gias, QString::fromLatin1(c->gias));
        QCOMPARE(envios[i].contador, contador);
        QCOMPARE(envios[i].nomeArquivo, QStringLiteral("VAF.GDB"));
        QVERIFY(envios[i].conteudo == arquivo);
        QVERIFY(respostaNoResumo(resumo, ordem[i]).startsWith(QStringLiteral("ENTREGA RECEBIDA - PROTOCOLO ")));
    }
    // Every delivery kept like any other, the main window's company refreshed, the others' status too.
    QCOMPARE(listaEntregas().size(), 5);
    QCOMPARE(gradeHistorico->rowCount(), 3);
    QTRY_COMPARE(situacao::carregaRegistro().empresas.size(), 5);
    for (const situacao::Consulta& c : situacao::carregaRegistro().empresas)
        QCOMPARE(c.ultima.value_or(historico::Linha{})[0], QStringLiteral("2025/2026"));
    QCOMPARE(textos(test::takeMessages()), QStringList());
    test::finishGuiTest();
    EscolhaCertificado::reset();
}

QTEST_MAIN(EntregaLoteTest)
#include "EntregaLoteTest.moc"
