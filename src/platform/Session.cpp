#include "Session.h"

#include <QApplication>

namespace tervalia {

namespace {
bool ending = false;
std::function<void()>& handler()
{
    static std::function<void()> h;
    return h;
}
} // namespace

void endProgram()
{
    ending = true;
    if (handler()) {
        handler()();
        return;
    }
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

bool programEnding()
{
    return ending;
}

void setEndProgramHandler(std::function<void()> h)
{
    handler() = std::move(h);
    ending = false;
}

} // namespace tervalia
