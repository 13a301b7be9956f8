#include "StandInServer.h"

#include "server/Store.h"

#include <stdexcept>

#include <csignal>
#include <sys/prctl.h>

namespace tervalia::test {

namespace {
// Generous: the first start of the server may have to create its state file on a busy machine.
constexpr int startLimitMs = 20000;
} // namespace

StandInServer::StandInServer(const QStringList& arguments)
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a folder for the stand-in server's state");
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The server must not outlive a test that crashes: it would hold ctest's output open.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_process.start(QStringLiteral(TERVALIA_SERVER_EXE),
                    QStringList{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--state"), statePath()} +
                        arguments);
    if (!m_process.waitForStarted(startLimitMs))
        throw std::runtime_error("tervalia-server did not start: " + m_process.errorString().toStdString());
    while (!m_process.canReadLine() && m_process.waitForReadyRead(startLimitMs)) {
    }
    const QByteArray first = m_process.readLine().trimmed();
    if (!first.startsWith("LISTENING "))
        throw std::runtime_error("tervalia-server did not listen: " + first.toStdString());
    m_port = first.mid(10).toUShort();
}

StandInServer::~StandInServer()
{
    m_process.terminate();
    if (!m_process.waitForFinished(startLimitMs))
        m_process.kill();
    m_process.waitForFinished();
}

QStringList StandInServer::log()
{
    while (m_process.canReadLine())
        m_log.append(QString::fromUtf8(m_process.readLine().trimmed()));
    return m_log;
}

QString StandInServer::statePath() const
{
    return m_dir.filePath(QStringLiteral("servidor.db"));
}

QList<QStringList> StandInServer::contadores() const
{
    return standin::Store(statePath()).contadores();
}

} // namespace tervalia::test
