#pragma once

#include <QList>
#include <QString>

class QTranslator;
class QWidget;

namespace tervalia {

// Every file the user picks goes through here. Tests switch on the test mode: the dialog is then
// recorded instead of shown and answered from a queue (an empty answer is a cancelled dialog).
class FileDialog
{
public:
    struct Shown
    {
        QString caption;
        QString directory;
        QString filter;
        QString answer;
        QString defaultSuffix;
        bool save = false;
    };

    // The chosen file, or an empty text when the user cancels. A name typed without an extension
    // gets defaultSuffix, when one is given.
    static QString getOpenFileName(QWidget* parent, const QString& caption, const QString& directory = {},
                                   const QString& filter = {}, const QString& defaultSuffix = {});

    // Qt 6 asks for the file types of the dialog's list ("Folder", "Drive") under a context of their
    // own, which Qt's Portuguese translation still files under the file dialog's: looks them up
    // there in `qtbase`, the translation of Qt's own texts, which must outlive the application.
    static void traduzTiposDeArquivo(const QTranslator* qtbase);

    // The name of a file to be written, or an empty text when the user cancels. directory may hold
    // a proposed file name; an existing file is replaced only after the user confirms.
    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& directory = {},
                                   const QString& filter = {}, const QString& defaultSuffix = {});

    // Test support: one queue answers both kinds of dialog, in the order they are shown.
    static void setTestMode(bool enabled);
    static bool testMode();
    static void queueAnswer(const QString& path);
    static int pendingAnswers();
    static QList<Shown> takeShown();
    static void reset();
};

} // namespace tervalia
