#pragma once

#include "Volume.h"

#include <QDialog>

#include <vector>

class QTreeWidget;

namespace tessary {

// "选择卷": picks one of the connected volumes, for linking an imported
// category to one or for choosing among cloned disks. A prompt above a list
// of the volumes (label, UUID, mount point, capacity), the first one
// selected, then "确定" and "取消"; a double-click confirms. The volumes
// must outlive the dialog.
class CVolumePickerDlg : public QDialog {
    Q_OBJECT
public:
    CVolumePickerDlg(
        const QString& prompt, std::vector<const MountedVolume*> volumes, QWidget* parent = nullptr);

    // The selected volume (null when the list is empty).
    const MountedVolume* Chosen() const;
    // Selects the volume of row `row`, as a click would.
    void Select(int row);
    QTreeWidget* List() const { return m_list; }

private:
    std::vector<const MountedVolume*> m_volumes;
    QTreeWidget* m_list;
};

} // namespace tessary
