#include "server/RequestHandler.h"
#include "server/Respostas.h"
#include "server/Seed.h"
#include "server/SoapMessage.h"
#include "server/Store.h"
#include "support/VafAccess.h"

#include <memory>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace tervalia::standin;

namespace {

const QDateTime agora(QDate(2026, 3, 5), QTime(14, 30, 0));

const QByteArray seedJson = R"({
  "anoTrabalho": "2025/2026",
  "versao": "1.15.01",
  "empresas": [
    {"ie": "7001234500028", "cnpj": "18.473.625/0001-36", "cnae": "4711-3/02", "simples": false,
     "chave": "K7M2Q9TX", "razaoSocial": "Mercearia Boa Vista Ltda",
     "entregas": [
       {"protocolo": "2024000101", "referencia": "2023/2024", "data": "12/03/2024 10:15:22", "status": 1,
        "adicionado": "1.254.300,00"},
       {"protocolo": "2025000087", "referencia": "2024/2025", "data": "20/02/2025 16:42:05", "status": 2,
        "adicionado": "", "mensagens": [{"protocolo": "2025000087", "detalhe": "GIA 312: total diverge"},
                                          {"detalhe": "Ok"}]}]},
    {"ie": "7025551230008", "cnpj": "09384756000156", "cnae": "5611-2/01", "simples": true,
     "chave": "R2D5L6YB", "razaoSocial": "Restaurante Sabor de Minas ME",
     "entregas": [{"protocolo": "2025000140", "referencia": "PGDAS 2024/2025", "data": "28/03/2025 14:20:10",
                   "status": 1}]},
    {"ie": "7019876540034", "cnpj": "27.485.963/0001-89", "razaoSocial": "Sem Chave Ltda"}
  ]
})";

// The client's envelope layout: no line breaks, an empty default namespace on the operation.
QByteArray envelope(const QString& operation, const QList<QPair<QString, QString>>& params)
{
    QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?><soap12:Envelope "
                                  "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                                  "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
                                  "xmlns:soap12=\"http://www.w3.org/2003/05/soap-envelope\"> <soap12:Body><") +
                   operation + QStringLiteral(" xmlns=\"\">");
    for (const auto& [name, value] : params)
        text += QStringLiteral("<%1>%2</%1>").arg(name, value.toHtmlEscaped());
    return (text + QStringLiteral("</") + operation + QStringLiteral("></soap12:Body></soap12:Envelope>")).toUtf8();
}

// Text of the first element named "return" at the fourth level; null when there is none.
QString returnText(const QByteArray& answer)
{
    QXmlStreamReader xml(answer);
    int depth = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (++depth == 4 && xml.name() == u"return")
                return xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (xml.isEndElement()) {
            --depth;
        }
    }
    return {};
}

HttpRequest post(const QByteArray& target, const QByteArray& body, QList<QPair<QByteArray, QByteArray>> headers = {})
{
    return {"POST", target, "HTTP/1.1", headers, body};
}

QByteArray uploadBody(const QByteArray& content, const QByteArray& boundary = "B0undary")
{
    return "--" + boundary +
           "\r\nContent-Disposition: form-data; name=\"objArquivo\"; filename=\"VAF.GDB\"\r\n"
           "Content-Type: application/octet-stream\r\n\r\n" +
           content + "\r\n--" + boundary + "--";
}

HttpRequest upload(const QByteArray& path, const QByteArray& query, const QByteArray& content)
{
    return {"POST",
            path + "?" + query,
            "HTTP/1.0",
            {{"Content-Type", "multipart/form-data, boundary=B0undary"}},
            uploadBody(content)};
}

const QByteArray accessFile = QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(2000, '\x01');
const QByteArray sqliteFile = QByteArray("SQLite format 3\x00", 16) + QByteArray(4080, '\x01');
const QByteArray goodPdf = "%PDF-1.4\n1 0 obj\n<<>>\nendobj\ntrailer\n<<>>\n%%EOF\n";

struct Server
{
    QTemporaryDir dir;
    std::unique_ptr<Store> store;
    std::unique_ptr<RequestHandler> handler;

    Server()
    {
        store = std::make_unique<Store>(dir.filePath(QStringLiteral("estado/servidor.db")));
        store->aplicarSemente(parseSeed(seedJson));
        handler = std::make_unique<RequestHandler>(*store, [] { return agora; });
    }

