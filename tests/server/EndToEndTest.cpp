// The real client against the real tervalia-server executable, over loopback.
#include "app/Historico.h"
#include "app/Principal.h"
#include "net/Servidor.h"
#include "net/Soap.h"
#include "net/UrlHelper.h"
#include "support/StandInServer.h"
#include "support/TestProgramDir.h"
#include "support/VafAccess.h"

#include <memory>
#include <QFile>
#include <QTcpSocket>
#include <QTest>
#include <QXmlStreamReader>

using namespace tervalia;
namespace op = servidor::operacao;

namespace {

const QString mercearia = QStringLiteral("7001234500028");
const QString chaveMercearia = QStringLiteral("K7M2Q9TX");
const QString restaurante = QStringLiteral("7025551230008");
const QString chaveRestaurante = QStringLiteral("R2D5L6YB");
const QString relogio = QStringLiteral("05/03/2026 14:30:00");

// A failed exchange fails the test instead of ending the test program.
QString envia(const QString& operation, const QString& envelope)
{
    try {
        return EnviaSoap(operation, envelope);
    } catch (const SoapError& e) {
        QTest::qFail(qPrintable(QStringLiteral("EnviaSoap: ") + e.description()), __FILE__, __LINE__);
        return {};
    }
}

QString chamada(const QString& operation, const QList<QPair<QString, QString>>& params)
{
    return envia(operation, montaEnvelope(operation, params));
}

QString pedeHistorico(const QString& ie, const QString& chave)
{
    return chamada(op::historico, {{"strNome", ie}, {"strDiretorioDestino", "vbs"}, {"Chave", chave}});
}

QString resultado(const QString& answer)
{
    bool failed = true;
    const QString text = GetResult(answer, QStringLiteral("return"), &failed);
    if (failed)
        qWarning("GetResult failed on: %s", qPrintable(answer.left(300)));
    return text;
}

// (protocolo, status) of each delivery of a history document, read by the program's own reader.
QList<QPair<QString, QString>> entregas(const QString& document)
{
    QList<QPair<QString, QString>> rows;
    try {
        for (const tervalia::historico::Linha& linha : tervalia::historico::lerTransferencias(document))
            rows.append({linha[PainelHistorico::ColProtocolo], linha[PainelHistorico::ColStatus]});
    } catch (const tervalia::historico::XmlError& error) {
        qWarning("history not well-formed: %s", qPrintable(error.motivo()));
    }
    return rows;
}

// The upload request exactly as the delivery windows write it, from the address they form: the
// path follows the port after a blank, HTTP/1.0, the host alone, a comma before the boundary, and
// no line break after the closing delimiter.
QByteArray montaUpload(quint16 port, const QString& pathAndQuery, const QByteArray& fileName, const QByteArray& content)
{
    const UrlParts url = SplitUrl(QStringLiteral("http://127.0.0.1:%1 %2").arg(port).arg(pathAndQuery));
    const QByteArray boundary = "Qz7Lm2Np4Rs6Tv8Xw0Yb1Cd3Ef5Gh9Jk";
    const QByteArray body = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"objArquivo\"; filename=\"" +
                            fileName + "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + content + "\r\n--" +
                            boundary + "--";
    return "POST " + url.Path.toLatin1() + "?" + url.Query.toLatin1() + " HTTP/1.0\r\nHost: " + url.Host.toLatin1() +
           "\r\nContent-Type: multipart/form-data, boundary=" + boundary +
           "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QByteArray exchange(quint16 port, const QByteArray& request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(10000))
        return {};
    socket.write(request);
    QByteArray answer;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(20000))
        answer += socket.readAll();
    return answer + socket.readAll();
}

QString protocoloDaResposta(const QByteArray& answer)
{
    // Accepted or refused, a delivery gets its protocol number.
    const QByteArray marker = " - PROTOCOLO ";
    const qsizetype at = answer.indexOf(marker);
    return at < 0 ? QString() : QString::fromLatin1(answer.mid(at + marker.size(), 10));
}

} // namespace

class EndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void keyForKnownCompany_data();
    void keyForKnownCompany();
    void keyRefused_data();
    void keyRefused();
    void historyPositionsAndRows();
    void historyRejectsWrongKey();
    void detailsOfDelivery();
    void accountantStored();
    void getResultOnRefusedCalls_data();
    void getResultOnRefusedCalls();
    void vafUploadShowsInHistory_data();
    void vafUploadShowsInHistory();
    void simplesUploads_data();
    void simplesUploads();
    void receiptPage();
    void badRequestsGet400AndServerGoesOn_data();
    void badRequestsGet400AndServerGoesOn();

