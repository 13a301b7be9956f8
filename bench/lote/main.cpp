// "Entrega VAF para várias empresas" of one VAF.GDB holding N companies among about ROWS rows, through
// the window against the stand-in server, from the choice of the file to the last answer; against,
// in the same run, the conversion alone and curl posting the same N uploads to the same server one
// after the other.
//
// Usage: bench_lote [-n ROWS] [--empresas N]   (default 200000 rows, 50 companies)
#include "delivery/ConverteVAF.h"
#include "delivery/frmEntregaLote.h"
#include "delivery/VafTestData.h"
#include "platform/CertStore.h"
#include "platform/EscolhaCertificado.h"
#include "platform/FileDialog.h"
#include "platform/Pausa.h"
#include "platform/ProgramDir.h"
#include "server/Store.h"
#include "storage/Cadastro.h"
#include "storage/Database.h"
#include "support/GuiTest.h"
#include "support/StandInServer.h"
#include "support/TestCertificates.h"
#include "support/TestProgramDir.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>

using namespace tervalia;

namespace {
const QString contador = QStringLiteral("123.456.789-09");

// The companies gera_vaf_gdb.sh --empresas adds.
QString ie(int i)
{
    return QStringLiteral("79%1").arg(i, 11, 10, QLatin1Char('0'));
}

QString chave(int i)
{
    return QStringLiteral("L%1").arg(i, 7, 10, QLatin1Char('0'));
}

QByteArray semente(int n)
{
    QJsonArray empresas;
    for (int i = 1; i <= n; ++i)
        empresas.append(QJsonObject{{"ie", ie(i)},
                                    {"cnpj", QStringLiteral("%1").arg(i, 14, 10, QLatin1Char('0'))},
                                    {"cnae", "4711-3/02"},
                                    {"chave", chave(i)},
                                    {"razaoSocial", QStringLiteral("Empresa %1").arg(i)}});
    return QJsonDocument(QJsonObject{{"anoTrabalho", "2025/2026"}, {"versao", "1.15.01"}, {"empresas", empresas}})
        .toJson();
}

double ms(const QElapsedTimer& t)
{
    return t.nsecsElapsed() / 1e6;
}

[[noreturn]] void falha(const QString& texto)
{
    std::fprintf(stderr, "bench_lote: %s\n", qPrintable(texto));
    std::exit(2);
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int linhas = 200000, n = 50;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QByteArray opcao = argv[i];
        (opcao == "-n" ? linhas : n) = QString::fromLocal8Bit(argv[i + 1]).toInt();
    }

    QTemporaryDir temp;
    qputenv("HOME", QFile::encodeName(temp.path()));
    certstore::setP11KitProxyPathForTests({});
    test::TestCertificates certificados;
    const QString titular =
        certificados
            .installStore(temp.path(), {test::CertProfile(QStringLiteral("CONTADOR"), QStringLiteral("12345678909"))})
            .first();
    const QString gdb = temp.filePath(QStringLiteral("VAF.GDB"));
    if (const QString erro = test::geraVafGdb(
            gdb, {QStringLiteral("-n"), QString::number(linhas), QStringLiteral("--empresas"), QString::number(n)});
        !erro.isEmpty())
        falha(erro);
    const QString arquivoSemente = temp.filePath(QStringLiteral("semente.json"));
    QFile f(arquivoSemente);
    if (!f.open(QIODevice::WriteOnly) || f.write(semente(n)) < 0)
        falha(QStringLiteral("semente"));
    f.close();
    test::StandInServer servidor({QStringLiteral("--seed"), arquivoSemente});
    test::TestProgramDir dir;
    dir.installFromDist(QStringLiteral("vaf_limpo.db"));
    dir.installFromDist(QStringLiteral("vaf_limpo.mdb"));
    dir.installFromDist(QStringLiteral("fbexport"));
    dir.writeSettings(QStringLiteral("127.0.0.1"), QString::number(servidor.port()));
    cadastro::replaceContador({contador, {}, QStringLiteral("Contador"), {}, {}, {}, {}, {}, {}, {}, {}, {}});
    for (int i = 1; i <= n; ++i)
        cadastro::insertContribuinte({ie(i), QStringLiteral("Empresa %1").arg(i), {}, {}, chave(i), {}, false});
    setPausaParaTestes([](int) {});

    // The references: the conversion alone, then curl posting each company's upload.
    QElapsedTimer t;
    t.start();
    if (const ResultadoConversao r = ConverteVAF(gdb); !r.ok)
        falha(r.erro);
    const double conversao = ms(t);
    const QString copia = temp.filePath(QStringLiteral("vaf-enviado.db"));
    QFile::copy(programFile(QStringLiteral("vaf.db")), copia);
    const qint64 tamanho = QFileInfo(copia).size();
    t.restart();
    for (int i = 1; i <= n; ++i) {
        const QString endereco = QStringLiteral("http://127.0.0.1:%1/client/xt_upload.php?contador=%2&chave=%3&gias=%4")
                                     .arg(servidor.port())
                                     .arg(contador, chave(i))
                                     .arg(10000 + i);
        if (QProcess::execute(
                QStringLiteral("curl"),
                {QStringLiteral("-s"), QStringLiteral("-f"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                 QStringLiteral("-F"),
                 QStringLiteral("objArquivo=@%1;filename=VAF.GDB;type=application/octet-stream").arg(copia),
                 endereco}) != 0)
            falha(QStringLiteral("curl"));
    }
    const double curl = ms(t);

    // The window: the choice of the file, its conversion, the list, one certificate, N uploads.
    test::startGuiTest();
    frmEntregaLote* janela = frmEntregaLote::abrir();
    FileDialog::queueAnswer(gdb);
    EscolhaCertificado::queueEscolha(titular);
    t.restart();
    janela->findChild<QPushButton*>(QStringLiteral("cmdEscolher"))->click();
    const double preparo = ms(t);
    janela->findChild<QPushButton*>(QStringLiteral("cmdEnviar"))->click();
    auto* rotulo = janela->findChild<QLabel*>(QStringLiteral("lblEnvio"));
    while (!rotulo->text().startsWith(QStringLiteral("Envio concluído")))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double lote = ms(t);
    const int recebidas = int(standin::Store(servidor.statePath()).envios().size()) - n;

    const double meta = conversao + 1.2 * curl;
    std::printf("%d rows, %d companies, file of %.1f MB: conversion alone %.0f ms, curl %d uploads %.0f ms; window: "
                "file ready and listed %.0f ms, whole %.0f ms, %d uploads received (%s)\n",
                linhas, n, tamanho / 1e6, conversao, n, curl, preparo, lote, recebidas, qPrintable(rotulo->text()));
    const bool ok = lote <= meta && recebidas == n;
    std::printf("BENCH lote: %d companies in %.0f ms; goal <= conversion %.0f ms + 1.2 x curl %.0f ms = %.0f ms; %s\n",
                n, lote, conversao, curl, meta, ok ? "met" : "not met");
    test::takeMessages();
    janela->close();
    QCoreApplication::processEvents();
    return 0;
}