    HttpResponse call(const QString& operation, const QList<QPair<QString, QString>>& params)
    {
        return handler->handle(
            post("/ravu/server/index.php?wsdl", envelope(operation, params), {{"SOAPAction", operation.toUtf8()}}));
    }

    QString result(const QString& operation, const QList<QPair<QString, QString>>& params)
    {
        const HttpResponse r = call(operation, params);
        return r.status == 200 ? returnText(r.body) : QString();
    }

    QString historico(const QString& ie, const QString& chave)
    {
        return result(QStringLiteral("Transferencia.ver2"),
                      {{"strNome", ie}, {"strDiretorioDestino", "vbs"}, {"Chave", chave}});
    }
};

// Rows of a history document, read the way the main window reads them.
QList<QMap<QString, QString>> historyRows(const QString& document)
{
    QList<QMap<QString, QString>> rows;
    QXmlStreamReader xml(document);
    if (!xml.readNextStartElement() || xml.name() != u"listaTransferencias")
        return {};
    while (xml.readNextStartElement()) {
        QMap<QString, QString> row;
        while (xml.readNextStartElement())
            row.insert(xml.name().toString(), xml.readElementText());
        rows.append(row);
    }
    return xml.hasError() ? QList<QMap<QString, QString>>() : rows;
}

// (PROTOCOLO attribute or "-", DETALHE text) of each message of a details document.
QList<QPair<QString, QString>> detailMessages(const QString& document)
{
    QList<QPair<QString, QString>> messages;
    QXmlStreamReader xml(document);
    xml.readNextStartElement();
    while (xml.readNextStartElement()) {
        const QString protocolo = xml.attributes().hasAttribute(QStringLiteral("PROTOCOLO"))
                                      ? xml.attributes().value(QStringLiteral("PROTOCOLO")).toString()
                                      : QStringLiteral("-");
        QString detalhe;
        while (xml.readNextStartElement()) {
            if (xml.name() == u"DETALHE")
                detalhe = xml.readElementText();
            else
                xml.skipCurrentElement();
        }
        messages.append({protocolo, detalhe});
    }
    return xml.hasError() ? QList<QPair<QString, QString>>{{"erro", xml.errorString()}} : messages;
}

} // namespace

class AnswersTest : public QObject
{
    Q_OBJECT

private slots:
    void keyAnswerPositions_data();
    void keyAnswerPositions();
    void historyAnswerPositions_data();
    void historyAnswerPositions();
    void historyRowsReadBack();
    void detailsDocument();
    void soapAnswerCarriesTextAtFourthLevel();
    void readsSoapCall_data();
    void readsSoapCall();

    void ecnpj_data();
    void ecnpj();
    void ver2_data();
    void ver2();
    void verDetails_data();
    void verDetails();
    void contadorStoresTheTwelveFields();
    void badServiceCalls_data();
    void badServiceCalls();

    void vafUploadBecomesDelivery_data();
    void vafUploadBecomesDelivery();
    void simplesUploadMarkers_data();
    void simplesUploadMarkers();
    void uploadWithUnknownKeyIsKeptButNotDelivered();
    void badUploads_data();
    void badUploads();
    void receiptPage_data();
    void receiptPage();

    void seedErrors_data();
    void seedErrors();
    void seedAppliedAgainKeepsStateAndKeys();
    void unusableStateFile();
};

void AnswersTest::keyAnswerPositions_data()
{
    QTest::addColumn<bool>("simples");
    QTest::addColumn<QString>("chave");
    QTest::addColumn<QString>("flag");

    QTest::newRow("debit and credit") << false << "K7M2Q9TX"
                                      << "N";
    QTest::newRow("Simples Nacional") << true << "R2D5L6YB"
                                      << "S";
}

void AnswersTest::keyAnswerPositions()
{
    QFETCH(bool, simples);
    QFETCH(QString, chave);
    QFETCH(QString, flag);

    const QString answer = respostaChave(agora, simples, chave);
    QCOMPARE(answer.mid(20, 19), QStringLiteral("05/03/2026 14:30:00")); // positions 21-39
    QCOMPARE(answer.mid(50, 1), flag);                                   // position 51
    QCOMPARE(answer.mid(60, 8), chave);                                  // positions 61-68
    QCOMPARE(answer,
             QStringLiteral("DATAHORA_SERVIDOR = 05/03/2026 14:30:00 SIMPLES = %1 CHAVE = %2").arg(flag, chave));
}

