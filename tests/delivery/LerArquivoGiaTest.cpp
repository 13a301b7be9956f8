// Reading whole GIA files into a copy of gia_limpa.db, and the import that prepares atual.db.

#include "delivery/LerArquivoGia.h"
#include "storage/Database.h"
#include "support/TestProgramDir.h"

#include <QDir>
#include <QFile>
#include <QSqlRecord>
#include <QTest>

#include <memory>

using namespace tervalia;

namespace {
// A line of the given type and length, '0' everywhere but where fields are put (positions from 1).
QByteArray linha(const char* tipo, qsizetype tamanho, std::initializer_list<std::pair<int, QByteArray>> campos = {})
{
    QByteArray texto(tamanho, '0');
    texto.replace(0, 2, tipo);
    for (const auto& [posicao, valor] : campos)
        texto.replace(posicao - 1, valor.size(), valor);
    return texto;
}

QByteArray cabecalho(const QByteArray& ie, const QByteArray& ref = "200911")
{
    return linha("05", 165, {{3, ie}, {15, "11222333000181"}, {29, "4711302"}, {36, "01"}, {38, ref}, {50, "01"}});
}

QByteArray cfop(const QByteArray& codigo, const QByteArray& valor = "000000000010000")
{
    return linha("10", 147, {{3, codigo}, {9, valor}});
}

QByteArray ocorrencia(const QByteArray& base, const QByteArray& texto)
{
    return linha("20", 439,
                 {{3, "00219"},
                  {8, "000000000001000"},
                  {23, "1"},
                  {24, base.leftJustified(100)},
                  {124, texto.leftJustified(300)}});
}

QByteArray arquivo(const QList<QByteArray>& linhas, const QByteArray& fim = "\r\n")
{
    return linhas.join(fim) + fim;
}
} // namespace

class LerArquivoGiaTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_dir.reset(); }

    void eachTypeFillsItsTable_data();
    void eachTypeFillsItsTable();
    void headersNumberTheGias();
    void detailsCarryTheLatestCfopAndUf();
    void annexesHangOnTheLatestOccurrence();
    void apostrophesStayIntact();
    void knownIeAddsOnlyItsGia();
    void unknownTypesAreSkipped();
    void ansiTextAndLineEnds_data();
    void ansiTextAndLineEnds();
    void stopsWithTheLineNumber_data();
    void stopsWithTheLineNumber();
    void refusedStatementKeepsEarlierRows();
    void unreadableInputs_data();
    void unreadableInputs();
    void fiftyThousandDetails();
    void importStartsFromTheEmptyTemplate();
    void importWithoutTemplateIsAnError();

private:
    QString escreve(const QByteArray& conteudo) const;
    QList<QStringList> linhas(const QString& tabela) const;

    std::unique_ptr<test::TestProgramDir> m_dir;
    QString m_banco;
};

void LerArquivoGiaTest::init()
{
    m_dir = std::make_unique<test::TestProgramDir>();
    m_banco = m_dir->file(QStringLiteral("gia_limpa.db"));
    QVERIFY(QFile::copy(QStringLiteral(TERVALIA_DIST_DIR "/gia_limpa.db"), m_banco));
    QFile::setPermissions(m_banco, QFile::ReadOwner | QFile::WriteOwner);
}

QString LerArquivoGiaTest::escreve(const QByteArray& conteudo) const
{
    m_dir->writeFile(QStringLiteral("gia.txt"), conteudo);
    return m_dir->file(QStringLiteral("gia.txt"));
}

// Every row of a table in insertion order, each value as text.
QList<QStringList> LerArquivoGiaTest::linhas(const QString& tabela) const
{
    Connection banco(m_banco);
    QSqlQuery query = banco.exec(QStringLiteral("select * from ") + tabela + QStringLiteral(" order by rowid"));
    QList<QStringList> resultado;
    while (query.next()) {
        QStringList valores;
        for (int i = 0; i < query.record().count(); ++i)
            valores << query.value(i).toString();
        resultado << valores;
    }
    return resultado;
}

