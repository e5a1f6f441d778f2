// The item list: its rows and column texts, sorting, filtering, moving
// entries, deleting, renaming, double clicks, selection queries, keys and
// the column widths in the profile.

#include "ViewsTestSupport.h"

#include "ColumnSorter.h"
#include "ItemRowPainter.h"
#include "ResourceIds.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QSettings>

#include <ctime>

using namespace tessary;
using namespace tessary::test;

namespace {

constexpr Time32 kTime = 1080000000; // 2004-03-23 00:00:00 UTC

// Root "r" with sub-categories s1 and s2 (s2 holding deep) and the data items
// a.txt, big.iso, noext and xabcx.doc, in this order; a second root "other".
struct Library : Panes {
    CCustomCategory* r = Custom("r");
    CCustomCategory* s1 = Custom("s1", r);
    CCustomCategory* s2 = Custom("s2", r);
    CCustomCategory* deep = Custom("deep", s2);
    CCustomDatum* x = Item(r, "xabcx", "doc", 5000, -5);
    CCustomDatum* noext = Item(r, "noext", "", 0, 7);
    CCustomDatum* big = Item(r, "big", "iso", 3221225472u, kTime + 60);
    CCustomDatum* a = Item(r, "a", "txt", 1024, kTime);
    CCustomCategory* other = Custom("other");
    std::unique_ptr<QAbstractItemModelTester> tester;

