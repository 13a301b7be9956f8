#include "net/Soap.h"

#include <QTest>

using namespace tervalia;

using Params = QList<QPair<QString, QString>>;

class SoapTextTest : public QObject
{
    Q_OBJECT

private slots:
    void envelopeBytes_data();
    void envelopeBytes();
    void valuesSurviveTheRoundTrip_data();
    void valuesSurviveTheRoundTrip();
    void getResult_data();
    void getResult();
    void externalEntityIsNotExpanded();
    void forbiddenCharactersLeftOut_data();
    void forbiddenCharactersLeftOut();
};

namespace {
const QByteArray head = "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap12:Envelope "
                        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                        "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
                        "xmlns:soap12=\"http://www.w3.org/2003/05/soap-envelope\"> <soap12:Body>";
const QByteArray tail = "</soap12:Body></soap12:Envelope>";

// A text of UTF-16 code units, halves of surrogate pairs included.
QString units(std::initializer_list<char16_t> codes)
{
    QString text;
    for (char16_t c : codes)
        text += QChar(c);
    return text;
}

// A SOAP answer with the result element where a PHP service puts it.
QString answerWith(const QString& returnElement)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope "
                          "xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\" "
                          "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><SOAP-ENV:Body>"
                          "<ns1:Transferencia.ver2Response xmlns:ns1=\"urn:Transferencia\">%1"
                          "</ns1:Transferencia.ver2Response></SOAP-ENV:Body></SOAP-ENV:Envelope>")
        .arg(returnElement);
}
} // namespace

void SoapTextTest::envelopeBytes_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<Params>("params");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("history, empty key")
        << "Transferencia.ver2" << Params{{"strNome", "0620123450099"}, {"strDiretorioDestino", "vbs"}, {"Chave", ""}}
        << head +
               "<Transferencia.ver2 xmlns=\"\"><strNome>0620123450099</strNome>"
               "<strDiretorioDestino>vbs</strDiretorioDestino><Chave></Chave></Transferencia.ver2>" +
               tail;
    QTest::newRow("details") << "Transferencia.ver"
                             << Params{{"strNome", "2025000123"}, {"strDiretorioDestino", "vbs"}, {"Chave", "AB12CD34"}}
                             << head +
                                    "<Transferencia.ver xmlns=\"\"><strNome>2025000123</strNome>"
                                    "<strDiretorioDestino>vbs</strDiretorioDestino><Chave>AB12CD34</Chave>"
                                    "</Transferencia.ver>" +
                                    tail;
    QTest::newRow("key") << "Transferencia.ecnpj"
                         << Params{{"ie", "0620123450099"}, {"cnpj", "11.222.333/0001-81"}, {"key", "!QORTELUNA!"}}
                         << head +
                                "<Transferencia.ecnpj xmlns=\"\"><ie>0620123450099</ie>"
                                "<cnpj>11.222.333/0001-81</cnpj><key>!QORTELUNA!</key></Transferencia.ecnpj>" +
                                tail;

    Params accountant;
    QByteArray accountantXml;
    const char* names[12] = {"thisCont_cpf_cnpj",     "thisCont_num_crc",      "thisCont_razao_nome",
                             "thisCont_nom_endereco", "thisCont_num_endereco", "thisCont_complemento",
                             "thisCont_nom_bairro",   "thisCont_nom_cidade",   "thisCont_nom_estado",
                             "thisCont_num_telefone", "thisCont_num_cep",      "thisCont_email"};
    for (const char* name : names) {
        accountant.append({QString::fromLatin1(name), QStringLiteral("v")});
        accountantXml += "<" + QByteArray(name) + ">v</" + name + ">";
    }
    accountant[2].second = QStringLiteral("Silva & D''Ávila <Contábeis>");
    accountantXml.replace("<thisCont_razao_nome>v<", "<thisCont_razao_nome>Silva &amp; D''\xc3\x81vila &lt;Cont\xc3\xa1"
                                                     "beis&gt;<");
    QTest::newRow("accountant, escaped value")
        << "Transferencia.contador" << accountant
        << head + "<Transferencia.contador xmlns=\"\">" + accountantXml + "</Transferencia.contador>" + tail;
}

void SoapTextTest::envelopeBytes()
{
    QFETCH(QString, operation);
    QFETCH(Params, params);
    QFETCH(QByteArray, expected);

    QString pieces = GenerateSoapBodyStart() + GenerateSoapFunctionCallStart(operation);
    for (const auto& [name, value] : params)
        pieces += GenerateSoapParameter(name, value);
    pieces += GenerateSoapFunctionCallEnd(operation) + GenerateSoapBodyEnd();

    QCOMPARE(pieces.toUtf8(), expected);
    QCOMPARE(montaEnvelope(operation, params).toUtf8(), expected);
}

