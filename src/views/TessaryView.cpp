#include "TessaryView.h"

#include "CategoryView.h"
#include "ClickRename.h"
#include "Datum.h"
#include "EntryListModel.h"
#include "ItemRowPainter.h"
#include "Menus.h"
#include "PaneCommands.h"
#include "ResourceIds.h"
#include "SearchCriteria.h"
#include "TextCodec.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QSettings>

#include <algorithm>

namespace tessary {
namespace {

const QString kWidthSection = QStringLiteral("RightViewStatus");

} // namespace

CTessaryView::CTessaryView(CTessaryDoc& doc, QWidget* parent)
    : CEntryListView(parent)
    , m_doc(doc)
    , m_model(new CEntryListModel(this))
    , m_painter(new CItemRowPainter(this))
    , m_clickRename(new CClickRename(this, [this](const QModelIndex& row, const QPoint& point) {
        return row.column() == kColumnName
            && CItemRowPainter::LabelRect(visualRect(row), fontMetrics(), row.data().toString())
                   .contains(point);
    }))
{
    setObjectName(QStringLiteral("TessaryView"));
    setAccessibleName(QString::fromUtf8("资料"));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // F2 belongs to content extraction, Delete to the delete command, and a
    // double click opens a sub-category: renaming starts from the commands
    // or a click on the selected row.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    SetRowPainter(m_painter);

    m_model->SetRenameHandler([this](int row, const QString& text) { Rename(row, text); });
    setModel(m_model);
    m_sorter.SetList(m_model);

    for (int c = 0; c < kEntryColumnCount; ++c)
        header()->resizeSection(c, kDefaultColumnWidth);
    SortOnHeaderClicks(m_sorter);

    // The selection summary is worked out again only after a change.
    const auto stale = [this] { m_summary.valid = false; };
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, stale);
    connect(m_model, &QAbstractItemModel::modelReset, this, stale);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, stale);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, stale);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, stale);

    m_doc.AddView(this);
    m_doc.AddRemovalListener(this);
}

CTessaryView::~CTessaryView()
{
    m_doc.RemoveRemovalListener(this);
    m_doc.RemoveView(this);
}

void CTessaryView::SetIconSource(std::function<QIcon(int)> icon)
{
    m_model->SetIconSource(std::move(icon));
    viewport()->update();
}

void CTessaryView::ShowRows(std::vector<CItem*> rows, CCategory* shown, bool roots)
{
    m_clickRename->Cancel();
    m_model->SetRows(std::move(rows));
    m_shown = shown;
    m_showsRoots = roots;
    // The rows are in model order again; the sorter keeps its state.
    header()->setSortIndicator(-1, Qt::AscendingOrder);
}

void CTessaryView::Refill()
{
    CCategory* current = m_doc.GetCurrentCategory();
    std::vector<CItem*> rows;
    if (current) {
        const CategoryList& subs = current->GetSubCategoryList();
        const DatumList& data = current->GetDatumList();
        rows.reserve(subs.size() + data.size());
        rows.insert(rows.end(), subs.begin(), subs.end());
        rows.insert(rows.end(), data.begin(), data.end());
    }
    ShowRows(std::move(rows), current, false);
}

void CTessaryView::OnUpdate(IDocumentView* sender)
{
    if (sender != this)
        Refill();
}

void CTessaryView::OnInitialUpdate()
{
    // A new or opened library has no current category yet: the list starts
    // with the roots.
    if (m_doc.GetCurrentCategory()) {
        Refill();
    } else {
        const CategoryList& roots = m_doc.GetRootList();
        ShowRows(std::vector<CItem*>(roots.begin(), roots.end()), nullptr, true);
    }
}

void CTessaryView::FilterRows(const QString& text)
{
    CCategory* current = m_doc.GetCurrentCategory();
    std::vector<CItem*> rows;
    if (current) {
        // Folding and matching work on the library's own bytes: no name is
        // converted. Only ASCII letters fold; a match starts on a character.
        const std::string key = Utf8ToGb(text.toStdString());
        const CKeywordPattern pattern(key, false);
        for (CCategory* sub : current->GetSubCategoryList())
            if (pattern.Find(sub->GetDisplayName()))
                rows.push_back(sub);
        for (CDatum* datum : current->GetDatumList())
            if (pattern.Find(datum->GetDisplayName()))
                rows.push_back(datum);
    }
    ShowRows(std::move(rows), current, false);
}

