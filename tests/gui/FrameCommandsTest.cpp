// The category and item commands in the main window: menus, toolbar and
// keys reach them through the frame's route, and their entries are enabled
// as the selection allows after each step.

#include "MainWindowTestSupport.h"

#include "CategoryView.h"
#include "CommandDialogs.h"
#include "CommandRouter.h"
#include "Datum.h"
#include "ImportDialogs.h"
#include "MainFrame.h"
#include "ResourceIds.h"
#include "TessaryView.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>

using namespace tessary;
using test::App;

class FrameCommandsTest : public test::CMainWindowTest {
    Q_OBJECT
private:
    bool Enabled(int id) const
    {
        Frame().UpdateCommandUI();
        return Router().Action(id)->isEnabled();
    }
    void SelectListRow(int row)
    {
        List().setFocus();
        List().selectionModel()->setCurrentIndex(
            List().model()->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

private Q_SLOTS:
    void init()
    {
        SetUpCase();
        test::WriteLibrary(Path("lib.dli"), { QStringLiteral("alpha") });
        StartOn("lib.dli");
    }
    void cleanup()
    {
        SetDialogRunner({});
        TearDownCase();
    }

    void importedFolderIsExtractedViewedAndClearedFromTheMenusAndKeys()
    {
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("docs/inner")));
        test::WriteBytes(Path("docs/note.txt"), "hello");
        SetDialogRunner([this](QDialog& d) {
            auto& dlg = dynamic_cast<CImportDlgBase&>(d);
            dlg.m_strName = "docs";
            dlg.m_strSource = DiskToGb(QFile::encodeName(Path("docs")).toStdString());
            dlg.m_bMakeRoot = true;
            return 1;
        });
        // Nothing selected yet: only creating and importing.
        QVERIFY(Enabled(ID_IMPORT_FOLDER) && Enabled(ID_CATEGORY_NEW_ROOT));
        QVERIFY(!Enabled(ID_CATEGORY_NEW_SUB) && !Enabled(ID_DATUM_NEW) && !Enabled(ID_EXTRACT_CONTENT));

        Router().Action(ID_IMPORT_FOLDER)->trigger();
        CCategory* docs = Doc().GetRootList().back();
        QCOMPARE(docs->m_strName.str(), std::string("docs"));
        QVERIFY(Tree().SelectedCategory() == docs);
        QVERIFY(Frame().windowTitle().endsWith(QStringLiteral(" *")));
        // An imported folder takes nothing new but can be exported and searched.
        QVERIFY(!Enabled(ID_CATEGORY_NEW_SUB) && !Enabled(ID_DATUM_NEW) && !Enabled(ID_LIBRARY_IMPORT));
        QVERIFY(Enabled(ID_CATEGORY_DELETE));

        // Rows: inner, note.txt.
        QCOMPARE(List().RowCount(), 2);
        SelectListRow(0);
        QVERIFY(Enabled(ID_EXPLORE) && !Enabled(ID_OPEN_FILE) && !Enabled(ID_EXTRACT_CONTENT));
        SelectListRow(1);
        QVERIFY(Enabled(ID_OPEN_FILE) && Enabled(ID_EXTRACT_CONTENT));
        QVERIFY(!Enabled(ID_VIEW_CONTENT) && !Enabled(ID_CLEAR_CONTENT));
        QTest::keyClick(&List(), Qt::Key_F2);
        auto* note = static_cast<CDatum*>(List().EntryAt(1));
        QCOMPARE(note->m_strContent.str(), std::string("hello"));
        QVERIFY(Enabled(ID_VIEW_CONTENT) && Enabled(ID_CLEAR_CONTENT));

        Router().Action(ID_CLEAR_CONTENT)->trigger();
        QVERIFY(note->m_strContent.empty());
        QVERIFY(!Enabled(ID_CLEAR_CONTENT));

        // The custom root takes sub-categories and data items again.
        Tree().RevealEntry(Doc().GetRootList().front());
        QVERIFY(Enabled(ID_CATEGORY_NEW_SUB) && Enabled(ID_DATUM_NEW));
        Router().Action(ID_CATEGORY_NEW_SUB)->trigger();
        QCOMPARE(Doc().GetRootList().front()->GetSubCategoryList().size(), std::size_t(1));
        QVERIFY(Tree().findChild<QLineEdit*>());
        QVERIFY(m_prompts.messages.isEmpty());
    }
};

TESSARY_GUI_TEST_MAIN(FrameCommandsTest)
#include "FrameCommandsTest.moc"
