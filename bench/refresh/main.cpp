// How long the main window's history refresh (the SOAP call, reading the answer, filling the grid)
// takes for N deliveries, against curl posting the same envelope to the same loopback server.
//
// Usage: bench_refresh [rows...]   (default 1000 10000 50000)
#include "app/Historico.h"
#include "app/Principal.h"
#include "net/Servidor.h"
#include "net/Soap.h"
#include "support/GuiTest.h"
#include "support/TestProgramDir.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryFile>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>

using namespace tervalia;

namespace {
const QString ie = QStringLiteral("7001234500028");
const QString chave = QStringLiteral("K7M2Q9TX");
constexpr int rodadas = 5;

// The history with the date at 32, the working year at 59 and the version at 78, and n deliveries.
QByteArray respostaHistorico(int n)
{
    QString retorno = QStringLiteral("<listaTransferencias");
    auto atributo = [&retorno](const QString& nome, int posicao, const QString& valor) {
        retorno +=
            QString(posicao - 1 - retorno.size() - nome.size() - 2, u' ') + nome + QStringLiteral("=\"") + valor + u'"';
    };
    atributo(QStringLiteral("data"), 32, QStringLiteral("13/02/2025 14:05:09"));
    atributo(QStringLiteral("ano"), 59, QStringLiteral("2025/2026"));
    atributo(QStringLiteral("versao"), 78, QStringLiteral("1.15.01").leftJustified(20));
    retorno += u'>';
    for (int i = 0; i < n; ++i)
        retorno += QStringLiteral("<transferencia><referencia>%1/%2</referencia><data>10/02/2025 10:00:00</data>"
                                  "<protocolo>%3</protocolo><status>%4</status><adicionado>1.254.300,00</adicionado>"
                                  "</transferencia>")
                       .arg(2000 + i % 25)
                       .arg(2001 + i % 25)
                       .arg(2024000000 + i)
                       .arg(1 + i % 2);
    retorno += QStringLiteral("</listaTransferencias>");
    const QByteArray corpo =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                       "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\">"
                       "<soap:Body><ns1:Transferencia.ver2Response xmlns:ns1=\"urn:Transferencia\">"
                       "<return>%1</return></ns1:Transferencia.ver2Response></soap:Body>"
                       "</soap:Envelope>")
            .arg(retorno.toHtmlEscaped())
            .toUtf8();
    return "HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: " +
           QByteArray::number(corpo.size()) + "\r\nConnection: close\r\n\r\n" + corpo;
}

// Answers every complete request with the same bytes, on a thread of its own so that curl and the
// program's own blocking call are served alike.
class Servidor : public QObject
{
public:
    // The listening socket is a child, so that it moves to the serving thread with this object.
    explicit Servidor(QByteArray* resposta) : m_server(new QTcpServer(this)), m_resposta(resposta)
    {
        connect(m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server->nextPendingConnection())
                serve(s);
        });
        m_server->listen(QHostAddress::LocalHost, 0);
    }
    quint16 porta() const { return m_server->serverPort(); }

private:
    void serve(QTcpSocket* s)
    {
        auto buffer = std::make_shared<QByteArray>();
        connect(s, &QTcpSocket::readyRead, s, [this, s, buffer] {
            buffer->append(s->readAll());
            const qsizetype fim = buffer->indexOf("\r\n\r\n");
            if (fim < 0)
                return;
            const qsizetype inicio = buffer->toLower().indexOf("content-length:");
            const qsizetype tamanho =
                buffer->mid(inicio + 15, buffer->indexOf('\r', inicio) - inicio - 15).trimmed().toLongLong();
            if (buffer->size() < fim + 4 + tamanho)
                return;
            buffer->clear();
            s->write(*m_resposta);
            s->disconnectFromHost();
        });
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    }

    QTcpServer* m_server;
    QByteArray* m_resposta;
};