void CTessaryView::OnEntriesRemoving(std::span<const CItem* const> entries)
{
    if (m_shown) {
        // The shown category itself, or one above it, goes: so do all rows.
        std::vector<const CItem*> chain;
        for (const CItem* p = m_shown; p; p = p->GetParent())
            chain.push_back(p);
        for (const CItem* e : entries) {
            if (std::find(chain.begin(), chain.end(), e) != chain.end()) {
                ShowRows({}, nullptr, false);
                return;
            }
        }
    }
    m_model->RemoveEntries(entries);
}

void CTessaryView::OnLibraryClearing()
{
    ShowRows({}, nullptr, false);
}

int CTessaryView::InsertEntry(int index, CItem* entry)
{
    return m_model->InsertEntry(index, entry);
}

int CTessaryView::AppendEntry(CItem* entry)
{
    return m_model->InsertEntry(m_model->RowCount(), entry);
}

void CTessaryView::RefreshRow(int row)
{
    m_model->RefreshRow(row);
}

void CTessaryView::SelectEntry(const CItem* entry)
{
    clearSelection();
    GiveFocus();
    const int row = m_model->RowOf(entry);
    if (row < 0)
        return;
    const QModelIndex at = m_model->index(row, 0);
    selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(at);
}

int CTessaryView::RowCount() const
{
    return m_model->RowCount();
}

CItem* CTessaryView::EntryAt(int row) const
{
    return m_model->EntryAt(row);
}

int CTessaryView::RowOf(const CItem* entry) const
{
    return m_model->RowOf(entry);
}

const CTessaryView::SelectionSummary& CTessaryView::Summary() const
{
    if (!m_summary.valid) {
        SelectionSummary s;
        s.valid = true;
        // Whole rows are selected, in ranges that do not overlap.
        for (const QItemSelectionRange& r : selectionModel()->selection()) {
            if (r.left() > 0 || r.right() < 0)
                continue;
            s.count += r.height();
            if (s.first < 0 || r.top() < s.first)
                s.first = r.top();
        }
        m_summary = s;
    }
    return m_summary;
}

int CTessaryView::SelectedCount() const
{
    return Summary().count;
}

int CTessaryView::FirstSelectedRow() const
{
    return Summary().first;
}

CItem* CTessaryView::FirstSelectedEntry() const
{
    return EntryAt(FirstSelectedRow());
}

std::vector<CItem*> CTessaryView::SelectedEntries() const
{
    const std::vector<int> rows = SelectedRows();
    std::vector<CItem*> entries;
    entries.reserve(rows.size());
    for (int row : rows)
        if (CItem* e = EntryAt(row))
            entries.push_back(e);
    return entries;
}

