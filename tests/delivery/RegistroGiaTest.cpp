// The GIA file's line reader on its own: value formats, layouts, short lines and number fields.

#include "delivery/RegistroGia.h"

#include <QTest>

using namespace tervalia;
using gia::Registro;

namespace {
// A line of the given type and length, '0' everywhere but where fields are put (positions from 1).
QString linha(const char* tipo, qsizetype tamanho, std::initializer_list<std::pair<int, QString>> campos = {})
{
    QString texto(tamanho, QLatin1Char('0'));
    texto.replace(0, 2, QLatin1String(tipo));
    for (const auto& [posicao, valor] : campos)
        texto.replace(posicao - 1, valor.size(), valor);
    return texto;
}

QStringList comoTexto(const QVariantList& valores)
{
    QStringList textos;
    for (const QVariant& valor : valores)
        textos << valor.toString();
    return textos;
}
} // namespace

class RegistroGiaTest : public QObject
{
    Q_OBJECT

private slots:
    void formatos_data();
    void formatos();
    void valores_data();
    void valores();
    void inteiros_data();
    void inteiros();
    void camposDeCadaTipo_data();
    void camposDeCadaTipo();
    void linhaCurta_data();
    void linhaCurta();
    void campoNumericoSemNumero_data();
    void campoNumericoSemNumero();
    void tiposDesconhecidos_data();
    void tiposDesconhecidos();
};

void RegistroGiaTest::formatos_data()
{
    QTest::addColumn<int>("formato");
    QTest::addColumn<QString>("campo");
    QTest::addColumn<QString>("esperado");
    QTest::newRow("IE") << 0 << "123456789012"
                        << "123.456.789.012";
    QTest::newRow("CNPJ") << 1 << "12345678000195"
                          << "12.345.678/0001-95";
    QTest::newRow("CNAE") << 2 << "1234567"
                          << "1234-5/67";
    QTest::newRow("CFOP drops its last two") << 3 << "510299"
                                             << "5.102";
    QTest::newRow("month reference on the 20th") << 4 << "200911"
                                                 << "2009-11-20";
    QTest::newRow("full date") << 5 << "20091105"
                               << "2009-11-05";
    QTest::newRow("sub-item") << 6 << "12345"
                              << "123.45";
    QTest::newRow("DIPAM code") << 7 << "21"
                                << "2.1";
    QTest::newRow("IE keeps blanks and letters as they are") << 0 << "12 456A89012"
                                                             << "12 .456.A89.012";
}

void RegistroGiaTest::formatos()
{
    QFETCH(int, formato);
    QFETCH(QString, campo);
    QFETCH(QString, esperado);
    using Formata = QString (*)(QStringView);
    const Formata formatadores[] = {gia::formataIE,      gia::formataCNPJ,          gia::formataCNAE,
                                    gia::formataCFOP,    gia::formataMesReferencia, gia::formataData,
                                    gia::formataSubItem, gia::formataCodigoDipam};
    QCOMPARE(formatadores[formato](campo), esperado);
}

void RegistroGiaTest::valores_data()
{
    QTest::addColumn<QString>("campo");
    QTest::addColumn<bool>("numero");
    QTest::addColumn<double>("esperado");
    QTest::newRow("cents are the last two") << "000000001234567" << true << 12345.67;
    QTest::newRow("zero") << "000000000000000" << true << 0.0;
    QTest::newRow("largest") << "999999999999999" << true << 9999999999999.99;
    QTest::newRow("blanks before") << "        1234567" << true << 12345.67;
    QTest::newRow("blank cents") << "0000000012345  " << true << 12345.0;
    QTest::newRow("only cents") << "             05" << true << 0.05;
    QTest::newRow("minus sign") << "-00000001234567" << true << -12345.67;
    QTest::newRow("plus sign") << "+00000001234567" << true << 12345.67;
    QTest::newRow("all blank") << "               " << false << 0.0;
    QTest::newRow("letter") << "0000000A1234567" << false << 0.0;
    QTest::newRow("blank inside") << "0000000 1234567" << false << 0.0;
    QTest::newRow("comma") << "00000001234,567" << false << 0.0;
    QTest::newRow("second point") << "0000000001.3456" << false << 0.0;
    QTest::newRow("no-break space is not a blank") << QStringLiteral("\u00A000000001234567") << false << 0.0;
}

void RegistroGiaTest::valores()
{
    QFETCH(QString, campo);
    QFETCH(bool, numero);
    QFETCH(double, esperado);
    const auto valor = gia::valorMonetario(campo);
    QCOMPARE(valor.has_value(), numero);
    if (numero)
        QCOMPARE(*valor, esperado);
}