void AnswersTest::historyAnswerPositions_data()
{
    QTest::addColumn<QString>("ano");
    QTest::addColumn<QString>("versao");

    QTest::newRow("usual") << "2025/2026"
                           << "1.15.01";
    QTest::newRow("version of 20 characters") << "2013/2014"
                                              << "12345678901234567890";
    QTest::newRow("version of one character") << "2025/2026"
                                              << "9";
}

void AnswersTest::historyAnswerPositions()
{
    QFETCH(QString, ano);
    QFETCH(QString, versao);

    const QString answer = respostaHistorico(agora, ano, versao, {{"2024/2025", "01/02/2025 10:00:00", "1", 1, ""}});
    QCOMPARE(answer.mid(31, 19), QStringLiteral("05/03/2026 14:30:00")); // position 32
    QCOMPARE(answer.mid(58, 9), ano);                                    // position 59
    QCOMPARE(answer.mid(77, 20), versao.leftJustified(20));              // position 78
    QCOMPARE(historyRows(answer).size(), 1);
}

void AnswersTest::historyRowsReadBack()
{
    const QList<LinhaHistorico> linhas{{"2023/2024", "12/03/2024 10:15:22", "2024000101", 1, "1.254.300,00"},
                                       {"A & B <c>", "20/02/2025 16:42:05", "2025000087", 2, ""},
                                       {"", "", "", 1, ""}};
    const auto rows = historyRows(respostaHistorico(agora, "2025/2026", "1.15.01", linhas));
    QCOMPARE(rows.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(rows[i].value("referencia"), linhas[i].referencia);
        QCOMPARE(rows[i].value("data"), linhas[i].data);
        QCOMPARE(rows[i].value("protocolo"), linhas[i].protocolo);
        QCOMPARE(rows[i].value("status"), QString::number(linhas[i].status));
        QCOMPARE(rows[i].value("adicionado"), linhas[i].adicionado);
    }
    QVERIFY(historyRows(respostaHistorico(agora, "2025/2026", "1.15.01", {})).isEmpty());
}

void AnswersTest::detailsDocument()
{
    const QString document = respostaDetalhes({{"2025000087", "GIA 312: total < DAPI & \"outros\""}, {"", "Ok"}});
    const auto messages = detailMessages(document);
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages[0],
             qMakePair(QStringLiteral("2025000087"), QStringLiteral("GIA 312: total < DAPI & \"outros\"")));
    QCOMPARE(messages[1], qMakePair(QStringLiteral("-"), QStringLiteral("Ok"))); // no attribute at all
    QVERIFY(detailMessages(respostaDetalhes({})).isEmpty());
}

void AnswersTest::soapAnswerCarriesTextAtFourthLevel()
{
    const QString text = QStringLiteral("<listaTransferencias a=\"1\">&amp; ç\r\n\t</listaTransferencias>");
    QCOMPARE(returnText(soapResponse(QStringLiteral("Transferencia.ver2"), text)), text);
    QVERIFY(returnText(soapFault(QStringLiteral("falha"))).isNull());
    // A character XML cannot carry does not break the answer.
    QCOMPARE(returnText(soapResponse(QStringLiteral("Transferencia.ver"), QStringLiteral("a\x01z"))),
             QStringLiteral("a\uFFFDz"));
}

