#include "net/HttpPost.h"

#include <QTest>

using namespace tervalia::http;

class HttpReaderTest : public QObject
{
    Q_OBJECT

private slots:
    void sameAnswerWhateverThePieces_data();
    void sameAnswerWhateverThePieces();
};

void HttpReaderTest::sameAnswerWhateverThePieces_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<bool>("closes"); // the server closes after the bytes
    QTest::addColumn<int>("status");  // 0: the reading fails
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("length") << QByteArray("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 5\r\n\r\nabcde")
                            << false << 200 << QByteArray("abcde");
    QTest::newRow("bytes after the length are not the answer")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nabcde") << false << 200 << QByteArray("ab");
    QTest::newRow("bare line feeds") << QByteArray("HTTP/1.0 404 Nada\nContent-Length: 3\n\nnao") << false << 404
                                     << QByteArray("nao");
    QTest::newRow("up to the close") << QByteArray("HTTP/1.0 200 OK\r\n\r\nat\xc3\xa9 o fim") << true << 200
                                     << QByteArray("at\xc3\xa9 o fim");
    QTest::newRow("chunks with extensions and trailers")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3;x=1\r\nabc\r\nA\r\n0123456789\r\n"
                      "0\r\nX-Fim: 1\r\n\r\n")
        << false << 200 << QByteArray("abc0123456789");
    QTest::newRow("two interim answers") << QByteArray(
                                                "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\nX: y\r\n\r\n"
                                                "HTTP/1.1 201 Criado\r\nContent-Length: 1\r\n\r\nz")
                                         << false << 201 << QByteArray("z");
    QTest::newRow("no content") << QByteArray("HTTP/1.1 204 No Content\r\n\r\n") << false << 204 << QByteArray();
    QTest::newRow("zero length") << QByteArray("HTTP/1.1 500 Erro\r\nContent-Length: 0\r\n\r\n") << false << 500
                                 << QByteArray();
    QTest::newRow("cut inside a chunk") << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n9\r\nabc")
                                        << true << 0 << QByteArray();
    QTest::newRow("chunk not followed by its line break")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabcdef\r\n0\r\n\r\n") << false << 0
        << QByteArray();
    QTest::newRow("HTTP/2 status line") << QByteArray("HTTP/2 200\r\n\r\n") << false << 0 << QByteArray();
    QTest::newRow("status of two digits") << QByteArray("HTTP/1.1 20 OK\r\n\r\n") << false << 0 << QByteArray();
    QTest::newRow("switching protocols") << QByteArray("HTTP/1.1 101 Switching\r\n\r\n") << false << 0 << QByteArray();
    QTest::newRow("chunk size line without end")
        << "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + QByteArray(2000, '0') << false << 0
        << QByteArray();
}

// Byte by byte, in one piece: the same answer or the same failure.
void HttpReaderTest::sameAnswerWhateverThePieces()
{
    QFETCH(QByteArray, raw);
    QFETCH(bool, closes);
    QFETCH(int, status);
    QFETCH(QByteArray, body);

    for (const qsizetype piece : {qsizetype(1), qsizetype(3), raw.size()}) {
        ResponseReader reader(1024);
        for (qsizetype at = 0; at < raw.size() && reader.state() == ResponseReader::State::Reading; at += piece)
            reader.feed(QByteArrayView(raw).sliced(at, std::min(piece, raw.size() - at)));
        if (closes && reader.state() == ResponseReader::State::Reading)
            reader.connectionClosed();
        if (status == 0) {
            QCOMPARE(reader.state(), ResponseReader::State::Failed);
            QVERIFY(!reader.failure().description.isEmpty());
            continue;
        }
        QCOMPARE(reader.state(), ResponseReader::State::Done);
        QCOMPARE(reader.answer().status, status);
        QCOMPARE(reader.answer().body, body);
    }
}

QTEST_APPLESS_MAIN(HttpReaderTest)
#include "HttpReaderTest.moc"
