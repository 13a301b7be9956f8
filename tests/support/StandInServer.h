#pragma once

#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace tervalia::test {

// The real tervalia-server on a free loopback port, with a state file of its own in a temporary
// folder; it stops when this goes away. Throws std::runtime_error when it cannot start.
class StandInServer
{
public:
    // Extra command-line arguments, such as "--seed" with a file or "--clock" with a fixed time.
    explicit StandInServer(const QStringList& arguments = {});
    ~StandInServer();
    StandInServer(const StandInServer&) = delete;
    StandInServer& operator=(const StandInServer&) = delete;

    quint16 port() const { return m_port; }
    bool running() const { return m_process.state() == QProcess::Running; }
    // The lines the server printed after its first one, one per request served, as far as they
    // have arrived; wait for a line with QTRY_*.
    QStringList log();
    QString statePath() const;

    // The accountants the server received, oldest first, each as its twelve fields in the order sent.
    QList<QStringList> contadores() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QStringList m_log;
};

} // namespace tervalia::test
