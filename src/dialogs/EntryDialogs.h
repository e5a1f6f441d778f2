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

// Shows a data item's content modally in the given viewer: the text viewer
// shows it as UTF-8 when it is well-formed UTF-8 and as GB18030 otherwise,
// the HTML viewer likewise unless the page declares its own charset.
void ShowContentViewer(const CDatum& datum, ContentViewer viewer, const DialogHost& host);

// Shows an entry's remark modally in the text viewer.
void ShowRemarkViewer(const CItem& item, const DialogHost& host);

} // namespace tessary
