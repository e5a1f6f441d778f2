// The item commands run through the command manager, the desktop and the
// dialogs answered by fakes: what each does to the entries, the list and the
// modified flag, and what it hands to the desktop.

#include "CommandTestSupport.h"

#include "ContentCommands.h"
#include "ContentExtraction.h"
#include "DatumDlg.h"
#include "FileSystem.h"
#include "ItemCommands.h"
#include "PropertiesDlg.h"
#include "ResourceIds.h"
#include "SampleDocuments.h"
#include "TextPane.h"
#include "ViewerDialogs.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace tessary;
using namespace tessary::test;

namespace {

std::string DiskPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// A custom data item for the file at `path`, added to `parent` (first).
CCustomDatum* ItemFor(CCategory* parent, const QString& path)
{
    auto* d = new CCustomDatum(DiskToGb(DiskPath(path)));
    parent->AddDatum(d);
    return d;
}

// Records which viewer each content was shown in.
class CViewerSpy : public CFakeEntryServices {
public:
    void ViewContent(const CDatum& datum, ContentViewer viewer) override
    {
        shown.append({ datum.m_strContent.str(), viewer });
    }
    QList<std::pair<std::string, ContentViewer>> shown;
};

class CScopedEntryServices {
public:
    explicit CScopedEntryServices(IEntryServices& services)
        : m_previous(GetEntryServices())
    {
        SetEntryServices(&services);
    }
    ~CScopedEntryServices() { SetEntryServices(m_previous); }

private:
    IEntryServices* m_previous;
};

// Holds the read of the file named `held` until opened; can fail the
// first read of the file named `failing`.
class CReadGateFs : public PosixFileSystem {
public:
    std::string held, failing;
    int Open(const char* path, int flags, mode_t mode) override
    {
        const int fd = PosixFileSystem::Open(path, flags, mode);
        const std::string_view name = std::string_view(path).substr(std::string_view(path).rfind('/') + 1);
        if (name == held)
            m_heldFd = fd;
        if (name == failing)
            m_failingFd = fd;
        return fd;
    }
    ssize_t Read(int fd, void* buf, std::size_t size) override
    {
        if (fd == m_failingFd.load()) {
            errno = EIO;
            return -1;
        }
        if (fd == m_heldFd.load())
            while (!m_open.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return PosixFileSystem::Read(fd, buf, size);
    }
    void OpenGate() { m_open.store(true); }

private:
    std::atomic<int> m_heldFd { -2 };
    std::atomic<int> m_failingFd { -2 };
    std::atomic<bool> m_open { false };
};

} // namespace

class ItemCommandsTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_dir;

    QString Path(const char* name) const { return m_dir->filePath(QString::fromUtf8(name)); }

private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void newDatumTakesLocationRemarkAndTheFilesStatus()
    {
        {
            QFile file(Path("report.final.pdf"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(1234, 'x'));
            file.flush();
            QVERIFY(file.setFileTime(
                QDateTime::fromSecsSinceEpoch(1300000000), QFileDevice::FileModificationTime));
        }
        Commands c;
        CCustomCategory* cat = Custom("cat");
        Item(cat, "old", "txt");
        c.Doc().AddRoot(cat);
        c.Start();
        c.panes.Select(cat);

        ScopedDialogRunner cancel([](QDialog&) { return 2; });
        QVERIFY(c.Run(ID_DATUM_NEW));
        QCOMPARE(cat->GetDatumList().size(), std::size_t(1));
        QVERIFY(!c.Doc().IsModified());

        ScopedDialogRunner answer([&](QDialog& d) {
            auto& dlg = dynamic_cast<CDatumDlg&>(d);
            dlg.m_strLocation = DiskToGb(DiskPath(Path("report.final.pdf")));
            dlg.m_strRemark = Utf8ToGb("季度报告");
            return 1;
        });
        QVERIFY(c.Run(ID_DATUM_NEW));
        const DatumList& data = cat->GetDatumList();
        QCOMPARE(data.size(), std::size_t(2));
        CDatum* made = data.front();
        QCOMPARE(made->GetClassId(), ClassId::CustomDatum);
        QCOMPARE(Name(made), QStringLiteral("report.final"));
        QCOMPARE(made->m_strExtension.str(), std::string("pdf"));
        QCOMPARE(made->m_strRemark.str(), Utf8ToGb("季度报告"));
        QCOMPARE(made->m_dwSize, Size32(1234));
        QCOMPARE(made->m_timeModified, Time32(1300000000));
        QVERIFY(made->GetParent() == cat);
        // First of its category, last row of the list until the list is refilled.
        QVERIFY(c.panes.list->EntryAt(c.panes.list->RowCount() - 1) == made);
        QVERIFY(c.Doc().IsModified());

        // A location that names no file is taken as it stands.
        ScopedDialogRunner missing([](QDialog& d) {
            dynamic_cast<CDatumDlg&>(d).m_strLocation = "/nowhere/x.doc";
            return 1;
        });
        QVERIFY(c.Run(ID_DATUM_NEW));
        QCOMPARE(cat->GetDatumList().front()->m_dwSize, Size32(0));
        QCOMPARE(cat->GetDatumList().front()->GetPath(), std::string("/nowhere/x.doc"));
    }

    void openAndExploreHandTheDesktopAnExistingPathOnly()
    {
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("scan/sub")));
        WriteBytes(Path("scan/a.txt"), "a");
        WriteBytes(Path("mine.txt"), "m");
        // A name that is no UTF-8 must still lead to its file.
        const std::string oddName = DiskPath(m_dir->path()) + "/\xB0\xA1.txt";
        QVERIFY(::close(::open(oddName.c_str(), O_CREAT | O_WRONLY, 0644)) == 0);

