// Draws the program's icons into PNG files in the current directory.
// Not part of the build: run it by hand after changing a drawing, e.g.
//   g++ -std=c++20 -fPIC draw_icons.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/draw_icons
//   QT_QPA_PLATFORM=offscreen /tmp/draw_icons
// and commit the PNG files it writes.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <functional>

namespace {

const QColor kInk(40, 40, 48);
const QColor kPaper(250, 250, 245);
const QColor kFolder(230, 180, 60);
const QColor kBlue(50, 100, 190);
const QColor kRed(200, 45, 45);
const QColor kGreen(40, 140, 60);

void Save(const char* name, int size, const std::function<void(QPainter&)>& draw)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    draw(p);
    p.end();
    img.save(QString::fromLatin1(name));
}

void Page(QPainter& p, QRectF r = QRectF(3, 1, 10, 14))
{
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - 3, r.top());
    path.lineTo(r.right(), r.top() + 3);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPaper);
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - 3, r.top()), QPointF(r.right() - 3, r.top() + 3));
    p.drawLine(QPointF(r.right() - 3, r.top() + 3), QPointF(r.right(), r.top() + 3));
}

void Lines(QPainter& p, double left = 5, double right = 11, double top = 6, int count = 4)
{
    p.setPen(QPen(QColor(120, 120, 130), 1));
    for (int i = 0; i < count; ++i)
        p.drawLine(QPointF(left, top + 2 * i), QPointF(right, top + 2 * i));
}

void Folder(QPainter& p, QRectF r = QRectF(1, 4, 14, 10), QColor colour = kFolder)
{
    p.setPen(QPen(colour.darker(160), 1));
    p.setBrush(colour);
    QPainterPath tab;
    tab.moveTo(r.left(), r.top());
    tab.lineTo(r.left() + 5, r.top());
    tab.lineTo(r.left() + 6, r.top() + 1.5);
    tab.lineTo(r.right(), r.top() + 1.5);
    tab.lineTo(r.right(), r.bottom());
    tab.lineTo(r.left(), r.bottom());
    tab.closeSubpath();
    p.drawPath(tab);
    p.setBrush(colour.lighter(120));
    p.drawRect(QRectF(r.left(), r.top() + 3, r.width(), r.height() - 3));
}

void Arrow(QPainter& p, QPointF from, QPointF to, QColor colour)
{
    p.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    QLineF line(to, from);
    QLineF a = line;
    a.setLength(4);
    a.setAngle(line.angle() + 40);
    QLineF b = line;
    b.setLength(4);
    b.setAngle(line.angle() - 40);
    p.drawLine(a);
    p.drawLine(b);
}

void Book(QPainter& p)
{
    // A library: three book spines under a roof line.
    p.setPen(QPen(kInk, 0.8));
    p.setBrush(QColor(150, 60, 40));
    QPainterPath roof;
    roof.moveTo(0.5, 5.5);
    roof.lineTo(8, 1);
    roof.lineTo(15.5, 5.5);
    roof.closeSubpath();
    p.drawPath(roof);
    const QColor spines[] = { kBlue, kGreen, QColor(190, 130, 30) };
    for (int i = 0; i < 3; ++i) {
        p.setBrush(spines[i]);
        p.drawRect(QRectF(2.5 + 4 * i, 6.5, 3, 8));
        p.setPen(QPen(kPaper, 0.6));
        p.drawLine(QPointF(3 + 4 * i, 8.5), QPointF(5 + 4 * i, 8.5));
        p.setPen(QPen(kInk, 0.8));
    }
    p.drawLine(QPointF(1, 15), QPointF(15, 15));
}

