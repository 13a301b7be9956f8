#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>

namespace tervalia {

// Every message the program shows goes through here. Tests switch on the test mode: boxes are then
// recorded instead of shown, and answered from a queue that the test fills beforehand.
class MessageBox
{
public:
    using Button = QMessageBox::StandardButton;
    using Buttons = QMessageBox::StandardButtons;
    using Icon = QMessageBox::Icon;

    struct Shown
    {
        QString text;
        QString title;
        Icon icon;
        Buttons buttons;
        Button answer;
    };

    // The program's own title, used by messages that name none.
    static QString defaultTitle();

    // An empty title means the program's default title.
    static Button show(QWidget* parent, const QString& text, const QString& title = {}, Icon icon = QMessageBox::NoIcon,
                       Buttons buttons = QMessageBox::Ok, Button defaultButton = QMessageBox::NoButton);

    // A box whose title bar stays blank (Qt would otherwise put the program's name there). Recorded
    // with an empty title.
    static Button showUntitled(QWidget* parent, const QString& text, Icon icon = QMessageBox::NoIcon,
                               Buttons buttons = QMessageBox::Ok);

    // Test support.
    static void setTestMode(bool enabled);
    static bool testMode();
    static void queueAnswer(Button answer);
    static int pendingAnswers();
    static QList<Shown> takeShown();
    static void reset();
};

} // namespace tervalia
