// Files that are no library, or no file at all, given to the window in every
// way it takes one: the program keeps running and says which file and why.

#include "MainWindowTestSupport.h"

#include "ResourceIds.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QRegularExpression>

#include <sys/stat.h>
#include <unistd.h>

using namespace tessary;
using namespace tessary::test;

namespace {

// Cuts the file to half its length between its opening and the first read.
struct ShrinkingFs : PosixFileSystem {
    std::string path;
    bool done = false;
    ssize_t Read(int fd, void* buf, std::size_t size) override
    {
        struct stat st;
        if (!done && ::fstat(fd, &st) == 0 && st.st_size > 1 && ::truncate(path.c_str(), st.st_size / 2) != 0)
            return -1;
        done = true;
        return PosixFileSystem::Read(fd, buf, size);
    }
};

const QRegularExpression kChinese(QStringLiteral("[\\x{4e00}-\\x{9fff}]"));

} // namespace

class BadInputTest : public CMainWindowTest {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        SetUpCase();
        WriteLibrary(Path("home.dli"), { QStringLiteral("书架") });
        StartOn("home.dli");
    }
    void cleanup() { TearDownCase(); }

    void givenToTheWindow_data()
    {
        QTest::addColumn<QString>("source"); // a file to copy, or what to make
        QTest::addColumn<bool>("mustFail");
        const QDir fuzz(QStringLiteral(TESSARY_FUZZ_DIR));
        QFileInfoList files
            = QDir(fuzz.filePath(QStringLiteral("corpus/archive"))).entryInfoList(QDir::Files);
        files += QDir(fuzz.filePath(QStringLiteral("regressions"))).entryInfoList(QDir::Files);
        QVERIFY(files.size() > 3);
        for (const QFileInfo& f : files) {
            QTest::addRow("%s", qPrintable(f.fileName())) << f.filePath() << false;
            // Damaged the ways a disk or a transfer damages files.
            QTest::addRow("cut %s", qPrintable(f.fileName()))
                << QStringLiteral("cut:") + f.filePath() << false;
            QTest::addRow("flip %s", qPrintable(f.fileName()))
                << QStringLiteral("flip:") + f.filePath() << false;
        }
        QTest::newRow("folder") << QStringLiteral("folder") << true;
        QTest::newRow("fifo") << QStringLiteral("fifo") << true;
        QTest::newRow("unreadable") << QStringLiteral("unreadable") << true;
        QTest::newRow("empty") << QStringLiteral("empty") << false;
        QTest::newRow("shrinks while read") << QStringLiteral("shrinking") << true;
    }
    void givenToTheWindow()
    {
        QFETCH(QString, source);
        QFETCH(bool, mustFail);
        QString path = Path("input.dli");
        ShrinkingFs fs;
        std::unique_ptr<ScopedFileSystem> installed;
        QByteArray bytes = ContentsOf(source.section(QLatin1Char(':'), -1));
        if (source.startsWith(QLatin1String("cut:")))
            bytes.truncate(bytes.size() / 2);
        else if (source.startsWith(QLatin1String("flip:")) && !bytes.isEmpty())
            bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x5A);
        if (source == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(path));
        else if (source == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (source == QLatin1String("unreadable") && ::geteuid() == 0)
            path = QStringLiteral("/proc/sys/vm/compact_memory"); // refused even to the superuser
        else if (source != QLatin1String("shrinking"))
            WriteBytes(path, bytes);
        if (source == QLatin1String("unreadable") && ::geteuid() != 0)
            QFile::setPermissions(path, QFileDevice::WriteOwner);
        if (source == QLatin1String("unreadable") && QFile(path).open(QIODevice::ReadOnly))
            QSKIP("no file here that cannot be read");
        fs.path = QFile::encodeName(path).toStdString();
        if (source == QLatin1String("shrinking"))
            installed = std::make_unique<ScopedFileSystem>(fs);

        const auto ways = { "merge", "drop", "open" };
        for (const char* way : ways) {
            if (installed) {
                WriteBytes(path, ContentsOf(Path("home.dli")));
                fs.done = false;
            }
            m_prompts.messages.clear();
            if (way == std::string("merge")) {
                QVERIFY(Doc().GetRootCount() > 0);
                Tree().RevealEntry(Root(0));
                m_prompts.importFiles = { path };
                Run(ID_LIBRARY_IMPORT);
            } else if (way == std::string("drop")) {
                QMimeData mime;
                mime.setUrls({ QUrl::fromLocalFile(path) });
                QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
                QCoreApplication::sendEvent(&Frame(), &enter);
                QVERIFY(enter.isAccepted());
                QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
                QCoreApplication::sendEvent(&Frame(), &drop);
                QTest::qWait(50);
            } else {
                m_prompts.openFiles = { path };
                m_prompts.saveAnswers = { IUserPrompts::SaveAnswer::Discard };
                Run(ID_FILE_OPEN);
            }
            if (mustFail)
                QVERIFY2(!m_prompts.messages.isEmpty(), way);
            for (const QString& message : m_prompts.messages) {
                QVERIFY2(message.contains(path), qPrintable(message));
                QString reason = message;
                reason.remove(path);
                reason.remove(QString::fromUtf8("无法打开文档“”。"));
                QVERIFY2(reason.contains(kChinese), qPrintable(message));
            }
            // Whatever happened, the window still works on a sound library.
            if (Doc().GetRootCount() == 0 || !Root(0)->CanImportInto()) {
                m_prompts.openFiles = { Path("home.dli") };
                m_prompts.saveAnswers = { IUserPrompts::SaveAnswer::Discard };
                fs.done = true;
                QVERIFY(Run(ID_FILE_OPEN));
            }
        }
    }
};

TESSARY_GUI_TEST_MAIN(BadInputTest)
#include "BadInputTest.moc"
