#include "CategoryCommands.h"

#include "CategoryView.h"
#include "ResourceIds.h"
#include "Strings.h"
#include "UserPrompts.h"

namespace tessary {
namespace {

bool ConfirmDelete(QWidget* parent)
{
    return Prompts().AskYesNo(parent, LoadString(IDS_CONFIRM_DELETE));
}

} // namespace

void CEditCategoryCmd::Execute()
{
    CCategory* category = m_tree.SelectedCategory();
    if (!category)
        return;
    m_tree.GiveFocus();
    if (!category->HasEditDialog()) {
        m_tree.BeginRename(m_tree.SelectedRow());
        return;
    }
    if (category->EditProperties() != kDialogConfirmed)
        return;
    m_tree.RefreshEntryRow(category);
    m_doc.SetModifiedFlag(true);
}

void CDeleteSubCategoryCmd::Execute()
{
    if (!ConfirmDelete(m_tree.window()))
        return;
    CCategory* child = m_tree.SelectedCategory();
    CCategory* parent = m_tree.SelectedParentCategory();
    // The document tells whoever holds pointers into the subtree, then
    // destroys it; the row goes afterwards (rows never read their category
    // once it is deleted).
    if (!child || !parent || !m_doc.DeleteSubCategory(parent, child))
        return;
    m_tree.RefreshEntryRow(parent);
    m_tree.RemoveEntryRow(child);
    m_doc.SetModifiedFlag(true);
}

void CDeleteRootCategoryCmd::Execute()
{
    if (!ConfirmDelete(m_tree.window()))
        return;
    CCategory* category = m_tree.SelectedCategory();
    if (!category || !m_doc.DeleteRoot(category))
        return;
    m_tree.RemoveEntryRow(category);
    m_doc.SetModifiedFlag(true);
}

} // namespace tessary
