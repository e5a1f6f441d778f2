#pragma once

#include "Volumes.h"

#include <QComboBox>

namespace tessary {

// A drop-down list of drives (volumes) with their icons and labels, used by
// the CD and drive import dialogs. Each entry shows the volume's root path,
// followed by "{label}" when the volume has one, and the entries are sorted
// by root path. The "drive" the picker hands back is the chosen entry's root
// path (a mount point, or an optical drive's device when it has no disc).
//
// The volumes come from VolumeSource(), so tests can list fake ones.
class CDriveComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit CDriveComboBox(QWidget* parent = nullptr);

    // Lists every volume and selects the one that holds the user's home
    // folder (the one with the longest root path leading to it), or the
    // first entry when none does. Replaces what was listed before.
    void AttachAllDrives();
    // Lists the CDs and DVDs and the optical drives without a disc, and
    // selects the first entry if there is one. Replaces what was listed.
    void AttachCDDrives();

    // The root path of the selected entry; empty when nothing is selected.
    QString GetSelectedDrive() const;
    // Selects the entry whose root path is exactly `root` (case matters, as
    // it does for paths here). Returns false and leaves the selection as it
    // was when no entry has that root path.
    bool SelectDrive(const QString& root);
    // Adds an entry for `volume` at its place in the sorted list, without
    // changing the selection. Returns its index.
    int AddDrive(const VolumeInfo& volume);

private:
    void Fill(const QList<VolumeInfo>& volumes);
};

} // namespace tessary
