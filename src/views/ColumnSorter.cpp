#include "ColumnSorter.h"

#include "EntryListModel.h"

namespace tessary {

void CColumnSorter::SortByColumn(int column)
{
    if (column < 0 || column >= kEntryColumnCount) {
        m_lastColumn = column;
        return;
    }
    m_ascending = column != m_lastColumn || !m_ascending;
    m_lastColumn = column;
    if (m_list)
        m_list->Sort(column, m_ascending);
}

} // namespace tessary
