#include "validation/Documentos.h"

#include "TrocaDigito.h"

#include <QTest>

using namespace tervalia;

class DocumentosTest : public QObject
{
    Q_OBJECT

private slots:
    void cnpj_data();
    void cnpj();
    void cpf_data();
    void cpf();
    void digitoTrocado_data();
    void digitoTrocado();
};

void DocumentosTest::cnpj_data()
{
    QTest::addColumn<QString>("texto");
    QTest::addColumn<bool>("valido");

    QTest::newRow("punctuated") << "11.222.333/0001-81" << true;
    QTest::newRow("digits only") << "11222333000181" << true;
    QTest::newRow("wrong second digit") << "11.222.333/0001-82" << false;
    // Whatever the second digit, a wrong first one refuses.
    QTest::newRow("wrong first digit") << "11.222.333/0001-91" << false;
    QTest::newRow("empty") << "" << true;
    QTest::newRow("no digit at all") << "__.___.___/____-__" << true;
    QTest::newRow("fourteen zeros") << "00000000000000" << true;
    QTest::newRow("fourteen ones") << "11111111111111" << false;
    // The missing 14th position reads 0 while 1 is expected.
    QTest::newRow("last digit missing") << "11.222.333/0001-8" << false;
    QTest::newRow("surplus digits") << "11.222.333/0001-81999" << true;
    QTest::newRow("letters and blanks") << "11 a222b333/0001-81 " << true;
    // Only the ASCII digits count: the full-width one is dropped like a letter.
    QTest::newRow("full-width digit") << QString::fromUtf8("１11.222.333/0001-81") << true;
    QTest::newRow("mask prompts") << "11.222.333/0001-__" << false;
    QTest::newRow("public company") << "33.000.167/0001-01" << true;
}

void DocumentosTest::cnpj()
{
    QFETCH(QString, texto);
    QFETCH(bool, valido);
    QCOMPARE(CNPJValida(texto), valido);
}

void DocumentosTest::cpf_data()
{
    QTest::addColumn<QString>("texto");
    QTest::addColumn<bool>("valido");

    QTest::newRow("punctuated") << "123.456.789-09" << true;
    QTest::newRow("digits only") << "12345678909" << true;
    QTest::newRow("wrong check digits") << "123.456.789-10" << false;
    QTest::newRow("wrong second digit") << "123.456.789-08" << false;
    QTest::newRow("wrong first digit") << "123.456.789-19" << false;
    QTest::newRow("empty") << "" << true;
    QTest::newRow("no digit at all") << "___.___.___-__" << true;
    QTest::newRow("repeated ones") << "111.111.111-11" << true;
    QTest::newRow("repeated twos") << "222.222.222-22" << true;
    QTest::newRow("repeated ones, wrong") << "111.111.111-12" << false;
    QTest::newRow("surplus digits") << "123.456.789-09999" << true;
    QTest::newRow("letters between digits") << "1a2b3.456.789-09" << true;
    // The missing 11th position reads 0 while 9 is expected.
    QTest::newRow("last digit missing") << "123.456.789-0" << false;
}

void DocumentosTest::cpf()
{
    QFETCH(QString, texto);
    QFETCH(bool, valido);
    QCOMPARE(CPFValida(texto), valido);
}

void DocumentosTest::digitoTrocado_data()
{
    QTest::addColumn<bool>("cnpj");
    QTest::addColumn<QString>("texto");
    QTest::addColumn<int>("primeiroVerificador");

    QTest::newRow("CNPJ") << true << "11.222.333/0001-81" << 13;
    QTest::newRow("CNPJ of a public company") << true << "33.000.167/0001-01" << 13;
    QTest::newRow("CPF") << false << "123.456.789-09" << 10;
    QTest::newRow("CPF of repeated digits") << false << "111.111.111-11" << 10;
}

// Any other value in either check digit of a valid number makes it invalid.
void DocumentosTest::digitoTrocado()
{
    QFETCH(bool, cnpj);
    QFETCH(QString, texto);
    QFETCH(int, primeiroVerificador);
    const auto valida = cnpj ? CNPJValida : CPFValida;
    QVERIFY(valida(texto));
    for (int posicao = primeiroVerificador; posicao <= primeiroVerificador + 1; ++posicao) {
        for (int valor = 0; valor <= 9; ++valor) {
            if (valor == test::digitoEm(texto, posicao))
                continue;
            const QString trocado = test::trocaDigito(texto, posicao, valor);
            QVERIFY2(!valida(trocado), qPrintable(trocado));
        }
    }
}

QTEST_APPLESS_MAIN(DocumentosTest)
#include "DocumentosTest.moc"
