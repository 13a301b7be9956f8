#include "app/Historico.h"
#include "net/Soap.h"
#include "support/TestProgramDir.h"

#include <QLocale>
#include <QTest>

#include <cstdlib>
#include <ctime>

using namespace tervalia;
using namespace tervalia::historico;

Q_DECLARE_METATYPE(tervalia::historico::Rejeicao)

class HistoricoTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void rejeicaoDaResposta_data();
    void rejeicaoDaResposta();
    void transferenciasEmOrdem();
    void transferenciasSemLinhas_data();
    void transferenciasSemLinhas();
    void historicoMalFormado_data();
    void historicoMalFormado();
    void aninhamento_data();
    void aninhamento();

    void trechoCortadoNoFim();
    void dataDoServidor_data();
    void dataDoServidor();
    void dataNaMudancaDeHorario();

    void marcaVersao_data();
    void marcaVersao();

    void regraDipam_data();
    void regraDipam();
    void detalhesCompletos();
    void detalhesIncompletos_data();
    void detalhesIncompletos();
    void entidadeExternaNaoLida_data();
    void entidadeExternaNaoLida();
};

void HistoricoTest::cleanup()
{
    QLocale::setDefault(QLocale::c());
}

void HistoricoTest::rejeicaoDaResposta_data()
{
    QTest::addColumn<QString>("retorno");
    QTest::addColumn<Rejeicao>("esperada");
    QTest::newRow("exata") << "CHAVE_INVALIDA" << Rejeicao::ChaveInvalida;
    QTest::newRow("minusculas com brancos") << "  chave_invalida \r\n" << Rejeicao::ChaveInvalida;
    QTest::newRow("seguida de texto") << "CHAVE_INVALIDA para esta IE" << Rejeicao::AcessoNaoAutorizado;
    QTest::newRow("marca no meio") << "<erro>CHAVE_INEXISTENTE</erro>" << Rejeicao::AcessoNaoAutorizado;
    QTest::newRow("marca minuscula") << "chave_inexistente" << Rejeicao::Nenhuma;
    QTest::newRow("vazia") << "" << Rejeicao::Nenhuma;
    QTest::newRow("historico") << "<listaTransferencias/>" << Rejeicao::Nenhuma;
}

void HistoricoTest::rejeicaoDaResposta()
{
    QFETCH(QString, retorno);
    QFETCH(Rejeicao, esperada);
    QCOMPARE(rejeicao(retorno), esperada);
}

void HistoricoTest::transferenciasEmOrdem()
{
    // Children in any order, unknown ones ignored, one delivery without protocolo, a nested
    // element contributing its text.
    const QString documento =
        QStringLiteral("<?xml version=\"1.0\"?>\n<listaTransferencias a=\"1\">\n"
                       " <transferencia><status>1</status><referencia> 01/2025 </referencia><data>10/02/2025</data>"
                       "<protocolo>P1</protocolo><adicionado>1.234,56</adicionado><extra>x</extra></transferencia>\n"
                       " <outro><referencia>não é entrega</referencia></outro>\n"
                       " <transferencia><referencia>02/2025</referencia><status>2</status><adicionado>0</adicionado>"
                       "<data>11/<b>03</b>/2025</data></transferencia>\n"
                       " <transferencia><protocolo>P3</protocolo><Status>9</Status><referencia>03/2025</referencia>"
                       "<referencia>03/2025 ret</referencia></transferencia>\n"
                       "</listaTransferencias>");
    const QList<Linha> linhas = lerTransferencias(documento);
    QCOMPARE(linhas.size(), 3);
    QCOMPARE(linhas[0], (Linha{" 01/2025 ", "10/02/2025", "P1", "1", "1.234,56"}));
    QCOMPARE(linhas[1], (Linha{"02/2025", "11/03/2025", "", "2", "0"}));
    // Names are exact ("Status" is not "status"); a repeated child leaves its last text.
    QCOMPARE(linhas[2], (Linha{"03/2025 ret", "", "P3", "", ""}));
}

void HistoricoTest::transferenciasSemLinhas_data()
{
    QTest::addColumn<QString>("documento");
    QTest::newRow("lista vazia") << "<listaTransferencias></listaTransferencias>";
    QTest::newRow("lista vazia curta") << "<listaTransferencias/>";
    QTest::newRow("outra raiz") << "<lista><transferencia><referencia>01/2025</referencia></transferencia></lista>";
    QTest::newRow("entrega mais funda")
        << "<listaTransferencias><grupo><transferencia><referencia>01/2025</referencia></transferencia>"
           "</grupo></listaTransferencias>";
}

