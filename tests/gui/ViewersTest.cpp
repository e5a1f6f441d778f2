#include "GuiTestSupport.h"

#include "Datum.h"
#include "DialogHooks.h"
#include "DisplayText.h"
#include "EntryDialogs.h"
#include "TextPane.h"
#include "ViewerDialogs.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QImage>
#include <QScrollBar>
#include <QSettings>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <functional>

using namespace tessary;
using test::WhenModalOpens;

namespace {

std::string Gb(const char* utf8)
{
    return Utf8ToGb(utf8);
}

bool HasPureRed(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            if (rgb.pixel(x, y) == qRgb(255, 0, 0))
                return true;
    return false;
}

} // namespace

class ViewersTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QSettings> m_profile;

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_profile = std::make_unique<QSettings>(
            m_dir->filePath(QStringLiteral("Oakbrim.ini")), QSettings::IniFormat);
    }
    void cleanup()
    {
        m_profile.reset();
        GetDialogHooks() = DialogHooks();
    }

    void ViewersKeepTheirOwnRectangles()
    {
        const QRect moved(300, 200, 500, 400);
        {
            CViewTextRemarkDlg dlg(nullptr, m_profile.get());
            dlg.show();
            QCOMPARE(dlg.frameGeometry(), QRect(120, 60, 480, 360)); // the default, frame included
            // No caption: the title shows nothing, yet is not empty (the
            // window system would show the program's name instead).
            const QString title = dlg.windowHandle()->title();
            QVERIFY(!title.isEmpty());
            QVERIFY(std::all_of(
                title.begin(), title.end(), [](QChar c) { return c.category() == QChar::Other_Format; }));
            dlg.setGeometry(moved.marginsRemoved(dlg.windowHandle()->frameMargins()));
            dlg.reject();
        }
        m_profile->beginGroup(QStringLiteral("ViewTextRemarkForm"));
        QCOMPARE(m_profile->value(QStringLiteral("Left")).toInt(), 300);
        QCOMPARE(m_profile->value(QStringLiteral("Top")).toInt(), 200);
        QCOMPARE(m_profile->value(QStringLiteral("right")).toInt(), 800);
        QCOMPARE(m_profile->value(QStringLiteral("bottom")).toInt(), 600);
        m_profile->endGroup();
        {
            CViewTextRemarkDlg dlg(nullptr, m_profile.get());
            dlg.show();
            QCOMPARE(dlg.frameGeometry(), moved);
            dlg.accept();
        }
        {
            CViewRemarkDlg html(QStringLiteral("<p>x</p>"), nullptr, m_profile.get());
            html.show();
            QCOMPARE(html.frameGeometry(), QRect(120, 60, 480, 360));
            html.setGeometry(QRect(150, 100, 200, 150).marginsRemoved(html.windowHandle()->frameMargins()));
            html.close();
        }
        CViewRemarkDlg again(QString(), nullptr, m_profile.get());
        QCOMPARE(again.geometry(), QRect(150, 100, 200, 150));
        CViewTextRemarkDlg text(nullptr, m_profile.get());
        QCOMPARE(text.geometry(), moved);
    }

    void UnusableRectangleFallsBackToTheDefault()
    {
        m_profile->beginGroup(QStringLiteral("ViewTextRemarkForm"));
        m_profile->setValue(QStringLiteral("Left"), -50000);
        m_profile->setValue(QStringLiteral("Top"), -50000);
        m_profile->setValue(QStringLiteral("right"), -49000);
        m_profile->setValue(QStringLiteral("bottom"), -49000);
        m_profile->endGroup();
        m_profile->beginGroup(QStringLiteral("ViewRemarkForm"));
        m_profile->setValue(QStringLiteral("Left"), 500);
        m_profile->setValue(QStringLiteral("right"), 400); // right of its right edge
        m_profile->endGroup();
        QCOMPARE(
            ReadViewerRect(m_profile.get(), QStringLiteral("ViewTextRemarkForm")), QRect(120, 60, 480, 360));
        QCOMPARE(ReadViewerRect(m_profile.get(), QStringLiteral("ViewRemarkForm")), QRect(120, 60, 480, 360));
        QCOMPARE(ReadViewerRect(nullptr, QStringLiteral("ViewRemarkForm")), QRect(120, 60, 480, 360));
    }

    void ContentIsReadAsUtf8OrElseGb18030()
    {
        using namespace std::string_literals;
        QCOMPARE(ContentToText("中文 text"), QString::fromUtf8("中文 text"));
        QCOMPARE(ContentToText(Gb("中文 text")), QString::fromUtf8("中文 text"));
        QCOMPARE(ContentToText("abc\0def"s), QStringLiteral("abc"));
        QCOMPARE(ContentToText(""), QString());
        // Bytes that are neither: shown with replacement characters, never lost silently.
        QVERIFY(ContentToText("\xFF\xFF x").endsWith(QStringLiteral(" x")));
        // A UTF-8 sequence cut off by the end is no UTF-8 text.
        QCOMPARE(ContentToText("ab\xE4\xB8"), FromLibraryText("ab\xE4\xB8"));
        // Large contents: a character across the steps of the UTF-8 check,
        // and GB18030 text of many pages.
        const std::string across = std::string((1 << 20) - 1, 'a') + "中x";
        QCOMPARE(ContentToText(across), QString((1 << 20) - 1, QLatin1Char('a')) + QString::fromUtf8("中x"));
        std::string manyGb;
        QString manyText;
        for (int i = 0; i < 40000; ++i) {
            manyGb += Gb("第三季度 ");
            manyText += QString::fromUtf8("第三季度 ");
        }
        QCOMPARE(ContentToText(manyGb), manyText);

        const std::string gbPage
            = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
              "</head><body>"
            + Gb("第三季度") + "</body></html>";
        QVERIFY(HtmlContentToText(gbPage).contains(QString::fromUtf8("第三季度")));
        QVERIFY(HtmlContentToText("<meta charset='utf-8'><p>第三季度</p>")
                    .contains(QString::fromUtf8("第三季度")));
        // A page without a declaration follows the same rule as text.
        QVERIFY(HtmlContentToText("<p>" + Gb("报告") + "</p>").contains(QString::fromUtf8("报告")));
        // The declaration wins: bytes valid as UTF-8 are read as declared.
        QVERIFY(!HtmlContentToText("<meta charset=\"gbk\"><p>第三季度</p>")
                     .contains(QString::fromUtf8("第三季度")));
    }

    void ContentGoesToTheViewerItsKindCallsFor()
    {
        CFileDatum text("notes.txt");
        text.m_strContent = "<b>第三季度</b>";
        WhenModalOpens([](QDialog& dlg) {
            auto* viewer = qobject_cast<CViewTextRemarkDlg*>(&dlg);
            QVERIFY(viewer);
            QCOMPARE(viewer->Pane()->Text(), QString::fromUtf8("<b>第三季度</b>")); // tags shown as they are
            QCOMPARE(viewer->Pane()->CursorPosition(), 0);
            QCOMPARE(viewer->Pane()->SelectedText(), QString());
        });
        ShowContentViewer(text, ContentViewer::Text, DialogHost { nullptr, m_profile.get() });

        CFileDatum page("page.HTML");
        page.m_strContent = Gb("<b>第三季度</b>");
        WhenModalOpens([](QDialog& dlg) {
            auto* viewer = qobject_cast<CViewRemarkDlg*>(&dlg);
            QVERIFY(viewer);
            QCOMPARE(viewer->windowTitle(), QString::fromUtf8("查看注释"));
            QCOMPARE(viewer->Browser()->toPlainText(), QString::fromUtf8("第三季度"));
        });
        ShowContentViewer(page, ContentViewerFor(page), DialogHost { nullptr, m_profile.get() });

        // A document's words, not its bytes, whatever its extension says.
        CFileDatum document("scan.html");
        document.m_strContent = "%PDF-1.4 compressed";
        document.m_strText = "第三季度 text";
        WhenModalOpens([](QDialog& dlg) {
            auto* viewer = qobject_cast<CViewTextRemarkDlg*>(&dlg);
            QVERIFY(viewer);
            QCOMPARE(viewer->Pane()->Text(), QString::fromUtf8("第三季度 text"));
        });
        ShowContentViewer(document, ContentViewerFor(document), DialogHost { nullptr, m_profile.get() });

        CCustomCategory category("c");
        category.m_strRemark = Gb("注释\r\n第二行");
        WhenModalOpens([](QDialog& dlg) {
            auto* viewer = qobject_cast<CViewTextRemarkDlg*>(&dlg);
            QVERIFY(viewer);
            QCOMPARE(viewer->Pane()->SegmentCount(), 2);
        });
        ShowRemarkViewer(category, DialogHost { nullptr, m_profile.get() });
    }

    void HtmlViewerLoadsNoResourceAndRunsNoScript()
    {
        QImage red(64, 64, QImage::Format_RGB32);
        red.fill(qRgb(255, 0, 0));
        const QString image = m_dir->filePath(QStringLiteral("red.png"));
        QVERIFY(red.save(image));
        const QString fileUrl = QUrl::fromLocalFile(image).toString();
        const QString page = QStringLiteral(
            "<html><head><link rel=\"stylesheet\" href=\"%1.css\"></head><body>"
            "<p>before</p><img src=\"%1\"><img src=\"red.png\"><img src=\"%2\">"
            "<img src=\"http://127.0.0.1:9/x.png\">"
            "<table background=\"red.png\" width=\"200\" height=\"60\"><tr><td>cell</td></tr></table>"
            "<p style=\"background-image: url(%2); height: 60px\">styled</p>"
            "<script>document.write('INJECTED')</script><p>after</p></body></html>")
                                 .arg(fileUrl, image);
        const QString oldDir = QDir::currentPath();
        QDir::setCurrent(m_dir->path()); // so that a relative name would find the file too

        // A plain browser shows the local image: the page does ask for it.
        QTextBrowser plain;
        plain.resize(400, 400);
        plain.setHtml(page);
        plain.show();
        QVERIFY(HasPureRed(plain.viewport()->grab().toImage()));

        CViewRemarkDlg dlg(page, nullptr, m_profile.get());
        dlg.show();
        QVERIFY(!HasPureRed(dlg.Browser()->viewport()->grab().toImage()));
        QDir::setCurrent(oldDir);
        const QList<QUrl>& refused = dlg.Browser()->RefusedResources();
        QVERIFY(refused.contains(QUrl(fileUrl)));
        QVERIFY(refused.contains(QUrl(QStringLiteral("http://127.0.0.1:9/x.png"))));
        const QString shown = dlg.Browser()->toPlainText();
        QVERIFY(shown.contains(QStringLiteral("before")));
        QVERIFY(shown.contains(QStringLiteral("after")));
        QVERIFY(!shown.contains(QStringLiteral("INJECTED")));
        QVERIFY(!shown.contains(QStringLiteral("document.write")));
    }

    void ClickedLinksAreOfferedToTheDesktopOnlyWhenSafe()
    {
        QList<QUrl> offered;
        GetDialogHooks().openLink = [&offered](const QUrl& url) { offered.append(url); };
        CViewRemarkDlg dlg(QStringLiteral("<a href=\"https://example.org/\">link</a>"), nullptr, nullptr);
        dlg.show();
        for (const char* link : { "https://example.org/", "file:///etc/passwd", "javascript:alert(1)",
                 "relative.html", "mailto:someone@example.org", "HTTP://EXAMPLE.ORG/a" })
            Q_EMIT dlg.Browser()->anchorClicked(QUrl(QString::fromLatin1(link)));
        QCOMPARE(offered,
            QList<QUrl>({ QUrl(QStringLiteral("https://example.org/")),
                QUrl(QStringLiteral("mailto:someone@example.org")),
                QUrl(QStringLiteral("HTTP://EXAMPLE.ORG/a")) }));
        // The viewer itself never navigates.
        QVERIFY(dlg.Browser()->source().isEmpty());
        QVERIFY(dlg.Browser()->toPlainText().contains(QStringLiteral("link")));
    }

    void TextPaneIndexesLinesAndLongLinesInPieces()
    {
        CTextPane pane;
        pane.SetText(QStringLiteral("one\r\ntwo\n\nthree\n"));
        QCOMPARE(pane.SegmentCount(), 5); // the empty line and the one after the last feed count
        // A line longer than a piece is cut, but never inside a surrogate pair.
        QString longLine(CTextPane::kMaxSegment - 1, QLatin1Char('x'));
        longLine += QString::fromUtf8("😀") + QString(CTextPane::kMaxSegment, QLatin1Char('y'));
        pane.SetText(longLine);
        QCOMPARE(pane.SegmentCount(), 3);
        pane.resize(300, 200);
        pane.show();
        pane.ScrollToOffset(CTextPane::kMaxSegment - 1);
        // The piece starts before the emoji's first half, not between its halves.
        QVERIFY(!pane.Text().at(pane.FirstVisibleOffset()).isLowSurrogate());
    }

    void TextPaneKeepsItsPlaceWhenTheWidthChanges()
    {
        CTextPane pane;
        pane.resize(200, 100);
        QString words;
        for (int i = 0; i < 300; ++i)
            words += QStringLiteral("word%1 ").arg(i);
        pane.SetText(words + QStringLiteral("\nsecond"));
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        for (int i = 0; i < 12; ++i)
            QTest::keyClick(&pane, Qt::Key_Down);
        const qsizetype inside = pane.FirstVisibleOffset();
        QVERIFY(inside > 0);
        // Wider: the long line now wraps into fewer lines than were scrolled.
        pane.resize(3000, 100);
        QVERIFY(!pane.grab().isNull());
        QVERIFY(pane.FirstVisibleOffset() <= inside);
        QVERIFY(pane.FirstVisibleOffset() < words.size());
        pane.resize(200, 100);
        QVERIFY(!pane.grab().isNull());
    }

    void TextPaneSelectsCopiesAndScrollsLikeAViewer()
    {
        QString text;
        for (int i = 0; i < 500; ++i)
            text += QStringLiteral("line %1 of the text\n").arg(i);
        CTextPane pane;
        pane.resize(300, 200);
        pane.SetText(text);
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        QCOMPARE(pane.FirstVisibleOffset(), 0);

        QTest::keyClick(&pane, Qt::Key_PageDown);
        const qsizetype afterPage = pane.FirstVisibleOffset();
        QVERIFY(afterPage > 0);
        QCOMPARE(pane.verticalScrollBar()->value(), pane.Text().left(afterPage).count(QLatin1Char('\n')));
        QTest::keyClick(&pane, Qt::Key_End);
        QVERIFY(pane.FirstVisibleOffset() > text.size() / 2);
        QTest::keyClick(&pane, Qt::Key_Home);
        QCOMPARE(pane.FirstVisibleOffset(), 0);
        pane.verticalScrollBar()->setValue(100);
        QCOMPARE(pane.FirstVisibleOffset(), text.indexOf(QStringLiteral("line 100 ")));
        pane.verticalScrollBar()->setValue(0);

        // A drag from the start of the first line to the second line selects across them.
        const int lineHeight = pane.fontMetrics().lineSpacing();
        QWidget* viewport = pane.viewport();
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(1, lineHeight / 2));
        QTest::mouseMove(viewport, QPoint(40, lineHeight + lineHeight / 2));
        QMouseEvent move(QEvent::MouseMove, QPointF(40, lineHeight + lineHeight / 2),
            viewport->mapToGlobal(QPointF(40, lineHeight + lineHeight / 2)), Qt::NoButton, Qt::LeftButton,
            Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QTest::mouseRelease(
            viewport, Qt::LeftButton, Qt::NoModifier, QPoint(40, lineHeight + lineHeight / 2));
        QCOMPARE(pane.SelectionStart(), 0);
        QVERIFY(pane.SelectedText().startsWith(QStringLiteral("line 0 of the text\nline")));

        QTest::keyClick(&pane, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(pane.SelectedText(), text);
        QApplication::clipboard()->clear();
        QTest::keyClick(&pane, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), text);

        QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(pane.CharacterRect(1).center()));
        QCOMPARE(pane.SelectedText(), QStringLiteral("line"));
    }

    void TextPaneIsReadableByAssistiveTechnology()
    {
        CViewTextRemarkDlg dlg(nullptr, nullptr);
        dlg.SetText(QString::fromUtf8("第一行\nsecond line"));
        dlg.show();
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(dlg.Pane());
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::EditableText);
        QVERIFY(iface->state().readOnly);
        QVERIFY(!iface->text(QAccessible::Name).isEmpty());
        QCOMPARE(iface->text(QAccessible::Value), QString::fromUtf8("第一行\nsecond line"));
        QAccessibleTextInterface* text = iface->textInterface();
        QVERIFY(text);
        QCOMPARE(text->characterCount(), 15);
        QCOMPARE(text->text(4, 10), QStringLiteral("second"));
        text->setSelection(0, 4, 10);
        QCOMPARE(dlg.Pane()->SelectedText(), QStringLiteral("second"));
        int start = -1, end = -1;
        text->selection(0, &start, &end);
        QCOMPARE(start, 4);
        QCOMPARE(end, 10);
        QVERIFY(!text->characterRect(0).isEmpty());
    }

    void LargeTextShowsAndScrollsToItsEnd()
    {
        // A few megabytes stand in for the large files; the benchmark
        // measures the big case.
        QString text;
        text.reserve(8 << 20);
        while (text.size() < (4 << 20))
            text += QString::fromUtf8("数据 quarterly report line with some words\n");
        text += QStringLiteral("THE END");
        CViewTextRemarkDlg dlg(nullptr, nullptr);
        dlg.SetText(text);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        dlg.Pane()->ScrollToOffset(text.size() - 1);
        QCOMPARE(dlg.Pane()->FirstVisibleOffset(), text.size() - 7);
        QVERIFY(!dlg.Pane()->CharacterRect(text.size() - 1).isEmpty());
    }
};

TESSARY_GUI_TEST_MAIN(ViewersTest)
#include "ViewersTest.moc"
