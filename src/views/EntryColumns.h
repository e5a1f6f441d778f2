#pragma once

#include "Item.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace tessary {

// The five columns of an entry row, shared by the item list and the output
// bar's result list.
enum EntryColumn : int {
    kColumnName = 0, // display name
    kColumnSize = 1, // data items: "<size> Byte", unsigned
    kColumnType = 2, // type text of the kind
    kColumnModified = 3, // data items: last-write time, "MM/DD/YY HH:MM:SS"
    kColumnLocation = 4, // full path
};
inline constexpr int kEntryColumnCount = 5;
inline constexpr int kDefaultColumnWidth = 120;

// String-table id of a column's title.
int ColumnTitleId(int column);

// `time` in local time as "MM/DD/YY HH:MM:SS" (24-hour clock, two-digit
// year). Empty when the time cannot be converted.
std::string FormatTime32(Time32 time);

// The text `entry` shows in `column` (UTF-8 for display; empty for an
// unknown column). Computed from the entry every time.
QString EntryColumnText(const CItem& entry, int column);

// True when rows of `entry` are written in blue: a data item holding
// extracted content.
bool ShowsContent(const CItem& entry);

// The order of `rows` sorted by `column`: result[i] is the old position of
// the row that goes to position i. Ascending compares, per column: the stored
// names (without extension) as unsigned bytes; sizes as unsigned values, a
// category counting as 0; the type texts as bytes; last-write times, a
// category counting as 0; the full paths as bytes. Descending is the reverse
// comparison. Rows that compare equal keep their relative order. An unknown
// column gives the identity.
std::vector<std::uint32_t> SortOrder(const std::vector<CItem*>& rows, int column, bool ascending);

} // namespace tessary