void SoapTextTest::valuesSurviveTheRoundTrip_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("markup characters") << QStringLiteral("a & b < c > d ]]> e");
    QTest::newRow("entity-looking text") << QStringLiteral("&amp; &lt;x&gt; &#65;");
    QTest::newRow("quotes, accents, blanks") << QStringLiteral("  D''Ávila \"ç\"  ");
    QTest::newRow("line breaks of both kinds") << QStringLiteral("Rua A\r\nsala 2\rfundos\nfim");
    QTest::newRow("tab and a character beyond the basic plane") << QStringLiteral("a\tb \U0001F600 c");
}

// Parameters sit at the fourth level of the envelope, so the result reader reads them back.
void SoapTextTest::valuesSurviveTheRoundTrip()
{
    QFETCH(QString, value);
    bool failed = true;
    QCOMPARE(
        GetResult(montaEnvelope(QStringLiteral("Op"), {{QStringLiteral("p"), value}}), QStringLiteral("p"), &failed),
        value);
    QVERIFY(!failed);
}

void SoapTextTest::getResult_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("failed");

    QTest::newRow("plain") << answerWith("<return xsi:type=\"xsd:string\">AB12CD34</return>") << "AB12CD34" << false;
    QTest::newRow("blanks kept") << answerWith("<return>  a  b  </return>") << "  a  b  " << false;
    QTest::newRow("empty element") << answerWith("<return/>") << "" << false;
    QTest::newRow("escaped document")
        << answerWith(
               "<return>&lt;?xml version=\"1.0\"?&gt;&lt;listaTransferencias&gt;&lt;transferencia&gt;"
               "&lt;referencia&gt;2025&amp;1&lt;/referencia&gt;&lt;/transferencia&gt;&lt;/listaTransferencias&gt;"
               "</return>")
        << "<?xml version=\"1.0\"?><listaTransferencias><transferencia><referencia>2025&1</referencia>"
           "</transferencia></listaTransferencias>"
        << false;
    QTest::newRow("cdata") << answerWith("<return>x<![CDATA[<a>&amp;</a>]]>y</return>") << "x<a>&amp;</a>y" << false;
    QTest::newRow("child elements give their text") << answerWith("<return>a<b>c</b>d</return>") << "acd" << false;
    QTest::newRow("first match wins") << answerWith("<return>um</return><return>dois</return>") << "um" << false;
    QTest::newRow("shallower return skipped") << "<E><return>raso</return><B><R><return>certo</return></R></B></E>"
                                              << "certo" << false;
    QTest::newRow("declared latin-1, text already decoded")
        << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><E><B><R><return>São</return></R></B></E>"
        << "São" << false;
    QTest::newRow("html page") << "<html><body><h1>500 Internal Server Error</h1><br></body></html>"
                               << "" << true;
    QTest::newRow("well-formed page without return") << "<html><body><p><b>erro</b></p></body></html>"
                                                     << "" << true;
    QTest::newRow("truncated after the result") << answerWith("<return>AB12CD34</return>").chopped(20) << "" << true;
    QTest::newRow("return at depth 3") << "<E><B><return>x</return></B></E>"
                                       << "" << true;
    QTest::newRow("return at depth 5") << answerWith("<w><return>x</return></w>") << "" << true;
    QTest::newRow("other letter case") << answerWith("<Return>x</Return>") << "" << true;
    QTest::newRow("prefixed name") << answerWith("<ns1:return xmlns:ns1=\"u\">x</ns1:return>") << "" << true;
    QTest::newRow("empty answer") << ""
                                  << "" << true;
    QTest::newRow("plain text") << "CHAVE_INVALIDA"
                                << "" << true;

    QString laughs = QStringLiteral("<!DOCTYPE E [<!ENTITY a0 \"ha\">");
    for (int i = 1; i < 10; ++i)
        laughs += QStringLiteral("<!ENTITY a%1 \"%2\">").arg(i).arg(QStringLiteral("&a%1;").arg(i - 1).repeated(10));
    auto nested = [](int levels) {
        return QStringLiteral("<a>").repeated(levels) + QStringLiteral("</a>").repeated(levels);
    };
    QTest::newRow("nesting at the bound")
        << "<E><B><R><return>fundo</return>" + nested(maxXmlNesting - 3) + "</R></B></E>"
        << "fundo" << false;
    QTest::newRow("nesting one past the bound")
        << "<E><B><R><return>fundo</return>" + nested(maxXmlNesting - 2) + "</R></B></E>"
        << "" << true;
    QTest::newRow("100,000 nested elements inside the result")
        << "<E><B><R><return>" + nested(100000) + "</return></R></B></E>"
        << "" << true;
    QTest::newRow("entity bomb") << laughs + "]><E><B><R><return>&a9;</return></R></B></E>"
                                 << "" << true;
}

