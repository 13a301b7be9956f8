#include "taxpayers/DadosContador.h"
#include "storage/Cadastro.h"
#include "storage/Database.h"
#include "support/TestProgramDir.h"

#include <QTest>

#include <memory>

using namespace tervalia;

namespace {
ContadorRecord contador(const QString& documento)
{
    return {documento,
            QStringLiteral("CRC-MG 1"),
            QStringLiteral("Contábil D'Avila"),
            QStringLiteral("Rua B"),
            QStringLiteral("12"),
            QStringLiteral("sala 3"),
            QStringLiteral("Centro"),
            QStringLiteral("Ostare"),
            QStringLiteral("MG"),
            QStringLiteral("(31) 3333-4444"),
            QStringLiteral("35500-000"),
            QStringLiteral("c@d.com")};
}
} // namespace

class DadosContadorTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_dir = std::make_unique<test::TestProgramDir>(); }
    void cleanup() { m_dir.reset(); }

    void emptyWithoutAccountant();
    void storedRecordAsTyped();
    void documentDigits_data();
    void documentDigits();
    void firstOfTwoRowsWins();
    void databaseFailureGoesToCaller();

private:
    std::unique_ptr<test::TestProgramDir> m_dir;
};

void DadosContadorTest::emptyWithoutAccountant()
{
    QCOMPARE(DadosContador(), ContadorRecord{});
    QVERIFY(cpfCnpjContador().isEmpty());
}

void DadosContadorTest::storedRecordAsTyped()
{
    const ContadorRecord stored = contador(QStringLiteral("11.222.333/0001-81"));
    cadastro::replaceContador(stored);
    QCOMPARE(DadosContador(), stored);
}

void DadosContadorTest::documentDigits_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("digits");
    QTest::newRow("CPF") << QStringLiteral("123.456.789-09") << QStringLiteral("12345678909");
    QTest::newRow("CNPJ") << QStringLiteral("11.222.333/0001-81") << QStringLiteral("11222333000181");
    // Only ".", "-" and "/" go: placeholders and blanks stay.
    QTest::newRow("placeholders stay") << QStringLiteral("123.456.78_-0_") << QStringLiteral("12345678_0_");
    QTest::newRow("blanks stay") << QStringLiteral(" 12.3 ") << QStringLiteral(" 123 ");
}

void DadosContadorTest::documentDigits()
{
    QFETCH(QString, stored);
    QFETCH(QString, digits);
    cadastro::replaceContador(contador(stored));
    QCOMPARE(cpfCnpjContador(), digits);
    QCOMPARE(cpfCnpjContador(contador(stored)), digits);
}

void DadosContadorTest::firstOfTwoRowsWins()
{
    Connection db;
    db.exec(QStringLiteral("insert into tblContador (cont_cpf_cnpj, cont_razao_nome) values (?, ?)"),
            {QStringLiteral("123.456.789-09"), QStringLiteral("Primeiro")});
    db.exec(QStringLiteral("insert into tblContador (cont_cpf_cnpj, cont_razao_nome) values (?, ?)"),
            {QStringLiteral("11.222.333/0001-81"), QStringLiteral("Segundo")});
    QCOMPARE(DadosContador().razaoNome, QStringLiteral("Primeiro"));
    QCOMPARE(cpfCnpjContador(), QStringLiteral("12345678909"));
    // Columns left NULL read as empty texts.
    QVERIFY(DadosContador().email.isEmpty());
}

void DadosContadorTest::databaseFailureGoesToCaller()
{
    m_dir->removeFile(QStringLiteral("dipam.db"));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, DadosContador());
    QVERIFY_THROWS_EXCEPTION(DatabaseError, cpfCnpjContador());
}

QTEST_GUILESS_MAIN(DadosContadorTest)
#include "DadosContadorTest.moc"