        Commands c;
        auto* root = new CRootFolderCategory("scan", DiskToGb(DiskPath(Path("scan"))));
        root->ScanFolder(DiskPath(Path("scan")));
        auto* custom = Custom("custom");
        CCustomDatum* gone = ItemFor(custom, Path("gone.txt"));
        auto* odd = new CCustomDatum(DiskToGb(oddName));
        custom->AddDatum(odd);
        CCustomDatum* mine = ItemFor(custom, Path("mine.txt"));
        c.Doc().AddRoot(root);
        c.Doc().AddRoot(custom);
        c.Start();
        QList<QUrl>& urls = c.panes.prompts.urls;
        const auto local = [&](const char* name) { return QUrl::fromLocalFile(Path(name)); };

        // A scanned file: the file itself, and the folder of its category.
        c.panes.Select(root);
        const int fileRow = c.panes.list->RowOf(root->GetDatumList().front());
        c.panes.SelectListRows({ fileRow });
        QVERIFY(c.Run(ID_OPEN_FILE));
        QVERIFY(c.Run(ID_EXPLORE));
        QCOMPARE(urls, QList<QUrl>({ local("scan/a.txt"), local("scan") }));
        // A folder category can only be explored: its own folder.
        c.panes.SelectListRows({ 0 });
        QVERIFY(!c.Run(ID_OPEN_FILE));
        QVERIFY(c.Run(ID_EXPLORE));
        QCOMPARE(urls.back(), local("scan/sub"));

        // Custom items: the file, and the folder of its own location.
        urls.clear();
        c.panes.Select(custom);
        c.panes.SelectListRows({ c.panes.list->RowOf(mine) });
        QVERIFY(c.Run(ID_OPEN_FILE));
        QVERIFY(c.Run(ID_EXPLORE));
        QCOMPARE(urls, QList<QUrl>({ local("mine.txt"), QUrl::fromLocalFile(m_dir->path()) }));
        c.panes.SelectListRows({ c.panes.list->RowOf(odd) });
        QVERIFY(c.Run(ID_OPEN_FILE));
        QCOMPARE(QByteArray::fromPercentEncoding(urls.back().toEncoded()).toStdString(), "file://" + oddName);

