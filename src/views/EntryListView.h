#pragma once

#include "ColumnSorter.h"
#include "ItemRowPainter.h"

#include <QAbstractItemView>
#include <QPointer>

#include <vector>

class QSettings;

class QHeaderView;

namespace tessary {

// A flat list of rows of one height under a horizontal header, for models
// of rows and columns (no tree). It keeps nothing per row: a row's place is
// arithmetic (row = (y + offset) / height), so a list of a million rows costs
// the view no more than one of ten. The model's rows are all the view knows.
//
// What it offers is what a report-style list needs: extended selection by
// mouse (click, Shift, Ctrl, dragging over rows) and keyboard (arrows, page
// up and down, Home, End, with Shift and Ctrl), scrolling with the header
// kept in step horizontally, in-place editing through the item delegate,
// hover, and table accessibility: every row and cell is reachable by
// assistive technology with its shown text, created only when asked for.
//
// The header's sections are the model's columns; they are resizable and
// clickable, but the view sorts nothing itself: an owner that wants sorting
// connects to the header's sectionClicked and sorts the model.
//
// Rows are painted by the row painter when one is set (see SetRowPainter),
// otherwise cell by cell by the item delegate on the style's selection
// background.
class CEntryListView : public QAbstractItemView {
    Q_OBJECT
public:
    explicit CEntryListView(QWidget* parent = nullptr);
    ~CEntryListView() override;

    // The horizontal header (owned by the view, never null).
    QHeaderView* header() const { return m_header; }
    // Hides or shows the header; the rows take or give back its place.
    void setHeaderHidden(bool hide);

    // Paints every row with `painter`, which also becomes the item delegate
    // (so it places the editor too). Not owned (a painter that goes is
    // forgotten); null goes back to the plain painting and leaves the
    // delegate alone.
    void SetRowPainter(CItemRowPainter* painter);
    CItemRowPainter* RowPainter() const { return m_painter; }

    // Column widths from and to `section` of the profile, keys "Column0",
    // "Column1", ...: `defaultWidth` for a missing key, and also for a
    // damaged value, which must not hide a column or make it absurdly wide.
    void LoadColumnWidths(QSettings& profile, const QString& section, int defaultWidth);
    void SaveColumnWidths(QSettings& profile, const QString& section) const;
    // A click on a column title sorts through `sorter` (which must outlive
    // the view), and the header's sort indicator shows the sort.
    void SortOnHeaderClicks(CColumnSorter& sorter);

    // The selected rows, in increasing order (whole rows are selected).
    std::vector<int> SelectedRows() const;

    // Height of every row in pixels, from the font and the style.
    int RowHeight() const { return m_rowHeight; }
    // The topmost row at least partly shown, -1 for an empty list.
    int FirstVisibleRow() const;
    // Rows that fit in the viewport, at least 1: what a page key moves.
    int RowsPerPage() const;

    void setModel(QAbstractItemModel* model) override;
    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    void doItemsLayout() override;
    void reset() override;
    int sizeHintForColumn(int column) const override;
    int sizeHintForRow(int row) const override;

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    QSize viewportSizeHint() const override;

    void paintEvent(QPaintEvent* event) override;
    // Paints one row; `option` holds the view's defaults with the row's
    // state (selected, focus, hover) already set.
    virtual void drawRow(QPainter* painter, const QStyleOptionViewItem& option, int row) const;

    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;

private:
    int RowCount() const;
    int ColumnCount() const;
    // The row at viewport height `y`, or -1 outside the rows.
    int RowAtY(int y) const;
    // The whole width of `row` in viewport coordinates, also past the last
    // column (what the row painter highlights).
    QRect RowRect(int row) const;
    void UpdateRow(int row);
    void UpdateRowHeight();
    void UpdateScrollBars();
    // The accessibility child number of a cell, -1 for an invalid one.
    int AccessibleChild(const QModelIndex& index) const;

    QHeaderView* m_header;
    QMetaObject::Connection m_rowsRemoved;
    QPointer<CItemRowPainter> m_painter;
    int m_rowHeight = 1;
    int m_hoverRow = -1;
    bool m_inGeometries = false;
};

} // namespace tessary
