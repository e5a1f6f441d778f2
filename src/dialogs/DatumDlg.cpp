#include "DatumDlg.h"

#include "DialogButtons.h"

#include "Datum.h"
#include "DialogHooks.h"
#include "DisplayText.h"
#include "TextCodec.h"

#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace tessary {

CDatumDlg::CDatumDlg(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("131"));
    setWindowTitle(QString::fromUtf8("资料"));

    auto* locationLabel = new QLabel(QString::fromUtf8("位置："), this);
    m_location = new QLineEdit(this);
    m_location->setObjectName(QStringLiteral("1001"));
    m_location->setAccessibleName(QString::fromUtf8("位置"));
    locationLabel->setBuddy(m_location);
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    browse->setObjectName(QStringLiteral("1002"));
    browse->setAccessibleName(QString::fromUtf8("选择文件"));
    browse->setAutoDefault(false);
    browse->setFixedWidth(36);

    auto* remarkLabel = new QLabel(QString::fromUtf8("备注："), this);
    m_remark = new QPlainTextEdit(this);
    m_remark->setObjectName(QStringLiteral("1003"));
    m_remark->setAccessibleName(QString::fromUtf8("备注"));
    m_remark->setTabChangesFocus(true);
    m_remark->setLineWrapMode(QPlainTextEdit::NoWrap);
    remarkLabel->setBuddy(m_remark);

    const DialogButtons buttons
        = MakeDialogButtons(this, QString::fromUtf8("确定"), QString::fromUtf8("取消"));

    auto* grid = new QGridLayout;
    grid->addWidget(locationLabel, 0, 0);
    grid->addWidget(m_location, 0, 1);
    grid->addWidget(browse, 0, 2);
    grid->addWidget(remarkLabel, 1, 0, Qt::AlignTop);
    grid->addWidget(m_remark, 1, 1);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(CentredButtonRow(buttons));
    resize(420, 240);

    connect(browse, &QPushButton::clicked, this, &CDatumDlg::OnBrowse);
}

void CDatumDlg::InitDialog()
{
    m_initialised = true;
    if (m_bEditMode && m_pItem) {
        m_strLocation = m_pItem->GetPath();
        m_strRemark = m_pItem->m_strRemark.str();
    }
    DoDataExchange(false);
    m_location->setFocus();
}

void CDatumDlg::DoDataExchange(bool save)
{
    if (save) {
        m_strLocation = ToLibraryText(m_location->text());
        m_strRemark = FieldToRemark(m_remark->toPlainText(), m_strRemark);
    } else {
        m_location->setText(FromLibraryText(m_strLocation));
        m_remark->setPlainText(RemarkToField(m_strRemark));
    }
}

void CDatumDlg::showEvent(QShowEvent* event)
{
    if (!m_initialised)
        InitDialog();
    QDialog::showEvent(event);
}

void CDatumDlg::accept()
{
    if (!m_initialised)
        InitDialog();
    DoDataExchange(true);
    QDialog::accept();
}

void CDatumDlg::OnBrowse()
{
    const QString path = ChooseAnyFile(this);
    if (path.isEmpty())
        return;
    // The path as its bytes on disk, so that a name that is not UTF-8 keeps
    // leading to the same file.
    m_location->setText(FromLibraryText(DiskToGb(QFile::encodeName(path).toStdString())));
}

int RunDatumEditDialog(CCustomDatum& datum, QWidget* parent)
{
    CDatumDlg dlg(parent);
    dlg.m_bEditMode = true;
    dlg.m_pItem = &datum;
    if (dlg.exec() != QDialog::Accepted)
        return 2;
    datum.SetFromPath(dlg.m_strLocation);
    datum.m_strRemark = dlg.m_strRemark;
    return 1;
}

} // namespace tessary
