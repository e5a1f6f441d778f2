// Search, library import and export from the main window, and the output
// bar's rows as the library changes under them.

#include "MainWindowTestSupport.h"

#include "CategoryView.h"
#include "CommandRouter.h"
#include "Datum.h"
#include "EntryListModel.h"
#include "EntryListView.h"
#include "MainFrame.h"
#include "OutputBar.h"
#include "ResourceIds.h"
#include "SearchDlg.h"
#include "TessaryView.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <functional>

using namespace tessary;
using test::App;
using test::WhenModal;

namespace {

// Fills the search dialog's name field and presses "开始" (or cancels).
void AnswerSearch(const char* name, bool start = true)
{
    WhenModal<CSearchDlg>([name, start](CSearchDlg* dlg) {
        dlg->findChild<QLineEdit*>(QStringLiteral("1003"))->setText(QString::fromUtf8(name));
        QTest::mouseClick(dlg->findChild<QPushButton*>(QString::number(start ? 1 : 2)), Qt::LeftButton);
    });
}

CCustomDatum* AddItem(CCategory* parent, const char* name, const char* remark = "")
{
    auto* d = new CCustomDatum;
    d->m_strName = name;
    d->m_strExtension = "txt";
    d->m_strRemark = remark;
    parent->AddDatum(d);
    return d;
}

} // namespace

class ExchangeCommandsTest : public test::CMainWindowTest {
    Q_OBJECT
private:
    CCategory* Sub(CCategory* c, int i) const { return c->GetSubCategoryList()[static_cast<std::size_t>(i)]; }
    QString Status() const { return Frame().statusBar()->currentMessage(); }
    QStringList ResultNames() const
    {
        QStringList names;
        for (int r = 0; r < Bar().RowCount(); ++r)
            names.append(QString::fromStdString(Bar().ItemAt(r)->GetDisplayName()));
        return names;
    }

    // Starts on a library of the roots "alpha" (a.txt with a remark, b.txt
    // and the sub-category "inner" holding c.txt) and "beta" (d.txt).
    void Start()
    {
        {
            CTessaryDoc doc;
            doc.OnNewDocument();
            auto* alpha = new CCustomCategory("alpha");
            alpha->m_strRemark = "first root";
            auto* inner = new CCustomCategory("inner");
            alpha->AddSubCategory(inner);
            AddItem(inner, "c");
            AddItem(alpha, "b");
            AddItem(alpha, "a", "note");
            auto* beta = new CCustomCategory("beta");
            AddItem(beta, "d");
            doc.AddRoot(alpha);
            doc.AddRoot(beta);
            doc.OnSaveDocument(QFile::encodeName(Path("lib.dli")).toStdString());
        }
        StartOn("lib.dli");
    }
    void SearchIn(CCategory* scope, const char* name)
    {
        Tree().RevealEntry(scope);
        AnswerSearch(name);
        QVERIFY(Run(ID_SEARCH));
    }

private Q_SLOTS:
    void init() { SetUpCase(); }
    void cleanup() { TearDownCase(); }

    void SearchShowsTheBarAndEachSearchReplacesTheLast()
    {
        Start();
        QVERIFY(Bar().isHidden());
        SearchIn(Root(0), "");
        QVERIFY(!Bar().isHidden());
        // The category's own items last one first, then its sub-category's.
        QCOMPARE(ResultNames(), test::Strings({ "b.txt", "a.txt", "c.txt" }));
        QCOMPARE(Status(), QString::fromUtf8("搜索结果共 3 个文件"));

        SearchIn(Root(0), "c");
        QCOMPARE(ResultNames(), test::Strings({ "c.txt" }));

        // Nothing found: the bar shows anyway, empty, with the count 0.
        Bar().hide();
        SearchIn(Root(1), "zzz");
        QVERIFY(!Bar().isHidden());
        QCOMPARE(Bar().RowCount(), 0);
        QCOMPARE(Status(), QString::fromUtf8("搜索结果共 0 个文件"));
        QVERIFY(!Doc().IsModified());
    }

