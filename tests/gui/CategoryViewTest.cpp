// The category tree: lazy rows and the row map, selection and the current
// category, revealing, deleting, swapping, renaming and drag and drop.

#include "ViewsTestSupport.h"

#include "ResourceIds.h"

#include <QAbstractItemModelTester>
#include <QContextMenuEvent>
#include <QCursor>
#include <QLineEdit>
#include <QMimeData>
#include <QPixmap>

using namespace tessary;
using namespace tessary::test;

namespace {

// Root "books" with sub-categories novels (holding old, new) and poems, and
// two data items; root "disc", a CD with a folder; root "empty".
struct Library : Panes {
    CCustomCategory* books = Custom("books");
    CCustomCategory* novels = Custom("novels", books);
    CCustomCategory* oldNovels = Custom("old", novels);
    CCustomCategory* newNovels = Custom("new", novels);
    CCustomCategory* poems = Custom("poems", books);
    CCDRomCategory* disc = new CCDRomCategory("disc", "/media/cd");
    CFolderCategory* folder = new CFolderCategory("folder");
    CCustomCategory* empty = Custom("empty");

    Library()
    {
        Item(books, "b", "txt");
        Item(books, "a", "txt");
        disc->AddSubCategory(folder);
        doc.AddRoot(books);
        doc.AddRoot(disc);
        doc.AddRoot(empty);
        doc.SetCurrentCategory(nullptr);
        Start();
    }
};

QModelIndex Row(const Library& lib, const CCategory* c)
{
    return lib.tree->RowOf(c);
}

// Sends a drag event of a dragged category row to the tree at `at`
// (viewport coordinates); true when the tree accepted it.
bool SendDrag(CCategoryView* tree, QEvent::Type type, const QPoint& at)
{
    QMimeData mime;
    mime.setData(QStringLiteral("application/x-tessary-category-row"), QByteArray());
    if (type == QEvent::DragEnter) {
        QDragEnterEvent enter(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(tree->viewport(), &enter);
        return enter.isAccepted();
    }
    if (type == QEvent::Drop) {
        QDropEvent drop(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(tree->viewport(), &drop);
        return drop.isAccepted();
    }
    QDragMoveEvent move(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(tree->viewport(), &move);
    return move.isAccepted();
}

} // namespace

class CategoryViewTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void RowsAreMadeOnlyWhenARowIsExpanded()
    {
        Library lib;
        CCategoryTreeModel* model = lib.TreeModel();
        QCOMPARE(ColumnTexts(model), Strings({ "books", "disc", "empty" }));
        QCOMPARE(lib.TreeModel()->RowMapSize(), std::size_t(3));
        QCOMPARE(lib.tree->accessibleName(), QString::fromUtf8("类别"));
        // An expand button from the count alone; none for a category that
        // holds only data items or nothing.
        QVERIFY(model->hasChildren(Row(lib, lib.books)));
        QCOMPARE(model->rowCount(Row(lib, lib.books)), 0);
        QVERIFY(!model->hasChildren(Row(lib, lib.empty)));
        QVERIFY(!lib.tree->currentIndex().isValid());

        lib.tree->expand(Row(lib, lib.books));
        QCOMPARE(ColumnTexts(model, 0, Row(lib, lib.books)), Strings({ "novels", "poems" }));
        QVERIFY(!model->hasChildren(Row(lib, lib.poems)));
        QCOMPARE(lib.TreeModel()->RowMapSize(), std::size_t(5));
        // Collapsing and expanding again makes nothing new.
        lib.tree->collapse(Row(lib, lib.books));
        lib.tree->expand(Row(lib, lib.books));
        QCOMPARE(lib.TreeModel()->RowMapSize(), std::size_t(5));
        QCOMPARE(model->rowCount(Row(lib, lib.books)), 2);
    }

    void LateRowsFollowTheListOrder()
    {
        Library lib;
        // A new sub-category's row appended before its parent was ever
        // expanded: expanding puts the others in front of it, as in the list.
        auto* third = Custom("third", lib.books);
        QVERIFY(lib.tree->InsertEntryRow(third, Row(lib, lib.books)).isValid());
        QCOMPARE(lib.TreeModel()->rowCount(Row(lib, lib.books)), 1);
        lib.tree->expand(Row(lib, lib.books));
        QCOMPARE(
            ColumnTexts(lib.TreeModel(), 0, Row(lib, lib.books)), Strings({ "novels", "poems", "third" }));
        QCOMPARE(lib.TreeModel()->RowMapSize(), std::size_t(6));
    }

    void ModelStaysConsistentThroughEveryRowOperation()
    {
        Library lib;
        // The tester fetches every row it can and checks the model after
        // each change; the steps are those of the commands, model first.
        // (It cannot follow a lazy model through a reset: refills are
        // checked elsewhere.)
        QAbstractItemModelTester tester(
            lib.TreeModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        lib.Select(lib.oldNovels);
        QVERIFY(lib.doc.SwapEntries(lib.novels, lib.poems));
        lib.tree->SwapEntryRows(lib.novels, lib.poems);
        lib.tree->SwapEntryRows(lib.poems, lib.novels);
        lib.tree->SwapEntryRows(lib.books, lib.empty);
        QVERIFY(lib.doc.DeleteSubCategory(lib.novels, lib.newNovels));
        lib.tree->DeleteEntryRow(lib.newNovels);
        QVERIFY(lib.tree->BeginCategoryDrag(Row(lib, lib.oldNovels)));
        QVERIFY(lib.tree->DropDraggedCategory(Row(lib, lib.poems)));
        lib.tree->EndCategoryDrag();
        QVERIFY(lib.doc.DeleteRoot(lib.disc));
        lib.tree->RemoveEntryRow(lib.disc);
        QVERIFY(RowMapIsExact(*lib.tree));
        QVERIFY(!Row(lib, lib.folder).isValid());
    }

    void SelectingARowMakesItCurrentAndFillsTheList()
    {
        Library lib;
        // Right after opening the list shows the roots.
        QVERIFY(lib.list->ShowsRoots());
        QCOMPARE(ColumnTexts(lib.ListModel()), Strings({ "books", "disc", "empty" }));
        // The focus alone picks no category.
        lib.tree->setFocus();
        QTRY_VERIFY(lib.tree->hasFocus());
        QVERIFY(!lib.tree->currentIndex().isValid());
        QVERIFY(lib.list->ShowsRoots());

        lib.tree->setCurrentIndex(Row(lib, lib.books));
        QCOMPARE(lib.doc.GetCurrentCategory(), lib.books);
        QCOMPARE(lib.tree->SelectedCategory(), lib.books);
        QVERIFY(!lib.tree->SelectedRowHasParent());
        QCOMPARE(ColumnTexts(lib.ListModel()), Strings({ "novels", "poems", "a.txt", "b.txt" }));

        // A Ctrl+click on the selected row does not leave it unselected.
        const QRect r = lib.tree->visualRect(Row(lib, lib.books));
        QTest::mouseClick(lib.tree->viewport(), Qt::LeftButton, Qt::ControlModifier, r.center());
        QVERIFY(lib.tree->selectionModel()->isSelected(Row(lib, lib.books)));

        // A refill from elsewhere: collapsed rows, nothing selected.
        lib.doc.UpdateAllViews(nullptr);
        QVERIFY(!lib.tree->currentIndex().isValid());
        QCOMPARE(lib.TreeModel()->rowCount(Row(lib, lib.books)), 0);
    }

    void RevealMakesTheRowsOnTheWayAndSelects()
    {
        Library lib;
        lib.tree->RevealEntry(lib.newNovels);
        QCOMPARE(lib.tree->SelectedCategory(), lib.newNovels);
        QCOMPARE(lib.doc.GetCurrentCategory(), lib.newNovels);
        QVERIFY(lib.tree->isExpanded(Row(lib, lib.books)));
        QVERIFY(lib.tree->isExpanded(Row(lib, lib.novels)));
        QVERIFY(lib.tree->SelectedRowHasParent());
        QCOMPARE(lib.tree->SelectedParentCategory(), lib.novels);
        QCOMPARE(lib.TreeModel()->RowMapSize(), std::size_t(7));
    }

    void DeletingRowsMovesTheSelectionAndKeepsTheMapExact()
    {
        Library lib;
        lib.Select(lib.oldNovels);
        // The selected row goes: the next sibling takes over.
        QVERIFY(lib.doc.DeleteSubCategory(lib.novels, lib.oldNovels));
        lib.tree->RemoveEntryRow(lib.oldNovels);
        QCOMPARE(lib.tree->SelectedCategory(), lib.newNovels);
        QCOMPARE(lib.doc.GetCurrentCategory(), lib.newNovels);
        // The last of its siblings: the previous one, else the parent.
        lib.Select(lib.poems);
        QVERIFY(lib.doc.DeleteSubCategory(lib.books, lib.poems));
        lib.tree->DeleteEntryRow(lib.poems);
        QCOMPARE(lib.tree->SelectedCategory(), lib.novels);
        lib.tree->setCurrentIndex(Row(lib, lib.newNovels));
        QVERIFY(lib.doc.DeleteSubCategory(lib.novels, lib.newNovels));
        lib.tree->DeleteEntryRow(lib.newNovels);
        QCOMPARE(lib.tree->SelectedCategory(), lib.novels);
        QVERIFY(RowMapIsExact(*lib.tree));
        // A selected row's ancestor goes: the selection leaves the subtree.
        auto* deep = Custom("deep", lib.novels);
        lib.Select(deep);
        QVERIFY(lib.doc.DeleteSubCategory(lib.books, lib.novels));
        lib.tree->DeleteEntryRow(lib.novels);
        QCOMPARE(lib.tree->SelectedCategory(), lib.books);
        QCOMPARE(lib.doc.GetCurrentCategory(), lib.books);
        QCOMPARE(lib.TreeModel()->RowMapSize(), std::size_t(3));
        QVERIFY(RowMapIsExact(*lib.tree));
        // A category without a row changes nothing.
        lib.tree->DeleteEntryRow(lib.novels);
        QCOMPARE(lib.TreeModel()->RowMapSize(), std::size_t(3));
    }

    void DeletingTheLastRootLeavesNoCurrentCategory()
    {
        Library lib;
        for (CCategory* root : { static_cast<CCategory*>(lib.books), static_cast<CCategory*>(lib.disc),
                 static_cast<CCategory*>(lib.empty) }) {
            lib.Select(root);
            lib.prompts.yesNoAnswers.push_back(true);
            QVERIFY(lib.tree->ExecuteCommand(ID_ITEM_DELETE));
        }
        QCOMPARE(lib.doc.GetRootCount(), std::size_t(0));
        QCOMPARE(lib.doc.GetCurrentCategory(), nullptr);
        QCOMPARE(lib.ListModel()->RowCount(), 0);
        QCOMPARE(lib.TreeModel()->RowMapSize(), std::size_t(0));
        QCOMPARE(lib.prompts.questions.value(0), QString::fromUtf8("你确信要删除吗？"));
        CommandState state;
        QVERIFY(lib.tree->QueryCommand(ID_ITEM_DELETE, state));
        QVERIFY(!state.enabled);
    }

    void DeleteCommandsAskFirstAndPickByTheRow()
    {
        Library lib;
        lib.Select(lib.novels);
        // No: nothing changes, not even the mark.
        QVERIFY(lib.tree->ExecuteCommand(ID_ITEM_DELETE));
        QCOMPARE(lib.books->GetSubCategoryList().size(), std::size_t(2));
        QVERIFY(!lib.doc.IsModified());

        // Yes on a sub-category: gone with its subtree; the parent row shows
        // the smaller count; the next row is current.
        lib.prompts.yesNoAnswers.push_back(true);
        QVERIFY(lib.tree->ExecuteCommand(ID_ITEM_DELETE));
        QCOMPARE(lib.books->GetSubCategoryList().size(), std::size_t(1));
        QCOMPARE(lib.tree->SelectedCategory(), lib.poems);
        QCOMPARE(lib.doc.GetCurrentCategory(), lib.poems);
        QCOMPARE(lib.TreeModel()->RowMapSize(), std::size_t(4)); // books, poems, disc, empty
        QVERIFY(RowMapIsExact(*lib.tree));
        QVERIFY(lib.doc.IsModified());
        QCOMPARE(lib.doc.GetRootCount(), std::size_t(3));
    }

    void SwappedRowsKeepTheirExpandedStates()
    {
        Library lib;
        lib.Select(lib.books);
        lib.tree->expand(Row(lib, lib.novels));
        QVERIFY(lib.doc.SwapEntries(lib.novels, lib.poems));
        lib.tree->SwapEntryRows(lib.novels, lib.poems);
        QCOMPARE(ColumnTexts(lib.TreeModel(), 0, Row(lib, lib.books)), Strings({ "poems", "novels" }));
        QVERIFY(lib.tree->IsRowExpanded(lib.novels));
        QVERIFY(!lib.tree->IsRowExpanded(lib.poems));
        QCOMPARE(ColumnTexts(lib.TreeModel(), 0, Row(lib, lib.novels)), Strings({ "old", "new" }));
        // Roots three apart, one of them holding the caret.
        QVERIFY(lib.doc.SwapEntries(lib.books, lib.empty));
        lib.tree->SwapEntryRows(lib.books, lib.empty);
        QCOMPARE(ColumnTexts(lib.TreeModel()), Strings({ "empty", "disc", "books" }));
        QCOMPARE(lib.tree->SelectedCategory(), lib.books);
        QVERIFY(lib.tree->IsRowExpanded(lib.books));
        QVERIFY(lib.tree->IsRowExpanded(lib.novels));
        QVERIFY(RowMapIsExact(*lib.tree));
    }

    void RenameStartsFromTheCommandAndNeverFromF2()
    {
        Library lib;
        lib.Select(lib.poems);
        lib.tree->setFocus();
        QTest::keyClick(lib.tree, Qt::Key_F2);
        QVERIFY(!lib.tree->findChild<QLineEdit*>());

        CommandState state;
        QVERIFY(lib.tree->QueryCommand(ID_CATEGORY_RENAME, state) && state.enabled);
        QVERIFY(lib.tree->ExecuteCommand(ID_CATEGORY_RENAME));
        auto* editor = lib.tree->findChild<QLineEdit*>();
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("poems"));
        editor->setText(QString::fromUtf8("诗歌"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(Name(lib.poems), QString::fromUtf8("诗歌"));
        QVERIFY(lib.doc.IsModified());

        // An empty name is a name; Escape changes nothing.
        lib.tree->ExecuteCommand(ID_CATEGORY_RENAME);
        editor = lib.tree->findChild<QLineEdit*>();
        editor->clear();
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(lib.poems->m_strName.empty());
        lib.doc.SetModifiedFlag(false);
        lib.tree->ExecuteCommand(ID_CATEGORY_RENAME);
        editor = lib.tree->findChild<QLineEdit*>();
        editor->setText(QStringLiteral("never"));
        QTest::keyClick(editor, Qt::Key_Escape);
        QTRY_VERIFY(!lib.tree->findChild<QLineEdit*>());
        QVERIFY(lib.poems->m_strName.empty());
        QVERIFY(!lib.doc.IsModified());
    }

    void EditGoesThroughTheDialogOrRenamesInPlace()
    {
        Library lib;
        CFakeEntryServices services;
        SetEntryServices(&services);
        lib.Select(lib.books);
        QVERIFY(lib.tree->ExecuteCommand(ID_ITEM_EDIT));
        QVERIFY(lib.tree->findChild<QLineEdit*>()); // a custom category: in place
        QCOMPARE(services.dialogs, 0);
        QTest::keyClick(lib.tree->findChild<QLineEdit*>(), Qt::Key_Escape);
        QTRY_VERIFY(!lib.tree->findChild<QLineEdit*>());

        lib.Select(lib.disc);
        services.answer = 2; // cancelled
        lib.tree->ExecuteCommand(ID_ITEM_EDIT);
        QCOMPARE(services.dialogs, 1);
        QVERIFY(!lib.doc.IsModified());
        services.answer = -1; // no dialog for the kind: as cancelled
        lib.tree->ExecuteCommand(ID_ITEM_EDIT);
        QVERIFY(!lib.doc.IsModified());

        services.answer = 1;
        services.edit = [](CItem& item) { item.m_strName = "renamed"; };
        QSignalSpy changed(lib.TreeModel(), &QAbstractItemModel::dataChanged);
        lib.tree->ExecuteCommand(ID_ITEM_EDIT);
        QVERIFY(lib.doc.IsModified());
        QCOMPARE(Row(lib, lib.disc).data().toString(), QStringLiteral("renamed"));
        QVERIFY(!changed.isEmpty());
        SetEntryServices(nullptr);
    }

    void DropsMoveCategoriesInThreeWays()
    {
        Library lib;
        lib.Select(lib.novels);
        // Between categories: a new collapsed row at the end of the target's.
        QVERIFY(lib.tree->BeginCategoryDrag(Row(lib, lib.novels)));
        QCOMPARE(lib.doc.GetCurrentCategory(), lib.novels); // dragging selects
        QCOMPARE(lib.tree->DropMoveFor(lib.tree->DraggedRow(), Row(lib, lib.empty)),
            CCategoryView::DropMove::BetweenCategories);
        QVERIFY(lib.tree->DropDraggedCategory(Row(lib, lib.empty)));
        lib.tree->EndCategoryDrag();
        QCOMPARE(lib.novels->GetParent(), lib.empty);
        QCOMPARE(ColumnTexts(lib.TreeModel(), 0, Row(lib, lib.empty)), Strings({ "novels" }));
        QVERIFY(!lib.tree->IsRowExpanded(lib.novels));
        QVERIFY(lib.TreeModel()->hasChildren(Row(lib, lib.novels)));
        QVERIFY(!Row(lib, lib.oldNovels).isValid()); // made again on expanding
        QCOMPARE(lib.TreeModel()->rowCount(Row(lib, lib.books)), 1);
        QVERIFY(lib.doc.IsModified());
        lib.tree->expand(Row(lib, lib.novels));
        QCOMPARE(ColumnTexts(lib.TreeModel(), 0, Row(lib, lib.novels)), Strings({ "old", "new" }));

        // A sub-category released on the empty area below the last row: the
        // last root, without a parent.
        QVERIFY(lib.tree->BeginCategoryDrag(Row(lib, lib.oldNovels)));
        const QPoint below(20, lib.tree->viewport()->height() - 5);
        QVERIFY(!lib.tree->indexAt(below).isValid());
        QVERIFY(SendDrag(lib.tree, QEvent::DragEnter, below));
        QVERIFY(SendDrag(lib.tree, QEvent::DragMove, below));
        QVERIFY(SendDrag(lib.tree, QEvent::Drop, below));
        lib.tree->EndCategoryDrag();
        QCOMPARE(lib.oldNovels->GetParent(), nullptr);
        QCOMPARE(ColumnTexts(lib.TreeModel()), Strings({ "books", "disc", "empty", "old" }));

        // A root into a category.
        QVERIFY(lib.tree->BeginCategoryDrag(Row(lib, lib.oldNovels)));
        QCOMPARE(lib.tree->DropMoveFor(lib.tree->DraggedRow(), Row(lib, lib.poems)),
            CCategoryView::DropMove::RootIntoCategory);
        QVERIFY(lib.tree->DropDraggedCategory(Row(lib, lib.poems)));
        lib.tree->EndCategoryDrag();
        QCOMPARE(lib.oldNovels->GetParent(), lib.poems);
        QCOMPARE(lib.doc.GetRootCount(), std::size_t(3));
        QVERIFY(RowMapIsExact(*lib.tree));
    }

    void DropsThatWouldChangeNothingOrMakeACycleAreRefused()
    {
        Library lib;
        lib.Select(lib.newNovels);
        using Move = CCategoryView::DropMove;
        const QModelIndex novels = Row(lib, lib.novels);
        QCOMPARE(lib.tree->DropMoveFor(novels, novels), Move::None); // its own row
        QCOMPARE(lib.tree->DropMoveFor(novels, Row(lib, lib.newNovels)), Move::None); // below itself
        QCOMPARE(lib.tree->DropMoveFor(novels, Row(lib, lib.books)), Move::None); // its parent
        QCOMPARE(lib.tree->DropMoveFor(novels, Row(lib, lib.disc)), Move::None); // takes no drops
        QCOMPARE(
            lib.tree->DropMoveFor(Row(lib, lib.books), QModelIndex()), Move::None); // a root on empty space
        QCOMPARE(lib.tree->DropMoveFor(Row(lib, lib.books), Row(lib, lib.newNovels)), Move::None);

        // A folder category cannot be dragged at all.
        lib.tree->expand(Row(lib, lib.disc));
        QVERIFY(!(lib.TreeModel()->flags(Row(lib, lib.folder)) & Qt::ItemIsDragEnabled));
        QVERIFY(!lib.tree->BeginCategoryDrag(Row(lib, lib.folder)));

        // Through the drag events: the cursor shows a refusal over the
        // dragged row's own subtree and an acceptance over a custom category,
        // the dragged row's own parent included, where a drop changes
        // nothing. Resting on a row never opens it.
        lib.doc.SetModifiedFlag(false);
        QVERIFY(lib.tree->BeginCategoryDrag(novels));
        const auto at = [&](const CCategory* c) { return lib.tree->visualRect(Row(lib, c)).center(); };
        QVERIFY(SendDrag(lib.tree, QEvent::DragEnter, QPoint(1, 1)));
        QVERIFY(!SendDrag(lib.tree, QEvent::DragMove, at(lib.newNovels)));
        QVERIFY(!lib.tree->DropHighlightRow().isValid());
        QVERIFY(SendDrag(lib.tree, QEvent::DragMove, at(lib.empty)));
        QCOMPARE(lib.tree->DropHighlightRow(), Row(lib, lib.empty));
        QVERIFY(SendDrag(lib.tree, QEvent::DragMove, at(lib.books)));
        QCOMPARE(lib.tree->DropHighlightRow(), Row(lib, lib.books));
        QVERIFY(!SendDrag(lib.tree, QEvent::Drop, at(lib.books)));
        lib.tree->collapse(Row(lib, lib.disc));
        QVERIFY(SendDrag(lib.tree, QEvent::DragEnter, QPoint(1, 1)));
        QVERIFY(!SendDrag(lib.tree, QEvent::DragMove, at(lib.disc))); // takes no drops
        QVERIFY(!lib.tree->DropHighlightRow().isValid());
        QCursor::setPos(lib.tree->viewport()->mapToGlobal(at(lib.disc)));
        QTest::qWait(1000);
        QVERIFY(!lib.tree->IsRowExpanded(lib.disc));
        QVERIFY(!SendDrag(lib.tree, QEvent::Drop, at(lib.newNovels)));
        lib.tree->EndCategoryDrag();
        QCOMPARE(lib.novels->GetParent(), lib.books);
        QVERIFY(!lib.doc.IsModified());
    }

    void RightClickSelectsTheRowAndOpensTheCategoryMenu()
    {
        Library lib;
        lib.Select(lib.books);
        const QPoint onLabel = lib.tree->LabelRect(Row(lib, lib.disc)).center();
        QContextMenuEvent onRow(
            QContextMenuEvent::Mouse, onLabel, lib.tree->viewport()->mapToGlobal(onLabel));
        QCoreApplication::sendEvent(lib.tree->viewport(), &onRow);
        QCOMPARE(lib.contextMenus, QList<int>({ 2 }));
        QCOMPARE(lib.doc.GetCurrentCategory(), lib.disc);
        // On empty space the selection stays.
        const QPoint below(5, lib.tree->viewport()->height() - 5);
        QContextMenuEvent onEmpty(QContextMenuEvent::Mouse, below, lib.tree->viewport()->mapToGlobal(below));
        QCoreApplication::sendEvent(lib.tree->viewport(), &onEmpty);
        QCOMPARE(lib.contextMenus.size(), 2);
        QCOMPARE(lib.doc.GetCurrentCategory(), lib.disc);
    }

    // Where on a row a click lands decides what it does: only the label
    // starts a rename of the selected row, and only the icon or the label
    // lets a right click pick a row; the expand button, the indentation and
    // the blank space beside a short name do neither.
    void ClicksActOnTheLabelOrIconOnly()
    {
        Library lib;
        lib.tree->resize(300, 400);
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::darkYellow);
        lib.tree->SetIconSource([icon = QIcon(pixmap)](int) { return icon; });
        lib.Select(lib.novels); // a sub-category with sub-categories: indented, with an expand button
        const QModelIndex row = Row(lib, lib.novels);
        const QRect cell = lib.tree->visualRect(row);
        const QRect label = lib.tree->LabelRect(row);
        const int y = cell.center().y();
        const int indent = lib.tree->indentation();
        struct Place {
            const char* what;
            QPoint at;
            bool renames;
            bool picks;
        };
        const Place places[] = {
            { "expand button", QPoint(cell.left() - indent / 2, y), false, false },
            { "indentation", QPoint(cell.left() - indent - indent / 2, y), false, false },
            { "beside the label", QPoint(label.right() + 8, y), false, false },
            { "icon", lib.tree->IconRect(row).center(), false, true },
            { "label", label.center(), true, true },
        };
        QVERIFY(label.right() + 8 < cell.right());
        QVERIFY(lib.tree->IconRect(row).right() < label.left());
        QWidget* viewport = lib.tree->viewport();
        for (const Place& p : places) {
            lib.Select(lib.novels);
            lib.tree->setFocus();
            lib.doc.SetModifiedFlag(false);
            QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, p.at);
            QTest::qWait(QApplication::doubleClickInterval() + 100);
            auto* editor = lib.tree->findChild<QLineEdit*>();
            QVERIFY2(bool(editor) == p.renames, p.what);
            if (editor) {
                QTest::keyClick(editor, Qt::Key_Escape);
                QTRY_VERIFY(!lib.tree->findChild<QLineEdit*>());
            }
            QVERIFY2(!lib.doc.IsModified(), p.what);

            // A right click from another selected row: the press selects
            // nothing, the menu picks the row only on its icon or label.
            lib.Select(lib.poems);
            const QPoint at = lib.tree->visualRect(Row(lib, lib.novels)).topLeft() - cell.topLeft() + p.at;
            QTest::mousePress(viewport, Qt::RightButton, Qt::NoModifier, at);
            QCOMPARE(lib.doc.GetCurrentCategory(), lib.poems);
            QContextMenuEvent menu(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
            QCoreApplication::sendEvent(viewport, &menu);
            QTest::mouseRelease(viewport, Qt::RightButton, Qt::NoModifier, at);
            QVERIFY2(lib.doc.GetCurrentCategory() == (p.picks ? lib.novels : lib.poems), p.what);
        }
    }
};

TESSARY_GUI_TEST_MAIN(CategoryViewTest)
#include "CategoryViewTest.moc"
