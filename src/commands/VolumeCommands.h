#pragma once

// Reaching the files of imported categories through their volumes, and
// binding an old category to a connected volume.

#include "Command.h"

#include <optional>
#include <span>
#include <string>

class QWidget;

namespace tessary {

class CCategoryView;
class CDatum;
class CItem;
class CTessaryDoc;
struct VolumeRecord;

// Where the file or folder of an entry is now.
struct DiskPlace {
    std::optional<std::string> path; // disk bytes; nothing when not reachable
    const VolumeRecord* away = nullptr; // the record of the volume to connect, when that is why
};

// Finds the file or folder of `entry` (see CTessaryDoc::Locate): at its
// volume's current mount point when the volume is connected elsewhere, at
// the stored path when nothing is known of its volume. When several
// connected volumes fit (cloned disks) the user picks one, once until the
// volumes change; cancelling gives no path and no record.
DiskPlace PlaceOnDisk(CTessaryDoc& doc, const CItem& entry, QWidget* parent);

// As PlaceOnDisk, and when the volume is away it says which one to connect
// ("请插入卷…") instead of the file being not found.
std::optional<std::string> PathOnDiskOrTell(CTessaryDoc& doc, const CItem& entry, QWidget* parent);

// Lets the user pick, once per imported category, among cloned disks for
// the items to be read. False when the user cancelled.
bool SettleClonedVolumes(CTessaryDoc& doc, std::span<CDatum* const> items, QWidget* parent);

// Binds the tree's selected CD, drive or folder import (32800, "关联卷(&L)...")
// to a connected volume the user picks ("选择卷"): the category records that
// volume, and its files are found through it from then on (also after the
// library is saved and opened again). Its stored path stays. Without a
// connected volume it says so; cancelling changes nothing.
class CLinkVolumeCmd : public CCommand {
public:
    CLinkVolumeCmd(CTessaryDoc& doc, CCategoryView& tree)
        : m_doc(doc)
        , m_tree(tree)
    {
    }
    void Execute() override;

private:
    CTessaryDoc& m_doc;
    CCategoryView& m_tree;
};

} // namespace tessary
