#include "GuiTestSupport.h"

#include "IconList.h"
#include "Profile.h"
#include "Registration.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

using namespace tessary;

namespace {
QStringList Names(std::initializer_list<const char*> names)
{
    QStringList list;
    for (const char* n : names)
        list << QString::fromUtf8(n);
    return list;
}
} // namespace

class ProfileTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void HelpFileReplacesTheExtensionAndEveryUpperCaseHlp_data()
    {
        QTest::addColumn<QString>("exe");
        QTest::addColumn<QString>("help");
        QTest::newRow("with extension")
            << QStringLiteral("/opt/Tools/prog.exe") << QStringLiteral("/opt/Tools/prog.chm");
        QTest::newRow("without extension")
            << QStringLiteral("/usr/bin/tessary") << QStringLiteral("/usr/bin/tessary.chm");
        QTest::newRow("dot in a folder stays")
            << QStringLiteral("/opt/app.d/tessary") << QStringLiteral("/opt/app.d/tessary.chm");
        QTest::newRow("folder with .HLP")
            << QStringLiteral("/opt/x.HLP/prog") << QStringLiteral("/opt/x.chm/prog.chm");
        QTest::newRow("folder with .hlp")
            << QStringLiteral("/opt/x.hlp/prog") << QStringLiteral("/opt/x.hlp/prog.chm");
    }
    void HelpFileReplacesTheExtensionAndEveryUpperCaseHlp()
    {
        QFETCH(QString, exe);
        QFETCH(QString, help);
        QCOMPARE(HelpPathFor(exe), help);
    }

    void ProfileLivesBesideTheExecutableWhenWritable()
    {
        QTemporaryDir exeDir;
        QTemporaryDir configDir;
        QCOMPARE(
            ProfilePathFor(exeDir.path(), configDir.path()), exeDir.filePath(QStringLiteral("Oakbrim.ini")));
        // A place that cannot hold the file sends it to the user's folder.
        const QString missing = exeDir.filePath(QStringLiteral("no/such/dir"));
        QCOMPARE(
            ProfilePathFor(missing, configDir.path()), configDir.filePath(QStringLiteral("Oakbrim.ini")));
        // An installed copy uses the user's folder even where it could write
        // its own: a prefix with the program's shared files, or /usr.
        QVERIFY(QDir(exeDir.path()).mkpath(QStringLiteral("prefix/bin"))
            && QDir(exeDir.path()).mkpath(QStringLiteral("prefix/share/tessary")));
        QCOMPARE(ProfilePathFor(exeDir.filePath(QStringLiteral("prefix/bin")), configDir.path()),
            configDir.filePath(QStringLiteral("Oakbrim.ini")));
        QVERIFY(IsInstalledCopy(QStringLiteral("/usr/bin")));
        QVERIFY(IsInstalledCopy(QStringLiteral("/usr/local/bin")));
        QVERIFY(!IsInstalledCopy(exeDir.path()));
    }

    void RecentFilesKeepFourNewestFirstWithoutDuplicates()
    {
        CRecentFileList list(4);
        for (const char* name : { "/a.dli", "/b.dli", "/c.dli", "/d.dli", "/e.dli" })
            list.Add(QString::fromLatin1(name));
        QCOMPARE(list.Files(), Names({ "/e.dli", "/d.dli", "/c.dli", "/b.dli" }));
        list.Add(QStringLiteral("/c.dli"));
        QCOMPARE(list.Files(), Names({ "/c.dli", "/e.dli", "/d.dli", "/b.dli" }));
        list.Remove(QStringLiteral("/e.dli"));

        QTemporaryDir dir;
        QSettings profile(dir.filePath(QStringLiteral("p.ini")), QSettings::IniFormat);
        list.Save(profile);
        CRecentFileList loaded(4);
        loaded.Load(profile);
        QCOMPARE(loaded.Files(), Names({ "/c.dli", "/d.dli", "/b.dli" }));
    }

    void RegistrationIsWrittenOnceAndRepairedWhenChanged()
    {
        QTemporaryDir home;
        const QString exe = QStringLiteral("/opt/my apps/tessary");
        QVERIFY(RegisterFileType(home.path(), exe));
        QVERIFY(!RegisterFileType(home.path(), exe));

        QFile mime(home.filePath(QStringLiteral("mime/packages/tessary.xml")));
        QVERIFY(mime.open(QIODevice::ReadOnly));
        const QByteArray xml = mime.readAll();
        QVERIFY(xml.contains("<glob pattern=\"*.dli\"/>"));
        QVERIFY(xml.contains("Tessary Document"));

        QFile desktop(home.filePath(QStringLiteral("applications/tessary.desktop")));
        QVERIFY(desktop.open(QIODevice::ReadOnly));
        QVERIFY(desktop.readAll().contains("Exec=\"/opt/my apps/tessary\" %f"));
        desktop.close();

        // A moved program registers its new place.
        QVERIFY(RegisterFileType(home.path(), QStringLiteral("/usr/bin/tessary")));
        QVERIFY(QFile::exists(home.filePath(QStringLiteral("icons/hicolor/48x48/apps/tessary.png"))));
    }

    void ManualIsTheInstalledCopyElseTheSourceTree()
    {
        QTemporaryDir prefix;
        QTemporaryDir source;
        const QString bin = prefix.filePath(QStringLiteral("bin"));
        const QString installed = prefix.filePath(QStringLiteral("share/tessary/manual/index.html"));
        const QString sourceIndex = source.filePath(QStringLiteral("index.html"));
        QVERIFY(QDir().mkpath(bin));
        // Neither exists: the installed place, for the message that names it.
        QCOMPARE(ManualPathFor(bin, source.path()), installed);
        test::WriteBytes(sourceIndex, "<html></html>");
        QCOMPARE(ManualPathFor(bin, source.path()), sourceIndex);
        QVERIFY(QDir().mkpath(QFileInfo(installed).absolutePath()));
        test::WriteBytes(installed, "<html></html>");
        QCOMPARE(ManualPathFor(bin, source.path()), installed);
    }

    void InstalledCopyLeavesTheUserFolderAlone()
    {
        QTemporaryDir prefix;
        QTemporaryDir home;
        const QString exe = prefix.filePath(QStringLiteral("bin/tessary"));
        QVERIFY(QDir().mkpath(prefix.filePath(QStringLiteral("bin"))));
        // Only half of the installed registration: still a copy of its own.
        QVERIFY(QDir().mkpath(prefix.filePath(QStringLiteral("share/applications"))));
        test::WriteBytes(
            prefix.filePath(QStringLiteral("share/applications/tessary.desktop")), "[Desktop Entry]\n");
        QVERIFY(!HasInstalledRegistration(QFileInfo(exe).absolutePath()));

        QVERIFY(QDir().mkpath(prefix.filePath(QStringLiteral("share/mime/packages"))));
        test::WriteBytes(
            prefix.filePath(QStringLiteral("share/mime/packages/tessary.xml")), "<mime-info/>\n");
        QVERIFY(HasInstalledRegistration(QFileInfo(exe).absolutePath()));
        QVERIFY(!UpdateUserRegistration(home.path(), exe));
        QVERIFY(QDir(home.path()).isEmpty());

        // The same program elsewhere registers itself.
        const QString loose = home.filePath(QStringLiteral("build/tessary"));
        QVERIFY(UpdateUserRegistration(home.path(), loose));
        QVERIFY(QFile::exists(home.filePath(QStringLiteral("mime/packages/tessary.xml"))));
        QVERIFY(QFile::exists(home.filePath(QStringLiteral("icons/hicolor/scalable/apps/tessary.svg"))));
        QFile desktop(home.filePath(QStringLiteral("applications/tessary.desktop")));
        QVERIFY(desktop.open(QIODevice::ReadOnly));
        const QByteArray entry = desktop.readAll();
        QVERIFY(entry.contains("\nMimeType=application/x-tessary-library;\n"));
        QVERIFY(entry.contains("\nIcon=tessary\n"));
        QCOMPARE(entry.count("\nExec="), 1);
    }

    // A build folder that registered itself and was then deleted must not
    // hide the installed desktop entry; a program that still exists keeps
    // its entry, whatever its path holds.
    void StaleDesktopEntryGoesOnlyWhenItsProgramIsGone()
    {
        QTemporaryDir home;
        QTemporaryDir programs;
        const QString entry = home.filePath(QStringLiteral("applications/tessary.desktop"));
        const QString odd = programs.filePath(QString::fromUtf8("a \"b\" $c `d` \\e 50% 橡檐"));
        test::WriteBytes(odd, "#!/bin/sh\n");
        QVERIFY(RegisterFileType(home.path(), odd));
        QVERIFY(!RemoveStaleDesktopEntry(home.path()));
        QVERIFY(QFile::exists(entry));

        QVERIFY(QFile::remove(odd));
        QVERIFY(RemoveStaleDesktopEntry(home.path()));
        QVERIFY(!QFile::exists(entry));
        QVERIFY(!RemoveStaleDesktopEntry(home.path()));

        // An entry that runs the program from the search path says nothing
        // about where it is.
        test::WriteBytes(entry, "[Desktop Entry]\nExec=tessary %f\n");
        QVERIFY(!RemoveStaleDesktopEntry(home.path()));
        QVERIFY(QFile::exists(entry));
    }

    void IconListSharesOneEntryPerKindOfName()
    {
        CIconList icons;
        const int folderA = icons.IndexOf(QStringLiteral("/media/cd/a"), true, false);
        const int folderB = icons.IndexOf(QStringLiteral("/media/cd/b"), true, false);
        QCOMPARE(folderA, folderB);
        QVERIFY(icons.IndexOf(QStringLiteral("/media/cd/a"), true, true) != folderA);
        QVERIFY(icons.IndexOf(QStringLiteral(".dli"), false, false)
            != icons.IndexOf(QStringLiteral(".cdcate"), false, false));
        QCOMPARE(icons.IndexOf(QStringLiteral(".TXT"), false, false),
            icons.IndexOf(QStringLiteral(".txt"), false, false));
        QCOMPARE(icons.IndexOf(QStringLiteral("noext"), false, false), 0);
        const int count = icons.Count();
        for (int i = 0; i < 1000; ++i)
            icons.IndexOf(QStringLiteral("/x/%1").arg(i), true, false);
        QCOMPARE(icons.Count(), count);
        QVERIFY(!icons.Icon(icons.IndexOf(QStringLiteral(".dli"), false, false)).isNull());
    }
};

TESSARY_GUI_TEST_MAIN(ProfileTest)
#include "ProfileTest.moc"
