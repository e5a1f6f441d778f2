#include "OutputBar.h"

#include "CategoryView.h"
#include "Copies.h"
#include "Datum.h"
#include "EntryColumns.h"
#include "EntryListModel.h"
#include "EntryListView.h"
#include "QuickFindField.h"
#include "ResourceIds.h"
#include "Strings.h"
#include "TessaryView.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>
#include <QVBoxLayout>

#include <unordered_set>

namespace tessary {
namespace {

const QString kWidthSection = QStringLiteral("OutPutBarStatus");

// The string-table text `id` with its "%d" and "%s" replaced by `values`,
// in order.
QString Filled(int id, std::initializer_list<QString> values)
{
    QString text = LoadString(id);
    qsizetype at = 0;
    for (const QString& value : values) {
        while (at + 1 < text.size()
            && !(text[at] == QLatin1Char('%')
                && (text[at + 1] == QLatin1Char('d') || text[at + 1] == QLatin1Char('s'))))
            ++at;
        if (at + 1 >= text.size())
            break;
        text.replace(at, 2, value);
        at += value.size();
    }
    return text;
}

} // namespace

// The result list. The bar's default size (before the user or the saved
// layout sizes it) comes from here. Enter reveals the current row's item, Up
// on the first row goes back to the quick find field, and a key that moves
// the selection says so (the item is revealed, but the focus stays in the
// rows, so that the user can go on moving through them).
class COutputBar::CResultRows : public CEntryListView {
public:
    explicit CResultRows(COutputBar& bar)
        : CEntryListView(&bar)
        , m_bar(bar)
    {
    }
    QSize sizeHint() const override { return QSize(200, 100); }
    bool KeyboardMove() const { return m_keyboardMove; }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
        if (mods == Qt::NoModifier) {
            if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
                if (CDatum* item = m_bar.ItemAt(currentIndex().row()))
                    m_bar.Reveal(item);
                return;
            }
            if (event->key() == Qt::Key_Up && currentIndex().row() <= 0) {
                m_bar.m_findField->setFocus(Qt::OtherFocusReason);
                return;
            }
        }
        m_keyboardMove = true;
        CEntryListView::keyPressEvent(event);
        m_keyboardMove = false;
    }

private:
    COutputBar& m_bar;
    bool m_keyboardMove = false;
};

class COutputBar::UpdatingScope {
public:
    explicit UpdatingScope(COutputBar& bar)
        : m_bar(bar)
        , m_was(bar.m_updating)
    {
        bar.m_updating = true;
    }
    ~UpdatingScope() { m_bar.m_updating = m_was; }
    UpdatingScope(const UpdatingScope&) = delete;
    UpdatingScope& operator=(const UpdatingScope&) = delete;

private:
    COutputBar& m_bar;
    bool m_was;
};

COutputBar::COutputBar(QWidget* parent)
    : QDockWidget(QStringLiteral("Output"), parent)
    , m_list(new CResultRows(*this))
    , m_model(new CEntryListModel(this))
    , m_findField(new CQuickFindField(this))
{
    setObjectName(QString::number(ID_VIEW_OUTPUT_BAR));
    setAccessibleName(QStringLiteral("Output"));
    m_list->setObjectName(QStringLiteral("101"));
    m_list->setAccessibleName(QString::fromUtf8("搜索结果"));
    m_list->setToolTip(QStringLiteral("right click for context menu"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setModel(m_model);
    m_sorter.SetList(m_model);

    QHeaderView* head = m_list->header();
    head->setStretchLastSection(false);
    head->setSectionsMovable(false);
    head->setSectionsClickable(true);
    head->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int c = 0; c < kEntryColumnCount; ++c)
        head->resizeSection(c, kDefaultColumnWidth);
    m_list->SortOnHeaderClicks(m_sorter);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &COutputBar::OnSelectionChanged);

    m_findField->SetHandlers([this](std::vector<CItem*> rows) { ShowRows(std::move(rows)); },
        [this] {
            UpdatingScope updating(*this);
            m_model->Clear();
            ShowStatus({});
        },
        [this] { ShowStatus(LoadString(IDS_QUICK_FIND_BUSY)); });
    m_findField->SetMoveDown([this] { MoveIntoRows(); });
    auto* client = new QWidget(this);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_findField);
    layout->addWidget(m_list);
    setWidget(client);
    setFocusProxy(m_findField);

    // The menu opens over the rows only (or from the keyboard), not from
    // the column header or the list's frame.
    m_list->setContextMenuPolicy(Qt::PreventContextMenu);
    m_list->header()->setContextMenuPolicy(Qt::PreventContextMenu);
    m_list->viewport()->installEventFilter(this);
    m_list->installEventFilter(this);
}

