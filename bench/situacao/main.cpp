// "Atualizar" of the delivery status over N companies, against the stand-in server answering each
// history call after D ms: the whole run against the ideal of four calls at a time, N × D / 4, and
// the longest time the window went without painting meanwhile.
//
// Usage: bench_situacao [companies] [delay-ms]   (default 500 20)
#include "app/frmSituacaoEntregas.h"
#include "storage/Cadastro.h"
#include "storage/Database.h"
#include "support/GuiTest.h"
#include "support/StandInServer.h"
#include "support/TestProgramDir.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace tervalia;

namespace {
QString ie(int i)
{
    return QStringLiteral("79%1").arg(i, 11, 10, QLatin1Char('0'));
}

QString chave(int i)
{
    return QStringLiteral("S%1").arg(i, 7, 10, QLatin1Char('0'));
}

QByteArray semente(int n)
{
    QJsonArray empresas;
    for (int i = 1; i <= n; ++i)
        empresas.append(QJsonObject{{"ie", ie(i)},
                                    {"cnpj", QStringLiteral("%1").arg(i, 14, 10, QLatin1Char('0'))},
                                    {"cnae", "4711-3/02"},
                                    {"chave", chave(i)},
                                    {"razaoSocial", QStringLiteral("Empresa %1").arg(i)},
                                    {"entregas", QJsonArray{QJsonObject{{"protocolo", QString::number(2026000000 + i)},
                                                                        {"referencia", "2025/2026"},
                                                                        {"data", "15/01/2026 09:30:00"},
                                                                        {"status", 1 + i % 2},
                                                                        {"adicionado", "1,00"}}}}});
    return QJsonDocument(QJsonObject{{"anoTrabalho", "2025/2026"}, {"versao", "1.15.01"}, {"empresas", empresas}})
        .toJson();
}

// The moments the window painted, any of its controls.
class Pinturas : public QObject
{
public:
    explicit Pinturas(QWidget* janela) : m_janela(janela) {}
    QList<qint64> momentos;
    QElapsedTimer relogio;

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override
    {
        if (evento->type() == QEvent::Paint && objeto->isWidgetType() &&
            static_cast<QWidget*>(objeto)->window() == m_janela)
            momentos << relogio.elapsed();
        return false;
    }

private:
    QWidget* m_janela;
};
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int n = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 500;
    const int atraso = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 20;

    QTemporaryDir temp;
    const QString arquivoSemente = temp.filePath(QStringLiteral("semente.json"));
    QFile f(arquivoSemente);
    if (!f.open(QIODevice::WriteOnly) || f.write(semente(n)) < 0)
        return 2;
    f.close();
    test::StandInServer servidor(
        {QStringLiteral("--seed"), arquivoSemente, QStringLiteral("--history-delay"), QString::number(atraso)});
    test::TestProgramDir dir;
    dir.writeSettings(QStringLiteral("127.0.0.1"), QString::number(servidor.port()));
    {
        Connection db;
        db.begin();
        for (int i = 1; i <= n; ++i)
            db.exec(QStringLiteral("insert into tblContribuinte (IE, RazaoSocial, Chave) values (?, ?, ?)"),
                    {ie(i), QStringLiteral("Empresa %1").arg(i), chave(i)});
        db.commit();
    }
    test::startGuiTest();

    frmSituacaoEntregas* janela = frmSituacaoEntregas::abrir();
    janela->resize(1300, 700);
    QCoreApplication::processEvents();
    Pinturas pinturas(janela);
    app.installEventFilter(&pinturas);
    pinturas.relogio.start();
    QElapsedTimer t;
    t.start();
    janela->findChild<QPushButton*>(QStringLiteral("cmdAtualizar"))->click();
    while (janela->consultando())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double total = t.nsecsElapsed() / 1e6;
    const qint64 fim = pinturas.relogio.elapsed();
    QCoreApplication::processEvents();
    app.removeEventFilter(&pinturas);

    qint64 maiorIntervalo = 0, anterior = 0;
    for (qint64 m : std::as_const(pinturas.momentos)) {
        if (m > fim)
            break;
        maiorIntervalo = std::max(maiorIntervalo, m - anterior);
        anterior = m;
    }
    maiorIntervalo = std::max(maiorIntervalo, fim - anterior);
    int respondidas = 0;
    for (const ContribuinteRecord& e : cadastro::listContribuintes())
        respondidas += situacao::carregaRegistro().empresas.value(e.ie).ultima ? 1 : 0;

    const double ideal = double(n) * atraso / 4;
    const double meta = 1.3 * ideal;
    std::printf("%d companies, %d ms per answer: %.0f ms (ideal %.0f ms), %d answered with their delivery, "
                "%lld paints, longest without painting %lld ms\n",
                n, atraso, total, ideal, respondidas, qlonglong(pinturas.momentos.size()), qlonglong(maiorIntervalo));
    const bool ok = total <= meta && maiorIntervalo <= 100 && respondidas == n;
    std::printf("BENCH situacao: %d companies in %.0f ms, longest without painting %lld ms; goal <= 1.3 x %d x %d ms / "
                "4 = %.0f ms and <= 100 ms; %s\n",
                n, total, qlonglong(maiorIntervalo), n, atraso, meta, ok ? "met" : "not met");
    test::takeMessages();
    janela->close();
    return 0;
}