void LerArquivoGiaTest::eachTypeFillsItsTable_data()
{
    QTest::addColumn<QByteArray>("registro");
    QTest::addColumn<QString>("tabela");
    QTest::addColumn<QStringList>("esperado");

    const QByteArray ie = "062123456789";
    QTest::newRow("10") << cfop("510200", "000000001234567") << "tblDetalhesCFOPs"
                        << QStringList{"1", "5.102", "12345.67", "0", "0", "0", "0", "0", "0", "0", "0"};
    QTest::newRow("14") << linha("14", 142, {{3, "SP"}, {5, "000000000000150"}, {125, "000000000000900"}})
                        << "tblDetalhesInterUFs"
                        << QStringList{"1", "", "SP", "1.5", "0", "0", "0", "0", "0", "0", "0", "9"};
    QTest::newRow("18")
        << linha("18", 53,
                 {{3, "000012345"}, {12, "20091105"}, {20, "000000000150000"}, {35, "11222333000181"}, {49, "31000"}})
        << "tblZFM_ALC" << QStringList{"1", "", "", "000012345", "2009-11-05", "1500", "11.222.333/0001-81", "31000"};
    QTest::newRow("20") << ocorrencia("Art. 5", "Texto") << "tblOcorrências"
                        << QStringList{"1",
                                       "1",
                                       "002.19",
                                       "10",
                                       QStringLiteral("Art. 5").leftJustified(100),
                                       QStringLiteral("Texto").leftJustified(300),
                                       "1"};
    QTest::newRow("30") << linha("30", 24, {{3, "21"}, {5, "31000"}, {10, "000000000005000"}}) << "tblDIPAM"
                        << QStringList{"1", "2.1", "31000", "50"};
    QTest::newRow("31") << linha("31", 17, {{3, "200912345678901"}}) << QStringLiteral("tblRegistroExportação")
                        << QStringList{"1", "200912345678901"};
}

void LerArquivoGiaTest::eachTypeFillsItsTable()
{
    QFETCH(QByteArray, registro);
    QFETCH(QString, tabela);
    QFETCH(QStringList, esperado);
    const LeituraGia leitura =
        LerArquivo(escreve(arquivo({linha("01", 30), cabecalho("062123456789"), registro})), m_banco);
    QVERIFY2(leitura.concluida, qPrintable(leitura.mensagem));
    QCOMPARE(leitura.linhasLidas, 3);
    QCOMPARE(linhas(tabela), QList<QStringList>{esperado});
    // A CFOP or UF read before any record that sets it is empty text, never NULL.
    Connection banco(m_banco);
    QSqlQuery query = banco.exec(QStringLiteral("select * from ") + tabela);
    QVERIFY(query.next());
    for (int i = 0; i < query.record().count(); ++i)
        QVERIFY2(!query.isNull(i), qPrintable(query.record().fieldName(i)));
}

void LerArquivoGiaTest::headersNumberTheGias()
{
    const LeituraGia leitura =
        LerArquivo(escreve(arquivo({cabecalho("062000000001"), cfop("510200"), cabecalho("062000000002", "201002"),
                                    cfop("610200"), cfop("610800")})),
                   m_banco);
    QVERIFY2(leitura.concluida, qPrintable(leitura.mensagem));
    QCOMPARE(leitura.gias, 2);
    QCOMPARE(linhas(QStringLiteral("tblGIA")),
             (QList<QStringList>{{"1", "062.000.000.001", "1", "01", "2009-11-20", "0"},
                                 {"2", "062.000.000.002", "1", "01", "2010-02-20", "0"}}));
    const QList<QStringList> detalhes = linhas(QStringLiteral("tblDetalhesCFOPs"));
    QCOMPARE(detalhes.size(), 3);
    QCOMPARE(detalhes[0].mid(0, 2), (QStringList{"1", "5.102"}));
    QCOMPARE(detalhes[1].mid(0, 2), (QStringList{"2", "6.102"}));
    QCOMPARE(detalhes[2].mid(0, 2), (QStringList{"2", "6.108"}));
}

