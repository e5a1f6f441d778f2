#pragma once

#include "Command.h"

namespace tessary {

class CCategoryView;
class CTessaryDoc;

// Creates a custom root category named "新建分类" (32779): it becomes the
// last root, current and selected, the library is marked modified, and its
// row's name is opened for editing at once. Throws std::bad_alloc, with the
// library unchanged, when no row can be made for it.
class CNewRootCategoryCmd : public CCommand {
public:
    CNewRootCategoryCmd(CCategoryView& tree, CTessaryDoc& doc)
        : m_tree(tree)
        , m_doc(doc)
    {
    }
    void Execute() override;

private:
    CCategoryView& m_tree;
    CTessaryDoc& m_doc;
};

// Creates a custom category named "新建分类" as the last sub-category of the
// tree's selected category (32771; nothing happens unless that category
// takes sub-categories): the parent row shows its new count, the new row is
// revealed (selected, so it becomes current) and its name opened for
// editing; the library is marked modified. Throws std::bad_alloc, with the
// library unchanged, when no row can be made for it.
class CNewSubCategoryCmd : public CCommand {
public:
    CNewSubCategoryCmd(CCategoryView& tree, CTessaryDoc& doc)
        : m_tree(tree)
        , m_doc(doc)
    {
    }
    void Execute() override;

private:
    CCategoryView& m_tree;
    CTessaryDoc& m_doc;
};

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

// Deletes the tree's selected category (32773, and 40010 in the tree): a row
// with a parent row is a sub-category's, any other a root's.
void DeleteSelectedCategory(CCategoryView& tree, CTessaryDoc& doc);

} // namespace tessary
