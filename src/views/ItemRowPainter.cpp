#include "ItemRowPainter.h"

#include <QPainter>

#include <algorithm>

namespace tessary {
namespace {

constexpr int kIconSize = 16;
constexpr int kIconMargin = 2;

// Colours are taken from the active group whether or not the list has the
// focus: a selected row looks the same in both cases.
QColor Active(const QStyleOptionViewItem& option, QPalette::ColorRole role)
{
    return option.palette.color(QPalette::Active, role);
}

// Twice the width of a blank: the text's distance from the cell edges.
int TextOffset(const QFontMetrics& metrics)
{
    return 2 * metrics.horizontalAdvance(QLatin1Char(' '));
}

int TextOffset(const QStyleOptionViewItem& option)
{
    return TextOffset(option.fontMetrics);
}

} // namespace

CItemRowPainter::CItemRowPainter(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

QRect CItemRowPainter::IconRect(const QRect& cell)
{
    return QRect(
        cell.left() + kIconMargin, cell.top() + (cell.height() - kIconSize) / 2, kIconSize, kIconSize);
}

int CItemRowPainter::LabelLeft(const QRect& cell)
{
    return cell.left() + kIconMargin + kIconSize + kIconMargin;
}

QRect CItemRowPainter::LabelRect(const QRect& cell, const QFontMetrics& metrics, const QString& text)
{
    // As the row is painted: the text starts half an offset into the label
    // and the label keeps an offset of room after it.
    const int offset = TextOffset(metrics);
    QRect r(QPoint(LabelLeft(cell), cell.top()), cell.bottomRight());
    r.setRight(std::min(cell.right(), r.left() + offset / 2 + metrics.horizontalAdvance(text) + offset));
    return r;
}

QRect CItemRowPainter::HighlightRect(const RowState& row)
{
    const int left = row.cells.isEmpty() ? row.bounds.left() : LabelLeft(row.cells.first());
    QRect r = row.bounds;
    r.setLeft(left);
    return r;
}

void CItemRowPainter::PaintRow(QPainter* painter, const QStyleOptionViewItem& option,
    const QModelIndex& index, const RowState& row) const
{
    painter->save();
    const QRect highlight = HighlightRect(row);
    // A row may have a background of its own (the shading that sets groups
    // of rows apart), across the whole row.
    const QVariant background = index.data(Qt::BackgroundRole);
    const bool ownBackground = background.canConvert<QBrush>();
    if (ownBackground)
        painter->fillRect(row.bounds, qvariant_cast<QBrush>(background));
    if (row.highlighted || !ownBackground)
        painter->fillRect(highlight, Active(option, row.highlighted ? QPalette::Highlight : QPalette::Base));

    QStyleOptionViewItem cell = option;
    cell.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    if (row.highlighted)
        cell.state |= QStyle::State_Selected;
    for (int column = 0; column < row.cells.size(); ++column) {
        const QModelIndex at = index.siblingAtColumn(column);
        if (!at.isValid())
            break;
        cell.rect = row.cells.at(column);
        if (cell.rect.width() <= 0)
            continue;
        paint(painter, cell, at);
    }

    if (row.focusFrame && highlight.width() > 1) {
        QPen pen(Active(option, row.highlighted ? QPalette::HighlightedText : QPalette::Text));
        pen.setStyle(Qt::DotLine);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(highlight.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

void CItemRowPainter::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const bool highlighted = option.state & QStyle::State_Selected;
    const QRect cell = option.rect;
    painter->save();
    painter->setClipRect(cell);
    painter->setFont(option.font);

    QColor text = Active(option, highlighted ? QPalette::HighlightedText : QPalette::Text);
    if (!highlighted) {
        const QVariant foreground = index.data(Qt::ForegroundRole);
        if (foreground.canConvert<QBrush>())
            text = qvariant_cast<QBrush>(foreground).color();
    }

    const int offset = TextOffset(option);
    QRect textRect;
    if (index.column() == 0) {
        const QIcon icon = qvariant_cast<QIcon>(index.data(Qt::DecorationRole));
        if (!icon.isNull())
            icon.paint(
                painter, IconRect(cell), Qt::AlignCenter, highlighted ? QIcon::Selected : QIcon::Normal);
        textRect = QRect(QPoint(LabelLeft(cell) + offset / 2, cell.top()), cell.bottomRight());
        textRect.setRight(cell.right() - offset);
    } else {
        textRect = cell.adjusted(offset, 0, -offset, 0);
    }

    const QString shown = index.data(Qt::DisplayRole).toString();
    if (!shown.isEmpty() && textRect.width() > 0) {
        Qt::Alignment align = Qt::AlignLeft;
        const QVariant a = index.data(Qt::TextAlignmentRole);
        if (a.isValid())
            align = Qt::Alignment(a.toInt()) & Qt::AlignHorizontal_Mask;
        const QString elided = option.fontMetrics.elidedText(shown, Qt::ElideRight, textRect.width());
        painter->setPen(text);
        painter->drawText(textRect, int(align | Qt::AlignVCenter | Qt::TextSingleLine), elided);
    }
    painter->restore();
}

void CItemRowPainter::updateEditorGeometry(
    QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (index.column() != 0) {
        QStyledItemDelegate::updateEditorGeometry(editor, option, index);
        return;
    }
    QRect r = option.rect;
    r.setLeft(LabelLeft(option.rect));
    editor->setGeometry(r);
}

} // namespace tessary