void LerArquivoGiaTest::detailsCarryTheLatestCfopAndUf()
{
    const QByteArray zfm = linha("18", 53, {{49, "31000"}});
    const LeituraGia leitura =
        LerArquivo(escreve(arquivo({cabecalho("062000000001"), cfop("510200"), linha("14", 142, {{3, "SP"}}),
                                    linha("14", 142, {{3, "RJ"}}), zfm, cfop("610200"), zfm})),
                   m_banco);
    QVERIFY2(leitura.concluida, qPrintable(leitura.mensagem));
    const QList<QStringList> interUfs = linhas(QStringLiteral("tblDetalhesInterUFs"));
    QCOMPARE(interUfs.size(), 2);
    QCOMPARE(interUfs[0].mid(0, 3), (QStringList{"1", "5.102", "SP"}));
    QCOMPARE(interUfs[1].mid(0, 3), (QStringList{"1", "5.102", "RJ"}));
    const QList<QStringList> zonaFranca = linhas(QStringLiteral("tblZFM_ALC"));
    QCOMPARE(zonaFranca.size(), 2);
    QCOMPARE(zonaFranca[0].mid(0, 3), (QStringList{"1", "5.102", "RJ"}));
    QCOMPARE(zonaFranca[1].mid(0, 3), (QStringList{"1", "6.102", "RJ"}));
}

void LerArquivoGiaTest::annexesHangOnTheLatestOccurrence()
{
    const QByteArray ie = "062123456789";
    const LeituraGia leitura = LerArquivo(
        escreve(arquivo({cabecalho(ie), ocorrencia("a", "b"), linha("25", 29, {{3, ie}, {15, "000000000001000"}}),
                         linha("26", 50, {{3, ie}, {15, "000000077"}, {24, "200901"}, {30, "200912"}}),
                         ocorrencia("c", "d"), linha("27", 38, {{3, ie}, {15, "000000088"}, {24, "000000000003000"}}),
                         linha("28", 29, {{3, "AB1234567890"}, {15, "000000000004000"}})})),
        m_banco);
    QVERIFY2(leitura.concluida, qPrintable(leitura.mensagem));
    QCOMPARE(linhas(QStringLiteral("tblIEsRemetente")), (QList<QStringList>{{"1", "062.123.456.789", "10"}}));
    QCOMPARE(linhas(QStringLiteral("tblIESubstituto")),
             (QList<QStringList>{{"1", "062.123.456.789", "2009-01-20", "2009-12-20", "0", "000000077"}}));
    QCOMPARE(linhas(QStringLiteral("tblIRSubstituido")),
             (QList<QStringList>{{"2", "062.123.456.789", "30", "000000088"}}));
    QCOMPARE(linhas(QStringLiteral("tblRecibosCredito")), (QList<QStringList>{{"2", "AB1234567890", "40"}}));
}

void LerArquivoGiaTest::apostrophesStayIntact()
{
    const LeituraGia leitura = LerArquivo(
        escreve(arquivo({cabecalho("062123456789"), ocorrencia("Art. 5, D'Ouro", "Nota de O'Brien, ''duas''")})),
        m_banco);
    QVERIFY2(leitura.concluida, qPrintable(leitura.mensagem));
    const QList<QStringList> ocorrencias = linhas(QStringLiteral("tblOcorrências"));
    QCOMPARE(ocorrencias.size(), 1);
    QCOMPARE(ocorrencias[0][4].trimmed(), QStringLiteral("Art. 5, D'Ouro"));
    QCOMPARE(ocorrencias[0][5].trimmed(), QStringLiteral("Nota de O'Brien, ''duas''"));
}