void RegistroGiaTest::inteiros_data()
{
    QTest::addColumn<QString>("campo");
    QTest::addColumn<bool>("numero");
    QTest::addColumn<qlonglong>("esperado");
    QTest::newRow("leading zero") << "01" << true << 1LL;
    QTest::newRow("blank before") << " 7" << true << 7LL;
    QTest::newRow("one digit") << "0" << true << 0LL;
    QTest::newRow("blank") << " " << false << 0LL;
    QTest::newRow("letter") << "S" << false << 0LL;
    QTest::newRow("sign alone") << "-" << false << 0LL;
}

void RegistroGiaTest::inteiros()
{
    QFETCH(QString, campo);
    QFETCH(bool, numero);
    QFETCH(qlonglong, esperado);
    const auto valor = gia::numeroInteiro(campo);
    QCOMPARE(valor.has_value(), numero);
    if (numero)
        QCOMPARE(*valor, esperado);
}

void RegistroGiaTest::camposDeCadaTipo_data()
{
    QTest::addColumn<QString>("texto");
    QTest::addColumn<QStringList>("esperado");

    const QString ie = QStringLiteral("062123456789");
    const QString ieFormatada = QStringLiteral("062.123.456.789");
    QTest::newRow("01 stores nothing") << linha("01", 30) << QStringList();
    QTest::newRow("05")
        << linha("05", 165,
                 {{3, ie}, {15, "11222333000181"}, {29, "4711302"}, {36, "01"}, {38, "200911"}, {50, "02"}, {52, "1"}})
        << QStringList{ieFormatada, "11.222.333/0001-81", "4711-3/02", "2", "01", "2009-11-20", "1"};
    QTest::newRow("07 stores nothing") << linha("07", 26) << QStringList();

    std::initializer_list<std::pair<int, QString>> cfop = {
        {3, "510200"},           {9, "000000001234567"},  {24, "000000000000001"},
        {39, "000000000000002"}, {54, "000000000000003"}, {69, "000000000000004"},
        {84, "000000000000005"}, {99, "000000000000006"}, {114, "000000000000007"},
        {129, "000000000000108"}};
    QTest::newRow("10") << linha("10", 147, cfop) << QStringList{"5.102", "12345.67", "0.01", "0.02", "0.03",
                                                                 "0.04",  "0.05",     "0.06", "0.07", "1.08"};
    std::initializer_list<std::pair<int, QString>> interUf = {{3, "SP"},
                                                              {5, "000000000000100"},
                                                              {20, "000000000000200"},
                                                              {35, "000000000000300"},
                                                              {50, "000000000000400"},
                                                              {65, "000000000000500"},
                                                              {80, "000000000000600"},
                                                              {95, "000000000000700"},
                                                              {110, "000000000000800"},
                                                              {125, "000000000000900"}};
    QTest::newRow("14") << linha("14", 142, interUf) << QStringList{"SP", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    QTest::newRow("18")
        << linha("18", 53,
                 {{3, "000012345"}, {12, "20091105"}, {20, "000000000150000"}, {35, "11222333000181"}, {49, "31000"}})
        << QStringList{"000012345", "2009-11-05", "1500", "11.222.333/0001-81", "31000"};

    const QString base = QStringLiteral("Art. 5º, D'Ouro").leftJustified(100);
    const QString ocorrencia = QStringLiteral("Crédito de O'Brien").leftJustified(300);
    QTest::newRow("20 keeps the blanks of its texts")
        << linha("20", 439, {{3, "00219"}, {8, "000000000009950"}, {23, "1"}, {24, base}, {124, ocorrencia}})
        << QStringList{"002.19", "99.5", base, ocorrencia, "1"};
    QTest::newRow("25") << linha("25", 29, {{3, ie}, {15, "000000000001000"}}) << QStringList{ieFormatada, "10"};
    QTest::newRow("26") << linha("26", 50,
                                 {{3, ie}, {15, "000000077"}, {24, "200901"}, {30, "200912"}, {36, "000000000002000"}})
                        << QStringList{ieFormatada, "2009-01-20", "2009-12-20", "20", "000000077"};
    QTest::newRow("27") << linha("27", 38, {{3, ie}, {15, "000000088"}, {24, "000000000003000"}})
                        << QStringList{ieFormatada, "30", "000000088"};
    QTest::newRow("28") << linha("28", 29, {{3, "AB1234567890"}, {15, "000000000004000"}})
                        << QStringList{"AB1234567890", "40"};
    QTest::newRow("30") << linha("30", 24, {{3, "21"}, {5, "31000"}, {10, "000000000005000"}})
                        << QStringList{"2.1", "31000", "50"};
    QTest::newRow("31") << linha("31", 17, {{3, "200912345678901"}}) << QStringList{"200912345678901"};
    QTest::newRow("longer than the layout")
        << linha("31", 40, {{3, "200912345678901"}}) << QStringList{"200912345678901"};
}

void RegistroGiaTest::camposDeCadaTipo()
{
    QFETCH(QString, texto);
    QFETCH(QStringList, esperado);
    const Registro registro = gia::lerRegistro(texto);
    QCOMPARE(registro.situacao, Registro::Situacao::Valido);
    QCOMPARE(registro.tipo, texto.left(2));
    QCOMPARE(comoTexto(registro.valores), esperado);
}

void RegistroGiaTest::linhaCurta_data()
{
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<int>("tamanho");
    const std::pair<const char*, int> tamanhos[] = {{"01", 30}, {"05", 165}, {"07", 26}, {"10", 147}, {"14", 142},
                                                    {"18", 53}, {"20", 439}, {"25", 29}, {"26", 50},  {"27", 38},
                                                    {"28", 29}, {"30", 24},  {"31", 17}};
    for (const auto& [tipo, tamanho] : tamanhos)
        QTest::newRow(tipo) << QString::fromLatin1(tipo) << tamanho;
}

void RegistroGiaTest::linhaCurta()
{
    QFETCH(QString, tipo);
    QFETCH(int, tamanho);
    const QByteArray t = tipo.toLatin1();
    const Registro curto = gia::lerRegistro(linha(t.constData(), tamanho - 1));
    QCOMPARE(curto.situacao, Registro::Situacao::Curto);
    QCOMPARE(curto.tamanhoExigido, qsizetype(tamanho));
    QCOMPARE(curto.tamanho, qsizetype(tamanho - 1));
    QVERIFY(curto.valores.isEmpty());
    QCOMPARE(gia::lerRegistro(linha(t.constData(), tamanho)).situacao, Registro::Situacao::Valido);
}

void RegistroGiaTest::campoNumericoSemNumero_data()
{
    QTest::addColumn<QString>("texto");
    QTest::addColumn<int>("posicao");
    QTest::addColumn<int>("largura");
    QTest::addColumn<QString>("campo");
    QTest::newRow("second amount of a 10")
        << linha("10", 147, {{24, "00000000000A100"}}) << 24 << 15 << "00000000000A100";
    QTest::newRow("Tipo of a 05") << linha("05", 165, {{50, "AB"}}) << 50 << 2 << "AB";
    QTest::newRow("blank Movimento of a 05") << linha("05", 165, {{52, " "}}) << 52 << 1 << " ";
    QTest::newRow("own-operations flag of a 20") << linha("20", 439, {{23, "S"}}) << 23 << 1 << "S";
    QTest::newRow("blank amount of a 30")
        << linha("30", 24, {{10, "               "}}) << 10 << 15 << "               ";
}

void RegistroGiaTest::campoNumericoSemNumero()
{
    QFETCH(QString, texto);
    QFETCH(int, posicao);
    QFETCH(int, largura);
    QFETCH(QString, campo);
    const Registro registro = gia::lerRegistro(texto);
    QCOMPARE(registro.situacao, Registro::Situacao::ValorInvalido);
    QCOMPARE(registro.posicao, qsizetype(posicao));
    QCOMPARE(registro.largura, qsizetype(largura));
    QCOMPARE(registro.campo, campo);
    QVERIFY(registro.valores.isEmpty());
}

void RegistroGiaTest::tiposDesconhecidos_data()
{
    QTest::addColumn<QString>("texto");
    QTest::newRow("99") << linha("99", 200);
    QTest::newRow("empty") << QString();
    QTest::newRow("one character") << "0";
    QTest::newRow("type with a blank") << "5 0000";
    QTest::newRow("02") << linha("02", 500);
}

void RegistroGiaTest::tiposDesconhecidos()
{
    QFETCH(QString, texto);
    const Registro registro = gia::lerRegistro(texto);
    QCOMPARE(registro.situacao, Registro::Situacao::Ignorado);
    QVERIFY(registro.valores.isEmpty());
}

QTEST_APPLESS_MAIN(RegistroGiaTest)
#include "RegistroGiaTest.moc"
