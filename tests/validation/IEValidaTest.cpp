#include "validation/IEValida.h"

#include "TrocaDigito.h"

#include <QTest>

using namespace tervalia;

class IEValidaTest : public QObject
{
    Q_OBJECT

private slots:
    void exemplos_data();
    void exemplos();
    void casos_data();
    void casos();
    void qualquerUltimoDigito_data();
    void qualquerUltimoDigito();
};

// One or more numbers per unit, with the positions of their check digits among the digits.
// "SINTEGRA" marks the worked example printed on the unit's page of the SINTEGRA rules; the others
// say where they come from or how they were worked out.
void IEValidaTest::exemplos_data()
{
    QTest::addColumn<QString>("uf");
    QTest::addColumn<QString>("texto");
    QTest::addColumn<QList<int>>("verificadores");

    auto linha = [](const char* uf, const char* texto, QList<int> verificadores) {
        QTest::addRow("%s %s", uf, texto) << QString::fromLatin1(uf) << QString::fromLatin1(texto) << verificadores;
    };
    linha("AC", "01.004.823/001-12", {12, 13}); // SINTEGRA
    linha("AL", "24000004-8", {9});             // SINTEGRA
    linha("AP", "03.012.345-9", {9});           // SINTEGRA
    // 99.999.999: the sum is 9 × 44 = 396, a multiple of 11, so the digit is 0.
    linha("AM", "99.999.999-0", {9});
    // 04.123.456: 4×8 + 1×7 + 2×6 + 3×5 + 4×4 + 5×3 + 6×2 = 109, remainder 10, 11 − 10 = 1.
    linha("AM", "04.123.456-1", {9});
    linha("BA", "123456-63", {7, 8});           // SINTEGRA, modulus 10
    linha("BA", "612345-57", {7, 8});           // SINTEGRA, modulus 11
    linha("CE", "06000001-5", {9});             // SINTEGRA
    linha("DF", "07.300.001.001-09", {12, 13}); // mestredocalculo.com.br
    linha("ES", "99999999-0", {9});             // SINTEGRA
    linha("GO", "10.987.654-7", {9});           // SINTEGRA
    linha("MA", "12000038-5", {9});             // SINTEGRA
    linha("MT", "0013000001-9", {11});          // SINTEGRA
    // 28.312.345: 2×9 + 8×8 + 3×7 + 1×6 + 2×5 + 3×4 + 4×3 + 5×2 = 153, remainder 10, 11 − 10 = 1.
    linha("MS", "28.312.345-1", {9});
    linha("MG", "062.307.904/0081", {12, 13}); // SINTEGRA
    linha("PA", "15-999999-5", {9});           // SINTEGRA
    linha("PB", "06000001-5", {9});            // SINTEGRA
    linha("PB", "16.130.630-6", {9});          // a company in the PB tax court's ruling 274/2019
    linha("PR", "123.45678-50", {9, 10});      // SINTEGRA
    linha("PE", "0321418-40", {8, 9});         // SINTEGRA, 9-digit form
    linha("PE", "18.1.001.0000004-9", {14});   // SINTEGRA, 14-digit form
    linha("PE", "1818310338152-6", {14});      // a town hall, quoted in caelum-stella issue 50
    linha("PI", "01234567-9", {9});            // SINTEGRA
    linha("RJ", "99.999.99-3", {8});           // SINTEGRA
    linha("RN", "20.040.040-1", {9});          // SINTEGRA, 9 digits
    linha("RN", "20.0.040.040-0", {10});       // SINTEGRA, 10 digits
    linha("RS", "224/3658792", {10});          // SINTEGRA
    linha("RO", "101.62521-3", {9});           // SINTEGRA, the form before August 2000
    linha("RR", "24006628-1", {9});            // SINTEGRA
    linha("SC", "251.040.852", {9});           // SINTEGRA
    linha("SP", "110.042.490.114", {9, 12});   // SINTEGRA
    linha("SP", "P-01100424.3/002", {9});      // SINTEGRA, rural producer
    linha("SE", "27123456-3", {9});            // SINTEGRA
    linha("TO", "29010227836", {11});          // SINTEGRA
}

// Each example is accepted, and any other value in any one of its check digits is refused.
void IEValidaTest::exemplos()
{
    QFETCH(QString, uf);
    QFETCH(QString, texto);
    QFETCH(QList<int>, verificadores);
    QVERIFY(IEValida(texto, uf));
    for (const int posicao : verificadores) {
        for (int valor = 0; valor <= 9; ++valor) {
            if (valor == test::digitoEm(texto, posicao))
                continue;
            const QString trocado = test::trocaDigito(texto, posicao, valor);
            QVERIFY2(!IEValida(trocado, uf), qPrintable(trocado));
        }
    }
}

