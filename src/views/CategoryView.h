#pragma once

#include "CategoryTreeModel.h"
#include "Document.h"
#include "PaneView.h"

#include <QPersistentModelIndex>
#include <QStyle>
#include <QTreeView>

namespace tessary {

class CCategoryTreeModel;
class CClickRename;

// The left pane: the library's categories as a tree, one top-level row per
// root category and below each row its sub-categories (data items are the
// item list's). Selecting a row makes its category the document's current
// category and tells the other views. Rows are made lazily (see
// CCategoryTreeModel); every operation that takes a category looks its row
// up in the row map and does nothing for a category without a row.
//
// The user renames categories in place (command 32772, or a click on the
// selected row; never F2, which extracts content), moves them by drag and
// drop, and opens the "类别" menu as the context menu. While the tree is the
// active view it handles 32772, 40010 (delete) and 40011 (edit).
//
// Rows are identified by QModelIndex; commands keep them no longer than one
// step (or as QPersistentModelIndex).
class CCategoryView : public QTreeView, public ICategoryPane, public IEntryRemovalListener {
    Q_OBJECT
public:
    explicit CCategoryView(CTessaryDoc& doc, QWidget* parent = nullptr);
    ~CCategoryView() override;

    CTessaryDoc& Document() const { return m_doc; }
    CCategoryTreeModel* TreeModel() const { return m_model; }

    // Rebuilds the rows from the root list: one collapsed row per root,
    // nothing selected. Selection changes meanwhile are not reported.
    void RefillTree();
    // Appends a row for `entry` as the last child of `parentRow` (invalid:
    // the top level) and returns it.
    QModelIndex InsertEntryRow(CCategory* entry, const QModelIndex& parentRow);
    // Sets the row's text, icons and expand button again from the category.
    void RefreshEntryRow(const CCategory* entry);
    // The rows of imported categories show again whether their volume is
    // connected (after the document read the mounted volumes anew): a greyed
    // icon while it is away, for the imported category's row and the rows
    // below it, and on the imported category's row a tooltip with what is
    // known of the volume.
    void RefreshVolumeRows();
    // Deletes the category's row with the rows below it (never reading the
    // category, which may be gone already). When the selected row goes, the
    // selection moves to the next row, else the previous one, else the
    // parent, which becomes the current category. When the library then has
    // no root left: no current category, and the other views are told.
    void RemoveEntryRow(const CCategory* entry);
    // Deletes the category's row with the rows below it, as above but
    // without the check for an empty library.
    void DeleteEntryRow(const CCategory* entry);
    // Deletes the rows of the categories the document destroyed since the
    // last call (each with the rows below it). Returns how many went.
    int DeleteGoneRows();
    // Makes sure the category has a row (creating its ancestors' child rows
    // as needed), expands it, selects it (it becomes current) and scrolls it
    // into view.
    void RevealEntry(CCategory* entry);
    // Two sibling categories whose places in the model were just exchanged
    // exchange their rows; each row keeps the rows below it, its expanded
    // state and the caret. Nothing happens unless both have rows of one parent.
    void SwapEntryRows(CCategory* a, CCategory* b);

    QModelIndex RowOf(const CCategory* entry) const;
    CCategory* EntryOf(const QModelIndex& row) const;
    // The caret row and its category (invalid / null when none).
    QModelIndex SelectedRow() const;
    CCategory* SelectedCategory() const;
    // Whether the caret row is a sub-category's (has a parent row), and the
    // parent row's category.
    bool SelectedRowHasParent() const;
    CCategory* SelectedParentCategory() const;
    bool IsRowExpanded(const CCategory* entry) const;
    // Where the row shows its label (the text itself) and its icon, in
    // viewport coordinates; empty for an invalid row.
    QRect LabelRect(const QModelIndex& row) const;
    QRect IconRect(const QModelIndex& row) const;
    // Opens the in-place editor of the row's name; confirming renames.
    void BeginRename(const QModelIndex& row);
    void GiveFocus();

    // Dragging categories. What a drop of the dragged row on `target` (an
    // invalid index: empty space) does; nothing for a drop on the old parent,
    // on a category that takes no drops, on the dragged row itself or below
    // it (a cycle), and for a root dropped on empty space.
    enum class DropMove { None, ToRoot, BetweenCategories, RootIntoCategory };
    DropMove DropMoveFor(const QModelIndex& dragRow, const QModelIndex& target) const;
    // Starts a drag of `row` (selecting it); false when a drag is running or
    // the category cannot be dragged.
    bool BeginCategoryDrag(const QModelIndex& row);
    // Drops the dragged category on `target`: moves it in the library, deletes
    // its row and appends a new, collapsed one at the end of the new parent's
    // rows, marks the library modified. Returns false when nothing moved.
    bool DropDraggedCategory(const QModelIndex& target);
    void EndCategoryDrag();
    QModelIndex DraggedRow() const { return m_dragRow; }
    QModelIndex DropHighlightRow() const { return m_dropHighlight; }

    QWidget* Widget() override { return this; }
    void SetIconSource(std::function<QIcon(int)> icon) override;
    void SetContextMenuHandler(std::function<void(int, const QPoint&)> show) override
    {
        m_contextMenu = std::move(show);
    }
    void SetPaneCommands(IPaneCommands* commands) override { m_commands = commands; }
    void OnUpdate(IDocumentView* sender) override;
    bool QueryCommand(int id, CommandState& state) override;
    bool ExecuteCommand(int id) override;
    // Rows of categories about to be destroyed stop reading them until
    // RemoveEntryRow or DeleteEntryRow deletes the rows.
    void OnEntriesRemoving(std::span<const CItem* const> entries) override;
    void OnLibraryClearing() override;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(
        const QModelIndex& index, const QEvent* event = nullptr) const override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    CCategoryTreeModel::VolumeLook VolumeLookOf(const CCategory& category) const;
    // Selection changes that the view makes itself without telling anyone.
    class QuietScope;

    void OnCurrentChanged(const QModelIndex& current);
    QRect PartRect(const QModelIndex& row, QStyle::SubElement part) const;
    void RemoveRowMovingSelection(const QModelIndex& row);
    void ExpandRow(const QModelIndex& row);
    void Rename(CCategory& category, const QString& text);
    void SetDropHighlight(const QModelIndex& row);

    CTessaryDoc& m_doc;
    CCategoryTreeModel* m_model;
    CClickRename* m_clickRename;
    bool m_refilling = false;
    QPersistentModelIndex m_dragRow;
    QPersistentModelIndex m_dropHighlight;
    std::function<void(int, const QPoint&)> m_contextMenu;
    IPaneCommands* m_commands = nullptr;
};

} // namespace tessary