bool COutputBar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ContextMenu || (watched != m_list && watched != m_list->viewport()))
        return QDockWidget::eventFilter(watched, event);
    const auto* menuEvent = static_cast<QContextMenuEvent*>(event);
    QPoint at;
    if (watched == m_list->viewport()) {
        at = menuEvent->globalPos();
    } else if (menuEvent->reason() == QContextMenuEvent::Keyboard) {
        const QRect row = m_list->visualRect(m_list->currentIndex());
        at = m_list->viewport()->mapToGlobal(row.isValid() ? row.center() : QPoint(0, 0));
    } else {
        return true; // the frame
    }
    if (m_contextMenu)
        m_contextMenu->popup(at);
    return true;
}

COutputBar::~COutputBar()
{
    SetDocument(nullptr);
}

void COutputBar::SetDocument(CTessaryDoc* doc)
{
    if (doc == m_doc)
        return;
    if (m_doc) {
        m_doc->RemoveRemovalListener(this);
        m_doc->RemoveView(this);
    }
    Clear();
    m_doc = doc;
    m_findField->SetDocument(doc);
    if (m_doc) {
        m_doc->AddRemovalListener(this);
        m_doc->AddView(this);
    }
}

void COutputBar::SetViews(CCategoryView* tree, CTessaryView* list)
{
    m_tree = tree;
    m_listView = list;
}

void COutputBar::SetIconSource(std::function<QIcon(int)> icon)
{
    m_model->SetIconSource(std::move(icon));
    m_list->viewport()->update();
}

void COutputBar::LoadColumnWidths(QSettings& profile)
{
    m_list->LoadColumnWidths(profile, kWidthSection, kDefaultColumnWidth);
}

void COutputBar::SaveColumnWidths(QSettings& profile) const
{
    m_list->SaveColumnWidths(profile, kWidthSection);
}

void COutputBar::SetResults(std::vector<CDatum*> results)
{
    m_findField->Reset(); // the rows are the search's now
    std::vector<CItem*> rows(results.begin(), results.end());
    results = {};
    ShowRows(std::move(rows));
}

void COutputBar::ShowRows(std::vector<CItem*> rows)
{
    UpdatingScope updating(*this);
    m_model->SetRows(std::move(rows));
    ResetSortIndicator();
    ShowCount();
}

void COutputBar::SetDuplicates(const DuplicateGroups& found)
{
    m_findField->Reset();
    UpdatingScope updating(*this);
    std::vector<CItem*> rows(found.items.begin(), found.items.end());
    std::vector<std::uint32_t> groups(rows.size());
    for (std::size_t g = 0; g < found.GroupCount(); ++g) {
        const std::size_t end = g + 1 < found.GroupCount() ? found.starts[g + 1] : rows.size();
        std::fill(groups.begin() + found.starts[g], groups.begin() + static_cast<std::ptrdiff_t>(end),
            static_cast<std::uint32_t>(g + 1));
    }
    m_model->SetGroupedRows(std::move(rows), std::move(groups));
    ResetSortIndicator();
    ShowStatus(Filled(IDS_DUPLICATES_STATUS,
        { QString::number(found.GroupCount()), QString::number(found.items.size()),
            QString::fromStdString(FormatByteAmount(found.TotalWasted())) }));
}

void COutputBar::SetUniqueFiles(const UniqueFiles& unique)
{
    m_findField->Reset();
    UpdatingScope updating(*this);
    m_model->SetRows(std::vector<CItem*>(unique.items.begin(), unique.items.end()));
    ResetSortIndicator();
    ShowStatus(Filled(IDS_UNIQUE_STATUS,
        { QString::number(unique.items.size()), QString::fromStdString(FormatByteAmount(unique.bytes)) }));
}

void COutputBar::ResetSortIndicator()
{
    // The sorter keeps its state, so the next click on its last column
    // sorts the other way.
    m_list->header()->setSortIndicator(-1, Qt::AscendingOrder);
}

void COutputBar::Clear()
{
    UpdatingScope updating(*this);
    m_findField->Reset();
    m_model->Clear();
    m_list->header()->setSortIndicator(-1, Qt::AscendingOrder);
}

void COutputBar::RefreshRows()
{
    m_list->viewport()->update();
}

void COutputBar::ShowCount()
{
    QString text = LoadString(IDS_SEARCH_RESULT_COUNT);
    text.replace(QStringLiteral("%d"), QString::number(m_model->RowCount()));
    ShowStatus(text);
}

void COutputBar::ShowStatus(const QString& text)
{
    if (auto* frame = qobject_cast<QMainWindow*>(parentWidget())) {
        if (text.isEmpty())
            frame->statusBar()->clearMessage();
        else
            frame->statusBar()->showMessage(text);
    }
}

void COutputBar::StartQuickFind()
{
    show();
    raise();
    m_findField->setFocus(Qt::ShortcutFocusReason);
    m_findField->selectAll();
}

