#include "BlockingWait.h"

#include <QCoreApplication>
#include <QEvent>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <utility>

namespace tervalia {

namespace {

// Closes the remembered windows when it is destroyed. It is destroyed through deleteLater(), and
// Qt runs that only once control is back in the event loop that was running when the wait ended,
// never inside a loop the same handler opens afterwards (a message box, another wait).
class HeldCloses : public QObject
{
public:
    QList<QPointer<QObject>> targets;

    ~HeldCloses() override
    {
        for (const QPointer<QObject>& target : targets) {
            if (target)
                QMetaObject::invokeMethod(target.data(), "close");
        }
    }
};

class CloseHolder : public QObject
{
public:
    int depth = 0;
    QList<QPointer<QObject>> held;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Close || !watched->isWidgetType())
            return false;
        if (!held.contains(watched))
            held.append(watched);
        event->ignore(); // the widget's close() returns false and the window stays as it is
        return true;
    }
};

CloseHolder& holder()
{
    static CloseHolder* instance = new CloseHolder; // lives as long as the process
    return *instance;
}

} // namespace

BlockingWait::BlockingWait()
{
    CloseHolder& h = holder();
    if (h.depth++ == 0 && QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(&h);
}

BlockingWait::~BlockingWait()
{
    CloseHolder& h = holder();
    if (--h.depth > 0)
        return;
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(&h);
    if (h.held.isEmpty())
        return;
    auto* replay = new HeldCloses;
    replay->targets = std::exchange(h.held, {});
    replay->deleteLater();
}

bool BlockingWait::active()
{
    return holder().depth > 0;
}

} // namespace tervalia
