#include "VolumeCommands.h"

#include "CategoryView.h"
#include "CommandDialogs.h"
#include "Datum.h"
#include "DisplayText.h"
#include "Document.h"
#include "MountSource.h"
#include "ResourceIds.h"
#include "Strings.h"
#include "UserPrompts.h"
#include "VolumePickerDlg.h"
#include "VolumeTexts.h"
#include "Volumes.h"

#include <QFile>

#include <algorithm>

#include <unordered_set>

namespace tessary {

namespace {

// Asks which of `where`'s candidates stands for its volume and remembers
// the answer in the document. False when the user cancelled.
bool ChooseClone(CTessaryDoc& doc, const EntryLocation& where, QWidget* parent)
{
    const VolumeRecord& record = *where.volume;
    CVolumePickerDlg picker(
        LoadString(IDS_VOLUME_CHOOSE_CLONE).arg(FromLibraryText(record.label), FromLibraryText(record.uuid)),
        where.candidates, parent);
    if (RunDialog(picker) != 1 || !picker.Chosen())
        return false;
    doc.ChooseVolume(*where.top, *picker.Chosen());
    return true;
}

} // namespace

DiskPlace PlaceOnDisk(CTessaryDoc& doc, const CItem& entry, QWidget* parent)
{
    EntryLocation where = doc.Locate(entry);
    if (where.state == EntryLocation::State::Ambiguous) {
        if (!ChooseClone(doc, where, parent))
            return {};
        where = doc.Locate(entry);
    }
    switch (where.state) {
    case EntryLocation::State::AsStored:
    case EntryLocation::State::Connected:
        return { std::move(where.diskPath), nullptr };
    case EntryLocation::State::Offline:
    case EntryLocation::State::Ambiguous:
        break;
    }
    return { std::nullopt, where.volume };
}

std::optional<std::string> PathOnDiskOrTell(CTessaryDoc& doc, const CItem& entry, QWidget* parent)
{
    DiskPlace place = PlaceOnDisk(doc, entry, parent);
    if (!place.path && place.away)
        Prompts().ShowMessage(parent, InsertVolumeText(*place.away), IUserPrompts::Icon::Warning);
    return std::move(place.path);
}

bool SettleClonedVolumes(CTessaryDoc& doc, std::span<CDatum* const> items, QWidget* parent)
{
    std::unordered_set<const CPathCategory*> asked;
    for (const CDatum* item : items) {
        EntryLocation where = doc.Locate(*item);
        if (where.state == EntryLocation::State::Ambiguous && asked.insert(where.top).second
            && !ChooseClone(doc, where, parent))
            return false;
    }
    return true;
}

void CLinkVolumeCmd::Execute()
{
    CCategory* selected = m_tree.SelectedCategory();
    if (!selected || !HasPath(selected->GetClassId()))
        return;
    auto& category = static_cast<CPathCategory&>(*selected);
    QWidget* parent = m_tree.window();
    // Whole file systems that can hold the user's files, each mount point
    // once (the last mount there covers the others); those that can be told
    // by a UUID first.
    m_doc.ReadVolumes();
    std::vector<const MountedVolume*> volumes;
    for (const MountedVolume& v : m_doc.GetVolumes().Volumes()) {
        if (v.root != "/"
            || IsPseudoMount(
                QString::fromStdString(v.fsType), QFile::decodeName(QByteArray::fromStdString(v.mountPoint))))
            continue;
        std::erase_if(volumes, [&v](const MountedVolume* o) { return o->mountPoint == v.mountPoint; });
        volumes.push_back(&v);
    }
    std::stable_partition(
        volumes.begin(), volumes.end(), [](const MountedVolume* v) { return !v->uuid.empty(); });
    if (volumes.empty()) {
        Prompts().ShowMessage(parent, LoadString(IDS_VOLUME_NONE_CONNECTED), IUserPrompts::Icon::Information);
        return;
    }
    CVolumePickerDlg picker(
        LoadString(IDS_VOLUME_CHOOSE_LINK).arg(FromLibraryText(category.m_strName.view())), volumes, parent);
    if (RunDialog(picker) != 1 || !picker.Chosen())
        return;
    category.SetVolume(LinkRecord(category, *picker.Chosen(), MountSource()));
    m_doc.SetModifiedFlag(true);
    m_tree.RefreshVolumeRows();
}

} // namespace tessary
