#pragma once

#include <QList>
#include <QRect>
#include <QStyledItemDelegate>

namespace tessary {

// Paints the rows of an entry list. Unlike the plain view it highlights a
// selected row from the name's label (the icon stays outside) to the right
// edge of the viewport, also while the list has no focus; it cuts long
// texts with an ellipsis inside their column; and it writes every column of
// a data item that holds extracted content in blue (the model's
// ForegroundRole), except on a highlighted row. A row whose model gives a
// BackgroundRole brush has that background across the whole row, except
// where it is highlighted. The focus frame goes around
// the highlight of the focused row, only while the list has the keyboard
// focus.
//
// The view calls PaintRow once per row; paint() draws one cell (icon and
// text, no background) and is what PaintRow uses for each column.
class CItemRowPainter : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit CItemRowPainter(QObject* parent = nullptr);

    // One row, in viewport coordinates.
    struct RowState {
        QRect bounds; // the whole row, across the viewport
        QList<QRect> cells; // each column's cell, in column order
        bool highlighted = false; // selected
        bool focusFrame = false; // the focused row of a list that has the focus
    };

    // Paints the row of `index` (its column 0): background, cells, focus frame.
    void PaintRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index,
        const RowState& row) const;
    void paint(
        QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The name editor covers the label, not the icon.
    void updateEditorGeometry(
        QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The icon's place in a column-0 cell, and where the label begins.
    static QRect IconRect(const QRect& cell);
    static int LabelLeft(const QRect& cell);
    // Where a column-0 cell shows its text: from the label's left edge to
    // the end of the text (not beyond the cell), in the cell's coordinates.
    static QRect LabelRect(const QRect& cell, const QFontMetrics& metrics, const QString& text);
    // What the highlight covers: from the label of column 0 to the right
    // edge of the row.
    static QRect HighlightRect(const RowState& row);
};

} // namespace tessary
