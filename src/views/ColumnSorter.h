#pragma once

namespace tessary {

class CEntryListModel;

// Sorts an entry list by the column the user clicks: a new column sorts
// ascending, the same column again reverses the direction. The state lives as
// long as the sorter: refilling the list resets neither the last column nor
// the direction, so the next click on that column sorts the other way.
class CColumnSorter {
public:
    explicit CColumnSorter(CEntryListModel* list = nullptr)
        : m_list(list)
    {
    }

    // The list to sort (not owned).
    void SetList(CEntryListModel* list) { m_list = list; }

    // Sorts by `column` (0..4). Any other number is remembered as the last
    // column but sorts nothing and leaves the direction alone.
    void SortByColumn(int column);

    int LastColumn() const { return m_lastColumn; }
    // Direction of the last sort of the last column.
    bool Ascending() const { return m_ascending; }

private:
    CEntryListModel* m_list;
    int m_lastColumn = -1;
    bool m_ascending = true;
};

} // namespace tessary
