#include "CmdManager.h"

namespace tessary {

void RegisterExchangeCommands(CCmdManager& manager)
{
    (void)manager;
}

} // namespace tessary
