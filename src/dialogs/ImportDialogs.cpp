#include "ImportDialogs.h"

#include "DialogButtons.h"
#include "DisplayText.h"

#include "Category.h"
#include "DriveComboBox.h"
#include "FolderBrowser.h"
#include "MountSource.h"
#include "ResourceIds.h"
#include "TextCodec.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <memory>

namespace tessary {

namespace {

QLineEdit* NewEdit(QWidget* parent, const char* id)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(id));
    edit->setMinimumWidth(200);
    return edit;
}

} // namespace

CImportDlgBase::CImportDlgBase(QWidget* parent, int dialogId, const QString& title)
    : QDialog(parent)
{
    setObjectName(QString::number(dialogId));
    setWindowTitle(title);
    setAccessibleName(title);
}

void CImportDlgBase::BuildLayout(const QString& sourceLabel, QWidget* sourceField, QWidget* extra,
    const QString& nameLabel, const char* nameId, const QString& okText, const QString& cancelText)
{
    auto* grid = new QGridLayout;
    auto* sourceCaption = new QLabel(sourceLabel, this);
    sourceCaption->setBuddy(sourceField);
    sourceField->setAccessibleName(sourceLabel);
    grid->addWidget(sourceCaption, 0, 0);
    grid->addWidget(sourceField, 0, 1);
    if (extra)
        grid->addWidget(extra, 0, 2);

    m_nameEdit = NewEdit(this, nameId);
    m_nameEdit->setAccessibleName(nameLabel);
    auto* nameCaption = new QLabel(nameLabel, this);
    nameCaption->setBuddy(m_nameEdit);
    grid->addWidget(nameCaption, 1, 0);
    grid->addWidget(m_nameEdit, 1, 1);

    m_rootCheck = new QCheckBox(QString::fromUtf8("做为根类别"), this);
    m_rootCheck->setObjectName(QStringLiteral("1024"));
    m_rootCheck->setAccessibleName(m_rootCheck->text());
    grid->addWidget(m_rootCheck, 2, 1);

    const DialogButtons buttons = MakeDialogButtons(this, okText, cancelText);
    m_okButton = buttons.ok;
    m_cancelButton = buttons.cancel;

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(CentredButtonRow(buttons, 16));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    QWidget* order[] = { sourceField, extra, m_nameEdit, m_rootCheck, m_okButton, m_cancelButton };
    QWidget* previous = nullptr;
    for (QWidget* w : order) {
        if (!w)
            continue;
        if (previous)
            setTabOrder(previous, w);
        previous = w;
    }
    sourceField->setFocus();
}

int CImportDlgBase::DoModal()
{
    InitDialog();
    return exec() == QDialog::Accepted ? 1 : 2;
}

void CImportDlgBase::InitDialog()
{
    if (m_initialized)
        return;
    m_initialized = true;
    OnInitDialog();
    if (m_bEditMode) {
        m_rootCheck->setEnabled(false);
        if (m_pEditCategory) {
            m_strName = m_pEditCategory->m_strName.str();
            m_strSource = m_pEditCategory->m_strPath.str();
        }
    } else if (!m_pParentCandidate) {
        // Nowhere to go but the top level.
        m_bMakeRoot = true;
        m_rootCheck->setEnabled(false);
    }
    DoDataExchange(false);
    UpdateOk();
}

void CImportDlgBase::DoDataExchange(bool save)
{
    if (save) {
        m_strName = ToLibraryText(m_nameEdit->text());
        m_bMakeRoot = m_rootCheck->isChecked();
    } else {
        m_nameEdit->setText(FromLibraryText(m_strName));
        m_rootCheck->setChecked(m_bMakeRoot);
    }
}

void CImportDlgBase::UpdateOk()
{
    m_okButton->setEnabled(CanConfirm());
}

void CImportDlgBase::accept()
{
    // The default button answers Return even when disabled in some styles.
    if (!CanConfirm())
        return;
    DoDataExchange(true);
    QDialog::accept();
}

