#pragma once

#include <QtGlobal>

#include <climits>

namespace tessary {

// Gives every CEntryListView (and its viewport) a table interface for
// assistive technology. Installing twice installs once; the list view does
// it when it is created.
//
// The table's children are the header's cells, one per column, followed by
// the cells of every row, row after row. A cell's interface is made only when
// something asks for it and lives until the rows of the list change (a
// reset, rows inserted, removed or sorted), so a list of a million rows costs
// nothing until a screen reader reads it, and then only what it read.
//
// A cell's name is the text its row shows in that column; its column header
// is the header's cell; it is selectable, selected with its row, focused when
// it is the current cell of a list that has the focus, and editable where the
// model lets it be edited.
void InstallEntryListAccessibility();

// The number of a table child: the header's cells are 0..columns-1, then row
// `row`'s cells follow. -1 when the number does not fit an int.
inline int EntryListChildIndex(int row, int column, int columns)
{
    const qint64 index = (qint64(row) + 1) * columns + column;
    return index < 0 || index > INT_MAX ? -1 : static_cast<int>(index);
}

} // namespace tessary
