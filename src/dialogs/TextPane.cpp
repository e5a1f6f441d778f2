#include "TextPane.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include <algorithm>

namespace tessary {
namespace {

constexpr int kMargin = 4;

qreal LayoutHeight(const QTextLayout* layout)
{
    const int n = layout->lineCount();
    if (n == 0)
        return 0;
    const QTextLine last = layout->lineAt(n - 1);
    return last.y() + last.height();
}

// What assistive technology sees: read-only multi-line text whose every
// character, the selection and the caret are reachable.
class CTextPaneAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit CTextPaneAccessible(CTextPane* pane)
        : QAccessibleWidget(pane, QAccessible::EditableText)
    {
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return Pane()->Text();
        return QAccessibleWidget::text(t);
    }

    void selection(int selectionIndex, int* startOffset, int* endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (selectionIndex == 0 && selectionCount() == 1) {
            *startOffset = static_cast<int>(Pane()->SelectionStart());
            *endOffset = static_cast<int>(Pane()->SelectionEnd());
        }
    }
    int selectionCount() const override { return Pane()->SelectionStart() < Pane()->SelectionEnd() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override
    {
        Pane()->SetSelection(startOffset, endOffset);
    }
    void removeSelection(int) override
    {
        Pane()->SetSelection(Pane()->CursorPosition(), Pane()->CursorPosition());
    }
    void setSelection(int, int startOffset, int endOffset) override
    {
        Pane()->SetSelection(startOffset, endOffset);
    }
    int cursorPosition() const override { return static_cast<int>(Pane()->CursorPosition()); }
    void setCursorPosition(int position) override { Pane()->SetSelection(position, position); }
    QString text(int startOffset, int endOffset) const override
    {
        return Pane()->Text().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return static_cast<int>(Pane()->Text().size()); }
    QRect characterRect(int offset) const override
    {
        const QRect r = Pane()->CharacterRect(offset);
        if (r.isEmpty())
            return {};
        return QRect(Pane()->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    int offsetAtPoint(const QPoint& point) const override
    {
        const QPoint local = Pane()->viewport()->mapFromGlobal(point);
        if (!Pane()->viewport()->rect().contains(local))
            return -1;
        return static_cast<int>(Pane()->OffsetAt(local));
    }
    void scrollToSubstring(int startIndex, int) override { Pane()->ScrollToOffset(startIndex); }
    QString attributes(int, int* startOffset, int* endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

private:
    CTextPane* Pane() const { return static_cast<CTextPane*>(widget()); }
};

QAccessibleInterface* TextPaneAccessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("tessary::CTextPane") && object && object->isWidgetType())
        return new CTextPaneAccessible(static_cast<CTextPane*>(object));
    return nullptr;
}

} // namespace

CTextPane::CTextPane(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&TextPaneAccessibleFactory);
        return true;
    }();
    (void)factoryInstalled;

    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);
    BuildIndex();
    SyncScrollBar();
}

CTextPane::~CTextPane() = default;

