#pragma once

// What the window says about volumes: which one to connect, the tooltip of
// an imported category's row, and what opening a library left out of it.

#include "Archive.h"
#include "Volume.h"

#include <QString>

#include <cstdint>
#include <vector>

class QWidget;

namespace tessary {

// "请插入卷“BACKUP”（UUID 1234-ABCD）": which volume to connect (without the
// UUID part when the volume has none).
QString InsertVolumeText(const VolumeRecord& record);

// The tooltip of an imported category's row: the label, the UUID's first
// eight characters, capacity, free space at scan and the scan time, then
// "未连接", or the mount point where the volume is connected now, or that
// several connected volumes fit.
QString VolumeToolTip(const VolumeRecord& record, const VolumeMatch& match);

// A volume as the pickers list it: label (or "（无卷标）"), UUID, mount point, capacity.
QStringList VolumeColumns(const MountedVolume& volume);

// A byte count for people ("16.0 GB").
QString SizeText(std::uint64_t bytes);

// The sentences for what reading the library at `path` left out, one a
// line; empty when nothing was.
QString ReadWarningsText(const QString& path, const std::vector<LibraryWarning>& warnings);
// Shows them as a warning over `parent`, when there are any.
void ShowReadWarnings(QWidget* parent, const QString& path, const std::vector<LibraryWarning>& warnings);

} // namespace tessary
