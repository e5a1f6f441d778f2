#include "MountWatcher.h"

#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

namespace tessary {

namespace {

// Long enough to gather the mounts of one disk, short enough to feel at once.
constexpr int kSettleMs = 150;

} // namespace

CMountWatcher::CMountWatcher(QObject* parent)
    : QObject(parent)
{
    m_settle = new QTimer(this);
    m_settle->setSingleShot(true);
    m_settle->setInterval(kSettleMs);
    connect(m_settle, &QTimer::timeout, this, &CMountWatcher::MountsChanged);

    m_fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return;
    // The table changed: poll reports an exceptional condition (POLLPRI).
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Exception, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { m_settle->start(); });
}

CMountWatcher::~CMountWatcher()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace tessary
