#pragma once

#include "platform/MessageBox.h"

#include <QList>
#include <QString>

namespace tervalia::test {

// Call from a GUI test's init(): message boxes and the browser are recorded instead of shown,
// and "Sair" no longer stops the test's own event loop.
void startGuiTest();

// Call from cleanup(): closes every window and fails the test when a message shown was never
// examined or an answer queued for a message was never used.
void finishGuiTest();

// The messages shown since the last call.
QList<MessageBox::Shown> takeMessages();

// Number of times "Sair" ended the program since startGuiTest().
int programEndings();

} // namespace tervalia::test