    void CriteriaLastTheRunAndCancelSearchesNothing()
    {
        Start();
        SearchIn(Root(0), "b");
        QString shown;
        WhenModal<CSearchDlg>([&shown](CSearchDlg* dlg) {
            shown = dlg->findChild<QLineEdit*>(QStringLiteral("1003"))->text();
            dlg->findChild<QLineEdit*>(QStringLiteral("1003"))->setText(QStringLiteral("c"));
            dlg->reject();
        });
        QVERIFY(Run(ID_SEARCH));
        QCOMPARE(shown, QStringLiteral("b"));
        // Cancelled: the results and the criteria are those of the last search.
        QCOMPARE(ResultNames(), test::Strings({ "b.txt" }));
        WhenModal<CSearchDlg>([&shown](CSearchDlg* dlg) {
            shown = dlg->findChild<QLineEdit*>(QStringLiteral("1003"))->text();
            dlg->reject();
        });
        QVERIFY(Run(ID_SEARCH));
        QCOMPARE(shown, QStringLiteral("b"));
    }

    void ResultRowsLeaveWithTheirItems()
    {
        Start();
        CCategory* alpha = Root(0);
        SearchIn(alpha, ""); // b a c
        // A category deleted from the tree.
        Tree().RevealEntry(Sub(alpha, 0));
        QApplication::setActiveWindow(&Frame());
        Tree().setFocus();
        QTRY_VERIFY(Tree().hasFocus());
        m_prompts.yesNoAnswers = { true };
        QVERIFY(Run(ID_ITEM_DELETE));
        QCOMPARE(ResultNames(), test::Strings({ "b.txt", "a.txt" }));
        QCOMPARE(Status(), QString::fromUtf8("搜索结果共 3 个文件"));

        // A data item deleted from the list, after its row was clicked in
        // the bar (which selects it in the list).
        Bar().ResultList()->selectionModel()->select(Bar().ResultModel()->index(1, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QCOMPARE(List().SelectedEntries().size(), std::size_t(1));
        QCOMPARE(List().SelectedEntries().front()->GetDisplayName(), std::string("a.txt"));
        m_prompts.yesNoAnswers = { true };
        QVERIFY(Run(ID_ITEM_DELETE));
        QCOMPARE(ResultNames(), test::Strings({ "b.txt" }));
        QCOMPARE(Bar().SelectedItems(), std::vector<CDatum*>());

        // A new library, then an opened one.
        // Cancelled at the question whether to save: nothing changes.
        QVERIFY(Run(ID_FILE_NEW));
        QCOMPARE(Bar().RowCount(), 1);
        m_prompts.saveAnswers = { IUserPrompts::SaveAnswer::Discard };
        QVERIFY(Run(ID_FILE_NEW));
        QCOMPARE(Bar().RowCount(), 0);

        m_prompts.openFiles = { Path("lib.dli") };
        QVERIFY(Run(ID_FILE_OPEN));
        SearchIn(Root(1), "");
        QCOMPARE(Bar().RowCount(), 1);
        m_prompts.openFiles = { Path("lib.dli") };
        QVERIFY(Run(ID_FILE_OPEN));
        QCOMPARE(Bar().RowCount(), 0);
    }

    void ContentIsExtractedAndClearedFromTheResults()
    {
        Start();
        // a.txt and c.txt exist, b.txt does not.
        const std::string folder = Utf8ToGb(QFile::encodeName(m_dir->path()).toStdString());
        for (CDatum* d :
            { Root(0)->GetDatumList()[0], Root(0)->GetDatumList()[1], Sub(Root(0), 0)->GetDatumList()[0] })
            static_cast<CCustomDatum*>(d)->m_strFolder = folder;
        test::WriteBytes(Path("a.txt"), "alpha text");
        test::WriteBytes(Path("c.txt"), "inner text");
        SearchIn(Root(0), "");
        QCOMPARE(Bar().RowCount(), 3);
        Doc().SetModifiedFlag(false);

        QVERIFY(Run(ID_EDIT_SELECT_ALL));
        QVERIFY(Run(ID_RESULT_EXTRACT));
        QCOMPARE(m_prompts.messages.size(), 1); // b.txt, once
        QVERIFY(m_prompts.messages.first().contains(QStringLiteral("b.txt")));
        QCOMPARE(Root(0)->GetDatumList()[0]->m_strContent.str(), std::string("alpha text"));
        QVERIFY(Root(0)->GetDatumList()[1]->m_strContent.empty());
        QCOMPARE(Sub(Root(0), 0)->GetDatumList()[0]->m_strContent.str(), std::string("inner text"));
        QVERIFY(Doc().IsModified());

        Doc().SetModifiedFlag(false);
        QVERIFY(Run(ID_RESULT_CLEAR));
        QVERIFY(Root(0)->GetDatumList()[0]->m_strContent.empty());
        QVERIFY(Sub(Root(0), 0)->GetDatumList()[0]->m_strContent.empty());
        QVERIFY(Doc().IsModified());
        // Nothing selected: both are disabled again.
        Bar().ResultList()->clearSelection();
        CommandState state;
        QVERIFY(Frame().Router().Query(ID_RESULT_EXTRACT, state));
        QVERIFY(!state.enabled);
    }

    void FailedOpenKeepsTheResults()
    {
        Start();
        SearchIn(Root(0), "");
        m_prompts.openFiles = { Path("missing.dli") };
        QVERIFY(Run(ID_FILE_OPEN));
        QCOMPARE(m_prompts.messages.size(), 1);
        QCOMPARE(Bar().RowCount(), 3);
    }

    void ExportThenImportReproducesTheCategory()
    {
        Start();
        CCategory* alpha = Root(0);
        CCategory* beta = Root(1);
        const QStringList before = test::DescribeTree(*alpha);
        Tree().RevealEntry(alpha);
        m_prompts.exportFiles = { Path("alpha.dli") };
        QVERIFY(Run(ID_LIBRARY_EXPORT));
        QCOMPARE(m_prompts.proposedNames, test::Strings({ "lib.dli" }));
        QVERIFY(QFile::exists(Path("alpha.dli")));
        QVERIFY(!Doc().IsModified());
        QCOMPARE(Doc().GetPathName(), QFile::encodeName(Path("lib.dli")).toStdString());

        // Into beta, whose row was expanded before: one row per sub-category.
        Tree().RevealEntry(beta);
        m_prompts.importFiles = { Path("alpha.dli"), Path("alpha.dli") };
        QVERIFY(Run(ID_LIBRARY_IMPORT));
        QVERIFY(Run(ID_LIBRARY_IMPORT));
        QCOMPARE(beta->GetSubCategoryList().size(), std::size_t(2));
        QCOMPARE(test::DescribeTree(*Sub(beta, 0)), before);
        QCOMPARE(test::DescribeTree(*Sub(beta, 1)), before);
        QVERIFY(Doc().IsModified());
        const QModelIndex betaRow = Tree().RowOf(beta);
        QVERIFY(Tree().isExpanded(betaRow));
        QCOMPARE(Tree().model()->rowCount(betaRow), 2);
        QCOMPARE(Tree().RowOf(Sub(beta, 1)).parent(), betaRow);
        // The list shows the new sub-categories before the data items.
        QCOMPARE(List().RowCount(), 3);
        QCOMPARE(List().EntryAt(1), static_cast<CItem*>(Sub(beta, 1)));

        // The imported copy is an ordinary part of the library: it is saved.
        m_prompts.saveFiles = { Path("both.dli") };
        QVERIFY(Run(ID_FILE_SAVE_AS));
        CTessaryDoc reread;
        reread.OnOpenDocument(QFile::encodeName(Path("both.dli")).toStdString());
        QCOMPARE(test::DescribeTree(*reread.GetRootList()[1]->GetSubCategoryList()[0]), before);
    }

    void ExportThatIsCancelledOrFailsWritesNothing()
    {
        Start();
        Tree().RevealEntry(Root(0));
        QVERIFY(Run(ID_LIBRARY_EXPORT)); // no file chosen
        QCOMPARE(QDir(m_dir->path()).entryList({ QStringLiteral("*.dli") }, QDir::Files),
            test::Strings({ "lib.dli" }));

        m_prompts.exportFiles = { Path("no-such-folder/alpha.dli") };
        QVERIFY(Run(ID_LIBRARY_EXPORT));
        QCOMPARE(m_prompts.messages.size(), 1);
        QVERIFY(m_prompts.messages.front().contains(QStringLiteral("no-such-folder/alpha.dli")));
        QVERIFY(!Doc().IsModified());
    }

    void ExportNeverReplacesTheOpenLibraryAndAsksBeforeAnotherCopysLibrary()
    {
        Start();
        Tree().RevealEntry(Root(1));
        const QByteArray before = test::ContentsOf(Path("lib.dli"));
        // The open library itself, by its name or through a link: refused,
        // nothing written.
        QVERIFY(QFile::link(Path("lib.dli"), Path("link.dli")));
        m_prompts.exportFiles = { Path("lib.dli"), Path("link.dli") };
        QVERIFY(Run(ID_LIBRARY_EXPORT));
        QVERIFY(Run(ID_LIBRARY_EXPORT));
        QCOMPARE(m_prompts.messages.size(), 2);
        QVERIFY(m_prompts.messages[0].contains(Path("lib.dli")));
        QCOMPARE(test::ContentsOf(Path("lib.dli")), before);
        QVERIFY(m_prompts.questions.isEmpty());

        // A library another running copy holds: replaced only on Yes.
        test::WriteLibrary(Path("other.dli"), { QStringLiteral("Other") });
        CTessaryDoc otherCopy;
        otherCopy.OnOpenDocument(QFile::encodeName(Path("other.dli")).toStdString());
        const QByteArray other = test::ContentsOf(Path("other.dli"));
        m_prompts.exportFiles = { Path("other.dli"), Path("other.dli") };
        m_prompts.yesNoAnswers = { false, true };
        QVERIFY(Run(ID_LIBRARY_EXPORT));
        QCOMPARE(m_prompts.questions.size(), 1);
        QVERIFY(m_prompts.questions[0].contains(Path("other.dli")));
        QCOMPARE(test::ContentsOf(Path("other.dli")), other);
        QVERIFY(Run(ID_LIBRARY_EXPORT));
        QVERIFY(test::ContentsOf(Path("other.dli")) != other);
        QCOMPARE(m_prompts.messages.size(), 2);
    }

    void TheExportDialogRefusesAFolderThatDoesNotExist()
    {
        CLibrarySaveDialog dialog(nullptr, QString::fromUtf8("导出到"), QString());
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setDirectory(m_dir->path());
        dialog.selectFile(Path("missing/alpha.dli"));
        dialog.accept();
        QCOMPARE(dialog.result(), 0); // still open
        QCOMPARE(m_prompts.messages.size(), 1);
        QVERIFY(m_prompts.messages[0].contains(Path("missing")));
        dialog.selectFile(Path("alpha"));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.selectedFiles().value(0), Path("alpha.dli"));
    }

    void ImportOfAnUnreadableFileChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("exists");
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("not a library") << QByteArray("\x02\x00\xff\xff\x01\x00", 6) << true;
        QTest::newRow("truncated") << QByteArray("truncate") << true;
    }
    void ImportOfAnUnreadableFileChangesNothing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, exists);
        Start();
        if (bytes == "truncate") {
            QFile file(Path("lib.dli"));
            QVERIFY(file.open(QIODevice::ReadOnly));
            bytes = file.readAll().left(60);
        }
        if (exists)
            test::WriteBytes(Path("broken.dli"), bytes);
        CCategory* beta = Root(1);
        Tree().RevealEntry(beta);
        const QStringList before = test::DescribeTree(*beta);
        m_prompts.importFiles = { Path("broken.dli") };
        QVERIFY(Run(ID_LIBRARY_IMPORT));
        QCOMPARE(m_prompts.messages.size(), 1);
        QVERIFY2(
            m_prompts.messages.front().contains(Path("broken.dli")), qPrintable(m_prompts.messages.front()));
        QCOMPARE(test::DescribeTree(*beta), before);
        QVERIFY(!Doc().IsModified());
        QCOMPARE(Tree().model()->rowCount(Tree().RowOf(beta)), 0);
    }
};

TESSARY_GUI_TEST_MAIN(ExchangeCommandsTest)
#include "ExchangeCommandsTest.moc"
