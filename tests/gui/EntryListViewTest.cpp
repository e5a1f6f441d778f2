// The flat list view on its own, as the output bar uses it: row geometry,
// scrolling, keyboard and mouse selection, painting with and without the row
// painter, editing, and what assistive technology reads from it.

#include "ViewsTestSupport.h"

#include "EntryListView.h"
#include "ItemRowPainter.h"

#include <QAccessible>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>

using namespace tessary;
using namespace tessary::test;

namespace {

class CExposedListView : public CEntryListView {
public:
    using CEntryListView::CEntryListView;
    void Select(const QRect& rect, QItemSelectionModel::SelectionFlags flags) { setSelection(rect, flags); }
};

// `count` data items "row0", "row1", ... in a shown list of 400 x 300 pixels.
struct List {
    std::unique_ptr<CCustomCategory> root = std::make_unique<CCustomCategory>("r");
    CEntryListModel model;
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    CExposedListView* view = new CExposedListView(window.get());
    CItemRowPainter* painter = nullptr;

    explicit List(int count, bool withPainter = true)
    {
        for (int i = count - 1; i >= 0; --i)
            Item(root.get(), ("row" + std::to_string(i)).c_str(), "");
        std::vector<CItem*> rows(root->GetDatumList().begin(), root->GetDatumList().end());
        model.SetRows(std::move(rows));
        if (withPainter) {
            painter = new CItemRowPainter(view);
            view->SetRowPainter(painter);
        }
        view->setModel(&model);
        for (int c = 0; c < kEntryColumnCount; ++c)
            view->header()->resizeSection(c, 100);
        view->setGeometry(0, 0, 400, 300);
        window->resize(400, 300);
        window->show();
        QApplication::setActiveWindow(window.get());
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("window not exposed");
        view->doItemsLayout();
    }
    ~List() { window.reset(); }
    List(const List&) = delete;
    List& operator=(const List&) = delete;

    int Height() const { return view->RowHeight(); }
    QModelIndex At(int row, int column = 0) const { return model.index(row, column); }
    QPoint Centre(int row, int column = 0) const { return view->visualRect(At(row, column)).center(); }
    QList<int> Selected() const
    {
        QList<int> rows;
        for (int r = 0; r < model.RowCount(); ++r)
            if (view->selectionModel()->isRowSelected(r, {}))
                rows.append(r);
        return rows;
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(view, Qt::Key(key), modifiers);
    }
    void Click(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, Centre(row));
    }
};

QList<int> Range(int first, int last)
{
    QList<int> rows;
    for (int r = first; r <= last; ++r)
        rows.append(r);
    return rows;
}

// The accessibility events the list sends (only while accessibility is
// active, which needs a platform that has it).
struct Recorder {
    struct Event {
        QAccessible::Event type;
        int child;
        int change; // of a table model change, else -1
    };
    static inline QObject* watched = nullptr;
    static inline QList<Event> events;
    QAccessible::UpdateHandler previous;

    explicit Recorder(QObject* view)
    {
        watched = view;
        events.clear();
        previous = QAccessible::installUpdateHandler(&Record);
    }
    ~Recorder() { QAccessible::installUpdateHandler(previous); }
    static void Record(QAccessibleEvent* event)
    {
        if (event->object() != watched)
            return;
        int change = -1;
        if (event->type() == QAccessible::TableModelChanged)
            change = static_cast<QAccessibleTableModelChangeEvent*>(event)->modelChangeType();
        events.append({ event->type(), event->child(), change });
    }
    static bool Saw(QAccessible::Event type, int child, int change = -1)
    {
        for (const Event& e : events)
            if (e.type == type && e.child == child && e.change == change)
                return true;
        return false;
    }
};

} // namespace

class EntryListViewTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void RowPlacesAreArithmetic()
    {
        List list(100);
        const int h = list.Height();
        QVERIFY(h >= list.view->fontMetrics().height());
        // The header sits right above the rows.
        QCOMPARE(list.view->header()->geometry().bottom() + 1, list.view->viewport()->geometry().top());
        QCOMPARE(list.view->visualRect(list.At(3, 2)), QRect(200, 3 * h, 100, h));
        QCOMPARE(list.view->indexAt(QPoint(250, 3 * h + 1)), list.At(3, 2));
        // Without the header the rows take its place.
        list.view->setHeaderHidden(true);
        QCOMPARE(list.view->viewport()->geometry().top(), list.view->contentsRect().top());
        QCOMPARE(list.view->indexAt(QPoint(250, 3 * h + 1)), list.At(3, 2));
        list.view->setHeaderHidden(false);
        QCOMPARE(list.view->header()->geometry().bottom() + 1, list.view->viewport()->geometry().top());

        // Past the last column or the last row there is no cell.
        for (int c = 0; c < kEntryColumnCount; ++c)
            list.view->header()->resizeSection(c, 60);
        const int end = list.view->header()->length();
        QVERIFY(end < list.view->viewport()->width());
        QCOMPARE(list.view->indexAt(QPoint(end - 1, 1)), list.At(0, 4));
        QVERIFY(!list.view->indexAt(QPoint(end, 1)).isValid());
        list.view->verticalScrollBar()->setValue(list.view->verticalScrollBar()->maximum());
        QVERIFY(!list.view->indexAt(QPoint(10, list.view->viewport()->height() + h)).isValid());
        QVERIFY(!list.view->visualRect(list.model.index(100, 0)).isValid());

        // Scrolled down, each cell still reads back from its own place, also
        // above the viewport.
        for (QAbstractItemView::ScrollMode mode :
            { QAbstractItemView::ScrollPerItem, QAbstractItemView::ScrollPerPixel }) {
            list.view->setVerticalScrollMode(mode);
            list.view->scrollTo(list.At(60), QAbstractItemView::PositionAtTop);
            QCOMPARE(list.view->FirstVisibleRow(), 60);
            QCOMPARE(list.view->visualRect(list.At(60)).top(), 0);
            QCOMPARE(list.view->visualRect(list.At(58)).top(), -2 * h);
            for (int row : { 58, 60, 61, 65 })
                QCOMPARE(list.view->indexAt(list.Centre(row, 1)), list.At(row, 1));
        }
    }

    void ScrollToHonoursEachHintInBothScrollModes()
    {
        List list(1000);
        const int h = list.Height();
        const int viewport = list.view->viewport()->height();
        for (QAbstractItemView::ScrollMode mode :
            { QAbstractItemView::ScrollPerItem, QAbstractItemView::ScrollPerPixel }) {
            list.view->setVerticalScrollMode(mode);
            list.view->scrollTo(list.At(0));
            QScrollBar* bar = list.view->verticalScrollBar();
            // The last row can be reached and no further.
            if (mode == QAbstractItemView::ScrollPerItem)
                QCOMPARE(bar->maximum(), 1000 - viewport / h);
            else
                QCOMPARE(bar->maximum(), 1000 * h - viewport);

            list.view->scrollTo(list.At(500));
            QRect r = list.view->visualRect(list.At(500));
            QVERIFY(r.top() >= 0 && r.bottom() < viewport);
            QVERIFY(r.bottom() + h >= viewport); // no further than needed
            list.view->scrollTo(list.At(300)); // upwards: at the top
            QCOMPARE(list.view->visualRect(list.At(300)).top(), 0);
            list.view->scrollTo(list.At(305)); // already visible: nothing moves
            QCOMPARE(list.view->visualRect(list.At(300)).top(), 0);
            list.view->scrollTo(list.At(700), QAbstractItemView::PositionAtCenter);
            r = list.view->visualRect(list.At(700));
            QVERIFY(qAbs(r.center().y() - viewport / 2) <= h);
            list.view->scrollTo(list.At(700), QAbstractItemView::PositionAtBottom);
            r = list.view->visualRect(list.At(700));
            QVERIFY(r.bottom() < viewport && r.bottom() + h >= viewport);
            list.view->scrollTo(list.At(999), QAbstractItemView::PositionAtTop); // clamped at the end
            QCOMPARE(bar->value(), bar->maximum());
            QVERIFY(list.view->visualRect(list.At(999)).bottom() < viewport);
        }

        // Rows added or removed since the last layout count at once.
        list.view->scrollTo(list.At(0));
        auto* extra = new CCustomDatum;
        list.root->AddDatum(extra);
        for (int i = 0; i < 50; ++i)
            list.model.InsertEntry(list.model.RowCount(), extra);
        list.view->scrollTo(list.At(1049));
        QVERIFY(list.view->visualRect(list.At(1049)).bottom() < viewport);
        list.view->setModel(&list.model); // the same model again changes nothing
        QCOMPARE(list.model.RemoveEntries(std::vector<const CItem*> { extra }), std::size_t(50));
        QTRY_COMPARE(list.view->verticalScrollBar()->maximum(), 1000 * h - viewport);
    }

    void HeaderScrollsWithTheColumns()
    {
        List list(10);
        QScrollBar* bar = list.view->horizontalScrollBar();
        QCOMPARE(bar->maximum(), 500 - list.view->viewport()->width());
        bar->setValue(70);
        QCOMPARE(list.view->header()->offset(), 70);
        QCOMPARE(list.view->visualRect(list.At(0, 1)).left(), 30);
        QCOMPARE(list.view->indexAt(QPoint(35, 1)), list.At(0, 1));
        // A wider column widens the range; scrolling to a cell shows it whole.
        list.view->header()->resizeSection(4, 300);
        QCOMPARE(bar->maximum(), 700 - list.view->viewport()->width());
        list.view->scrollTo(list.At(0, 4));
        const QRect cell = list.view->visualRect(list.At(0, 4));
        QVERIFY(cell.left() >= 0 && cell.right() < list.view->viewport()->width());
        QCOMPARE(list.view->header()->offset(), bar->value());
        list.view->scrollTo(list.At(0, 0));
        QCOMPARE(bar->value(), 0);
        // Left and right keys scroll the columns and keep the current row.
        list.view->setCurrentIndex(list.At(2));
        list.Key(Qt::Key_Right);
        QVERIFY(bar->value() > 0);
        QCOMPARE(list.view->currentIndex(), list.At(2));
        list.Key(Qt::Key_Left);
        QCOMPARE(bar->value(), 0);
    }

    void KeysMoveTheCurrentRowAndExtendTheSelection()
    {
        List list(200);
        list.view->setFocus();
        list.view->setCurrentIndex(list.At(0));
        list.Key(Qt::Key_Down);
        list.Key(Qt::Key_Down);
        QCOMPARE(list.view->currentIndex().row(), 2);
        QCOMPARE(list.Selected(), QList<int>({ 2 }));
        list.Key(Qt::Key_Down, Qt::ShiftModifier);
        list.Key(Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(list.Selected(), Range(2, 4));
        list.Key(Qt::Key_Up, Qt::ShiftModifier);
        QCOMPARE(list.Selected(), Range(2, 3));
        // Ctrl moves the current row alone; Ctrl+Space adds it.
        list.Key(Qt::Key_Down, Qt::ControlModifier);
        list.Key(Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(list.view->currentIndex().row(), 5);
        list.Key(Qt::Key_Space, Qt::ControlModifier);
        QCOMPARE(list.Selected(), QList<int>({ 2, 3, 5 }));

        // A page is what the viewport holds; the view follows the cursor.
        const int page = list.view->RowsPerPage();
        list.Key(Qt::Key_PageDown);
        QCOMPARE(list.view->currentIndex().row(), 5 + page);
        list.Key(Qt::Key_PageDown, Qt::ShiftModifier);
        QCOMPARE(list.Selected(), Range(5 + page, 5 + 2 * page));
        list.Key(Qt::Key_End);
        QCOMPARE(list.Selected(), QList<int>({ 199 }));
        QVERIFY(list.view->visualRect(list.At(199)).bottom() < list.view->viewport()->height());
        list.Key(Qt::Key_Down); // stays on the last row
        QCOMPARE(list.view->currentIndex().row(), 199);
        list.Key(Qt::Key_PageUp);
        QCOMPARE(list.view->currentIndex().row(), 199 - page);
        list.Key(Qt::Key_Home, Qt::ShiftModifier);
        QCOMPARE(list.Selected(), Range(0, 199 - page));
        QCOMPARE(list.view->FirstVisibleRow(), 0);
        list.Key(Qt::Key_Up); // already at the top: nothing changes
        QCOMPARE(list.Selected(), Range(0, 199 - page));
        list.Key(Qt::Key_Down);
        QCOMPARE(list.Selected(), QList<int>({ 1 }));

        // Without a current row the first key starts at the top.
        list.view->selectionModel()->clear();
        list.Key(Qt::Key_Down);
        QCOMPARE(list.view->currentIndex().row(), 0);
    }

    void MouseSelectsWithShiftCtrlAndDragging()
    {
        List list(300);
        list.Click(2);
        QCOMPARE(list.Selected(), QList<int>({ 2 }));
        list.Click(5, Qt::ShiftModifier);
        QCOMPARE(list.Selected(), Range(2, 5));
        list.Click(3, Qt::ControlModifier);
        QCOMPARE(list.Selected(), QList<int>({ 2, 4, 5 }));
        list.Click(8, Qt::ControlModifier);
        QCOMPARE(list.Selected(), QList<int>({ 2, 4, 5, 8 }));
        // A click right of the last column clears, like one on empty space.
        for (int c = 0; c < kEntryColumnCount; ++c)
            list.view->header()->resizeSection(c, 60);
        list.Click(1);
        QTest::mouseClick(
            list.view->viewport(), Qt::LeftButton, {}, QPoint(list.view->viewport()->width() - 2, 5));
        QVERIFY(list.Selected().isEmpty());

        // Shift with the anchor scrolled far out of sight.
        list.Click(1);
        list.view->scrollTo(list.At(250), QAbstractItemView::PositionAtTop);
        list.Click(252, Qt::ShiftModifier);
        QCOMPARE(list.Selected(), Range(1, 252));
        QCOMPARE(list.view->selectionModel()->selection().size(), 1);

        // Dragging over rows selects them, also past the last column.
        list.view->scrollTo(list.At(0), QAbstractItemView::PositionAtTop);
        QTest::mousePress(list.view->viewport(), Qt::LeftButton, {}, list.Centre(1));
        QTest::mouseMove(list.view->viewport(), list.Centre(3, 4) + QPoint(0, 0));
        QTest::mouseMove(list.view->viewport(), list.Centre(4, 1));
        QTest::mouseRelease(list.view->viewport(), Qt::LeftButton, {}, list.Centre(4, 1));
        QCOMPARE(list.Selected(), Range(1, 4));
    }

    void SelectionsStayRangesHoweverLarge()
    {
        List list(100000);
        list.view->selectAll();
        QCOMPARE(list.view->selectionModel()->selection().size(), 1);
        QVERIFY(list.view->selectionModel()->isRowSelected(99999, {}));

        // A rectangle running past both ends and both sides selects every
        // row, in one range.
        list.view->scrollTo(list.At(50000), QAbstractItemView::PositionAtTop);
        const QRect all(QPoint(-500, -100000 * list.Height()), QPoint(5000, 100000 * list.Height()));
        list.view->Select(all, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QCOMPARE(list.view->selectionModel()->selection().size(), 1);
        QCOMPARE(list.view->selectionModel()->selection().first(),
            QItemSelectionRange(list.At(0), list.At(99999, 4)));
        // Wholly below the rows, or right of the columns, it selects nothing.
        const QRect below(QPoint(0, 60000 * list.Height()), QSize(10, 10));
        list.view->Select(below, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(list.view->selectionModel()->selection().size(), 1);
        list.view->Select(
            QRect(600, 0, 10, 10), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QVERIFY(!list.view->selectionModel()->hasSelection());
    }

    void WithoutARowPainterTheDelegatePaints()
    {
        List list(5, false);
        QVERIFY(!list.view->RowPainter());
        list.view->selectionModel()->select(
            list.At(1), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const QImage image = list.view->viewport()->grab().toImage();
        const QRgb highlight = list.view->palette().color(QPalette::Active, QPalette::Highlight).rgb();
        auto highlighted = [&](int row, int column) {
            const QRect r = list.view->visualRect(list.At(row, column)).intersected(image.rect());
            int n = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    n += (image.pixel(x, y) | 0xFF000000u) == highlight;
            return n;
        };
        for (int column = 0; column < 4; ++column)
            QVERIFY(highlighted(1, column) > 0);
        QCOMPARE(highlighted(2, 0), 0);
        QCOMPARE(list.view->itemDelegate()->metaObject()->className(), "QStyledItemDelegate");
    }

    void EditorCoversItsCellAndMovesWithTheRows()
    {
        List list(100);
        list.view->setCurrentIndex(list.At(4));
        QTest::ignoreMessage(QtWarningMsg, "edit: editing failed");
        list.view->edit(list.At(4));
        auto* editor = list.view->findChild<QLineEdit*>();
        QVERIFY(!editor); // the model has no rename handler: nothing to edit
        list.model.SetRenameHandler([&](int row, const QString& text) {
            static_cast<CDatum*>(list.model.EntryAt(row))->m_strName = Utf8ToGb(text.toStdString());
        });
        list.view->edit(list.At(4));
        editor = list.view->findChild<QLineEdit*>();
        QVERIFY(editor);
        const QRect cell = list.view->visualRect(list.At(4));
        QCOMPARE(editor->geometry().top(), cell.top());
        QCOMPARE(editor->geometry().left(), CItemRowPainter::LabelLeft(cell));
        list.view->verticalScrollBar()->setValue(list.view->verticalScrollBar()->value() + 2);
        QTRY_COMPARE(editor->geometry().top(), list.view->visualRect(list.At(4)).top());
        editor->setText(QStringLiteral("renamed"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(list.At(4).data().toString(), QStringLiteral("renamed"));
    }

    void AccessibleTableReadsCellsHeadersAndSelection()
    {
        List list(1000);
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(list.view);
        QVERIFY(table && table->tableInterface());
        QCOMPARE(table->role(), QAccessible::Table);
        QAccessibleTableInterface* t = table->tableInterface();
        QCOMPARE(t->rowCount(), 1000);
        QCOMPARE(t->columnCount(), kEntryColumnCount);
        QCOMPARE(table->childCount(), 1001 * kEntryColumnCount);
        QCOMPARE(t->columnDescription(2), QString::fromUtf8("类型"));

        // The header's cells come first, then the cells row by row.
        QAccessibleInterface* head = table->child(0);
        QCOMPARE(head->role(), QAccessible::ColumnHeader);
        QCOMPARE(head->text(QAccessible::Name), QString::fromUtf8("名称"));
        QAccessibleInterface* cell = t->cellAt(700, 0);
        QVERIFY(cell && cell->isValid());
        QCOMPARE(cell->role(), QAccessible::Cell);
        QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("row700"));
        QCOMPARE(table->child(701 * kEntryColumnCount), cell);
        QCOMPARE(table->indexOfChild(cell), 701 * kEntryColumnCount);
        QCOMPARE(table->indexOfChild(head), 0);
        QCOMPARE(cell->parent(), table);
        QAccessibleTableCellInterface* c = cell->tableCellInterface();
        QVERIFY(c);
        QCOMPARE(c->rowIndex(), 700);
        QCOMPARE(c->columnIndex(), 0);
        QCOMPARE(c->columnHeaderCells().value(0), head);
        QVERIFY(cell->state().offscreen);
        QCOMPARE(t->cellAt(1000, 0), nullptr);
        QCOMPARE(t->cellAt(0, kEntryColumnCount), nullptr);
        QCOMPARE(table->child(1001 * kEntryColumnCount), nullptr);

        // What is under a point.
        const QPoint global = list.view->viewport()->mapToGlobal(list.Centre(3, 2));
        QAccessibleInterface* hit = table->childAt(global.x(), global.y());
        QVERIFY(hit);
        QCOMPARE(hit->tableCellInterface()->rowIndex(), 3);
        QCOMPARE(hit->tableCellInterface()->columnIndex(), 2);
        QCOMPARE(hit->rect().center(), global);

        // Selection, read from the ranges and made through the table.
        list.view->selectionModel()->select(
            QItemSelection(list.At(10), list.At(19, 4)), QItemSelectionModel::Select);
        QVERIFY(t->selectRow(500));
        QCOMPARE(t->selectedRowCount(), 11);
        QCOMPARE(t->selectedRows().first(), 10);
        QCOMPARE(t->selectedRows().last(), 500);
        QCOMPARE(t->selectedCellCount(), 11 * kEntryColumnCount);
        QVERIFY(t->isRowSelected(15) && !t->isRowSelected(20));
        QVERIFY(t->cellAt(500, 3)->tableCellInterface()->isSelected());
        QVERIFY(t->cellAt(500, 3)->state().selected);
        QCOMPARE(t->selectedColumnCount(), 0);
        QVERIFY(t->unselectRow(500));
        QVERIFY(!list.view->selectionModel()->isRowSelected(500, {}));
        list.view->selectAll();
        QCOMPARE(t->selectedRowCount(), 1000);
        QCOMPARE(t->selectedColumnCount(), kEntryColumnCount);
        QVERIFY(t->isColumnSelected(1));
        QCOMPARE(t->selectedCells().size(), 4096); // listed up to a bound, never a cell per row up front

        // The current cell of a focused list is the focus child.
        list.view->setFocus();
        QTRY_VERIFY(list.view->hasFocus());
        list.view->setCurrentIndex(list.At(7, 1));
        QCOMPARE(table->focusChild(), t->cellAt(7, 1));
        QVERIFY(t->cellAt(7, 1)->state().focused);
        QVERIFY(!t->cellAt(8, 1)->state().focused);
    }

    void AccessibleCellsGoWhenTheRowsChange()
    {
        List list(50);
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(list.view);
        QAccessibleInterface* cell = table->tableInterface()->cellAt(40, 0);
        const QAccessible::Id id = QAccessible::uniqueId(cell);
        QVERIFY(QAccessible::accessibleInterface(id));
        // A changed text is read anew; the cell stays.
        QAccessibleTableModelChangeEvent changed(list.view, QAccessibleTableModelChangeEvent::DataChanged);
        table->tableInterface()->modelChange(&changed);
        QCOMPARE(QAccessible::accessibleInterface(id), cell);
        // Anything that moves rows drops the cells made so far.
        QAccessibleTableModelChangeEvent reset(list.view, QAccessibleTableModelChangeEvent::ModelReset);
        table->tableInterface()->modelChange(&reset);
        QCOMPARE(QAccessible::accessibleInterface(id), nullptr);
        // A cell whose row went is gone (while accessibility is active, the
        // view says so) or reads nothing.
        const QAccessible::Id again = QAccessible::uniqueId(table->tableInterface()->cellAt(40, 0));
        list.model.SetRows({});
        if (QAccessibleInterface* stale = QAccessible::accessibleInterface(again)) {
            QVERIFY(!stale->isValid());
            QCOMPARE(stale->text(QAccessible::Name), QString());
        }
        QCOMPARE(table->childCount(), kEntryColumnCount);
        // The viewport stands for the list too.
        QAccessibleInterface* viewport = QAccessible::queryAccessibleInterface(list.view->viewport());
        QVERIFY(viewport && viewport->tableInterface());
        QCOMPARE(viewport->object(), list.view);
    }

    void AccessibilityEventsFollowFocusSelectionAndRows()
    {
        if (!QAccessible::isActive())
            QSKIP("needs a platform with accessibility (X with the accessibility bus)");
        List list(50);
        list.view->setFocus();
        QTRY_VERIFY(list.view->hasFocus());
        Recorder recorder(list.view);
        const int cell3 = 4 * kEntryColumnCount; // row 3, column 0
        list.view->setCurrentIndex(list.At(3));
        QVERIFY(Recorder::Saw(QAccessible::Focus, cell3));
        QVERIFY(Recorder::Saw(QAccessible::SelectionAdd, cell3));
        list.view->setCurrentIndex(list.At(4));
        QVERIFY(Recorder::Saw(QAccessible::SelectionRemove, cell3));
        // Changes of the rows: the cells made so far are dropped.
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(list.view);
        const QAccessible::Id id = QAccessible::uniqueId(table->tableInterface()->cellAt(10, 1));
        list.model.InsertEntry(2, list.model.EntryAt(0));
        QVERIFY(Recorder::Saw(
            QAccessible::TableModelChanged, -1, QAccessibleTableModelChangeEvent::RowsInserted));
        QCOMPARE(QAccessible::accessibleInterface(id), nullptr);
        list.model.Sort(kColumnName, false);
        list.model.SetRows({});
        QVERIFY(
            Recorder::Saw(QAccessible::TableModelChanged, -1, QAccessibleTableModelChangeEvent::ModelReset));
    }
};

TESSARY_GUI_TEST_MAIN(EntryListViewTest)
#include "EntryListViewTest.moc"
