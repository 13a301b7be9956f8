// Moving in and staying safe, measured against references in the same run:
//  - the preview and the import of a dipam.mdb of 2,000 companies through the real window, against
//    `mdb-export` reading both tables and the `sqlite3` program storing the same rows in one
//    transaction. The preview also compares every company with dipam.db and builds a grid of
//    16,000 cells, hence its wider goal;
//  - the backup of a program directory holding 10,000 deliveries, against `zip -r` archiving the
//    same files; its restore into an empty program directory, against `unzip` of zip's archive;
//    and the longest pause between two progress reports of either, which is how long the progress
//    window could go without repainting.
//
//   bench_copia [--tiny] [-n COMPANIES] [-e DELIVERIES] [-r RUNS]

#include "app/Principal.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "storage/Cadastro.h"
#include "storage/CopiaSeguranca.h"
#include "storage/Entregas.h"
#include "storage/LeituraAccess.h"
#include "support/DipamMdb.h"
#include "support/GuiTest.h"
#include "support/TestProgramDir.h"
#include "taxpayers/frmImportarCadastro.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace tervalia;

namespace {
struct Opcoes
{
    int empresas = 2000;
    int entregas = 10000;
    int vezes = 3;
};

Opcoes opcoes(int argc, char** argv)
{
    Opcoes o;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--tiny")) {
            o = {50, 200, 1};
        } else if (!std::strcmp(argv[i], "-n") && i + 1 < argc) {
            o.empresas = std::max(1, std::atoi(argv[++i]));
        } else if (!std::strcmp(argv[i], "-e") && i + 1 < argc) {
            o.entregas = std::max(1, std::atoi(argv[++i]));
        } else if (!std::strcmp(argv[i], "-r") && i + 1 < argc) {
            o.vezes = std::max(1, std::atoi(argv[++i]));
        }
    }
    return o;
}

[[noreturn]] void falha(const QString& texto)
{
    std::fprintf(stderr, "%s\n", qPrintable(texto));
    std::exit(1);
}

QString programa(const char* nome)
{
    const QString caminho = QStandardPaths::findExecutable(QString::fromLatin1(nome));
    if (caminho.isEmpty())
        falha(QStringLiteral("%1 not found").arg(QString::fromLatin1(nome)));
    return caminho;
}

// Seconds a program takes, run in `pasta` with `entrada` on its standard input.
double roda(const QString& exe, const QStringList& args, const QString& pasta = {}, const QByteArray& entrada = {})
{
    QProcess processo;
    processo.setWorkingDirectory(pasta);
    processo.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer relogio;
    relogio.start();
    processo.start(exe, args);
    processo.write(entrada);
    processo.closeWriteChannel();
    if (!processo.waitForFinished(-1) || processo.exitCode() != 0)
        falha(QStringLiteral("%1 failed").arg(exe));
    return relogio.nsecsElapsed() / 1e9;
}

double segundos(const QElapsedTimer& relogio)
{
    return relogio.nsecsElapsed() / 1e9;
}

struct Importacao
{
    double previa = 1e30, importacao = 1e30, mdbExport = 1e30, sqlite3 = 1e30;
};

// The statements the import runs, values spliced, in one transaction.
QByteArray insercoes(const QList<ContribuinteRecord>& empresas)
{
    QByteArray sql = "BEGIN;\n";
    const auto q = [](const QString& t) {
        return "'" + QString(t).replace(u'\'', QStringLiteral("''")).toUtf8() + "'";
    };
    for (const ContribuinteRecord& c : empresas)
        sql += "Insert into tblContribuinte (IE,RazaoSocial,Cnpj,Cnae,Chave,CCM,OptanteSimples) values (" + q(c.ie) +
               "," + q(c.razaoSocial) + "," + q(c.cnpj) + "," + q(c.cnae) + "," + q(c.chave) + "," + q(c.ccm) + "," +
               (c.optanteSimples ? "1" : "0") + ");\n";
    return sql + "COMMIT;\n";
}

Importacao medeImportacao(const Opcoes& o, const QString& pastaArquivos)
{
    QList<ContribuinteRecord> empresas;
    QList<QVariantList> linhas;
    for (int i = 0; i < o.empresas; ++i) {
        empresas << test::empresaValida(i);
        linhas << test::linhaEmpresa(empresas.last());
    }
    const QString arquivo = QDir(pastaArquivos).filePath(QStringLiteral("dipam.mdb"));
    ContadorRecord contador;
    contador.cpfCnpj = QStringLiteral("390.533.447-05");
    contador.razaoNome = QStringLiteral("ANA BEATRIZ CONCEIÇÃO");
    if (const QString erro = test::escreveDipamMdb(arquivo, contador, linhas); !erro.isEmpty())
        falha(erro);
    Importacao r;
    test::startGuiTest();
    for (int vez = 0; vez < o.vezes; ++vez) {
        test::TestProgramDir pasta;
        Principal* principal = Principal::instance();
        principal->show();
        FileDialog::queueAnswer(arquivo);
        QElapsedTimer relogio;
        relogio.start();
        principal->findChild<QAction*>(QStringLiteral("mnImportarCadastro"))->trigger();
        frmImportarCadastro* janela = frmImportarCadastro::existing();
        QCoreApplication::processEvents(); // the window drawn with its rows
        r.previa = std::min(r.previa, segundos(relogio));
        if (!janela || janela->findChild<QTableWidget*>(QStringLiteral("GridEmpresas"))->rowCount() != o.empresas)
            falha(QStringLiteral("preview failed"));
        relogio.restart();
        QTest::mouseClick(janela->findChild<QPushButton*>(QStringLiteral("cmdImportar")), Qt::LeftButton);
        r.importacao = std::min(r.importacao, segundos(relogio));
        MessageBox::takeShown();
        if (cadastro::listContribuintes().size() != o.empresas)
            falha(QStringLiteral("import failed"));
        QApplication::closeAllWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        r.mdbExport =
            std::min(r.mdbExport, roda(programa("mdb-export"), {arquivo, QStringLiteral("tblContador")}) +
                                      roda(programa("mdb-export"), {arquivo, QStringLiteral("tblContribuinte")}));
        pasta.removeFile(QStringLiteral("dipam.db"));
        pasta.installFromDist(QStringLiteral("dipam.db"));
        r.sqlite3 = std::min(
            r.sqlite3, roda(programa("sqlite3"), {pasta.file(QStringLiteral("dipam.db"))}, {}, insercoes(empresas)));
    }
    return r;
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
        if (const QString erro = gravaEntrega(e, conteudo); !erro.isEmpty())
            falha(erro);
    }
}