double mediana(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QList<int> tamanhos;
    for (int i = 1; i < argc; ++i)
        tamanhos << QString::fromLocal8Bit(argv[i]).toInt();
    if (tamanhos.isEmpty())
        tamanhos = {1000, 10000, 50000};

    QByteArray resposta;
    QThread linha;
    auto* servidor = new Servidor(&resposta);
    servidor->moveToThread(&linha);
    linha.start();

    test::TestProgramDir dir;
    dir.writeSettings(QStringLiteral("127.0.0.1"), QString::number(servidor->porta()));
    test::startGuiTest();
    Principal* p = Principal::instance();
    p->show();
    p->selecionaContribuinte(ie, QStringLiteral("Mercearia Boa Vista Ltda"), chave);

    namespace h = servidor::historico;
    QTemporaryFile envelope;
    envelope.open();
    const QString textoEnvelope = montaEnvelope(
        servidor::operacao::historico, {{h::paramNome, ie}, {h::paramDiretorio, h::diretorio}, {h::paramChave, chave}});
    envelope.write(textoEnvelope.toUtf8());
    envelope.flush();
    const QStringList argsCurl{QStringLiteral("-s"),
                               QStringLiteral("-o"),
                               QStringLiteral("/dev/null"),
                               QStringLiteral("-H"),
                               QStringLiteral("Content-Type: text/xml"),
                               QStringLiteral("-H"),
                               QStringLiteral("SOAPAction: ") + QString(servidor::operacao::historico),
                               QStringLiteral("--data-binary"),
                               QLatin1Char('@') + envelope.fileName(),
                               EnderecoServico()};

    // The goal holds at 10,000 rows; the time per row shows whether the growth stays linear.
    QString resumo, resumo10k;
    bool medido10k = false, meta10k = false;
    std::printf("%8s %12s %12s %12s %12s\n", "rows", "refresh ms", "curl ms", "us per row", "goal (10k)");
    for (int n : tamanhos) {
        // The serving thread reads it only while a request is served.
        resposta = respostaHistorico(n);
        QList<double> tempoRefresh, tempoCurl;
        for (int r = 0; r < rodadas; ++r) {
            QElapsedTimer t;
            t.start();
            const ResultadoAtualizacao resultado = p->RecebeDadosServer();
            QCoreApplication::processEvents(); // the grid painted
            tempoRefresh << t.nsecsElapsed() / 1e6;
            const int linhas = p->findChild<QTableWidget*>(QStringLiteral("GridTransmissoes"))->rowCount();
            if (!resultado.ok() || linhas != n) {
                std::fprintf(stderr, "refresh failed (%s), %d rows\n", qPrintable(resultado.descricao), linhas);
                return 2;
            }
            t.restart();
            if (QProcess::execute(QStringLiteral("curl"), argsCurl) != 0) {
                std::fprintf(stderr, "curl failed\n");
                return 2;
            }
            tempoCurl << t.nsecsElapsed() / 1e6;
        }
        // Where the time goes, one step at a time.
        QElapsedTimer t;
        t.start();
        const QString texto = EnviaSoap(servidor::operacao::historico, textoEnvelope);
        const double tSoap = t.nsecsElapsed() / 1e6;
        t.restart();
        bool falhou = false;
        const QString retorno = GetResult(texto, servidor::elementoResultado, &falhou);
        const double tResult = t.nsecsElapsed() / 1e6;
        t.restart();
        const auto linhasLidas = historico::lerTransferencias(retorno);
        const double tLer = t.nsecsElapsed() / 1e6;
        t.restart();
        (void)p->historico()->PopulaGridTransmissoes(retorno);
        const double tGrid = t.nsecsElapsed() / 1e6;
        t.restart();
        QCoreApplication::processEvents();
        const double tPinta = t.nsecsElapsed() / 1e6;
        std::fprintf(stderr, "  %d rows: soap %.1f, result %.1f, read %.1f (%d), read+grid %.1f, paint %.1f ms\n", n,
                     tSoap, tResult, tLer, int(linhasLidas.size()), tGrid, tPinta);
        const double refresh = mediana(tempoRefresh), curl = mediana(tempoCurl);
        QString meta = QStringLiteral("-");
        if (n == 10000)
            meta = QStringLiteral("%1 ms %2")
                       .arg(1.2 * curl + 100, 0, 'f', 1)
                       .arg(refresh <= 1.2 * curl + 100 ? "ok" : "OVER");
        std::printf("%8d %12.1f %12.1f %12.2f %12s\n", n, refresh, curl, 1000 * refresh / n, qPrintable(meta));
        resumo = QStringLiteral("%1 rows in %2 ms (curl %3 ms, %4 us per row)")
                     .arg(n)
                     .arg(refresh, 0, 'f', 1)
                     .arg(curl, 0, 'f', 1)
                     .arg(1000 * refresh / n, 0, 'f', 2);
        if (n == 10000) {
            medido10k = true;
            meta10k = refresh <= 1.2 * curl + 100;
            resumo10k = resumo + QStringLiteral("; goal <= 1.2 x curl + 100 ms = %1 ms").arg(1.2 * curl + 100, 0, 'f', 1);
        }
    }
    if (medido10k)
        std::printf("BENCH refresh: %s; %s\n", qPrintable(resumo10k), meta10k ? "met" : "not met");
    else
        std::printf("BENCH refresh: %s; goal measured at 10000 rows only; not measured\n", qPrintable(resumo));
    test::takeMessages();
    linha.quit();
    linha.wait();
    return 0;
}
