#include "EntryDialogs.h"

#include "Category.h"
#include "Datum.h"

namespace tessary {

int RunEditDialog(CItem& item, const DialogHost& host)
{
    (void)host;
    switch (item.GetClassId()) {
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
