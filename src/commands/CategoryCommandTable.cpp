#include "CmdManager.h"

namespace tessary {

void RegisterCategoryCommands(CCmdManager& manager)
{
    (void)manager;
}

} // namespace tessary
