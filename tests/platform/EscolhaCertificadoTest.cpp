#include "platform/EscolhaCertificado.h"
#include "platform/FileDialog.h"
#include "platform/PasswordPrompt.h"
#include "support/GuiTest.h"
#include "support/TestCertificates.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tervalia;
using certstore::Certificate;
using test::child;

Q_DECLARE_METATYPE(certstore::PinRequest)

namespace {
Certificate certificado(const QString& titular, const QString& documento, int diasRestantes)
{
    Certificate c;
    c.der = titular.toUtf8();
    c.holder = titular;
    c.document = documento;
    c.issuerName = QStringLiteral("AC TESTE TERVALIA");
    c.validFrom = QDateTime::currentDateTimeUtc().addYears(-1);
    c.validUntil = QDateTime::currentDateTimeUtc().addDays(diasRestantes).addSecs(60);
    return c;
}

certstore::Listing lista()
{
    return {{certificado(QStringLiteral("JOSÉ DA CONCEIÇÃO:12345678909"), QStringLiteral("12345678909"), 400),
             certificado(QStringLiteral("EMPRESA A VENCER LTDA:60470198000107"), QStringLiteral("60470198000107"), 10),
             certificado(QStringLiteral("EMPRESA VENCIDA LTDA:11444777000161"), QStringLiteral("11444777000161"), -5)},
            {QStringLiteral("O dispositivo “T” está bloqueado.")}};
}

const EscolhaCertificado::Textos textos{QStringLiteral("Selecione o Certificado Digital (e-CNPJ)"),
                                        QStringLiteral("Escolha o certificado")};

int visiveis(QTableWidget* grid)
{
    int n = 0;
    for (int r = 0; r < grid->rowCount(); ++r)
        n += grid->isRowHidden(r) ? 0 : 1;
    return n;
}
} // namespace

class EscolhaCertificadoTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void rowsShowValidity();
    void filter_data();
    void filter();
    void enterOnExpired();
    void importButton();
    void importRefused();
    void importCancelled();
    void testModeImportsAndChooses();
    void refreshReadsTheStoreAgain();
    void pinText_data();
    void pinText();

private:
    std::unique_ptr<test::TestCertificates> m_certs;
    std::unique_ptr<QTemporaryDir> m_home;
    QByteArray m_savedHome;
};

void EscolhaCertificadoTest::initTestCase()
{
    m_savedHome = qgetenv("HOME");
    certstore::setP11KitProxyPathForTests({});
    m_certs = std::make_unique<test::TestCertificates>();
}

void EscolhaCertificadoTest::init()
{
    test::startGuiTest();
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("HOME", QFile::encodeName(m_home->path()));
}

void EscolhaCertificadoTest::cleanup()
{
    test::finishGuiTest();
    qputenv("HOME", m_savedHome);
    m_home.reset();
}

void EscolhaCertificadoTest::rowsShowValidity()
{
    EscolhaCertificado dialogo(nullptr, textos, lista());
    QCOMPARE(dialogo.windowTitle(), textos.titulo);
    QCOMPARE(child<QLabel>(&dialogo, "lblTexto")->text(), textos.texto);
    auto* grid = child<QTableWidget>(&dialogo, "GridCertificados");
    QCOMPARE(grid->rowCount(), 3);
    // Sorted by holder: the one expiring soon, the expired one, the valid one.
    QCOMPARE(grid->item(0, 0)->text(), QStringLiteral("EMPRESA A VENCER LTDA:60470198000107"));
    QCOMPARE(grid->item(0, 5)->text(), QStringLiteral("10"));
    QCOMPARE(grid->item(1, 5)->text(), QStringLiteral("Expirado"));
    QCOMPARE(grid->item(2, 5)->text(), QStringLiteral("400"));
    QCOMPARE(grid->item(0, 3)->background().color(), QColor(0xFF, 0xE8, 0xA1));
    QCOMPARE(grid->item(1, 4)->background().color(), QColor(0xF8, 0xD7, 0xDA));
    QCOMPARE(grid->item(2, 0)->background().style(), Qt::NoBrush);
    QCOMPARE(grid->item(1, 0)->data(Qt::AccessibleTextRole).toString(),
             QStringLiteral("EMPRESA VENCIDA LTDA:11444777000161, CNPJ/CPF 11.444.777/0001-61, emitido por AC TESTE "
                            "TERVALIA, válido de %1 até %2, expirado")
                 .arg(dialogo.oferecido().linhas[1].validoDe, dialogo.oferecido().linhas[1].validoAte));
    QVERIFY(grid->item(0, 0)->data(Qt::AccessibleTextRole).toString().endsWith(QStringLiteral("vence em 10 dias")));
    QCOMPARE(child<QLabel>(&dialogo, "lblAvisos")->text(), QStringLiteral("O dispositivo “T” está bloqueado."));
    QCOMPARE(child<QPushButton>(&dialogo, "cmdImportar")->text(),
             QStringLiteral("Importar certificado A1 (.pfx, .p12)…"));
}