void CTextPane::SetText(const QString& text)
{
    m_text = text;
    m_layouts.clear();
    BuildIndex();
    m_anchor = m_position = 0;
    m_top = m_topLine = 0;
    SyncScrollBar();
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void CTextPane::BuildIndex()
{
    // Searching for line feeds is the only pass over the whole text.
    m_segments.clear();
    const QStringView text(m_text);
    const qsizetype size = text.size();
    qsizetype start = 0;
    while (true) {
        const qsizetype feed = text.indexOf(u'\n', start);
        const qsizetype lineEnd = feed < 0 ? size : feed;
        const qsizetype shownEnd = lineEnd > start && text[lineEnd - 1] == u'\r' ? lineEnd - 1 : lineEnd;
        qsizetype piece = start;
        while (shownEnd - piece > kMaxSegment) {
            qsizetype cut = piece + kMaxSegment;
            if (text[cut].isLowSurrogate())
                --cut; // never split a character in two
            m_segments.push_back({ piece, cut });
            piece = cut;
        }
        m_segments.push_back({ piece, shownEnd });
        if (feed < 0)
            break;
        start = feed + 1;
    }
}

int CTextPane::SegmentOf(qsizetype offset) const
{
    auto it = std::upper_bound(m_segments.begin(), m_segments.end(), offset,
        [](qsizetype value, const Segment& s) { return value < s.start; });
    return it == m_segments.begin() ? 0 : static_cast<int>(it - m_segments.begin()) - 1;
}

QTextLayout* CTextPane::LayoutOf(int segment) const
{
    const int width = std::max(20, viewport()->width() - 2 * kMargin);
    if (width != m_layoutWidth) {
        m_layouts.clear();
        m_layoutWidth = width;
    }
    if (auto it = m_layouts.find(segment); it != m_layouts.end())
        return it->second.get();
    // Only the lines near the screen are ever needed again soon.
    if (m_layouts.size() > 512)
        m_layouts.clear();

    const Segment& s = m_segments[static_cast<std::size_t>(segment)];
    auto layout = std::make_unique<QTextLayout>(m_text.mid(s.start, s.end - s.start), font(), viewport());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(8 * fontMetrics().horizontalAdvance(QLatin1Char(' ')));
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    layout->beginLayout();
    qreal y = 0;
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout->endLayout();
    QTextLayout* raw = layout.get();
    m_layouts.emplace(segment, std::move(layout));
    return raw;
}

qreal CTextPane::TopY() const
{
    const QTextLayout* layout = LayoutOf(m_top);
    return m_topLine < layout->lineCount() ? layout->lineAt(m_topLine).y() : 0;
}

int CTextPane::VisibleLines() const
{
    return std::max(1, viewport()->height() / std::max(1, fontMetrics().lineSpacing()));
}

void CTextPane::SyncScrollBar()
{
    m_syncing = true;
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, std::max(0, static_cast<int>(m_segments.size()) - 1));
    bar->setPageStep(VisibleLines());
    bar->setSingleStep(1);
    bar->setValue(m_top);
    m_syncing = false;
}

void CTextPane::scrollContentsBy(int, int)
{
    if (!m_syncing) {
        m_top = verticalScrollBar()->value();
        m_topLine = 0;
    }
    viewport()->update();
}

void CTextPane::SetTop(int segment, int line)
{
    m_top = std::clamp(segment, 0, std::max(0, static_cast<int>(m_segments.size()) - 1));
    m_topLine = std::max(0, line);
    SyncScrollBar();
    viewport()->update();
}

void CTextPane::ScrollLines(int lines)
{
    const int count = static_cast<int>(m_segments.size());
    int segment = m_top, line = m_topLine;
    while (lines > 0) {
        const int inSegment = LayoutOf(segment)->lineCount();
        if (line + lines < inSegment) {
            line += lines;
            lines = 0;
        } else if (segment + 1 < count) {
            lines -= inSegment - line;
            ++segment;
            line = 0;
        } else {
            line = std::max(0, inSegment - 1);
            lines = 0;
        }
    }
    while (lines < 0) {
        if (line + lines >= 0) {
            line += lines;
            lines = 0;
        } else if (segment > 0) {
            lines += line + 1;
            --segment;
            line = std::max(0, LayoutOf(segment)->lineCount() - 1);
        } else {
            line = 0;
            lines = 0;
        }
    }
    SetTop(segment, line);
}

void CTextPane::ScrollToOffset(qsizetype offset)
{
    offset = std::clamp<qsizetype>(offset, 0, m_text.size());
    const int segment = SegmentOf(offset);
    const Segment& s = m_segments[static_cast<std::size_t>(segment)];
    const QTextLine line
        = LayoutOf(segment)->lineForTextPosition(static_cast<int>(std::min(offset, s.end) - s.start));
    SetTop(segment, line.isValid() ? line.lineNumber() : 0);
}