void IEValidaTest::casos_data()
{
    QTest::addColumn<QString>("uf");
    QTest::addColumn<QString>("texto");
    QTest::addColumn<bool>("valido");

    auto linha = [](const char* nome, const char* uf, const QString& texto, bool valido) {
        QTest::newRow(nome) << QString::fromLatin1(uf) << texto << valido;
    };
    linha("SP wrong second digit", "SP", "110.042.490.115", false);
    linha("SP wrong first digit", "SP", "110.042.491.114", false);
    linha("SP empty", "SP", "", true);
    linha("SP rural, last digits unchecked", "SP", "P-01100424.3/009", true);
    linha("SP rural, wrong digit", "SP", "P-01100424.4/002", false);
    linha("SP rural without the P", "SP", "01100424.3/002", false);
    linha("SP rural with a lower-case p", "SP", "p-01100424.3/002", false);
    linha("SP rural with the P not first", "SP", " P-01100424.3/002", false);
    // An unknown or lower-case abbreviation accepts without computing.
    linha("unknown unit", "XX", "123", true);
    linha("lower-case unit", "sp", "110.042.490.115", true);
    linha("no unit", "", "999", true);
    linha("unit with a blank", "SP ", "110.042.490.115", true);
    linha("MG wrong second digit", "MG", "062.307.904/0082", false);
    linha("GO 11.094.402 with remainder 1", "GO", "11.094.402-5", true);
    // Only numbers whose digits start with 03 are checked.
    linha("AP without 03", "AP", "04.000.000-0", true);
    linha("AP one digit", "AP", "0", true);
    // 03.000.000 lies in no range: 3×8 = 24, remainder 2, digit 9 (not 4 as with the addend 5).
    linha("AP 3000000", "AP", "03.000.000-9", true);
    linha("AP 3000000 with the first range's addend", "AP", "03.000.000-4", false);
    // 03.017.500, second range: 9 + 85 = 94, remainder 6, digit 5 (3 without the addend).
    linha("AP second range", "AP", "03.017.500-5", true);
    linha("AP second range without the addend", "AP", "03.017.500-3", false);
    // 03.017.007, second range: 9 + 79 = 88, remainder 0, digit 11, which becomes 1 here.
    linha("AP second range, digit 11", "AP", "03.017.007-1", true);
    linha("AP second range, digit 11 read as 0", "AP", "03.017.007-0", false);
    // 03.000.002, first range: 5 + 28 = 33, remainder 0, digit 11, which becomes 0 here.
    linha("AP first range, digit 11", "AP", "03.000.002-0", true);
    // 03.019.100, third range: 79, remainder 2, digit 9.
    linha("AP third range", "AP", "03.019.100-9", true);
    // The first and last numbers of each range.
    linha("AP 3000001", "AP", "03.000.001-2", true);
    linha("AP 3017000", "AP", "03.017.000-7", true);
    linha("AP 3017001", "AP", "03.017.001-1", true);
    linha("AP 3019022", "AP", "03.019.022-5", true);
    linha("AP 3019023", "AP", "03.019.023-1", true);
    // Only a leading 0 followed by 3 is checked, not a 3 in second place alone.
    linha("AP starting with 13", "AP", "13.000.000-1", true);
    // Seven digits form the number 1010317, below the range, so remainder 1 is refused.
    linha("GO seven digits", "GO", "1010317", false);
    // A sum of 0 gives 11, which no digit equals.
    linha("AM all zeros", "AM", "00000000-0", false);
    linha("CE all zeros", "CE", "00000000-0", true);
    // The 8th digit 5 picks modulus 10: 7 + 4×2 = 15 gives 5; 8 + 4×3 + 2×5 = 30 gives 0.
    linha("BA modulus 10", "BA", "10000405", true);
    // The 8th digit 7 picks modulus 11: 15 gives 7; 8 + 12 + 14 = 34, remainder 1, gives 0.
    linha("BA modulus 11", "BA", "10000407", true);
    linha("BA wrong first digit", "BA", "10000415", false);
    linha("BA wrong second digit", "BA", "10000406", false);
    // 13 digits already choose the 14-digit form, whose check digit (the missing 14th) reads 0.
    linha("PE 13 digits", "PE", "18.1.001.0000004", false);
    linha("PE 13 digits, expected digit 0", "PE", "1810010000003", true);
    linha("PE 9-digit form, wrong first digit", "PE", "0321418-50", false);
    linha("RN 10 digits read by the 9-digit rule", "RN", "20.0.040.040-1", false);
    linha("RN 11 digits follow the 9-digit rule", "RN", "20.040.040-155", true);
    // The digits kept start at position L − 7, L being the length of the typed text: the 4th for
    // these 11 characters, "625213"...
    linha("RO with punctuation", "RO", "101.62521-3", true);
    // ...but the 2nd, "016252", when the same digits are typed without punctuation.
    linha("RO without punctuation", "RO", "101625213", false);
    // Seven characters: no cut, positions 1 to 6 are used and the 7th digit is ignored.
    linha("RO seven digits, no cut", "RO", "6252139", true);
    // Six digits are never cut, however long the text.
    linha("RO six digits", "RO", "6.2.5.2.1-3", true);
    // The cut starts beyond the last digit and leaves nothing: every position reads 0.
    linha("RO cut beyond the digits", "RO", "1234567" + QString(30, u'x'), true);
    linha("RO long text", "RO", "101.62521-3" + QString(100000, u'-'), true);
    linha("RR wrong digit", "RR", "24006628-2", false);
    // Positions 3 and 4 are not weighed.
    linha("TO other establishment kind", "TO", "29990227836", true);
    linha("full-width digits ignored", "SP", QString::fromUtf8("１１０.042.490.114"), false);
}

