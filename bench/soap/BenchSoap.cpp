// What a hostile server answer costs the program, each figure beside its reference in the same run:
//  - reading a details answer nested deep against reading the same characters nested one level, and
//    against a bare parse of the same text (the reader's work is linear when both ratios match);
//  - the memory a 100 MB answer takes, against the 64 MB answer bound.
// Run build/bench/bench_soap [-r repetitions].
#include "app/Historico.h"
#include "net/HttpDouble.h"
#include "net/Soap.h"
#include "support/TestProgramDir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QXmlStreamReader>

#include <sys/resource.h>

#include <cstdio>
#include <functional>

using namespace tervalia;

namespace {
double bestMs(int repetitions, const std::function<void()>& run)
{
    double best = 1e300;
    for (int i = 0; i < repetitions; ++i) {
        QElapsedTimer t;
        t.start();
        run();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

void bareParse(const QString& text)
{
    QXmlStreamReader reader(text);
    while (!reader.atEnd())
        reader.readNext();
}

// A details document whose DETALHE holds `levels` nested elements, each with `chars` characters
// before the next one.
QString details(int levels, int chars)
{
    const QString text(chars, u'x');
    return QStringLiteral("<m><e><DETALHE>") + (QStringLiteral("<n>") + text).repeated(levels) +
           QStringLiteral("</n>").repeated(levels) + QStringLiteral("</DETALHE></e></m>");
}

long peakKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int at = int(args.indexOf(QStringLiteral("-r")));
    const int repetitions = at >= 0 ? args.value(at + 1).toInt() : 5;

    test::TestProgramDir dir;
    test::HttpDouble server;
    server.setAnswer("HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n");
    server.setEndlessBody(100LL * 1024 * 1024);
    dir.writeSettings(QStringLiteral("127.0.0.1"), server.port());
    const long before = peakKb();
    QString outcome;
    try {
        EnviaSoap(QStringLiteral("Transferencia.ver2"), QStringLiteral("<x/>"));
    } catch (const SoapError& error) {
        outcome = error.description();
    }
    std::printf("100 MB answer: peak memory grew by %ld MB (answer bound %lld MB): %s\n", (peakKb() - before) / 1024,
                soapMaxAnswer() / (1024 * 1024), qPrintable(outcome));

    std::printf("details reader, %d repetitions, best time\n", repetitions);
    std::printf("%8s %10s %12s %12s %8s\n", "levels", "chars", "reader ms", "parse ms", "ratio");
    const int total = 4 * 1024 * 1024;
    for (const int levels : {1, 16, 64, 250}) {
        const QString doc = details(levels, total / levels);
        const double reader = bestMs(repetitions, [&] { historico::lerDetalhes(doc); });
        const double parse = bestMs(repetitions, [&] { bareParse(doc); });
        std::printf("%8d %10d %12.2f %12.2f %8.2f\n", levels, total, reader, parse, reader / parse);
    }
    const QString tooDeep = details(800000, 1);
    const double refused = bestMs(repetitions, [&] {
        try {
            historico::lerDetalhes(tooDeep);
        } catch (const historico::XmlError&) {
        }
    });
    std::printf("800,000 levels refused in %.2f ms (a bare parse of it: %.2f ms)\n", refused,
                bestMs(repetitions, [&] { bareParse(tooDeep); }));

    return 0;
}
