#pragma once

#include "Command.h"

class QWidget;

namespace tessary {

class CCategoryView;
class COutputBar;
class CSearchCriteria;
class CTessaryDoc;

// Merges another library file into the current category (32795): asks for
// the file ("导入文件"), reads it whole, then appends its root categories in
// file order as the last sub-categories of the current category, shows them
// in the tree (the current row expanded) and the item list, and marks the
// library modified; what the file's volume data could not give (a damaged
// block) is told after. A file that cannot be read (missing, unreadable, not
// a library) throws before anything is merged: the library is unchanged and
// the command dispatch reports the error, naming the file.
class CImportLibraryCmd : public CCommand {
public:
    CImportLibraryCmd(CTessaryDoc& doc, CCategoryView& tree)
        : m_doc(doc)
        , m_tree(tree)
    {
    }
    void Execute() override;

private:
    CTessaryDoc& m_doc;
    CCategoryView& m_tree;
};

// Writes the current category with everything below it as a library file of
// its own (32796): asks where ("导出到", proposing the document's title
// without the modified mark, asking before overwriting), then writes the
// file atomically, so that a failed export leaves an existing file as it
// was. Cancelling writes nothing. The library is not changed. A failure
// throws the file error, naming the file.
class CExportCmd : public CCommand {
public:
    CExportCmd(CTessaryDoc& doc, QWidget* parent)
        : m_doc(doc)
        , m_parent(parent)
    {
    }
    void Execute() override;

private:
    CTessaryDoc& m_doc;
    QWidget* m_parent;
};

// Searches the selected tree category's subtree (32792): runs the search
// dialog on the criteria record; after "开始" collects the matching data
// items, shows the output bar whether or not anything matched and hands it
// the results, which it lists with their count in the status bar.
class CSearchCmd : public CCommand {
public:
    CSearchCmd(CSearchCriteria& criteria, CCategoryView& tree, COutputBar& bar)
        : m_criteria(criteria)
        , m_tree(tree)
        , m_bar(bar)
    {
    }
    void Execute() override;

private:
    CSearchCriteria& m_criteria;
    CCategoryView& m_tree;
    COutputBar& m_bar;
};

// Brings the selected imported category (a CD, drive or root-folder
// category, or a folder below one) up to date with its folder on disk
// (32797), keeping every remark and content of entries still there:
//
//   1. scans the folder under the progress dialog (Cancel: nothing changes),
//      where its volume is mounted now; a volume that is away is named
//      ("请插入卷…") and a folder that cannot be opened is reported, naming
//      it, and in both cases the user may choose another folder;
//   2. shows what would change in the preview, with the choices to remove
//      entries gone from the disk although they carry a remark or content,
//      and to read the new content of changed files (Cancel: nothing
//      changes);
//   3. on OK reads the new contents if asked (under the progress dialog;
//      Cancel: nothing changes), applies the refresh in one step, and brings
//      the tree and the item list up to date; the refreshed category stays
//      selected. Rows of removed entries leave every view that lists them.
class CRefreshCategoryCmd : public CCommand {
public:
    CRefreshCategoryCmd(CTessaryDoc& doc, CCategoryView& tree)
        : m_doc(doc)
        , m_tree(tree)
    {
    }
    void Execute() override;

private:
    CTessaryDoc& m_doc;
    CCategoryView& m_tree;
};

} // namespace tessary
