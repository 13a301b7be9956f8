#include "FileDialog.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QQueue>
#include <QTranslator>

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

// The file list writes dates and sizes in the system's locale, which may be English; the program
// writes them in Portuguese, as every other text it shows.
class DatasEmPortugues : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto* arquivos = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !arquivos)
            return QIdentityProxyModel::data(index, role);
        const QModelIndex origem = mapToSource(index);
        if (index.column() == colunaTamanho && !arquivos->isDir(origem))
            return QLocale().formattedDataSize(arquivos->size(origem));
        if (index.column() == colunaData)
            return QLocale().toString(arquivos->lastModified(origem), QLocale::ShortFormat);
        return QIdentityProxyModel::data(index, role);
    }

private:
    static constexpr int colunaTamanho = 1;
    static constexpr int colunaData = 3;
};

class TiposDeArquivo : public QTranslator
{
public:
    TiposDeArquivo(const QTranslator* qtbase, QObject* parent) : QTranslator(parent), m_qtbase(qtbase) {}

    bool isEmpty() const override { return false; }

    QString translate(const char* context, const char* sourceText, const char*, int n) const override
    {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        return m_qtbase->translate("QFileDialog", sourceText, nullptr, n);
    }

private:
    const QTranslator* m_qtbase;
};
} // namespace

void FileDialog::traduzTiposDeArquivo(const QTranslator* qtbase)
{
    QCoreApplication::installTranslator(new TiposDeArquivo(qtbase, QCoreApplication::instance()));
}

QString FileDialog::getOpenFileName(QWidget* parent, const QString& caption, const QString& directory,
                                    const QString& filter, const QString& defaultSuffix)
{
    auto& state = testState();
    if (state.enabled) {
        const QString answer = state.answers.isEmpty() ? QString() : state.answers.dequeue();
        state.shown.append({caption, directory, filter, answer, defaultSuffix});
        return answer;
    }
    // Qt's own dialog, not the desktop's: its texts come from the Portuguese translation the program
    // loads, whatever the system's language.
    QFileDialog dialog(parent, caption, directory, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setProxyModel(new DatasEmPortugues(&dialog));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!defaultSuffix.isEmpty())
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
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setProxyModel(new DatasEmPortugues(&dialog));
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