void LerArquivoGiaTest::knownIeAddsOnlyItsGia()
{
    {
        Connection banco(m_banco);
        banco.exec(QStringLiteral("insert into tblContribuinte (IE,CNPJ,CNAE) values ('062.000.000.001','x','y')"));
    }
    const LeituraGia leitura = LerArquivo(
        escreve(arquivo({cabecalho("062000000001"), cabecalho("062000000002"), cabecalho("062000000002", "200912")})),
        m_banco);
    QVERIFY2(leitura.concluida, qPrintable(leitura.mensagem));
    QCOMPARE(linhas(QStringLiteral("tblContribuinte")),
             (QList<QStringList>{{"062.000.000.001", "x", "y", ""},
                                 {"062.000.000.002", "11.222.333/0001-81", "4711-3/02", ""}}));
    QCOMPARE(linhas(QStringLiteral("tblGIA")).size(), 3);
}

void LerArquivoGiaTest::unknownTypesAreSkipped()
{
    const LeituraGia leitura = LerArquivo(
        escreve(arquivo({cabecalho("062000000001"), linha("99", 20), "", "X", linha("07", 26), cfop("510200")})),
        m_banco);
    QVERIFY2(leitura.concluida, qPrintable(leitura.mensagem));
    QCOMPARE(leitura.linhasLidas, 6);
    QCOMPARE(linhas(QStringLiteral("tblDetalhesCFOPs")).size(), 1);
}

void LerArquivoGiaTest::ansiTextAndLineEnds_data()
{
    QTest::addColumn<QByteArray>("fim");
    QTest::newRow("CR LF") << QByteArray("\r\n");
    QTest::newRow("LF") << QByteArray("\n");
    QTest::newRow("CR") << QByteArray("\r");
}

void LerArquivoGiaTest::ansiTextAndLineEnds()
{
    QFETCH(QByteArray, fim);
    const QByteArray texto = "Cr\xE9"
                             "dito \x80 \x93"
                             "a\xE7\xE3o\x94";
    QByteArray conteudo = arquivo({cabecalho("062000000001"), ocorrencia("Lei", texto), cfop("510200")}, fim);
    conteudo.chop(fim.size()); // the last line without its end
    const LeituraGia leitura = LerArquivo(escreve(conteudo), m_banco);
    QVERIFY2(leitura.concluida, qPrintable(leitura.mensagem));
    QCOMPARE(leitura.linhasLidas, 3);
    QCOMPARE(linhas(QStringLiteral("tblOcorrências")).value(0).value(5).trimmed(), QStringLiteral("Crédito € “ação”"));
    QCOMPARE(linhas(QStringLiteral("tblDetalhesCFOPs")).size(), 1);
}

void LerArquivoGiaTest::stopsWithTheLineNumber_data()
{
    QTest::addColumn<QList<QByteArray>>("linhasDoArquivo");
    QTest::addColumn<int>("linha");
    QTest::addColumn<QString>("trecho");
    QTest::addColumn<int>("detalhesGravados");

    QTest::newRow("short line") << QList<QByteArray>{cabecalho("062000000001"), cfop("510200"),
                                                     cfop("610200").left(146), cfop("610800")}
                                << 3 << "o registro do tipo \"10\" tem 146 caracteres, mas deve ter pelo menos 147."
                                << 1;
    QTest::newRow("amount without a number")
        << QList<QByteArray>{cabecalho("062000000001"), cfop("510200", "0000000000001X0"), cfop("610800")} << 2
        << "o campo das posições 9 a 23 do registro do tipo \"10\" deve ser um número, mas contém \"0000000000001X0\""
        << 0;
    QTest::newRow("annex before any occurrence")
        << QList<QByteArray>{cabecalho("062000000001"), cfop("510200"), linha("25", 29), cfop("610800")} << 3
        << "o registro do tipo \"25\" deve vir depois de uma ocorrência (registro do tipo \"20\")" << 1;
    QTest::newRow("short header") << QList<QByteArray>{cabecalho("062000000001").left(60)} << 1
                                  << "o registro do tipo \"05\" tem 60 caracteres, mas deve ter pelo menos 165." << 0;
}

