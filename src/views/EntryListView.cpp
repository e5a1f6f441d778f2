#include "EntryListView.h"

#include "EntryListAccessible.h"
#include "ItemRowPainter.h"

#include <QAccessible>
#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSettings>

#include <algorithm>
#include <climits>
#include <vector>

namespace tessary {
namespace {

int ClampToInt(qint64 value)
{
    return static_cast<int>(std::clamp<qint64>(value, INT_MIN, INT_MAX));
}

// What one click on a horizontal scroll arrow moves, in pixels.
constexpr int kHorizontalStep = 20;

} // namespace

CEntryListView::CEntryListView(QWidget* parent)
    : QAbstractItemView(parent)
    , m_header(new QHeaderView(Qt::Horizontal, this))
{
    InstallEntryListAccessibility();
    setSelectionMode(ExtendedSelection);
    setSelectionBehavior(SelectRows);
    setHorizontalScrollMode(ScrollPerPixel);
    setDragEnabled(false);
    viewport()->setAttribute(Qt::WA_Hover);

    m_header->setSectionsClickable(true);
    m_header->setSectionsMovable(false);
    m_header->setStretchLastSection(false);
    m_header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_header->setFocusPolicy(Qt::NoFocus);
    connect(m_header, &QHeaderView::sectionResized, this, [this] {
        updateGeometries();
        viewport()->update();
    });
    connect(m_header, &QHeaderView::sectionMoved, viewport(), qOverload<>(&QWidget::update));
    connect(m_header, &QHeaderView::sectionCountChanged, this, &CEntryListView::updateGeometries);
    connect(m_header, &QHeaderView::geometriesChanged, this, &CEntryListView::updateGeometries);
    connect(m_header, &QHeaderView::sectionHandleDoubleClicked, this,
        [this](int column) { m_header->resizeSection(column, sizeHintForColumn(column)); });
    UpdateRowHeight();
}

CEntryListView::~CEntryListView() = default;

void CEntryListView::SetRowPainter(CItemRowPainter* painter)
{
    m_painter = painter;
    if (painter)
        setItemDelegate(painter);
    viewport()->update();
}

void CEntryListView::setModel(QAbstractItemModel* model)
{
    if (model == this->model())
        return;
    disconnect(m_rowsRemoved);
    QAbstractItemView::setModel(model);
    m_header->setModel(model);
    // Rows going change the scroll range; the base class only looks after
    // its editors then.
    if (model)
        m_rowsRemoved = connect(
            model, &QAbstractItemModel::rowsRemoved, this, [this] { scheduleDelayedItemsLayout(); });
    m_hoverRow = -1;
}

void CEntryListView::setHeaderHidden(bool hide)
{
    m_header->setHidden(hide);
    updateGeometries();
}

int CEntryListView::RowCount() const
{
    return model() ? model()->rowCount(rootIndex()) : 0;
}

int CEntryListView::ColumnCount() const
{
    return model() ? model()->columnCount(rootIndex()) : 0;
}

int CEntryListView::RowAtY(int y) const
{
    const qint64 pos = qint64(y) + verticalOffset();
    if (pos < 0)
        return -1;
    const qint64 row = pos / m_rowHeight;
    return row < RowCount() ? static_cast<int>(row) : -1;
}

QRect CEntryListView::RowRect(int row) const
{
    const int top = ClampToInt(qint64(row) * m_rowHeight - verticalOffset());
    return QRect(0, top, viewport()->width(), m_rowHeight);
}

void CEntryListView::UpdateRow(int row)
{
    if (row >= 0 && row < RowCount())
        viewport()->update(RowRect(row));
}

int CEntryListView::FirstVisibleRow() const
{
    return RowAtY(0);
}

int CEntryListView::RowsPerPage() const
{
    return std::max(1, viewport()->height() / m_rowHeight);
}

void CEntryListView::UpdateRowHeight()
{
    // One height for every row, whatever it holds: what a row with an icon
    // and one line of text needs in this font and style.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.features = QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
    option.text = QStringLiteral("Xy");
    const QSize size = style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this);
    m_rowHeight = std::max({ 1, size.height(), option.fontMetrics.height() });
}

QRect CEntryListView::visualRect(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != model() || index.parent() != rootIndex()
        || index.row() >= RowCount() || m_header->isSectionHidden(index.column()))
        return QRect();
    const QRect row = RowRect(index.row());
    return QRect(m_header->sectionViewportPosition(index.column()), row.top(),
        m_header->sectionSize(index.column()), m_rowHeight);
}

