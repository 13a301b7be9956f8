// The delivery request as bytes, the boundary, the progress arithmetic, the Windows-1252 code page
// and reading the file: everything of the upload that needs no socket.
#include "net/Requisicao.h"
#include "text/Windows1252.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace tervalia;

namespace {
const QString boundary = QStringLiteral("Qz7Lm2Np4Rs6Tv8Xw0Yb1Cd3Ef5Gh9Jk");

UrlParts parts(const QString& host, const QString& path, const QString& query)
{
    UrlParts url;
    url.Host = host;
    url.Port = 8080;
    url.Path = path;
    url.Query = query;
    return url;
}
} // namespace

class RequisicaoTest : public QObject
{
    Q_OBJECT

private slots:
    void requestIsByteExact();
    void namesAndQueryGoOutInWindows1252_data();
    void namesAndQueryGoOutInWindows1252();
    void namesCannotBreakTheRequest_data();
    void namesCannotBreakTheRequest();
    void boundaryIsLettersAndDigits();
    void boundaryDrawsKeepOnlyLettersAndDigits();
    void progress_data();
    void progress();
    void decodesWindows1252();
    void panelShowsOnlyTheStartOfTheBody();
    void loadsTheWholeFile();
    void unreadableFileIsAnError_data();
    void unreadableFileIsAnError();
};

void RequisicaoTest::requestIsByteExact()
{
    const Requisicao r = MontaRequisicao("abc", parts("h.example", "/client/xt_upload.php", "contador=1&chave=2&gias="),
                                         "objArquivo", "VAF.GDB", "application/octet-stream", boundary);
    const QByteArray b = boundary.toLatin1();
    const QByteArray body = "--" + b +
                            "\r\nContent-Disposition: form-data; name=\"objArquivo\"; filename=\"VAF.GDB\"\r\n"
                            "Content-Type: application/octet-stream\r\n\r\nabc\r\n--" +
                            b + "--";
    QCOMPARE(body.size(), 190);
    const QByteArray expected = "POST /client/xt_upload.php?contador=1&chave=2&gias= HTTP/1.0\r\n"
                                "Host: h.example\r\n"
                                "Content-Type: multipart/form-data, boundary=" +
                                b +
                                "\r\n"
                                "Content-Length: 190\r\n\r\n" +
                                body;
    QCOMPARE(r.bytes(), expected);
    QCOMPARE(r.tamanho(), expected.size());

    // The "?" stays with an empty query; any fresh boundary gives the same length.
    const Requisicao semQuery =
        MontaRequisicao("abc", parts("h", "/", ""), "objArquivo", "VAF.GDB", "application/octet-stream");
    QVERIFY(semQuery.cabecalhos.startsWith("POST /? HTTP/1.0\r\nHost: h\r\n"));
    QVERIFY(semQuery.cabecalhos.contains("\r\nContent-Length: 190\r\n\r\n"));
    QVERIFY(semQuery.bytes().endsWith("--"));
}

void RequisicaoTest::namesAndQueryGoOutInWindows1252_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("accents") << QStringLiteral("Declaração.pdf") << QByteArray("Declara\xe7\xe3o.pdf");
    QTest::newRow("decomposed accents") << QStringLiteral("Declarac\u0327a\u0303o.pdf")
                                        << QByteArray("Declara\xe7\xe3o.pdf");
    QTest::newRow("euro, dash, quotes") << QStringLiteral("€ – “x” ‘y’ …")
                                        << QByteArray("\x80 \x96 \x93x\x94 \x91y\x92 \x85");
    QTest::newRow("outside the code page") << QStringLiteral("Ωmega→") << QByteArray("_mega_");
    QTest::newRow("one mark per character beyond 16 bits") << QStringLiteral("a😀b") << QByteArray("a_b");
    QTest::newRow("C1 controls are not characters of the page")
        << QStringLiteral("a\u0081b\u0090") << QByteArray("a_b_");
}