CImportFolderDlg::CImportFolderDlg(QWidget* parent)
    : CImportDlgBase(parent, 106, QString::fromUtf8("导入文件夹"))
    , m_folderEdit(NewEdit(this, "1001"))
    , m_browseButton(new QPushButton(QStringLiteral("..."), this))
{
    m_browseButton->setObjectName(QStringLiteral("1002"));
    m_browseButton->setAccessibleName(m_browseButton->text());
    m_browseButton->setAccessibleDescription(QString::fromUtf8("选择导入目录"));
    m_browseButton->setAutoDefault(false);
    m_browseButton->setFixedWidth(
        m_browseButton->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
    connect(m_browseButton, &QPushButton::clicked, this, &CImportFolderDlg::OnBrowse);
    BuildLayout(QString::fromUtf8("文件夹："), m_folderEdit, m_browseButton, QString::fromUtf8("名称："),
        "1005", QString::fromUtf8("确 定"), QString::fromUtf8("取 消"));
}

void CImportFolderDlg::DoDataExchange(bool save)
{
    CImportDlgBase::DoDataExchange(save);
    if (save)
        m_strSource = ToLibraryText(m_folderEdit->text());
    else
        m_folderEdit->setText(FromLibraryText(m_strSource));
}

void CImportFolderDlg::OnBrowse()
{
    CFolderBrowser browser(this, IDS_BROWSE_IMPORT_FOLDER, m_folderEdit->text());
    if (browser.Browse())
        m_folderEdit->setText(browser.GetSelectedPath());
}

CImportVolumeDlg::CImportVolumeDlg(
    QWidget* parent, int dialogId, const QString& title, const char* pickerId, bool opticalOnly)
    : CImportDlgBase(parent, dialogId, title)
    , m_picker(new CDriveComboBox(this))
    , m_opticalOnly(opticalOnly)
{
    m_picker->setObjectName(QLatin1String(pickerId));
    connect(m_picker, &QComboBox::currentIndexChanged, this, &CImportVolumeDlg::UpdateOk);
}

void CImportVolumeDlg::DoDataExchange(bool save)
{
    CImportDlgBase::DoDataExchange(save);
    if (save) {
        m_strSource = ToLibraryText(m_picker->GetSelectedDrive());
        return;
    }
    if (m_strSource.empty())
        return;
    // The stored drive stays selected even when its volume is not mounted
    // now (a CD not in the drive): otherwise confirming a new name would
    // silently move the category to whichever drive was preselected.
    const QString stored = FromLibraryText(m_strSource);
    if (!m_picker->SelectDrive(stored)) {
        VolumeInfo absent;
        absent.rootPath = stored;
        absent.emptyOpticalDrive = m_opticalOnly;
        absent.readable = false;
        m_picker->setCurrentIndex(m_picker->AddDrive(absent));
    }
}

bool CImportVolumeDlg::CanConfirm() const
{
    return m_picker->currentIndex() >= 0;
}

CImportCDDlg::CImportCDDlg(QWidget* parent)
    : CImportVolumeDlg(parent, 133, QString::fromUtf8("光盘导入"), "1006", true)
{
    BuildLayout(QString::fromUtf8("光盘选择："), m_picker, nullptr, QString::fromUtf8("光盘名称："), "1004",
        QString::fromUtf8("确定"), QString::fromUtf8("取消"));
}

void CImportCDDlg::OnInitDialog()
{
    m_picker->AttachCDDrives();
}

CImportDriveDlg::CImportDriveDlg(QWidget* parent)
    : CImportVolumeDlg(parent, 134, QString::fromUtf8("导入驱动器"), "1001", false)
{
    BuildLayout(QString::fromUtf8("选择驱动器："), m_picker, nullptr, QString::fromUtf8("名称："), "1005",
        QString::fromUtf8("确 定"), QString::fromUtf8("取 消"));
}

void CImportDriveDlg::OnInitDialog()
{
    m_picker->AttachAllDrives();
}

int EditImportedCategory(CPathCategory& category, QWidget* parent)
{
    std::unique_ptr<CImportDlgBase> dialog;
    switch (category.GetClassId()) {
    case ClassId::CDRomCategory:
        dialog = std::make_unique<CImportCDDlg>(parent);
        break;
    case ClassId::DriverCategory:
        dialog = std::make_unique<CImportDriveDlg>(parent);
        break;
    case ClassId::RootFolderCategory:
        dialog = std::make_unique<CImportFolderDlg>(parent);
        break;
    default:
        return -1;
    }
    dialog->m_bEditMode = true;
    dialog->m_pEditCategory = &category;
    const int result = dialog->DoModal();
    if (result == 1) {
        category.m_strName = dialog->m_strName;
        if (category.m_strPath.view() != dialog->m_strSource) {
            category.m_strPath = dialog->m_strSource;
            // The category now stands for another place: its volume record
            // follows, or goes when that place's volume is unknown.
            category.SetVolume(IdentifyVolumeAt(MountSource(), GbToDisk(category.m_strPath.view())));
        }
    }
    return result;
}

} // namespace tessary
