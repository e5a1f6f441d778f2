#include "PaneCommandRunner.h"

#include "CategoryCommands.h"
#include "EntryCommands.h"
#include "RenameCmd.h"

namespace tessary {

void CPaneCommandRunner::Rename(CItem& entry, std::string newName)
{
    CRenameCmd(entry, m_doc, std::move(newName)).Execute();
}

void CPaneCommandRunner::DeleteSelectedCategory()
{
    tessary::DeleteSelectedCategory(m_tree, m_doc);
}

void CPaneCommandRunner::EditSelectedCategory()
{
    CEditCategoryCmd(m_tree, m_doc).Execute();
}

void CPaneCommandRunner::DeleteSelectedEntries()
{
    CDeleteEntriesCmd(m_tree, m_list, m_doc).Execute();
}

void CPaneCommandRunner::EditSelectedEntry()
{
    CEditEntryCmd(m_tree, m_list, m_doc).Execute();
}

} // namespace tessary
