#include "EntryListModel.h"

#include "Strings.h"

#include "ResourceIds.h"

#include <QBrush>
#include <QColor>
#include <QGuiApplication>
#include <QPalette>

#include <algorithm>
#include <unordered_set>

namespace tessary {
namespace {

// More separate runs of removed rows than this, and one reset is cheaper
// than removing run after run (each removal makes the views and the
// selection walk what they hold).
constexpr std::size_t kMaxRemovalRuns = 32;

// Reorders a sort order (positions of rows) so that the rows of a group
// follow each other: a group takes the place of its first row in `order`.
// Rows of group 0 stand alone.
void KeepGroupsTogether(std::vector<std::uint32_t>& order, const std::vector<std::uint32_t>& groups)
{
    const std::uint32_t last = groups.empty() ? 0 : *std::max_element(groups.begin(), groups.end());
    constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    std::vector<std::uint32_t> firstPlace(std::size_t { last } + 1, kNone);
    std::vector<std::uint64_t> keyed(order.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) {
        const std::uint32_t g = groups[order[i]];
        if (g != 0 && firstPlace[g] == kNone)
            firstPlace[g] = i;
        keyed[i] = std::uint64_t { g == 0 ? i : firstPlace[g] } << 32 | i;
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::uint32_t> grouped(order.size());
    for (std::size_t i = 0; i < keyed.size(); ++i)
        grouped[i] = order[static_cast<std::uint32_t>(keyed[i])];
    order = std::move(grouped);
}

} // namespace

CEntryListModel::CEntryListModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

CItem* CEntryListModel::EntryAt(int row) const noexcept
{
    return row >= 0 && row < RowCount() ? m_rows[static_cast<std::size_t>(row)] : nullptr;
}

int CEntryListModel::RowOf(const CItem* entry) const noexcept
{
    auto it = std::find(m_rows.begin(), m_rows.end(), entry);
    return it == m_rows.end() ? -1 : static_cast<int>(it - m_rows.begin());
}

void CEntryListModel::SetRows(std::vector<CItem*> rows)
{
    SetGroupedRows(std::move(rows), {});
}

void CEntryListModel::SetGroupedRows(std::vector<CItem*> rows, std::vector<std::uint32_t> groups)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_groups = std::move(groups);
    m_groups.resize(m_groups.empty() ? 0 : m_rows.size(), 0);
    UpdateBands();
    // A refill of a big category followed by a small one must not keep the
    // big buffer.
    if (m_rows.capacity() > 2 * m_rows.size() + 64)
        m_rows.shrink_to_fit();
    endResetModel();
}

std::uint32_t CEntryListModel::GroupOf(int row) const noexcept
{
    return row >= 0 && static_cast<std::size_t>(row) < m_groups.size()
        ? m_groups[static_cast<std::size_t>(row)]
        : 0;
}

void CEntryListModel::UpdateBands()
{
    m_shaded.assign(m_groups.size(), false);
    bool shaded = false;
    for (std::size_t i = 0; i < m_groups.size(); ++i) {
        if (i > 0 && m_groups[i] != m_groups[i - 1])
            shaded = !shaded;
        m_shaded[i] = shaded;
    }
}

int CEntryListModel::InsertEntry(int index, CItem* entry)
{
    if (index < 0 || index > RowCount())
        return -1;
    beginInsertRows(QModelIndex(), index, index);
    m_rows.insert(m_rows.begin() + index, entry);
    if (!m_groups.empty()) {
        m_groups.insert(m_groups.begin() + index, 0);
        UpdateBands();
    }
    endInsertRows();
    return index;
}

void CEntryListModel::RefreshRow(int row)
{
    if (row >= 0 && row < RowCount())
        Q_EMIT dataChanged(index(row, 0), index(row, kEntryColumnCount - 1));
}

void CEntryListModel::SwapRows(int a, int b)
{
    if (a < 0 || b < 0 || a >= RowCount() || b >= RowCount() || a == b)
        return;
    std::swap(m_rows[static_cast<std::size_t>(a)], m_rows[static_cast<std::size_t>(b)]);
    if (!m_groups.empty()) {
        std::swap(m_groups[static_cast<std::size_t>(a)], m_groups[static_cast<std::size_t>(b)]);
        UpdateBands();
    }
    RefreshRow(a);
    RefreshRow(b);
}

std::size_t CEntryListModel::RemoveEntries(std::span<const CItem* const> entries)
{
    if (entries.empty() || m_rows.empty())
        return 0;
    std::unordered_set<const CItem*> going(entries.begin(), entries.end());
    return RemoveRowsWhere([&going](std::size_t, const CItem* e) { return going.count(e) != 0; });
}

std::size_t CEntryListModel::RemoveRowsWhere(const std::function<bool(std::size_t, const CItem*)>& remove)
{
    std::vector<int> removed;
    std::size_t runs = 0;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (!remove(i, m_rows[i]))
            continue;
        if (removed.empty() || removed.back() != static_cast<int>(i) - 1)
            ++runs;
        removed.push_back(static_cast<int>(i));
    }
    if (removed.empty())
        return 0;

