#include "CategoryCommands.h"
#include "CmdManager.h"
#include "ImportCommands.h"
#include "ResourceIds.h"
#include "VolumeCommands.h"

namespace tessary {

void RegisterCategoryCommands(CCmdManager& manager)
{
    manager.SetRunner(
        ID_CATEGORY_NEW_ROOT, [](CCmdManager& m) { CNewRootCategoryCmd(m.Tree(), m.Document()).Execute(); });
    manager.SetRunner(
        ID_CATEGORY_NEW_SUB, [](CCmdManager& m) { CNewSubCategoryCmd(m.Tree(), m.Document()).Execute(); });
    manager.SetRunner(
        ID_CATEGORY_DELETE, [](CCmdManager& m) { DeleteSelectedCategory(m.Tree(), m.Document()); });
    manager.SetRunner(
        ID_IMPORT_FOLDER, [](CCmdManager& m) { CImportFolderCmd(m.Tree(), m.Document()).Execute(); });
    manager.SetRunner(ID_IMPORT_CD, [](CCmdManager& m) { CImportCDCmd(m.Tree(), m.Document()).Execute(); });
    manager.SetRunner(
        ID_IMPORT_DRIVE, [](CCmdManager& m) { CImportDriveCmd(m.Tree(), m.Document()).Execute(); });
    manager.SetRunner(
        ID_CATEGORY_LINK_VOLUME, [](CCmdManager& m) { CLinkVolumeCmd(m.Document(), m.Tree()).Execute(); });
}

} // namespace tessary
