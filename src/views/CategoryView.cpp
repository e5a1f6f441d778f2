#include "CategoryView.h"

#include "CategoryTreeModel.h"
#include "ClickRename.h"
#include "Menus.h"
#include "PaneCommands.h"
#include "ResourceIds.h"
#include "TextCodec.h"
#include "VolumeTexts.h"

#include <QContextMenuEvent>
#include <QStyledItemDelegate>

#include <algorithm>

namespace tessary {
namespace {

// Rows of a selected category show its selected icon (the open folder);
// the row under a dragged category that would take it looks selected.
class CCategoryRowDelegate : public QStyledItemDelegate {
public:
    explicit CCategoryRowDelegate(CCategoryView* view)
        : QStyledItemDelegate(view)
        , m_view(view)
    {
    }

    // `option` completed for the row of `index`, as it is painted.
    void CompleteOption(QStyleOptionViewItem* option, const QModelIndex& index) const
    {
        initStyleOption(option, index);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index == m_view->DropHighlightRow())
            option->state |= QStyle::State_Selected;
        if (option->state & QStyle::State_Selected) {
            const QIcon selected = qvariant_cast<QIcon>(index.data(CCategoryTreeModel::kSelectedIconRole));
            if (!selected.isNull())
                option->icon = selected;
        }
    }

private:
    CCategoryView* m_view;
};

} // namespace

class CCategoryView::QuietScope {
public:
    explicit QuietScope(CCategoryView& view)
        : m_view(view)
        , m_was(view.m_refilling)
    {
        view.m_refilling = true;
    }
    ~QuietScope() { m_view.m_refilling = m_was; }
    QuietScope(const QuietScope&) = delete;
    QuietScope& operator=(const QuietScope&) = delete;

private:
    CCategoryView& m_view;
    bool m_was;
};

CCategoryView::CCategoryView(CTessaryDoc& doc, QWidget* parent)
    : QTreeView(parent)
    , m_doc(doc)
    , m_model(new CCategoryTreeModel(this))
    , m_clickRename(new CClickRename(this,
          [this](const QModelIndex& row, const QPoint& point) { return LabelRect(row).contains(point); }))
{
    setObjectName(QStringLiteral("CategoryView"));
    setAccessibleName(QString::fromUtf8("类别"));
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // F2 belongs to content extraction and a double click opens a row:
    // renaming starts from the commands or a click on the selected row.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setAutoExpandDelay(-1); // a drag never opens or closes rows by itself
    setItemDelegate(new CCategoryRowDelegate(this));

    m_model->SetRenameHandler([this](CCategory& category, const QString& text) { Rename(category, text); });
    m_model->SetVolumeLook([this](const CCategory& category) { return VolumeLookOf(category); });
    setModel(m_model);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this](const QModelIndex& current) { OnCurrentChanged(current); });
    // Expanding creates the rows of sub-categories that have none yet.
    connect(this, &QTreeView::expanded, m_model, &CCategoryTreeModel::CreateMissingChildRows);

    m_doc.AddView(this);
    m_doc.AddRemovalListener(this);
    RefillTree();
}

CCategoryView::~CCategoryView()
{
    m_doc.RemoveRemovalListener(this);
    m_doc.RemoveView(this);
}

CCategoryTreeModel::VolumeLook CCategoryView::VolumeLookOf(const CCategory& category) const
{
    // The imported category the row belongs to: itself, or the first
    // ancestor that is not a folder of a scanned tree.
    const CCategory* top = &category;
    while (top && top->GetClassId() == ClassId::FolderCategory)
        top = top->GetParent();
    if (!top || !HasPath(top->GetClassId()))
        return {};
    const VolumeRecord* record = static_cast<const CPathCategory*>(top)->GetVolume();
    if (!record)
        return {};
    const VolumeMatch match = m_doc.GetVolumes().Match(*record);
    CCategoryTreeModel::VolumeLook look;
    look.away = match.state == VolumeMatch::State::Offline;
    if (top == &category)
        look.toolTip = VolumeToolTip(*record, match);
    return look;
}

void CCategoryView::RefreshVolumeRows()
{
    m_model->RefreshVolumeLooks();
}

void CCategoryView::SetIconSource(std::function<QIcon(int)> icon)
{
    m_model->SetIconSource(std::move(icon));
    viewport()->update();
}

void CCategoryView::OnUpdate(IDocumentView* sender)
{
    if (sender != this)
        RefillTree();
}

void CCategoryView::OnLibraryClearing()
{
    // The rows must not outlive the library while it is replaced.
    QuietScope quiet(*this);
    m_model->Clear();
}

