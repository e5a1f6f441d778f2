#include "Strings.h"

#include <QtGlobal>

// The resource file lives in a static library: the executable must pull it in
// explicitly or the linker drops it.
static void InitTessaryResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace tessary {

void InitResources()
{
    InitTessaryResources();
}

} // namespace tessary
