#pragma once

#include <QStringList>

namespace tervalia {

// Opens addresses in the user's default browser. In test mode the addresses are only recorded.
class Browser
{
public:
    // Returns false when the desktop could not open the address.
    static bool open(const QString& address);

    static void setTestMode(bool enabled);
    static QStringList takeOpened();
};

} // namespace tervalia
