// Which selected documents go out and which year message is shown.
#include "delivery/SelecaoGias.h"

#include <QTest>

using namespace tervalia;

namespace {
const QList<LinhaGia> grade = {{"101", "1 a 12 / 2012"}, {"102", "1 a 12 / 2013"}, {"103", "1 a 6 / 2014"},
                               {"104", "7 a 12 / 2014"}, {"105", "1 a 12 / 2014"}, {"106", "1 a 12 / "}};
const QString consulte =
    QStringLiteral("Você deverá consultar a administração para saber quais documentos poderão ser aceitos. ");
const QString somente = QStringLiteral("Somente serão aceitas GIAS de ");
} // namespace

class SelecaoGiasTest : public QObject
{
    Q_OBJECT

private slots:
    void selecao_data();
    void selecao();
    void mensagemUmaVezPorJanela();
};

void SelecaoGiasTest::selecao_data()
{
    QTest::addColumn<int>("atual");
    QTest::addColumn<int>("fim");
    QTest::addColumn<QString>("anoTrabalho");
    QTest::addColumn<QString>("lista");
    QTest::addColumn<QString>("mensagem");
    QTest::newRow("rows 5 to 3 upwards") << 4 << 2 << "2013/2014"
                                         << "103,104,105" << QString();
    QTest::newRow("rows 3 to 5 downwards") << 2 << 4 << "2013/2014"
                                           << "103,104,105" << QString();
    QTest::newRow("2012 refused downwards") << 0 << 2 << "2013/2014"
                                            << "102,103" << consulte + "2013/2014";
    QTest::newRow("2012 refused upwards") << 2 << 0 << "2013/2014"
                                          << "102,103" << somente + "2013/2014";
    QTest::newRow("single refused row") << 0 << 0 << "2013/2014"
                                        << "" << somente + "2013/2014";
    QTest::newRow("single accepted row") << 1 << 1 << "2013"
                                         << "102" << QString();
    QTest::newRow("no working year known") << 1 << 1 << ""
                                           << "" << somente;
    QTest::newRow("a reference without its year") << 5 << 5 << "2013/2014"
                                                  << "" << somente + "2013/2014";
    QTest::newRow("rows past the grid ignored") << 4 << 9 << "2014"
                                                << "105" << consulte + "2014";
}

void SelecaoGiasTest::selecao()
{
    QFETCH(int, atual);
    QFETCH(int, fim);
    QFETCH(QString, anoTrabalho);
    QFETCH(QString, lista);
    QFETCH(QString, mensagem);
    bool msgTrabalho = false;
    const SelecaoGias s = selecionaGias(grade, atual, fim, anoTrabalho, msgTrabalho);
    QCOMPARE(s.lista(), lista);
    QCOMPARE(s.giaCerta, int(s.aceitas.size()));
    QCOMPARE(s.mensagemAno, mensagem);
    QCOMPARE(msgTrabalho, !mensagem.isEmpty());
}

void SelecaoGiasTest::mensagemUmaVezPorJanela()
{
    bool msgTrabalho = false;
    const SelecaoGias primeira = selecionaGias(grade, 0, 4, QStringLiteral("2014"), msgTrabalho);
    QCOMPARE(primeira.mensagemAno, consulte + "2014");
    QCOMPARE(primeira.lista(), QStringLiteral("103,104,105"));
    const SelecaoGias segunda = selecionaGias(grade, 4, 0, QStringLiteral("2014"), msgTrabalho);
    QVERIFY(segunda.mensagemAno.isEmpty());
    // Each press counts afresh: the second does not carry the first one's numbers.
    QCOMPARE(segunda.lista(), QStringLiteral("103,104,105"));
    QCOMPARE(segunda.giaCerta, 3);
}

QTEST_APPLESS_MAIN(SelecaoGiasTest)
#include "SelecaoGiasTest.moc"