QModelIndex CEntryListView::indexAt(const QPoint& point) const
{
    const int row = RowAtY(point.y());
    // The header counts its right edge as part of the last section.
    const bool inColumns = point.x() >= 0 && point.x() + m_header->offset() < m_header->length();
    const int column = inColumns ? m_header->logicalIndexAt(point.x()) : -1;
    if (row < 0 || column < 0)
        return QModelIndex();
    return model()->index(row, column, rootIndex());
}

bool CEntryListView::isIndexHidden(const QModelIndex& index) const
{
    return m_header->isSectionHidden(index.column());
}

int CEntryListView::horizontalOffset() const
{
    return m_header->offset();
}

int CEntryListView::verticalOffset() const
{
    const int value = verticalScrollBar()->value();
    return verticalScrollMode() == ScrollPerItem ? ClampToInt(qint64(value) * m_rowHeight) : value;
}

void CEntryListView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    if (!index.isValid() || index.model() != model() || index.row() >= RowCount())
        return;
    // Rows may have come or gone since the scroll range was last set.
    executeDelayedItemsLayout();

    const int row = index.row();
    const int height = viewport()->height();
    QScrollBar* bar = verticalScrollBar();
    if (verticalScrollMode() == ScrollPerItem) {
        const int page = RowsPerPage();
        int top = bar->value();
        switch (hint) {
        case EnsureVisible:
            if (row < top)
                top = row;
            else if (row >= top + page)
                top = row - page + 1;
            break;
        case PositionAtTop:
            top = row;
            break;
        case PositionAtBottom:
            top = row - page + 1;
            break;
        case PositionAtCenter:
            top = row - (page - 1) / 2;
            break;
        }
        bar->setValue(top);
    } else {
        const qint64 y = qint64(row) * m_rowHeight;
        qint64 offset = bar->value();
        switch (hint) {
        case EnsureVisible:
            if (y < offset)
                offset = y;
            else if (y + m_rowHeight > offset + height)
                offset = y + m_rowHeight - height;
            break;
        case PositionAtTop:
            offset = y;
            break;
        case PositionAtBottom:
            offset = y + m_rowHeight - height;
            break;
        case PositionAtCenter:
            offset = y + m_rowHeight / 2 - height / 2;
            break;
        }
        bar->setValue(ClampToInt(offset));
    }

    // Horizontally the cell comes into view, its left edge first.
    const int width = viewport()->width();
    const int left = m_header->sectionPosition(index.column());
    const int cell = m_header->sectionSize(index.column());
    const int scrolled = m_header->offset();
    if (hint == PositionAtCenter)
        horizontalScrollBar()->setValue(left - (width - cell) / 2);
    else if (left < scrolled || cell > width)
        horizontalScrollBar()->setValue(left);
    else if (left + cell > scrolled + width)
        horizontalScrollBar()->setValue(left + cell - width);
}

QModelIndex CEntryListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers)
{
    const int rows = RowCount();
    if (rows == 0 || ColumnCount() == 0)
        return QModelIndex();
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return model()->index(0, 0, rootIndex());

    qint64 row = current.row();
    switch (cursorAction) {
    case MoveUp:
    case MovePrevious:
        --row;
        break;
    case MoveDown:
    case MoveNext:
        ++row;
        break;
    case MovePageUp:
        row -= RowsPerPage();
        break;
    case MovePageDown:
        row += RowsPerPage();
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        row = rows - 1;
        break;
    case MoveLeft:
        // Whole rows are the items: left and right scroll the columns.
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        return current;
    case MoveRight:
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        return current;
    }
    row = std::clamp<qint64>(row, 0, rows - 1);
    return model()->index(static_cast<int>(row), current.column(), rootIndex());
}