void AnswersTest::readsSoapCall_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("chave"); // the "Chave" parameter; "ERRO" when the call must be refused

    const QByteArray ver2 = envelope("Transferencia.ver2", {{"strNome", "1"}, {"Chave", "A&B<C>"}});
    QTest::newRow("client envelope") << ver2 << QByteArray("Transferencia.ver2") << "Transferencia.ver2"
                                     << "A&B<C>";
    QTest::newRow("quoted action") << ver2 << QByteArray("\"Transferencia.ver2\"") << "Transferencia.ver2"
                                   << "A&B<C>";
    QTest::newRow("operation from the element") << ver2 << QByteArray() << "Transferencia.ver2"
                                                << "A&B<C>";
    QTest::newRow("header element and prefixes")
        << QByteArray(
               "<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\"><e:Header><x/></e:Header>"
               "<e:Body><t:Transferencia.ver xmlns:t=\"urn:t\"><Chave><![CDATA[K1]]></Chave></t:Transferencia.ver>"
               "</e:Body></e:Envelope>")
        << QByteArray() << "Transferencia.ver"
        << "K1";
    QTest::newRow("not XML") << QByteArray("<html><body>oi") << QByteArray("Transferencia.ver2") << ""
                             << "ERRO";
    QTest::newRow("empty") << QByteArray() << QByteArray("Transferencia.ver2") << ""
                           << "ERRO";
    QTest::newRow("no body element") << QByteArray("<Envelope><Header/></Envelope>") << QByteArray() << ""
                                     << "ERRO";
    QTest::newRow("entity declarations")
        << QByteArray("<!DOCTYPE Envelope [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><Envelope><Body>"
                      "<Transferencia.ver2><Chave>&e;</Chave></Transferencia.ver2></Body></Envelope>")
        << QByteArray() << ""
        << "ERRO";
    QTest::newRow("unescaped ampersand") << QByteArray("<Envelope><Body><op><Chave>a&b</Chave></op></Body></Envelope>")
                                         << QByteArray() << ""
                                         << "ERRO";
}

void AnswersTest::readsSoapCall()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, action);
    QFETCH(QString, operation);
    QFETCH(QString, chave);

    const SoapParse parse = parseSoapCall(body, action);
    if (chave == u"ERRO") {
        QVERIFY(!parse.ok());
        return;
    }
    QVERIFY2(parse.ok(), qPrintable(parse.error));
    QCOMPARE(parse.call.operation, operation);
    QCOMPARE(parse.call.param(QStringLiteral("Chave")), chave);
}

void AnswersTest::ecnpj_data()
{
    QTest::addColumn<QString>("ie");
    QTest::addColumn<QString>("cnpj");
    QTest::addColumn<QString>("codigo");
    QTest::addColumn<QString>("expected"); // key and flag "K7M2Q9TX N", or the refusal

    QTest::newRow("known company") << "7001234500028"
                                   << "18.473.625/0001-36"
                                   << "!QORTELUNA!"
                                   << "K7M2Q9TX N";
    QTest::newRow("CNPJ without punctuation") << "7001234500028"
                                              << "18473625000136"
                                              << "!QORTELUNA!"
                                              << "K7M2Q9TX N";
    QTest::newRow("Simples Nacional company") << "7025551230008"
                                              << "09.384.756/0001-56"
                                              << "!QORTELUNA!"
                                              << "R2D5L6YB S";
    QTest::newRow("unknown IE") << "7001234500036"
                                << "18.473.625/0001-36"
                                << "!QORTELUNA!"
                                << "NAO_AUTORIZADO";
    QTest::newRow("CNPJ of another company") << "7001234500028"
                                             << "09.384.756/0001-56"
                                             << "!QORTELUNA!"
                                             << "NAO_AUTORIZADO";
    QTest::newRow("wrong access code") << "7001234500028"
                                       << "18.473.625/0001-36"
                                       << "!qorteluna!"
                                       << "NAO_AUTORIZADO";
    QTest::newRow("no access code") << "7001234500028"
                                    << "18.473.625/0001-36"
                                    << ""
                                    << "NAO_AUTORIZADO";
    QTest::newRow("empty fields") << ""
                                  << ""
                                  << "!QORTELUNA!"
                                  << "NAO_AUTORIZADO";
}

void AnswersTest::ecnpj()
{
    QFETCH(QString, ie);
    QFETCH(QString, cnpj);
    QFETCH(QString, codigo);
    QFETCH(QString, expected);

    Server server;
    const QString answer = server.result("Transferencia.ecnpj", {{"ie", ie}, {"cnpj", cnpj}, {"key", codigo}});
    if (expected == u"NAO_AUTORIZADO") {
        QVERIFY2(answer.contains(expected), qPrintable(answer));
        return;
    }
    QCOMPARE(answer.mid(20, 19), QStringLiteral("05/03/2026 14:30:00"));
    QCOMPARE(answer.mid(60, 8) + u' ' + answer.mid(50, 1), expected);
}

