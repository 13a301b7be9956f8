#pragma once

#include "platform/MessageBox.h"

#include <QList>
#include <QString>
#include <QWidget>

namespace tervalia::test {

// Call from a GUI test's init(): message boxes, the browser, file dialogs, password and PIN boxes
// and the certificate chooser are recorded instead of shown, and "Sair" no longer stops the test's
// own event loop.
void startGuiTest();

// Call from cleanup(): closes every window and fails the test when a message shown was never
// examined or an answer queued for a message, file dialog, password box or chooser was never used.
void finishGuiTest();

// The messages shown since the last call.
QList<MessageBox::Shown> takeMessages();

// Number of times "Sair" ended the program since startGuiTest().
int programEndings();

// The shown top-level window of that object name, or nullptr.
QWidget* topLevel(const char* name);

// The control of a window by its name; a missing control stops the test run at once, since every
// check after it would be meaningless.
template <class T> T* child(QWidget* window, const char* name)
{
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qFatal("%s has no control %s", qPrintable(window->objectName()), name);
    return w;
}

} // namespace tervalia::test
