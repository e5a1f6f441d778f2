#pragma once

#include "PaneCommands.h"

namespace tessary {

class CCategoryView;
class CTessaryDoc;
class CTessaryView;

// The panes' own commands as command objects: the in-place rename, the
// tree's category delete and edit, and the item list's entry delete and
// edit. The main frame makes one for its two panes and lends it to both.
class CPaneCommandRunner : public IPaneCommands {
public:
    CPaneCommandRunner(CCategoryView& tree, CTessaryView& list, CTessaryDoc& doc)
        : m_tree(tree)
        , m_list(list)
        , m_doc(doc)
    {
    }

    void Rename(CItem& entry, std::string newName) override;
    void DeleteSelectedCategory() override;
    void EditSelectedCategory() override;
    void DeleteSelectedEntries() override;
    void EditSelectedEntry() override;

private:
    CCategoryView& m_tree;
    CTessaryView& m_list;
    CTessaryDoc& m_doc;
};

} // namespace tessary
