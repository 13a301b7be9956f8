#include "FileDialog.h"

#include <QFileDialog>
#include <QQueue>

namespace tervalia {

namespace {
struct TestState
{
    bool enabled = false;
    QQueue<QString> answers;
    QList<FileDialog::Shown> shown;
};

TestState& testState()
{
    static TestState state;
    return state;
}
} // namespace

QString FileDialog::getOpenFileName(QWidget* parent, const QString& caption, const QString& directory,
                                    const QString& filter, const QString& defaultSuffix)
{
    auto& state = testState();
    if (state.enabled) {
        const QString answer = state.answers.isEmpty() ? QString() : state.answers.dequeue();
        state.shown.append({caption, directory, filter, answer, defaultSuffix});
        return answer;
    }
    if (defaultSuffix.isEmpty())
        return QFileDialog::getOpenFileName(parent, caption, directory, filter);
    QFileDialog dialog(parent, caption, directory, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString FileDialog::getSaveFileName(QWidget* parent, const QString& caption, const QString& directory,
                                    const QString& filter, const QString& defaultSuffix)
{
    auto& state = testState();
    if (state.enabled) {
        const QString answer = state.answers.isEmpty() ? QString() : state.answers.dequeue();
        state.shown.append({caption, directory, filter, answer, defaultSuffix, true});
        return answer;
    }
    QFileDialog dialog(parent, caption, directory, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void FileDialog::setTestMode(bool enabled)
{
    testState().enabled = enabled;
}

bool FileDialog::testMode()
{
    return testState().enabled;
}

void FileDialog::queueAnswer(const QString& path)
{
    testState().answers.enqueue(path);
}

int FileDialog::pendingAnswers()
{
    return int(testState().answers.size());
}

QList<FileDialog::Shown> FileDialog::takeShown()
{
    return std::exchange(testState().shown, {});
}

void FileDialog::reset()
{
    testState().answers.clear();
    testState().shown.clear();
}

} // namespace tervalia
