#include "CmdManager.h"

#include "CategoryView.h"
#include "ExchangeCommands.h"
#include "ResourceIds.h"

namespace tessary {

void RegisterExchangeCommands(CCmdManager& manager)
{
    manager.SetRunner(
        ID_LIBRARY_IMPORT, [](CCmdManager& m) { CImportLibraryCmd(m.Document(), m.Tree()).Execute(); });
    manager.SetRunner(
        ID_LIBRARY_EXPORT, [](CCmdManager& m) { CExportCmd(m.Document(), m.Tree().window()).Execute(); });
    manager.SetRunner(
        ID_SEARCH, [](CCmdManager& m) { CSearchCmd(m.Criteria(), m.Tree(), m.OutputBar()).Execute(); });
    manager.SetRunner(
        ID_CATEGORY_REFRESH, [](CCmdManager& m) { CRefreshCategoryCmd(m.Document(), m.Tree()).Execute(); });
}

} // namespace tessary
