#pragma once

#include <functional>

namespace tervalia {

// Blocks the calling thread for ms milliseconds without processing any event (the pauses of the
// Simples Nacional upload). Tests replace it so that they neither wait nor depend on timing.
void pausa(int ms);

// A replacement for pausa (it receives the milliseconds asked for); an empty function restores
// the real pause.
void setPausaParaTestes(std::function<void(int)> substituta);

} // namespace tervalia