void EscolhaCertificadoTest::filter_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("selected"); // the holder chosen for the user; empty: none
    const QString valido = QStringLiteral("JOSÉ DA CONCEIÇÃO:12345678909");
    const QString aVencer = QStringLiteral("EMPRESA A VENCER LTDA:60470198000107");
    QTest::newRow("nothing") << QString() << 3 << aVencer;
    QTest::newRow("without accents or case") << QStringLiteral("jose da conceicao") << 1 << valido;
    QTest::newRow("expired only") << QStringLiteral("11.444.777") << 1 << QString();
    QTest::newRow("an expired one among others") << QStringLiteral("LTDA") << 2 << aVencer;
    QTest::newRow("issuer") << QStringLiteral("AC TESTE") << 3 << aVencer;
    QTest::newRow("no match") << QStringLiteral("zzz") << 0 << QString();
}

// A row the filter leaves is chosen for the user, so OK chooses what the user sees; never an
// expired one.
void EscolhaCertificadoTest::filter()
{
    QFETCH(QString, typed);
    QFETCH(int, rows);
    QFETCH(QString, selected);
    EscolhaCertificado dialogo(nullptr, textos, lista());
    QTest::keyClicks(child<QLineEdit>(&dialogo, "txtFiltro"), typed);
    auto* grid = child<QTableWidget>(&dialogo, "GridCertificados");
    QCOMPARE(visiveis(grid), rows);
    QCOMPARE(dialogo.oferecido().linhas.size(), rows);
    QCOMPARE(child<QPushButton>(&dialogo, "cmdOK")->isEnabled(), !selected.isEmpty());
    QCOMPARE(dialogo.selecionado() ? dialogo.selecionado()->holder : QString(), selected);
}

// Enter on an expired certificate says so in the chooser, which stays open for another choice.
void EscolhaCertificadoTest::enterOnExpired()
{
    EscolhaCertificado dialogo(nullptr, textos, lista());
    dialogo.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialogo));
    auto* grid = child<QTableWidget>(&dialogo, "GridCertificados");
    QVERIFY(dialogo.selecionaTitular(QStringLiteral("EMPRESA VENCIDA LTDA:11444777000161")));
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Return);
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].text.contains(QStringLiteral("EMPRESA VENCIDA LTDA:11444777000161 expirou em")));
    QVERIFY(dialogo.isVisible());
    QCOMPARE(dialogo.result(), int(QDialog::Rejected));

    QVERIFY(dialogo.selecionaTitular(QStringLiteral("JOSÉ DA CONCEIÇÃO:12345678909")));
    QTest::keyClick(grid, Qt::Key_Return);
    QVERIFY(test::takeMessages().isEmpty());
    QCOMPARE(dialogo.result(), int(QDialog::Accepted));
}

void EscolhaCertificadoTest::importButton()
{
    const QString p12 = m_certs->makePkcs12({QStringLiteral("IMPORTADA LTDA"), QStringLiteral("11222333000181")},
                                            QStringLiteral("segredo"));
    EscolhaCertificado dialogo(nullptr, textos, {});
    FileDialog::queueAnswer(p12);
    PasswordPrompt::queueAnswer(QStringLiteral("segredo"));
    QTest::mouseClick(child<QPushButton>(&dialogo, "cmdImportar"), Qt::LeftButton);
    const auto files = FileDialog::takeShown();
    QCOMPARE(files.size(), 1);
    QCOMPARE(files[0].caption, QStringLiteral("Importar certificado A1"));
    QVERIFY(files[0].filter.contains(QStringLiteral("*.pfx *.p12")));
    const auto asked = PasswordPrompt::takeShown();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked[0].title, QStringLiteral("Senha do certificado A1"));
    QVERIFY(asked[0].text.contains(QFileInfo(p12).fileName()));
    QVERIFY(dialogo.selecionado());
    QCOMPARE(dialogo.selecionado()->holder, QStringLiteral("IMPORTADA LTDA:11222333000181"));
    QVERIFY(test::takeMessages().isEmpty());
}

