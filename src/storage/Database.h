#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <stdexcept>

namespace tervalia {

// One entry of a connection's error list, reported before the failure itself.
struct ConnectionErrorEntry
{
    qint64 number = 0;
    QString description;
    QString source;
};

// A failed database action: the database's own error code and text, and what was being done.
class DatabaseError : public std::runtime_error
{
public:
    DatabaseError(qint64 number, QString source, QString description, QList<ConnectionErrorEntry> entries = {});

    qint64 number() const { return m_number; }
    const QString& source() const { return m_source; }
    const QString& description() const { return m_description; }
    const QList<ConnectionErrorEntry>& entries() const { return m_entries; }

private:
    qint64 m_number;
    QString m_source;
    QString m_description;
    QList<ConnectionErrorEntry> m_entries;
};

// The report text shown when a database action fails. It always starts with CR LF: first one block
// per entry of the connection's error list, then the failure itself.
QString RelatorioErroBanco(const QList<ConnectionErrorEntry>& entries, qint64 number, const QString& source,
                           const QString& description);
QString RelatorioErroBanco(const DatabaseError& error);

// The description a report shows: the likely cause in Portuguese (file missing or unreadable,
// read-only, disk full, damaged file, file in use, missing table or column), then SQLite's own text
// in parentheses. codigo is SQLite's result code, primary or extended.
QString descricaoErroBanco(int codigo, const QString& textoSqlite);

// One action's connection to a database file of the program directory. The file must exist: a
// missing file is an error, never a new empty database. The connection closes when this goes away.
class Connection
{
public:
    explicit Connection(const QString& fileName = QStringLiteral("dipam.db"));
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Runs one statement with its values bound in order; throws DatabaseError on failure.
    QSqlQuery exec(const QString& statement, const QVariantList& values = {});

    void begin();
    void commit();
    void rollback();

    QSqlDatabase database() const;

private:
    [[noreturn]] void fail(const QString& source, const class QSqlError& error) const;

    QString m_name;
};

} // namespace tervalia
