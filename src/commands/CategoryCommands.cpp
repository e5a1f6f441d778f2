#include "CategoryCommands.h"

#include "CategoryView.h"
#include "DisplayText.h"
#include "ResourceIds.h"
#include "Strings.h"
#include "UserPrompts.h"

#include <memory>
#include <new>

namespace tessary {
namespace {

bool ConfirmDelete(QWidget* parent)
{
    return Prompts().AskYesNo(parent, LoadString(IDS_CONFIRM_DELETE));
}

std::unique_ptr<CCustomCategory> NewCustomCategory()
{
    return std::make_unique<CCustomCategory>(ToLibraryText(LoadString(IDS_NEW_CATEGORY)));
}

} // namespace

void CNewRootCategoryCmd::Execute()
{
    std::unique_ptr<CCustomCategory> category = NewCustomCategory();
    CCustomCategory* added = category.get();
    if (!m_tree.InsertEntryRow(added, QModelIndex()).isValid())
        throw std::bad_alloc();
    try {
        m_doc.AddRoot(added);
    } catch (...) {
        // Out of memory: the library owns the category only if it got into
        // the root list.
        const CategoryList& roots = m_doc.GetRootList();
        if (!roots.empty() && roots.back() == added)
            category.release();
        else
            m_tree.DeleteEntryRow(added);
        throw;
    }
    category.release(); // AddRoot made it current and marked the library modified
    m_tree.RevealEntry(added);
    m_tree.BeginRename(m_tree.RowOf(added));
}

void CNewSubCategoryCmd::Execute()
{
    CCategory* parent = m_tree.SelectedCategory();
    const QModelIndex parentRow = m_tree.SelectedRow();
    if (!parent || !parent->CanAddSubCategory())
        return;
    std::unique_ptr<CCustomCategory> category = NewCustomCategory();
    CCustomCategory* added = category.get();
    if (!m_tree.InsertEntryRow(added, parentRow).isValid())
        throw std::bad_alloc();
    try {
        parent->AddSubCategory(added);
    } catch (...) {
        m_tree.DeleteEntryRow(added);
        throw;
    }
    category.release();
    m_tree.RefreshEntryRow(parent);
    m_doc.SetModifiedFlag(true);
    // Selecting the new row opens its parent and makes it the current
    // category, which the item list then shows.
    m_tree.RevealEntry(added);
    m_tree.BeginRename(m_tree.RowOf(added));
}

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
}

void CDeleteRootCategoryCmd::Execute()
{
    if (!ConfirmDelete(m_tree.window()))
        return;
    CCategory* category = m_tree.SelectedCategory();
    if (!category || !m_doc.DeleteRoot(category))
        return;
    m_tree.RemoveEntryRow(category);
}

void DeleteSelectedCategory(CCategoryView& tree, CTessaryDoc& doc)
{
    if (tree.SelectedRowHasParent())
        CDeleteSubCategoryCmd(tree, doc).Execute();
    else
        CDeleteRootCategoryCmd(tree, doc).Execute();
}

} // namespace tessary