    Library()
    {
        doc.AddRoot(r);
        doc.AddRoot(other);
        doc.SetCurrentCategory(nullptr);
        tester = std::make_unique<QAbstractItemModelTester>(
            ListModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        Start();
    }

    QStringList Names() const { return ColumnTexts(ListModel()); }
    void ClickTitle(int column)
    {
        QHeaderView* head = list->header();
        QTest::mouseClick(head->viewport(), Qt::LeftButton, Qt::NoModifier,
            QPoint(head->sectionViewportPosition(column) + 10, head->height() / 2));
    }
    QRect RowRect(int row) const { return list->visualRect(ListModel()->index(row, 0)); }
    bool Enabled(int id) const
    {
        CommandState state;
        return list->QueryCommand(id, state) && state.enabled;
    }
};

} // namespace

class ItemListTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // "%c" in a fixed zone eight hours east of UTC, without tz files.
        qputenv("TZ", "CST-8");
        tzset();
    }

    void RowsShowTheCategoryInModelOrderWithTheirTexts()
    {
        Library lib;
        // Right after the initial update: the roots; with no current
        // category otherwise nothing.
        QCOMPARE(lib.Names(), Strings({ "r", "other" }));
        QCOMPARE(lib.list->accessibleName(), QString::fromUtf8("资料"));
        lib.doc.UpdateAllViews(nullptr);
        QCOMPARE(lib.ListModel()->RowCount(), 0);

        lib.Select(lib.r);
        QCOMPARE(lib.Names(), Strings({ "s1", "s2", "a.txt", "big.iso", "noext", "xabcx.doc" }));
        QCOMPARE(ColumnTexts(lib.ListModel(), kColumnSize),
            Strings({ "", "", "1024 Byte", "3221225472 Byte", "0 Byte", "5000 Byte" }));
        QCOMPARE(ColumnTexts(lib.ListModel(), kColumnType),
            Strings({ "分类", "分类", "文档", "文档", "文档", "文档" }));
        QCOMPARE(ColumnTexts(lib.ListModel(), kColumnModified).mid(1, 3),
            Strings({ "", "03/23/04 08:00:00", "03/23/04 08:01:00" }));
        QCOMPARE(ColumnTexts(lib.ListModel(), kColumnLocation).mid(1, 3),
            Strings({ "", "/docs/a.txt", "/docs/big.iso" }));
        QStringList titles;
        for (int c = 0; c < kEntryColumnCount; ++c)
            titles.append(lib.ListModel()->headerData(c, Qt::Horizontal).toString());
        QCOMPARE(titles, Strings({ "名称", "大小", "类型", "最后修改", "位置" }));
        QCOMPARE(lib.list->header()->sectionSize(4), 120);

        // What assistive technology reads is what the row shows.
        lib.list->doItemsLayout();
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(lib.list);
        QVERIFY(table && table->tableInterface());
        QAccessibleInterface* cell = table->tableInterface()->cellAt(3, kColumnSize);
        QVERIFY(cell);
        QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("3221225472 Byte"));
    }

    void ColumnClicksSortAndASecondClickReverses()
    {
        Library lib;
        lib.Select(lib.r);
        lib.SelectListRows({ 3 }); // big.iso
        lib.ClickTitle(kColumnSize);
        // Unsigned sizes; categories count as 0; equal sizes keep their order.
        QCOMPARE(lib.Names(), Strings({ "s1", "s2", "noext", "a.txt", "xabcx.doc", "big.iso" }));
        QCOMPARE(lib.list->SelectedEntries(), std::vector<CItem*>({ lib.big })); // the selection follows
        lib.ClickTitle(kColumnSize);
        QCOMPARE(lib.Names(), Strings({ "big.iso", "xabcx.doc", "a.txt", "s1", "s2", "noext" }));
        lib.ClickTitle(kColumnSize);
        QCOMPARE(lib.Names().first(), QStringLiteral("s1"));
        QVERIFY(lib.list->Sorter().Ascending());

        // Another column starts ascending; names compare without extension.
        lib.ClickTitle(kColumnName);
        QCOMPARE(lib.Names(), Strings({ "a.txt", "big.iso", "noext", "s1", "s2", "xabcx.doc" }));
        lib.ClickTitle(kColumnModified); // times signed: -5 before 0
        QCOMPARE(lib.Names(), Strings({ "xabcx.doc", "s1", "s2", "noext", "a.txt", "big.iso" }));

        // A refill shows the model order and keeps the sorter's state.
        lib.doc.UpdateAllViews(nullptr);
        QCOMPARE(lib.Names().first(), QStringLiteral("s1"));
        lib.ClickTitle(kColumnModified);
        QCOMPARE(lib.Names(), Strings({ "big.iso", "a.txt", "noext", "s1", "s2", "xabcx.doc" }));
        QCOMPARE(lib.list->Sorter().LastColumn(), int(kColumnModified));
        QVERIFY(!lib.list->Sorter().Ascending());
    }

    void SorterIgnoresColumnsBeyondTheFive()
    {
        CEntryListModel model;
        CColumnSorter sorter(&model);
        sorter.SortByColumn(2);
        sorter.SortByColumn(7);
        QCOMPARE(sorter.LastColumn(), 7);
        QVERIFY(sorter.Ascending());
        sorter.SortByColumn(2); // 7 came between: ascending again
        QVERIFY(sorter.Ascending());
    }

    void FilterFoldsOnlyAsciiLetters()
    {
        Library lib;
        auto* trail = Custom("", lib.r);
        trail->m_strName = "\x81\x41"; // 丄: its second byte is the letter A
        auto* chinese = Custom("文档x", lib.r);
        lib.Select(lib.r);
        lib.list->FilterRows(QStringLiteral("ABC"));
        QCOMPARE(lib.Names(), Strings({ "xabcx.doc" }));
        lib.list->FilterRows(QStringLiteral("TXT")); // the display name includes the extension
        QCOMPARE(lib.Names(), Strings({ "a.txt" }));
        lib.list->FilterRows(QStringLiteral("a"));
        QCOMPARE(lib.Names(), Strings({ "a.txt", "xabcx.doc" }));
        lib.list->FilterRows(QString::fromUtf8("丄"));
        QCOMPARE(lib.list->EntryAt(0), trail);
        lib.list->FilterRows(QString::fromUtf8("文档X"));
        QCOMPARE(lib.list->EntryAt(0), chinese);
        lib.list->FilterRows(QString());
        QCOMPARE(lib.ListModel()->RowCount(), 8);
        // The next refill shows everything; without a current category
        // nothing is shown.
        lib.list->FilterRows(QStringLiteral("zzz"));
        QCOMPARE(lib.ListModel()->RowCount(), 0);
        lib.doc.UpdateAllViews(nullptr);
        QCOMPARE(lib.ListModel()->RowCount(), 8);
        lib.doc.SetCurrentCategory(nullptr);
        lib.list->FilterRows(QString());
        QCOMPARE(lib.ListModel()->RowCount(), 0);
    }

    void MoveUpAndDownFollowTheirRules()
    {
        Library lib;
        lib.Select(lib.r);
        struct Case {
            std::initializer_list<int> rows;
            bool up, down;
        };
        // s1 s2 | a.txt big.iso noext xabcx.doc
        const Case cases[] = {
            { { 0 }, false, true },
            { { 1 }, true, false }, // the last sub-category cannot pass the first data item
            { { 2 }, false, true },
            { { 5 }, true, false },
            { { 2, 3 }, false, false },
            { {}, false, false },
        };
        for (const Case& c : cases) {
            lib.SelectListRows(c.rows);
            QCOMPARE(lib.Enabled(ID_MOVE_UP), c.up);
            QCOMPARE(lib.Enabled(ID_MOVE_DOWN), c.down);
        }

        lib.SelectListRows({ 2 });
        QVERIFY(lib.list->ExecuteCommand(ID_MOVE_DOWN));
        QCOMPARE(lib.Names().mid(2), Strings({ "big.iso", "a.txt", "noext", "xabcx.doc" }));
        QCOMPARE(lib.list->SelectedEntries(), std::vector<CItem*>({ lib.a }));
        QCOMPARE(lib.r->GetDatumList()[1], lib.a);
        QVERIFY(lib.doc.IsModified());
    }

    void MovingASubCategoryMovesItsTreeRowToo()
    {
        Library lib;
        lib.Select(lib.r);
        lib.tree->expand(lib.tree->RowOf(lib.s2));
        lib.SelectListRows({ 1 });
        lib.list->MoveSelected(true);
        QCOMPARE(lib.Names().mid(0, 2), Strings({ "s2", "s1" }));
        QCOMPARE(lib.r->GetSubCategoryList()[0], lib.s2);
        const QModelIndex rRow = lib.tree->RowOf(lib.r);
        QCOMPARE(ColumnTexts(lib.TreeModel(), 0, rRow), Strings({ "s2", "s1" }));
        QVERIFY(lib.tree->IsRowExpanded(lib.s2));
        QVERIFY(!lib.tree->IsRowExpanded(lib.s1));
        QCOMPARE(lib.doc.GetCurrentCategory(), lib.r);

        // After a sort the neighbour on screen is the one that swaps.
        lib.ClickTitle(kColumnName); // a, big, noext, s1, s2, x
        lib.SelectListRows({ 2 });
        lib.list->MoveSelected(false); // noext passes s1? no: a data item and a category
        QCOMPARE(lib.Names().at(2), QStringLiteral("noext"));
        lib.SelectListRows({ 0 });
        lib.list->MoveSelected(false);
        QCOMPARE(lib.r->GetDatumList()[0], lib.big);
        QCOMPARE(lib.r->GetDatumList()[1], lib.a);
    }

    void DeleteRemovesAMixedSelectionEverywhere()
    {
        Library lib;
        lib.Select(lib.r);
        lib.tree->expand(lib.tree->RowOf(lib.s2));
        QVERIFY(lib.tree->RowOf(lib.deep).isValid());
        lib.SelectListRows({ 1, 2, 4 }); // s2, a.txt, noext
        QVERIFY(lib.Enabled(ID_ITEM_DELETE));
        QVERIFY(!lib.Enabled(ID_ITEM_EDIT));

        QVERIFY(lib.list->ExecuteCommand(ID_ITEM_DELETE)); // answered No
        QCOMPARE(lib.ListModel()->RowCount(), 6);
        QVERIFY(!lib.doc.IsModified());

        lib.prompts.yesNoAnswers.push_back(true);
        QVERIFY(lib.list->ExecuteCommand(ID_ITEM_DELETE));
        QCOMPARE(lib.prompts.questions.size(), 2);
        QCOMPARE(lib.Names(), Strings({ "s1", "big.iso", "xabcx.doc" }));
        QCOMPARE(lib.r->GetSubCategoryList().size(), std::size_t(1));
        QCOMPARE(lib.r->GetDatumList().size(), std::size_t(2));
        QVERIFY(!lib.tree->RowOf(lib.deep).isValid());
        QVERIFY(RowMapIsExact(*lib.tree));
        QVERIFY(lib.doc.IsModified());
        QCOMPARE(lib.list->SelectedCount(), 0);

        // The last sub-category goes: the tree row loses its expand button.
        lib.SelectListRows({ 0 });
        lib.prompts.yesNoAnswers.push_back(true);
        lib.list->ExecuteCommand(ID_ITEM_DELETE);
        QVERIFY(!lib.TreeModel()->hasChildren(lib.tree->RowOf(lib.r)));
        QCOMPARE(lib.doc.GetCurrentCategory(), lib.r);
    }

    void DeleteWithoutACurrentCategoryRemovesTheSelectedRoots()
    {
        Library lib;
        QVERIFY(lib.list->ShowsRoots());
        lib.SelectListRows({ 0 });
        lib.prompts.yesNoAnswers.push_back(true);
        QVERIFY(lib.list->ExecuteCommand(ID_ITEM_DELETE));
        QCOMPARE(lib.doc.GetRootCount(), std::size_t(1));
        QCOMPARE(lib.Names(), Strings({ "other" }));
        QCOMPARE(ColumnTexts(lib.TreeModel()), Strings({ "other" }));
        QVERIFY(lib.doc.IsModified());
        // The last one: nothing current, an empty list.
        lib.SelectListRows({ 0 });
        lib.prompts.yesNoAnswers.push_back(true);
        lib.list->ExecuteCommand(ID_ITEM_DELETE);
        QCOMPARE(lib.doc.GetRootCount(), std::size_t(0));
        QCOMPARE(lib.ListModel()->RowCount(), 0);
    }

    void RowsLeaveBeforeTheirEntriesGo()
    {
        Library lib;
        lib.Select(lib.s2);
        QCOMPARE(lib.Names(), Strings({ "deep" }));
        // Whatever deletes through the document, the rows go first.
        CItem* going[] = { lib.deep };
        lib.doc.DeleteEntries(lib.s2, going);
        QCOMPARE(lib.ListModel()->RowCount(), 0);
        lib.Select(lib.r);
        lib.doc.DeleteRoot(lib.r); // the shown category itself
        QCOMPARE(lib.ListModel()->RowCount(), 0);
        QCOMPARE(lib.list->ShownCategory(), nullptr);
        // The tree's rows of what went read nothing until they are deleted.
        const QModelIndex gone = lib.tree->RowOf(lib.r);
        QVERIFY(gone.isValid());
        QVERIFY(!gone.data().isValid());
        QCOMPARE(lib.tree->EntryOf(gone), nullptr);
        QCOMPARE(lib.tree->SelectedCategory(), nullptr);
        lib.tree->RemoveEntryRow(lib.r);
        QCOMPARE(ColumnTexts(lib.TreeModel()), Strings({ "other" }));
        QVERIFY(RowMapIsExact(*lib.tree));
        QCOMPARE(lib.doc.GetCurrentCategory(), lib.other);
    }

    void RenameKeepsTheExtensionOutOfTheName()
    {
        Library lib;
        auto* report = new CFileDatum("report.doc");
        lib.s1->AddDatum(report);
        lib.Select(lib.s1);
        auto rename = [&](const QString& text) {
            QVERIFY(lib.list->BeginRename(report));
            auto* editor = lib.list->findChild<QLineEdit*>();
            QVERIFY(editor);
            editor->setText(text);
            QTest::keyClick(editor, Qt::Key_Return);
            QTRY_VERIFY(!lib.list->findChild<QLineEdit*>());
        };
        QVERIFY(lib.list->BeginRename(report));
        QCOMPARE(lib.list->findChild<QLineEdit*>()->text(), QStringLiteral("report.doc"));
        QTest::keyClick(lib.list->findChild<QLineEdit*>(), Qt::Key_Escape);
        QTRY_VERIFY(!lib.list->findChild<QLineEdit*>());

        rename(QStringLiteral("summary.doc"));
        QCOMPARE(Name(report), QStringLiteral("summary"));
        QCOMPARE(lib.Names(), Strings({ "summary.doc" }));
        QVERIFY(lib.doc.IsModified());
        rename(QStringLiteral("plain"));
        QCOMPARE(Name(report), QStringLiteral("plain"));
        rename(QStringLiteral("notes.txt")); // another extension is part of the name
        QCOMPARE(Name(report), QStringLiteral("notes.txt"));
        QCOMPARE(lib.Names(), Strings({ "notes.txt.doc" }));
        rename(QStringLiteral("final.DOC")); // the item's own extension in another letter case
        QCOMPARE(Name(report), QStringLiteral("final"));
        QCOMPARE(lib.Names(), Strings({ "final.doc" }));
    }

    void RenamingACategoryInTheListRefreshesItsTreeRow()
    {
        Library lib;
        lib.Select(lib.r);
        QSignalSpy treeChanged(lib.TreeModel(), &QAbstractItemModel::dataChanged);
        lib.SelectListRows({ 0 });
        // A custom category has no dialog: 40011 edits its name in place.
        QVERIFY(lib.Enabled(ID_ITEM_EDIT));
        QVERIFY(lib.list->ExecuteCommand(ID_ITEM_EDIT));
        auto* editor = lib.list->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->setText(QStringLiteral("first.doc"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(Name(lib.s1), QStringLiteral("first.doc")); // a category keeps its text whole
        QCOMPARE(lib.tree->RowOf(lib.s1).data().toString(), QStringLiteral("first.doc"));
        bool told = false;
        for (const QList<QVariant>& args : treeChanged)
            told |= args.at(0).value<QModelIndex>() == lib.tree->RowOf(lib.s1);
        QVERIFY(told);
    }

    void EditRunsTheDialogOfKindsThatHaveOne()
    {
        Library lib;
        CFakeEntryServices services;
        SetEntryServices(&services);
        lib.Select(lib.r);
        lib.SelectListRows({ 2 }); // a.txt, a custom data item
        services.answer = -1;
        lib.list->ExecuteCommand(ID_ITEM_EDIT);
        services.answer = 2;
        lib.list->ExecuteCommand(ID_ITEM_EDIT);
        QCOMPARE(services.dialogs, 2);
        QVERIFY(!lib.doc.IsModified());
        QVERIFY(!lib.list->findChild<QLineEdit*>());
        services.answer = 1;
        services.edit = [](CItem& item) { static_cast<CDatum&>(item).m_strExtension = "md"; };
        QSignalSpy changed(lib.ListModel(), &QAbstractItemModel::dataChanged);
        lib.list->ExecuteCommand(ID_ITEM_EDIT);
        QVERIFY(lib.doc.IsModified());
        QCOMPARE(lib.Names().at(2), QStringLiteral("a.md"));
        QCOMPARE(changed.size(), 1);
        SetEntryServices(nullptr);
    }

    void DoubleClickOpensASubCategoryAndNeverRenames()
    {
        Library lib;
        lib.Select(lib.r);
        lib.list->setFocus();
        // On a data item nothing happens, also when it was selected already.
        lib.SelectListRows({ 2 });
        lib.list->setCurrentIndex(lib.ListModel()->index(2, 0));
        QTest::mouseClick(lib.list->viewport(), Qt::LeftButton, Qt::NoModifier, lib.RowRect(2).center());
        QTest::mouseDClick(lib.list->viewport(), Qt::LeftButton, Qt::NoModifier, lib.RowRect(2).center());
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        QVERIFY(!lib.list->findChild<QLineEdit*>());
        QCOMPARE(lib.doc.GetCurrentCategory(), lib.r);

        // On a sub-category: the tree selects it and the list shows it.
        QTest::mouseClick(lib.list->viewport(), Qt::LeftButton, Qt::NoModifier, lib.RowRect(1).center());
        QTest::mouseDClick(lib.list->viewport(), Qt::LeftButton, Qt::NoModifier, lib.RowRect(1).center());
        QCOMPARE(lib.tree->SelectedCategory(), lib.s2);
        QCOMPARE(lib.doc.GetCurrentCategory(), lib.s2);
        QCOMPARE(lib.Names(), Strings({ "deep" }));

        // A single click on the selected row's label renames, once the
        // double-click time has passed; on its icon or beside a short name
        // it does not.
        lib.SelectListRows({ 0 });
        lib.list->setCurrentIndex(lib.ListModel()->index(0, 0));
        const QModelIndex first = lib.ListModel()->index(0, 0);
        const QRect label = CItemRowPainter::LabelRect(
            lib.list->visualRect(first), lib.list->fontMetrics(), first.data().toString());
        for (const QPoint at : { CItemRowPainter::IconRect(lib.list->visualRect(first)).center(),
                 QPoint(label.right() + 4, label.center().y()) }) {
            QTest::mouseClick(lib.list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
            QTest::qWait(QApplication::doubleClickInterval() + 100);
            QVERIFY(!lib.list->findChild<QLineEdit*>());
        }
        QTest::mouseClick(lib.list->viewport(), Qt::LeftButton, Qt::NoModifier, label.center());
        QTRY_VERIFY(lib.list->findChild<QLineEdit*>());
    }

    void SelectionQueriesComeFromTheRanges()
    {
        Library lib;
        for (int i = 0; i < 20000; ++i)
            Item(lib.s1, "n", "dat");
        lib.Select(lib.s1);
        lib.list->selectAll();
        QCOMPARE(lib.list->SelectedCount(), 20000);
        QCOMPARE(lib.list->FirstSelectedRow(), 0);
        QVERIFY(lib.Enabled(ID_ITEM_DELETE));
        QVERIFY(!lib.Enabled(ID_MOVE_DOWN));
        lib.list->selectionModel()->select(
            lib.ListModel()->index(0, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        QCOMPARE(lib.list->SelectedCount(), 19999);
        QCOMPARE(lib.list->FirstSelectedRow(), 1);
        QCOMPARE(lib.list->SelectedRows().size(), std::size_t(19999));

        CItem* target = lib.list->EntryAt(123);
        lib.list->SelectEntry(target);
        QCOMPARE(lib.list->SelectedCount(), 1);
        QCOMPARE(lib.list->SelectionMarkEntry(), target);
        QCOMPARE(lib.list->currentIndex().row(), 123);
        lib.list->SelectEntry(lib.deep); // not shown: nothing selected
        QCOMPARE(lib.list->SelectedCount(), 0);
        QCOMPARE(lib.list->SelectionMarkRow(), -1);
    }

    void DeleteAndF2ReachTheWindowsCommands()
    {
        Library lib;
        lib.Select(lib.r);
        QAction del(lib.window.get()), extract(lib.window.get());
        del.setShortcut(QKeySequence(Qt::Key_Delete));
        extract.setShortcut(QKeySequence(Qt::Key_F2));
        lib.window->addAction(&del);
        lib.window->addAction(&extract);
        QSignalSpy deleted(&del, &QAction::triggered), extracted(&extract, &QAction::triggered);
        lib.SelectListRows({ 2 });
        lib.list->setCurrentIndex(lib.ListModel()->index(2, 0));
        lib.list->setFocus();
        QTRY_VERIFY(lib.list->hasFocus());
        QTest::keyClick(lib.list, Qt::Key_F2);
        QTest::keyClick(lib.list, Qt::Key_Delete);
        QCOMPARE(extracted.size(), 1);
        QCOMPARE(deleted.size(), 1);
        QVERIFY(!lib.list->findChild<QLineEdit*>());
        lib.tree->setFocus();
        QTRY_VERIFY(lib.tree->hasFocus());
        QTest::keyClick(lib.tree, Qt::Key_F2);
        QTest::keyClick(lib.tree, Qt::Key_Delete);
        QCOMPARE(extracted.size(), 2);
        QCOMPARE(deleted.size(), 2);
    }

    void ContextMenuIsTheDataMenuAndKeepsTheSelection()
    {
        Library lib;
        lib.Select(lib.r);
        lib.SelectListRows({ 2, 3 });
        const QPoint at = lib.RowRect(4).center();
        QContextMenuEvent menu(QContextMenuEvent::Mouse, at, lib.list->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(lib.list->viewport(), &menu);
        QCOMPARE(lib.contextMenus, QList<int>({ 3 }));
        QCOMPARE(lib.list->SelectedCount(), 2);
    }

    void ColumnWidthsComeFromAndGoToTheProfile()
    {
        QTemporaryDir dir;
        QSettings profile(dir.filePath(QStringLiteral("Oakbrim.ini")), QSettings::IniFormat);
        profile.setValue(QStringLiteral("RightViewStatus/Column1"), 200);
        profile.setValue(QStringLiteral("RightViewStatus/Column3"), QStringLiteral("wide"));
        profile.setValue(QStringLiteral("RightViewStatus/Column4"), -7);
        Library lib;
        lib.list->LoadColumnWidths(profile);
        QCOMPARE(lib.list->header()->sectionSize(0), 120);
        QCOMPARE(lib.list->header()->sectionSize(1), 200);
        QCOMPARE(lib.list->header()->sectionSize(3), 120);
        QCOMPARE(lib.list->header()->sectionSize(4), 120);
        lib.list->header()->resizeSection(2, 90);
        lib.list->SaveColumnWidths(profile);
        QCOMPARE(profile.value(QStringLiteral("RightViewStatus/Column2")).toInt(), 90);
        QCOMPARE(profile.value(QStringLiteral("RightViewStatus/Column4")).toInt(), 120);
    }
};

TESSARY_GUI_TEST_MAIN(ItemListTest)
#include "ItemListTest.moc"