void RequisicaoTest::namesAndQueryGoOutInWindows1252()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(encodeWindows1252(text), bytes);

    const Requisicao r =
        MontaRequisicao("x", parts("h", "/p", "contador=" + text), "objArquivo", text, "application/pdf", boundary);
    QVERIFY(r.cabecalhos.startsWith("POST /p?contador=" + bytes + " HTTP/1.0\r\n"));
    QVERIFY(r.inicioCorpo.contains("; filename=\"" + bytes + "\"\r\n"));
}

void RequisicaoTest::namesCannotBreakTheRequest_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QByteArray>("sentName");
    QTest::addColumn<QByteArray>("sentQuery");

    QTest::newRow("quote in a name") << QStringLiteral("a\"b.pdf") << QStringLiteral("x=1") << QByteArray("a_b.pdf")
                                     << QByteArray("x=1");
    QTest::newRow("line break in a name")
        << QStringLiteral("a\r\nX: y.pdf") << QStringLiteral("x=1") << QByteArray("a__X: y.pdf") << QByteArray("x=1");
    QTest::newRow("line break in the query") << QStringLiteral("a.pdf") << QStringLiteral("x=1\r\nHost: evil")
                                             << QByteArray("a.pdf") << QByteArray("x=1__Host: evil");
}

void RequisicaoTest::namesCannotBreakTheRequest()
{
    QFETCH(QString, fileName);
    QFETCH(QString, query);
    QFETCH(QByteArray, sentName);
    QFETCH(QByteArray, sentQuery);
    const Requisicao r =
        MontaRequisicao("x", parts("h", "/p", query), "objArquivo", fileName, "application/pdf", boundary);
    QCOMPARE(r.cabecalhos.count("\r\n"), 5);
    QCOMPARE(r.inicioCorpo.count("\r\n"), 4);
    QVERIFY(r.cabecalhos.startsWith("POST /p?" + sentQuery + " HTTP/1.0\r\n"));
    QVERIFY(r.inicioCorpo.contains("filename=\"" + sentName + "\"\r\n"));
}