void AnswersTest::ver2_data()
{
    QTest::addColumn<QString>("ie");
    QTest::addColumn<QString>("chave");
    QTest::addColumn<QStringList>("protocolos"); // empty: refused with CHAVE_INVALIDA

    QTest::newRow("company with two deliveries") << "7001234500028"
                                                 << "K7M2Q9TX" << QStringList{"2024000101", "2025000087"};
    QTest::newRow("key of another company") << "7001234500028"
                                            << "R2D5L6YB" << QStringList();
    QTest::newRow("key in other letter case") << "7001234500028"
                                              << "k7m2q9tx" << QStringList();
    QTest::newRow("unknown IE") << "7001234500036"
                                << "K7M2Q9TX" << QStringList();
    QTest::newRow("empty key") << "7001234500028"
                               << "" << QStringList();
}

void AnswersTest::ver2()
{
    QFETCH(QString, ie);
    QFETCH(QString, chave);
    QFETCH(QStringList, protocolos);

    Server server;
    const QString answer = server.historico(ie, chave);
    if (protocolos.isEmpty()) {
        QCOMPARE(answer, QStringLiteral("CHAVE_INVALIDA"));
        return;
    }
    QCOMPARE(answer.mid(31, 19), QStringLiteral("05/03/2026 14:30:00"));
    QCOMPARE(answer.mid(58, 9), QStringLiteral("2025/2026"));
    QCOMPARE(answer.mid(77, 20), QStringLiteral("1.15.01").leftJustified(20));
    QStringList got;
    for (const auto& row : historyRows(answer))
        got.append(row.value("protocolo"));
    QCOMPARE(got, protocolos);
}

void AnswersTest::verDetails_data()
{
    QTest::addColumn<QString>("protocolo");
    QTest::addColumn<QString>("chave");
    QTest::addColumn<QStringList>("detalhes");

    QTest::newRow("delivery with messages") << "2025000087"
                                            << "K7M2Q9TX" << QStringList{"2025000087 GIA 312: total diverge", "- Ok"};
    QTest::newRow("delivery without messages") << "2024000101"
                                               << "K7M2Q9TX" << QStringList();
    QTest::newRow("key of another company") << "2025000087"
                                            << "R2D5L6YB" << QStringList{"- Entrega não encontrada para esta chave."};
    QTest::newRow("unknown protocol") << "999"
                                      << "K7M2Q9TX" << QStringList{"- Entrega não encontrada para esta chave."};
}

void AnswersTest::verDetails()
{
    QFETCH(QString, protocolo);
    QFETCH(QString, chave);
    QFETCH(QStringList, detalhes);

    Server server;
    const QString answer =
        server.result("Transferencia.ver", {{"strNome", protocolo}, {"strDiretorioDestino", "vbs"}, {"Chave", chave}});
    QStringList got;
    for (const auto& [p, d] : detailMessages(answer))
        got.append(p + u' ' + d);
    QCOMPARE(got, detalhes);
}

void AnswersTest::contadorStoresTheTwelveFields()
{
    const QStringList names{"thisCont_cpf_cnpj",     "thisCont_num_crc",      "thisCont_razao_nome",
                            "thisCont_nom_endereco", "thisCont_num_endereco", "thisCont_complemento",
                            "thisCont_nom_bairro",   "thisCont_nom_cidade",   "thisCont_nom_estado",
                            "thisCont_num_telefone", "thisCont_num_cep",      "thisCont_email"};
    const QStringList sent{"123.456.789-09", "MG-12345",       "Ana D''Avila", "Rua A & B", "10",
                           "<sala 2>",       "Centro",         "Ostare",       "MG",        "(31) 3333-4444",
                           "35000-000",      "ana@example.com"};
    QList<QPair<QString, QString>> params;
    for (int i = 0; i < 12; ++i)
        params.append({names[i], sent[i]});

    Server server;
    QVERIFY(!server.result("Transferencia.contador", params).isEmpty());
    QStringList stored = sent;
    stored[2] = QStringLiteral("Ana D'Avila"); // the window's quote doubling is undone
    QCOMPARE(server.store->contadores(), QList<QStringList>{stored});
}

void AnswersTest::badServiceCalls_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<int>("status");

    const QByteArray good = envelope("Transferencia.ver2", {});
    QTest::newRow("GET") << QByteArray("GET") << QByteArray() << QByteArray() << 405;
    QTest::newRow("unknown operation") << QByteArray("POST") << good << QByteArray("Transferencia.apaga") << 500;
    QTest::newRow("HTML instead of SOAP") << QByteArray("POST") << QByteArray("<html>") << QByteArray() << 500;
}

