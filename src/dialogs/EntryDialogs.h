#pragma once

#include "Item.h"

class QSettings;
class QWidget;

namespace tessary {

class CDatum;

// Where the entries' dialogs and viewers open: their parent window and the
// profile in which viewers keep their rectangles (either may be null).
struct DialogHost {
    QWidget* parent = nullptr;
    QSettings* profile = nullptr;
};

// Runs the edit dialog of `item`'s kind: the import dialog in edit mode for
// CD, drive and root-folder categories, the data-item dialog for a custom
// data item. Returns 1 when confirmed (the item has taken the new values),
// 2 when cancelled (nothing changed), -1 for a kind without a dialog.
int RunEditDialog(CItem& item, const DialogHost& host);

// Shows a data item's content modally in the given viewer.
void ShowContentViewer(const CDatum& datum, ContentViewer viewer, const DialogHost& host);

} // namespace tessary
