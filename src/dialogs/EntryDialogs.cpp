#include "EntryDialogs.h"

#include "Category.h"
#include "Datum.h"
#include "ImportDialogs.h"

namespace tessary {

int RunEditDialog(CItem& item, const DialogHost& host)
{
    switch (item.GetClassId()) {
    case ClassId::CDRomCategory:
    case ClassId::DriverCategory:
    case ClassId::RootFolderCategory:
        return EditImportedCategory(static_cast<CPathCategory&>(item), host.parent);
    default:
        return -1;
    }
}

void ShowContentViewer(const CDatum& datum, ContentViewer viewer, const DialogHost& host)
{
    (void)datum;
    (void)viewer;
    (void)host;
}

} // namespace tessary
