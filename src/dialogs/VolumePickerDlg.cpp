#include "VolumePickerDlg.h"

#include "DialogButtons.h"
#include "ResourceIds.h"
#include "Strings.h"
#include "VolumeTexts.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tessary {

CVolumePickerDlg::CVolumePickerDlg(
    const QString& prompt, std::vector<const MountedVolume*> volumes, QWidget* parent)
    : QDialog(parent)
    , m_volumes(std::move(volumes))
    , m_list(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("volumePicker"));
    setWindowTitle(LoadString(IDS_VOLUME_PICKER_TITLE));
    auto* label = new QLabel(prompt, this);
    label->setWordWrap(true);
    label->setBuddy(m_list);

    const QStringList titles = LoadString(IDS_VOLUME_PICKER_COLUMNS).split(QLatin1Char('\n'));
    m_list->setObjectName(QStringLiteral("volumes"));
    m_list->setAccessibleName(LoadString(IDS_VOLUME_PICKER_TITLE));
    m_list->setRootIsDecorated(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setHeaderLabels(titles);
    for (const MountedVolume* v : m_volumes)
        new QTreeWidgetItem(m_list, VolumeColumns(*v));
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    if (!m_volumes.empty())
        Select(0);

    const DialogButtons buttons
        = MakeDialogButtons(this, QString::fromUtf8("确定"), QString::fromUtf8("取消"));
    buttons.ok->setEnabled(!m_volumes.empty());
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_list);
    layout->addLayout(CentredButtonRow(buttons, 12));
    resize(560, 240);
}

const MountedVolume* CVolumePickerDlg::Chosen() const
{
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    return row >= 0 && row < static_cast<int>(m_volumes.size()) ? m_volumes[static_cast<std::size_t>(row)]
                                                                : nullptr;
}

void CVolumePickerDlg::Select(int row)
{
    if (QTreeWidgetItem* item = m_list->topLevelItem(row))
        m_list->setCurrentItem(item);
}

} // namespace tessary