qsizetype CTextPane::FirstVisibleOffset() const
{
    const Segment& s = m_segments[static_cast<std::size_t>(m_top)];
    const QTextLayout* layout = LayoutOf(m_top);
    return s.start + (m_topLine < layout->lineCount() ? layout->lineAt(m_topLine).textStart() : 0);
}

void CTextPane::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const QPalette& pal = palette();
    painter.setPen(pal.color(QPalette::Text));
    const int height = viewport()->height();
    const qsizetype selStart = SelectionStart(), selEnd = SelectionEnd();
    qreal y = -TopY();
    for (int segment = m_top; segment < static_cast<int>(m_segments.size()) && y < height; ++segment) {
        const QTextLayout* layout = LayoutOf(segment);
        const Segment& s = m_segments[static_cast<std::size_t>(segment)];
        QList<QTextLayout::FormatRange> selection;
        const qsizetype from = std::max(selStart, s.start), to = std::min(selEnd, s.end);
        if (from < to) {
            QTextLayout::FormatRange range;
            range.start = static_cast<int>(from - s.start);
            range.length = static_cast<int>(to - from);
            range.format.setBackground(pal.brush(QPalette::Highlight));
            range.format.setForeground(pal.brush(QPalette::HighlightedText));
            selection.append(range);
        }
        layout->draw(&painter, QPointF(kMargin, y), selection);
        y += LayoutHeight(layout);
    }
}

qsizetype CTextPane::OffsetAt(const QPoint& point) const
{
    const int py = std::clamp(point.y(), -1, viewport()->height() + 1);
    const int count = static_cast<int>(m_segments.size());
    qreal y = -TopY();
    for (int segment = m_top; segment < count; ++segment) {
        const QTextLayout* layout = LayoutOf(segment);
        const qreal h = LayoutHeight(layout);
        if (py < y + h || segment == count - 1) {
            const int lines = layout->lineCount();
            for (int i = 0; i < lines; ++i) {
                const QTextLine line = layout->lineAt(i);
                if (py < y + line.y() + line.height() || i == lines - 1)
                    return m_segments[static_cast<std::size_t>(segment)].start
                        + line.xToCursor(point.x() - kMargin);
            }
            return m_segments[static_cast<std::size_t>(segment)].start;
        }
        y += h;
    }
    return m_text.size();
}

QRect CTextPane::CharacterRect(qsizetype offset) const
{
    if (offset < 0 || offset >= m_text.size())
        return {};
    const int target = SegmentOf(offset);
    if (target < m_top)
        return {};
    qreal y = -TopY();
    for (int segment = m_top; segment < target; ++segment) {
        y += LayoutHeight(LayoutOf(segment));
        if (y >= viewport()->height())
            return {};
    }
    const Segment& s = m_segments[static_cast<std::size_t>(target)];
    const int pos = static_cast<int>(std::min(offset, s.end) - s.start);
    const QTextLine line = LayoutOf(target)->lineForTextPosition(pos);
    if (!line.isValid())
        return {};
    const qreal x = line.cursorToX(pos), next = line.cursorToX(pos + 1);
    const QRectF r(kMargin + x, y + line.y(), std::max<qreal>(1, next - x), line.height());
    return r.toAlignedRect().intersected(viewport()->rect());
}

QString CTextPane::SelectedText() const
{
    return m_text.mid(SelectionStart(), SelectionEnd() - SelectionStart());
}

void CTextPane::SetSelection(qsizetype anchor, qsizetype position)
{
    m_anchor = std::clamp<qsizetype>(anchor, 0, m_text.size());
    m_position = std::clamp<qsizetype>(position, 0, m_text.size());
    SelectionChanged();
}

void CTextPane::SelectAll()
{
    SetSelection(0, m_text.size());
}

void CTextPane::Copy() const
{
    if (SelectionStart() < SelectionEnd())
        QApplication::clipboard()->setText(SelectedText());
}

