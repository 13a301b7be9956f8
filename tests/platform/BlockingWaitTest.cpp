#include "platform/BlockingWait.h"

#include <QEventLoop>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>

using namespace tervalia;

namespace {
// A shown window that deletes itself when closed, as the program's windows do.
QPointer<QWidget> janela()
{
    auto* w = new QWidget;
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    return w;
}

// What a message box does in the middle of a handler: a local loop that delivers what is pending.
void lacoLocal()
{
    QEventLoop loop;
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

class BlockingWaitTest : public QObject
{
    Q_OBJECT

private slots:
    void closeWaitsForTheEndOfTheWait();
    void nestedWaitsReplayAfterTheOutermost();
    void replayWaitsUntilTheHandlerHasReturned();
    void windowDeletedMeanwhileIsSkipped();
    void onlyCloseRequestsToWidgetsAreHeld();
};

void BlockingWaitTest::closeWaitsForTheEndOfTheWait()
{
    const QPointer<QWidget> a = janela();
    const QPointer<QWidget> b = janela();
    {
        const BlockingWait espera;
        QVERIFY(BlockingWait::active());
        QVERIFY(!a->close());
        QVERIFY(!b->close());
        QVERIFY(!a->close()); // asked twice, closed once
        QVERIFY(a->isVisible() && b->isVisible());
    }
    QVERIFY(!BlockingWait::active());
    QVERIFY(a && b);
    QTRY_VERIFY(!a && !b);
}

void BlockingWaitTest::nestedWaitsReplayAfterTheOutermost()
{
    const QPointer<QWidget> w = janela();
    {
        const BlockingWait fora;
        {
            const BlockingWait dentro;
            QVERIFY(!w->close());
        }
        QVERIFY(BlockingWait::active());
        lacoLocal();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(w && w->isVisible());
        QVERIFY(!w->close()); // still held by the outer wait
    }
    QTRY_VERIFY(!w);
}

// A handler that waited and then shows a message box must not lose its window inside that box:
// the held close comes only once the handler is done.
void BlockingWaitTest::replayWaitsUntilTheHandlerHasReturned()
{
    const QPointer<QWidget> w = janela();
    bool vivaNoLaco = false;
    bool terminou = false;
    QTimer::singleShot(0, w, [&] {
        {
            const BlockingWait espera;
            w->close();
        }
        lacoLocal();
        vivaNoLaco = w && w->isVisible();
        terminou = true;
    });
    QTRY_VERIFY(terminou);
    QVERIFY(vivaNoLaco);
    QTRY_VERIFY(!w);
}

void BlockingWaitTest::windowDeletedMeanwhileIsSkipped()
{
    QPointer<QWidget> w = janela();
    const QPointer<QWidget> outra = janela();
    {
        const BlockingWait espera;
        w->close();
        outra->close();
        delete w.data();
    }
    QTRY_VERIFY(!outra);
    QVERIFY(!w);
}

void BlockingWaitTest::onlyCloseRequestsToWidgetsAreHeld()
{
    struct Ouvinte : QObject
    {
        int fechamentos = 0;
        bool event(QEvent* e) override
        {
            fechamentos += e->type() == QEvent::Close;
            return QObject::event(e);
        }
    } objeto;
    const BlockingWait espera;
    QEvent fechar(QEvent::Close);
    QCoreApplication::sendEvent(&objeto, &fechar);
    QCOMPARE(objeto.fechamentos, 1);
}

QTEST_MAIN(BlockingWaitTest)
#include "BlockingWaitTest.moc"