void RequisicaoTest::boundaryIsLettersAndDigits()
{
    QSet<QString> seen;
    for (int i = 0; i < 2000; ++i) {
        const QString b = GeraDelimitador(32);
        QCOMPARE(b.size(), 32);
        for (const QChar c : b)
            QVERIFY2((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'), qPrintable(b));
        seen.insert(b);
    }
    QVERIFY(seen.size() > 1990); // reseeding from the clock does not repeat boundaries
}

void RequisicaoTest::boundaryDrawsKeepOnlyLettersAndDigits()
{
    // codes floor(u × 127): 0 and 47 ("/") are dropped, 48 is "0", 65 is "A", 122 is "z", 126 dropped
    const QList<double> draws = {0.0, 47.5 / 127, 48.2 / 127, 126.9 / 127, 65.0 / 127, 122.99 / 127, 0.999999};
    qsizetype next = 0;
    const QString b = GeraDelimitador(3, [&] { return draws.at(next++); });
    QCOMPARE(b, QStringLiteral("0Az"));
    QCOMPARE(next, 6);
}

void RequisicaoTest::progress_data()
{
    QTest::addColumn<qint64>("total");
    QTest::addColumn<qint64>("remaining");
    QTest::addColumn<int>("expected"); // -1: no display

    QTest::newRow("nothing sent") << qint64(1000) << qint64(1000) << 0;
    QTest::newRow("0.5 % to even 0") << qint64(1000) << qint64(995) << 0;
    QTest::newRow("1.5 % to even 2") << qint64(1000) << qint64(985) << 2;
    QTest::newRow("2.5 % to even 2") << qint64(1000) << qint64(975) << 2;
    QTest::newRow("just above a half") << qint64(100000) << qint64(97499) << 3;
    QTest::newRow("45 %") << qint64(200) << qint64(110) << 45;
    QTest::newRow("all sent") << qint64(190) << qint64(0) << 100;
    QTest::newRow("64 MB, a third") << qint64(67108864) << qint64(44739243) << 33;
    QTest::newRow("zero total") << qint64(0) << qint64(0) << -1;
    QTest::newRow("more remaining than total") << qint64(100) << qint64(101) << -1;
    QTest::newRow("negative remaining") << qint64(100) << qint64(-1) << -1;
}

void RequisicaoTest::progress()
{
    QFETCH(qint64, total);
    QFETCH(qint64, remaining);
    QFETCH(int, expected);
    const std::optional<int> p = percentualEnvio(total, remaining);
    QCOMPARE(p.value_or(-1), expected);
    if (p)
        QCOMPARE(textoProgresso(*p), QString::number(expected) + QStringLiteral("% completo."));
}

void RequisicaoTest::decodesWindows1252()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = decodeWindows1252(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(text.mid(0x80, 1), QStringLiteral("€"));
    QCOMPARE(text.mid(0x96, 2), QStringLiteral("–—"));
    QCOMPARE(text.mid(0xE3, 1), QStringLiteral("ã"));
    QCOMPARE(text.at(0x81), QChar(0x81)); // undefined bytes keep their value
    // Every defined byte comes back as itself.
    QByteArray defined = all;
    for (char undefined : {'\x81', '\x8d', '\x8f', '\x90', '\x9d'})
        defined.replace(undefined, "");
    QCOMPARE(encodeWindows1252(decodeWindows1252(defined)), defined);

    QCOMPARE(decodeUtf8OrWindows1252("a\xc3\xa7\xc3\xa3o"), QStringLiteral("ação"));
    QCOMPARE(decodeUtf8OrWindows1252("a\xe7\xe3o \x96 \x80"), QStringLiteral("ação – €"));
}

void RequisicaoTest::panelShowsOnlyTheStartOfTheBody()
{
    QByteArray big(5 * 1024 * 1024, 'x');
    big[10] = '\0';
    const Requisicao r =
        MontaRequisicao(big, parts("h", "/p", "a=1"), "objArquivo", "f.bin", "application/pdf", boundary);
    const QString panel = r.textoPainel();
    QVERIFY(panel.startsWith(QString::fromLatin1(r.cabecalhos)));
    QVERIFY(panel.size() < 2048 + r.cabecalhos.size() + 100);
    QVERIFY(!panel.contains(QChar(0)));
    QVERIFY(panel.endsWith(QStringLiteral("[… corpo de %1 bytes; mostrados os primeiros 2048]").arg(r.tamanhoCorpo())));

    const Requisicao small = MontaRequisicao("abc", parts("h", "/p", ""), "objArquivo", "f", "text/plain", boundary);
    QCOMPARE(small.textoPainel(), QString::fromLatin1(small.bytes())); // a small request shows whole
}

void RequisicaoTest::loadsTheWholeFile()
{
    QTemporaryDir dir;
    QByteArray content(300000, Qt::Uninitialized);
    for (qsizetype i = 0; i < content.size(); ++i)
        content[i] = char(i * 7);
    QFile f(dir.filePath(QStringLiteral("Declaração.pdf")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    const ConteudoArquivo lido = CarregaArquivo(f.fileName());
    QVERIFY(lido.ok());
    QCOMPARE(lido.bytes, content);

    QFile empty(dir.filePath(QStringLiteral("vazio")));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QVERIFY(CarregaArquivo(empty.fileName()).ok());
}

void RequisicaoTest::unreadableFileIsAnError_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << QStringLiteral("nao-existe.pdf");
    QTest::newRow("a folder") << QStringLiteral("pasta");
}

void RequisicaoTest::unreadableFileIsAnError()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("pasta")));
    const ConteudoArquivo lido = CarregaArquivo(dir.filePath(name));
    QVERIFY(!lido.ok());
    QVERIFY(lido.bytes.isEmpty());
    QVERIFY2(lido.erro.startsWith(QStringLiteral("Não foi possível ler o arquivo \"%1\": ").arg(dir.filePath(name))),
             qPrintable(lido.erro));
    QVERIFY(lido.erro.size() >
            QStringLiteral("Não foi possível ler o arquivo \"%1\": ").arg(dir.filePath(name)).size());
}

QTEST_APPLESS_MAIN(RequisicaoTest)
#include "RequisicaoTest.moc"