void HistoricoTest::transferenciasSemLinhas()
{
    QFETCH(QString, documento);
    QVERIFY(lerTransferencias(documento).isEmpty());
}

void HistoricoTest::historicoMalFormado_data()
{
    QTest::addColumn<QString>("documento");
    QTest::newRow("vazio") << "";
    QTest::newRow("texto") << "Servidor em manutenção";
    QTest::newRow("truncado") << "<listaTransferencias><transferencia><referencia>01/2025";
    QTest::newRow("html") << "<html><body><p>erro<br></body></html>";
    QTest::newRow("duas raizes") << "<listaTransferencias/><listaTransferencias/>";
}

void HistoricoTest::historicoMalFormado()
{
    QFETCH(QString, documento);
    try {
        lerTransferencias(documento);
        QFAIL("a document that does not parse was accepted");
    } catch (const XmlError& erro) {
        QVERIFY(!erro.motivo().isEmpty());
    }
}

// A field may hold elements of its own down to the nesting bound, their text in document order; a
// document nested deeper is refused, however deep, with a reason the user can read.
void HistoricoTest::aninhamento_data()
{
    QTest::addColumn<bool>("detalhes");     // the details reader, else the history reader
    QTest::addColumn<int>("niveisNoCampo"); // elements nested inside the third-level field
    QTest::addColumn<bool>("legivel");

    for (const bool detalhes : {false, true}) {
        const char* qual = detalhes ? "detalhes" : "historico";
        QTest::addRow("%s, no limite", qual) << detalhes << maxXmlNesting - 3 << true;
        QTest::addRow("%s, um alem do limite", qual) << detalhes << maxXmlNesting - 2 << false;
        QTest::addRow("%s, 100.000 niveis", qual) << detalhes << 100000 << false;
        QTest::addRow("%s, 800.000 niveis", qual) << detalhes << 800000 << false;
    }
}

void HistoricoTest::aninhamento()
{
    QFETCH(bool, detalhes);
    QFETCH(int, niveisNoCampo);
    QFETCH(bool, legivel);

    // Each level holds an "a" before the next one and a "z" after it.
    const QString campo =
        QStringLiteral("<n>a").repeated(niveisNoCampo) + QStringLiteral("</n>z").repeated(niveisNoCampo);
    const QString esperado = QString(niveisNoCampo, u'a') + QString(niveisNoCampo, u'z');
    const QString documento = detalhes ? "<m><erro><DETALHE>" + campo + "</DETALHE></erro></m>"
                                       : "<listaTransferencias><transferencia><protocolo>" + campo +
                                             "</protocolo></transferencia></listaTransferencias>";
    try {
        if (detalhes) {
            const Detalhes lidos = lerDetalhes(documento);
            QCOMPARE(lidos.itens.size(), 1);
            QCOMPARE(lidos.itens[0].detalhe, esperado);
        } else {
            const QList<Linha> linhas = lerTransferencias(documento);
            QCOMPARE(linhas.size(), 1);
            QCOMPARE(linhas[0][2], esperado);
        }
        QVERIFY2(legivel, "a document nested beyond the bound was read");
    } catch (const XmlError& erro) {
        QVERIFY2(!legivel, qPrintable(erro.motivo()));
        QCOMPARE(erro.motivo(), QStringLiteral("O documento tem mais de 256 níveis de elementos aninhados."));
    }
}

void HistoricoTest::trechoCortadoNoFim()
{
    QCOMPARE(trecho(QStringLiteral("abcdef"), 2, 3), QStringLiteral("bcd"));
    QCOMPARE(trecho(QStringLiteral("abcdef"), 5, 19), QStringLiteral("ef"));
    QCOMPARE(trecho(QStringLiteral("abcdef"), 32, 19), QString());
}

