// The output bar: rows in the order of the search, sorting, the reveal of a
// single selected result, select all and removal of rows, rows that leave
// with their items, the column widths in the profile, and what assistive
// technology reads.

#include "ViewsTestSupport.h"

#include "Copies.h"
#include "EntryListModel.h"
#include "EntryListView.h"
#include "OutputBar.h"
#include "ResourceIds.h"
#include "SearchCriteria.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QHeaderView>
#include <QHelpEvent>
#include <QMainWindow>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>
#include <QToolTip>

using namespace tessary;
using namespace tessary::test;

namespace {

// Roots "a" (sub-categories a1 and a2, a2 holding deep) and "b". Data items:
// a holds x.txt then y.txt, a1 holds p.doc, deep holds q.doc, b holds z.txt.
// The bar is docked in a main window of its own, whose status bar shows the
// count.
struct Library : Panes {
    CCustomCategory* a = Custom("a");
    CCustomCategory* a1 = Custom("a1", a);
    CCustomCategory* a2 = Custom("a2", a);
    CCustomCategory* deep = Custom("deep", a2);
    CCustomCategory* b = Custom("b");
    CCustomDatum* y = Item(a, "y", "txt", 300, 30);
    CCustomDatum* x = Item(a, "x", "txt", 100, 10);
    CCustomDatum* p = Item(a1, "p", "doc", 500, 50);
    CCustomDatum* q = Item(deep, "q", "doc", 200, 20);
    CCustomDatum* z = Item(b, "z", "txt", 400, 40);
    std::unique_ptr<QMainWindow> host = std::make_unique<QMainWindow>();
    COutputBar* bar = new COutputBar(host.get());
    std::unique_ptr<QAbstractItemModelTester> tester;

    Library()
    {
        doc.AddRoot(a);
        doc.AddRoot(b);
        doc.SetCurrentCategory(nullptr);
        bar->SetDocument(&doc);
        bar->SetViews(tree, list);
        host->addDockWidget(Qt::BottomDockWidgetArea, bar);
        host->setGeometry(0, 450, 800, 300);
        tester = std::make_unique<QAbstractItemModelTester>(
            bar->ResultModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        Start();
        host->show();
        QVERIFY(QTest::qWaitForWindowExposed(host.get()));
    }
    ~Library() { host.reset(); } // the bar leaves the document before it goes

    // Every data item below `scope` (the criteria match everything).
    void Search(CCategory* scope)
    {
        CSearchCriteria all;
        std::vector<CDatum*> results;
        scope->CollectMatches(all, results);
        bar->SetResults(std::move(results));
    }
    std::vector<CDatum*> Rows() const
    {
        std::vector<CDatum*> rows;
        for (int r = 0; r < bar->RowCount(); ++r)
            rows.push_back(bar->ItemAt(r));
        return rows;
    }
    QString Status() const { return host->statusBar()->currentMessage(); }
    void ClickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        CEntryListView* view = bar->ResultList();
        const QRect rect = view->visualRect(bar->ResultModel()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, rect.center());
    }
    void ClickTitle(int column)
    {
        QHeaderView* head = bar->ResultList()->header();
        QTest::mouseClick(head->viewport(), Qt::LeftButton, Qt::NoModifier,
            QPoint(head->sectionViewportPosition(column) + 10, head->height() / 2));
    }
    bool Enabled(int id) const
    {
        CommandState state;
        return bar->QueryCommand(id, state) && state.enabled;
    }
    CItem* ListSelection() const
    {
        const std::vector<CItem*> selected = list->SelectedEntries();
        return selected.size() == 1 ? selected.front() : nullptr;
    }
};

} // namespace

class OutputBarTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void StartsHiddenEmptyAndNamed()
    {
        Library lib;
        COutputBar fresh;
        QVERIFY(fresh.isHidden());
        QCOMPARE(fresh.RowCount(), 0);
        QCOMPARE(fresh.windowTitle(), QStringLiteral("Output"));
        QCOMPARE(lib.bar->ResultList()->toolTip(), QStringLiteral("right click for context menu"));
        QVERIFY(!lib.bar->ResultList()->accessibleName().isEmpty());

        // Hovering the list shows the tooltip, on rows and below them alike.
        lib.Search(lib.a);
        CEntryListView* view = lib.bar->ResultList();
        for (const QPoint& at : { view->visualRect(lib.bar->ResultModel()->index(0, 1)).center(),
                 QPoint(10, view->viewport()->height() - 5) }) {
            QHelpEvent hover(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
            QApplication::sendEvent(view->viewport(), &hover);
            QTRY_COMPARE(QToolTip::text(), QStringLiteral("right click for context menu"));
            QToolTip::hideText();
        }
    }

    void ResultsKeepTheSearchOrderAndColumnClicksSortThem()
    {
        Library lib;
        lib.Search(lib.a);
        // The category's own items last one first, then its last
        // sub-category's subtree, then its first's.
        QCOMPARE(lib.Rows(), std::vector<CDatum*>({ lib.y, lib.x, lib.q, lib.p }));
        QCOMPARE(lib.Status(), QString::fromUtf8("搜索结果共 4 个文件"));
        QCOMPARE(ColumnTexts(lib.bar->ResultModel(), kColumnSize),
            Strings({ "300 Byte", "100 Byte", "200 Byte", "500 Byte" }));
        QCOMPARE(ColumnTexts(lib.bar->ResultModel(), kColumnLocation).first(), QStringLiteral("/docs/y.txt"));

        lib.ClickTitle(kColumnName);
        QCOMPARE(lib.Rows(), std::vector<CDatum*>({ lib.p, lib.q, lib.x, lib.y }));
        lib.ClickTitle(kColumnName);
        QCOMPARE(lib.Rows(), std::vector<CDatum*>({ lib.y, lib.x, lib.q, lib.p }));
        lib.ClickTitle(kColumnSize);
        QCOMPARE(lib.Rows(), std::vector<CDatum*>({ lib.x, lib.q, lib.y, lib.p }));
        QCOMPARE(lib.bar->ResultList()->header()->sortIndicatorSection(), int(kColumnSize));

        // A new search lists in search order again; the status follows.
        lib.Search(lib.b);
        QCOMPARE(lib.Rows(), std::vector<CDatum*>({ lib.z }));
        QCOMPARE(lib.Status(), QString::fromUtf8("搜索结果共 1 个文件"));
        QCOMPARE(lib.bar->ResultList()->header()->sortIndicatorSection(), -1);
        lib.bar->SetResults({});
        QCOMPARE(lib.Status(), QString::fromUtf8("搜索结果共 0 个文件"));
    }

    void LocationSortComparesWholePathsAsBytes()
    {
        // Scanned files take their folder's path: "/m/b-c/" sorts before
        // "/m/b/" ('-' is below the separator), and within "/m/b/" the file
        // z.txt after the folder x.
        Library lib;
        auto* root = new CRootFolderCategory("r", "/m");
        auto* b = new CFolderCategory("b");
        auto* bc = new CFolderCategory("b-c");
        auto* x = new CFolderCategory("x");
        root->AddSubCategory(b);
        root->AddSubCategory(bc);
        b->AddSubCategory(x);
        auto* z = new CFileDatum("z.txt");
        auto* a = new CFileDatum("a.txt");
        auto* m = new CFileDatum("m.txt");
        auto* n = new CFileDatum("n.txt");
        b->AddDatum(z);
        bc->AddDatum(a);
        x->AddDatum(m);
        x->AddDatum(n);
        lib.doc.AddRoot(root);
        lib.bar->SetResults({ z, m, a, n });
        lib.ClickTitle(kColumnLocation);
        QCOMPARE(ColumnTexts(lib.bar->ResultModel(), kColumnLocation),
            Strings({ "/m/b-c/a.txt", "/m/b/x/m.txt", "/m/b/x/n.txt", "/m/b/z.txt" }));
        lib.ClickTitle(kColumnLocation);
        QCOMPARE(lib.Rows(), std::vector<CDatum*>({ z, n, m, a }));
    }

    void OnlyASingleSelectedRowRevealsItsItem()
    {
        Library lib;
        lib.Search(lib.a); // y x q p
        lib.ClickRow(2);
        QCOMPARE(lib.tree->SelectedCategory(), lib.deep);
        QCOMPARE(lib.ListSelection(), static_cast<CItem*>(lib.q));
        // The list takes the focus (of its window: the bar's is another here).
        QCOMPARE(lib.list->window()->focusWidget(), static_cast<QWidget*>(lib.list));

        // Extending the selection reveals nothing more.
        lib.ClickRow(3, Qt::ControlModifier);
        QCOMPARE(lib.tree->SelectedCategory(), lib.deep);
        lib.ClickRow(0, Qt::ShiftModifier);
        QCOMPARE(lib.bar->SelectedCount(), 4);
        QCOMPARE(lib.tree->SelectedCategory(), lib.deep);

        // Ctrl+click on one of two selected rows reveals the row it deselects.
        lib.ClickRow(1);
        QCOMPARE(lib.tree->SelectedCategory(), lib.a);
        lib.ClickRow(3, Qt::ControlModifier);
        QCOMPARE(lib.tree->SelectedCategory(), lib.a);
        lib.ClickRow(3, Qt::ControlModifier);
        QCOMPARE(lib.bar->SelectedItems(), std::vector<CDatum*>({ lib.x }));
        QCOMPARE(lib.tree->SelectedCategory(), lib.a1);
        QCOMPARE(lib.ListSelection(), static_cast<CItem*>(lib.p));

        // An item whose category is current but filtered out of the list is
        // still found.
        lib.list->FilterRows(QStringLiteral("zzz"));
        lib.ClickRow(3);
        QCOMPARE(lib.ListSelection(), static_cast<CItem*>(lib.p));
    }

    void SelectAllRevealsNothingAndRemoveTakesOnlyRows()
    {
        Library lib;
        lib.Search(lib.a); // y x q p
        lib.Select(lib.b);
        QVERIFY(lib.Enabled(ID_EDIT_SELECT_ALL));
        QVERIFY(!lib.Enabled(ID_RESULT_DELETE));
        QVERIFY(lib.bar->ExecuteCommand(ID_RESULT_DELETE)); // nothing selected: nothing goes
        QCOMPARE(lib.bar->RowCount(), 4);

        QVERIFY(lib.bar->ExecuteCommand(ID_EDIT_SELECT_ALL));
        QCOMPARE(lib.bar->SelectedCount(), 4);
        QCOMPARE(lib.tree->SelectedCategory(), lib.b);

        // A click on one row of many keeps that row and reveals its item.
        lib.ClickRow(0);
        QCOMPARE(lib.bar->SelectedItems(), std::vector<CDatum*>({ lib.y }));
        QCOMPARE(lib.tree->SelectedCategory(), lib.a);
        QCOMPARE(lib.ListSelection(), static_cast<CItem*>(lib.y));

        // Three selected rows go, nothing else: the count in the status bar,
        // the items and the modified flag stay.
        lib.ClickRow(2, Qt::ControlModifier);
        lib.ClickRow(3, Qt::ControlModifier);
        QCOMPARE(lib.bar->SelectedItems(), std::vector<CDatum*>({ lib.y, lib.q, lib.p }));
        lib.doc.SetModifiedFlag(false);
        QVERIFY(lib.Enabled(ID_RESULT_DELETE));
        QVERIFY(lib.bar->ExecuteCommand(ID_RESULT_DELETE));
        QCOMPARE(lib.Rows(), std::vector<CDatum*>({ lib.x }));
        QCOMPARE(lib.Status(), QString::fromUtf8("搜索结果共 4 个文件"));
        QCOMPARE(lib.deep->GetDatumList().size(), std::size_t(1));
        QVERIFY(!lib.doc.IsModified());
        QCOMPARE(lib.bar->SelectedCount(), 0);
        // Commands the bar leaves to the command manager.
        CommandState state;
        QVERIFY(!lib.bar->QueryCommand(ID_RESULT_EXTRACT, state));
        QVERIFY(!lib.bar->QueryCommand(ID_RESULT_CLEAR, state));
    }

    void TheMenuOpensOverTheRowsOrFromTheKeyboardOnly()
    {
        Library lib;
        lib.Search(lib.a);
        QMenu menu;
        menu.addAction(QStringLiteral("entry"));
        lib.bar->SetContextMenu(&menu);
        QSignalSpy shown(&menu, &QMenu::aboutToShow);
        CEntryListView* view = lib.bar->ResultList();
        struct Place {
            QWidget* widget;
            QPoint at;
            QContextMenuEvent::Reason reason;
            bool opens;
        };
        const Place places[] = {
            { view->viewport(), QPoint(10, 5), QContextMenuEvent::Mouse, true },
            { view->header(), QPoint(10, 5), QContextMenuEvent::Mouse, false },
            { view, QPoint(0, 0), QContextMenuEvent::Mouse, false }, // the frame
            { view, QPoint(0, 0), QContextMenuEvent::Keyboard, true },
        };
        for (const Place& p : places) {
            shown.clear();
            QContextMenuEvent event(p.reason, p.at, p.widget->mapToGlobal(p.at));
            QCoreApplication::sendEvent(p.widget, &event);
            QCOMPARE(shown.size(), p.opens ? 1 : 0);
            menu.hide();
        }
    }

    void RowsLeaveWithTheirItems()
    {
        Library lib;
        lib.Search(lib.a); // y x q p
        // A sub-category with a sub-category below it: the rows of both go.
        lib.ClickRow(0);
        lib.ClickRow(2, Qt::ControlModifier);
        QVERIFY(lib.doc.DeleteSubCategory(lib.a, lib.a2));
        QCOMPARE(lib.Rows(), std::vector<CDatum*>({ lib.y, lib.x, lib.p }));
        QCOMPARE(lib.bar->SelectedItems(), std::vector<CDatum*>({ lib.y }));

        // Data items deleted from a list.
        CItem* going[] = { lib.x, lib.a1 };
        QCOMPARE(lib.doc.DeleteEntries(lib.a, going), std::size_t(2));
        QCOMPARE(lib.Rows(), std::vector<CDatum*>({ lib.y }));

        // A root; then nothing is left.
        lib.Search(lib.b);
        QVERIFY(lib.doc.DeleteRoot(lib.b));
        QCOMPARE(lib.bar->RowCount(), 0);
    }

    void ManyScatteredRowsLeaveInOnePass()
    {
        // Two categories whose items alternate in the rows: removing one
        // category takes every other row.
        Library lib;
        std::vector<CDatum*> rows;
        for (int i = 0; i < 200; ++i)
            rows.push_back(Item(i % 2 ? lib.a1 : lib.b, "n", "txt", Size32(i)));
        lib.bar->SetResults(rows);
        lib.bar->ExecuteCommand(ID_EDIT_SELECT_ALL);
        QVERIFY(lib.doc.DeleteSubCategory(lib.a, lib.a1));
        QCOMPARE(lib.bar->RowCount(), 100);
        for (int r = 0; r < 100; ++r)
            QCOMPARE(lib.bar->ItemAt(r), rows[static_cast<std::size_t>(2 * r)]);
    }

    void ANewOrOpenedLibraryEmptiesTheBar()
    {
        Library lib;
        QTemporaryDir dir;
        const std::string path = QFile::encodeName(dir.filePath(QStringLiteral("lib.dli"))).toStdString();
        lib.doc.OnSaveDocument(path);
        lib.Search(lib.a);
        lib.doc.OnOpenDocument(path);
        QCOMPARE(lib.bar->RowCount(), 0);

        lib.Search(lib.doc.GetRootList()[0]);
        QCOMPARE(lib.bar->RowCount(), 4);
        lib.doc.OnNewDocument();
        QCOMPARE(lib.bar->RowCount(), 0);
    }

    void ColumnWidthsComeFromAndGoToTheProfile()
    {
        Library lib;
        QTemporaryDir dir;
        QSettings profile(dir.filePath(QStringLiteral("Oakbrim.ini")), QSettings::IniFormat);
        profile.setValue(QStringLiteral("OutPutBarStatus/Column0"), 200);
        profile.setValue(QStringLiteral("OutPutBarStatus/Column1"), QStringLiteral("wide"));
        profile.setValue(QStringLiteral("OutPutBarStatus/Column2"), -40);
        profile.setValue(QStringLiteral("OutPutBarStatus/Column3"), 999999);
        COutputBar bar;
        bar.LoadColumnWidths(profile);
        QHeaderView* head = bar.ResultList()->header();
        QList<int> widths;
        for (int c = 0; c < kEntryColumnCount; ++c)
            widths.append(head->sectionSize(c));
        QCOMPARE(widths, QList<int>({ 200, 120, 120, 120, 120 }));

        head->resizeSection(4, 333);
        bar.SaveColumnWidths(profile);
        QCOMPARE(profile.value(QStringLiteral("OutPutBarStatus/Column4")).toInt(), 333);
        QCOMPARE(profile.value(QStringLiteral("OutPutBarStatus/Column1")).toInt(), 120);
    }

    void GroupsOfCopiesStayTogetherThroughSortsAndRemovals()
    {
        Library lib;
        // Two groups by hand: x with z, then y with q.
        DuplicateGroups found;
        found.items = { lib.x, lib.z, lib.y, lib.q };
        found.starts = { 0, 2 };
        lib.bar->SetDuplicates(found);
        QCOMPARE(lib.Status(), QString::fromUtf8("重复文件 2 组，共 4 个文件，多占 400 Byte"));
        CEntryListModel* model = lib.bar->ResultModel();
        auto layout = [&] {
            QString text;
            for (int r = 0; r < model->RowCount(); ++r)
                text += QString::fromStdString(model->EntryAt(r)->m_strName.str())
                    + QString::number(model->GroupOf(r))
                    + (model->index(r, 2).data(Qt::BackgroundRole).isValid() ? QStringLiteral("* ")
                                                                             : QStringLiteral(" "));
            return text.trimmed();
        };
        QCOMPARE(layout(), QStringLiteral("x1 z1 y2* q2*"));

        // A group takes the place of its first row in the column's order.
        lib.ClickTitle(kColumnName);
        QCOMPARE(layout(), QStringLiteral("q2 y2 x1* z1*"));
        lib.ClickTitle(kColumnName);
        QCOMPARE(layout(), QStringLiteral("z1 x1 y2* q2*"));
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(lib.bar->ResultList());
        QCOMPARE(table->tableInterface()->cellAt(2, kColumnName)->text(QAccessible::Description),
            QString::fromUtf8("重复文件第 2 组"));

        // Rows of items that go, and rows removed by hand, take their group
        // along; the shading starts again from the top.
        CItem* const gone[] = { lib.x };
        lib.doc.DeleteEntries(lib.a, gone);
        QCOMPARE(layout(), QStringLiteral("z1 y2* q2*"));
        lib.ClickRow(0);
        QVERIFY(lib.bar->ExecuteCommand(ID_RESULT_DELETE));
        QCOMPARE(layout(), QStringLiteral("y2 q2"));
        QCOMPARE(lib.Status(), QString::fromUtf8("重复文件 2 组，共 4 个文件，多占 400 Byte"));

        // Search results are not grouped.
        lib.Search(lib.a);
        QCOMPARE(model->GroupOf(0), 0u);
        QVERIFY(!model->index(0, 0).data(Qt::AccessibleDescriptionRole).isValid());
    }

    void AssistiveTechnologyReadsTheShownTexts()
    {
        Library lib;
        lib.Search(lib.a);
        CEntryListView* view = lib.bar->ResultList();
        view->doItemsLayout();
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(view);
        QVERIFY(table && table->tableInterface());
        QCOMPARE(table->text(QAccessible::Name), view->accessibleName());
        QAccessibleInterface* cell = table->tableInterface()->cellAt(0, kColumnName);
        QVERIFY(cell);
        QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("y.txt"));
        cell = table->tableInterface()->cellAt(3, kColumnSize);
        QVERIFY(cell);
        QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("500 Byte"));
    }
};

TESSARY_GUI_TEST_MAIN(OutputBarTest)
#include "OutputBarTest.moc"