void AnswersTest::badServiceCalls()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, action);
    QFETCH(int, status);

    Server server;
    const HttpResponse r =
        server.handler->handle({method, "/ravu/server/index.php?wsdl", "HTTP/1.1", {{"SOAPAction", action}}, body});
    QCOMPARE(r.status, status);
    QVERIFY(returnText(r.body).isNull());
}

void AnswersTest::vafUploadBecomesDelivery_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("gias");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("mensagens");

    const QString naoVaf = QStringLiteral("- O arquivo enviado não é um banco de dados do VAF-MG.");
    const QByteArray vaf = tervalia::test::vafAccess({{"7001234500028", {101, 102}}, {"7009999900011", {103}}});
    QVERIFY(!vaf.isEmpty());
    QTest::newRow("Access database holding the documents") << vaf << QByteArray("101,102") << 1 << QStringList();
    QTest::newRow("a document of another company")
        << vaf << QByteArray("101,103") << 2
        << QStringList{"- A GIA 103 não consta do banco de dados enviado para a inscrição estadual 7001234500028."};
    QTest::newRow("Access database without the company")
        << tervalia::test::vafAccess({{"7009999900011", {101}}}) << QByteArray("101") << 2
        << QStringList{"- O banco de dados enviado não contém a inscrição estadual 7001234500028."};
    QTest::newRow("an Access signature only") << accessFile << QByteArray("101") << 2 << QStringList{naoVaf};
    QTest::newRow("SQLite database") << sqliteFile << QByteArray("101") << 2 << QStringList{naoVaf};
    QTest::newRow("not a database") << QByteArray("texto") << QByteArray("101") << 2 << QStringList{naoVaf};
    QTest::newRow("empty file, no documents")
        << QByteArray() << QByteArray() << 2
        << QStringList{"- Nenhuma GIA foi informada na entrega.", "- O arquivo enviado está vazio."};
}

void AnswersTest::vafUploadBecomesDelivery()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, gias);
    QFETCH(int, status);
    QFETCH(QStringList, mensagens);

    Server server;
    const HttpResponse r = server.handler->handle(
        upload("/client/xt_upload.php", "contador=123.456.789-09&chave=K7M2Q9TX&gias=" + gias, file));
    QCOMPARE(r.status, 200);
    QCOMPARE(r.body, status == 1 ? QByteArray("ENTREGA RECEBIDA - PROTOCOLO 2026000004\r\n")
                                 : QByteArray("ENTREGA RECUSADA - PROTOCOLO 2026000004\r\n"));

    const auto rows = historyRows(server.historico("7001234500028", "K7M2Q9TX"));
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.last().value("protocolo"), QStringLiteral("2026000004"));
    QCOMPARE(rows.last().value("referencia"), QStringLiteral("2025/2026"));
    QCOMPARE(rows.last().value("data"), QStringLiteral("05/03/2026 14:30:00"));
    QCOMPARE(rows.last().value("status"), QString::number(status));

    QStringList got;
    const QString details = server.result("Transferencia.ver", {{"strNome", "2026000004"}, {"Chave", "K7M2Q9TX"}});
    for (const auto& [p, d] : detailMessages(details))
        got.append(p + u' ' + d);
    QCOMPARE(got, mensagens);

    const Envio envio = server.store->envios().last();
    QCOMPARE(envio.conteudo, file);
    QCOMPARE(envio.nomeArquivo, QStringLiteral("VAF.GDB"));
    QCOMPARE(envio.contador, QStringLiteral("123.456.789-09"));
    QCOMPARE(envio.gias, QString::fromLatin1(gias));
}

void AnswersTest::simplesUploadMarkers_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("answer");

    QTest::newRow("a PDF as produced") << goodPdf << "ENTREGA RECEBIDA - PROTOCOLO 2026000004";
    QTest::newRow("not a PDF") << QByteArray("GIF89a") << "ARQUIVO INVALIDO - EXTRATO";
    QTest::newRow("empty file") << QByteArray() << "ARQUIVO INVALIDO - EXTRATO";
    QTest::newRow("a receipt") << QByteArray("%PDF-1.4\n(RECIBO DE ENTREGA)\n%%EOF\n") << "ARQUIVO INVALIDO - RECIBO";
    QTest::newRow("saved again after produced") << goodPdf + "1 0 obj\n<<>>\n%%EOF\n"
                                                << "ARQUIVO INVALIDO - MODIFICADO";
    QTest::newRow("cut short") << goodPdf.left(20) << "ARQUIVO INVALIDO - MODIFICADO";
}

