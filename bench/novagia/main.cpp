// Preview reading of a NovaGIA export of 2,000 companies (read every row and check it), against the
// mdbtools program mdb-export writing the same table, in the same run. Both start a process: the
// preview reads through the helper leitor-access. Each side runs several times; the best time of
// each counts.
//
//   bench_novagia [file.mdb] [runs]

#include "storage/LeituraAccess.h"
#include "taxpayers/ExportacaoNovaGia.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>

using namespace tervalia;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("TERVALIA_LEITOR_ACCESS"))
        leitoraccess::setPrograma(QStringLiteral(TERVALIA_LEITOR_ACCESS));
    const QString arquivo =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(TERVALIA_FIXTURES_DIR "/access/novagia-2000.mdb");
    const int vezes = argc > 2 ? std::max(1, atoi(argv[2])) : 15;
    const QString mdbExport = QStandardPaths::findExecutable(QStringLiteral("mdb-export"));
    if (mdbExport.isEmpty()) {
        std::fprintf(stderr, "mdb-export not found (package mdbtools)\n");
        return 1;
    }

    double melhorLeitura = 1e30, melhorReferencia = 1e30;
    qsizetype empresas = 0, comErro = 0;
    for (int vez = 0; vez < vezes; ++vez) {
        QElapsedTimer relogio;
        relogio.start();
        const LeituraNovaGia leitura = lerExportacaoNovaGia(arquivo);
        comErro = std::count_if(leitura.empresas.begin(), leitura.empresas.end(), empresaComErro);
        melhorLeitura = std::min(melhorLeitura, relogio.nsecsElapsed() / 1e6);
        empresas = leitura.empresas.size();
        if (leitura.situacao != LeituraNovaGia::Situacao::Lida) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(arquivo));
            return 1;
        }

        QProcess referencia;
        referencia.setStandardOutputFile(QProcess::nullDevice());
        relogio.restart();
        referencia.start(mdbExport, {arquivo, QStringLiteral("tblContribuinte")});
        const bool ok = referencia.waitForFinished(-1) && referencia.exitCode() == 0;
        melhorReferencia = std::min(melhorReferencia, relogio.nsecsElapsed() / 1e6);
        if (!ok) {
            std::fprintf(stderr, "mdb-export failed\n");
            return 1;
        }
    }
    std::printf("%s: %lld companies, %lld wrong\n", qPrintable(arquivo), static_cast<long long>(empresas),
                static_cast<long long>(comErro));
    std::printf("best of %d: preview reading %.2f ms, mdb-export %.2f ms, ratio %.2f (goal <= 1.50)\n", vezes,
                melhorLeitura, melhorReferencia, melhorLeitura / melhorReferencia);
    std::printf("BENCH novagia: preview %.2f ms = %.2f x mdb-export's %.2f ms; goal <= 1.50; %s\n", melhorLeitura,
                melhorLeitura / melhorReferencia, melhorReferencia,
                melhorLeitura / melhorReferencia <= 1.5 ? "met" : "not met");
    return 0;
}
