#include "Resources.h"

#include <QDir>

static void registerResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace tervalia {
void ensureResources()
{
    static const bool done = (registerResources(), true);
    (void)done;
}
} // namespace tervalia
