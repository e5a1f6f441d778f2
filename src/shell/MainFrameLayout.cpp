// Reading and writing the main frame's layout in the profile.

#include "MainFrame.h"
#include "ScreenPlace.h"

#include "OutputBar.h"
#include "PaneView.h"
#include "TessaryView.h"

#include <QSettings>
#include <QStatusBar>

namespace tessary {
namespace {

const QRect kDefaultRect(120, 60, 600, 420);

} // namespace

void CMainFrame::RestoreWindowRect()
{
    m_profile.beginGroup(QStringLiteral("LastWindowStatus"));
    QRect rect(m_profile.value(QStringLiteral("Left"), kDefaultRect.left()).toInt(),
        m_profile.value(QStringLiteral("Top"), kDefaultRect.top()).toInt(),
        m_profile.value(QStringLiteral("Width"), kDefaultRect.width()).toInt(),
        m_profile.value(QStringLiteral("Height"), kDefaultRect.height()).toInt());
    m_profile.endGroup();
    // A rectangle from a screen that is gone (or a damaged profile) would put
    // the window where nobody can reach it.
    if (rect.width() <= 0 || rect.height() <= 0 || !IsReachableOnScreen(rect))
        rect = kDefaultRect;
    setGeometry(rect);
}

void CMainFrame::RestoreBarState()
{
    m_profile.beginGroup(QStringLiteral("MainFrameBarStatus"));
    const QByteArray state = m_profile.value(QStringLiteral("State")).toByteArray();
    const bool statusBarShown = m_profile.value(QStringLiteral("StatusBar"), true).toBool();
    m_profile.endGroup();
    if (!state.isEmpty())
        restoreState(state);
    statusBar()->setVisible(statusBarShown);
}

void CMainFrame::SaveLayout()
{
    // A minimised or maximised window keeps the rectangle it will return to.
    const QRect rect = (isMinimized() || isMaximized()) ? normalGeometry() : geometry();
    m_profile.beginGroup(QStringLiteral("LastWindowStatus"));
    m_profile.setValue(QStringLiteral("Left"), rect.left());
    m_profile.setValue(QStringLiteral("Top"), rect.top());
    m_profile.setValue(QStringLiteral("Width"), rect.width());
    m_profile.setValue(QStringLiteral("Height"), rect.height());
    m_profile.endGroup();

    QWidget* tree = TreePane()->Widget();
    m_profile.beginGroup(QStringLiteral("LeftWindowStatus"));
    m_profile.setValue(QStringLiteral("Width"), tree->width());
    m_profile.setValue(QStringLiteral("Height"), tree->height());
    m_profile.endGroup();

    m_listView->SaveColumnWidths(m_profile);
    m_outputBar->SaveColumnWidths(m_profile);

    m_profile.beginGroup(QStringLiteral("MainFrameBarStatus"));
    m_profile.setValue(QStringLiteral("State"), saveState());
    m_profile.setValue(QStringLiteral("StatusBar"), !statusBar()->isHidden());
    m_profile.endGroup();
    m_profile.sync();
}

} // namespace tessary
