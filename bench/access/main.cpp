// The Access writer over 200,000 rows in 26 tables, against the sqlite3 program loading the same
// rows (one transaction per table) and against writing as many bytes with plain fwrite, in the
// same run; and the writer's peak memory above idle (the process's resident size before writing,
// with the peak reset through /proc/self/clear_refs).
//   bench_access [--tiny] [-n ROWS] [-r REPEATS]
// Goal: peak memory above idle under 64 MB, and the writer no slower than sqlite3.

#include "storage/access/EscritorAccess.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

using namespace tervalia::access;

namespace {

constexpr int tabelas = 26;

long long statusKb(const char* campo)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& linha : f.readAll().split('\n')) {
        if (linha.startsWith(campo))
            return linha.mid(qsizetype(std::strlen(campo))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

bool zeraPico()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

Tabela tabela(int t)
{
    const auto col = [](const char* nome, TipoColuna tipo, int tamanho = 255, int precisao = 18, int escala = 0) {
        return Coluna{QString::fromLatin1(nome), tipo, tamanho, precisao, escala};
    };
    return {QStringLiteral("TABELA_%1").arg(t),
            {col("ID", TipoColuna::Inteiro), col("DOCUMENTO_ID", TipoColuna::Inteiro),
             col("DESCRICAO", TipoColuna::Texto, 60), col("VALOR", TipoColuna::Numerico, 255, 15, 2),
             col("DATA", TipoColuna::DataHora), col("TAXA", TipoColuna::Duplo), col("ATIVO", TipoColuna::SimNao),
             col("OBS", TipoColuna::Memo)}};
}

QVariantList linha(int i)
{
    return {i,
            i / 10,
            QStringLiteral("Descrição do item %1 da declaração").arg(i),
            QStringLiteral("%1.%2").arg(i * 3).arg(i % 100, 2, 10, QLatin1Char('0')),
            QDate(2024, 1, 1).addDays(i / 2000).toString(Qt::ISODate) + QLatin1Char(' ') +
                QTime(0, 0).addSecs(i * 37 % 86400).toString(QStringLiteral("HH:mm:ss")),
            i * 0.25,
            i % 3 == 0,
            i % 50 == 0 ? QVariant(QStringLiteral("Observação longa %1 ").repeated(20).arg(i)) : QVariant()};
}

QString sql(int tabelaNumero, int linhas)
{
    QString s = QStringLiteral("BEGIN;\nCREATE TABLE TABELA_%1 (ID INTEGER, DOCUMENTO_ID INTEGER, DESCRICAO TEXT, "
                               "VALOR NUMERIC(15,2), DATA TEXT, TAXA REAL, ATIVO INTEGER, OBS TEXT);\n")
                    .arg(tabelaNumero);
    for (int i = 0; i < linhas; ++i) {
        const QVariantList v = linha(i);
        s += QStringLiteral("INSERT INTO TABELA_%1 VALUES(%2,%3,'%4',%5,'%6',%7,%8,%9);\n")
                 .arg(tabelaNumero)
                 .arg(v[0].toInt())
                 .arg(v[1].toInt())
                 .arg(v[2].toString(), v[3].toString(), v[4].toString())
                 .arg(v[5].toDouble(), 0, 'g', 17)
                 .arg(v[6].toBool() ? 1 : 0)
                 .arg(v[7].isNull() ? QStringLiteral("NULL") : QLatin1Char('\'') + v[7].toString() + QLatin1Char('\''));
    }
    return s + QStringLiteral("COMMIT;\n");
}

double melhor(int vezes, const std::function<bool()>& uma)
{
    double menor = 1e300;
    for (int i = 0; i < vezes; ++i) {
        QElapsedTimer t;
        t.start();
        if (!uma())
            return -1;
        menor = std::min(menor, t.nsecsElapsed() / 1e9);
    }
    return menor;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int linhas = 200000;
    int vezes = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--tiny")) {
            linhas = 2600;
            vezes = 1;
        } else if (args[i] == QLatin1String("-n") && i + 1 < args.size()) {
            linhas = args[++i].toInt();
        } else if (args[i] == QLatin1String("-r") && i + 1 < args.size()) {
            vezes = std::max(1, args[++i].toInt());
        }
    }
    const int porTabela = std::max(1, linhas / tabelas);
    QTemporaryDir dir;
    const QString mdb = dir.filePath(QStringLiteral("vaf.mdb"));

    const long long ocioso = statusKb("VmRSS:");
    const bool picoZerado = zeraPico();
    QString erro;
    const double escritor = melhor(vezes, [&] {
        EscritorAccess e(mdb, QStringLiteral("tum4821"));
        for (int t = 0; t < tabelas; ++t) {
            if (!e.iniciaTabela(tabela(t)))
                break;
            for (int i = 0; i < porTabela && e.escreveLinha(linha(i)); ++i) {
            }
        }
        const bool ok = e.conclui();
        erro = e.erro();
        return ok;
    });
    const long long pico = statusKb("VmHWM:");
    if (escritor < 0) {
        std::fprintf(stderr, "bench_access: %s\n", qPrintable(erro));
        return 1;
    }
    const qint64 bytes = QFileInfo(mdb).size();

    const QString script = dir.filePath(QStringLiteral("carga.sql"));
    {
        QFile f(script);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        for (int t = 0; t < tabelas; ++t)
            f.write(sql(t, porTabela).toUtf8());
    }
    const QString db = dir.filePath(QStringLiteral("vaf.db"));
    const double sqlite = melhor(vezes, [&] {
        QFile::remove(db);
        QProcess p;
        p.setStandardInputFile(script);
        p.start(QStringLiteral(SQLITE3_EXECUTABLE), {db});
        return p.waitForFinished(-1) && p.exitCode() == 0;
    });
    const QByteArray pagina(4096, 'x');
    const double fwrite = melhor(vezes, [&] {
        FILE* f = std::fopen(QFile::encodeName(dir.filePath(QStringLiteral("plano.bin"))).constData(), "wb");
        bool ok = f != nullptr;
        for (qint64 n = 0; ok && n < bytes; n += pagina.size())
            ok = std::fwrite(pagina.constData(), 1, size_t(pagina.size()), f) == size_t(pagina.size());
        ok = ok && std::fflush(f) == 0 && ::fsync(fileno(f)) == 0;
        return f && std::fclose(f) == 0 && ok;
    });
    if (sqlite < 0 || fwrite < 0)
        return 1;

    const double acimaMb = (pico - ocioso) / 1024.0;
    std::printf("%d rows over %d tables: vaf.mdb %.1f MB; writer %.3f s, sqlite3 %.3f s, fwrite %.3f s (best of %d)\n",
                porTabela * tabelas, tabelas, bytes / 1048576.0, escritor, sqlite, fwrite, vezes);
    std::printf("memory: idle %lld kB, peak %lld kB%s\n", ocioso, pico, picoZerado ? "" : " (peak not reset)");
    const bool atingido = acimaMb < 64 && escritor <= sqlite;
    std::printf("BENCH access: writer %.2f x sqlite3's %.3f s (fwrite %.3f s), %.1f MB, peak %.1f MB above idle; "
                "goal <= 1.00 x and < 64 MB; %s\n",
                escritor / sqlite, sqlite, fwrite, bytes / 1048576.0, acimaMb, atingido ? "met" : "not met");
    return 0;
}