void IEValidaTest::casos()
{
    QFETCH(QString, uf);
    QFETCH(QString, texto);
    QFETCH(bool, valido);
    QCOMPARE(IEValida(texto, uf), valido);
}

// Numbers that every last digit makes valid, or that no last digit does.
void IEValidaTest::qualquerUltimoDigito_data()
{
    QTest::addColumn<QString>("uf");
    QTest::addColumn<QString>("inicio");
    QTest::addColumn<bool>("valido");

    // Goiás: a remainder of 0 takes any digit; a remainder of 1 takes any digit for 11094402 and
    // inside 10103105..10119997, and none elsewhere.
    QTest::newRow("GO 11.094.402, remainder 1") << "GO"
                                                << "11.094.402-" << true;
    // 9 + 63 + 48 + 35 + 24 + 0 + 8 = 187 = 17 × 11.
    QTest::newRow("GO remainder 0") << "GO"
                                    << "10.987.604-" << true;
    // 9 + 7 + 15 + 4 + 10 = 45, remainder 1.
    QTest::newRow("GO remainder 1 in the range") << "GO"
                                                 << "10.103.105-" << true;
    // 9 + 7 + 6 + 45 + 36 + 27 + 14 = 144, remainder 1; the last number of the range.
    QTest::newRow("GO remainder 1 at the end of the range") << "GO"
                                                            << "10.119.997-" << true;
    // 9 + 63 + 48 + 35 + 24 + 3 + 6 = 188, remainder 1.
    QTest::newRow("GO remainder 1 outside the range") << "GO"
                                                      << "10.987.613-" << false;
    QTest::newRow("SP rural, last digit unchecked") << "SP"
                                                    << "P-01100424.3/00" << true;
    QTest::newRow("AP without 03") << "AP"
                                   << "12.345.678-" << true;
    QTest::newRow("unknown unit") << "ZZ"
                                  << "1" << true;
    // The first check digit is wrong, so the second is never looked at.
    QTest::newRow("AC wrong first digit") << "AC"
                                          << "01.004.823/001-2" << false;
    QTest::newRow("DF wrong first digit") << "DF"
                                          << "07.300.001.001-1" << false;
    QTest::newRow("MG wrong first digit") << "MG"
                                          << "062.307.904/009" << false;
    QTest::newRow("PR wrong first digit") << "PR"
                                          << "123.45678-6" << false;
    QTest::newRow("PE wrong first digit") << "PE"
                                          << "0321418-5" << false;
    QTest::newRow("SP wrong first digit") << "SP"
                                          << "110.042.491.11" << false;
}

void IEValidaTest::qualquerUltimoDigito()
{
    QFETCH(QString, uf);
    QFETCH(QString, inicio);
    QFETCH(bool, valido);
    for (int digito = 0; digito <= 9; ++digito)
        QCOMPARE(IEValida(inicio + QString::number(digito), uf), valido);
}

QTEST_APPLESS_MAIN(IEValidaTest)
#include "IEValidaTest.moc"
