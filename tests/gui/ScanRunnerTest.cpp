#include "GuiTestSupport.h"

#include "Datum.h"
#include "FileSystem.h"
#include "ScanRunner.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <new>
#include <thread>

using namespace tessary;
using namespace tessary::test;

namespace {

void MakeFile(const QString& path, int size, qint64 seconds)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(size, 'x'));
    f.flush();
    QVERIFY(f.setFileTime(QDateTime::fromSecsSinceEpoch(seconds), QFileDevice::FileModificationTime));
}

// Counts the progress dialogs that were shown.
class CShowCounter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->objectName() == QLatin1String("scanProgress"))
            ++shown;
        return false;
    }
    int shown = 0;
};

} // namespace

class ScanRunnerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void scanThroughTheRunnerGivesTheSameTreeAsADirectScan()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QDir root(dir.path());
        for (const char* f : { "a/b/c", "a/d", "e", "中文/目录" })
            QVERIFY(root.mkpath(QString::fromUtf8(f)));
        MakeFile(root.filePath(QStringLiteral("top.txt")), 10, 1000000000);
        MakeFile(root.filePath(QStringLiteral("a/one.tar.gz")), 3, 1200000000);
        MakeFile(root.filePath(QStringLiteral("a/b/c/.hidden")), 0, 1300000000);
        MakeFile(root.filePath(QString::fromUtf8("中文/目录/文件.doc")), 7, 1400000000);
        for (int i = 0; i < 50; ++i)
            MakeFile(root.filePath(QStringLiteral("e/f%1").arg(i)), i, 1500000000 + i);

        const std::string diskPath = QFile::encodeName(dir.path()).toStdString();
        const std::string name = Utf8ToGb("导入");
        CRootFolderCategory direct(name, DiskToGb(diskPath));
        const ScanReport directReport = ScanFolderInto(direct, diskPath);

        ScannedCategory scanned = ScanNewCategory(
            nullptr, QString::fromUtf8("导入文件夹"), ImportKind::RootFolder, name, DiskToGb(diskPath));
        QVERIFY(scanned.category);
        QCOMPARE(scanned.category->GetClassId(), ClassId::RootFolderCategory);
        QCOMPARE(scanned.category->m_strPath.str(), DiskToGb(diskPath));
        QVERIFY(scanned.category->GetParent() == nullptr);
        QVERIFY(scanned.report.opened);
        QVERIFY(!scanned.report.cancelled);
        QCOMPARE(scanned.report.entries, directReport.entries);
        QCOMPARE(test::DescribeTree(*scanned.category), test::DescribeTree(direct));
    }

    void eachKindIsBuiltAndAMissingPathGivesAnEmptyCategory()
    {
        ScannedCategory cd = ScanNewCategory(nullptr, QString(), ImportKind::CDRom, "cd", "/dev/sr-none");
        QVERIFY(cd.category);
        QCOMPARE(cd.category->GetClassId(), ClassId::CDRomCategory);
        QVERIFY(cd.category->GetSubCategoryList().empty() && cd.category->GetDatumList().empty());
        QVERIFY(!cd.report.opened);
        ScannedCategory drive
            = ScanNewCategory(nullptr, QString(), ImportKind::Drive, "d", "/no/such/volume");
        QCOMPARE(drive.category->GetClassId(), ClassId::DriverCategory);
        QCOMPARE(drive.category->m_strName.str(), std::string("d"));
    }

    void cancelMidwayHandsBackNothingOnceTheWorkerHasStopped()
    {
        QTemporaryDir dir;
        QDir root(dir.path());
        for (int i = 0; i < 20; ++i)
            QVERIFY(root.mkpath(QStringLiteral("d%1/e").arg(i)));
        CGateFs gate;
        ScopedFileSystem installed(gate);

        QWidget window;
        window.show();
        bool waitedForWorker = false;
        WhenModal([&](QWidget* modal) {
            QCOMPARE(modal->objectName(), QStringLiteral("scanProgress"));
            QCOMPARE(modal->windowModality(), Qt::WindowModal);
            auto* cancel = modal->findChild<QPushButton*>(QStringLiteral("2"));
            cancel->click();
            // The worker is still held: the dialog stays up, unable to cancel twice.
            QCoreApplication::processEvents();
            waitedForWorker = modal->isVisible() && !cancel->isEnabled();
            gate.Open();
        });
        ScannedCategory scanned = ScanNewCategory(&window, QString::fromUtf8("导入文件夹"),
            ImportKind::RootFolder, "x", QFile::encodeName(dir.path()).toStdString());
        QVERIFY(waitedForWorker);
        QVERIFY(!scanned.category);
        QVERIFY(scanned.report.cancelled);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void progressShowsTheFiguresWhileTheJobRuns()
    {
        std::atomic<bool> returned { false };
        QString entriesText;
        QString folderText;
        WhenModal([&](QWidget* modal) {
            auto* entries = modal->findChild<QLabel*>(QStringLiteral("entries"));
            auto* folder = modal->findChild<QLabel*>(QStringLiteral("folder"));
            QTRY_VERIFY(folder->text().contains(QString::fromUtf8("某处")));
            entriesText = entries->text();
            folderText = folder->text();
            modal->findChild<QPushButton*>(QStringLiteral("2"))->click();
        });
        const bool completed = RunScanJob(nullptr, QStringLiteral("t"), [&returned](ScanProgress& progress) {
            progress.AddEntries(1234);
            progress.SetCurrentFolder("/data/\xE6\x9F\x90\xE5\xA4\x84"); // 某处
            while (!progress.Cancelled())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            returned = true;
        });
        QVERIFY(!completed);
        QVERIFY(returned);
        QVERIFY2(entriesText.contains(QLocale().toString(1234)), qPrintable(entriesText));
        QVERIFY(folderText.contains(QStringLiteral("/data/")));
    }

    void aQuickJobShowsNoDialogAndErrorsReachTheCaller()
    {
        CShowCounter counter;
        qApp->installEventFilter(&counter);
        QVERIFY(RunScanJob(nullptr, QString(), [](ScanProgress& p) { p.AddEntries(1); }));
        QVERIFY_THROWS_EXCEPTION(
            std::bad_alloc, RunScanJob(nullptr, QString(), [](ScanProgress&) { throw std::bad_alloc(); }));
        qApp->removeEventFilter(&counter);
        QCOMPARE(counter.shown, 0);
    }

    void skippedFoldersAreToldOnceWithTheFirstFewPaths()
    {
        ScanReport report;
        QVERIFY(SkippedFoldersMessage(report).isEmpty());
        report.skipped.push_back({ "/mnt/other", ScanSkip::Reason::OtherVolume, 0 });
        report.skipped.push_back({ "/proc", ScanSkip::Reason::Pseudo, 0 });
        QVERIFY(SkippedFoldersMessage(report).isEmpty());

        for (const char* p : { "/g", "/c", "/a", "/f", "/e", "/b", "/d\xFF" })
            report.skipped.push_back({ p, ScanSkip::Reason::Unreadable, 13 });
        const QStringList lines = SkippedFoldersMessage(report).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 7);
        QVERIFY(lines[0].contains(QLatin1String(" 7 ")));
        QStringList expected;
        for (const char* p : { "/a", "/b", "/c", "/d\xEF\x9F\xBF", "/e" }) // the stray byte readable
            expected.append(QString::fromUtf8(p));
        QCOMPARE(lines.mid(1, 5), expected);
        QCOMPARE(lines[6], QString::fromUtf8("……"));

        QCOMPARE(SkippedFoldersMessage(report, 7).split(QLatin1Char('\n')).size(), 8);
    }
};

TESSARY_GUI_TEST_MAIN(ScanRunnerTest)
#include "ScanRunnerTest.moc"
