#include "Browser.h"

#include <QDesktopServices>
#include <QUrl>

namespace tervalia {

namespace {
struct TestState
{
    bool enabled = false;
    QStringList opened;
};

TestState& testState()
{
    static TestState state;
    return state;
}
} // namespace

bool Browser::open(const QString& address)
{
    if (testState().enabled) {
        testState().opened.append(address);
        return true;
    }
    return QDesktopServices::openUrl(QUrl::fromUserInput(address));
}

void Browser::setTestMode(bool enabled)
{
    testState().enabled = enabled;
}

QStringList Browser::takeOpened()
{
    return std::exchange(testState().opened, {});
}

} // namespace tervalia
