#pragma once

#include <functional>

namespace tervalia {

// "Sair" ends the program at once: every window closes without a question.
void endProgram();
// True from the moment the program started to end; windows then skip what they do on closing.
bool programEnding();
// Tests replace the end of the program, which would otherwise stop their own event loop; setting
// a handler also starts a new run, in which the program is not ending.
void setEndProgramHandler(std::function<void()> handler);

} // namespace tervalia