private:
    std::unique_ptr<test::StandInServer> m_server;
    quint16 m_port = 0;
    std::unique_ptr<test::TestProgramDir> m_program;
};

void EndToEndTest::initTestCase()
{
    m_server = std::make_unique<test::StandInServer>(
        QStringList{"--seed", QStringLiteral(TERVALIA_SOURCE_DIR "/tools/server/demo-seed.json"), "--clock", relogio});
    m_port = m_server->port();
    QVERIFY(m_port > 0 && m_port <= 32767); // the upload client cannot reach higher ports

    m_program = std::make_unique<test::TestProgramDir>();
    m_program->writeSettings(QStringLiteral("127.0.0.1"), QString::number(m_port));
}

void EndToEndTest::cleanupTestCase()
{
    m_program.reset();
    m_server.reset();
}

void EndToEndTest::keyForKnownCompany_data()
{
    QTest::addColumn<QString>("ie");
    QTest::addColumn<QString>("cnpj");
    QTest::addColumn<QString>("chave");
    QTest::addColumn<QString>("simples");

    QTest::newRow("debit and credit") << mercearia << "18.473.625/0001-36" << chaveMercearia << "N";
    QTest::newRow("Simples Nacional") << restaurante << "09.384.756/0001-56" << chaveRestaurante << "S";
}

void EndToEndTest::keyForKnownCompany()
{
    QFETCH(QString, ie);
    QFETCH(QString, cnpj);
    QFETCH(QString, chave);
    QFETCH(QString, simples);

    const QString answer = chamada(op::chave, {{"ie", ie}, {"cnpj", cnpj}, {"key", "!QORTELUNA!"}});
    QVERIFY(!answer.contains(servidor::chave::naoAutorizado));
    const QString key = resultado(answer);
    QCOMPARE(key.mid(20, 19), relogio); // 21-39
    QCOMPARE(key.mid(50, 1), simples);  // 51
    QCOMPARE(key.mid(60, 8), chave);    // 61-68
    QTRY_VERIFY(!m_server->log()
                     .filter(QStringLiteral("POST /ravu/server/index.php 200 Transferencia.ecnpj: chave ") + chave)
                     .isEmpty());
}

void EndToEndTest::keyRefused_data()
{
    QTest::addColumn<QString>("ie");
    QTest::addColumn<QString>("cnpj");
    QTest::addColumn<QString>("codigo");

    QTest::newRow("unknown company") << "7001234500036"
                                     << "11.222.333/0001-81"
                                     << "!QORTELUNA!";
    QTest::newRow("wrong access code") << mercearia << "18.473.625/0001-36"
                                       << "QORTELUNA";
}

void EndToEndTest::keyRefused()
{
    QFETCH(QString, ie);
    QFETCH(QString, cnpj);
    QFETCH(QString, codigo);

    const QString answer = chamada(op::chave, {{"ie", ie}, {"cnpj", cnpj}, {"key", codigo}});
    QVERIFY2(answer.contains(servidor::chave::naoAutorizado), qPrintable(answer));
}

void EndToEndTest::historyPositionsAndRows()
{
    const QString answer = pedeHistorico(mercearia, chaveMercearia);
    QVERIFY(!answer.contains(servidor::historico::marcaChaveRecusada));
    const QString document = resultado(answer);
    QCOMPARE(document.mid(31, 19), relogio);                                     // 32
    QCOMPARE(document.mid(58, 9), QStringLiteral("2025/2026"));                  // 59
    QCOMPARE(document.mid(77, 20), QStringLiteral("1.15.01").leftJustified(20)); // 78
    const auto rows = entregas(document);
    QVERIFY(rows.size() >= 2);
    QCOMPARE(rows[0], qMakePair(QStringLiteral("2024000101"), QStringLiteral("1")));
    QCOMPARE(rows[1], qMakePair(QStringLiteral("2025000087"), QStringLiteral("2")));

    // The installed version marker is found in the answer, so the demo program counts as up to date.
    QFile marker(m_program->file(QStringLiteral("info.dip")));
    QVERIFY(marker.open(QIODevice::ReadOnly));
    QVERIFY(answer.contains(QString::fromLatin1(marker.readAll())));
}