struct Copia
{
    double copia = 1e30, zip = 1e30, restauracao = 1e30, unzip = 1e30, maiorPausa = 0;
};

Copia medeCopia(const Opcoes& o, const QString& fora)
{
    Copia r;
    QElapsedTimer pausa;
    const AoProgredir medePausa = [&](const Progresso&) {
        r.maiorPausa = std::max(r.maiorPausa, pausa.nsecsElapsed() / 1e6);
        pausa.restart();
        return true;
    };
    const QString destino = QDir(fora).filePath(QStringLiteral("copia.zip"));
    const QString referencia = QDir(fora).filePath(QStringLiteral("referencia.zip"));
    {
        test::TestProgramDir pasta;
        criaEntregas(o.entregas);
        for (int vez = 0; vez < o.vezes; ++vez) {
            QFile::remove(referencia);
            r.zip = std::min(r.zip,
                             roda(programa("zip"),
                                  {QStringLiteral("-q"), QStringLiteral("-r"), QStringLiteral("-X"), referencia,
                                   QStringLiteral("dipam.db"), QStringLiteral("dipam.ini"), QStringLiteral("entregas")},
                                  pasta.path()));
            QElapsedTimer relogio;
            relogio.start();
            pausa.start();
            const ResultadoCopia c = criaCopiaSeguranca(destino, medePausa);
            medePausa({}); // the time after the last report counts too
            r.copia = std::min(r.copia, segundos(relogio));
            if (c.desfecho != Desfecho::Concluida || c.manifesto.entregas != o.entregas)
                falha(QStringLiteral("backup failed: ") + c.erro);
        }
    }
    for (int vez = 0; vez < o.vezes; ++vez) {
        QTemporaryDir extraida;
        r.unzip = std::min(r.unzip, roda(programa("unzip"),
                                         {QStringLiteral("-q"), referencia, QStringLiteral("-d"), extraida.path()}));
        test::TestProgramDir vazia;
        QElapsedTimer relogio;
        relogio.start();
        pausa.start();
        const ResultadoRestauracao c = restauraCopiaSeguranca(destino, medePausa);
        medePausa({});
        r.restauracao = std::min(r.restauracao, segundos(relogio));
        if (c.desfecho != Desfecho::Concluida || c.entregasNovas != o.entregas)
            falha(QStringLiteral("restore failed: ") + c.erro);
    }
    return r;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("TERVALIA_LEITOR_ACCESS"))
        leitoraccess::setPrograma(QStringLiteral(TERVALIA_LEITOR_ACCESS));
    const Opcoes o = opcoes(argc, argv);
    QTemporaryDir fora;
    const Importacao i = medeImportacao(o, fora.path());
    const Copia c = medeCopia(o, fora.path());

    const double razaoPrevia = i.previa / i.mdbExport, razaoImportacao = i.importacao / i.sqlite3;
    const double razaoCopia = c.copia / c.zip, razaoRestauracao = c.restauracao / c.unzip;
    const bool cumprida =
        razaoPrevia <= 4 && razaoImportacao <= 2 && razaoCopia <= 1.5 && razaoRestauracao <= 1.5 && c.maiorPausa <= 100;
    std::printf("best of %d: %d companies: preview %.3f s, mdb-export of both tables %.3f s; import %.3f s, sqlite3 "
                "%.3f s\n",
                o.vezes, o.empresas, i.previa, i.mdbExport, i.importacao, i.sqlite3);
    std::printf("best of %d: %d deliveries: backup %.2f s, zip -r %.2f s; restore %.2f s, unzip %.2f s; longest pause "
                "between progress reports %.1f ms\n",
                o.vezes, o.entregas, c.copia, c.zip, c.restauracao, c.unzip, c.maiorPausa);
    std::printf("BENCH copia: %d companies preview %.2f s = %.2f x mdb-export, import %.2f s = %.2f x sqlite3; backup "
                "of %d deliveries %.2f s = %.2f x zip -r, restore %.2f s = %.2f x unzip, longest progress pause %.0f "
                "ms; goal preview <= 4 x, import <= 2 x, backup and restore <= 1.5 x, pause <= 100 ms; %s\n",
                o.empresas, i.previa, razaoPrevia, i.importacao, razaoImportacao, o.entregas, c.copia, razaoCopia,
                c.restauracao, razaoRestauracao, c.maiorPausa, cumprida ? "met" : "not met");
    return 0;
}
