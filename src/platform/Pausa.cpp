#include "Pausa.h"

#include <QThread>

namespace tervalia {

namespace {
std::function<void(int)>& substituta()
{
    static std::function<void(int)> f;
    return f;
}
} // namespace

void pausa(int ms)
{
    if (substituta()) {
        substituta()(ms);
        return;
    }
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

void setPausaParaTestes(std::function<void(int)> f)
{
    substituta() = std::move(f);
}

} // namespace tervalia
