#include "CmdManager.h"

namespace tessary {

void RegisterItemCommands(CCmdManager& manager)
{
    (void)manager;
}

} // namespace tessary
