#pragma once

#include "Command.h"

namespace tessary {

class CCategoryView;
class COutputBar;
class CTessaryDoc;

// Both commands ask with the copies dialog (CCopiesDlg), whose choices last
// for the program run, then compare on a worker thread under a progress
// window with Cancel (the window is modal meanwhile, so the library cannot
// change under the worker). Cancelling the dialog or the work changes
// nothing; otherwise the output bar is shown with the rows found and their
// figures in the status bar. The library is not changed.

// Lists the groups of copies of one file (32820) below the selected tree
// category, or in the whole library (also when no tree row is selected).
class CFindDuplicatesCmd : public CCommand {
public:
    CFindDuplicatesCmd(CTessaryDoc& doc, CCategoryView& tree, COutputBar& bar)
        : m_doc(doc)
        , m_tree(tree)
        , m_bar(bar)
    {
    }
    void Execute() override;

private:
    CTessaryDoc& m_doc;
    CCategoryView& m_tree;
    COutputBar& m_bar;
};

// Lists the data items below the selected tree category that have no copy
// anywhere else in the library (32821): what would be lost with that drive.
class CFindUniqueFilesCmd : public CCommand {
public:
    CFindUniqueFilesCmd(CTessaryDoc& doc, CCategoryView& tree, COutputBar& bar)
        : m_doc(doc)
        , m_tree(tree)
        , m_bar(bar)
    {
    }
    void Execute() override;

private:
    CTessaryDoc& m_doc;
    CCategoryView& m_tree;
    COutputBar& m_bar;
};

} // namespace tessary
