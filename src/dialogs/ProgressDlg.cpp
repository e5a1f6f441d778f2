#include "ProgressDlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessary {
namespace {

constexpr int kItemWidth = 440;

} // namespace

CProgressDlg::CProgressDlg(QWidget* parent, const QString& title, const QString& objectName,
    const QString& countName, const QString& itemName, int maximum, std::function<void()> onCancel)
    : QDialog(parent)
    , m_count(new QLabel(this))
    , m_item(new QLabel(this))
    , m_bar(new QProgressBar(this))
    , m_cancelButton(new QPushButton(QString::fromUtf8("取消"), this))
    , m_onCancel(std::move(onCancel))
{
    setObjectName(objectName);
    setWindowTitle(title);
    setAccessibleName(title);
    setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    m_count->setObjectName(countName);
    m_item->setObjectName(itemName);
    m_item->setFixedWidth(kItemWidth);
    m_item->setTextFormat(Qt::PlainText);
    m_bar->setRange(0, maximum);
    m_bar->setTextVisible(maximum > 0);
    m_bar->setAccessibleName(title);
    m_cancelButton->setObjectName(QStringLiteral("2"));
    m_cancelButton->setAccessibleName(m_cancelButton->text());
    m_cancelButton->setDefault(true);
    connect(m_cancelButton, &QPushButton::clicked, this, &CProgressDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_count);
    layout->addWidget(m_item);
    layout->addWidget(m_bar);
    layout->addWidget(m_cancelButton, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CProgressDlg::SetCount(const QString& text)
{
    m_count->setText(text);
}

void CProgressDlg::SetValue(int value)
{
    m_bar->setValue(value);
}

void CProgressDlg::SetItem(const QString& item)
{
    if (m_cancelled || item.isEmpty())
        return;
    const QString text = QString::fromUtf8("正在读取：") + item;
    // Some room to spare: glyphs of fallback fonts may be drawn a little
    // wider than measured.
    m_item->setText(m_item->fontMetrics().elidedText(text, Qt::ElideMiddle, kItemWidth - 24));
}

void CProgressDlg::reject()
{
    if (m_cancelled)
        return;
    m_cancelled = true;
    m_cancelButton->setEnabled(false);
    m_item->setText(QString::fromUtf8("正在取消……"));
    if (m_onCancel)
        m_onCancel();
}

} // namespace tessary
