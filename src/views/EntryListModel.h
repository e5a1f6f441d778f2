#pragma once

#include "EntryColumns.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace tessary {

// A list of entry rows in the five entry columns. Each row is a pointer to an
// entry (not owned), nothing more: every text, the icon and the colour are
// computed from the entry when asked for, so the list costs 8 bytes a row
// and always shows the entries as they are.
//
// Whoever fills the model keeps it free of entries that are about to be
// destroyed (see RemoveEntries); a row must never outlive its entry.
//
// Roles: DisplayRole holds the shown text of every cell (also for assistive
// technology), EditRole of column 0 the display name, DecorationRole of
// column 0 the entry's icon, ForegroundRole blue for a data item holding
// content.
//
// Rows may come in groups (the copies of one file): each row then carries
// its group's number, which stays with it through sorting and removal.
// Sorting keeps the rows of a group together: groups come in the order of
// their first row in the column's order, and within a group the rows follow
// that order too. Every other run of a group's rows has a shaded background
// (BackgroundRole), and column 0 says the group number to assistive
// technology (AccessibleDescriptionRole, "重复文件第 %d 组").
class CEntryListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CEntryListModel(QObject* parent = nullptr);

    // `icon(index)` gives the icon of an image index (the shared icon list).
    void SetIconSource(std::function<QIcon(int)> icon) { m_icon = std::move(icon); }
    // Called when the name of row `row` was edited in place (column 0) with
    // the confirmed text; without a handler rows are not editable.
    void SetRenameHandler(std::function<void(int row, const QString& text)> rename)
    {
        m_rename = std::move(rename);
    }

    const std::vector<CItem*>& Rows() const noexcept { return m_rows; }
    int RowCount() const noexcept { return static_cast<int>(m_rows.size()); }
    // The entry of `row`; null when out of range.
    CItem* EntryAt(int row) const noexcept;
    // The first row showing `entry`, or -1.
    int RowOf(const CItem* entry) const noexcept;

    // Replaces every row (a model reset); the rows are not grouped.
    void SetRows(std::vector<CItem*> rows);
    // Replaces every row by `rows`, row i in group groups[i] (1 and up).
    // Both vectors have the same length.
    void SetGroupedRows(std::vector<CItem*> rows, std::vector<std::uint32_t> groups);
    // The group number of `row`; 0 for rows that are not grouped.
    std::uint32_t GroupOf(int row) const noexcept;
    void Clear() { SetRows({}); }
    // Inserts a row for `entry` at `index` (0..row count) and returns the
    // index, or -1 when the index is out of range (nothing happens then).
    int InsertEntry(int index, CItem* entry);
    // Tells the views that `row` changed (texts, icon, colour).
    void RefreshRow(int row);
    // Exchanges the entries of two rows (for moving an entry up or down).
    void SwapRows(int a, int b);
    // Removes every row whose entry is one of `entries`, keeping the order of
    // the others. Returns how many rows went. One pass over the rows; a
    // removal scattered over many places resets the model instead of
    // removing run after run.
    std::size_t RemoveEntries(std::span<const CItem* const> entries);
    // Removes every row for which `remove(row, entry)` is true, keeping the
    // order of the others, in one pass (as RemoveEntries). `remove` is called
    // once per row, top to bottom, with the row's number before the removal.
    std::size_t RemoveRowsWhere(const std::function<bool(std::size_t row, const CItem* entry)>& remove);
    // Reorders the rows by `column` (see SortOrder); persistent indexes
    // (selection, current row) follow their rows.
    void Sort(int column, bool ascending);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    // Marks the rows whose group run is shaded (every other run of rows of
    // one group, from the top); nothing when the rows are not grouped.
    void UpdateBands();

    std::vector<CItem*> m_rows;
    std::vector<std::uint32_t> m_groups; // empty, or one per row
    std::vector<bool> m_shaded; // as m_groups
    std::function<QIcon(int)> m_icon;
    std::function<void(int, const QString&)> m_rename;
};

} // namespace tessary
