#include "GuiTest.h"

#include "platform/Browser.h"
#include "platform/Session.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

namespace tervalia::test {

namespace {
int endings = 0;

QString describe(const QList<MessageBox::Shown>& shown)
{
    QStringList lines;
    for (const auto& m : shown)
        lines << QStringLiteral("[%1] %2").arg(m.title, m.text);
    return lines.join(QLatin1Char('\n'));
}
} // namespace

void startGuiTest()
{
    MessageBox::setTestMode(true);
    MessageBox::reset();
    Browser::setTestMode(true);
    Browser::takeOpened();
    endings = 0;
    setEndProgramHandler([] {
        ++endings;
        QApplication::closeAllWindows();
    });
}

void finishGuiTest()
{
    const auto leftOver = MessageBox::takeShown();
    const int unusedAnswers = MessageBox::pendingAnswers();
    MessageBox::reset();
    QApplication::closeAllWindows();
    for (QWidget* w : QApplication::topLevelWidgets())
        w->deleteLater();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(leftOver.isEmpty(), qPrintable(QStringLiteral("messages never examined:\n") + describe(leftOver)));
    QCOMPARE(unusedAnswers, 0);
}

QList<MessageBox::Shown> takeMessages()
{
    return MessageBox::takeShown();
}

QWidget* topLevel(const char* name)
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String(name) && w->isVisible())
            return w;
    }
    return nullptr;
}

int programEndings()
{
    return endings;
}

} // namespace tervalia::test