void SoapTextTest::getResult()
{
    QFETCH(QString, answer);
    QFETCH(QString, expected);
    QFETCH(bool, failed);

    bool readFailed = !failed;
    QCOMPARE(GetResult(answer, QStringLiteral("return"), &readFailed), expected);
    QCOMPARE(readFailed, failed);
    QCOMPARE(GetResult(answer, QStringLiteral("return")), expected); // the flag is optional
}

void SoapTextTest::externalEntityIsNotExpanded()
{
    const QString answer = QStringLiteral("<!DOCTYPE E [<!ENTITY e SYSTEM \"file:///etc/passwd\">"
                                          "<!ENTITY i \"interno\">]><E><B><R><return>[&e;|&i;]</return></R></B></E>");
    bool failed = true;
    QCOMPARE(GetResult(answer, QStringLiteral("return"), &failed), QStringLiteral("[|interno]"));
    QVERIFY(!failed);
}

// Characters that XML forbids never reach the server, whatever was typed or pasted: the envelope
// stays well-formed. A carriage return goes as a reference, which a parser does not turn into a line
// feed.
void SoapTextTest::forbiddenCharactersLeftOut_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("readBack");

    QTest::newRow("controls") << QStringLiteral("a\u0000b\u0001c\u0008d\u000Be\u000Cf\u001Fg")
                              << QByteArray("<p>abcdefg</p>") << QStringLiteral("abcdefg");
    QTest::newRow("tab, line feed and carriage return kept")
        << QStringLiteral("a\tb\nc\rd") << QByteArray("<p>a\tb\nc&#13;d</p>") << QStringLiteral("a\tb\nc\rd");
    QTest::newRow("CR LF") << QStringLiteral("x\r\ny") << QByteArray("<p>x&#13;\ny</p>") << QStringLiteral("x\r\ny");
    QTest::newRow("U+FFFE and U+FFFF") << QStringLiteral("a\uFFFEb\uFFFFc") << QByteArray("<p>abc</p>")
                                       << QStringLiteral("abc");
    QTest::newRow("lone high surrogate") << units({u'a', 0xD83D, u'b'}) << QByteArray("<p>ab</p>")
                                         << QStringLiteral("ab");
    QTest::newRow("lone low surrogate") << units({u'a', 0xDE00, u'b'}) << QByteArray("<p>ab</p>")
                                        << QStringLiteral("ab");
    QTest::newRow("swapped pair") << units({u'a', 0xDE00, 0xD83D, u'b'}) << QByteArray("<p>ab</p>")
                                  << QStringLiteral("ab");
    QTest::newRow("high surrogate at the end")
        << units({u'a', u'b', 0xD83D}) << QByteArray("<p>ab</p>") << QStringLiteral("ab");
    QTest::newRow("whole pair kept") << QStringLiteral("a\U0001F600b")
                                     << QByteArray("<p>a\xF0\x9F\x98\x80"
                                                   "b</p>")
                                     << QStringLiteral("a\U0001F600b");
    QTest::newRow("DEL and C1 controls are allowed") << QStringLiteral("a\u007F\u0085b")
                                                     << QByteArray("<p>a\x7F\xC2\x85"
                                                                   "b</p>")
                                                     << QStringLiteral("a\u007F\u0085b");
    QTest::newRow("control next to markup")
        << QStringLiteral("<\u0002&\u0003>") << QByteArray("<p>&lt;&amp;&gt;</p>") << QStringLiteral("<&>");
}

void SoapTextTest::forbiddenCharactersLeftOut()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, sent);
    QFETCH(QString, readBack);

    QCOMPARE(GenerateSoapParameter(QStringLiteral("p"), value).toUtf8(), sent);
    bool failed = true;
    QCOMPARE(
        GetResult(montaEnvelope(QStringLiteral("Op"), {{QStringLiteral("p"), value}}), QStringLiteral("p"), &failed),
        readBack);
    QVERIFY(!failed);
    QCOMPARE(removeXmlForbiddenCharacters(value), QString(readBack));
}

QTEST_GUILESS_MAIN(SoapTextTest)
#include "SoapTextTest.moc"