void LerArquivoGiaTest::stopsWithTheLineNumber()
{
    QFETCH(QList<QByteArray>, linhasDoArquivo);
    QFETCH(int, linha);
    QFETCH(QString, trecho);
    QFETCH(int, detalhesGravados);
    const LeituraGia leitura = LerArquivo(escreve(arquivo(linhasDoArquivo)), m_banco);
    QVERIFY(!leitura.concluida);
    QCOMPARE(leitura.linha, linha);
    QCOMPARE(leitura.linhasLidas, linha);
    QVERIFY2(leitura.mensagem.startsWith(QStringLiteral("Linha %1 do arquivo GIA: ").arg(linha)),
             qPrintable(leitura.mensagem));
    QVERIFY2(leitura.mensagem.contains(trecho), qPrintable(leitura.mensagem));
    QVERIFY(leitura.mensagem.endsWith(
        QStringLiteral("A importação foi interrompida; os registros das linhas anteriores foram gravados.")));
    QCOMPARE(linhas(QStringLiteral("tblDetalhesCFOPs")).size(), detalhesGravados);
}

void LerArquivoGiaTest::refusedStatementKeepsEarlierRows()
{
    {
        Connection banco(m_banco);
        banco.exec(QStringLiteral("drop table tblDIPAM"));
        banco.exec(QStringLiteral("create trigger recusa before insert on tblDetalhesCFOPs when new.CFOP = '6.999' "
                                  "begin select raise(abort, 'CFOP recusado'); end"));
    }
    const QByteArray dipam = linha("30", 24);
    const LeituraGia semTabela =
        LerArquivo(escreve(arquivo({cabecalho("062000000001"), cfop("510200"), dipam, cfop("610800")})), m_banco);
    QVERIFY(!semTabela.concluida);
    QCOMPARE(semTabela.linha, 3);
    QVERIFY2(semTabela.mensagem.startsWith(
                 QStringLiteral("Linha 3 do arquivo GIA: o banco de dados recusou o registro do tipo \"30\".\r\n")),
             qPrintable(semTabela.mensagem));
    QVERIFY2(semTabela.mensagem.contains(QStringLiteral("tblDIPAM")), qPrintable(semTabela.mensagem));
    QCOMPARE(linhas(QStringLiteral("tblDetalhesCFOPs")).size(), 1);

    // A refusal in the middle of the transaction keeps what came before it, in the same file.
    const LeituraGia recusado = LerArquivo(
        escreve(arquivo({cabecalho("062000000009"), cfop("510200"), cfop("699900"), cfop("610800")})), m_banco);
    QCOMPARE(recusado.linha, 3);
    QVERIFY2(recusado.mensagem.contains(QStringLiteral("CFOP recusado")), qPrintable(recusado.mensagem));
    QCOMPARE(linhas(QStringLiteral("tblDetalhesCFOPs")).size(), 2);
    QCOMPARE(linhas(QStringLiteral("tblGIA")).size(), 2);
}

void LerArquivoGiaTest::unreadableInputs_data()
{
    QTest::addColumn<QString>("arquivoGia");
    QTest::addColumn<QString>("banco");
    QTest::addColumn<QString>("trecho");
    QTest::newRow("missing file") << "nada.txt"
                                  << "gia_limpa.db"
                                  << "Não foi possível abrir o arquivo GIA";
    QTest::newRow("a folder") << "temp"
                              << "gia_limpa.db"
                              << "Não foi possível abrir o arquivo GIA";
    QTest::newRow("missing database") << "gia.txt"
                                      << "nenhum.db"
                                      << "Erro no banco de dados";
}

