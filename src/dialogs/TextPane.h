#pragma once

#include <QAbstractScrollArea>
#include <QString>

#include <memory>
#include <unordered_map>
#include <vector>

class QTextLayout;

namespace tessary {

// A read-only view of a plain text of any size: wrapped to the width of the
// window, selectable with mouse and keyboard, copied with Ctrl+C, and
// readable by assistive technology (the text interface reaches every
// character).
//
// Qt's text widgets build a document structure for every line before they
// show anything, which takes seconds for tens of megabytes. This view only
// indexes where the lines start (one fast pass) and lays out the lines that
// are on screen. Lines longer than kMaxSegment characters are shown in
// pieces of that length, so that no single layout can grow without bound.
//
// Scrolling moves by wrapped lines; the vertical scroll bar counts lines of
// the text (pieces of long lines), which keeps its position exact without
// laying out the whole text.
class CTextPane : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr qsizetype kMaxSegment = 4096;

    explicit CTextPane(QWidget* parent = nullptr);
    ~CTextPane() override;

    // Shows `text` from its start, with the caret at offset 0 and nothing
    // selected.
    void SetText(const QString& text);
    const QString& Text() const { return m_text; }

    // The selection as offsets into Text(); start == end when empty.
    qsizetype SelectionStart() const { return std::min(m_anchor, m_position); }
    qsizetype SelectionEnd() const { return std::max(m_anchor, m_position); }
    QString SelectedText() const;
    // Selects from `anchor` to `position` (clamped to the text).
    void SetSelection(qsizetype anchor, qsizetype position);
    qsizetype CursorPosition() const { return m_position; }
    void SelectAll();
    // Puts the selected text on the clipboard (nothing when empty).
    void Copy() const;

    // Scrolls so that the wrapped line holding `offset` is the first shown.
    void ScrollToOffset(qsizetype offset);
    // Offset of the first character shown.
    qsizetype FirstVisibleOffset() const;
    // The text offset at a point of the viewport (nearest character).
    qsizetype OffsetAt(const QPoint& viewportPoint) const;
    // The rectangle of the character at `offset` in viewport coordinates,
    // or an empty rectangle when it is not on screen.
    QRect CharacterRect(qsizetype offset) const;
    // Number of line pieces the text is indexed into.
    qsizetype SegmentCount() const { return static_cast<qsizetype>(m_segments.size()); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct Segment {
        qsizetype start; // offset in m_text
        qsizetype end; // one past the last character shown (line ending excluded)
    };

    void BuildIndex();
    int SegmentOf(qsizetype offset) const;
    QTextLayout* LayoutOf(int segment) const;
    // Where the first line shown lies within its segment's layout.
    qreal TopY() const;
    void ScrollLines(int lines);
    void SetTop(int segment, int line);
    void SyncScrollBar();
    int VisibleLines() const;
    void SelectionChanged();

    QString m_text;
    std::vector<Segment> m_segments;
    // Layouts of the segments seen lately, for the current width and font.
    mutable std::unordered_map<int, std::unique_ptr<QTextLayout>> m_layouts;
    mutable int m_layoutWidth = -1;
    int m_top = 0; // first segment shown
    int m_topLine = 0; // its first wrapped line shown
    bool m_syncing = false;
    qsizetype m_anchor = 0;
    qsizetype m_position = 0;
    bool m_selecting = false;
};

} // namespace tessary
