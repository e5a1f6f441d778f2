// The command manager's enable rules as a table: each case sets up a
// selection in the panes and names the commands that must be enabled and
// those that must be disabled.

#include "ViewsTestSupport.h"

#include "CmdManager.h"
#include "OutputBar.h"
#include "ResourceIds.h"

#include <functional>
#include <set>

using namespace tessary;
using namespace tessary::test;

namespace {

// Every id the manager owns.
const int kManaged[] = { ID_CATEGORY_NEW_ROOT, ID_CATEGORY_NEW_SUB, ID_CATEGORY_DELETE, ID_IMPORT_FOLDER,
    ID_IMPORT_CD, ID_IMPORT_DRIVE, ID_CATEGORY_REFRESH, ID_DATUM_NEW, ID_DATUM_EDIT, ID_DATUM_DELETE,
    ID_OPEN_FILE, ID_EXPLORE, ID_EXTRACT_CONTENT, ID_CLEAR_CONTENT, ID_VIEW_CONTENT, ID_VIEW_REMARK,
    ID_PROPERTIES, ID_LIBRARY_IMPORT, ID_LIBRARY_EXPORT, ID_SEARCH, ID_RESULT_EXTRACT, ID_RESULT_CLEAR };

struct Library {
    Panes panes;
    COutputBar bar;
    CCustomCategory* custom = nullptr;
    CCustomCategory* sub = nullptr;
    CCustomDatum* withContent = nullptr;
    CCustomDatum* withRemark = nullptr;
    CCDRomCategory* cd = nullptr;
    CFolderCategory* folder = nullptr;
    CRootFolderCategory* rootFolder = nullptr;
    std::unique_ptr<CCmdManager> manager;

    explicit Library(bool empty = false)
    {
        if (!empty) {
            custom = Custom("custom");
            sub = Custom("sub", custom);
            withRemark = Item(custom, "b", "txt");
            withRemark->m_strRemark = "note";
            withContent = Item(custom, "a", "txt");
            withContent->m_strContent = "text";
            cd = new CCDRomCategory("cd", "/media/cd");
            folder = new CFolderCategory("folder");
            cd->AddSubCategory(folder);
            rootFolder = new CRootFolderCategory("r", "/home");
            panes.doc.AddRoot(custom);
            panes.doc.AddRoot(cd);
            panes.doc.AddRoot(rootFolder);
        }
        panes.Start();
        manager = std::make_unique<CCmdManager>(*panes.tree, *panes.list, bar);
    }
    // The list rows of the custom category: sub, a.txt, b.txt.
    void SelectCustomRows(std::initializer_list<int> rows)
    {
        panes.Select(custom);
        panes.SelectListRows(rows);
    }
};

struct Case {
    const char* name;
    bool emptyLibrary;
    std::function<void(Library&)> setUp;
    std::set<int> enabled; // every other managed id must be disabled
};

} // namespace

class EnableRulesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rulesFollowTheSelection()
    {
        const std::set<int> always
            = { ID_CATEGORY_NEW_ROOT, ID_IMPORT_FOLDER, ID_IMPORT_CD, ID_IMPORT_DRIVE };
        auto with = [&](std::set<int> more) {
            more.insert(always.begin(), always.end());
            return more;
        };
        const Case cases[] = {
            { "an empty library allows only creating and importing", true, [](Library&) {}, always },
            { "a new library lists roots but nothing is selected", false, [](Library&) {}, always },
            { "a custom category takes everything that adds to it", false,
                [](Library& l) { l.panes.Select(l.custom); },
                with({ ID_CATEGORY_NEW_SUB, ID_CATEGORY_DELETE, ID_DATUM_NEW, ID_LIBRARY_IMPORT,
                    ID_LIBRARY_EXPORT, ID_SEARCH }) },
            { "a CD category takes nothing new but can be refreshed and exported", false,
                [](Library& l) { l.panes.Select(l.cd); },
                with({ ID_CATEGORY_DELETE, ID_CATEGORY_REFRESH, ID_LIBRARY_EXPORT, ID_SEARCH }) },
            { "a folder category is searched and refreshed but not exported", false,
                [](Library& l) { l.panes.Select(l.folder); },
                with({ ID_CATEGORY_DELETE, ID_CATEGORY_REFRESH, ID_SEARCH }) },
            { "a root folder category is like a CD", false, [](Library& l) { l.panes.Select(l.rootFolder); },
                with({ ID_CATEGORY_DELETE, ID_CATEGORY_REFRESH, ID_LIBRARY_EXPORT, ID_SEARCH }) },
            { "two selected rows allow only what works on many", false,
                [](Library& l) {
                    l.SelectCustomRows({ 1, 2 });
                },
                with({ ID_CATEGORY_NEW_SUB, ID_CATEGORY_DELETE, ID_DATUM_NEW, ID_LIBRARY_IMPORT,
                    ID_LIBRARY_EXPORT, ID_SEARCH, ID_DATUM_DELETE, ID_PROPERTIES, ID_EXTRACT_CONTENT }) },
            { "a selected sub-category can be explored but not opened or extracted", false,
                [](Library& l) { l.SelectCustomRows({ 0 }); },
                with({ ID_CATEGORY_NEW_SUB, ID_CATEGORY_DELETE, ID_DATUM_NEW, ID_LIBRARY_IMPORT,
                    ID_LIBRARY_EXPORT, ID_SEARCH, ID_DATUM_EDIT, ID_DATUM_DELETE, ID_PROPERTIES,
                    ID_EXPLORE }) },
            { "a data item with content can be viewed and cleared", false,
                [](Library& l) { l.SelectCustomRows({ 1 }); },
                with({ ID_CATEGORY_NEW_SUB, ID_CATEGORY_DELETE, ID_DATUM_NEW, ID_LIBRARY_IMPORT,
                    ID_LIBRARY_EXPORT, ID_SEARCH, ID_DATUM_EDIT, ID_DATUM_DELETE, ID_PROPERTIES, ID_EXPLORE,
                    ID_OPEN_FILE, ID_EXTRACT_CONTENT, ID_CLEAR_CONTENT, ID_VIEW_CONTENT }) },
            { "a data item with a remark and no content shows the remark", false,
                [](Library& l) { l.SelectCustomRows({ 2 }); },
                with({ ID_CATEGORY_NEW_SUB, ID_CATEGORY_DELETE, ID_DATUM_NEW, ID_LIBRARY_IMPORT,
                    ID_LIBRARY_EXPORT, ID_SEARCH, ID_DATUM_EDIT, ID_DATUM_DELETE, ID_PROPERTIES, ID_EXPLORE,
                    ID_OPEN_FILE, ID_EXTRACT_CONTENT, ID_VIEW_REMARK }) },
            { "a sub-category and a data item together can be extracted", false,
                [](Library& l) {
                    l.SelectCustomRows({ 0, 2 });
                },
                with({ ID_CATEGORY_NEW_SUB, ID_CATEGORY_DELETE, ID_DATUM_NEW, ID_LIBRARY_IMPORT,
                    ID_LIBRARY_EXPORT, ID_SEARCH, ID_DATUM_DELETE, ID_PROPERTIES, ID_EXTRACT_CONTENT }) },
        };
        for (const Case& c : cases) {
            Library lib(c.emptyLibrary);
            c.setUp(lib);
            for (int id : kManaged) {
                const bool expected = c.enabled.count(id) != 0;
                QVERIFY2(lib.manager->RuleAllows(id) == expected,
                    qPrintable(QStringLiteral("%1: command %2 should be %3")
                                   .arg(QString::fromUtf8(c.name))
                                   .arg(id)
                                   .arg(expected ? QStringLiteral("enabled") : QStringLiteral("disabled"))));
            }
        }
    }

    void commandsWithoutAHandlerAreRoutedButDisabled()
    {
        Library lib;
        CommandState state;
        QVERIFY(lib.manager->QueryCommand(ID_SEARCH, state));
        lib.panes.Select(lib.custom);
        lib.manager->SetRunner(ID_SEARCH, [](CCmdManager&) {});
        QVERIFY(lib.manager->QueryCommand(ID_SEARCH, state));
        QVERIFY(state.enabled);
        lib.manager->SetRunner(ID_SEARCH, {});
        QVERIFY(lib.manager->QueryCommand(ID_SEARCH, state));
        QVERIFY(!state.enabled);
        // Not managed here: the route goes on to the next target.
        QVERIFY(!lib.manager->QueryCommand(ID_FILE_SAVE, state));
        QVERIFY(!lib.manager->ExecuteCommand(ID_MOVE_UP));
    }

    void aRunnerRunsOnlyWhileItsRuleHolds()
    {
        Library lib;
        int runs = 0;
        lib.manager->SetRunner(ID_CATEGORY_DELETE, [&](CCmdManager&) { ++runs; });
        QVERIFY(lib.manager->ExecuteCommand(ID_CATEGORY_DELETE)); // handled, nothing selected
        QCOMPARE(runs, 0);
        lib.panes.Select(lib.cd);
        QVERIFY(lib.manager->ExecuteCommand(ID_CATEGORY_DELETE));
        QCOMPARE(runs, 1);
    }
};

TESSARY_GUI_TEST_MAIN(EnableRulesTest)
#include "EnableRulesTest.moc"
