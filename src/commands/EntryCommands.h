#pragma once

#include "Command.h"

namespace tessary {

class CCategoryView;
class CTessaryDoc;
class CTessaryView;

// Edits the entry of the item list's selection-mark row (32775; 40011 in the
// list): a kind without an edit dialog gets an in-place rename of its name;
// the others run their dialog and, once it is confirmed, the row is shown
// again, a sub-category's tree row refreshed, and the library marked
// modified.
class CEditEntryCmd : public CCommand {
public:
    CEditEntryCmd(CCategoryView& tree, CTessaryView& list, CTessaryDoc& doc)
        : m_tree(tree)
        , m_list(list)
        , m_doc(doc)
    {
    }
    void Execute() override;

private:
    CCategoryView& m_tree;
    CTessaryView& m_list;
    CTessaryDoc& m_doc;
};

// Deletes every selected entry of the item list (32776; 40010 in the list)
// after one question "你确信要删除吗？": the data items and sub-categories go
// from the current category in one pass, the sub-categories' rows from the
// tree, and the current category's tree row shows its new count. While the
// list shows the root categories (no current category yet), the selected
// roots go as the root-category delete removes them.
class CDeleteEntriesCmd : public CCommand {
public:
    CDeleteEntriesCmd(CCategoryView& tree, CTessaryView& list, CTessaryDoc& doc)
        : m_tree(tree)
        , m_list(list)
        , m_doc(doc)
    {
    }
    void Execute() override;

private:
    CCategoryView& m_tree;
    CTessaryView& m_list;
    CTessaryDoc& m_doc;
};

} // namespace tessary
