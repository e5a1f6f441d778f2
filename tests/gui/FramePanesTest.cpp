// The two panes inside the main window: keys and toolbar commands reach the
// active pane, context menus are the main menu's popups, the filter field
// filters, and the column widths live in the profile.

#include "MainWindowTestSupport.h"

#include "CategoryView.h"
#include "CommandRouter.h"
#include "Datum.h"
#include "MainFrame.h"
#include "ResourceIds.h"
#include "TessaryView.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QTimer>

using namespace tessary;
using test::App;

class FramePanesTest : public test::CMainWindowTest {
    Q_OBJECT
private:
    // Starts with a library of roots "alpha" (holding a.txt, b.txt and the
    // sub-category "inner") and "beta".
    void Start()
    {
        {
            CTessaryDoc doc;
            doc.OnNewDocument();
            auto* alpha = new CCustomCategory("alpha");
            alpha->AddSubCategory(new CCustomCategory("inner"));
            for (const char* name : { "b", "a" }) {
                auto* d = new CCustomDatum;
                d->m_strName = name;
                d->m_strExtension = "txt";
                alpha->AddDatum(d);
            }
            doc.AddRoot(alpha);
            doc.AddRoot(new CCustomCategory("beta"));
            doc.OnSaveDocument(QFile::encodeName(Path("lib.dli")).toStdString());
        }
        StartOn("lib.dli");
    }
    void Focus(QWidget* pane)
    {
        pane->setFocus();
        QTRY_VERIFY(pane->hasFocus());
    }

private Q_SLOTS:
    void init() { SetUpCase(); }
    void cleanup() { TearDownCase(); }

    void DeleteKeyDeletesInTheActivePane()
    {
        Start();
        Tree().RevealEntry(Root(0));
        Focus(&List());
        List().selectionModel()->select(
            List().model()->index(1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        Frame().UpdateCommandUI();
        m_prompts.yesNoAnswers.push_back(true);
        QTest::keyClick(&List(), Qt::Key_Delete);
        QCOMPARE(m_prompts.questions.size(), 1);
        QCOMPARE(Root(0)->GetDatumList().size(), std::size_t(1));
        QVERIFY(Frame().windowTitle().endsWith(QStringLiteral(" *")));

        Focus(&Tree());
        Tree().setCurrentIndex(Tree().RowOf(Root(1)));
        Frame().UpdateCommandUI();
        m_prompts.yesNoAnswers.push_back(true);
        QTest::keyClick(&Tree(), Qt::Key_Delete);
        QCOMPARE(m_prompts.questions.size(), 2);
        QCOMPARE(Doc().GetRootCount(), std::size_t(1));
    }

    void ToolbarCommandsFollowTheActivePaneAndItsSelection()
    {
        Start();
        CCommandRouter& router = Frame().Router();
        Tree().RevealEntry(Root(0));
        Focus(&List());
        Frame().UpdateCommandUI();
        for (int id : { ID_ITEM_DELETE, ID_ITEM_EDIT, ID_MOVE_UP, ID_MOVE_DOWN })
            QVERIFY2(!router.Action(id)->isEnabled(), qPrintable(QString::number(id)));
        List().selectionModel()->select(
            List().model()->index(1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        Frame().UpdateCommandUI();
        QVERIFY(router.Action(ID_ITEM_DELETE)->isEnabled());
        QVERIFY(router.Action(ID_ITEM_EDIT)->isEnabled());
        QVERIFY(!router.Action(ID_MOVE_UP)->isEnabled()); // above it is a sub-category
        QVERIFY(router.Action(ID_MOVE_DOWN)->isEnabled());
        QVERIFY(router.Execute(ID_MOVE_DOWN));
        QCOMPARE(List().EntryAt(2)->m_strName.str(), std::string("a"));

        // In the tree, move has no handler; rename (32772) has one.
        Focus(&Tree());
        Frame().UpdateCommandUI();
        QVERIFY(!router.Action(ID_MOVE_DOWN)->isEnabled());
        QVERIFY(router.Action(ID_CATEGORY_RENAME)->isEnabled());
        QVERIFY(router.Execute(ID_CATEGORY_RENAME));
        QVERIFY(Tree().findChild<QLineEdit*>());
    }

    void ContextMenusAreTheMainMenusPopupsUpToDate()
    {
        Start();
        QStringList shown;
        bool renameEnabled = false;
        auto closeSoon = [&] {
            QTimer::singleShot(0, this, [&] {
                if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                    shown.append(menu->title());
                    if (QAction* rename = Frame().Router().FindAction(ID_CATEGORY_RENAME))
                        renameEnabled = rename->isEnabled();
                    menu->close();
                }
            });
        };
        Focus(&Tree());
        const QRect row = Tree().visualRect(Tree().RowOf(Root(1)));
        closeSoon();
        QContextMenuEvent onTree(
            QContextMenuEvent::Mouse, row.center(), Tree().viewport()->mapToGlobal(row.center()));
        QCoreApplication::sendEvent(Tree().viewport(), &onTree);
        QCOMPARE(Doc().GetCurrentCategory(), Root(1));
        QVERIFY(renameEnabled); // brought up to date before it opened

        closeSoon();
        QContextMenuEvent onList(
            QContextMenuEvent::Mouse, QPoint(5, 5), List().viewport()->mapToGlobal(QPoint(5, 5)));
        QCoreApplication::sendEvent(List().viewport(), &onList);
        QCOMPARE(shown, QStringList({ QString::fromUtf8("类别(&C)"), QString::fromUtf8("资料(&D)") }));
    }

    void EnterInTheFilterFieldFilters()
    {
        Start();
        Tree().RevealEntry(Root(0));
        QCOMPARE(List().RowCount(), 3);
        QTest::keyClicks(Frame().FilterField(), QStringLiteral("B.T"));
        QTest::keyClick(Frame().FilterField(), Qt::Key_Return);
        QCOMPARE(List().RowCount(), 1);
        QCOMPARE(List().EntryAt(0)->m_strName.str(), std::string("b"));
    }

    void ColumnWidthsSurviveARestart()
    {
        Start();
        List().header()->resizeSection(3, 77);
        Doc().SetModifiedFlag(false);
        QVERIFY(App().ExitInstance());
        QSettings profile(Path("Oakbrim.ini"), QSettings::IniFormat);
        QCOMPARE(profile.value(QStringLiteral("RightViewStatus/Column3")).toInt(), 77);
        QCOMPARE(profile.value(QStringLiteral("RightViewStatus/Column0")).toInt(), 120);
        Start();
        QCOMPARE(List().header()->sectionSize(3), 77);
    }

    void ANewLibraryEmptiesBothPanes()
    {
        Start();
        Tree().RevealEntry(Root(0));
        QVERIFY(Frame().Router().Execute(ID_FILE_NEW));
        QCOMPARE(Tree().model()->rowCount(), 0);
        QCOMPARE(List().RowCount(), 0);
        QVERIFY(List().ShowsRoots());
    }
};

TESSARY_GUI_TEST_MAIN(FramePanesTest)
#include "FramePanesTest.moc"