void CCategoryView::OnEntriesRemoving(std::span<const CItem* const> entries)
{
    // The rows themselves go when the caller deletes them, after the
    // categories are unlinked (deleting them now, while the categories are
    // still listed, would have expanded rows make them again).
    for (const CItem* entry : entries) {
        if (entry->IsDatum())
            continue;
        const QModelIndex row = RowOf(static_cast<const CCategory*>(entry));
        if (row.isValid())
            m_model->MarkGone(row);
    }
}

void CCategoryView::RefillTree()
{
    QuietScope quiet(*this);
    const CategoryList& roots = m_doc.GetRootList();
    m_model->Reset(std::vector<CCategory*>(roots.begin(), roots.end()));
}

void CCategoryView::OnCurrentChanged(const QModelIndex& current)
{
    if (m_refilling)
        return;
    // The caret row is the selected row.
    if (current.isValid() && !selectionModel()->isSelected(current)) {
        QuietScope quiet(*this);
        selectionModel()->select(current, QItemSelectionModel::ClearAndSelect);
    }
    m_doc.SetCurrentCategory(EntryOf(current));
    m_doc.UpdateAllViews(this);
}

QItemSelectionModel::SelectionFlags CCategoryView::selectionCommand(
    const QModelIndex& index, const QEvent* event) const
{
    // A Ctrl+click on the selected row would leave a caret without a
    // selection; the tree always has its caret row selected.
    const QItemSelectionModel::SelectionFlags flags = QTreeView::selectionCommand(index, event);
    if (flags & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
        return QItemSelectionModel::NoUpdate;
    return flags;
}

QModelIndex CCategoryView::InsertEntryRow(CCategory* entry, const QModelIndex& parentRow)
{
    return m_model->AppendRow(entry, parentRow);
}

void CCategoryView::RefreshEntryRow(const CCategory* entry)
{
    m_model->RefreshRow(RowOf(entry));
}

void CCategoryView::RemoveRowMovingSelection(const QModelIndex& row)
{
    const QModelIndex current = currentIndex();
    if (current.isValid() && (current == row || CCategoryTreeModel::IsBelow(current, row))) {
        // The next row, else the previous one, else the parent; rows whose
        // categories are going as well do not count.
        const int siblings = m_model->rowCount(row.parent());
        QModelIndex next;
        for (int r = row.row() + 1; r < siblings && !next.isValid(); ++r)
            if (EntryOf(row.sibling(r, 0)))
                next = row.sibling(r, 0);
        for (int r = row.row() - 1; r >= 0 && !next.isValid(); --r)
            if (EntryOf(row.sibling(r, 0)))
                next = row.sibling(r, 0);
        for (QModelIndex up = row.parent(); up.isValid() && !next.isValid(); up = up.parent())
            if (EntryOf(up))
                next = up;
        if (next.isValid()) {
            setCurrentIndex(next); // makes it the current category
        } else {
            QuietScope quiet(*this);
            selectionModel()->clear();
        }
    }
    m_model->RemoveRow(row);
}

void CCategoryView::RemoveEntryRow(const CCategory* entry)
{
    const QModelIndex row = RowOf(entry);
    if (row.isValid())
        RemoveRowMovingSelection(row);
    if (m_doc.GetRootCount() == 0) {
        m_doc.SetCurrentCategory(nullptr);
        m_doc.UpdateAllViews(this);
    }
}

void CCategoryView::DeleteEntryRow(const CCategory* entry)
{
    const QModelIndex row = RowOf(entry);
    if (row.isValid())
        RemoveRowMovingSelection(row);
}

int CCategoryView::DeleteGoneRows()
{
    int deleted = 0;
    for (const CCategory* key : m_model->TakeGoneKeys()) {
        const QModelIndex row = RowOf(key);
        if (row.isValid() && m_model->IsGone(row)) {
            RemoveRowMovingSelection(row);
            ++deleted;
        }
    }
    return deleted;
}

void CCategoryView::ExpandRow(const QModelIndex& row)
{
    if (!row.isValid())
        return;
    m_model->CreateMissingChildRows(row);
    expand(row);
}

void CCategoryView::RevealEntry(CCategory* entry)
{
    if (!entry)
        return;
    // The ancestors without a row, nearest first; the walk ends at the first
    // that has one (a root always does).
    std::vector<CCategory*> missing;
    CCategory* known = entry;
    while (known && !RowOf(known).isValid()) {
        missing.push_back(known);
        known = known->GetParent();
    }
    if (!known)
        return;
    // Open the rows on the way down; each opening makes the next row.
    for (QModelIndex up = RowOf(known).parent(); up.isValid(); up = up.parent())
        expand(up);
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        ExpandRow(RowOf((*it)->GetParent()));
    const QModelIndex row = RowOf(entry);
    if (!row.isValid())
        return;
    ExpandRow(row);
    setCurrentIndex(row);
    scrollTo(row);
}

void CCategoryView::SwapEntryRows(CCategory* a, CCategory* b)
{
    // The rows move with everything below them: each keeps its expanded
    // state, its child rows and, if it has it, the caret.
    m_model->SwapSiblingRows(RowOf(a), RowOf(b));
}

QModelIndex CCategoryView::RowOf(const CCategory* entry) const
{
    return entry ? m_model->IndexOf(entry) : QModelIndex();
}

CCategory* CCategoryView::EntryOf(const QModelIndex& row) const
{
    return m_model->EntryAt(row);
}

QModelIndex CCategoryView::SelectedRow() const
{
    return currentIndex();
}

CCategory* CCategoryView::SelectedCategory() const
{
    return EntryOf(currentIndex());
}

bool CCategoryView::SelectedRowHasParent() const
{
    return currentIndex().parent().isValid();
}

CCategory* CCategoryView::SelectedParentCategory() const
{
    return EntryOf(currentIndex().parent());
}

bool CCategoryView::IsRowExpanded(const CCategory* entry) const
{
    const QModelIndex row = RowOf(entry);
    return row.isValid() && isExpanded(row);
}

void CCategoryView::BeginRename(const QModelIndex& row)
{
    if (!row.isValid())
        return;
    scrollTo(row);
    edit(row);
}

QRect CCategoryView::LabelRect(const QModelIndex& row) const
{
    return PartRect(row, QStyle::SE_ItemViewItemText);
}

QRect CCategoryView::IconRect(const QModelIndex& row) const
{
    return PartRect(row, QStyle::SE_ItemViewItemDecoration);
}

QRect CCategoryView::PartRect(const QModelIndex& row, QStyle::SubElement part) const
{
    if (!row.isValid())
        return {};
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(row); // the indentation and expand button lie left of it
    static_cast<const CCategoryRowDelegate*>(itemDelegate())->CompleteOption(&option, row);
    QRect r = style()->subElementRect(part, &option, this);
    if (part == QStyle::SE_ItemViewItemText) {
        // The text's own width: the blank space right of a short name is
        // not the label.
        const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, this) + 1;
        r.setWidth(std::min(r.width(), option.fontMetrics.horizontalAdvance(option.text) + 2 * margin));
    }
    return r;
}

