#include "CopiesDlg.h"

#include "DialogButtons.h"
#include "DialogHooks.h"
#include "DisplayText.h"
#include "ResourceIds.h"
#include "Strings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <optional>

namespace tessary {

CCopiesDlg::CCopiesDlg(Kind kind, const QString& category, const CopiesChoice& choice, QWidget* parent)
    : QDialog(parent)
    , m_choice(choice)
    , m_minSize(new QLineEdit(this))
    , m_time(new QCheckBox(QString::fromUtf8("最后修改时间也须相同(&T)"), this))
{
    const bool duplicates = kind == Kind::Duplicates;
    setObjectName(QString::number(IDD_COPIES));
    setWindowTitle(LoadString(duplicates ? IDS_FIND_DUPLICATES_TITLE : IDS_FIND_UNIQUE_TITLE));
    setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);

    auto* scope = new QGroupBox(QString::fromUtf8("范围"), this);
    scope->setAccessibleName(scope->title());
    auto* scopeLayout = new QVBoxLayout(scope);
    if (duplicates) {
        m_category = new QRadioButton(category.isEmpty()
                ? QString::fromUtf8("选中的类别（没有选中类别）")
                : QString::fromUtf8("选中的类别“%1”及其下的全部内容").arg(category),
            scope);
        m_whole = new QRadioButton(QString::fromUtf8("整个文档库"), scope);
        m_category->setObjectName(QStringLiteral("1001"));
        m_whole->setObjectName(QStringLiteral("1002"));
        for (QRadioButton* r : { m_category, m_whole }) {
            r->setAccessibleName(r->text());
            scopeLayout->addWidget(r);
        }
        auto* group = new QButtonGroup(this);
        group->addButton(m_category);
        group->addButton(m_whole);
        m_category->setEnabled(!category.isEmpty());
        (category.isEmpty() || choice.wholeLibrary ? m_whole : m_category)->setChecked(true);
    } else {
        auto* where = new QLabel(
            QString::fromUtf8("选中的类别“%1”及其下的全部内容中，在文档库别处没有副本的文件").arg(category),
            scope);
        where->setObjectName(QStringLiteral("1001"));
        where->setWordWrap(true);
        where->setAccessibleName(where->text());
        scopeLayout->addWidget(where);
    }
    layout->addWidget(scope);

    auto* form = new QFormLayout;
    auto* sizeLabel = new QLabel(QString::fromUtf8("最小文件大小（字节）(&M)："), this);
    m_minSize->setObjectName(QStringLiteral("1003"));
    m_minSize->setAccessibleName(QString::fromUtf8("最小文件大小（字节）"));
    m_minSize->setText(QString::number(choice.minSize));
    sizeLabel->setBuddy(m_minSize);
    form->addRow(sizeLabel, m_minSize);
    layout->addLayout(form);

    m_time->setObjectName(QStringLiteral("1004"));
    m_time->setAccessibleName(QString::fromUtf8("最后修改时间也须相同"));
    m_time->setChecked(choice.compareTime);
    layout->addWidget(m_time);

    auto* note = new QLabel(QString::fromUtf8("文件名（含扩展名，区分大小写）和大小都相同的文件算作副本；"
                                              "两个文件都已提取内容时，内容也须相同。空文件不计。"),
        this);
    note->setObjectName(QStringLiteral("1005"));
    note->setWordWrap(true);
    note->setAccessibleName(note->text());
    layout->addWidget(note);

    const DialogButtons buttons
        = MakeDialogButtons(this, QString::fromUtf8("开始"), QString::fromUtf8("取消"));
    layout->addLayout(CentredButtonRow(buttons, 12));
    m_minSize->setFocus();
}

void CCopiesDlg::accept()
{
    const std::optional<Size32> size = ParseUnsigned32(m_minSize->text());
    if (!size) {
        ShowFieldWarning(this, LoadString(IDS_BAD_LEAST_SIZE));
        m_minSize->setFocus();
        m_minSize->selectAll();
        return;
    }
    m_choice.minSize = *size;
    m_choice.compareTime = m_time->isChecked();
    if (m_whole)
        m_choice.wholeLibrary = m_whole->isChecked();
    QDialog::accept();
}

} // namespace tessary
