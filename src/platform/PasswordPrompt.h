#pragma once

#include "platform/CertStore.h"

#include <QList>
#include <QString>

#include <optional>

class QWidget;

namespace tervalia {

// Every password and PIN the program asks for goes through here, in a modal box whose typing is
// hidden. Tests switch on the test mode: the box is then recorded instead of shown and answered
// from a queue (nothing queued, or queueCancel(), is a cancelled box).
class PasswordPrompt
{
public:
    struct Shown
    {
        QString title;
        QString text;
        std::optional<QString> answer;
    };

    // The typed text, or nothing when the user cancels.
    static std::optional<QString> ask(QWidget* parent, const QString& title, const QString& text);

    // A token's PIN, with what the token tells: a refused PIN, few tries left, the final try.
    static std::optional<QString> askPin(QWidget* parent, const certstore::PinRequest& request);
    static QString pinText(const certstore::PinRequest& request);
    static QString pinTitle();

    // Test support.
    static void setTestMode(bool enabled);
    static bool testMode();
    static void queueAnswer(const QString& answer);
    static void queueCancel();
    static int pendingAnswers();
    static QList<Shown> takeShown();
    static void reset();
};

} // namespace tervalia