void CCategoryView::GiveFocus()
{
    setFocus(Qt::OtherFocusReason);
}

void CCategoryView::Rename(CCategory& category, const QString& text)
{
    if (m_commands)
        m_commands->Rename(category, Utf8ToGb(text.toStdString()));
}

bool CCategoryView::QueryCommand(int id, CommandState& state)
{
    switch (id) {
    case ID_CATEGORY_RENAME:
    case ID_ITEM_DELETE:
    case ID_ITEM_EDIT:
        state.enabled = SelectedRow().isValid();
        return true;
    default:
        return false;
    }
}

bool CCategoryView::ExecuteCommand(int id)
{
    switch (id) {
    case ID_CATEGORY_RENAME:
        BeginRename(SelectedRow());
        return true;
    case ID_ITEM_DELETE:
        if (m_commands)
            m_commands->DeleteSelectedCategory();
        return true;
    case ID_ITEM_EDIT:
        if (m_commands)
            m_commands->EditSelectedCategory();
        return true;
    default:
        return false;
    }
}

void CCategoryView::contextMenuEvent(QContextMenuEvent* event)
{
    // Only a point on a row's icon or label picks the row; the indentation,
    // the expand button and the blank space beside a row keep the selection.
    if (event->reason() == QContextMenuEvent::Mouse) {
        const QModelIndex at = indexAt(event->pos());
        if (at.isValid() && at != currentIndex()
            && (LabelRect(at).contains(event->pos()) || IconRect(at).contains(event->pos())))
            setCurrentIndex(at);
    }
    if (m_contextMenu)
        m_contextMenu(kCategoryPopupIndex, event->globalPos());
    event->accept();
}

void CCategoryView::focusInEvent(QFocusEvent* event)
{
    // Qt puts the caret on the first row when a view without one gets the
    // focus; here that would choose a current category the user never
    // picked (and hide the root list that a new or opened library shows).
    const bool hadCaret = currentIndex().isValid();
    QuietScope quiet(*this);
    QTreeView::focusInEvent(event);
    if (!hadCaret && currentIndex().isValid())
        selectionModel()->clearCurrentIndex();
}

void CCategoryView::mousePressEvent(QMouseEvent* event)
{
    m_clickRename->Pressed(event);
    // A right button press is only hit-tested (by the context menu that
    // follows); it neither selects nor moves the caret.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

void CCategoryView::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeView::mouseReleaseEvent(event);
    m_clickRename->Released(event);
}

void CCategoryView::mouseDoubleClickEvent(QMouseEvent* event)
{
    m_clickRename->Cancel();
    QTreeView::mouseDoubleClickEvent(event);
}

} // namespace tessary
