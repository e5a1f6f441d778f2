#include "PropertiesDlg.h"

#include "DialogButtons.h"

#include "DisplayText.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace tessary {
namespace {

// A value that can be read and selected but not changed, shown without a
// frame like a label.
QLineEdit* ReadOnlyField(const char* id, const char* name, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(id));
    field->setAccessibleName(QString::fromUtf8(name));
    field->setReadOnly(true);
    field->setFrame(false);
    field->setFocusPolicy(Qt::TabFocus);
    return field;
}

} // namespace

CPropertiesDlg::CPropertiesDlg(CItem& entry, QWidget* parent)
    : QDialog(parent)
    , m_pEntry(&entry)
{
    setObjectName(QStringLiteral("102"));
    setWindowTitle(QString::fromUtf8("属性"));

    m_name = ReadOnlyField("1004", "名称", this);
    m_size = ReadOnlyField("1006", "大小", this);
    m_path = ReadOnlyField("1008", "路径", this);
    m_remark = new QPlainTextEdit(this);
    m_remark->setObjectName(QStringLiteral("1000"));
    m_remark->setAccessibleName(QString::fromUtf8("备注"));
    m_remark->setTabChangesFocus(true);

    auto* grid = new QGridLayout;
    const struct {
        const char* text;
        QWidget* field;
    } rows[] = { { "名称", m_name }, { "大小", m_size }, { "路径", m_path }, { "备注", m_remark } };
    int row = 0;
    for (const auto& r : rows) {
        auto* label = new QLabel(QString::fromUtf8(r.text), this);
        label->setBuddy(r.field);
        grid->addWidget(label, row, 0, r.field == m_remark ? Qt::AlignTop : Qt::Alignment());
        if (r.field == m_size) {
            auto* sizeRow = new QHBoxLayout;
            sizeRow->addWidget(m_size, 1);
            sizeRow->addWidget(new QLabel(QStringLiteral("Byte"), this));
            grid->addLayout(sizeRow, row, 1);
        } else {
            grid->addWidget(r.field, row, 1);
        }
        ++row;
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(3, 1);

    const DialogButtons buttons
        = MakeDialogButtons(this, QString::fromUtf8("确定"), QString::fromUtf8("取消"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(CentredButtonRow(buttons));
    resize(380, 360);
}

void CPropertiesDlg::InitDialog()
{
    m_initialised = true;
    m_strPath = m_pEntry->GetPath();
    m_strName = m_pEntry->m_strName.str();
    m_dwSize = m_pEntry->GetSize();
    m_strRemark = m_pEntry->m_strRemark.str();
    DoDataExchange(false);
    m_remark->setFocus();
}

void CPropertiesDlg::DoDataExchange(bool save)
{
    if (save) {
        // Name, size and path cannot be edited: only the remark comes back.
        m_strRemark = FieldToRemark(m_remark->toPlainText(), m_strRemark);
        return;
    }
    m_name->setText(FromLibraryText(m_strName));
    m_size->setText(QString::number(m_dwSize));
    m_path->setText(FromLibraryText(m_strPath));
    m_remark->setPlainText(RemarkToField(m_strRemark));
    for (QLineEdit* field : { m_name, m_size, m_path })
        field->setCursorPosition(0);
}

void CPropertiesDlg::showEvent(QShowEvent* event)
{
    if (!m_initialised)
        InitDialog();
    QDialog::showEvent(event);
}

void CPropertiesDlg::accept()
{
    if (!m_initialised)
        InitDialog();
    DoDataExchange(true);
    m_pEntry->m_strRemark = m_strRemark;
    QDialog::accept();
}

} // namespace tessary
