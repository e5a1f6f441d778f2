#include "ViewerDlg.h"

#include "ScreenPlace.h"

#include <QSettings>
#include <QShowEvent>
#include <QVBoxLayout>
#include <QWindow>

namespace tessary {
QRect ReadViewerRect(QSettings* profile, const QString& section)
{
    if (!profile)
        return kDefaultViewerRect;
    profile->beginGroup(section);
    bool ok[4] = {};
    const int left = profile->value(QStringLiteral("Left"), 120).toInt(&ok[0]);
    const int top = profile->value(QStringLiteral("Top"), 60).toInt(&ok[1]);
    const int right = profile->value(QStringLiteral("right"), 600).toInt(&ok[2]);
    const int bottom = profile->value(QStringLiteral("bottom"), 420).toInt(&ok[3]);
    profile->endGroup();
    // The edges are exclusive, as window rectangles are stored: width is
    // right - left.
    const QRect rect(left, top, right - left, bottom - top);
    // A damaged profile or a screen that is gone would put the window where
    // nobody can see or reach it.
    if (!ok[0] || !ok[1] || !ok[2] || !ok[3] || rect.width() <= 0 || rect.height() <= 0
        || !IsReachableOnScreen(rect))
        return kDefaultViewerRect;
    return rect;
}

void WriteViewerRect(QSettings* profile, const QString& section, const QRect& rect)
{
    if (!profile)
        return;
    profile->beginGroup(section);
    profile->setValue(QStringLiteral("Left"), rect.left());
    profile->setValue(QStringLiteral("Top"), rect.top());
    profile->setValue(QStringLiteral("right"), rect.left() + rect.width());
    profile->setValue(QStringLiteral("bottom"), rect.top() + rect.height());
    profile->endGroup();
}

CViewerDlg::CViewerDlg(const QString& section, QSettings* profile, QWidget* parent)
    : QDialog(parent)
    , m_section(section)
    , m_profile(profile)
{
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
        | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The stored rectangle is the outer one; the frame is only known once
    // the window is shown, until then the client area takes it all.
    m_outer = ReadViewerRect(m_profile, m_section);
    setGeometry(m_outer);
}

void CViewerDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    if (!frame.isNull())
        setGeometry(m_outer.marginsRemoved(frame));
}

void CViewerDlg::SetControl(QWidget* control)
{
    layout()->addWidget(control);
}

void CViewerDlg::done(int result)
{
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    const QRect rect
        = (isMinimized() || isMaximized()) ? normalGeometry().marginsAdded(frame) : frameGeometry();
    WriteViewerRect(m_profile, m_section, rect);
    QDialog::done(result);
}

} // namespace tessary
