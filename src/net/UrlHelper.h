#pragma once

#include <QString>

#include <stdexcept>

namespace tervalia {

// An address cut into its parts. Port is 0 when the address writes none or not a number.
struct UrlParts
{
    QString Scheme; // before "://", empty without one
    QString Host;
    qint32 Port = 0;
    QString Path;  // from the first "/" after the host up to the first "?"; "/" without a path
    QString Query; // after that "?", empty without one
};

// An address whose port is a number out of the range a port may carry here (-32768 to 32767).
class UrlError : public std::runtime_error
{
public:
    explicit UrlError(QString description);

    // In Portuguese, ready for a message box.
    const QString& description() const { return m_description; }

private:
    QString m_description;
};

// Cuts an address into scheme, host, port, path and query. Never fails on text, except that a
// port written as a number beyond 16 bits throws UrlError.
UrlParts SplitUrl(const QString& address);

} // namespace tervalia