void LerArquivoGiaTest::unreadableInputs()
{
    QFETCH(QString, arquivoGia);
    QFETCH(QString, banco);
    QFETCH(QString, trecho);
    escreve(arquivo({cabecalho("062000000001")}));
    const LeituraGia leitura = LerArquivo(m_dir->file(arquivoGia), m_dir->file(banco));
    QVERIFY(!leitura.concluida);
    QCOMPARE(leitura.linha, 0);
    QVERIFY2(leitura.mensagem.contains(trecho), qPrintable(leitura.mensagem));
    QVERIFY(!QFile::exists(m_dir->file(QStringLiteral("nenhum.db"))));
    QVERIFY(linhas(QStringLiteral("tblGIA")).isEmpty());
}

void LerArquivoGiaTest::fiftyThousandDetails()
{
    QList<QByteArray> conteudo{cabecalho("062000000001")};
    for (int i = 0; i < 50000; ++i)
        conteudo << cfop(QByteArray::number(510000 + i % 100), QByteArray::number(i).rightJustified(15, '0'));
    const LeituraGia leitura = LerArquivo(escreve(arquivo(conteudo)), m_banco);
    QVERIFY2(leitura.concluida, qPrintable(leitura.mensagem));
    QCOMPARE(leitura.linhasLidas, 50001);
    Connection banco(m_banco);
    QSqlQuery total =
        banco.exec(QStringLiteral("select count(*), max(ValorContábil), min(NroGIA) from tblDetalhesCFOPs"));
    QVERIFY(total.next());
    QCOMPARE(total.value(0).toInt(), 50000);
    QCOMPARE(total.value(1).toDouble(), 499.99);
    QCOMPARE(total.value(2).toInt(), 1);
}

void LerArquivoGiaTest::importStartsFromTheEmptyTemplate()
{
    const ImportacaoGia primeira = importarArquivoGia(escreve(arquivo({cabecalho("062000000001"), cfop("510200")})));
    QVERIFY(primeira.atualCriado);
    QVERIFY2(primeira.leitura.concluida, qPrintable(primeira.leitura.mensagem));
    QCOMPARE(primeira.atual, m_dir->file(QStringLiteral("atual.db")));

    const ImportacaoGia segunda = importarArquivoGia(escreve(arquivo({cabecalho("062000000002")})));
    QVERIFY(segunda.atualCriado);
    QVERIFY2(segunda.leitura.concluida, qPrintable(segunda.leitura.mensagem));
    QCOMPARE(segunda.leitura.gias, 1);
    Connection atual(segunda.atual);
    QSqlQuery gias = atual.exec(QStringLiteral("select NroGIA, IE from tblGIA"));
    QVERIFY(gias.next());
    QCOMPARE(gias.value(1).toString(), QStringLiteral("062.000.000.002"));
    QVERIFY(!gias.next());
    QSqlQuery detalhes = atual.exec(QStringLiteral("select count(*) from tblDetalhesCFOPs"));
    QVERIFY(detalhes.next());
    QCOMPARE(detalhes.value(0).toInt(), 0);
    // The template itself never changes.
    QVERIFY(linhas(QStringLiteral("tblGIA")).isEmpty());
}

void LerArquivoGiaTest::importWithoutTemplateIsAnError()
{
    QVERIFY(QFile::remove(m_banco));
    const ImportacaoGia importacao = importarArquivoGia(escreve(arquivo({cabecalho("062000000001")})));
    QVERIFY(!importacao.atualCriado);
    QVERIFY(!importacao.leitura.concluida);
    QVERIFY2(importacao.leitura.mensagem.contains(QStringLiteral("gia_limpa.db")),
             qPrintable(importacao.leitura.mensagem));
    QVERIFY(!QFile::exists(importacao.atual));
    QVERIFY(!QFile::exists(m_banco));
}

QTEST_GUILESS_MAIN(LerArquivoGiaTest)
#include "LerArquivoGiaTest.moc"