void AnswersTest::simplesUploadMarkers()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, answer);

    Server server;
    const HttpResponse r =
        server.handler->handle(upload("/client/xt_upload_simples.php", "contador=1&chave=R2D5L6YB&gias=", file));
    QCOMPARE(r.status, 200);
    QCOMPARE(QString::fromUtf8(r.body), answer + QStringLiteral("\r\n"));
    const bool accepted = answer.startsWith(u"ENTREGA");
    QCOMPARE(historyRows(server.historico("7025551230008", "R2D5L6YB")).size(), accepted ? 2 : 1);
    QCOMPARE(server.store->envios().size(), 1); // kept either way
}

void AnswersTest::uploadWithUnknownKeyIsKeptButNotDelivered()
{
    Server server;
    const HttpResponse r =
        server.handler->handle(upload("/client/xt_upload.php", "contador=1&chave=XXXXXXXX&gias=1", accessFile));
    QCOMPARE(r.status, 200);
    QVERIFY(r.body.startsWith("CHAVE_INVALIDA"));
    QCOMPARE(historyRows(server.historico("7001234500028", "K7M2Q9TX")).size(), 2);
    QCOMPARE(server.store->envios().size(), 1);
    QCOMPARE(server.store->envios().first().resposta, QString::fromUtf8(r.body.trimmed()));
}

void AnswersTest::badUploads_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");

    const QByteArray multipart = "multipart/form-data, boundary=B0undary";
    QTest::newRow("GET") << QByteArray("GET") << multipart << QByteArray() << 405;
    QTest::newRow("no boundary") << QByteArray("POST") << QByteArray("multipart/form-data") << uploadBody("x") << 400;
    QTest::newRow("not multipart") << QByteArray("POST") << QByteArray("text/plain") << uploadBody("x") << 400;
    QTest::newRow("truncated body") << QByteArray("POST") << multipart << uploadBody("xyz").chopped(5) << 400;
    QTest::newRow("other boundary in the body") << QByteArray("POST") << multipart << uploadBody("x", "Outro") << 400;
    QTest::newRow("no file part")
        << QByteArray("POST") << multipart
        << QByteArray("--B0undary\r\nContent-Disposition: form-data; name=\"campo\"\r\n\r\nv\r\n--B0undary--") << 400;
}

void AnswersTest::badUploads()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(int, status);

    Server server;
    const HttpResponse r = server.handler->handle({method,
                                                   "/client/xt_upload.php?contador=1&chave=K7M2Q9TX&gias=1",
                                                   "HTTP/1.0",
                                                   {{"Content-Type", contentType}},
                                                   body});
    QCOMPARE(r.status, status);
    QVERIFY(r.contentType.startsWith("text/html; charset=utf-8"));
    QCOMPARE(historyRows(server.historico("7001234500028", "K7M2Q9TX")).size(), 2);
    QVERIFY(server.store->envios().isEmpty());
}

void AnswersTest::receiptPage_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("shows");

    QTest::newRow("reference as the client sends it")
        << QByteArray("/protocoloDown.php?IE=7001234500028&key=K7M2Q9TX&ref=2024/2025") << 200 << "2025000087";
    QTest::newRow("messages on the receipt")
        << QByteArray("/protocoloDown.php?IE=7001234500028&key=K7M2Q9TX&ref=2024/2025") << 200
        << "GIA 312: total diverge";
    QTest::newRow("reference with blanks, sent without")
        << QByteArray("/protocoloDown.php?IE=7025551230008&key=R2D5L6YB&ref=PGDAS2024/2025") << 200
        << "Simples Nacional (PGDAS)";
    QTest::newRow("wrong key") << QByteArray("/protocoloDown.php?IE=7001234500028&key=R2D5L6YB&ref=2024/2025") << 404
                               << "Protocolo não encontrado";
    QTest::newRow("no reference") << QByteArray("/protocoloDown.php?IE=7001234500028&key=K7M2Q9TX&ref=") << 404
                                  << "Confira a inscrição estadual";
    QTest::newRow("no query") << QByteArray("/protocoloDown.php") << 404 << "Protocolo não encontrado";
    QTest::newRow("unknown page") << QByteArray("/index.html") << 404 << "Página não encontrada";
}

