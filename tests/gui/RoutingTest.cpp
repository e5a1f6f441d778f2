#include "GuiTestSupport.h"

#include "Archive.h"
#include "CommandRouter.h"
#include "DocumentFile.h"
#include "ErrorReport.h"
#include "FileError.h"
#include "ResourceIds.h"

#include <QAction>
#include <QMenu>
#include <QRegularExpression>

#include <functional>
#include <map>
#include <stdexcept>

using namespace tessary;

namespace {

// A target that handles the ids it is given, records what it ran and may
// throw from a command.
class CFakeTarget : public ICommandTarget {
public:
    explicit CFakeTarget(const char* name)
        : m_name(name)
    {
    }

    void Handle(int id, bool enabled = true, std::function<void()> action = {})
    {
        m_handled[id] = { enabled, std::move(action) };
    }
    bool QueryCommand(int id, CommandState& state) override
    {
        auto it = m_handled.find(id);
        if (it == m_handled.end())
            return false;
        state.enabled = it->second.enabled;
        return true;
    }
    bool ExecuteCommand(int id) override
    {
        auto it = m_handled.find(id);
        if (it == m_handled.end())
            return false;
        ran.append(QString::fromLatin1(m_name) + QLatin1Char(':') + QString::number(id));
        if (it->second.action)
            it->second.action();
        return true;
    }

    QStringList ran;

private:
    struct Entry {
        bool enabled;
        std::function<void()> action;
    };
    const char* m_name;
    std::map<int, Entry> m_handled;
};

} // namespace

class RoutingTest : public QObject {
    Q_OBJECT
private:
    CFakeTarget m_manager { "manager" };
    CFakeTarget m_outputBar { "output" };
    CFakeTarget m_frame { "frame" };
    CCommandRouter* m_router = nullptr;
    int m_reports = 0;

private Q_SLOTS:
    void init()
    {
        m_manager = CFakeTarget("manager");
        m_outputBar = CFakeTarget("output");
        m_frame = CFakeTarget("frame");
        m_router = new CCommandRouter(this);
        m_router->SetRoute([this] {
            return std::vector<ICommandTarget*> { &m_manager, &m_outputBar, nullptr, &m_frame };
        });
        m_reports = 0;
        m_router->SetReporter([this] { ++m_reports; });
    }
    void cleanup() { delete m_router; }

    void FirstTargetInTheRouteWins()
    {
        m_manager.Handle(ID_RESULT_EXTRACT);
        m_outputBar.Handle(ID_RESULT_EXTRACT);
        m_outputBar.Handle(ID_EDIT_SELECT_ALL);
        QVERIFY(m_router->Execute(ID_RESULT_EXTRACT));
        QVERIFY(m_router->Execute(ID_EDIT_SELECT_ALL));
        QCOMPARE(m_manager.ran, QStringList { QStringLiteral("manager:40014") });
        QCOMPARE(m_outputBar.ran, QStringList { QStringLiteral("output:57642") });
    }

    // The enable rule of the first target decides, even when a later target
    // would enable the same id.
    void EnableStateComesFromTheWinningTarget()
    {
        m_manager.Handle(ID_SEARCH, false);
        m_frame.Handle(ID_SEARCH, true);
        QAction* action = m_router->Action(ID_SEARCH);
        m_router->UpdateActions({ action });
        QVERIFY(!action->isEnabled());
        QVERIFY(!m_router->Execute(ID_SEARCH));
        action->trigger();
        QVERIFY(m_manager.ran.isEmpty());
        QVERIFY(m_frame.ran.isEmpty());
    }

    void IdNobodyHandlesIsDisabled()
    {
        QAction* spare = m_router->Action(ID_TOOLBAR_SPARE);
        QAction* handled = m_router->Action(ID_FILE_NEW);
        m_frame.Handle(ID_FILE_NEW);
        m_router->UpdateAllActions();
        QVERIFY(!spare->isEnabled());
        QVERIFY(handled->isEnabled());
        QVERIFY(!m_router->Execute(ID_TOOLBAR_SPARE));
    }

    void ActionCarriesTextsOfTheStringTable()
    {
        QAction* save = m_router->Action(ID_FILE_SAVE, QString::fromUtf8("保存(&S)"));
        QCOMPARE(save->text(), QString::fromUtf8("保存(&S)"));
        QCOMPARE(save->statusTip(), QString::fromUtf8("保存活动文档库"));
        QCOMPARE(save->toolTip(), QString::fromUtf8("保存"));
        QVERIFY(!save->icon().isNull());
        QCOMPARE(m_router->Action(ID_FILE_SAVE), save);
        QCOMPARE(CCommandRouter::IdOf(save), ID_FILE_SAVE);
    }