void EndToEndTest::historyRejectsWrongKey()
{
    const QString answer = pedeHistorico(mercearia, chaveRestaurante);
    QVERIFY(answer.contains(servidor::historico::marcaChaveRecusada));
    QCOMPARE(resultado(answer), QStringLiteral("CHAVE_INVALIDA"));
}

void EndToEndTest::detailsOfDelivery()
{
    const QString document = resultado(
        chamada(op::detalhes, {{"strNome", "2025000087"}, {"strDiretorioDestino", "vbs"}, {"Chave", chaveMercearia}}));
    QXmlStreamReader xml(document);
    QVERIFY(xml.readNextStartElement());
    QStringList mensagens;
    while (xml.readNextStartElement()) {
        const QString protocolo = xml.attributes().value(servidor::detalhes::atributoProtocolo).toString();
        QVERIFY(xml.readNextStartElement());
        QCOMPARE(xml.name(), servidor::detalhes::elementoDetalhe);
        mensagens.append(protocolo + u' ' + xml.readElementText().left(8));
        xml.skipCurrentElement();
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(mensagens, (QStringList{"2025000087 GIA 312:", "2025000087 GIA 313:"}));
}

void EndToEndTest::accountantStored()
{
    QList<QPair<QString, QString>> params;
    const QStringList values{
        "123.456.789-09", "MG-1",      "Ana D''Avila & <Filhos>", "Rua", "1", "", "Centro", "Ostare", "MG",
        "(31) 3333-4444", "35000-000", "ana@example.com"};
    for (int i = 0; i < 12; ++i)
        params.append({servidor::parametrosContador[i], values[i]});
    chamada(op::contador, params);

    const QList<QStringList> contadores = m_server->contadores();
    QVERIFY(!contadores.isEmpty());
    const QString stored = contadores.last()[2] + u'|' + contadores.last()[9]; // name and telephone
    QCOMPARE(stored, QStringLiteral("Ana D'Avila & <Filhos>|(31) 3333-4444"));
}

void EndToEndTest::getResultOnRefusedCalls_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("envelope");

    QTest::newRow("unknown operation") << "Transferencia.apaga" << montaEnvelope("Transferencia.apaga", {});
    QTest::newRow("not an envelope") << QString(op::historico) << "<html>";
    QTest::newRow("empty body") << QString(op::historico) << "";
}

void EndToEndTest::getResultOnRefusedCalls()
{
    QFETCH(QString, operation);
    QFETCH(QString, envelope);

    const QString answer = envia(operation, envelope);
    QVERIFY(answer.contains(u"Fault"));
    bool failed = false;
    QCOMPARE(GetResult(answer, QStringLiteral("return"), &failed), QString());
    QVERIFY(failed);
}

void EndToEndTest::vafUploadShowsInHistory_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("detail"); // empty: no message

    // The three-byte example file: a 190-byte body, not an Access database.
    QTest::newRow("not a database") << QByteArray("abc") << "2"
                                    << "não é um banco de dados do VAF-MG";
    QTest::newRow("Access file of another company") << test::vafAccess({{"7009999900011", {101, 102}}}) << "2"
                                                    << "não contém a inscrição estadual";
    QTest::newRow("Access file with the documents") << test::vafAccess({{mercearia, {101, 102}}}) << "1" << QString();
}

void EndToEndTest::vafUploadShowsInHistory()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, status);
    QFETCH(QString, detail);
    QVERIFY(!file.isEmpty());
    const int before = entregas(resultado(pedeHistorico(mercearia, chaveMercearia))).size();
    const QByteArray request =
        montaUpload(m_port, "/client/xt_upload.php?contador=123.456.789-09&chave=" + chaveMercearia + "&gias=101,102",
                    "VAF.GDB", file);
    const QByteArray answer = exchange(m_port, request);
    QVERIFY2(answer.startsWith("HTTP/1.0 200 OK\r\n"), answer.constData());
    QCOMPARE(answer.contains("ENTREGA RECEBIDA - PROTOCOLO "), detail.isEmpty());
    const QString protocolo = protocoloDaResposta(answer);
    QVERIFY2(!protocolo.isEmpty(), answer.constData());

    const auto rows = entregas(resultado(pedeHistorico(mercearia, chaveMercearia)));
    QCOMPARE(rows.size(), before + 1);
    QCOMPARE(rows.last(), qMakePair(protocolo, status));
    const QString details = resultado(
        chamada(op::detalhes, {{"strNome", protocolo}, {"strDiretorioDestino", "vbs"}, {"Chave", chaveMercearia}}));
    if (!detail.isEmpty())
        QVERIFY2(details.contains(detail), qPrintable(details));
    QTRY_VERIFY(!m_server->log()
                     .filter(QStringLiteral("POST /client/xt_upload.php 200 envio VAF: entrega ") + protocolo)
                     .isEmpty());
}