    if (runs > kMaxRemovalRuns) {
        beginResetModel();
        // The rows that stay, found again from the removed numbers (the
        // predicate is asked once per row only).
        std::size_t kept = 0, next = 0;
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            if (next < removed.size() && static_cast<std::size_t>(removed[next]) == i) {
                ++next;
                continue;
            }
            if (!m_groups.empty())
                m_groups[kept] = m_groups[i];
            m_rows[kept++] = m_rows[i];
        }
        m_rows.resize(kept);
        if (!m_groups.empty()) {
            m_groups.resize(kept);
            UpdateBands();
        }
        if (m_rows.capacity() > 2 * m_rows.size() + 64)
            m_rows.shrink_to_fit();
        endResetModel();
        return removed.size();
    }
    // Run by run from the end, so that the earlier rows keep their numbers.
    std::size_t end = removed.size();
    while (end > 0) {
        std::size_t begin = end - 1;
        while (begin > 0 && removed[begin - 1] == removed[begin] - 1)
            --begin;
        const int first = removed[begin], last = removed[end - 1];
        beginRemoveRows(QModelIndex(), first, last);
        m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
        if (!m_groups.empty())
            m_groups.erase(m_groups.begin() + first, m_groups.begin() + last + 1);
        endRemoveRows();
        end = begin;
    }
    if (!m_groups.empty()) {
        // Runs of one group may now meet: the shading of the rows below
        // the first removal may change.
        UpdateBands();
        if (!m_rows.empty())
            Q_EMIT dataChanged(
                index(0, 0), index(RowCount() - 1, kEntryColumnCount - 1), { Qt::BackgroundRole });
    }
    return removed.size();
}

void CEntryListModel::Sort(int column, bool ascending)
{
    if (column < 0 || column >= kEntryColumnCount || m_rows.size() < 2)
        return;
    std::vector<std::uint32_t> order = SortOrder(m_rows, column, ascending);
    if (!m_groups.empty())
        KeepGroupsTogether(order, m_groups);
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<CItem*> sorted(m_rows.size());
    std::vector<std::uint32_t> sortedGroups(m_groups.size());
    std::vector<int> newRowOf(m_rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        sorted[i] = m_rows[order[i]];
        if (!m_groups.empty())
            sortedGroups[i] = m_groups[order[i]];
        newRowOf[order[i]] = static_cast<int>(i);
    }
    m_rows = std::move(sorted);
    m_groups = std::move(sortedGroups);
    UpdateBands();
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before)
        after.append(index(newRowOf[static_cast<std::size_t>(old.row())], old.column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int CEntryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : RowCount();
}

int CEntryListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kEntryColumnCount;
}

QVariant CEntryListModel::data(const QModelIndex& index, int role) const
{
    const CItem* entry = index.isValid() ? EntryAt(index.row()) : nullptr;
    if (!entry)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return EntryColumnText(*entry, index.column());
    case Qt::EditRole:
        return index.column() == kColumnName ? EntryColumnText(*entry, kColumnName) : QVariant();
    case Qt::DecorationRole:
        if (index.column() == kColumnName && m_icon)
            return m_icon(entry->GetImageIndex());
        return {};
    case Qt::ForegroundRole:
        if (ShowsContent(*entry))
            return QBrush(QColor(0, 0, 255));
        return {};
    case Qt::BackgroundRole: {
        if (m_shaded.empty() || !m_shaded[static_cast<std::size_t>(index.row())])
            return {};
        // A shade of the selection colour over the list's own background.
        const QPalette palette = QGuiApplication::palette();
        const QColor base = palette.color(QPalette::Active, QPalette::Base);
        const QColor mark = palette.color(QPalette::Active, QPalette::Highlight);
        return QBrush(QColor((base.red() * 7 + mark.red()) / 8, (base.green() * 7 + mark.green()) / 8,
            (base.blue() * 7 + mark.blue()) / 8));
    }
    case Qt::AccessibleDescriptionRole: {
        const std::uint32_t group = GroupOf(index.row());
        if (index.column() != kColumnName || group == 0)
            return {};
        return LoadString(IDS_DUPLICATE_GROUP).replace(QStringLiteral("%d"), QString::number(group));
    }
    default:
        return {};
    }
}

QVariant CEntryListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return LoadString(ColumnTitleId(section));
    if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags CEntryListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == kColumnName && m_rename)
        f |= Qt::ItemIsEditable;
    return f;
}

bool CEntryListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !m_rename || !index.isValid() || index.column() != kColumnName
        || !EntryAt(index.row()))
        return false;
    // The handler may change the rows; the row number is only good until then.
    const QPersistentModelIndex keep(index);
    m_rename(index.row(), value.toString());
    if (keep.isValid())
        RefreshRow(keep.row());
    return true;
}

} // namespace tessary
