#pragma once

#include <QObject>

class QSocketNotifier;
class QTimer;

namespace tessary {

// Tells when file systems are mounted or unmounted: the kernel marks the
// mount table (/proc/self/mountinfo) as changed, which a socket notifier on
// it sees without polling. A burst of changes (a desktop mounting several
// partitions of one disk) ends in one MountsChanged, shortly after the last.
class CMountWatcher : public QObject {
    Q_OBJECT
public:
    explicit CMountWatcher(QObject* parent = nullptr);
    ~CMountWatcher() override;

    // False where the mount table cannot be watched (then nothing is told).
    bool IsWatching() const noexcept { return m_fd >= 0; }

Q_SIGNALS:
    void MountsChanged();

private:
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_settle = nullptr;
};

} // namespace tessary
