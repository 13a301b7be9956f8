// bench_upload: posts one large file to a loopback sink with the program's upload and with
// `curl -F`, in the same run, and prints the throughputs, their ratio and the upload's peak memory.
//
//   bench_upload [--size-bytes N] [--runs N]       (default 64 MiB, 3 runs of each)
//
// Each upload runs in a child process (this program with --child), so that its peak memory
// (VmHWM) is its own; its idle size is its resident size once ready to send. The sink runs in a
// thread of this process and times every request from the connection to its last byte.
#include "net/Upload.h"
#include "platform/ProgramDir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>

using namespace tervalia;

namespace {
struct Recebido
{
    qint64 bytes = 0;
    double segundos = 0;
};

// Reads whole requests (headers, then Content-Length bytes), answers "OK" and closes.
class Sink : public QObject
{
public:
    void start()
    {
        const int first = 20000 + QRandomGenerator::global()->bounded(12000);
        for (int i = 0; i < 12000 && !m_server->isListening(); ++i)
            m_server->listen(QHostAddress::LocalHost, quint16(20000 + (first - 20000 + i) % 12000));
        connect(m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server->nextPendingConnection())
                serve(s);
        });
    }
    quint16 port() const { return m_server->serverPort(); }
    QList<Recebido> recebidos()
    {
        QMutexLocker lock(&m_mutex);
        return m_recebidos;
    }

private:
    void serve(QTcpSocket* s)
    {
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        auto head = std::make_shared<QByteArray>();
        auto faltam = std::make_shared<qint64>(-1);
        auto total = std::make_shared<qint64>(0);
        connect(s, &QTcpSocket::readyRead, s, [=, this] {
            QByteArray data = s->readAll();
            *total += data.size();
            if (*faltam < 0) {
                head->append(data);
                const qsizetype end = head->indexOf("\r\n\r\n");
                if (end < 0)
                    return;
                const qsizetype at = head->toLower().indexOf("content-length:");
                const qint64 length =
                    at < 0 ? 0 : head->mid(at + 15, head->indexOf('\r', at) - at - 15).trimmed().toLongLong();
                *faltam = length - (head->size() - end - 4);
                head->clear();
            } else {
                *faltam -= data.size();
            }
            if (*faltam > 0)
                return;
            {
                QMutexLocker lock(&m_mutex);
                m_recebidos.append({*total, timer->nsecsElapsed() / 1e9});
            }
            s->write("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nOK");
            s->disconnectFromHost();
        });
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    }

    QTcpServer* m_server = new QTcpServer(this);
    QMutex m_mutex;
    QList<Recebido> m_recebidos;
};