void HistoricoTest::dataDoServidor_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("texto");
    QTest::addColumn<QDateTime>("esperada");
    const QDateTime fevereiro(QDate(2025, 2, 1), QTime(4, 5, 9));
    const QDateTime dezembro(QDate(2025, 12, 13), QTime(23, 59, 59));
    for (const char* locale : {"pt_BR", "en_US", "de_DE"}) {
        const QString l = QString::fromLatin1(locale);
        // Day first, always: 01/02 is the first of February under every locale.
        QTest::addRow("%s dia antes do mes", locale) << l << "01/02/2025 04:05:09" << fevereiro;
        QTest::addRow("%s dia maior que 12", locale) << l << "13/12/2025 23:59:59" << dezembro;
        QTest::addRow("%s sem zeros e com brancos", locale) << l << " 1/2/2025 4:5:9 " << fevereiro;
        QTest::addRow("%s dia inexistente", locale) << l << "31/02/2025 10:00:00" << QDateTime();
        QTest::addRow("%s hora inexistente", locale) << l << "13/12/2025 24:00:00" << QDateTime();
        QTest::addRow("%s ordem ISO", locale) << l << "2025-12-13 23:59:59" << QDateTime();
        QTest::addRow("%s sem hora", locale) << l << "13/12/2025" << QDateTime();
        QTest::addRow("%s vazia", locale) << l << "" << QDateTime();
        QTest::addRow("%s texto", locale) << l << "CHAVE_INVALIDA" << QDateTime();
    }
}

void HistoricoTest::dataDoServidor()
{
    QFETCH(QString, locale);
    QFETCH(QString, texto);
    QFETCH(QDateTime, esperada);
    QLocale::setDefault(QLocale(locale));
    const std::optional<QDateTime> data = converteDataServidor(texto);
    QCOMPARE(data.has_value(), esperada.isValid());
    if (data)
        QCOMPARE(*data, esperada);
}

// Where the clocks jump forward, the skipped hour still converts, to the moment just after.
void HistoricoTest::dataNaMudancaDeHorario()
{
    const QByteArray antes = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    const std::optional<QDateTime> pulada = converteDataServidor(QStringLiteral("31/03/2024 02:30:00"));
    const std::optional<QDateTime> comum = converteDataServidor(QStringLiteral("30/03/2024 02:30:00"));
    // Local times read as UTC while the zone is still in force.
    const QDateTime puladaUtc = pulada ? pulada->toUTC() : QDateTime();
    const QDateTime comumUtc = comum ? comum->toUTC() : QDateTime();
    antes.isNull() ? qunsetenv("TZ") : qputenv("TZ", antes);
    tzset();
    QCOMPARE(puladaUtc, QDateTime(QDate(2024, 3, 31), QTime(1, 30), Qt::UTC));
    QCOMPARE(comumUtc, QDateTime(QDate(2024, 3, 30), QTime(1, 30), Qt::UTC));
}

void HistoricoTest::marcaVersao_data()
{
    QTest::addColumn<QByteArray>("conteudo");
    QTest::addColumn<QString>("esperada");
    QTest::newRow("atual") << QByteArray("1.15.01") << "1.15.01";
    QTest::newRow("vazio") << QByteArray() << "";
    QTest::newRow("com fim de linha") << QByteArray("1.15.01\r\n") << "1.15.01\r\n";
    QTest::newRow("latin-1") << QByteArray("vers\xe3o 2") << QStringLiteral("versão 2");
    QTest::newRow("utf-8") << QByteArray("vers\xc3\xa3o 2") << QStringLiteral("versão 2");
    QTest::newRow("windows-1252") << QByteArray("vers\xe3o 2 \x96 \x80") << QStringLiteral("versão 2 – €");
}

void HistoricoTest::marcaVersao()
{
    QFETCH(QByteArray, conteudo);
    QFETCH(QString, esperada);
    test::TestProgramDir dir;
    dir.writeFile(QStringLiteral("info.dip"), conteudo);
    QCOMPARE(lerMarcaVersao(), std::optional(esperada));
    dir.removeFile(QStringLiteral("info.dip"));
    QCOMPARE(lerMarcaVersao(), std::nullopt);
}

void HistoricoTest::regraDipam_data()
{
    QTest::addColumn<QString>("detalhe");
    QTest::addColumn<QString>("texto");
    QTest::newRow("vazio") << ""
                           << "DIPAM : ";
    QTest::newRow("tres") << "OK!"
                          << "DIPAM : OK!";
    QTest::newRow("tres acentuados") << "ção"
                                     << "DIPAM : ção";
    QTest::newRow("quatro") << "Erro"
                            << "mensagem: Erro";
    QTest::newRow("longo") << "Valor divergente no campo 12"
                           << "mensagem: Valor divergente no campo 12";
}