        // A missing file: "没有找到", and nothing for the desktop.
        urls.clear();
        c.panes.SelectListRows({ c.panes.list->RowOf(gone) });
        QVERIFY(c.Run(ID_OPEN_FILE));
        QVERIFY(urls.isEmpty());
        QCOMPARE(c.panes.prompts.messages, Strings({ "没有找到" }));
        QVERIFY(QFile::remove(Path("mine.txt")));
        QVERIFY(QDir(Path("scan")).removeRecursively());
        c.panes.Select(root);
        c.panes.SelectListRows({ 0 });
        QVERIFY(c.Run(ID_EXPLORE));
        QVERIFY(urls.isEmpty());
        QCOMPARE(c.panes.prompts.messages.size(), 2);
        QVERIFY(!c.Doc().IsModified());
    }

    void extractionReportsEachFileItCannotReadAndFillsTheOthers()
    {
        WriteBytes(Path("a.txt"), "first");
        WriteBytes(Path("c.txt"), QByteArray("th\0ird", 6));
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("folder")));
        QVERIFY(::mkfifo(DiskPath(Path("pipe")).c_str(), 0644) == 0);
        Commands c;
        CCustomCategory* cat = Custom("cat");
        CCustomDatum* pipe = ItemFor(cat, Path("pipe"));
        CCustomDatum* folder = ItemFor(cat, Path("folder"));
        CCustomDatum* third = ItemFor(cat, Path("c.txt"));
        CCustomDatum* missing = ItemFor(cat, Path("b.txt"));
        CCustomDatum* first = ItemFor(cat, Path("a.txt"));
        missing->m_strContent = "kept";
        Custom("sub", cat);
        c.Doc().AddRoot(cat);
        c.Start();
        c.panes.Select(cat);

        // Rows: sub, a, b (missing), c.
        c.panes.SelectListRows({ 1, 2, 3 });
        QVERIFY(c.Run(ID_EXTRACT_CONTENT));
        QCOMPARE(first->m_strContent.str(), std::string("first"));
        QCOMPARE(third->m_strContent.str(), std::string("th\0ird", 6));
        QCOMPARE(missing->m_strContent.str(), std::string("kept"));
        QCOMPARE(c.panes.prompts.messages.size(), 1);
        QVERIFY(c.panes.prompts.messages.front().contains(Path("b.txt")));
        QVERIFY(c.Doc().IsModified());
        // The filled rows are drawn in blue now.
        QVERIFY(c.panes.ListModel()->index(1, 0).data(Qt::ForegroundRole).isValid());
        QVERIFY(!c.panes.ListModel()->index(4, 0).data(Qt::ForegroundRole).isValid());

        // What is no regular file is refused by name, and the rest goes on.
        c.panes.prompts.messages.clear();
        c.panes.SelectListRows({ 1, 4, 5 });
        QVERIFY(c.Run(ID_EXTRACT_CONTENT));
        QCOMPARE(c.panes.prompts.messages.size(), 2);
        QVERIFY(c.panes.prompts.messages[0].contains(Path("folder")));
        QVERIFY(c.panes.prompts.messages[1].contains(Path("pipe")));
        QVERIFY(folder->m_strContent.empty() && pipe->m_strContent.empty());

        // Only sub-categories: the command is not offered, and run anyway it
        // changes nothing.
        c.Doc().SetModifiedFlag(false);
        c.panes.SelectListRows({ 0 });
        QVERIFY(!c.Run(ID_EXTRACT_CONTENT));
        CExtractContentCmd(c.panes.list->SelectedEntries(), c.Doc(), nullptr).Execute();
        QVERIFY(!c.Doc().IsModified());
        QCOMPARE(c.panes.prompts.messages.size(), 2);
    }

    void documentsMayKeepTheirTextAloneAndThoseWithoutTextAreNamedOnce()
    {
        using samples::PdfLine;
        const std::string pdf = samples::MakePdf({ { { PdfLine::Font::Cid, "只在这里" } } });
        WriteBytes(Path("plan.pdf"), QByteArray::fromStdString(pdf));
        WriteBytes(Path("locked.pdf"),
            QByteArray::fromStdString(samples::MakePdf({ { { PdfLine::Font::Helvetica, "x" } } }, { true })));
        WriteBytes(Path("bad.docx"), "not a zip");
        WriteBytes(Path("a.txt"), "words");
        Commands c;
        CCustomCategory* cat = Custom("docs");
        CCustomDatum* text = ItemFor(cat, Path("a.txt"));
        CCustomDatum* bad = ItemFor(cat, Path("bad.docx"));
        CCustomDatum* locked = ItemFor(cat, Path("locked.pdf"));
        CCustomDatum* plan = ItemFor(cat, Path("plan.pdf"));
        c.Doc().AddRoot(cat);
        c.Start();
        c.panes.Select(cat);
        c.panes.SelectListRows({ 0, 1, 2, 3 });
        c.panes.prompts.choiceAnswers = { 1 }; // "只保存文本"
        QVERIFY(c.Run(ID_EXTRACT_CONTENT));
        QCOMPARE(c.panes.prompts.questions.size(), 1);
        QCOMPARE(plan->m_strText.str(), std::string("只在这里\n"));
        QVERIFY(plan->m_strContent.empty());
        QCOMPARE(locked->m_strContent.size(),
            samples::MakePdf({ { { PdfLine::Font::Helvetica, "x" } } }, { true }).size());
        QCOMPARE(bad->m_strContent.str(), std::string("not a zip"));
        QCOMPARE(text->m_strContent.str(), std::string("words"));
        // One message for both documents without text, each with its reason.
        QCOMPARE(c.panes.prompts.messages.size(), 1);
        const QString told = c.panes.prompts.messages.front();
        QVERIFY(told.contains(Path("locked.pdf") + QString::fromUtf8("（已加密）")));
        QVERIFY(told.contains(Path("bad.docx") + QString::fromUtf8("（已损坏）")));
        QVERIFY(!told.contains(Path("plan.pdf")));
        // The text-only item is drawn as one with content.
        QVERIFY(c.panes.ListModel()->index(0, 0).data(Qt::ForegroundRole).isValid());

        // Text files alone: nothing to choose.
        c.panes.SelectListRows({ 3 });
        QVERIFY(c.Run(ID_EXTRACT_CONTENT));
        QCOMPARE(c.panes.prompts.questions.size(), 1);
    }

    void aReadErrorStopsTheRunButKeepsWhatWasDone()
    {
        for (const char* name : { "a.txt", "b.txt", "c.txt" })
            WriteBytes(Path(name), name);
        CReadGateFs fs;
        fs.failing = "b.txt";
        fs.OpenGate();
        ScopedFileSystem installed(fs);
        CCustomCategory cat("cat");
        CCustomDatum* c3 = ItemFor(&cat, Path("c.txt"));
        CCustomDatum* b = ItemFor(&cat, Path("b.txt"));
        CCustomDatum* a = ItemFor(&cat, Path("a.txt"));
        CTessaryDoc doc;
        CFakePrompts prompts;
        SetPrompts(&prompts);
        CDatum* items[] = { a, b, c3 };
        const ExtractionOutcome outcome = ExtractContents(items, doc, nullptr);
        SetPrompts(nullptr);
        QCOMPARE(outcome.extracted, std::size_t(1));
        QCOMPARE(outcome.failed, std::size_t(1));
        QCOMPARE(a->m_strContent.str(), std::string("a.txt"));
        QVERIFY(b->m_strContent.empty() && c3->m_strContent.empty());
        QCOMPARE(prompts.messages.size(), 1);
        QVERIFY(prompts.messages.front().contains(Path("b.txt")));
        QVERIFY(doc.IsModified());
    }

    void aShortExtractionShowsTheWaitCursor()
    {
        WriteBytes(Path("a.txt"), "a");
        CReadGateFs fs;
        fs.held = "a.txt";
        ScopedFileSystem installed(fs);
        CCustomCategory cat("cat");
        std::vector<CDatum*> items { ItemFor(&cat, Path("a.txt")) };
        CTessaryDoc doc;
        Qt::CursorShape during = Qt::ArrowCursor;
        QTimer::singleShot(50, [&] {
            if (const QCursor* cursor = QApplication::overrideCursor())
                during = cursor->shape();
            fs.OpenGate();
        });
        QCOMPARE(ExtractContents(items, doc, nullptr, 5000).extracted, std::size_t(1));
        QCOMPARE(during, Qt::WaitCursor);
        QVERIFY(!QApplication::overrideCursor());
    }

    void cancelKeepsTheItemsDoneAndLeavesTheRest()
    {
        for (const char* name : { "a.txt", "b.txt", "c.txt", "d.txt" })
            WriteBytes(Path(name), name);
        CReadGateFs fs;
        fs.held = "c.txt";
        ScopedFileSystem installed(fs);
        CCustomCategory cat("cat");
        std::vector<CDatum*> items;
        for (const char* name : { "d.txt", "c.txt", "b.txt", "a.txt" })
            items.insert(items.begin(), ItemFor(&cat, Path(name)));
        CTessaryDoc doc;
        QWidget window;
        window.show();

        QString progress;
        WhenModal([&](QWidget* modal) {
            QCOMPARE(modal->objectName(), QStringLiteral("extractProgress"));
            auto* files = modal->findChild<QLabel*>(QStringLiteral("files"));
            QTRY_VERIFY(files->text().startsWith(QString::fromUtf8("已提取 2 / 4")));
            progress = modal->findChild<QLabel*>(QStringLiteral("file"))->text();
            modal->findChild<QPushButton*>(QStringLiteral("2"))->click();
            fs.OpenGate();
        });
        const ExtractionOutcome outcome = ExtractContents(items, doc, &window, 0);
        QVERIFY(outcome.cancelled);
        QVERIFY(progress.contains(QStringLiteral("c.txt")));
        QCOMPARE(items[0]->m_strContent.str(), std::string("a.txt"));
        QCOMPARE(items[1]->m_strContent.str(), std::string("b.txt"));
        QVERIFY(items[2]->m_strContent.empty() && items[3]->m_strContent.empty());
        QVERIFY(doc.IsModified());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void clearingMarksModifiedForAnyDataItemEvenWithoutContent()
    {
        Commands c;
        CCustomCategory* cat = Custom("cat");
        CCustomDatum* empty = Item(cat, "b", "txt");
        CCustomDatum* full = Item(cat, "a", "txt");
        full->m_strContent = "text";
        Custom("sub", cat);
        c.Doc().AddRoot(cat);
        c.Start();
        c.panes.Select(cat);

        c.panes.SelectListRows({ 1 });
        QVERIFY(c.Run(ID_CLEAR_CONTENT));
        QVERIFY(full->m_strContent.empty());
        QVERIFY(c.Doc().IsModified());
        QVERIFY(!c.Run(ID_CLEAR_CONTENT)); // nothing left to clear

        c.Doc().SetModifiedFlag(false);
        CClearContentCmd({ empty }, c.Doc()).Execute();
        QVERIFY(c.Doc().IsModified());
        c.Doc().SetModifiedFlag(false);
        CClearContentCmd({ cat->GetSubCategoryList().front() }, c.Doc()).Execute();
        QVERIFY(!c.Doc().IsModified());
    }

    void propertiesChangeOnlyTheRemark()
    {
        Commands c;
        CCustomCategory* cat = Custom("cat");
        CCustomDatum* item = Item(cat, "a", "txt", 42);
        item->m_strRemark = "old";
        c.Doc().AddRoot(cat);
        c.Start();
        c.panes.Select(cat);
        c.panes.SelectListRows({ 0 });

        // Every field is filled in and typed over; only the remark sticks.
        auto typeOver = [](bool confirm) {
            return [confirm](QDialog& d) {
                auto& dlg = dynamic_cast<CPropertiesDlg&>(d);
                dlg.InitDialog();
                for (QLineEdit* field : { dlg.NameField(), dlg.SizeField(), dlg.PathField() }) {
                    if (!field->isReadOnly())
                        return 0;
                    field->setText(QStringLiteral("7"));
                }
                dlg.RemarkField()->setPlainText(QString::fromUtf8("新的备注"));
                if (!confirm)
                    return 2;
                dlg.accept();
                return 1;
            };
        };
        {
            ScopedDialogRunner cancel(typeOver(false));
            QVERIFY(c.Run(ID_PROPERTIES));
        }
        QCOMPARE(item->m_strRemark.str(), std::string("old"));
        QVERIFY(!c.Doc().IsModified());

        ScopedDialogRunner confirm(typeOver(true));
        QVERIFY(c.Run(ID_PROPERTIES));
        QCOMPARE(item->m_strRemark.str(), Utf8ToGb("新的备注"));
        QCOMPARE(Name(item), QStringLiteral("a"));
        QCOMPARE(item->m_dwSize, Size32(42));
        QCOMPARE(item->GetPath(), std::string("/docs/a.txt"));
        QVERIFY(c.Doc().IsModified());
    }

    void viewersShowTheContentByExtensionAndTheRemarkAsText()
    {
        Commands c;
        CCustomCategory* cat = Custom("cat");
        CCustomDatum* text = Item(cat, "t", "htmlx");
        text->m_strContent = "plain";
        text->m_strRemark = "<b>not bold</b>";
        CCustomDatum* page = Item(cat, "p", "HTML");
        page->m_strContent = "<p>page</p>";
        c.Doc().AddRoot(cat);
        c.Start();
        c.panes.Select(cat);
        CViewerSpy viewers;
        CScopedEntryServices installed(viewers);

        c.panes.SelectListRows({ 0 });
        QVERIFY(c.Run(ID_VIEW_CONTENT));
        c.panes.SelectListRows({ 1 });
        QVERIFY(c.Run(ID_VIEW_CONTENT));
        QCOMPARE(viewers.shown.size(), 2);
        QCOMPARE(viewers.shown[0].first, std::string("<p>page</p>"));
        QVERIFY(viewers.shown[0].second == ContentViewer::Html);
        QCOMPARE(viewers.shown[1].first, std::string("plain"));
        QVERIFY(viewers.shown[1].second == ContentViewer::Text);

        QString shownRemark;
        test::WhenModalOpens(
            [&](QDialog& d) { shownRemark = dynamic_cast<CViewTextRemarkDlg&>(d).Pane()->Text(); });
        QVERIFY(c.Run(ID_VIEW_REMARK));
        QCOMPARE(shownRemark, QStringLiteral("<b>not bold</b>"));
        c.panes.SelectListRows({ 0 });
        QVERIFY(!c.Run(ID_VIEW_REMARK));
        QVERIFY(!c.Doc().IsModified());
    }
};

TESSARY_GUI_TEST_MAIN(ItemCommandsTest)
#include "ItemCommandsTest.moc"