qint64 statusKb(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// The child: one upload with the program's own component, timed from the start to the answer.
int child(const QString& arquivo, const QString& porta)
{
    QTemporaryDir dir; // the copy of the delivery goes here
    setProgramDir(dir.path());
    Upload upload(OpcoesUpload::vaf());
    upload.setCertificadoValido(true);
    PedidoUpload pedido;
    pedido.endereco = QStringLiteral("http://127.0.0.1:%1 /client/xt_upload.php?contador=1&chave=K&gias=1").arg(porta);
    pedido.portaConfiguracao = porta;
    pedido.arquivo = arquivo;
    pedido.nomeArquivo = QStringLiteral("VAF.GDB");
    std::printf("IDLE %lld\n", statusKb("VmRSS:"));

    QElapsedTimer timer;
    double segundos = -1;
    QString erro;
    QObject::connect(&upload, &Upload::dadosRecebidos, [&] { segundos = timer.nsecsElapsed() / 1e9; });
    QObject::connect(&upload, &Upload::respostaConcluida, qApp, &QCoreApplication::quit);
    QObject::connect(&upload, &Upload::erroSocket, [&](const QString& d) {
        erro = d;
        qApp->quit();
    });
    QObject::connect(&upload, &Upload::requisicaoPronta,
                     [&] { std::printf("READY %.4f\n", timer.nsecsElapsed() / 1e9); });
    timer.start();
    const InicioUpload inicio = upload.iniciar(pedido);
    if (!inicio.iniciado()) {
        std::printf("ERROR %s\n", qPrintable(inicio.mensagem));
        return 1;
    }
    QCoreApplication::exec();
    if (!erro.isEmpty() || segundos < 0) {
        std::printf("ERROR %s\n", qPrintable(erro));
        return 1;
    }
    std::printf("SECONDS %.6f\nHWM %lld\n", segundos, statusKb("VmHWM:"));
    return 0;
}

QMap<QString, QString> runChild(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    p.waitForFinished(600000);
    QMap<QString, QString> out;
    for (const QString& line : QString::fromLocal8Bit(p.readAllStandardOutput()).split(u'\n')) {
        const qsizetype sp = line.indexOf(u' ');
        if (sp > 0)
            out.insert(line.left(sp), line.mid(sp + 1).trimmed());
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        out.insert(QStringLiteral("ERROR"),
                   out.value(QStringLiteral("ERROR"), QStringLiteral("exit %1").arg(p.exitCode())));
    return out;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(v.size() / 2);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == QLatin1String("--child"))
        return child(args.at(2), args.at(3));

    qint64 size = 64ll * 1024 * 1024;
    int runs = 3;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--size-bytes"))
            size = args.at(i + 1).toLongLong();
        else if (args.at(i) == QLatin1String("--runs"))
            runs = std::max(1, args.at(i + 1).toInt());
    }

    QTemporaryDir dir;
    const QString arquivo = dir.filePath(QStringLiteral("VAF.GDB"));
    {
        QByteArray content(size, Qt::Uninitialized);
        QRandomGenerator(42).fillRange(reinterpret_cast<quint32*>(content.data()), size / 4);
        QFile f(arquivo);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != size)
            return std::fprintf(stderr, "cannot write the test file\n"), 2;
    }

    QThread sinkThread;
    Sink sink;
    sink.moveToThread(&sinkThread);
    sinkThread.start();
    QMetaObject::invokeMethod(
        &sink, [&] { sink.start(); }, Qt::BlockingQueuedConnection);
    const QString porta = QString::number(sink.port());
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));

    QList<double> ours, ready, oursWire, theirs, theirsWire, extraMemory;
    qint64 idle = 0, hwm = 0;
    for (int r = 0; r < runs; ++r) {
        const auto o = runChild(app.applicationFilePath(), {QStringLiteral("--child"), arquivo, porta});
        if (o.contains(QStringLiteral("ERROR")))
            return std::fprintf(stderr, "upload failed: %s\n", qPrintable(o.value(QStringLiteral("ERROR")))), 1;
        ours << o.value(QStringLiteral("SECONDS")).toDouble();
        ready << o.value(QStringLiteral("READY")).toDouble();
        oursWire << sink.recebidos().last().segundos;
        idle = o.value(QStringLiteral("IDLE")).toLongLong();
        hwm = std::max(hwm, o.value(QStringLiteral("HWM")).toLongLong());
        extraMemory << (o.value(QStringLiteral("HWM")).toLongLong() - idle) * 1024.0 / size;
        if (curl.isEmpty())
            continue;
        QProcess c;
        c.start(curl,
                {QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"), QStringLiteral("-H"),
                 QStringLiteral("Expect:"), QStringLiteral("-w"), QStringLiteral("%{time_total}"), QStringLiteral("-F"),
                 QStringLiteral("objArquivo=@%1;type=application/octet-stream").arg(arquivo),
                 QStringLiteral("http://127.0.0.1:%1/client/xt_upload.php?contador=1&chave=K&gias=1").arg(porta)});
        c.waitForFinished(600000);
        if (c.exitCode() != 0)
            return std::fprintf(stderr, "curl failed with %d\n", c.exitCode()), 1;
        theirs << QString::fromLatin1(c.readAllStandardOutput()).trimmed().toDouble();
        theirsWire << sink.recebidos().last().segundos;
    }
    sinkThread.quit();
    sinkThread.wait();

    const double mb = size / 1e6;
    std::printf("file: %.1f MB, %d run(s) of each, medians\n", mb, runs);
    std::printf("upload: %.4f s end to end (%.0f MB/s), %.4f s on the wire (%.0f MB/s)\n", median(ours),
                mb / median(ours), median(oursWire), mb / median(oursWire));
    std::printf("        of which %.4f s reading the file and connecting\n", median(ready));
    if (!theirs.isEmpty()) {
        std::printf("curl -F: %.4f s end to end (%.0f MB/s), %.4f s on the wire (%.0f MB/s)\n", median(theirs),
                    mb / median(theirs), median(theirsWire), mb / median(theirsWire));
        const double ratio = median(theirs) / median(ours);
        std::printf("throughput ratio upload/curl: %.2f end to end, %.2f on the wire (goal >= 0.90): %s\n", ratio,
                    median(theirsWire) / median(oursWire), ratio >= 0.9 ? "met" : "NOT met");
    } else {
        std::printf("curl not found: no reference run\n");
    }
    const double extra = median(extraMemory);
    std::printf("memory: idle %lld kB, peak %lld kB, peak above idle %.2f x the file size (goal <= 1.20): %s\n", idle,
                hwm, extra, extra <= 1.2 ? "met" : "NOT met");
    const double razao = theirs.isEmpty() ? 0 : median(theirs) / median(ours);
    std::printf("BENCH upload: %.1f MB at %.2f x curl's throughput, peak %.2f x the file above idle; goal >= 0.90 x "
                "and <= 1.20 x; %s\n",
                mb, razao, extra, razao >= 0.9 && extra <= 1.2 ? "met" : "not met");
    return 0;
}
