#pragma once

#include "ColumnSorter.h"
#include "CommandTarget.h"
#include "Document.h"

#include <QDockWidget>

#include <functional>
#include <vector>

class QIcon;
class QItemSelection;
class QMenu;
class QSettings;

namespace tessary {

class CCategoryView;
class CDatum;
class CEntryListModel;
class CEntryListView;
class CQuickFindField;
class CTessaryView;
struct DuplicateGroups;
struct UniqueFiles;

// The docking bar "Output" that lists the results of the last search: one
// row per data item found, in the five entry columns. The rows point at the
// library's data items (not owned; see CEntryListModel) and are the bar's
// own copy of the result list, which it owns from SetResults on.
//
// Selecting a single row takes the user to its item: the tree reveals the
// item's category and the item list selects the item. Clicking a column
// title sorts the rows (again: the other way). The bar handles select all
// (57642) and the removal of the selected rows (40015) as a command target
// of its own, asked right after the command manager; extraction and clearing
// of content (40014, 40018) are the command manager's, which reads the
// selection through SelectedCount and SelectedItems.
//
// Rows never outlive their items: the bar listens to the document and drops
// the rows of entries about to be destroyed (a category with its subtree,
// data items, entries a refresh removes), and empties when the library is
// replaced.
//
// Above the rows sits the quick find field (CQuickFindField): each change of
// its text lists the data items of the whole library whose names hold it,
// in the same rows. The quick find command (32810, Ctrl+E) shows the bar
// with the focus in the field. From the keyboard: Down in the field moves
// to the rows, Up on the first row back to the field, and Enter on a row
// reveals its item as a click does (moving through the rows by keyboard
// reveals nothing, so that the focus stays in the rows).
class COutputBar : public QDockWidget,
                   public ICommandTarget,
                   public IEntryRemovalListener,
                   public IDocumentView {
    Q_OBJECT
public:
    // Hidden and empty until it is given results.
    explicit COutputBar(QWidget* parent = nullptr);
    ~COutputBar() override;

    // The library the rows point into (not owned; null: none). The bar
    // registers with it to hear of removals and updates.
    void SetDocument(CTessaryDoc* doc);
    // The panes a selected row reveals its item in (not owned; may be null).
    void SetViews(CCategoryView* tree, CTessaryView* list);
    // `icon(index)` gives the icon of an image index (the shared icon list).
    void SetIconSource(std::function<QIcon(int)> icon);
    // The menu shown on a right click in the result list (not owned).
    void SetContextMenu(QMenu* menu) { m_contextMenu = menu; }

    // Column widths from and to the profile: section "OutPutBarStatus", keys
    // "Column0".."Column4"; a missing or damaged value gives 120 pixels.
    void LoadColumnWidths(QSettings& profile);
    void SaveColumnWidths(QSettings& profile) const;

    // Replaces the rows by `results`, in their order, and shows "搜索结果共
    // %d 个文件" with the number of rows in the main window's status bar.
    // The bar owns the list from now on (not the items). Showing the bar is
    // the caller's.
    void SetResults(std::vector<CDatum*> results);
    // Replaces the rows by the copies of every group, group after group
    // (rows grouped: see CEntryListModel; group numbers count from 1 in
    // the given order), and shows "重复文件 %d 组，共 %d 个文件，多占 %s".
    void SetDuplicates(const DuplicateGroups& groups);
    // Replaces the rows by `unique`'s items, in their order, and shows
    // "只有一份的文件共 %d 个，共 %s".
    void SetUniqueFiles(const UniqueFiles& unique);
    // Removes every row; the status bar is not touched.
    void Clear();
    // Paints the rows again from their items (after a change of their
    // contents that the bar was not told of).
    void RefreshRows();

    // Selected result rows: their number, and their data items in row order.
    int SelectedCount() const;
    std::vector<CDatum*> SelectedItems() const;

    int RowCount() const;
    CDatum* ItemAt(int row) const;
    CEntryListView* ResultList() const;
    CQuickFindField* FindField() const { return m_findField; }
    // Shows the bar and puts the focus in the quick find field, its text
    // selected (the quick find command).
    void StartQuickFind();
    CEntryListModel* ResultModel() const { return m_model; }
    CColumnSorter& Sorter() { return m_sorter; }

    bool QueryCommand(int id, CommandState& state) override;
    bool ExecuteCommand(int id) override;
    void OnEntriesRemoving(std::span<const CItem* const> entries) override;
    void OnLibraryClearing() override;
    void OnUpdate(IDocumentView* sender) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Changes of the rows or their selection made by the bar itself, during
    // which selection changes reveal nothing.
    class UpdatingScope;

    class CResultRows;

    void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void Reveal(CDatum* item);
    // Lists `rows` (data items) in their order, with the count in the
    // status bar.
    void ShowRows(std::vector<CItem*> rows);
    // From the quick find field to the first row (or the current one).
    void MoveIntoRows();
    void SelectAll();
    void RemoveSelectedRows();
    void ShowCount();
    void ShowStatus(const QString& text);
    // The rows are in the order they were given again.
    void ResetSortIndicator();

    CTessaryDoc* m_doc = nullptr;
    CCategoryView* m_tree = nullptr;
    CTessaryView* m_listView = nullptr;
    CResultRows* m_list;
    CEntryListModel* m_model;
    CQuickFindField* m_findField;
    CColumnSorter m_sorter;
    QMenu* m_contextMenu = nullptr;
    bool m_updating = false;
};

} // namespace tessary