void EscolhaCertificadoTest::importRefused()
{
    const QString p12 = m_certs->makePkcs12({QStringLiteral("RECUSADA LTDA"), QStringLiteral("11222333000181")});
    EscolhaCertificado dialogo(nullptr, textos, lista());
    QVERIFY(!dialogo.importa(p12, QStringLiteral("errada")));
    const auto shown = test::takeMessages();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].text.startsWith(QStringLiteral("A senha do arquivo de certificado está incorreta.")));
    QCOMPARE(shown[0].icon, QMessageBox::Warning);
    QCOMPARE(dialogo.oferecido().linhas.size(), 3);
    QVERIFY(!QFile::exists(m_home->path() + QLatin1String("/.pki")));
}

void EscolhaCertificadoTest::importCancelled()
{
    EscolhaCertificado dialogo(nullptr, textos, {});
    FileDialog::queueAnswer({});
    QTest::mouseClick(child<QPushButton>(&dialogo, "cmdImportar"), Qt::LeftButton);
    QCOMPARE(FileDialog::takeShown().size(), 1);
    QVERIFY(PasswordPrompt::takeShown().isEmpty());
    QVERIFY(!dialogo.selecionado());
}

void EscolhaCertificadoTest::testModeImportsAndChooses()
{
    const QString p12 = m_certs->makePkcs12({QStringLiteral("NOVA LTDA"), QStringLiteral("11222333000181")});
    EscolhaCertificado::queueImportacao(p12, QStringLiteral("teste"));
    const std::optional<Certificate> escolhido = EscolhaCertificado::escolher(nullptr, textos);
    QVERIFY(escolhido);
    QCOMPARE(escolhido->holder, QStringLiteral("NOVA LTDA:11222333000181"));
    const auto offered = EscolhaCertificado::takeOferecidos();
    QCOMPARE(offered.size(), 2);
    QVERIFY(offered[0].linhas.isEmpty());
    QCOMPARE(offered[1].linhas.size(), 1);
    QCOMPARE(offered[1].titulo, textos.titulo);
}

// A certificate added (or a token plugged in) while the chooser is open shows after "Atualizar".
void EscolhaCertificadoTest::refreshReadsTheStoreAgain()
{
    EscolhaCertificado dialogo(nullptr, textos, lista());
    m_certs->installStore(m_home->path(), {{QStringLiteral("RECENTE LTDA"), QStringLiteral("11222333000181")}});
    QTest::mouseClick(child<QPushButton>(&dialogo, "cmdAtualizar"), Qt::LeftButton);
    const auto linhas = dialogo.oferecido().linhas;
    QCOMPARE(linhas.size(), 1);
    QCOMPARE(linhas[0].titular, QStringLiteral("RECENTE LTDA:11222333000181"));
    QCOMPARE(linhas[0].documento, QStringLiteral("11.222.333/0001-81"));
    QVERIFY(dialogo.selecionado());
}

void EscolhaCertificadoTest::pinText_data()
{
    QTest::addColumn<certstore::PinRequest>("request");
    QTest::addColumn<QString>("text");
    const QString base = QStringLiteral("Digite o PIN do dispositivo “Token A3”:");
    QTest::newRow("first") << certstore::PinRequest{QStringLiteral("Token A3"), false, false, false} << base;
    QTest::newRow("wrong") << certstore::PinRequest{QStringLiteral("Token A3"), true, false, false}
                           << QStringLiteral("PIN incorreto. ") + base;
    QTest::newRow("few tries") << certstore::PinRequest{QStringLiteral("Token A3"), true, true, false}
                               << QStringLiteral("PIN incorreto. ") + base +
                                      QStringLiteral("\n\nAtenção: restam poucas tentativas antes de o dispositivo "
                                                     "ser bloqueado.");
    QTest::newRow("final try") << certstore::PinRequest{QStringLiteral("Token A3"), true, true, true}
                               << QStringLiteral("PIN incorreto. ") + base +
                                      QStringLiteral("\n\nAtenção: esta é a última tentativa. Se o PIN estiver "
                                                     "errado, o dispositivo será bloqueado.");
}

void EscolhaCertificadoTest::pinText()
{
    QFETCH(certstore::PinRequest, request);
    QFETCH(QString, text);
    QCOMPARE(PasswordPrompt::pinText(request), text);
}

QTEST_MAIN(EscolhaCertificadoTest)
#include "EscolhaCertificadoTest.moc"
