#include "EntryColumns.h"

#include "Category.h"
#include "Datum.h"
#include "ResourceIds.h"
#include "TextCodec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <string_view>
#include <unordered_map>

namespace tessary {
namespace {

QString Shown(std::string_view gb)
{
    return QString::fromStdString(GbToUtf8(gb));
}

// A sort key and the row it belongs to. Text columns put the first eight
// bytes (after the prefix that all rows share) in the key, big-endian, so
// that most comparisons never touch the texts themselves.
struct Keyed {
    std::uint64_t key;
    std::uint32_t row;
};

std::uint64_t PrefixKey(std::string_view text, std::size_t from)
{
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        const std::size_t at = from + i;
        key = (key << 8) | (at < text.size() ? static_cast<unsigned char>(text[at]) : 0u);
    }
    return key;
}

// Sorts by texts: `text(row)` gives a row's bytes, compared as unsigned
// bytes, a prefix before the longer text.
template <class TextOf> void SortByText(std::vector<Keyed>& keys, bool ascending, TextOf&& text)
{
    if (keys.empty())
        return;
    // The length of the prefix every text shares (paths of one folder share
    // most of their bytes).
    std::string_view first = text(keys.front().row);
    std::size_t common = first.size();
    for (const Keyed& k : keys) {
        const std::string_view t = text(k.row);
        const std::size_t n = std::min(common, t.size());
        std::size_t i = 0;
        while (i < n && t[i] == first[i])
            ++i;
        common = i;
        if (common == 0)
            break;
    }
    for (Keyed& k : keys)
        k.key = PrefixKey(text(k.row), common);
    std::sort(keys.begin(), keys.end(), [&](const Keyed& a, const Keyed& b) {
        if (a.key != b.key)
            return ascending ? a.key < b.key : a.key > b.key;
        const std::string_view ta = text(a.row).substr(std::min(common, text(a.row).size()));
        const std::string_view tb = text(b.row).substr(std::min(common, text(b.row).size()));
        // char_traits<char> compares as unsigned char.
        if (const int c = ta.compare(tb); c != 0)
            return ascending ? c < 0 : c > 0;
        return a.row < b.row;
    });
}

void SortByNumber(std::vector<Keyed>& keys, bool ascending)
{
    std::sort(keys.begin(), keys.end(), [ascending](const Keyed& a, const Keyed& b) {
        if (a.key != b.key)
            return ascending ? a.key < b.key : a.key > b.key;
        return a.row < b.row;
    });
}

} // namespace

int ColumnTitleId(int column)
{
    static constexpr std::array<int, kEntryColumnCount> kTitles
        = { IDS_COL_NAME, IDS_COL_SIZE, IDS_COL_TYPE, IDS_COL_MODIFIED, IDS_COL_LOCATION };
    return column >= 0 && column < kEntryColumnCount ? kTitles[column] : 0;
}

std::string FormatTime32(Time32 time)
{
    const std::time_t t = time;
    std::tm tm {};
    if (!localtime_r(&t, &tm))
        return {};
    char buf[32];
    const std::size_t n = std::strftime(buf, sizeof buf, "%m/%d/%y %H:%M:%S", &tm);
    return std::string(buf, n);
}

QString EntryColumnText(const CItem& entry, int column)
{
    switch (column) {
    case kColumnName:
        return Shown(entry.GetDisplayName());
    case kColumnSize:
        return entry.IsDatum() ? QString::number(entry.GetSize()) + QStringLiteral(" Byte") : QString();
    case kColumnType:
        return Shown(entry.GetTypeText());
    case kColumnModified:
        return entry.IsDatum()
            ? QString::fromStdString(FormatTime32(static_cast<const CDatum&>(entry).m_timeModified))
            : QString();
    case kColumnLocation:
        return Shown(entry.GetPath());
    default:
        return {};
    }
}

bool ShowsContent(const CItem& entry)
{
    return entry.IsDatum() && HasContent(static_cast<const CDatum&>(entry));
}

std::vector<std::uint32_t> SortOrder(const std::vector<CItem*>& rows, int column, bool ascending)
{
    const auto n = static_cast<std::uint32_t>(rows.size());
    std::vector<Keyed> keys(n);
    for (std::uint32_t i = 0; i < n; ++i)
        keys[i] = { 0, i };

    switch (column) {
    case kColumnName:
        SortByText(keys, ascending, [&rows](std::uint32_t r) { return rows[r]->m_strName.view(); });
        break;
    case kColumnSize:
        for (Keyed& k : keys)
            k.key = rows[k.row]->IsDatum() ? rows[k.row]->GetSize() : 0u;
        SortByNumber(keys, ascending);
        break;
    case kColumnType: {
        // The type text belongs to the kind: fetched once per kind.
        std::array<std::string, kClassCount> texts;
        std::array<bool, kClassCount> known {};
        std::vector<std::uint8_t> kind(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            const auto id = static_cast<std::size_t>(rows[i]->GetClassId());
            kind[i] = static_cast<std::uint8_t>(id);
            if (!known[id]) {
                texts[id] = rows[i]->GetTypeText();
                known[id] = true;
            }
        }
        SortByText(keys, ascending, [&](std::uint32_t r) { return std::string_view(texts[kind[r]]); });
        break;
    }
    case kColumnModified:
        for (Keyed& k : keys) {
            const CItem* e = rows[k.row];
            const Time32 t = e->IsDatum() ? static_cast<const CDatum*>(e)->m_timeModified : 0;
            k.key = static_cast<std::uint32_t>(t) ^ 0x80000000u; // signed order as unsigned
        }
        SortByNumber(keys, ascending);
        break;
    case kColumnLocation: {
        // A file's path is its folder's path and its name. Folders are few
        // next to files and a folder's path walks up its ancestors, so each
        // folder's path is made once.
        std::unordered_map<const CCategory*, std::string> folderPaths;
        std::vector<std::string> paths(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            const CItem* e = rows[i];
            const CCategory* folder = e->GetParent();
            if (e->GetClassId() != ClassId::FileDatum || !folder) {
                paths[i] = e->GetPath();
                continue;
            }
            auto [it, fresh] = folderPaths.try_emplace(folder);
            if (fresh)
                it->second = folder->GetPath();
            paths[i] = static_cast<const CFileDatum*>(e)->PathIn(it->second);
        }
        SortByText(keys, ascending, [&paths](std::uint32_t r) { return std::string_view(paths[r]); });
        break;
    }
    default:
        break;
    }

    std::vector<std::uint32_t> order(n);
    for (std::uint32_t i = 0; i < n; ++i)
        order[i] = keys[i].row;
    return order;
}

} // namespace tessary
