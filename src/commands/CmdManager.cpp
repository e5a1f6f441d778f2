#include "CmdManager.h"

#include "CategoryView.h"
#include "Datum.h"
#include "Document.h"
#include "OutputBar.h"
#include "Refresh.h"
#include "ResourceIds.h"
#include "SearchCriteria.h"
#include "TessaryView.h"

namespace tessary {
namespace {

bool IsDatumWithContent(const CItem* entry)
{
    return entry && entry->IsDatum() && HasContent(*static_cast<const CDatum*>(entry));
}

} // namespace

CCmdManager::CCmdManager(CCategoryView& tree, CTessaryView& list, COutputBar& outputBar)
    : m_tree(tree)
    , m_list(list)
    , m_outputBar(outputBar)
    , m_doc(tree.Document())
    , m_criteria(std::make_unique<CSearchCriteria>())
{
    RegisterCategoryCommands(*this);
    RegisterItemCommands(*this);
    RegisterExchangeCommands(*this);
    RegisterCopiesCommands(*this);
}

CCmdManager::~CCmdManager() = default;

CCategory* CCmdManager::SelectedTreeCategory() const
{
    return m_tree.SelectedCategory();
}

bool CCmdManager::SelectedTreeRowHasParent() const
{
    return m_tree.SelectedRowHasParent();
}

CCategory* CCmdManager::CurrentCategory() const
{
    return m_doc.GetCurrentCategory();
}

int CCmdManager::ListSelectedCount() const
{
    return m_list.SelectedCount();
}

CItem* CCmdManager::ListFirstSelected() const
{
    return m_list.FirstSelectedEntry();
}

bool CCmdManager::ListAnySelectedDatum() const
{
    return m_list.AnySelectedDatum();
}

int CCmdManager::ResultSelectedCount() const
{
    return m_outputBar.SelectedCount();
}

void CCmdManager::SetRunner(int id, Runner runner)
{
    if (runner)
        m_runners[id] = std::move(runner);
    else
        m_runners.erase(id);
}

bool CCmdManager::RuleAllows(int id) const
{
    return Rule(id).value_or(false);
}

std::optional<bool> CCmdManager::Rule(int id) const
{
    switch (id) {
    // Always: nothing needs to be selected to create a root or to import.
    case ID_CATEGORY_NEW_ROOT:
    case ID_IMPORT_FOLDER:
    case ID_IMPORT_CD:
    case ID_IMPORT_DRIVE:
        return true;
    case ID_CATEGORY_NEW_SUB: {
        const CCategory* current = CurrentCategory();
        return current && current->CanAddSubCategory();
    }
    case ID_CATEGORY_DELETE:
    case ID_SEARCH:
    case ID_FIND_UNIQUE:
        return SelectedTreeCategory() != nullptr;
    case ID_FIND_DUPLICATES:
        // Also without a selected row: then in the whole library.
        return SelectedTreeCategory() != nullptr || m_doc.GetRootCount() > 0;
    case ID_CATEGORY_REFRESH: {
        const CCategory* selected = SelectedTreeCategory();
        return selected && CanRefresh(*selected);
    }
    case ID_CATEGORY_LINK_VOLUME: {
        const CCategory* selected = SelectedTreeCategory();
        return selected && HasPath(selected->GetClassId());
    }
    case ID_DATUM_NEW: {
        const CCategory* current = CurrentCategory();
        return current && current->CanAddDatum();
    }
    case ID_DATUM_EDIT:
    case ID_EXPLORE:
        return ListSelectedCount() == 1;
    case ID_DATUM_DELETE:
    case ID_PROPERTIES:
        return ListSelectedCount() >= 1;
    case ID_OPEN_FILE:
        return ListSelectedCount() == 1 && ListFirstSelected()->IsDatum();
    case ID_EXTRACT_CONTENT:
        // Any data item among the selected rows: extraction is how an item
        // gets its first content, so it cannot wait for content to exist.
        return ListAnySelectedDatum();
    case ID_CLEAR_CONTENT:
    case ID_VIEW_CONTENT:
        return ListSelectedCount() == 1 && IsDatumWithContent(ListFirstSelected());
    case ID_VIEW_REMARK:
        return ListSelectedCount() == 1 && !ListFirstSelected()->m_strRemark.empty();
    case ID_LIBRARY_IMPORT: {
        const CCategory* current = CurrentCategory();
        return current && current->CanImportInto();
    }
    case ID_LIBRARY_EXPORT: {
        const CCategory* selected = SelectedTreeCategory();
        return selected && selected->CanExport();
    }
    case ID_RESULT_EXTRACT:
    case ID_RESULT_CLEAR:
        return ResultSelectedCount() >= 1;
    default:
        return std::nullopt;
    }
}

bool CCmdManager::QueryCommand(int id, CommandState& state)
{
    const std::optional<bool> allowed = Rule(id);
    if (!allowed)
        return false;
    state.enabled = *allowed && m_runners.count(id) != 0;
    return true;
}

bool CCmdManager::ExecuteCommand(int id)
{
    const std::optional<bool> allowed = Rule(id);
    if (!allowed)
        return false;
    auto it = m_runners.find(id);
    if (it != m_runners.end() && *allowed) {
        // A copy: a runner may replace runners (never in practice, but the
        // table must not change under a running function).
        const Runner run = it->second;
        run(*this);
    }
    return true;
}

} // namespace tessary
