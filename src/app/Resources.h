#pragma once

namespace tervalia {
// The artwork is compiled into the GUI library; a static library must register it by hand.
void ensureResources();
} // namespace tervalia