void CEntryListView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command)
{
    QItemSelectionModel* selection = selectionModel();
    const int rows = RowCount();
    const int columns = ColumnCount();
    if (!selection || rows == 0 || columns == 0)
        return;
    const QRect r = rect.normalized();
    // The rows the rectangle touches, clamped to the list: a drag that runs
    // past the last row selects up to the last row.
    const qint64 top = qint64(r.top()) + verticalOffset();
    const qint64 bottom = qint64(r.bottom()) + verticalOffset();
    const qint64 end = qint64(rows) * m_rowHeight;
    const int length = m_header->length() - m_header->offset();
    if (bottom < 0 || top >= end || r.right() < -m_header->offset() || r.left() >= length) {
        if (command & QItemSelectionModel::Clear)
            selection->clear();
        return;
    }
    const int firstRow = static_cast<int>(std::max<qint64>(0, top) / m_rowHeight);
    const int lastRow = static_cast<int>(std::min(bottom, end - 1) / m_rowHeight);
    int firstColumn = m_header->logicalIndexAt(std::max(r.left(), 0));
    int lastColumn = m_header->logicalIndexAt(std::min(r.right(), length - 1));
    if (firstColumn < 0)
        firstColumn = 0;
    if (lastColumn < 0)
        lastColumn = columns - 1;
    if (firstColumn > lastColumn)
        std::swap(firstColumn, lastColumn);
    const QItemSelection chosen(
        model()->index(firstRow, firstColumn, rootIndex()), model()->index(lastRow, lastColumn, rootIndex()));
    selection->select(chosen, command);
}

QRegion CEntryListView::visualRegionForSelection(const QItemSelection& selection) const
{
    const int first = FirstVisibleRow();
    if (first < 0)
        return QRegion();
    const int last = static_cast<int>(std::min<qint64>(
        RowCount() - 1, (qint64(viewport()->height()) - 1 + verticalOffset()) / m_rowHeight));
    // One rectangle around the visible selected rows, whole width: a
    // scattered selection of many ranges costs one pass and no region
    // arithmetic.
    int top = INT_MAX, bottom = -1;
    for (const QItemSelectionRange& range : selection) {
        if (range.model() != model() || range.parent() != rootIndex())
            continue;
        const int a = std::max(range.top(), first);
        const int b = std::min(range.bottom(), last);
        if (a > b)
            continue;
        top = std::min(top, a);
        bottom = std::max(bottom, b);
    }
    if (bottom < 0)
        return QRegion();
    return QRegion(RowRect(top).united(RowRect(bottom)));
}

QSize CEntryListView::viewportSizeHint() const
{
    return QSize(m_header->length(), ClampToInt(qint64(RowCount()) * m_rowHeight));
}

int CEntryListView::sizeHintForRow(int) const
{
    return m_rowHeight;
}

int CEntryListView::sizeHintForColumn(int column) const
{
    // The widest of the rows on screen: asking every row of a big list
    // would read every entry.
    const int first = FirstVisibleRow();
    if (first < 0 || column < 0 || column >= ColumnCount())
        return m_header->sectionSizeHint(column);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const int last = std::min(RowCount() - 1, first + RowsPerPage());
    int width = m_header->sectionSizeHint(column);
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = model()->index(row, column, rootIndex());
        width = std::max(width, itemDelegateForIndex(index)->sizeHint(option, index).width());
    }
    return width;
}

void CEntryListView::doItemsLayout()
{
    UpdateRowHeight();
    QAbstractItemView::doItemsLayout();
}

void CEntryListView::reset()
{
    m_hoverRow = -1;
    QAbstractItemView::reset();
}

void CEntryListView::rowsInserted(const QModelIndex& parent, int start, int end)
{
    QAbstractItemView::rowsInserted(parent, start, end);
    scheduleDelayedItemsLayout();
}

void CEntryListView::updateGeometries()
{
    if (m_inGeometries)
        return;
    m_inGeometries = true;
    int height = 0;
    if (!m_header->isHidden())
        height = std::min(
            std::max(m_header->minimumHeight(), m_header->sizeHint().height()), m_header->maximumHeight());
    setViewportMargins(0, height, 0, 0);
    const QRect area = viewport()->geometry();
    m_header->setGeometry(area.left(), area.top() - height, area.width(), height);
    QMetaObject::invokeMethod(m_header, "updateGeometries");
    UpdateScrollBars();
    m_inGeometries = false;
    QAbstractItemView::updateGeometries();
}

