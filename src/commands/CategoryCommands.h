#pragma once

#include "Command.h"

namespace tessary {

class CCategoryView;
class CTessaryDoc;

// Edits the category of the tree's selected row (40011 in the tree): a kind
// without an edit dialog (custom and folder categories) gets an in-place
// rename of its row; the others run their dialog and, once it is confirmed,
// their row is refreshed and the library marked modified.
class CEditCategoryCmd : public CCommand {
public:
    CEditCategoryCmd(CCategoryView& tree, CTessaryDoc& doc)
        : m_tree(tree)
        , m_doc(doc)
    {
    }
    void Execute() override;

private:
    CCategoryView& m_tree;
    CTessaryDoc& m_doc;
};

// Deletes the sub-category of the tree's selected row with everything below
// it, after the question "你确信要删除吗？"; its row goes and the selection
// moves on (the next category becomes current).
class CDeleteSubCategoryCmd : public CCommand {
public:
    CDeleteSubCategoryCmd(CCategoryView& tree, CTessaryDoc& doc)
        : m_tree(tree)
        , m_doc(doc)
    {
    }
    void Execute() override;

private:
    CCategoryView& m_tree;
    CTessaryDoc& m_doc;
};

// Deletes the root category of the tree's selected row with everything
// below it, after the same question. Without roots left the library has no
// current category and the item list empties.
class CDeleteRootCategoryCmd : public CCommand {
public:
    CDeleteRootCategoryCmd(CCategoryView& tree, CTessaryDoc& doc)
        : m_tree(tree)
        , m_doc(doc)
    {
    }
    void Execute() override;

private:
    CCategoryView& m_tree;
    CTessaryDoc& m_doc;
};

} // namespace tessary
