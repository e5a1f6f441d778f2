#pragma once

#include "CommandTarget.h"

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

namespace tessary {

class CCategory;
class CCategoryView;
class CItem;
class COutputBar;
class CSearchCriteria;
class CTessaryDoc;
class CTessaryView;

// The first command target of the main frame's route: it owns most command
// ids of the menus, the toolbar, the accelerators and the context menus. For
// each id it has an enable rule, which reads only the selection (below) and
// the entries, and a runner, which builds one command object, runs it once
// and discards it.
//
// The rules of every id live here, in one table; the runners are installed
// by the Register* functions, one per group of commands. An id of the table
// without a runner is routed here but stays disabled.
//
// The manager owns the one search criteria record of the program run, so
// that every search dialog starts from the last confirmed criteria.
class CCmdManager : public ICommandTarget {
public:
    // Takes the document from the tree view. The panes and the output bar
    // must outlive the manager.
    CCmdManager(CCategoryView& tree, CTessaryView& list, COutputBar& outputBar);
    ~CCmdManager() override;
    CCmdManager(const CCmdManager&) = delete;
    CCmdManager& operator=(const CCmdManager&) = delete;

    CCategoryView& Tree() const { return m_tree; }
    CTessaryView& List() const { return m_list; }
    COutputBar& OutputBar() const { return m_outputBar; }
    CTessaryDoc& Document() const { return m_doc; }
    CSearchCriteria& Criteria() const { return *m_criteria; }

    // The selection in the terms the rules use.
    // The category of the tree's caret row (null when no row is selected).
    CCategory* SelectedTreeCategory() const;
    // Whether the caret row has a parent row (a sub-category).
    bool SelectedTreeRowHasParent() const;
    // The document's current category (null when none).
    CCategory* CurrentCategory() const;
    // Number of selected item-list rows and the entry of the lowest one.
    int ListSelectedCount() const;
    CItem* ListFirstSelected() const;
    // Whether any selected item-list row is a data item. Looks at category
    // rows only until it meets a data item, so it is cheap however many rows
    // are selected.
    bool ListAnySelectedDatum() const;
    // Number of selected rows of the output bar's result list.
    int ResultSelectedCount() const;

    using Runner = std::function<void(CCmdManager&)>;
    // Installs the handler of `id` (an id of the table); an empty runner
    // removes it.
    void SetRunner(int id, Runner runner);
    // The enable rule of `id` alone (false for ids not managed here).
    bool RuleAllows(int id) const;

    bool QueryCommand(int id, CommandState& state) override;
    bool ExecuteCommand(int id) override;

private:
    // The rule of `id`: whether it is enabled now, or nothing when the id is
    // not one of the manager's.
    std::optional<bool> Rule(int id) const;

    CCategoryView& m_tree;
    CTessaryView& m_list;
    COutputBar& m_outputBar;
    CTessaryDoc& m_doc;
    std::unique_ptr<CSearchCriteria> m_criteria;
    std::unordered_map<int, Runner> m_runners;
};

// Install the runners of one group of commands each (called by the
// manager's constructor).
// Categories: 32779, 32771, 32773, 40001, 32783, 32782, 32800.
void RegisterCategoryCommands(CCmdManager& manager);
// Items: 32774, 32775, 32776, 40003, 40004, 40007, 40017, 40013, 40008,
// 32788, 40014, 40018.
void RegisterItemCommands(CCmdManager& manager);
// Library exchange, search and refresh: 32795, 32796, 32792, 32797.
void RegisterExchangeCommands(CCmdManager& manager);
// Copies across the library: 32820, 32821.
void RegisterCopiesCommands(CCmdManager& manager);

} // namespace tessary