bool CTessaryView::AnySelectedDatum() const
{
    // Category rows are few next to data items, so a range is almost always
    // decided by its first row or two.
    for (const QItemSelectionRange& range : selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            if (const CItem* e = EntryAt(row); e && e->IsDatum())
                return true;
    return false;
}

int CTessaryView::SelectionMarkRow() const
{
    const QModelIndex current = currentIndex();
    if (current.isValid() && selectionModel()->isSelected(current.siblingAtColumn(0)))
        return current.row();
    return FirstSelectedRow();
}

CItem* CTessaryView::SelectionMarkEntry() const
{
    return EntryAt(SelectionMarkRow());
}

void CTessaryView::BeginRename(int row)
{
    const QModelIndex at = m_model->index(row, kColumnName);
    if (!at.isValid())
        return;
    scrollTo(at);
    edit(at);
}

bool CTessaryView::BeginRename(const CItem* entry)
{
    const int row = RowOf(entry);
    if (row < 0)
        return false;
    BeginRename(row);
    return true;
}

void CTessaryView::GiveFocus()
{
    setFocus(Qt::OtherFocusReason);
}

void CTessaryView::Rename(int row, const QString& text)
{
    CItem* entry = EntryAt(row);
    if (!entry)
        return;
    std::string name = Utf8ToGb(text.toStdString());
    // The editor starts with the display name, extension included; the
    // extension stays the item's own and must not become part of its name.
    // The typed suffix counts as the extension in any letter case ("a.TXT"
    // for "txt"), as extensions compare everywhere else.
    if (entry->IsDatum()) {
        const std::string_view ext = static_cast<const CDatum*>(entry)->m_strExtension.view();
        const auto sameLetter = [](char a, char b) {
            const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
            return lower(a) == lower(b);
        };
        if (!ext.empty() && name.size() > ext.size() && name[name.size() - ext.size() - 1] == '.'
            && std::equal(ext.begin(), ext.end(), name.end() - std::ptrdiff_t(ext.size()), sameLetter))
            name.resize(name.size() - ext.size() - 1);
    }
    if (!m_commands)
        return;
    m_commands->Rename(*entry, name);
    if (!entry->IsDatum() && m_tree)
        m_tree->RefreshEntryRow(static_cast<CCategory*>(entry));
}

bool CTessaryView::CanMove(bool up) const
{
    const SelectionSummary& s = Summary();
    if (s.count != 1)
        return false;
    const CItem* a = EntryAt(s.first);
    const CItem* b = EntryAt(s.first + (up ? -1 : 1));
    return a && b && a->IsDatum() == b->IsDatum();
}

void CTessaryView::MoveSelected(bool up)
{
    if (!CanMove(up))
        return;
    const int sel = FirstSelectedRow();
    const int other = sel + (up ? -1 : 1);
    CItem* a = EntryAt(sel);
    CItem* b = EntryAt(other);
    // The rows' order on screen decides; after a sort or a filter the two
    // need not be neighbours in the category, they still change places.
    if (!m_doc.SwapEntries(a, b))
        return;
    m_model->SwapRows(sel, other);
    const QModelIndex target = m_model->index(other, 0);
    selectionModel()->setCurrentIndex(
        target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(target);
    if (!a->IsDatum() && m_tree)
        m_tree->SwapEntryRows(static_cast<CCategory*>(a), static_cast<CCategory*>(b));
}

bool CTessaryView::QueryCommand(int id, CommandState& state)
{
    switch (id) {
    case ID_ITEM_DELETE:
        state.enabled = m_tree && SelectedCount() > 0;
        return true;
    case ID_ITEM_EDIT:
        state.enabled = m_tree && SelectedCount() == 1;
        return true;
    case ID_MOVE_UP:
    case ID_MOVE_DOWN:
        state.enabled = CanMove(id == ID_MOVE_UP);
        return true;
    default:
        return false;
    }
}

bool CTessaryView::ExecuteCommand(int id)
{
    switch (id) {
    case ID_ITEM_DELETE:
        if (m_tree && m_commands)
            m_commands->DeleteSelectedEntries();
        return true;
    case ID_ITEM_EDIT:
        if (m_tree && m_commands)
            m_commands->EditSelectedEntry();
        return true;
    case ID_MOVE_UP:
    case ID_MOVE_DOWN:
        MoveSelected(id == ID_MOVE_UP);
        return true;
    default:
        return false;
    }
}

void CTessaryView::LoadColumnWidths(QSettings& profile)
{
    CEntryListView::LoadColumnWidths(profile, kWidthSection, kDefaultColumnWidth);
}

void CTessaryView::SaveColumnWidths(QSettings& profile) const
{
    CEntryListView::SaveColumnWidths(profile, kWidthSection);
}

void CTessaryView::contextMenuEvent(QContextMenuEvent* event)
{
    // The menu acts on the rows selected when it opens.
    if (m_contextMenu)
        m_contextMenu(kDatumPopupIndex, event->globalPos());
    event->accept();
}

void CTessaryView::mousePressEvent(QMouseEvent* event)
{
    m_clickRename->Pressed(event);
    CEntryListView::mousePressEvent(event);
}

void CTessaryView::mouseReleaseEvent(QMouseEvent* event)
{
    CEntryListView::mouseReleaseEvent(event);
    m_clickRename->Released(event);
}

void CTessaryView::mouseDoubleClickEvent(QMouseEvent* event)
{
    m_clickRename->Cancel();
    if (SelectedCount() == 0)
        return;
    CItem* entry = FirstSelectedEntry();
    if (entry && !entry->IsDatum()) {
        auto* category = static_cast<CCategory*>(entry);
        // Revealing selects it in the tree, which makes it current and
        // refills this list; refill here too in case it was current already.
        if (m_tree)
            m_tree->RevealEntry(category);
        if (m_shown != category || m_showsRoots)
            Refill();
        // The rows under the cursor are new ones: no click on them.
        return;
    }
    CEntryListView::mouseDoubleClickEvent(event);
}

} // namespace tessary
