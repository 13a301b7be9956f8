#include "MessageBox.h"

#include <QApplication>
#include <QQueue>

namespace tervalia {

namespace {
struct TestState
{
    bool enabled = false;
    QQueue<MessageBox::Button> answers;
    QList<MessageBox::Shown> shown;
};

TestState& testState()
{
    static TestState state;
    return state;
}

// Without a queued answer a recorded box takes its default button, or the first one it has.
MessageBox::Button fallbackAnswer(MessageBox::Buttons buttons, MessageBox::Button defaultButton)
{
    if (defaultButton != QMessageBox::NoButton)
        return defaultButton;
    for (auto b : {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}) {
        if (buttons.testFlag(b))
            return b;
    }
    return QMessageBox::NoButton;
}
} // namespace

QString MessageBox::defaultTitle()
{
    return QStringLiteral("Tervalia");
}

namespace {
MessageBox::Button showBox(QWidget* parent, const QString& text, const QString& recordedTitle,
                           const QString& shownTitle, MessageBox::Icon icon, MessageBox::Buttons buttons,
                           MessageBox::Button defaultButton)
{
    auto& state = testState();
    if (state.enabled) {
        MessageBox::Button answer =
            state.answers.isEmpty() ? fallbackAnswer(buttons, defaultButton) : state.answers.dequeue();
        state.shown.append({text, recordedTitle, icon, buttons, answer});
        return answer;
    }

    QMessageBox box(icon, shownTitle, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return static_cast<MessageBox::Button>(box.exec());
}
} // namespace

MessageBox::Button MessageBox::show(QWidget* parent, const QString& text, const QString& title, Icon icon,
                                    Buttons buttons, Button defaultButton)
{
    const QString shownTitle = title.isEmpty() ? defaultTitle() : title;
    return showBox(parent, text, shownTitle, shownTitle, icon, buttons, defaultButton);
}

MessageBox::Button MessageBox::showUntitled(QWidget* parent, const QString& text, Icon icon, Buttons buttons)
{
    // An empty window title is replaced by the application's name; a blank one is shown as is.
    return showBox(parent, text, QString(), QStringLiteral(" "), icon, buttons, QMessageBox::NoButton);
}

void MessageBox::setTestMode(bool enabled)
{
    testState().enabled = enabled;
}

bool MessageBox::testMode()
{
    return testState().enabled;
}

void MessageBox::queueAnswer(Button answer)
{
    testState().answers.enqueue(answer);
}

int MessageBox::pendingAnswers()
{
    return int(testState().answers.size());
}

QList<MessageBox::Shown> MessageBox::takeShown()
{
    return std::exchange(testState().shown, {});
}

void MessageBox::reset()
{
    testState().answers.clear();
    testState().shown.clear();
}

} // namespace tervalia
