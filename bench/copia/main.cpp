// The backup of a program directory holding 10,000 deliveries, against `zip -r` archiving the same
// files in the same run; its restore into an empty program directory, against `unzip` of zip's
// archive into an empty folder; and the longest pause between two progress reports of either, which
// is how long the progress window could go without repainting.
//
//   bench_copia [--tiny] [-e DELIVERIES] [-r RUNS]

#include "platform/ProgramDir.h"
#include "storage/CopiaSeguranca.h"
#include "storage/Entregas.h"
#include "support/TestProgramDir.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace tervalia;

namespace {
struct Opcoes
{
    int entregas = 10000;
    int vezes = 3;
};

Opcoes opcoes(int argc, char** argv)
{
    Opcoes o;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--tiny")) {
            o.entregas = 200;
            o.vezes = 1;
        } else if (!std::strcmp(argv[i], "-e") && i + 1 < argc) {
            o.entregas = std::max(1, std::atoi(argv[++i]));
        } else if (!std::strcmp(argv[i], "-r") && i + 1 < argc) {
            o.vezes = std::max(1, std::atoi(argv[++i]));
        }
    }
    return o;
}

// Deliveries like real ones: a declaration of a few kilobytes, partly compressible, and its texts.
void criaEntregas(int quantas)
{
    QRandomGenerator sorte(19);
    for (int i = 0; i < quantas; ++i) {
        Entrega e;
        e.dataHora = QDateTime(QDate(2024, 1, 1), QTime(8, 0)).addSecs(i * 60);
        e.ie = QStringLiteral("70%1").arg(i % 997, 11, 10, QLatin1Char('0'));
        e.razaoSocial = QStringLiteral("Empresa Número %1 Ltda").arg(i);
        e.arquivo = QStringLiteral("Declaração-%1.pdf").arg(i);
        e.cabecalhos = "POST /client/xt_upload_simples.php?contador=1&chave=ABCD1234&gias= HTTP/1.0\r\n";
        e.resposta = "HTTP/1.1 200 OK\r\n\r\nENTREGA RECEBIDA - PROTOCOLO 2024" + QByteArray::number(i) + "\r\n";
        QByteArray conteudo = "%PDF-1.4\n" + QByteArray(2048, 'x');
        for (int j = 0; j < 512; ++j)
            conteudo.append(char(sorte.bounded(256)));
        if (const QString erro = gravaEntrega(e, conteudo); !erro.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(erro));
            std::exit(1);
        }
    }
}

double segundos(const QElapsedTimer& relogio)
{
    return relogio.nsecsElapsed() / 1e9;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const Opcoes o = opcoes(argc, argv);
    const QString zip = QStandardPaths::findExecutable(QStringLiteral("zip"));
    const QString unzip = QStandardPaths::findExecutable(QStringLiteral("unzip"));
    if (zip.isEmpty() || unzip.isEmpty()) {
        std::fprintf(stderr, "zip or unzip not found (packages zip, unzip)\n");
        return 1;
    }
    QTemporaryDir fora;
    double melhorCopia = 1e30, melhorZip = 1e30, melhorRestauracao = 1e30, melhorUnzip = 1e30, maiorPausa = 0;
    QElapsedTimer pausa;
    const AoProgredir medePausa = [&](const Progresso&) {
        maiorPausa = std::max(maiorPausa, pausa.nsecsElapsed() / 1e6);
        pausa.restart();
        return true;
    };
    qint64 tamanhoCopia = 0, tamanhoZip = 0;
    {
        test::TestProgramDir pasta;
        criaEntregas(o.entregas);
        const QString destino = fora.filePath(QStringLiteral("copia.zip"));
        const QString referencia = fora.filePath(QStringLiteral("referencia.zip"));
        for (int vez = 0; vez < o.vezes; ++vez) {
            QFile::remove(referencia);
            QProcess processo;
            processo.setWorkingDirectory(pasta.path());
            QElapsedTimer relogio;
            relogio.start();
            processo.start(zip, {QStringLiteral("-q"), QStringLiteral("-r"), QStringLiteral("-X"), referencia,
                                 QStringLiteral("dipam.db"), QStringLiteral("dipam.ini"), QStringLiteral("entregas")});
            if (!processo.waitForFinished(-1) || processo.exitCode() != 0) {
                std::fprintf(stderr, "zip failed\n");
                return 1;
            }
            melhorZip = std::min(melhorZip, segundos(relogio));

            pausa.start();
            relogio.restart();
            const ResultadoCopia r = criaCopiaSeguranca(destino, medePausa);
            medePausa({}); // the time after the last report counts too
            melhorCopia = std::min(melhorCopia, segundos(relogio));
            if (r.desfecho != Desfecho::Concluida || r.manifesto.entregas != o.entregas) {
                std::fprintf(stderr, "backup failed: %s\n", qPrintable(r.erro));
                return 1;
            }
        }
        tamanhoCopia = QFileInfo(destino).size();
        tamanhoZip = QFileInfo(referencia).size();
    }
    for (int vez = 0; vez < o.vezes; ++vez) {
        QTemporaryDir extraida;
        QProcess processo;
        QElapsedTimer relogio;
        relogio.start();
        processo.start(unzip, {QStringLiteral("-q"), fora.filePath(QStringLiteral("referencia.zip")),
                               QStringLiteral("-d"), extraida.path()});
        if (!processo.waitForFinished(-1) || processo.exitCode() != 0) {
            std::fprintf(stderr, "unzip failed\n");
            return 1;
        }
        melhorUnzip = std::min(melhorUnzip, segundos(relogio));

        test::TestProgramDir vazia;
        pausa.start();
        relogio.restart();
        const ResultadoRestauracao r = restauraCopiaSeguranca(fora.filePath(QStringLiteral("copia.zip")), medePausa);
        medePausa({});
        melhorRestauracao = std::min(melhorRestauracao, segundos(relogio));
        if (r.desfecho != Desfecho::Concluida || r.entregasNovas != o.entregas) {
            std::fprintf(stderr, "restore failed: %s\n", qPrintable(r.erro));
            return 1;
        }
    }
    const double razao = melhorCopia / melhorZip, razaoRestauracao = melhorRestauracao / melhorUnzip;
    const bool cumprida = razao <= 1.5 && razaoRestauracao <= 1.5 && maiorPausa <= 100;
    std::printf("best of %d, %d deliveries: backup %.2f s (%.1f MB), zip -r %.2f s (%.1f MB); restore %.2f s, "
                "unzip %.2f s; longest pause between progress reports %.1f ms\n",
                o.vezes, o.entregas, melhorCopia, tamanhoCopia / 1e6, melhorZip, tamanhoZip / 1e6, melhorRestauracao,
                melhorUnzip, maiorPausa);
    std::printf("BENCH copia: backup of %d deliveries %.2f s = %.2f x zip -r, restore %.2f s = %.2f x unzip, longest "
                "progress pause %.0f ms; goal <= 1.50 x both and <= 100 ms; %s\n",
                o.entregas, melhorCopia, razao, melhorRestauracao, razaoRestauracao, maiorPausa,
                cumprida ? "met" : "not met");
    return 0;
}