void CTextPane::SelectionChanged()
{
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleTextSelectionEvent event(
            this, static_cast<int>(SelectionStart()), static_cast<int>(SelectionEnd()));
        event.setCursorPosition(static_cast<int>(m_position));
        QAccessible::updateAccessibility(&event);
    }
}

void CTextPane::resizeEvent(QResizeEvent* event)
{
    // A new width wraps the text into other lines: the first character shown
    // stays in sight. Where it is comes from the layouts of the old width.
    qsizetype topOffset = -1;
    if (auto it = m_layouts.find(m_top); it != m_layouts.end() && m_topLine < it->second->lineCount())
        topOffset
            = m_segments[static_cast<std::size_t>(m_top)].start + it->second->lineAt(m_topLine).textStart();
    QAbstractScrollArea::resizeEvent(event);
    if (topOffset >= 0 && m_topLine > 0)
        ScrollToOffset(topOffset);
    else
        m_topLine = 0;
    SyncScrollBar();
}

void CTextPane::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        m_layouts.clear();
        m_topLine = 0;
        viewport()->update();
    }
    QAbstractScrollArea::changeEvent(event);
}

void CTextPane::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    const int lines = std::max(1, std::abs(delta) * QApplication::wheelScrollLines() / 120);
    ScrollLines(delta > 0 ? -lines : lines);
    event->accept();
}

void CTextPane::keyPressEvent(QKeyEvent* event)
{
    if (event == QKeySequence::Copy) {
        Copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        SelectAll();
        return;
    }
    const int page = std::max(1, VisibleLines() - 1);
    switch (event->key()) {
    case Qt::Key_Up:
        ScrollLines(-1);
        return;
    case Qt::Key_Down:
        ScrollLines(1);
        return;
    case Qt::Key_PageUp:
        ScrollLines(-page);
        return;
    case Qt::Key_PageDown:
        ScrollLines(page);
        return;
    case Qt::Key_Home:
        SetTop(0, 0);
        return;
    case Qt::Key_End: {
        const int last = static_cast<int>(m_segments.size()) - 1;
        SetTop(last, std::max(0, LayoutOf(last)->lineCount() - 1));
        ScrollLines(-page);
        return;
    }
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void CTextPane::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const qsizetype offset = OffsetAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier))
        m_anchor = offset;
    m_position = offset;
    m_selecting = true;
    SelectionChanged();
}

void CTextPane::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_selecting)
        return;
    const QPoint pos = event->position().toPoint();
    if (pos.y() < 0)
        ScrollLines(-1);
    else if (pos.y() > viewport()->height())
        ScrollLines(1);
    m_position = OffsetAt(pos);
    SelectionChanged();
}

void CTextPane::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_selecting = false;
    QClipboard* clipboard = QApplication::clipboard();
    if (clipboard->supportsSelection() && SelectionStart() < SelectionEnd())
        clipboard->setText(SelectedText(), QClipboard::Selection);
}

void CTextPane::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const qsizetype offset = OffsetAt(event->position().toPoint());
    const int segment = SegmentOf(offset);
    const Segment& s = m_segments[static_cast<std::size_t>(segment)];
    const QString text = m_text.mid(s.start, s.end - s.start);
    const qsizetype pos = std::min(offset, s.end) - s.start;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    finder.setPosition(pos);
    qsizetype from = finder.isAtBoundary() ? pos : finder.toPreviousBoundary();
    finder.setPosition(pos);
    qsizetype to = finder.toNextBoundary();
    if (from < 0)
        from = 0;
    if (to < 0)
        to = text.size();
    SetSelection(s.start + from, s.start + to);
}

void CTextPane::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* copy = menu.addAction(QString::fromUtf8("复制(&C)"));
    copy->setEnabled(SelectionStart() < SelectionEnd());
    QAction* all = menu.addAction(QString::fromUtf8("全选(&A)"));
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == copy)
        Copy();
    else if (chosen == all)
        SelectAll();
}

} // namespace tessary