void CEntryListView::UpdateScrollBars()
{
    const QSize area = viewport()->size();
    const int rows = RowCount();
    QScrollBar* vertical = verticalScrollBar();
    if (verticalScrollMode() == ScrollPerItem) {
        const int page = RowsPerPage();
        vertical->setRange(0, std::max(0, rows - page));
        vertical->setPageStep(page);
        vertical->setSingleStep(1);
    } else {
        const qint64 length = qint64(rows) * m_rowHeight;
        vertical->setRange(0, ClampToInt(std::max<qint64>(0, length - area.height())));
        vertical->setPageStep(area.height());
        vertical->setSingleStep(m_rowHeight);
    }
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setRange(0, std::max(0, m_header->length() - area.width()));
    horizontal->setPageStep(area.width());
    horizontal->setSingleStep(kHorizontalStep);
    m_header->setOffset(horizontal->value());
}

void CEntryListView::scrollContentsBy(int dx, int dy)
{
    m_header->setOffset(horizontalScrollBar()->value());
    if (verticalScrollMode() == ScrollPerItem)
        dy = ClampToInt(qint64(dy) * m_rowHeight);
    viewport()->scroll(dx, dy);
}

bool CEntryListView::viewportEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove: {
        const int row = RowAtY(static_cast<QHoverEvent*>(event)->position().toPoint().y());
        if (row != m_hoverRow) {
            UpdateRow(m_hoverRow);
            m_hoverRow = row;
            UpdateRow(row);
        }
        break;
    }
    case QEvent::HoverLeave:
    case QEvent::Leave:
        UpdateRow(m_hoverRow);
        m_hoverRow = -1;
        break;
    default:
        break;
    }
    return QAbstractItemView::viewportEvent(event);
}

void CEntryListView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        UpdateRowHeight();
        updateGeometries();
        viewport()->update();
    }
    QAbstractItemView::changeEvent(event);
}

void CEntryListView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QAbstractItemView::currentChanged(current, previous);
    // The focus frame goes round the whole row.
    if (previous.isValid())
        UpdateRow(previous.row());
    if (current.isValid())
        UpdateRow(current.row());
    if (QAccessible::isActive() && current.isValid() && hasFocus()) {
        QAccessibleEvent event(this, QAccessible::Focus);
        event.setChild(AccessibleChild(current));
        QAccessible::updateAccessibility(&event);
    }
}

void CEntryListView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QAbstractItemView::selectionChanged(selected, deselected);
    if (!QAccessible::isActive())
        return;
    // One event per change, naming its first cell: listing every cell of a
    // big selection would cost more than the selection itself.
    if (!selected.isEmpty()) {
        QAccessibleEvent event(this, QAccessible::SelectionAdd);
        event.setChild(AccessibleChild(selected.first().topLeft()));
        QAccessible::updateAccessibility(&event);
    }
    if (!deselected.isEmpty()) {
        QAccessibleEvent event(this, QAccessible::SelectionRemove);
        event.setChild(AccessibleChild(deselected.first().topLeft()));
        QAccessible::updateAccessibility(&event);
    }
}

int CEntryListView::AccessibleChild(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != model())
        return -1;
    return EntryListChildIndex(index.row(), index.column(), ColumnCount());
}

void CEntryListView::paintEvent(QPaintEvent* event)
{
    executeDelayedItemsLayout();
    const int rows = RowCount();
    if (rows == 0 || ColumnCount() == 0)
        return;
    const QRect area = event->rect();
    const qint64 offset = verticalOffset();
    const int first = static_cast<int>(std::max<qint64>(0, (area.top() + offset) / m_rowHeight));
    const int last = static_cast<int>(std::min<qint64>(rows - 1, (area.bottom() + offset) / m_rowHeight));
    if (first > last)
        return;

    // Which of these rows are selected, from one pass over the ranges.
    std::vector<char> selected(static_cast<std::size_t>(last - first + 1), 0);
    if (QItemSelectionModel* model = selectionModel()) {
        for (const QItemSelectionRange& range : model->selection()) {
            if (range.parent() != rootIndex())
                continue;
            for (int row = std::max(range.top(), first); row <= std::min(range.bottom(), last); ++row)
                selected[static_cast<std::size_t>(row - first)] = 1;
        }
    }

    QPainter painter(viewport());
    QStyleOptionViewItem base;
    initViewItemOption(&base);
    const QModelIndex current = currentIndex();
    const int focusRow = hasFocus() && current.isValid() ? current.row() : -1;
    const bool hover = viewport()->underMouse();
    for (int row = first; row <= last; ++row) {
        QStyleOptionViewItem option = base;
        option.rect = RowRect(row);
        option.state.setFlag(QStyle::State_Selected, selected[static_cast<std::size_t>(row - first)] != 0);
        option.state.setFlag(QStyle::State_HasFocus, row == focusRow);
        option.state.setFlag(QStyle::State_MouseOver, hover && row == m_hoverRow);
        if (alternatingRowColors() && row % 2 == 1)
            option.features |= QStyleOptionViewItem::Alternate;
        drawRow(&painter, option, row);
    }
}

