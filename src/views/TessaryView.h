#pragma once

#include "ColumnSorter.h"
#include "Document.h"
#include "EntryListView.h"
#include "PaneView.h"

#include <vector>

class QSettings;

namespace tessary {

class CCategoryView;
class CClickRename;
class CEntryListModel;
class CItemRowPainter;

// The right pane: the entries of the current category in five columns (name,
// size, type, last change, location), first its sub-categories, then its data
// items, each in the category's own order. Right after a library is created
// or opened it lists the root categories instead (there is no current
// category yet).
//
// Rows are pointers to entries (see CEntryListModel) in a list view that
// keeps nothing per row (see CEntryListView); the painter draws them (see
// CItemRowPainter). The user sorts by clicking a column title, filters
// by the toolbar's text, renames in place (command 40011 or a click on the
// selected row, never F2 or a double click), opens a sub-category by double
// clicking it, and moves one entry up or down. While the list is the active
// view it handles 40010 (delete), 40011 (edit), 40021 and 40022 (move).
//
// The list is told of entries about to be destroyed and drops their rows
// first, so a row never outlives its entry.
//
// Selection queries are cheap however many rows are selected: counts and
// the first row come from the selection's ranges.
class CTessaryView : public CEntryListView, public IItemListPane, public IEntryRemovalListener {
    Q_OBJECT
public:
    explicit CTessaryView(CTessaryDoc& doc, QWidget* parent = nullptr);
    ~CTessaryView() override;

    // The category tree, which the list keeps in step (not owned).
    void SetTreeView(CCategoryView* tree) { m_tree = tree; }
    CTessaryDoc& Document() const { return m_doc; }
    CEntryListModel* ListModel() const { return m_model; }
    CColumnSorter& Sorter() { return m_sorter; }

    // Inserts a row for `entry` at `index` and returns the index, or -1 when
    // the index is out of range (nothing happens then).
    int InsertEntry(int index, CItem* entry);
    int AppendEntry(CItem* entry);
    // Shows the row's icon and texts again from its entry.
    void RefreshRow(int row);
    // Selects only the row of `entry` (none when it has no row), gives the
    // list the focus and scrolls the row into view.
    void SelectEntry(const CItem* entry);
    // Rebuilds the rows from the current category (empty without one).
    void Refill();

    int RowCount() const;
    CItem* EntryAt(int row) const;
    int RowOf(const CItem* entry) const;
    // Selected rows: their number, the lowest one (-1 when none) and its
    // entry, all rows in increasing order, and their entries in that order.
    int SelectedCount() const;
    int FirstSelectedRow() const;
    CItem* FirstSelectedEntry() const;
    std::vector<CItem*> SelectedEntries() const;
    // Whether any selected row is a data item; stops at the first one.
    bool AnySelectedDatum() const;
    // The row the selection was last made at: the focused row when it is
    // selected, else the first selected row (-1 when nothing is selected).
    int SelectionMarkRow() const;
    CItem* SelectionMarkEntry() const;
    // Opens the in-place editor of the row's name (of the entry's row).
    void BeginRename(int row);
    bool BeginRename(const CItem* entry);
    void GiveFocus();

    // Moving the one selected entry past its neighbour on screen: possible
    // when exactly one row is selected, the neighbour exists and both are
    // data items or both categories.
    bool CanMove(bool up) const;
    void MoveSelected(bool up);

    // Column widths from and to the profile: section "RightViewStatus",
    // keys "Column0".."Column4", 120 pixels by default.
    void LoadColumnWidths(QSettings& profile);
    void SaveColumnWidths(QSettings& profile) const;

    // What the rows show: the category (null for none), or the roots.
    CCategory* ShownCategory() const { return m_shown; }
    bool ShowsRoots() const { return m_showsRoots; }

    QWidget* Widget() override { return this; }
    void SetIconSource(std::function<QIcon(int)> icon) override;
    void SetContextMenuHandler(std::function<void(int, const QPoint&)> show) override
    {
        m_contextMenu = std::move(show);
    }
    void SetPaneCommands(IPaneCommands* commands) override { m_commands = commands; }
    void OnUpdate(IDocumentView* sender) override;
    void OnInitialUpdate() override;
    bool QueryCommand(int id, CommandState& state) override;
    bool ExecuteCommand(int id) override;
    void FilterRows(const QString& text) override;
    void OnEntriesRemoving(std::span<const CItem* const> entries) override;
    void OnLibraryClearing() override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    struct SelectionSummary {
        bool valid = false;
        int count = 0;
        int first = -1;
    };
    const SelectionSummary& Summary() const;
    void ShowRows(std::vector<CItem*> rows, CCategory* shown, bool roots);
    void Rename(int row, const QString& text);

    CTessaryDoc& m_doc;
    CCategoryView* m_tree = nullptr;
    CEntryListModel* m_model;
    CItemRowPainter* m_painter;
    CClickRename* m_clickRename;
    CColumnSorter m_sorter;
    CCategory* m_shown = nullptr;
    bool m_showsRoots = false;
    mutable SelectionSummary m_summary;
    std::function<void(int, const QPoint&)> m_contextMenu;
    IPaneCommands* m_commands = nullptr;
};

} // namespace tessary
