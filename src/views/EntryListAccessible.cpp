#include "EntryListAccessible.h"

#include "EntryListView.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QHeaderView>
#include <QPointer>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace tessary {
namespace {

// Most cells selectedCells() lists: a screen reader walks a big selection by
// its rows (selectedRows); listing each cell of a million selected rows would
// make and keep a million objects.
constexpr int kMaxListedCells = 4096;

// The object name of the cell registry; the registry has no meta-object of
// its own, so it is found by name.
const QString kCellsName = QStringLiteral("EntryListAccessibleCells");

QAccessibleInterface* TableOf(CEntryListView* view)
{
    return view ? QAccessible::queryAccessibleInterface(view) : nullptr;
}

// The interfaces made for the cells and header cells of one view, by child
// number. The view's interface and its viewport's share it (it hangs on the
// view), and it is emptied whenever the rows change. QAccessible owns the
// interfaces; this only remembers their ids.
class CAccessibleCells : public QObject {
public:
    explicit CAccessibleCells(QObject* view)
        : QObject(view)
    {
        setObjectName(kCellsName);
    }
    ~CAccessibleCells() override { Clear(); }

    static CAccessibleCells& Of(CEntryListView* view)
    {
        auto* cells = view->findChild<CAccessibleCells*>(kCellsName, Qt::FindDirectChildrenOnly);
        return cells ? *cells : *new CAccessibleCells(view);
    }

    QAccessibleInterface* Get(int child, const std::function<QAccessibleInterface*()>& make)
    {
        const auto it = m_ids.constFind(child);
        if (it != m_ids.constEnd())
            if (QAccessibleInterface* made = QAccessible::accessibleInterface(*it))
                return made;
        QAccessibleInterface* made = make();
        m_ids.insert(child, QAccessible::registerAccessibleInterface(made));
        return made;
    }

    void Clear()
    {
        const QHash<int, QAccessible::Id> ids = std::exchange(m_ids, {});
        for (QAccessible::Id id : ids)
            QAccessible::deleteAccessibleInterface(id);
    }

private:
    QHash<int, QAccessible::Id> m_ids;
};

// Global rectangle of a rectangle in `widget`.
QRect ToGlobal(const QWidget* widget, const QRect& rect)
{
    return rect.isValid() ? QRect(widget->mapToGlobal(rect.topLeft()), rect.size()) : QRect();
}

// What the header cells and the cells share: no object of their own, no
// children, the table as parent.
class CEntryLeafAccessible : public QAccessibleInterface {
public:
    explicit CEntryLeafAccessible(CEntryListView* view)
        : m_view(view)
    {
    }

    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return TableOf(m_view); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

protected:
    QPointer<CEntryListView> m_view;
};

// The title of one column, as the header shows it.
class CEntryHeaderAccessible : public CEntryLeafAccessible {
public:
    CEntryHeaderAccessible(CEntryListView* view, int column)
        : CEntryLeafAccessible(view)
        , m_column(column)
    {
    }

    int Column() const { return m_column; }
    bool isValid() const override
    {
        return m_view && m_view->model() && m_column < m_view->model()->columnCount(m_view->rootIndex());
    }
    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name || !isValid())
            return QString();
        return m_view->model()->headerData(m_column, Qt::Horizontal).toString();
    }
    void setText(QAccessible::Text, const QString&) override { }
    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        const QHeaderView* header = m_view->header();
        return ToGlobal(header,
            QRect(header->sectionViewportPosition(m_column), 0, header->sectionSize(m_column),
                header->height()));
    }
    QAccessible::Role role() const override { return QAccessible::ColumnHeader; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid() || m_view->header()->isHidden() || m_view->header()->isSectionHidden(m_column))
            s.invisible = true;
        return s;
    }

private:
    int m_column;
};

// One cell: what row `row` shows in column `column`.
class CEntryCellAccessible : public CEntryLeafAccessible, public QAccessibleTableCellInterface {
public:
    CEntryCellAccessible(CEntryListView* view, int row, int column)
        : CEntryLeafAccessible(view)
        , m_row(row)
        , m_column(column)
    {
    }

