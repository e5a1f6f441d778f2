#include "EntryCommands.h"

#include "CategoryView.h"
#include "ResourceIds.h"
#include "Strings.h"
#include "TessaryView.h"
#include "UserPrompts.h"

#include <algorithm>

namespace tessary {

void CEditEntryCmd::Execute()
{
    const int row = m_list.SelectionMarkRow();
    CItem* entry = m_list.EntryAt(row);
    if (!entry)
        return;
    m_list.GiveFocus();
    if (!entry->HasEditDialog()) {
        m_list.BeginRename(row);
        return;
    }
    if (entry->EditProperties() != kDialogConfirmed)
        return;
    m_list.RefreshRow(m_list.RowOf(entry));
    if (!entry->IsDatum())
        m_tree.RefreshEntryRow(static_cast<CCategory*>(entry));
    m_doc.SetModifiedFlag(true);
}

void CDeleteEntriesCmd::Execute()
{
    if (!Prompts().AskYesNo(m_list.window(), LoadString(IDS_CONFIRM_DELETE)))
        return;
    const std::vector<CItem*> entries = m_list.SelectedEntries();
    CCategory* current = m_doc.GetCurrentCategory();

    if (!current) {
        // Only the roots the list shows right after new or open can go here.
        if (!m_list.ShowsRoots())
            return;
        for (CItem* entry : entries) {
            auto* root = entry->IsDatum() ? nullptr : static_cast<CCategory*>(entry);
            if (root && m_doc.DeleteRoot(root))
                m_tree.RemoveEntryRow(root);
        }
        return;
    }

    const bool subCategories = std::any_of(entries.begin(), entries.end(),
        [current](const CItem* entry) { return !entry->IsDatum() && entry->GetParent() == current; });
    // The list drops the rows as it hears of the removal, the tree marks its
    // rows gone; they are deleted once the categories are unlinked.
    if (m_doc.DeleteEntries(current, entries) == 0)
        return;
    m_tree.DeleteGoneRows();
    if (subCategories)
        m_tree.RefreshEntryRow(current);
}

} // namespace tessary
