#include "GuiTest.h"

#include "platform/Browser.h"
#include "platform/EscolhaCertificado.h"
#include "platform/FileDialog.h"
#include "platform/PasswordPrompt.h"
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
    for (auto layer : {&FileDialog::setTestMode, &PasswordPrompt::setTestMode, &EscolhaCertificado::setTestMode})
        layer(true);
    FileDialog::reset();
    PasswordPrompt::reset();
    EscolhaCertificado::reset();
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
    const int unusedLayerAnswers =
        FileDialog::pendingAnswers() + PasswordPrompt::pendingAnswers() + EscolhaCertificado::pendingActions();
    MessageBox::reset();
    FileDialog::reset();
    PasswordPrompt::reset();
    EscolhaCertificado::reset();
    QApplication::closeAllWindows();
    for (QWidget* w : QApplication::topLevelWidgets())
        w->deleteLater();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(leftOver.isEmpty(), qPrintable(QStringLiteral("messages never examined:\n") + describe(leftOver)));
    QCOMPARE(unusedAnswers, 0);
    QCOMPARE(unusedLayerAnswers, 0);
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
