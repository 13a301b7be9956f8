#include "PasswordPrompt.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QQueue>

namespace tervalia {

namespace {
struct TestState
{
    bool enabled = false;
    QQueue<std::optional<QString>> answers;
    QList<PasswordPrompt::Shown> shown;
};

TestState& testState()
{
    static TestState state;
    return state;
}
} // namespace

std::optional<QString> PasswordPrompt::ask(QWidget* parent, const QString& title, const QString& text)
{
    auto& state = testState();
    if (state.enabled) {
        const std::optional<QString> answer = state.answers.isEmpty() ? std::nullopt : state.answers.dequeue();
        state.shown.append({title, text, answer});
        return answer;
    }
    QInputDialog box(parent);
    box.setWindowTitle(title);
    box.setLabelText(text);
    box.setTextEchoMode(QLineEdit::Password);
    box.setOkButtonText(QStringLiteral("OK"));
    box.setCancelButtonText(QStringLiteral("Cancelar"));
    box.setWindowModality(Qt::WindowModal);
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.textValue();
}

QString PasswordPrompt::pinTitle()
{
    return QStringLiteral("PIN do certificado digital");
}

QString PasswordPrompt::pinText(const certstore::PinRequest& request)
{
    QString text;
    if (request.wrongPin)
        text = QStringLiteral("PIN incorreto. ");
    text += QStringLiteral("Digite o PIN do dispositivo “%1”:").arg(request.token);
    if (request.finalTry)
        text += QStringLiteral("\n\nAtenção: esta é a última tentativa. Se o PIN estiver errado, o dispositivo "
                               "será bloqueado.");
    else if (request.fewTriesLeft)
        text += QStringLiteral("\n\nAtenção: restam poucas tentativas antes de o dispositivo ser bloqueado.");
    return text;
}

std::optional<QString> PasswordPrompt::askPin(QWidget* parent, const certstore::PinRequest& request)
{
    return ask(parent, pinTitle(), pinText(request));
}

void PasswordPrompt::setTestMode(bool enabled)
{
    testState().enabled = enabled;
}

bool PasswordPrompt::testMode()
{
    return testState().enabled;
}

void PasswordPrompt::queueAnswer(const QString& answer)
{
    testState().answers.enqueue(answer);
}

void PasswordPrompt::queueCancel()
{
    testState().answers.enqueue(std::nullopt);
}

int PasswordPrompt::pendingAnswers()
{
    return int(testState().answers.size());
}

QList<PasswordPrompt::Shown> PasswordPrompt::takeShown()
{
    return std::exchange(testState().shown, {});
}

void PasswordPrompt::reset()
{
    testState().answers.clear();
    testState().shown.clear();
}

} // namespace tervalia
