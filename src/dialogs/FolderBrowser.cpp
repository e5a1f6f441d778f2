#include "FolderBrowser.h"

#include "Strings.h"

#include <QFileDialog>

#include <utility>

namespace tessary {

namespace {

CFolderBrowser::Hook& InstalledHook()
{
    static CFolderBrowser::Hook hook;
    return hook;
}

} // namespace

CFolderBrowser::CFolderBrowser(QWidget* owner, int titleId, const QString& start)
    : m_owner(owner)
    , m_title(LoadString(titleId))
    , m_start(start)
{
}

bool CFolderBrowser::Browse()
{
    const Hook& hook = InstalledHook();
    const QString chosen = hook ? hook(m_owner, m_title, m_start)
                                : QFileDialog::getExistingDirectory(m_owner, m_title, m_start,
                                    QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (chosen.isEmpty())
        return false;
    m_selectedPath = chosen;
    return true;
}

CFolderBrowser::Hook CFolderBrowser::SetHook(Hook hook)
{
    return std::exchange(InstalledHook(), std::move(hook));
}

} // namespace tessary