void EndToEndTest::simplesUploads_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("marker"); // empty: accepted

    QTest::newRow("PGDAS declaration") << QByteArray("%PDF-1.4\n1 0 obj\n<<>>\nendobj\n%%EOF\n") << QByteArray();
    QTest::newRow("not a PDF") << QByteArray("PK\x03\x04") << QByteArray("ARQUIVO INVALIDO - EXTRATO");
}

void EndToEndTest::simplesUploads()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, marker);

    const int before = entregas(resultado(pedeHistorico(restaurante, chaveRestaurante))).size();
    const QByteArray answer =
        exchange(m_port, montaUpload(m_port,
                                     "/client/xt_upload_simples.php?contador=123.456.789-09&chave=" + chaveRestaurante +
                                         "&gias=",
                                     "DeclaracaoDASN-2025.pdf", file));
    QVERIFY2(answer.startsWith("HTTP/1.0 200 OK\r\n"), answer.constData());
    const auto rows = entregas(resultado(pedeHistorico(restaurante, chaveRestaurante)));
    if (marker.isEmpty()) {
        QCOMPARE(rows.size(), before + 1);
        QCOMPARE(rows.last().first, protocoloDaResposta(answer));
    } else {
        QVERIFY2(answer.contains(marker), answer.constData());
        QCOMPARE(rows.size(), before);
    }
}

void EndToEndTest::receiptPage()
{
    const QByteArray answer =
        exchange(m_port, "GET /protocoloDown.php?IE=" + mercearia.toLatin1() + "&key=" + chaveMercearia.toLatin1() +
                             "&ref=2024/2025 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QVERIFY2(answer.startsWith("HTTP/1.1 200 OK\r\n"), answer.constData());
    QVERIFY(answer.contains("\r\nContent-Type: text/html; charset=utf-8\r\n"));
    const QString page = QString::fromUtf8(answer);
    QVERIFY(page.contains(QStringLiteral("Protocolo de entrega")));
    QVERIFY(page.contains(QStringLiteral("2025000087")));
}

void EndToEndTest::badRequestsGet400AndServerGoesOn_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("status");

    const QByteArray upload =
        montaUpload(m_port, "/client/xt_upload.php?contador=1&chave=" + chaveMercearia + "&gias=1", "VAF.GDB", "abc");
    QTest::newRow("garbage") << QByteArray("\x16\x03\x01 hello\r\n\r\n") << QByteArray(" 400 ");
    QTest::newRow("huge header") << "GET / HTTP/1.1\r\nX: " + QByteArray(200 * 1024, 'a') + "\r\n\r\n"
                                 << QByteArray(" 400 ");
    QTest::newRow("Content-Length shorter than the body")
        << QByteArray(upload).replace("Content-Length: 190", "Content-Length: 100") << QByteArray(" 400 ");
    QTest::newRow("multipart without closing delimiter")
        << upload.left(upload.size() - 36).replace("190", "154") << QByteArray(" 400 ");
    QTest::newRow("body over the limit")
        << QByteArray("POST /client/xt_upload.php? HTTP/1.0\r\nContent-Length: 999999999999\r\n\r\nabc")
        << QByteArray(" 413 ");
}

void EndToEndTest::badRequestsGet400AndServerGoesOn()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, status);

    const int before = entregas(resultado(pedeHistorico(mercearia, chaveMercearia))).size();
    const QByteArray answer = exchange(m_port, request);
    QVERIFY2(answer.startsWith("HTTP/1.") && answer.mid(8, 5) == status, answer.left(200).constData());
    QVERIFY(m_server->running());
    QCOMPARE(entregas(resultado(pedeHistorico(mercearia, chaveMercearia))).size(), before);
}

QTEST_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