void AnswersTest::receiptPage()
{
    QFETCH(QByteArray, target);
    QFETCH(int, status);
    QFETCH(QString, shows);

    Server server;
    const HttpResponse r = server.handler->handle({"GET", target, "HTTP/1.1", {}, {}});
    QCOMPARE(r.status, status);
    QCOMPARE(r.contentType, QByteArray("text/html; charset=utf-8"));
    QVERIFY2(QString::fromUtf8(r.body).contains(shows), r.body.constData());
}

void AnswersTest::seedErrors_data()
{
    QTest::addColumn<QByteArray>("json");

    QTest::newRow("not JSON") << QByteArray("{\"anoTrabalho\": ");
    QTest::newRow("a list") << QByteArray("[]");
    QTest::newRow("year of 4 characters") << QByteArray(R"({"anoTrabalho": "2026", "versao": "1"})");
    QTest::newRow("version of 21 characters")
        << QByteArray(R"({"anoTrabalho": "2025/2026", "versao": "123456789012345678901"})");
    QTest::newRow("quote in the version") << QByteArray(R"({"anoTrabalho": "2025/2026", "versao": "1\"2"})");
    QTest::newRow("IE of 12 digits") << QByteArray(R"({"anoTrabalho": "2025/2026", "versao": "1", "empresas":
        [{"ie": "700123450002", "cnpj": "18473625000136", "razaoSocial": "X"}]})");
    QTest::newRow("key of 7 characters") << QByteArray(R"({"anoTrabalho": "2025/2026", "versao": "1", "empresas":
        [{"ie": "7001234500028", "cnpj": "18473625000136", "razaoSocial": "X", "chave": "ABCDEFG"}]})");
    QTest::newRow("same key twice") << QByteArray(R"({"anoTrabalho": "2025/2026", "versao": "1", "empresas":
        [{"ie": "7001234500028", "cnpj": "18473625000136", "razaoSocial": "X", "chave": "ABCDEFGH"},
         {"ie": "7019876540034", "cnpj": "27485963000189", "razaoSocial": "Y", "chave": "ABCDEFGH"}]})");
    QTest::newRow("status as text") << QByteArray(R"({"anoTrabalho": "2025/2026", "versao": "1", "empresas":
        [{"ie": "7001234500028", "cnpj": "18473625000136", "razaoSocial": "X", "entregas":
          [{"protocolo": "1", "referencia": "r", "data": "01/01/2025 10:00:00", "status": "1"}]}]})");
    QTest::newRow("date in another form") << QByteArray(R"({"anoTrabalho": "2025/2026", "versao": "1", "empresas":
        [{"ie": "7001234500028", "cnpj": "18473625000136", "razaoSocial": "X", "entregas":
          [{"protocolo": "1", "referencia": "r", "data": "2025-01-01", "status": 1}]}]})");
}

void AnswersTest::seedErrors()
{
    QFETCH(QByteArray, json);
    QVERIFY_THROWS_EXCEPTION(SeedError, parseSeed(json));
}

void AnswersTest::seedAppliedAgainKeepsStateAndKeys()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("servidor.db"));
    QString generated;
    {
        Store store(path);
        store.aplicarSemente(parseSeed(seedJson));
        generated = store.empresa(QStringLiteral("7019876540034"))->chave;
        QVERIFY(QRegularExpression(QStringLiteral("^[A-Z0-9]{8}$")).match(generated).hasMatch());
        Entrega e;
        e.ie = QStringLiteral("7001234500028");
        e.tipo = QStringLiteral("vaf");
        QCOMPARE(store.criarEntrega(e, {}, 0, 2026), QStringLiteral("2026000004"));
    }
    Store store(path);
    store.aplicarSemente(parseSeed(seedJson));
    QCOMPARE(store.empresa(QStringLiteral("7019876540034"))->chave, generated);
    QCOMPARE(store.entregas(QStringLiteral("7001234500028")).size(), 3);
    QCOMPARE(store.mensagens(store.entrega(QStringLiteral("2025000087"))->id).size(), 2);
}

void AnswersTest::unusableStateFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lixo.db"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    QVERIFY_THROWS_EXCEPTION(StoreError, Store{path});
}

QTEST_GUILESS_MAIN(AnswersTest)
#include "AnswersTest.moc"
