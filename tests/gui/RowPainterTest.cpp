// The item list's row painter, judged by the pixels it paints.

#include "ViewsTestSupport.h"

#include "ItemRowPainter.h"

#include <QHeaderView>

using namespace tessary;
using namespace tessary::test;

namespace {

const QRgb kBlue = qRgb(0, 0, 255);

// Rows: a category with a long name, plain.txt, filled.txt (with content),
// in narrow columns that end well before the right edge. Text is drawn
// without antialiasing, so that text pixels have the pen's exact colour.
struct Library : Panes {
    CCustomCategory* r = Custom("r");
    CCustomCategory* cat = Custom("a category whose name is far too long for its column", r);
    CCustomDatum* filled = Item(r, "filled", "txt", 12);
    CCustomDatum* plain = Item(r, "plain", "txt", 12);

    Library()
    {
        filled->m_strContent = "words";
        doc.AddRoot(r);
        QFont font = list->font();
        font.setStyleStrategy(QFont::NoAntialias);
        list->setFont(font);
        for (int c = 0; c < kEntryColumnCount; ++c)
            list->header()->resizeSection(c, 70);
        Start();
        Select(r);
    }

    QColor Color(QPalette::ColorRole role) const { return list->palette().color(QPalette::Active, role); }
    QImage Grab() const { return list->viewport()->grab().toImage(); }
    QRect RowRect(int row) const
    {
        const QRect r = list->visualRect(ListModel()->index(row, 0));
        return QRect(0, r.top(), list->viewport()->width(), r.height());
    }
    QRect Cell(int row, int column) const
    {
        const QRect r = RowRect(row);
        return QRect(list->header()->sectionViewportPosition(column), r.top(),
            list->header()->sectionSize(column), r.height());
    }
    static int Count(const QImage& image, const QRect& area, QRgb colour)
    {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += (image.pixel(x, y) | 0xFF000000u) == colour;
        return n;
    }
};

} // namespace

class RowPainterTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void HighlightRunsFromTheLabelToTheRightEdgeAlsoWithoutFocus()
    {
        Library lib;
        lib.tree->setFocus();
        QTRY_VERIFY(lib.tree->hasFocus());
        lib.SelectListRows({ 1 });
        const QImage image = lib.Grab();
        const QRgb highlight = lib.Color(QPalette::Highlight).rgb();
        const QRgb base = lib.Color(QPalette::Base).rgb();
        const int y = lib.RowRect(1).center().y();
        const int labelLeft = CItemRowPainter::LabelLeft(lib.Cell(1, 0));
        // Past the last column, up to the edge.
        QVERIFY(lib.Cell(1, 4).right() < image.width() - 20);
        QCOMPARE(image.pixel(image.width() - 1, y), highlight);
        QCOMPARE(image.pixel(labelLeft, y), highlight);
        // The icon cell stays outside.
        QCOMPARE(image.pixel(labelLeft - 3, lib.RowRect(1).top()), base);
        // Unselected rows are not highlighted.
        QCOMPARE(image.pixel(image.width() - 1, lib.RowRect(2).center().y()), base);
    }

    void ContentIsBlueInEveryColumnButNeverForCategories()
    {
        Library lib;
        QImage image = lib.Grab();
        for (int column : { 0, 1, 2, 4 })
            QVERIFY2(
                Library::Count(image, lib.Cell(2, column), kBlue) > 0, qPrintable(QString::number(column)));
        QCOMPARE(Library::Count(image, lib.RowRect(1), kBlue), 0);
        QCOMPARE(Library::Count(image, lib.RowRect(0), kBlue), 0);

        // Highlighted, the row takes the highlight text colour.
        lib.SelectListRows({ 2 });
        image = lib.Grab();
        QCOMPARE(Library::Count(image, lib.RowRect(2), kBlue), 0);

        // Cleared content: normal again once the row is refreshed.
        lib.list->clearSelection();
        lib.filled->m_strContent.Clear();
        lib.list->RefreshRow(2);
        QCOMPARE(Library::Count(lib.Grab(), lib.RowRect(2), kBlue), 0);
    }

    void FocusFrameOnlyOnTheFocusedRowWhileTheListHasFocus()
    {
        Library lib;
        lib.SelectListRows({ 1 });
        lib.list->selectionModel()->setCurrentIndex(
            lib.ListModel()->index(1, 0), QItemSelectionModel::NoUpdate);
        const QRgb frame = lib.Color(QPalette::HighlightedText).rgb();
        auto topEdge = [&](int row) {
            const QRect r = lib.RowRect(row);
            return QRect(CItemRowPainter::LabelLeft(lib.Cell(row, 0)), r.top(), 12, 1);
        };
        lib.tree->setFocus();
        QTRY_VERIFY(lib.tree->hasFocus());
        QCOMPARE(Library::Count(lib.Grab(), topEdge(1), frame), 0);
        lib.list->setFocus();
        QTRY_VERIFY(lib.list->hasFocus());
        const QImage image = lib.Grab();
        QVERIFY(Library::Count(image, topEdge(1), frame) > 0);
        QCOMPARE(Library::Count(image, topEdge(2), lib.Color(QPalette::Text).rgb()), 0);
    }

    void LongTextsStayInsideTheirColumn()
    {
        Library lib;
        // The category's size cell is empty: not a pixel of its long name
        // may show there.
        const QImage image = lib.Grab();
        const QRgb text = lib.Color(QPalette::Text).rgb();
        QVERIFY(Library::Count(image, lib.Cell(0, 0), text) > 0);
        QCOMPARE(Library::Count(image, lib.Cell(0, 1), text), 0);
        // The display role keeps the whole name for assistive technology.
        QCOMPARE(lib.ListModel()->index(0, 0).data().toString(), Name(lib.cat));
    }
};

TESSARY_GUI_TEST_MAIN(RowPainterTest)
#include "RowPainterTest.moc"