void Disc(QPainter& p)
{
    QRadialGradient g(QPointF(8, 8), 7);
    g.setColorAt(0, QColor(235, 235, 250));
    g.setColorAt(0.6, QColor(190, 210, 240));
    g.setColorAt(1, QColor(220, 190, 240));
    p.setPen(QPen(kInk, 0.8));
    p.setBrush(g);
    p.drawEllipse(QPointF(8, 8), 7, 7);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 8), 2, 2);
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);

    Save("new.png", 16, [](QPainter& p) {
        Page(p);
        p.setPen(QPen(QColor(230, 170, 0), 1.5));
        p.drawLine(QPointF(11, 9), QPointF(11, 15));
        p.drawLine(QPointF(8, 12), QPointF(14, 12));
    });
    Save("open.png", 16, [](QPainter& p) {
        Folder(p);
        Arrow(p, QPointF(9, 11), QPointF(13, 2.5), kGreen);
    });
    Save("save.png", 16, [](QPainter& p) {
        p.setPen(QPen(kInk, 1));
        p.setBrush(kBlue);
        p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1, 1);
        p.setBrush(kPaper);
        p.drawRect(QRectF(4, 1.5, 8, 5));
        p.setBrush(QColor(200, 200, 210));
        p.drawRect(QRectF(4, 9.5, 8, 5));
        p.fillRect(QRectF(9, 2.5, 2, 3), kInk);
    });
    Save("edit.png", 16, [](QPainter& p) {
        Page(p, QRectF(1.5, 1.5, 10, 13));
        Lines(p, 3.5, 9, 6, 3);
        p.setPen(QPen(kInk, 0.8));
        p.setBrush(QColor(240, 200, 60));
        QPainterPath pencil;
        pencil.moveTo(14.5, 4.5);
        pencil.lineTo(15.5, 5.5);
        pencil.lineTo(9, 12);
        pencil.lineTo(7, 13);
        pencil.lineTo(8, 11);
        pencil.closeSubpath();
        p.drawPath(pencil);
    });
    Save("delete.png", 16, [](QPainter& p) {
        p.setPen(QPen(kRed, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
    });
    Save("up.png", 16, [](QPainter& p) { Arrow(p, QPointF(8, 14), QPointF(8, 2.5), kBlue); });
    Save("down.png", 16, [](QPainter& p) { Arrow(p, QPointF(8, 2), QPointF(8, 13.5), kBlue); });
    Save("openfile.png", 16, [](QPainter& p) {
        Page(p, QRectF(1.5, 1.5, 10, 13));
        Lines(p, 3.5, 9, 6, 3);
        Arrow(p, QPointF(8, 13), QPointF(14.5, 6.5), kGreen);
    });
    Save("content.png", 16, [](QPainter& p) {
        Page(p);
        Lines(p, 5, 11, 5, 5);
    });
    Save("explore.png", 16, [](QPainter& p) {
        Folder(p, QRectF(0.5, 2.5, 12, 9));
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(QColor(200, 230, 255, 200));
        p.drawEllipse(QPointF(10, 10), 3, 3);
        p.setPen(QPen(kInk, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(12.2, 12.2), QPointF(15, 15));
    });
    Save("remark.png", 16, [](QPainter& p) {
        p.setPen(QPen(kInk, 1));
        p.setBrush(QColor(255, 240, 150));
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(1.5, 1.5, 13, 9.5), 2, 2);
        QPainterPath tail;
        tail.moveTo(4, 10.5);
        tail.lineTo(3.5, 14.5);
        tail.lineTo(8, 10.5);
        tail.closeSubpath();
        p.drawPath(bubble.united(tail));
        Lines(p, 4, 12, 4.5, 3);
    });
    Save("extract.png", 16, [](QPainter& p) {
        Page(p, QRectF(1.5, 1.5, 9, 11));
        Lines(p, 3.5, 8, 5, 3);
        p.setPen(QPen(kInk, 1));
        p.setBrush(QColor(170, 120, 70));
        p.drawRect(QRectF(8.5, 10.5, 7, 5));
        Arrow(p, QPointF(12, 3), QPointF(12, 9.5), kGreen);
    });
    Save("spare.png", 16, [](QPainter& p) {
        p.setPen(QPen(kBlue, 1));
        p.setBrush(QColor(220, 232, 250));
        p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        QFont f;
        f.setPixelSize(11);
        f.setBold(true);
        p.setFont(f);
        p.setPen(kBlue);
        p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
    });
    Save("filter.png", 16, [](QPainter& p) {
        p.setPen(QPen(kInk, 1));
        p.setBrush(QColor(90, 150, 220));
        QPainterPath funnel;
        funnel.moveTo(1.5, 2.5);
        funnel.lineTo(14.5, 2.5);
        funnel.lineTo(9.5, 8.5);
        funnel.lineTo(9.5, 14.5);
        funnel.lineTo(6.5, 12.5);
        funnel.lineTo(6.5, 8.5);
        funnel.closeSubpath();
        p.drawPath(funnel);
    });

    // The program and its document type also go into the desktop's icon
    // theme, which asks for every size from 16 to 256 pixels; tessary.svg
    // and library.svg are the same drawings for the theme's scalable folder.
    for (int size : { 16, 22, 24, 32, 48, 64, 128, 256 }) {
        Save(QStringLiteral("tessary-%1.png").arg(size).toLatin1().constData(), size, Book);
        Save(QStringLiteral("library-%1.png").arg(size).toLatin1().constData(), size, [](QPainter& p) {
            Page(p, QRectF(1.5, 0.5, 13, 15));
            p.save();
            p.translate(3.5, 4);
            p.scale(0.6, 0.6);
            Book(p);
            p.restore();
        });
    }
    for (int size : { 16, 32, 48 })
        Save(QStringLiteral("cdcate-%1.png").arg(size).toLatin1().constData(), size, Disc);
    return 0;
}
