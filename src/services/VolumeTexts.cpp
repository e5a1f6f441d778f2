#include "VolumeTexts.h"

#include "ResourceIds.h"
#include "Strings.h"
#include "TextCodec.h"
#include "UserPrompts.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>

namespace tessary {

namespace {

QString Shown(const std::string& gb)
{
    return QString::fromStdString(GbToUtf8(gb));
}

QString LabelText(const QString& label)
{
    return label.isEmpty() ? LoadString(IDS_VOLUME_NO_LABEL) : label;
}

} // namespace

QString InsertVolumeText(const VolumeRecord& record)
{
    const QString label = LabelText(Shown(record.label));
    if (record.uuid.empty())
        return LoadString(IDS_INSERT_VOLUME_NO_UUID).arg(label);
    return LoadString(IDS_INSERT_VOLUME).arg(label, Shown(record.uuid));
}

QString SizeText(std::uint64_t bytes)
{
    return QLocale().formattedDataSize(static_cast<qint64>(std::min<std::uint64_t>(bytes, INT64_MAX)), 1,
        QLocale::DataSizeTraditionalFormat);
}

QString VolumeToolTip(const VolumeRecord& record, const VolumeMatch& match)
{
    QStringList lines;
    lines << LoadString(IDS_VOLUME_LABEL).arg(LabelText(Shown(record.label)));
    if (!record.uuid.empty())
        lines << LoadString(IDS_VOLUME_UUID).arg(Shown(ShortUuid(record.uuid)));
    lines << LoadString(IDS_VOLUME_CAPACITY).arg(SizeText(record.capacity));
    lines << LoadString(IDS_VOLUME_FREE_AT_SCAN).arg(SizeText(record.freeBytes));
    lines << LoadString(IDS_VOLUME_SCAN_TIME)
                 .arg(record.scanTime == 0 ? LoadString(IDS_VOLUME_LINKED_BY_HAND)
                                           : QDateTime::fromSecsSinceEpoch(record.scanTime)
                                                 .toString(QStringLiteral("MM/dd/yy HH:mm:ss")));
    switch (match.state) {
    case VolumeMatch::State::Connected:
        lines << LoadString(IDS_VOLUME_MOUNTED_AT)
                     .arg(QString::fromStdString(GbToUtf8(DiskToGb(match.volumes.front()->mountPoint))));
        break;
    case VolumeMatch::State::Ambiguous:
        lines << LoadString(IDS_VOLUME_AMBIGUOUS);
        break;
    case VolumeMatch::State::Offline:
        lines << LoadString(IDS_VOLUME_OFFLINE);
        break;
    }
    return lines.join(QLatin1Char('\n'));
}

QStringList VolumeColumns(const MountedVolume& volume)
{
    return { LabelText(QString::fromStdString(GbToUtf8(DiskToGb(volume.label)))),
        QString::fromStdString(volume.uuid), QString::fromStdString(GbToUtf8(DiskToGb(volume.mountPoint))),
        SizeText(volume.capacity) };
}

QString ReadWarningsText(const QString& path, const std::vector<LibraryWarning>& warnings)
{
    QStringList lines;
    for (const LibraryWarning& w : warnings) {
        int id = IDS_VOLUME_DATA_DAMAGED;
        switch (w.kind) {
        case LibraryWarning::Kind::ExtensionDamaged:
            id = IDS_VOLUME_DATA_DAMAGED;
            break;
        case LibraryWarning::Kind::ExtensionNotMatching:
            id = IDS_VOLUME_DATA_NOT_MATCHING;
            break;
        case LibraryWarning::Kind::ExtensionNewer:
            id = IDS_VOLUME_DATA_NEWER;
            break;
        case LibraryWarning::Kind::RecordsDropped:
            id = IDS_VOLUME_DATA_DROPPED;
            break;
        }
        lines << LoadString(id).arg(path);
    }
    return lines.join(QLatin1Char('\n'));
}

void ShowReadWarnings(QWidget* parent, const QString& path, const std::vector<LibraryWarning>& warnings)
{
    const QString text = ReadWarningsText(path, warnings);
    if (!text.isEmpty())
        Prompts().ShowMessage(parent, text, IUserPrompts::Icon::Warning);
}

} // namespace tessary