void COutputBar::MoveIntoRows()
{
    if (RowCount() == 0)
        return;
    m_list->setFocus(Qt::OtherFocusReason);
    if (m_list->currentIndex().isValid())
        return;
    UpdatingScope updating(*this); // going to the rows reveals nothing
    m_list->selectionModel()->setCurrentIndex(
        m_model->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

CEntryListView* COutputBar::ResultList() const
{
    return m_list;
}

int COutputBar::RowCount() const
{
    return m_model->RowCount();
}

CDatum* COutputBar::ItemAt(int row) const
{
    // Every row is a data item: only data items are ever results.
    return static_cast<CDatum*>(m_model->EntryAt(row));
}

int COutputBar::SelectedCount() const
{
    int count = 0;
    // Whole rows are selected, in ranges that do not overlap.
    for (const QItemSelectionRange& r : m_list->selectionModel()->selection())
        if (r.left() == 0)
            count += r.height();
    return count;
}

std::vector<CDatum*> COutputBar::SelectedItems() const
{
    const std::vector<int> rows = m_list->SelectedRows();
    std::vector<CDatum*> items;
    items.reserve(rows.size());
    for (int row : rows)
        items.push_back(ItemAt(row));
    return items;
}

void COutputBar::OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    if (m_updating || SelectedCount() > 1)
        return;
    // The row whose state the user changed: the one just selected; else,
    // when rows were only deselected, the current row, which the click or
    // key acted on (a Ctrl+click that leaves one of two rows selected
    // deselected it; a click on one row of many selected keeps it and
    // deselects the others).
    int row = -1;
    if (!selected.isEmpty())
        row = selected.first().top();
    else if (m_list->currentIndex().isValid())
        row = m_list->currentIndex().row();
    else if (!deselected.isEmpty())
        row = deselected.first().top();
    CDatum* item = ItemAt(row);
    if (!item)
        return;
    Reveal(item);
    if (m_list->KeyboardMove())
        m_list->setFocus(Qt::OtherFocusReason);
}

void COutputBar::Reveal(CDatum* item)
{
    CCategory* category = item->GetParent();
    if (m_tree && category)
        m_tree->RevealEntry(category);
    if (!m_listView)
        return;
    // The category may have been current already, with the list filtered
    // or showing the roots: the item must have a row to be selected.
    if (m_listView->RowOf(item) < 0)
        m_listView->Refill();
    m_listView->SelectEntry(item);
}

void COutputBar::SelectAll()
{
    UpdatingScope updating(*this);
    m_list->selectAll();
}

void COutputBar::RemoveSelectedRows()
{
    UpdatingScope updating(*this);
    std::vector<char> selected(static_cast<std::size_t>(RowCount()), 0);
    for (int row : m_list->SelectedRows())
        selected[static_cast<std::size_t>(row)] = 1;
    m_model->RemoveRowsWhere([&selected](std::size_t row, const CItem*) { return selected[row] != 0; });
}

bool COutputBar::QueryCommand(int id, CommandState& state)
{
    switch (id) {
    case ID_EDIT_SELECT_ALL:
    case ID_QUICK_FIND:
        state.enabled = true;
        return true;
    case ID_RESULT_DELETE:
        state.enabled = m_list->selectionModel()->hasSelection();
        return true;
    default:
        return false;
    }
}

bool COutputBar::ExecuteCommand(int id)
{
    switch (id) {
    case ID_EDIT_SELECT_ALL:
        SelectAll();
        return true;
    case ID_RESULT_DELETE:
        RemoveSelectedRows();
        return true;
    case ID_QUICK_FIND:
        StartQuickFind();
        return true;
    default:
        return false;
    }
}

void COutputBar::OnEntriesRemoving(std::span<const CItem* const> entries)
{
    m_findField->LibraryChanged();
    if (m_model->RowCount() == 0 || entries.empty())
        return;
    // Rows are data items. One goes when it is among the entries or when its
    // category is one of the categories that go, that is one of the given
    // categories or any category below them. Collecting the categories
    // walks only category lists, so the work is linear in the rows plus the
    // entries that go.
    std::unordered_set<const CItem*> data;
    std::unordered_set<const CItem*> categories;
    std::vector<const CCategory*> pending;
    for (const CItem* entry : entries) {
        if (entry->IsDatum())
            data.insert(entry);
        else
            pending.push_back(static_cast<const CCategory*>(entry));
    }
    while (!pending.empty()) {
        const CCategory* category = pending.back();
        pending.pop_back();
        if (!categories.insert(category).second)
            continue;
        for (const CCategory* sub : category->GetSubCategoryList())
            pending.push_back(sub);
    }
    UpdatingScope updating(*this);
    m_model->RemoveRowsWhere([&](std::size_t, const CItem* row) {
        return (!data.empty() && data.count(row) != 0)
            || (!categories.empty() && categories.count(row->GetParent()) != 0);
    });
}

void COutputBar::OnLibraryClearing()
{
    Clear();
}

void COutputBar::OnUpdate(IDocumentView*)
{
    // Rows compute their texts from their items when painted: a repaint
    // shows renamed items and changed contents.
    RefreshRows();
    m_findField->LibraryChanged();
}

} // namespace tessary