void CEntryListView::drawRow(QPainter* painter, const QStyleOptionViewItem& option, int row) const
{
    const int columns = ColumnCount();
    if (m_painter) {
        CItemRowPainter::RowState state;
        state.bounds = option.rect;
        for (int column = 0; column < columns; ++column)
            state.cells.append(QRect(m_header->sectionViewportPosition(column), option.rect.top(),
                m_header->isSectionHidden(column) ? 0 : m_header->sectionSize(column), option.rect.height()));
        state.highlighted = option.state & QStyle::State_Selected;
        state.focusFrame = option.state & QStyle::State_HasFocus;
        m_painter->PaintRow(painter, option, model()->index(row, 0, rootIndex()), state);
        return;
    }

    // Plain painting: the delegate draws each cell, the style the focus
    // frame around the row.
    const bool wholeRows = selectionBehavior() == SelectRows;
    int left = INT_MAX, right = INT_MIN;
    for (int column = 0; column < columns; ++column) {
        if (m_header->isSectionHidden(column))
            continue;
        QStyleOptionViewItem cell = option;
        cell.rect = QRect(m_header->sectionViewportPosition(column), option.rect.top(),
            m_header->sectionSize(column), option.rect.height());
        if (cell.rect.right() < 0 || cell.rect.left() >= viewport()->width())
            continue;
        const QModelIndex index = model()->index(row, column, rootIndex());
        if (!wholeRows) {
            cell.state.setFlag(QStyle::State_Selected, selectionModel()->isSelected(index));
            cell.state.setFlag(QStyle::State_HasFocus, index == currentIndex() && hasFocus());
        } else {
            cell.state &= ~QStyle::State_HasFocus;
        }
        itemDelegateForIndex(index)->paint(painter, cell, index);
        left = std::min(left, cell.rect.left());
        right = std::max(right, cell.rect.right());
    }
    if (wholeRows && (option.state & QStyle::State_HasFocus) && left <= right) {
        QStyleOptionFocusRect frame;
        frame.QStyleOption::operator=(option);
        frame.rect = QRect(QPoint(left, option.rect.top()), QPoint(right, option.rect.bottom()));
        frame.backgroundColor = option.palette.color(
            option.state & QStyle::State_Selected ? QPalette::Highlight : QPalette::Base);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, painter, this);
    }
}

void CEntryListView::LoadColumnWidths(QSettings& profile, const QString& section, int defaultWidth)
{
    profile.beginGroup(section);
    for (int c = 0; c < m_header->count(); ++c) {
        bool ok = false;
        int width = profile.value(QStringLiteral("Column%1").arg(c), defaultWidth).toInt(&ok);
        if (!ok || width < m_header->minimumSectionSize() || width > 10000)
            width = defaultWidth;
        m_header->resizeSection(c, width);
    }
    profile.endGroup();
}

void CEntryListView::SaveColumnWidths(QSettings& profile, const QString& section) const
{
    profile.beginGroup(section);
    for (int c = 0; c < m_header->count(); ++c)
        profile.setValue(QStringLiteral("Column%1").arg(c), m_header->sectionSize(c));
    profile.endGroup();
}

void CEntryListView::SortOnHeaderClicks(CColumnSorter& sorter)
{
    m_header->setSortIndicatorShown(true);
    m_header->setSortIndicator(-1, Qt::AscendingOrder);
    connect(m_header, &QHeaderView::sectionClicked, this, [this, &sorter](int column) {
        sorter.SortByColumn(column);
        if (sorter.LastColumn() == column)
            m_header->setSortIndicator(column, sorter.Ascending() ? Qt::AscendingOrder : Qt::DescendingOrder);
    });
}

std::vector<int> CEntryListView::SelectedRows() const
{
    std::vector<int> rows;
    for (const QItemSelectionRange& r : selectionModel()->selection()) {
        if (r.left() > 0 || r.right() < 0)
            continue;
        for (int row = r.top(); row <= r.bottom(); ++row)
            rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

} // namespace tessary
