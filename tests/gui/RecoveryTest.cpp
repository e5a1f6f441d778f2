// Unsaved changes survive the program's end: killed, terminated, or hung up.

#include "MainWindowTestSupport.h"

#include "Recovery.h"
#include "RecoveryKeeper.h"
#include "ResourceIds.h"

#include <QProcess>

#include <csignal>

using namespace tessary;
using namespace tessary::test;

namespace {

// Changes of every kind a library stores: a remark, a new root with a
// Chinese name, a data item with content.
void EditLibrary(CTessaryDoc& doc, const char* remark)
{
    doc.GetRootList()[0]->m_strRemark = Utf8ToGb(remark);
    auto* added = new CCustomCategory(Utf8ToGb("新的类别"));
    auto* datum = new CCustomDatum;
    datum->m_strName = "note";
    datum->m_strContent = std::string("a\0b", 3);
    added->AddDatum(datum);
    doc.AddRoot(added);
    doc.SetModifiedFlag(true);
    doc.UpdateAllViews(nullptr);
}

QByteArray LibraryBytes(const CTessaryDoc& doc)
{
    std::string bytes;
    WriteLibrary(doc.GetRoots(), bytes);
    return QByteArray::fromStdString(bytes);
}

bool WaitForCopy(CTessaryDoc& doc)
{
    return QTest::qWaitFor(
        [&doc] { return App().Recovery()->WrittenSerial() == doc.GetChangeSerial(); }, 20000);
}

// The program as a child process: opens `library`, edits it, waits for the
// recovery copy, edits again and writes the bytes the library now has to
// `expected`; with `waitAgain` it also waits for the second copy. Then it
// says "ready" and runs until it is ended from outside.
int RunChild(const QStringList& args)
{
    CFakePrompts prompts;
    SetPrompts(&prompts);
    StartOptions options;
    options.registerFileType = false;
    if (!App().InitInstance({ args.at(0) }, options))
        return 2;
    CTessaryDoc& doc = *App().Document();
    EditLibrary(doc, "第一次");
    if (!WaitForCopy(doc))
        return 3;
    EditLibrary(doc, "第二次");
    if (args.at(2) == QLatin1String("1") && !WaitForCopy(doc))
        return 4;
    WriteBytes(args.at(1), LibraryBytes(doc));
    std::printf("ready\n");
    std::fflush(stdout);
    const int status = QApplication::exec();
    App().ExitInstance();
    return status;
}

} // namespace

class RecoveryTest : public CMainWindowTest {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        SetUpCase();
        qputenv("XDG_STATE_HOME", Path("state").toLocal8Bit());
        qputenv("TESSARY_RECOVERY_INTERVAL_MS", "50");
        WriteLibrary(Path("lib.dli"), { QStringLiteral("书架") });
    }
    void cleanup() { TearDownCase(); }

    void programEndsFromOutside_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QByteArray>("interval");
        // Killed: what the last copy taken between events holds.
        QTest::newRow("SIGKILL") << int(SIGKILL) << QByteArray("50");
        // Ended by the session: the copy is written on the way out, even
        // though the last change is younger than the interval.
        QTest::newRow("SIGTERM") << int(SIGTERM) << QByteArray("3600000");
        QTest::newRow("SIGHUP") << int(SIGHUP) << QByteArray("3600000");
    }
    void programEndsFromOutside()
    {
        QFETCH(int, signal);
        QFETCH(QByteArray, interval);
        const QByteArray original = ContentsOf(Path("lib.dli"));
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TESSARY_RECOVERY_INTERVAL_MS"), QString::fromLatin1(interval));
        env.insert(QStringLiteral("TESSARY_PROFILE"), Path("child.ini"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
            { QStringLiteral("--child"), Path("lib.dli"), Path("expected.dli"),
                QLatin1String(signal == SIGKILL ? "1" : "0") });
        QVERIFY(child.waitForStarted());
        QVERIFY(QTest::qWaitFor([&child] { return child.readAllStandardOutput().contains("ready"); }, 60000)
            || child.state() == QProcess::NotRunning);
        QCOMPARE(child.state(), QProcess::Running);
        ::kill(static_cast<pid_t>(child.processId()), signal);
        QVERIFY(child.waitForFinished(20000));
        if (signal != SIGKILL)
            QCOMPARE(child.exitCode(), 0);

        // The next start offers the edits back, byte for byte, without
        // writing the library itself.
        m_prompts.recoverAnswers = { IUserPrompts::RecoverAnswer::Recover };
        StartOn("lib.dli");
        QCOMPARE(m_prompts.recoverOffers, QStringList { Path("lib.dli") });
        QVERIFY(Doc().IsModified());
        QCOMPARE(LibraryBytes(Doc()), ContentsOf(Path("expected.dli")));
        QCOMPARE(ContentsOf(Path("lib.dli")), original);
        QCOMPARE(Doc().GetRootCount(), std::size_t(3));
        QCOMPARE(Tree().TreeModel()->rowCount(), 3);

        // Saved, the copy has done its work and goes.
        QVERIFY(Run(ID_FILE_SAVE));
        QCOMPARE(ContentsOf(Path("lib.dli")), ContentsOf(Path("expected.dli")));
        QVERIFY(QDir(Path("state/tessary/recovery")).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    // "Later" keeps the copy for another time; opening the library asks
    // again; "Discard" removes it and leaves the library as saved. Closing
    // without saving removes this program's own copy.
    void laterKeepsTheCopyAndDiscardRemovesIt()
    {
        StartOn("lib.dli");
        EditLibrary(Doc(), "改动");
        QVERIFY(WaitForCopy(Doc()));
        const QString copy = QFile::decodeName(QByteArray::fromStdString(App().Recovery()->CopyPath()));
        QVERIFY(QFile::exists(copy));
        App().Recovery()->KeepCopyAtEnd(); // as a crash would leave it
        TearDownCase();
        m_prompts = CFakePrompts();
        SetPrompts(&m_prompts);

        StartOptions options;
        options.profilePath = Path("Oakbrim.ini");
        options.registerFileType = false;
        QVERIFY(App().InitInstance({}, options));
        QCOMPARE(m_prompts.recoverOffers, QStringList { Path("lib.dli") });
        QVERIFY(!Doc().IsModified());
        QVERIFY(Doc().GetPathName().empty());
        QVERIFY(QFile::exists(copy));

        m_prompts.recoverAnswers = { IUserPrompts::RecoverAnswer::Discard };
        m_prompts.openFiles = { Path("lib.dli") };
        QVERIFY(Run(ID_FILE_OPEN));
        QCOMPARE(m_prompts.recoverOffers.size(), 2);
        QVERIFY(!QFile::exists(copy));
        QVERIFY(!Doc().IsModified());
        QCOMPARE(Doc().GetRootCount(), std::size_t(1));

        // Edited and closed with "don't save": nothing is left.
        EditLibrary(Doc(), "又改");
        QVERIFY(WaitForCopy(Doc()));
        m_prompts.saveAnswers = { IUserPrompts::SaveAnswer::Discard };
        QVERIFY(App().ExitInstance());
        QVERIFY(QDir(Path("state/tessary/recovery")).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }
};

int main(int argc, char** argv)
{
    tessary::CTessaryApp app(argc, argv);
    if (argc > 1 && QByteArray(argv[1]) == "--child")
        return RunChild(app.arguments().mid(2));
    RecoveryTest tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "RecoveryTest.moc"