    void MenuIsRefreshedWhenAboutToShow()
    {
        bool enabled = false;
        struct Toggle : ICommandTarget {
            bool* enabled;
            bool QueryCommand(int id, CommandState& s) override
            {
                if (id != ID_DATUM_EDIT)
                    return false;
                s.enabled = *enabled;
                return true;
            }
            bool ExecuteCommand(int) override { return false; }
        } toggle;
        toggle.enabled = &enabled;
        m_router->SetRoute([&] { return std::vector<ICommandTarget*> { &toggle }; });
        QMenu menu;
        menu.addAction(m_router->Action(ID_DATUM_EDIT));
        m_router->WatchMenu(&menu);
        Q_EMIT menu.aboutToShow();
        QVERIFY(!menu.actions().first()->isEnabled());
        enabled = true;
        Q_EMIT menu.aboutToShow();
        QVERIFY(menu.actions().first()->isEnabled());
    }

    void ExceptionFromCommandIsReportedAndRoutingGoesOn()
    {
        m_manager.Handle(ID_IMPORT_FOLDER, true, [] { throw std::runtime_error("boom"); });
        m_manager.Handle(ID_IMPORT_CD);
        QSignalSpy finished(m_router, &CCommandRouter::CommandFinished);
        QVERIFY(m_router->Execute(ID_IMPORT_FOLDER));
        QCOMPARE(m_reports, 1);
        QCOMPARE(finished.count(), 1);
        QVERIFY(m_router->Execute(ID_IMPORT_CD));
        QCOMPARE(m_manager.ran.size(), 2);
    }

    void ExceptionsAreDescribedByKind()
    {
        auto message = [](auto&& thrower) {
            try {
                thrower();
            } catch (...) {
                return ExceptionMessage(std::current_exception());
            }
            return QStringLiteral("not thrown");
        };
        QVERIFY(message([] { throw UserException(); }).isEmpty());
        QCOMPARE(message([] { throw std::logic_error("x"); }), QString::fromUtf8("发生错误"));
        QCOMPARE(message([] { throw 42; }), QString::fromUtf8("发生错误"));
        QCOMPARE(message([] { throw std::bad_alloc(); }), QString::fromUtf8("内存不足。"));
        const QString notFound = message([] { throw FileError(FileErrorCause::NotFound, "/data/a.dli"); });
        QVERIFY(notFound.contains(QStringLiteral("/data/a.dli")));
        QVERIFY(notFound.contains(QString::fromUtf8("找不到")));
        const QString bad = message([] { throw ArchiveError(ArchiveFault::BadClass, 17); });
        QVERIFY(bad.contains(QStringLiteral("17")));
        // The cause is told in the interface's language.
        QVERIFY(bad.contains(QString::fromUtf8("未知的类名")));
        const QString cut = message(
            [] { throw LibraryReadError("/data/cut.dli", ArchiveError(ArchiveFault::EndOfFile, 2977)); });
        QVERIFY(cut.contains(QStringLiteral("/data/cut.dli")));
        QVERIFY(cut.contains(QString::fromUtf8("文件意外结束，位置 2977")));
        for (ArchiveFault fault : { ArchiveFault::EndOfFile, ArchiveFault::BadClass, ArchiveFault::BadSchema,
                 ArchiveFault::BadIndex, ArchiveFault::NullTag, ArchiveFault::ObjectReference,
                 ArchiveFault::WrongKind, ArchiveFault::TooLarge }) {
            const QString text = ArchiveFaultMessage(fault);
            QVERIFY(!text.isEmpty());
            QVERIFY2(!text.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))), qPrintable(text));
        }
    }

    void ReportShowsMessageExceptForUserException()
    {
        test::CFakePrompts prompts;
        SetPrompts(&prompts);
        try {
            throw UserException();
        } catch (...) {
            ReportCurrentException();
        }
        QVERIFY(prompts.messages.isEmpty());
        try {
            throw std::runtime_error("?");
        } catch (...) {
            ReportCurrentException();
        }
        QCOMPARE(prompts.messages, QStringList { QString::fromUtf8("发生错误") });
        SetPrompts(nullptr);
    }
};

TESSARY_GUI_TEST_MAIN(RoutingTest)
#include "RoutingTest.moc"
