#include "EntryCommands.h"

#include "CategoryView.h"
#include "ResourceIds.h"
#include "Strings.h"
#include "TessaryView.h"
#include "UserPrompts.h"

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
        bool any = false;
        for (CItem* entry : entries) {
            auto* root = entry->IsDatum() ? nullptr : static_cast<CCategory*>(entry);
            if (root && m_doc.DeleteRoot(root)) {
                m_tree.RemoveEntryRow(root);
                any = true;
            }
        }
        if (any)
            m_doc.SetModifiedFlag(true);
        return;
    }

    // Noted before they go: afterwards they are only keys for the tree.
    std::vector<const CCategory*> subCategories;
    for (const CItem* entry : entries)
        if (!entry->IsDatum() && entry->GetParent() == current)
            subCategories.push_back(static_cast<const CCategory*>(entry));
    // The list drops the rows as it hears of the removal.
    if (m_doc.DeleteEntries(current, entries) == 0)
        return;
    for (const CCategory* sub : subCategories)
        m_tree.DeleteEntryRow(sub);
    if (!subCategories.empty())
        m_tree.RefreshEntryRow(current);
    m_doc.SetModifiedFlag(true);
}

} // namespace tessary
