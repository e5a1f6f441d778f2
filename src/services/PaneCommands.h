#pragma once

#include <string>

namespace tessary {

class CItem;

// The commands the two panes run for their own rows: the in-place rename, and
// the generic delete and edit buttons (40010, 40011) while a pane is the
// active view. The panes reach the command objects only through this
// interface, which the command room implements and the main frame hands to
// both panes when it builds them; a pane without it runs none of them.
class IPaneCommands {
public:
    virtual ~IPaneCommands() = default;

    // The end of an in-place rename: `entry` takes `newName` (GB18030) as
    // given, and the library is marked modified.
    virtual void Rename(CItem& entry, std::string newName) = 0;
    // The tree's selected category: delete it (after the question), or run
    // its kind's edit dialog.
    virtual void DeleteSelectedCategory() = 0;
    virtual void EditSelectedCategory() = 0;
    // The item list's selection: delete every selected entry (after the
    // question), or edit the selection-mark row's entry.
    virtual void DeleteSelectedEntries() = 0;
    virtual void EditSelectedEntry() = 0;
};

} // namespace tessary
