#include "GuiTestSupport.h"

#include "CategoryView.h"
#include "CommandRouter.h"
#include "DocumentController.h"
#include "ErrorReport.h"
#include "FileError.h"
#include "MainFrame.h"
#include "OutputBar.h"
#include "PaneView.h"
#include "ResourceIds.h"
#include "TessaryView.h"

#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>
#include <QWindow>

#include <functional>
#include <stdexcept>

using namespace tessary;
using test::App;

namespace {

// Stands in for the command manager: handles the ids it is given.
class CManagerDouble : public ICommandTarget {
public:
    std::map<int, std::function<void()>> handlers;
    QList<int> ran;
    bool QueryCommand(int id, CommandState& state) override
    {
        state.enabled = true;
        return handlers.count(id) != 0;
    }
    bool ExecuteCommand(int id) override
    {
        auto it = handlers.find(id);
        if (it == handlers.end())
            return false;
        ran.append(id);
        if (it->second)
            it->second();
        return true;
    }
};

// An object whose event handler fails.
class CThrowingObject : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw std::runtime_error("handler failed");
        return QObject::event(e);
    }
};

QString Caption(const char* title)
{
    return QString::fromUtf8("橡檐 - ") + QString::fromUtf8(title);
}

} // namespace

class AppTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_dir;
    test::CFakePrompts m_prompts;

    QString Path(const char* name) const { return m_dir->filePath(QString::fromLatin1(name)); }
    CMainFrame& Frame() const { return *App().MainFrame(); }
    CTessaryDoc& Doc() const { return *App().Document(); }

    bool Start(const QStringList& args = {})
    {
        StartOptions options;
        options.profilePath = Path("Oakbrim.ini");
        options.registerFileType = false;
        if (!App().InitInstance(args, options))
            return false;
        return QTest::qWaitForWindowExposed(App().MainFrame());
    }
    void Stop()
    {
        if (App().Document())
            Doc().SetModifiedFlag(false);
        QVERIFY(App().ExitInstance());
    }
    bool Run(int id) { return Frame().Router().Execute(id); }
    CManagerDouble* InstallManager()
    {
        auto manager = std::make_unique<CManagerDouble>();
        CManagerDouble* raw = manager.get();
        Frame().SetCommandManager(std::move(manager));
        return raw;
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_prompts = test::CFakePrompts();
        SetPrompts(&m_prompts);
    }
    void cleanup()
    {
        if (App().MainFrame())
            Stop();
        SetPrompts(nullptr);
    }

    // Message boxes and Qt's own dialogs speak Chinese as the rest does.
    void QtsOwnButtonsSpeakChinese()
    {
        QMessageBox box(QMessageBox::Question, QString(), QString(),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QString::fromUtf8("取消"));
        QVERIFY(box.button(QMessageBox::Yes)->text().startsWith(QString::fromUtf8("是")));
    }

    void EmptyProfileGivesDefaultLayout()
    {
        QVERIFY(Start());
        QCOMPARE(Frame().geometry(), QRect(120, 60, 600, 420));
        QVERIFY(Frame().GetOutputBar()->isHidden());
        QCOMPARE(Frame().dockWidgetArea(Frame().GetOutputBar()), Qt::BottomDockWidgetArea);
        QCOMPARE(Frame().GetOutputBar()->windowTitle(), QStringLiteral("Output"));
        QVERIFY(Frame().ToolBar()->isVisible());
        QCOMPARE(Frame().toolBarArea(Frame().ToolBar()), Qt::TopToolBarArea);
        QVERIFY(qAbs(Frame().Splitter()->sizes().at(0) - 100) <= 2);
        QCOMPARE(Frame().windowTitle(), Caption("未命名"));
        QCOMPARE(Frame().MessagePane()->text(), QString::fromUtf8("就绪"));
        QCOMPARE(Frame().FilterField()->width(), 150);
        QStringList indicators;
        for (int id : { 59137, 59138, 59139 })
            indicators << Frame().statusBar()->findChild<QLabel*>(QString::number(id))->text();
        QCOMPARE(indicators,
            QStringList({ QString::fromUtf8("大写"), QString::fromUtf8("数字"), QString::fromUtf8("滚动") }));
    }

    // Started from another folder, with no profile named, the program keeps
    // its settings beside the executable and registers library files.
    void PlainStartUsesTheProfileBesideTheProgram()
    {
        if (!qEnvironmentVariableIsSet("XDG_DATA_HOME"))
            QSKIP("needs a private XDG_DATA_HOME (set by the test runner)");
        const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
        const QString profile = QCoreApplication::applicationDirPath() + QStringLiteral("/Oakbrim.ini");
        QFile::remove(profile);
        QFile::remove(dataHome + QStringLiteral("/applications/tessary.desktop"));
        const QByteArray saved = qgetenv("TESSARY_PROFILE");
        qunsetenv("TESSARY_PROFILE");
        const QString cwd = QDir::currentPath();
        QDir::setCurrent(m_dir->path());
        const bool started = App().InitInstance({});
        QDir::setCurrent(cwd);
        qputenv("TESSARY_PROFILE", saved);
        QVERIFY(started);
        QCOMPARE(App().ProfilePath(), profile);
        QVERIFY(QFile::exists(dataHome + QStringLiteral("/applications/tessary.desktop")));
        Stop();
        QVERIFY(QFile::exists(profile));
        QFile::remove(profile);
    }

    void MenusShowTheirEntriesWithKeys()
    {
        QVERIFY(Start());
        const QList<QAction*> popups = Frame().menuBar()->actions();
        QCOMPARE(popups.size(), 6);
        QCOMPARE(popups.at(3)->text(), QString::fromUtf8("资料(&D)"));
        QStringList file;
        for (QAction* a : popups.at(0)->menu()->actions())
            file << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(file.mid(0, 8),
            QStringList({ QString::fromUtf8("新建(&N)"), QString::fromUtf8("打开(&O)..."),
                QString::fromUtf8("保存(&S)"), QString::fromUtf8("另存为(&A)..."), QStringLiteral("-"),
                QString::fromUtf8("导入(&I)..."), QString::fromUtf8("导出(&E)..."), QStringLiteral("-") }));
        QCOMPARE(file.last(), QString::fromUtf8("退出(&X)"));
        QCOMPARE(Frame().Router().Action(ID_FILE_SAVE)->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
        // With no recent files the placeholder shows, greyed.
        QAction* recent = Frame().Router().Action(ID_FILE_MRU_FIRST);
        Frame().InitPopupMenu(popups.at(0)->menu());
        QVERIFY(recent->isVisible());
        QCOMPARE(recent->text(), QString::fromUtf8("最近文件"));
        QVERIFY(!recent->isEnabled());
    }

    void LayoutSurvivesARestart()
    {
        QVERIFY(Start());
        Frame().setGeometry(QRect(200, 150, 700, 480));
        Frame().Splitter()->setSizes({ 180, 500 });
        QVERIFY(Run(ID_VIEW_OUTPUT_BAR));
        QVERIFY(Run(ID_VIEW_TOOLBAR));
        QVERIFY(Run(ID_VIEW_STATUS_BAR));
        Frame().UpdateCommandUI();
        QVERIFY(Frame().Router().Action(ID_VIEW_OUTPUT_BAR)->isChecked());
        QVERIFY(!Frame().Router().Action(ID_VIEW_TOOLBAR)->isChecked());
        QVERIFY(!Frame().Router().Action(ID_VIEW_STATUS_BAR)->isChecked());
        Frame().GetOutputBar()->setFloating(true);
        const int treeWidth = Frame().Splitter()->sizes().at(0);
        Stop();

        QSettings saved(Path("Oakbrim.ini"), QSettings::IniFormat);
        QCOMPARE(saved.value(QStringLiteral("LastWindowStatus/Left")).toInt(), 200);
        QCOMPARE(saved.value(QStringLiteral("LeftWindowStatus/Width")).toInt(), treeWidth);
        QVERIFY(saved.contains(QStringLiteral("MainFrameBarStatus/State")));

        QVERIFY(Start());
        QCOMPARE(Frame().geometry(), QRect(200, 150, 700, 480));
        QCOMPARE(Frame().Splitter()->sizes().at(0), treeWidth);
        QVERIFY(!Frame().GetOutputBar()->isHidden());
        QVERIFY(Frame().GetOutputBar()->isFloating());
        QVERIFY(Frame().ToolBar()->isHidden());
        QVERIFY(Frame().statusBar()->isHidden());
    }

    void UnreachableSavedRectangleFallsBackToDefault()
    {
        {
            QSettings profile(Path("Oakbrim.ini"), QSettings::IniFormat);
            profile.setValue(QStringLiteral("LastWindowStatus/Left"), -32000);
            profile.setValue(QStringLiteral("LastWindowStatus/Top"), -32000);
        }
        QVERIFY(Start());
        QCOMPARE(Frame().geometry(), QRect(120, 60, 600, 420));
    }

    // Select all is the output bar's own command; a command manager that
    // takes it too comes first.
    void CommandManagerComesBeforeTheOutputBar()
    {
        QVERIFY(Start());
        CManagerDouble* manager = InstallManager();
        manager->handlers[ID_EDIT_SELECT_ALL] = {};
        manager->handlers[ID_FILE_SAVE] = {};
        QVERIFY(Run(ID_EDIT_SELECT_ALL));
        QVERIFY(Run(ID_FILE_SAVE));
        QCOMPARE(manager->ran, QList<int>({ ID_EDIT_SELECT_ALL, ID_FILE_SAVE }));
        QVERIFY(m_prompts.proposedNames.isEmpty()); // the document's save did not run
    }

    void PromptShowsInTheStatusBarWhileHovering()
    {
        QVERIFY(Start());
        QAction* open = Frame().Router().Action(ID_FILE_OPEN);
        QCOMPARE(open->toolTip(), QString::fromUtf8("打开"));
        open->showStatusText(&Frame());
        QCOMPARE(Frame().statusBar()->currentMessage(), QString::fromUtf8("打开一个现有文档库"));
        QVERIFY(Frame().MessagePane()->isHidden());
        QStatusTipEvent leave { QString() };
        QCoreApplication::sendEvent(&Frame(), &leave);
        QVERIFY(!Frame().MessagePane()->isHidden());
        QCOMPARE(Frame().MessagePane()->text(), QString::fromUtf8("就绪"));
    }

    void PaneWithTheFocusIsTheActiveView()
    {
        QVERIFY(Start());
        QCOMPARE(Frame().ActivePane(), static_cast<IPaneView*>(Frame().TreePane()));
        QApplication::setActiveWindow(&Frame());
        Frame().ListPane()->Widget()->setFocus();
        QTRY_COMPARE(Frame().ActivePane(), static_cast<IPaneView*>(Frame().ListPane()));
        // The filter field is no pane: the list stays the active view.
        Frame().FilterField()->setFocus();
        QTRY_VERIFY(Frame().FilterField()->hasFocus());
        QCOMPARE(Frame().ActivePane(), static_cast<IPaneView*>(Frame().ListPane()));
    }

    void IdsWithoutHandlerAreDisabled()
    {
        QVERIFY(Start());
        Frame().UpdateCommandUI();
        CCommandRouter& router = Frame().Router();
        for (int id : { ID_TOOLBAR_SPARE, ID_ITEM_DELETE, ID_SEARCH })
            QVERIFY2(!router.Action(id)->isEnabled(), qPrintable(QString::number(id)));
        for (int id : { ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_APP_ABOUT, ID_VIEW_OUTPUT_BAR, ID_HELP,
                 ID_CATEGORY_NEW_ROOT })
            QVERIFY2(router.Action(id)->isEnabled(), qPrintable(QString::number(id)));
        QVERIFY(!router.Action(ID_VIEW_OUTPUT_BAR)->isChecked());
        // The output bar's entries: select all always; delete, and the
        // content commands on the results, only with a selection.
        QVERIFY(router.Action(ID_EDIT_SELECT_ALL)->isEnabled());
        QVERIFY(!router.Action(ID_RESULT_DELETE)->isEnabled());
        QVERIFY(!router.Action(ID_RESULT_EXTRACT)->isEnabled());
        QVERIFY(router.Action(ID_VIEW_TOOLBAR)->isChecked());
    }

    void FilterButtonFollowsTheField()
    {
        QVERIFY(Start());
        QAction* filter = Frame().Router().Action(ID_FILTER);
        Frame().UpdateCommandUI();
        QVERIFY(!filter->isEnabled());
        QVERIFY(!Run(ID_FILTER));
        QTest::keyClick(Frame().FilterField(), Qt::Key_A);
        QVERIFY(filter->isEnabled());
        QVERIFY(Run(ID_FILTER));
        QVERIFY(Frame().ListView());
        QTest::keyClick(Frame().FilterField(), Qt::Key_Backspace);
        QVERIFY(!filter->isEnabled());
    }

    void FailingCommandIsReportedAndTheProgramGoesOn()
    {
        test::WriteLibrary(Path("keep.dli"), { QStringLiteral("Alpha") });
        QVERIFY(Start({ Path("keep.dli") }));
        CManagerDouble* manager = InstallManager();
        manager->handlers[ID_CATEGORY_NEW_ROOT] = [] { throw std::runtime_error("no"); };
        manager->handlers[ID_IMPORT_CD] = [] { throw FileError(FileErrorCause::AccessDenied, "/media/cd"); };
        manager->handlers[ID_IMPORT_DRIVE] = [] { throw UserException(); };
        Frame().UpdateCommandUI();

        Frame().Router().Action(ID_CATEGORY_NEW_ROOT)->trigger();
        QVERIFY(Run(ID_IMPORT_CD));
        QVERIFY(Run(ID_IMPORT_DRIVE));
        QCOMPARE(m_prompts.messages.size(), 2);
        QCOMPARE(m_prompts.messages.at(0), QString::fromUtf8("发生错误"));
        QVERIFY(m_prompts.messages.at(1).contains(QStringLiteral("/media/cd")));
        QVERIFY(Frame().isVisible());
        QCOMPARE(Doc().GetRootCount(), std::size_t(1));
        QCOMPARE(Frame().windowTitle(), Caption("keep.dli"));

        // An event handler that throws is caught before the event loop.
        CThrowingObject thrower;
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        QCOMPARE(m_prompts.messages.size(), 3);
        QVERIFY(Frame().isVisible());
    }

    void CommandLineOpensALibrary()
    {
        test::WriteLibrary(Path("good.dli"), { QStringLiteral("Alpha"), QString::fromUtf8("文档") });
        QVERIFY(Start({ Path("good.dli") }));
        QCOMPARE(Doc().GetRootCount(), std::size_t(2));
        QCOMPARE(Frame().windowTitle(), Caption("good.dli"));
        CCategoryView* tree = Frame().TreeView();
        QCOMPARE(tree->model()->index(1, 0).data().toString(), QString::fromUtf8("文档"));
        // Right after opening, the list shows the roots.
        QCOMPARE(Frame().ListView()->model()->index(1, 0).data().toString(), QString::fromUtf8("文档"));
        QCOMPARE(App().Controller()->RecentFiles().Files().value(0), Path("good.dli"));
    }

    void CommandLineWithABadLibraryFails()
    {
        static const char kBroken[] = "\x05\x00\xff\xff garbage";
        test::WriteBytes(Path("broken.dli"), QByteArray(kBroken, sizeof kBroken - 1));
        QVERIFY(!Start({ Path("broken.dli") }));
        QVERIFY(!App().MainFrame());
        QCOMPARE(m_prompts.messages.size(), 1);
        QVERIFY(m_prompts.messages.first().contains(Path("broken.dli")));

        QVERIFY(!Start({ Path("missing.dli") }));
        QCOMPARE(m_prompts.messages.size(), 2);
        QVERIFY(m_prompts.messages.last().contains(QString::fromUtf8("找不到")));
    }

    void CaptionCarriesTheModifiedMark()
    {
        QVERIFY(Start());
        Doc().SetModifiedFlag(true);
        Frame().UpdateCaption();
        QCOMPARE(Frame().windowTitle(), Caption("未命名 *"));

        m_prompts.saveFiles.push_back(Path("saved.dli"));
        QVERIFY(Run(ID_FILE_SAVE));
        QCOMPARE(m_prompts.proposedNames.value(0), QString::fromUtf8("未命名.dli"));
        QCOMPARE(Frame().windowTitle(), Caption("saved.dli"));
        QVERIFY(QFile::exists(Path("saved.dli")));
        QVERIFY(!Doc().IsModified());

        // Save again goes to the same file without asking.
        Doc().SetModifiedFlag(true);
        QVERIFY(Run(ID_FILE_SAVE));
        QCOMPARE(m_prompts.proposedNames.size(), 1);
        QCOMPARE(Frame().windowTitle(), Caption("saved.dli"));
    }

    void ChangesAreOfferedForSavingBeforeNewOpenAndExit()
    {
        test::WriteLibrary(Path("other.dli"), { QStringLiteral("Other") });
        QVERIFY(Start());
        Doc().AddRoot(new CCustomCategory("Mine"));

        m_prompts.saveAnswers = { IUserPrompts::SaveAnswer::Cancel };
        QVERIFY(Run(ID_FILE_NEW));
        QCOMPARE(Doc().GetRootCount(), std::size_t(1));
        QVERIFY(Doc().IsModified());

        m_prompts.openFiles = { Path("other.dli") };
        m_prompts.saveAnswers = { IUserPrompts::SaveAnswer::Cancel };
        QVERIFY(Run(ID_FILE_OPEN));
        QCOMPARE(Doc().GetTitle(), std::string("未命名 *"));

        m_prompts.saveAnswers = { IUserPrompts::SaveAnswer::Cancel };
        QVERIFY(!App().ExitInstance());
        QVERIFY(Frame().isVisible());
        QCOMPARE(m_prompts.saveQuestions.size(), 3);

        // Saving on exit writes the library before the window goes.
        m_prompts.saveAnswers = { IUserPrompts::SaveAnswer::Save };
        m_prompts.saveFiles = { Path("mine.dli") };
        QVERIFY(App().ExitInstance());
        CTessaryDoc reread;
        reread.OnOpenDocument(QFile::encodeName(Path("mine.dli")).toStdString());
        QCOMPARE(reread.GetRootCount(), std::size_t(1));
    }

    void LibraryHeldByAnotherCopyOpensOnlyWhenTheUserAgrees()
    {
        test::WriteLibrary(Path("shared.dli"), { QStringLiteral("Shared") });
        CTessaryDoc otherCopy;
        otherCopy.OnOpenDocument(QFile::encodeName(Path("shared.dli")).toStdString());
        QVERIFY(Start());
        Doc().AddRoot(new CCustomCategory("Mine"));

        m_prompts.openFiles = { Path("shared.dli"), Path("shared.dli") };
        m_prompts.yesNoAnswers = { false };
        QVERIFY(Run(ID_FILE_OPEN));
        QCOMPARE(m_prompts.questions.size(), 1);
        QVERIFY(m_prompts.questions[0].contains(Path("shared.dli")));
        QVERIFY(m_prompts.saveQuestions.isEmpty()); // asked before anything else
        QCOMPARE(Doc().GetRootList()[0]->m_strName.str(), std::string("Mine"));

        m_prompts.yesNoAnswers = { true };
        m_prompts.saveAnswers = { IUserPrompts::SaveAnswer::Discard };
        QVERIFY(Run(ID_FILE_OPEN));
        QCOMPARE(Doc().GetRootList()[0]->m_strName.str(), std::string("Shared"));
        QCOMPARE(m_prompts.questions.size(), 2);
    }

    void SavingOverALibraryChangedOnDiskAsksFirst()
    {
        test::WriteLibrary(Path("lib.dli"), { QStringLiteral("Mine") });
        QVERIFY(Start());
        m_prompts.openFiles = { Path("lib.dli") };
        QVERIFY(Run(ID_FILE_OPEN));
        QVERIFY(m_prompts.questions.isEmpty()); // nobody else holds it
        Doc().SetModifiedFlag(true);
        QVERIFY(Run(ID_FILE_SAVE));
        QVERIFY(m_prompts.questions.isEmpty()); // unchanged on disk

        // Another program saves its own version meanwhile.
        test::WriteLibrary(Path("lib.dli"), { QStringLiteral("Theirs"), QStringLiteral("More") });
        Doc().SetModifiedFlag(true);
        m_prompts.yesNoAnswers = { false };
        QVERIFY(Run(ID_FILE_SAVE));
        QCOMPARE(m_prompts.questions.size(), 1);
        QVERIFY(m_prompts.questions[0].contains(Path("lib.dli")));
        QVERIFY(Doc().IsModified());
        CTessaryDoc reread;
        reread.OnOpenDocument(QFile::encodeName(Path("lib.dli")).toStdString());
        QCOMPARE(reread.GetRootCount(), std::size_t(2));

        m_prompts.yesNoAnswers = { true };
        QVERIFY(Run(ID_FILE_SAVE));
        QVERIFY(!Doc().IsModified());
        reread.OnOpenDocument(QFile::encodeName(Path("lib.dli")).toStdString());
        QCOMPARE(reread.GetRootCount(), std::size_t(1));
    }

    void RecentFilesReopenAndForgetMissingOnes()
    {
        test::WriteLibrary(Path("one.dli"), { QStringLiteral("One") });
        test::WriteLibrary(Path("two.dli"), { QStringLiteral("Two"), QStringLiteral("Three") });
        QVERIFY(Start());
        m_prompts.openFiles = { Path("one.dli"), Path("two.dli") };
        QVERIFY(Run(ID_FILE_OPEN));
        QVERIFY(Run(ID_FILE_OPEN));
        QAction* first = Frame().Router().Action(ID_FILE_MRU_FIRST);
        QAction* second = Frame().Router().Action(ID_FILE_MRU_FIRST + 1);
        QCOMPARE(first->text(), QStringLiteral("&1 ") + Path("two.dli"));
        QCOMPARE(second->text(), QStringLiteral("&2 ") + Path("one.dli"));
        QVERIFY(!Frame().Router().Action(ID_FILE_MRU_FIRST + 2)->isVisible());

        QVERIFY(Run(ID_FILE_MRU_FIRST + 1));
        QCOMPARE(Doc().GetRootCount(), std::size_t(1));
        QCOMPARE(first->text(), QStringLiteral("&1 ") + Path("one.dli"));

        QFile::remove(Path("two.dli"));
        QVERIFY(Run(ID_FILE_MRU_FIRST + 1));
        QCOMPARE(m_prompts.messages.size(), 1);
        QCOMPARE(App().Controller()->RecentFiles().Files(), QStringList { Path("one.dli") });
        QVERIFY(!second->isVisible());
    }

    void DroppedLibraryOpens()
    {
        test::WriteLibrary(
            Path("dropped.dli"), { QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C") });
        QVERIFY(Start());
        QMimeData mime;
        mime.setUrls({ QUrl::fromLocalFile(Path("dropped.dli")) });
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&Frame(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&Frame(), &drop);
        QTRY_COMPARE(Doc().GetRootCount(), std::size_t(3));
        QCOMPARE(Frame().windowTitle(), Caption("dropped.dli"));
    }

    // Without a help file beside the program, help shows the manual of
    // the source tree when run from the build folder.
    void HelpOpensTheManual()
    {
        QVERIFY(Start());
        QVERIFY(!QFile::exists(App().HelpPath()));
        QVERIFY(Run(ID_HELP));
        QCOMPARE(m_prompts.urls.size(), 1);
        const QString manual = m_prompts.urls.first().toLocalFile();
        QVERIFY2(manual.endsWith(QStringLiteral("/docs/manual/index.html")), qPrintable(manual));
        QVERIFY(QFile::exists(manual));
        QVERIFY(m_prompts.messages.isEmpty());
    }

    void HelpFileComesBeforeTheManualAndAMissingManualIsNamed()
    {
        QVERIFY(Start());
        const QString help = Path("prog.chm");
        const QString manual = Path("manual/index.html");
        Frame().SetHelpPath(help);
        Frame().SetManualPath(manual);
        QVERIFY(Run(ID_HELP));
        QVERIFY(m_prompts.urls.isEmpty());
        QCOMPARE(m_prompts.messages.size(), 1);
        QVERIFY(m_prompts.messages.first().startsWith(QString::fromUtf8("没有找到")));
        QVERIFY(m_prompts.messages.first().contains(manual));

        QVERIFY(QDir().mkpath(Path("manual")));
        test::WriteBytes(manual, "<html></html>");
        QVERIFY(Run(ID_HELP));
        test::WriteBytes(help, "ITSF");
        QVERIFY(Run(ID_HELP));
        QCOMPARE(m_prompts.urls, QList<QUrl>({ QUrl::fromLocalFile(manual), QUrl::fromLocalFile(help) }));
    }

    void F1OpensHelp()
    {
        QVERIFY(Start());
        QApplication::setActiveWindow(&Frame());
        QTRY_VERIFY(Frame().isActiveWindow());
        QTest::keyClick(&Frame(), Qt::Key_F1);
        QCOMPARE(m_prompts.urls.size(), 1);
    }

    void HomePageComesFromTheProfile()
    {
        QVERIFY(Start());
        QVERIFY(Run(ID_HOME_PAGE));
        QVERIFY(m_prompts.urls.isEmpty());
        App().Profile()->setValue(
            QStringLiteral("URL/SoftwareHome"), QStringLiteral("https://example.org/tessary"));
        QVERIFY(Run(ID_HOME_PAGE));
        QCOMPARE(m_prompts.urls, QList<QUrl> { QUrl(QStringLiteral("https://example.org/tessary")) });
        QVERIFY(Run(ID_APP_ABOUT));
        QCOMPARE(m_prompts.aboutShown, 1);
    }

    // The address is taken as the user wrote it: settings parsing would make
    // a list of an address with a comma.
    void HomePageAddressIsReadAsWritten()
    {
        test::WriteBytes(Path("Oakbrim.ini"), "[URL]\nSoftwareHome=https://example.org/a?x=1,2\n");
        QVERIFY(Start());
        QVERIFY(Run(ID_HOME_PAGE));
        QCOMPARE(m_prompts.urls, QList<QUrl> { QUrl(QStringLiteral("https://example.org/a?x=1,2")) });
        Stop();
        test::WriteBytes(Path("Oakbrim.ini"), "[url]\r\nsoftwarehome = \"https://example.org/b, c\" \r\n");
        QVERIFY(Start());
        QVERIFY(Run(ID_HOME_PAGE));
        QCOMPARE(m_prompts.urls.value(1), QUrl(QStringLiteral("https://example.org/b, c")));
    }

    // Qt appends an application display name to every window title on X11;
    // the caption must read exactly "橡檐 - <title>".
    void CaptionGetsNothingAppended()
    {
        QVERIFY(Start());
        QCOMPARE(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
        QCOMPARE(Frame().windowHandle()->title(), Caption("未命名"));
    }

    void ToolbarButtonsWithoutATooltipPartShowNone()
    {
        QVERIFY(Start());
        auto tipOf = [this](int id) {
            QWidget* button = Frame().ToolBar()->widgetForAction(Frame().Router().Action(id));
            QToolTip::hideText();
            QHelpEvent event(QEvent::ToolTip, QPoint(3, 3), button->mapToGlobal(QPoint(3, 3)));
            QCoreApplication::sendEvent(button, &event);
            const QString shown = QToolTip::isVisible() ? QToolTip::text() : QString();
            QToolTip::hideText();
            return shown;
        };
        for (int id : { ID_ITEM_DELETE, ID_ITEM_EDIT, ID_MOVE_UP, ID_MOVE_DOWN, ID_FILTER })
            QVERIFY2(tipOf(id).isEmpty(), qPrintable(QString::number(id)));
        QCOMPARE(tipOf(ID_FILE_NEW), QString::fromUtf8("新建"));
        QCOMPARE(tipOf(ID_VIEW_CONTENT), QString::fromUtf8("查看内容"));
    }

    void RightClickOnTheBarsOffersNoPopup()
    {
        QVERIFY(Start());
        QVERIFY(!Frame().createPopupMenu());
        for (QWidget* bar :
            { static_cast<QWidget*>(Frame().ToolBar()), static_cast<QWidget*>(Frame().menuBar()) }) {
            bool popupShown = false;
            QTimer::singleShot(50, [&popupShown] {
                if (QWidget* popup = QApplication::activePopupWidget()) {
                    popupShown = true;
                    popup->close();
                }
            });
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), bar->mapToGlobal(QPoint(5, 5)));
            QCoreApplication::sendEvent(bar, &event);
            QTest::qWait(80);
            QVERIFY(!popupShown);
        }
    }

    void FailedOpenLeavesEverythingAsItWas()
    {
        test::WriteLibrary(Path("keep.dli"), { QStringLiteral("Alpha"), QStringLiteral("Beta") });
        static const char kBroken[] = "\x05\x00\xff\xff garbage";
        test::WriteBytes(Path("broken.dli"), QByteArray(kBroken, sizeof kBroken - 1));
        QVERIFY(Start({ Path("keep.dli") }));
        Frame().FilterField()->setText(QStringLiteral("abc"));
        QSignalSpy replaced(App().Controller(), &CDocumentController::DocumentReplaced);

        m_prompts.openFiles = { Path("missing.dli") };
        QVERIFY(Run(ID_FILE_OPEN));
        QCOMPARE(m_prompts.messages.size(), 1);
        QCOMPARE(replaced.count(), 0);
        QCOMPARE(Frame().FilterField()->text(), QStringLiteral("abc"));
        QCOMPARE(Doc().GetRootCount(), std::size_t(2));
        QCOMPARE(Frame().windowTitle(), Caption("keep.dli"));

        // A file that opens but is no library has replaced the old one.
        m_prompts.openFiles = { Path("broken.dli") };
        QVERIFY(Run(ID_FILE_OPEN));
        QCOMPARE(m_prompts.messages.size(), 2);
        QCOMPARE(replaced.count(), 1);
        QVERIFY(Frame().FilterField()->text().isEmpty());
        QCOMPARE(Doc().GetRootCount(), std::size_t(0));

        // An empty library replaced by a good one is still a replacement.
        Frame().FilterField()->setText(QStringLiteral("x"));
        m_prompts.openFiles = { Path("keep.dli") };
        QVERIFY(Run(ID_FILE_OPEN));
        QCOMPARE(replaced.count(), 2);
        QVERIFY(Frame().FilterField()->text().isEmpty());
    }
};

TESSARY_GUI_TEST_MAIN(AppTest)
#include "AppTest.moc"
