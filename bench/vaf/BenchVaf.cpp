// Measures, in one run over the same generated VAF.GDB:
//   (a) the export tool alone over the 26 tables, one process after the other;
//   (b) the sqlite3 program loading the 26 export files into vaf_limpo.db, each in one transaction;
//   (c) the conversion routine from start to the document list, headless with a progress callback,
//       the Access file vaf.mdb included;
// and prints (c) / max(a, b). The goal is at most 1.25. It then runs itself once more as
//   bench_vaf --grava PROGRAM_DIR
// which only writes vaf.mdb from the vaf.db left by (c), and reports that writer's peak memory
// above the process's idle size (goal: under 64 MB).
//   bench_vaf [-n ROWS] [-r REPEATS]
#include "delivery/ConverteVAF.h"
#include "delivery/DocumentosVAF.h"
#include "delivery/GravaVafAccess.h"
#include "platform/ProgramDir.h"
#include "storage/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace tervalia;

namespace {
QTextStream out(stdout);

[[noreturn]] void die(const QString& text)
{
    QTextStream(stderr) << "bench_vaf: " << text << Qt::endl;
    std::exit(1);
}

bool run(const QString& program, const QStringList& arguments, const QString& input = {})
{
    QProcess p;
    if (!input.isEmpty())
        p.setStandardInputFile(input);
    p.start(program, arguments);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        QTextStream(stderr) << QString::fromUtf8(p.readAllStandardError());
        return false;
    }
    return true;
}

void copy(const QString& from, const QString& to)
{
    QFile::remove(to);
    if (!QFile::copy(from, to))
        die(QStringLiteral("cannot copy %1 to %2").arg(from, to));
    QFile::setPermissions(to, QFile::permissions(from) | QFile::WriteOwner);
}

double best(int repeats, const std::function<void()>& once)
{
    double fastest = 1e300;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer t;
        t.start();
        once();
        fastest = std::min(fastest, double(t.nsecsElapsed()) / 1e9);
    }
    return fastest;
}
long picoKb()
{
    rusage uso{};
    getrusage(RUSAGE_SELF, &uso);
    return uso.ru_maxrss;
}

long atualKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& linha : status.readAll().split('\n')) {
        if (linha.startsWith("VmRSS:"))
            return linha.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

// Child mode: writes vaf.mdb from the program directory's vaf.db and prints the peak growth.
int soGrava(const QString& prog)
{
    setProgramDir(prog);
    Connection vaf(QStringLiteral("vaf.db"));
    vaf.exec(QStringLiteral("SELECT count(*) FROM DOCUMENTO")).next();
    const long antes = atualKb();
    const ResultadoGravacaoAccess r = GravaVafAccess(vaf, programFile(QStringLiteral("vaf_limpo.mdb")),
                                                     programFile(QStringLiteral("vaf-medida.mdb")), tabelasVAF());
    if (!r.ok)
        die(r.erro);
    out << "MEMORY " << (picoKb() - antes) << " " << r.linhas << Qt::endl;
    return 0;
}

// The writer's peak memory above idle, in MB, measured in a process of its own.
double memoriaDoEscritor(const QString& prog, qint64* linhas)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--grava"), prog});
    if (!p.waitForFinished(-1) || p.exitCode() != 0)
        die(QStringLiteral("the writer alone failed: ") + QString::fromUtf8(p.readAllStandardError()));
    const QList<QByteArray> campos = p.readAllStandardOutput().trimmed().split(' ');
    *linhas = campos.value(2).toLongLong();
    return campos.value(1).toDouble() / 1024.0;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (app.arguments().size() == 3 && app.arguments()[1] == QLatin1String("--grava"))
        return soGrava(app.arguments()[2]);
    QString rows = QStringLiteral("200000");
    int repeats = 2;
    // BENCH_VERBOSE=1 prints when the conversion reaches each step.
    const bool verbose = qEnvironmentVariableIntValue("BENCH_VERBOSE") != 0;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("-n"))
            rows = args[i + 1];
        else if (args[i] == QLatin1String("-r"))
            repeats = std::max(1, args[i + 1].toInt());
        else
            die(QStringLiteral("unknown option ") + args[i]);
    }

    QTemporaryDir work;
    const QDir dir(work.path());
    const QString gdb = dir.filePath(QStringLiteral("VAF.GDB"));
    out << "generating VAF.GDB with about " << rows << " rows..." << Qt::endl;
    if (!run(QStringLiteral("bash"),
             {QStringLiteral(TERVALIA_SOURCE_DIR "/tests/delivery/gera_vaf_gdb.sh"), QStringLiteral("-n"), rows, gdb}))
        die(QStringLiteral("the generator failed"));
    dir.mkpath(QStringLiteral("prog/temp"));
    dir.mkpath(QStringLiteral("a"));
    const QString prog = dir.filePath(QStringLiteral("prog"));
    const QDir dist(QStringLiteral(TERVALIA_DIST_DIR));
    for (const char* name : {"vaf_limpo.db", "vaf_limpo.mdb", "fbexport"})
        copy(dist.filePath(QLatin1String(name)), QDir(prog).filePath(QLatin1String(name)));
    const QString tool = QDir(prog).filePath(QStringLiteral("fbexport"));
    const QString gdbCopy = dir.filePath(QStringLiteral("a/copia.gdb"));
    const auto exportFile = [&dir](const QString& t) { return dir.filePath(QStringLiteral("a/export%1.txt").arg(t)); };

    const double a = best(repeats, [&] {
        copy(gdb, gdbCopy);
        for (const QString& t : tabelasVAF()) {
            if (!run(tool, {"-D", gdbCopy, "-U", "SYSDBA", "-P", "pelicanos", "-Si", "-V", t, "-F", exportFile(t)}))
                die(QStringLiteral("export of %1 failed").arg(t));
        }
    });
    qint64 lines = 0;
    QFile script(dir.filePath(QStringLiteral("a/carga.sql")));
    if (!script.open(QIODevice::WriteOnly))
        die(QStringLiteral("cannot write the sqlite3 script"));
    for (const QString& t : tabelasVAF()) {
        QFile f(exportFile(t));
        if (f.open(QIODevice::ReadOnly))
            lines += f.readAll().count("\r\n");
        script.write(QStringLiteral("BEGIN;\n.read %1\nCOMMIT;\n").arg(exportFile(t)).toUtf8());
    }
    script.close();

    const QString sqliteDb = dir.filePath(QStringLiteral("a/vaf.db"));
    const double b = best(repeats, [&] {
        copy(dist.filePath(QStringLiteral("vaf_limpo.db")), sqliteDb);
        if (!run(QStringLiteral(SQLITE3_EXECUTABLE), {sqliteDb}, script.fileName()))
            die(QStringLiteral("sqlite3 failed"));
    });

    setProgramDir(prog);
    // For the record: the replay alone through Qt SQL, without the exports.
    const double replay = best(repeats, [&] {
        copy(dist.filePath(QStringLiteral("vaf_limpo.db")), QDir(prog).filePath(QStringLiteral("vaf.db")));
        Connection vaf(QStringLiteral("vaf.db"));
        for (const QString& t : tabelasVAF()) {
            if (!CarregaExportacao(vaf, t, exportFile(t)).erro.isEmpty())
                die(QStringLiteral("replay of %1 failed").arg(t));
        }
    });
    qint64 calls = 0;
    qsizetype documents = 0;
    const double c = best(repeats, [&] {
        QElapsedTimer clock;
        clock.start();
        QString last;
        const ResultadoConversao r = ConverteVAF(gdb, [&](const ProgressoConversao& p) {
            ++calls;
            if (verbose && p.ocorrencia != last) {
                QTextStream(stderr) << QString::number(clock.nsecsElapsed() / 1e6, 'f', 1) << " ms " << p.ocorrencia
                                    << Qt::endl;
                last = p.ocorrencia;
            }
            QCoreApplication::processEvents();
        });
        if (!r.ok)
            die(r.erro);
        documents = ListaDocumentosVAF(QStringLiteral("7001234500028")).size();
    });

    out << "rows exported:                      " << lines << Qt::endl;
    out << "(a) fbexport, 26 tables:            " << QString::number(a, 'f', 3) << " s" << Qt::endl;
    out << "(b) sqlite3 loading the 26 files:   " << QString::number(b, 'f', 3) << " s" << Qt::endl;
    out << "    replay alone through Qt SQL:    " << QString::number(replay, 'f', 3) << " s" << Qt::endl;
    out << "(c) ConverteVAF + document list:    " << QString::number(c, 'f', 3) << " s (" << calls
        << " progress calls, " << documents << " documents)" << Qt::endl;
    qint64 linhasAccess = 0;
    const double memoria = memoriaDoEscritor(prog, &linhasAccess);
    const qint64 tamanho = QFileInfo(QDir(prog).filePath(QStringLiteral("vaf.mdb"))).size();
    out << "    vaf.mdb:                        " << tamanho << " bytes, " << linhasAccess << " rows" << Qt::endl;
    out << "    writer alone, peak above idle:  " << QString::number(memoria, 'f', 1) << " MB (goal < 64)" << Qt::endl;
    const double razao = c / std::max(a, b);
    out << "(c) / max(a, b) = " << QString::number(razao, 'f', 3) << "  (goal <= 1.25)" << Qt::endl;
    const bool met = razao <= 1.25 && memoria < 64;
    out << "BENCH vaf: conversion " << QString::number(c, 'f', 3) << " s = " << QString::number(razao, 'f', 2)
        << " x max(fbexport " << QString::number(a, 'f', 3) << " s, sqlite3 " << QString::number(b, 'f', 3) << " s), "
        << lines << " rows, vaf.mdb " << QString::number(double(tamanho) / 1048576.0, 'f', 1) << " MB, writer peak +"
        << QString::number(memoria, 'f', 1) << " MB; goal <= 1.25 and < 64 MB; " << (met ? "met" : "not met")
        << Qt::endl;
    return 0;
}