    bool isValid() const override
    {
        const QAbstractItemModel* model = m_view ? m_view->model() : nullptr;
        return model && m_row < model->rowCount(m_view->rootIndex())
            && m_column < model->columnCount(m_view->rootIndex());
    }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return QString();
        const QModelIndex at = Index();
        switch (t) {
        case QAccessible::Name: {
            const QVariant name = at.data(Qt::AccessibleTextRole);
            return name.isValid() ? name.toString() : at.data(Qt::DisplayRole).toString();
        }
        case QAccessible::Description:
            return at.data(Qt::AccessibleDescriptionRole).toString();
        default:
            return QString();
        }
    }
    // Editing the name goes through the model, as an edit in place does.
    void setText(QAccessible::Text t, const QString& text) override
    {
        if (t == QAccessible::Name && isValid() && (Index().flags() & Qt::ItemIsEditable))
            m_view->model()->setData(Index(), text);
    }
    QRect rect() const override
    {
        return isValid() ? ToGlobal(m_view->viewport(), m_view->visualRect(Index())) : QRect();
    }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        const QModelIndex at = Index();
        const QRect shown = m_view->visualRect(at);
        if (!shown.intersects(m_view->viewport()->rect()))
            s.offscreen = true;
        if (m_view->selectionMode() != QAbstractItemView::NoSelection) {
            s.selectable = true;
            s.selected = isSelected();
            if (m_view->selectionMode() == QAbstractItemView::ExtendedSelection)
                s.extSelectable = true;
            else if (m_view->selectionMode() == QAbstractItemView::MultiSelection)
                s.multiSelectable = true;
        }
        s.focusable = true;
        const QModelIndex current = m_view->currentIndex();
        if (m_view->hasFocus() && current.row() == m_row
            && (current.column() == m_column || m_view->selectionBehavior() == QAbstractItemView::SelectRows))
            s.focused = true;
        if (at.flags() & Qt::ItemIsEditable)
            s.editable = true;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface*>(this);
        return nullptr;
    }

    bool isSelected() const override
    {
        return isValid() && m_view->selectionModel() && m_view->selectionModel()->isSelected(Index());
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override
    {
        QAccessibleInterface* table = TableOf(m_view);
        QAccessibleInterface* head = table ? table->child(m_column) : nullptr;
        return head ? QList<QAccessibleInterface*> { head } : QList<QAccessibleInterface*> {};
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_column; }
    int rowIndex() const override { return m_row; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return TableOf(m_view); }

private:
    QModelIndex Index() const { return m_view->model()->index(m_row, m_column, m_view->rootIndex()); }

    int m_row;
    int m_column;
};