void HistoricoTest::regraDipam()
{
    QFETCH(QString, detalhe);
    QFETCH(QString, texto);
    const ItemDetalhe item{QStringLiteral("mensagem"), detalhe, std::nullopt, {}};
    QCOMPARE(item.texto(), texto);
}

void HistoricoTest::detalhesCompletos()
{
    const Detalhes d = lerDetalhes(QStringLiteral(
        "<d:mensagens xmlns:d=\"urn:ostare\">"
        "<d:erro PROTOCOLO=\"2025-77\" nivel=\"1\"><codigo>12</codigo><DETALHE>Campo <b>12</b> vazio</DETALHE></d:erro>"
        "<aviso><DETALHE>OK</DETALHE></aviso>"
        "</d:mensagens>"));
    QCOMPARE(d.raiz, QStringLiteral("mensagens"));
    QCOMPARE(d.itens.size(), 2);
    QCOMPARE(d.itens[0].texto(), QStringLiteral("d:erro: Campo 12 vazio"));
    QCOMPARE(d.itens[0].protocolo, std::optional(QStringLiteral("2025-77")));
    QCOMPARE(d.itens[0].subitens, (QStringList{"12", "Campo 12 vazio"}));
    QCOMPARE(d.itens[1].texto(), QStringLiteral("DIPAM : OK"));
    QCOMPARE(d.itens[1].protocolo, std::nullopt);
}

void HistoricoTest::detalhesIncompletos_data()
{
    QTest::addColumn<QString>("documento");
    QTest::newRow("sem DETALHE") << "<m><erro><detalhe>minúsculo</detalhe></erro></m>";
    QTest::newRow("atributos sem PROTOCOLO") << "<m><erro nivel=\"1\"><DETALHE>x</DETALHE></erro></m>";
    QTest::newRow("segunda incompleta") << "<m><a><DETALHE>x</DETALHE></a><b/></m>";
}

void HistoricoTest::detalhesIncompletos()
{
    QFETCH(QString, documento);
    QVERIFY_THROWS_EXCEPTION(DetalhesError, lerDetalhes(documento));
}

void HistoricoTest::entidadeExternaNaoLida_data()
{
    QTest::addColumn<QString>("documento");
    QTest::addColumn<bool>("recusado");
    const QString segredo = QUrl::fromLocalFile(QStringLiteral(TERVALIA_SOURCE_DIR "/README.md")).toString();
    QTest::newRow("arquivo local") << "<!DOCTYPE m [<!ENTITY e SYSTEM \"" + segredo +
                                          "\">]><m><erro><DETALHE>&e;</DETALHE></erro></m>"
                                   << true;
    QTest::newRow("outro servidor")
        << "<!DOCTYPE m [<!ENTITY e SYSTEM \"http://127.0.0.1:9/x\">]><m><erro><DETALHE>a&e;</DETALHE></erro></m>"
        << true;
    QTest::newRow("parametro do DTD") << "<!DOCTYPE m [<!ENTITY % p SYSTEM \"" + segredo +
                                             "\"> %p;]><m><erro><DETALHE>x&p;</DETALHE></erro></m>"
                                      << true;
    QTest::newRow("DTD externo") << "<!DOCTYPE m SYSTEM \"" + segredo + "\"><m><erro><DETALHE>x</DETALHE></erro></m>"
                                 << false;
}

// A details answer cannot make the program read a local file or reach another host. One that
// declares an external entity is refused like a document that does not parse.
void HistoricoTest::entidadeExternaNaoLida()
{
    QFETCH(QString, documento);
    QFETCH(bool, recusado);
    try {
        const Detalhes d = lerDetalhes(documento);
        QVERIFY(!recusado);
        QCOMPARE(d.itens.size(), 1);
        QCOMPARE(d.itens[0].detalhe, QStringLiteral("x"));
    } catch (const XmlError& erro) {
        QVERIFY2(recusado, qPrintable(erro.motivo()));
        QVERIFY(!erro.motivo().contains(QStringLiteral("Tervalia")));
    }
}

QTEST_GUILESS_MAIN(HistoricoTest)
#include "HistoricoTest.moc"
