// The quick find field of the output bar in the main window: the command
// and its key, live rows over the whole library, the keyboard from the field
// to the rows and to the item, edits seen by the next key, and the search
// dialog's results taking the rows over.

#include "MainWindowTestSupport.h"

#include "Datum.h"
#include "EntryListView.h"
#include "QuickFindField.h"
#include "QuickFinder.h"
#include "ResourceIds.h"

#include <QAction>
#include <QStatusBar>

using namespace tessary;
using test::App;

class QuickFindTest : public test::CMainWindowTest {
    Q_OBJECT
private:
    CQuickFindField& Field() const { return *Bar().FindField(); }
    QString Status() const { return Frame().statusBar()->currentMessage(); }
    QStringList Rows() const
    {
        QStringList names;
        for (int r = 0; r < Bar().RowCount(); ++r)
            names.append(QString::fromStdString(Bar().ItemAt(r)->GetDisplayName()));
        return names;
    }
    // Types `text` into the field key by key and waits for the rows.
    void Type(const char* text)
    {
        QTest::keyClicks(&Field(), QString::fromUtf8(text));
        QTRY_VERIFY(!Field().Finder()->Busy());
    }
    static CFileDatum* AddFile(CCategory* c, const char* name)
    {
        auto* d = new CFileDatum(name);
        c->AddDatum(d);
        return d;
    }

private Q_SLOTS:
    void init()
    {
        SetUpCase();
        // Roots "docs" (report.pdf, notes.txt; sub-category "old" with
        // Report-1999.PDF) and "photos" (beach.jpg).
        {
            CTessaryDoc doc;
            doc.OnNewDocument();
            auto* docs = new CCustomCategory("docs");
            auto* old = new CCustomCategory("old");
            docs->AddSubCategory(old);
            AddFile(old, "Report-1999.PDF");
            AddFile(docs, "notes.txt");
            AddFile(docs, "report.pdf");
            auto* photos = new CCustomCategory("photos");
            AddFile(photos, "beach.jpg");
            doc.AddRoot(docs);
            doc.AddRoot(photos);
            doc.OnSaveDocument(QFile::encodeName(Path("lib.dli")).toStdString());
        }
        StartOn("lib.dli");
    }
    void cleanup() { TearDownCase(); }

    void CtrlEShowsTheBarWithTheFieldNamedAndExplained()
    {
        QVERIFY(Bar().isHidden());
        const QAction* action = Router().Action(ID_QUICK_FIND);
        QVERIFY(action && action->isEnabled());
        QCOMPARE(action->shortcut(), QKeySequence(QStringLiteral("Ctrl+E")));
        QVERIFY(Run(ID_QUICK_FIND));
        QVERIFY(!Bar().isHidden());
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(&Field()));
        QCOMPARE(Field().accessibleName(), QString::fromUtf8("快速查找"));
        QCOMPARE(Field().placeholderText(), QString::fromUtf8("快速查找（名称）"));
        QVERIFY(Field().toolTip().contains(QStringLiteral("ext:")));
        QVERIFY(Field().toolTip().contains(QStringLiteral("in:")));
    }

    // Each key narrows the rows over the whole library; prefixes too; an
    // empty field empties the bar.
    void EveryKeyListsTheMatchesOfTheWholeLibrary()
    {
        Run(ID_QUICK_FIND);
        Type("rep");
        QCOMPARE(Rows(), test::Strings({ "report.pdf", "Report-1999.PDF" }));
        QCOMPARE(Status(), QString::fromUtf8("搜索结果共 2 个文件"));
        Type("ort.p");
        QCOMPARE(Rows(), test::Strings({ "report.pdf" }));
        Field().clear();
        QCOMPARE(Bar().RowCount(), 0);
        Type("ext:pdf in:old");
        QCOMPARE(Rows(), test::Strings({ "Report-1999.PDF" }));
        QTest::keyClick(&Field(), Qt::Key_Escape);
        QVERIFY(Field().text().isEmpty());
        QCOMPARE(Bar().RowCount(), 0);
    }

    void DownGoesToTheRowsAndEnterRevealsTheItem()
    {
        Run(ID_QUICK_FIND);
        Type("e");
        QCOMPARE(Rows(), test::Strings({ "report.pdf", "notes.txt", "Report-1999.PDF", "beach.jpg" }));
        QTest::keyClick(&Field(), Qt::Key_Down);
        CEntryListView* rows = Bar().ResultList();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(rows));
        QCOMPARE(rows->currentIndex().row(), 0);
        // Moving through the rows reveals each row's item as it is
        // selected, and the focus stays in the rows.
        QTest::keyClick(rows, Qt::Key_Down);
        QTest::keyClick(rows, Qt::Key_Down);
        QCOMPARE(rows->currentIndex().row(), 2);
        QCOMPARE(Tree().SelectedCategory()->m_strName.str(), std::string("old"));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(rows));
        Tree().RevealEntry(Doc().GetRootList().front());
        // Enter reveals the row's item as a click does.
        QTest::keyClick(rows, Qt::Key_Return);
        QCOMPARE(Tree().SelectedCategory()->m_strName.str(), std::string("old"));
        const std::vector<CItem*> selected = List().SelectedEntries();
        QCOMPARE(selected.size(), std::size_t(1));
        QCOMPARE(selected.front(), static_cast<CItem*>(Bar().ItemAt(2)));
        // Up from the first row goes back to the field.
        rows->setFocus();
        rows->setCurrentIndex(rows->model()->index(0, 0));
        QTest::keyClick(rows, Qt::Key_Up);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(&Field()));
    }

    // Rows of deleted items go at once; a rename, an addition and a
    // deletion are all seen by the next key.
    void EditsAreSeenByTheNextKey()
    {
        Run(ID_QUICK_FIND);
        QTRY_VERIFY(Field().Finder()->IndexReady());
        Type("report");
        QCOMPARE(Bar().RowCount(), 2);
        CCategory* docs = Root(0);
        CItem* report = docs->GetDatumList().front();
        QCOMPARE(report->GetDisplayName(), std::string("report.pdf"));
        CItem* going[] = { report };
        Doc().DeleteEntries(docs, going);
        QCOMPARE(Rows(), test::Strings({ "Report-1999.PDF" }));

        docs->GetDatumList().front()->m_strName = "report-notes"; // notes.txt
        Doc().SetModifiedFlag(true);
        AddFile(Root(1), "report.jpg");
        Doc().SetModifiedFlag(true);
        Type("-");
        QCOMPARE(Rows(), test::Strings({ "report-notes.txt", "Report-1999.PDF" }));
        Field().clear();
        Type("report");
        QCOMPARE(Rows(), test::Strings({ "report-notes.txt", "Report-1999.PDF", "report.jpg" }));
    }

    // The search dialog's results replace the quick find's rows and empty
    // the field, so that no lookup still running overwrites them.
    void SearchResultsTakeTheRowsOver()
    {
        Run(ID_QUICK_FIND);
        Type("r");
        QVERIFY(Bar().RowCount() > 0);
        Bar().SetResults({ static_cast<CDatum*>(Root(1)->GetDatumList().front()) });
        QVERIFY(Field().text().isEmpty());
        QTest::qWait(50);
        QCOMPARE(Rows(), test::Strings({ "beach.jpg" }));
    }
};

TESSARY_GUI_TEST_MAIN(QuickFindTest)
#include "QuickFindTest.moc"