// The list as a table. Rows and cells are worked out from the model and the
// selection's ranges whenever asked; nothing is kept per row.
class CEntryListAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit CEntryListAccessible(CEntryListView* view)
        : QAccessibleWidget(view, QAccessible::Table)
    {
    }

    CEntryListView* View() const { return static_cast<CEntryListView*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        const auto mode = View()->selectionMode();
        s.multiSelectable
            = mode == QAbstractItemView::MultiSelection || mode == QAbstractItemView::ExtendedSelection;
        s.extSelectable = mode == QAbstractItemView::ExtendedSelection;
        return s;
    }

    int childCount() const override
    {
        const qint64 count = (qint64(rowCount()) + 1) * columnCount();
        return static_cast<int>(std::min<qint64>(count, INT_MAX));
    }
    QAccessibleInterface* child(int index) const override
    {
        const int columns = columnCount();
        if (index < 0 || columns == 0 || index >= childCount())
            return nullptr;
        if (index < columns) {
            CEntryListView* view = View();
            return CAccessibleCells::Of(view).Get(
                index, [view, index] { return new CEntryHeaderAccessible(view, index); });
        }
        return cellAt(index / columns - 1, index % columns);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (const auto* cell = dynamic_cast<const CEntryCellAccessible*>(child))
            return cell->table() && cell->table()->object() == object()
                ? EntryListChildIndex(cell->rowIndex(), cell->columnIndex(), columnCount())
                : -1;
        if (const auto* head = dynamic_cast<const CEntryHeaderAccessible*>(child))
            return head->parent() && head->parent()->object() == object() ? head->Column() : -1;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const CEntryListView* view = View();
        const QPoint global(x, y);
        const QPoint inHeader = view->header()->mapFromGlobal(global);
        if (view->header()->isVisible() && view->header()->rect().contains(inHeader)) {
            const int column = view->header()->logicalIndexAt(inHeader.x());
            return column >= 0 ? child(column) : nullptr;
        }
        const QPoint inViewport = view->viewport()->mapFromGlobal(global);
        if (!view->viewport()->rect().contains(inViewport))
            return nullptr;
        const QModelIndex at = view->indexAt(inViewport);
        return at.isValid() ? cellAt(at.row(), at.column()) : nullptr;
    }
    QAccessibleInterface* focusChild() const override
    {
        const QModelIndex current = View()->currentIndex();
        return current.isValid() ? cellAt(current.row(), current.column()) : nullptr;
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override
    {
        if (row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
            return nullptr;
        const int index = EntryListChildIndex(row, column, columnCount());
        if (index < 0)
            return nullptr;
        CEntryListView* view = View();
        return CAccessibleCells::Of(view).Get(
            index, [view, row, column] { return new CEntryCellAccessible(view, row, column); });
    }
    int selectedCellCount() const override
    {
        qint64 cells = 0;
        for (const QItemSelectionRange& range : Ranges())
            cells += qint64(range.width()) * range.height();
        return static_cast<int>(std::min<qint64>(cells, INT_MAX));
    }
    QList<QAccessibleInterface*> selectedCells() const override
    {
        QList<QAccessibleInterface*> cells;
        for (const auto& [first, last] : SelectedRowRuns()) {
            for (int row = first; row <= last; ++row) {
                for (int column = 0; column < columnCount(); ++column) {
                    if (cells.size() >= kMaxListedCells)
                        return cells;
                    cells.append(cellAt(row, column));
                }
            }
        }
        return cells;
    }
    QString columnDescription(int column) const override
    {
        const QAbstractItemModel* model = View()->model();
        return model ? model->headerData(column, Qt::Horizontal).toString() : QString();
    }
    QString rowDescription(int row) const override
    {
        const QAbstractItemModel* model = View()->model();
        return model ? model->headerData(row, Qt::Vertical).toString() : QString();
    }
    int selectedColumnCount() const override { return AllRowsSelected() ? columnCount() : 0; }
    int selectedRowCount() const override
    {
        qint64 rows = 0;
        for (const auto& [first, last] : SelectedRowRuns())
            rows += last - first + 1;
        return static_cast<int>(rows);
    }
    int columnCount() const override
    {
        const QAbstractItemModel* model = View()->model();
        return model ? model->columnCount(View()->rootIndex()) : 0;
    }
    int rowCount() const override
    {
        const QAbstractItemModel* model = View()->model();
        return model ? model->rowCount(View()->rootIndex()) : 0;
    }
    QList<int> selectedColumns() const override
    {
        QList<int> columns;
        if (AllRowsSelected())
            for (int c = 0; c < columnCount(); ++c)
                columns.append(c);
        return columns;
    }
    QList<int> selectedRows() const override
    {
        QList<int> rows;
        for (const auto& [first, last] : SelectedRowRuns())
            for (int row = first; row <= last; ++row)
                rows.append(row);
        return rows;
    }
    bool isColumnSelected(int column) const override
    {
        return column >= 0 && column < columnCount() && AllRowsSelected();
    }
    bool isRowSelected(int row) const override
    {
        const QItemSelectionModel* selection = View()->selectionModel();
        return selection && row >= 0 && row < rowCount()
            && selection->isRowSelected(row, View()->rootIndex());
    }
    bool selectRow(int row) override
    {
        CEntryListView* view = View();
        if (!view->selectionModel() || row < 0 || row >= rowCount()
            || view->selectionMode() == QAbstractItemView::NoSelection)
            return false;
        auto flags = QItemSelectionModel::Select | QItemSelectionModel::Rows;
        if (view->selectionMode() == QAbstractItemView::SingleSelection)
            flags |= QItemSelectionModel::Clear;
        view->selectionModel()->select(view->model()->index(row, 0, view->rootIndex()), flags);
        return true;
    }
    bool unselectRow(int row) override
    {
        CEntryListView* view = View();
        if (!view->selectionModel() || row < 0 || row >= rowCount()
            || view->selectionMode() == QAbstractItemView::NoSelection)
            return false;
        view->selectionModel()->select(view->model()->index(row, 0, view->rootIndex()),
            QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        return true;
    }
    // Whole rows are what the list selects.
    bool selectColumn(int) override { return false; }
    bool unselectColumn(int) override { return false; }

    void modelChange(QAccessibleTableModelChangeEvent* event) override
    {
        // A changed text is read anew when asked for; anything that moves
        // rows makes the cells made so far stand for other rows.
        if (event->modelChangeType() != QAccessibleTableModelChangeEvent::DataChanged)
            CAccessibleCells::Of(View()).Clear();
    }

private:
    QItemSelection Ranges() const
    {
        const QItemSelectionModel* selection = View()->selectionModel();
        return selection ? selection->selection() : QItemSelection();
    }
    // The selected rows (every column of them selected) as sorted runs that
    // do not touch.
    std::vector<std::pair<int, int>> SelectedRowRuns() const
    {
        const int columns = columnCount();
        std::vector<std::pair<int, int>> runs;
        for (const QItemSelectionRange& range : Ranges())
            if (range.parent() == View()->rootIndex() && range.left() == 0 && range.right() == columns - 1)
                runs.emplace_back(range.top(), range.bottom());
        std::sort(runs.begin(), runs.end());
        std::vector<std::pair<int, int>> merged;
        for (const auto& run : runs) {
            if (!merged.empty() && run.first <= merged.back().second + 1)
                merged.back().second = std::max(merged.back().second, run.second);
            else
                merged.push_back(run);
        }
        return merged;
    }
    bool AllRowsSelected() const
    {
        const int rows = rowCount();
        return rows > 0 && selectedRowCount() == rows;
    }
};

QAccessibleInterface* EntryListFactory(const QString& className, QObject* object)
{
    if (auto* view = qobject_cast<CEntryListView*>(object))
        return new CEntryListAccessible(view);
    // What is under the mouse is the viewport: it stands for the list too.
    if (className == QLatin1String("QWidget") && object && object->isWidgetType())
        if (auto* view = qobject_cast<CEntryListView*>(object->parent()))
            if (view->viewport() == object)
                return new CEntryListAccessible(view);
    return nullptr;
}

} // namespace

void InstallEntryListAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(&EntryListFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace tessary
