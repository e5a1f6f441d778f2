#include "SearchDlg.h"

#include "DialogButtons.h"

#include "DialogHooks.h"
#include "DisplayText.h"
#include "SearchCriteria.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QDateTime>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include <limits>
#include <optional>

namespace tessary {
namespace {

// The dates a 32-bit time can hold, in any time zone.
const QDate kFirstDate(1901, 12, 15);
const QDate kLastDate(2038, 1, 18);

QFrame* Cell(QWidget* parent)
{
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    auto* layout = new QHBoxLayout(frame);
    layout->setContentsMargins(6, 3, 6, 3);
    return frame;
}

QLabel* AddLabel(QFrame* cell, const char* text)
{
    auto* label = new QLabel(QString::fromUtf8(text), cell);
    cell->layout()->addWidget(label);
    return label;
}

// The label's text without its closing colon, as a control's accessible name.
QString NameOf(const char* labelText)
{
    QString name = QString::fromUtf8(labelText);
    if (name.endsWith(QChar(0xFF1A)))
        name.chop(1);
    return name;
}

QLineEdit* AddEdit(QFrame* cell, QLabel* label, int id)
{
    auto* edit = new QLineEdit(cell);
    edit->setObjectName(QString::number(id));
    edit->setAccessibleName(NameOf(label->text().toUtf8().constData()));
    label->setBuddy(edit);
    cell->layout()->addWidget(edit);
    return edit;
}

QCheckBox* AddCheck(QFrame* cell, const char* text, int id, const QString& context)
{
    auto* box = new QCheckBox(QString::fromUtf8(text), cell);
    box->setObjectName(QString::number(id));
    // Four boxes share each text: the field they belong to tells them apart.
    box->setAccessibleName(context + QLatin1Char(' ') + QString::fromUtf8(text));
    cell->layout()->addWidget(box);
    return box;
}

// A date field whose drop-down calendar opens below it aligned to its right
// edge (Qt aligns it to the left edge).
class CDateField : public QDateEdit {
public:
    explicit CDateField(QWidget* parent)
        : QDateEdit(parent)
    {
        setCalendarPopup(true);
        calendarWidget()->window()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched == calendarWidget()->window()) {
            QWidget* popup = calendarWidget()->window();
            const QPoint below = mapToGlobal(rect().bottomRight());
            popup->move(below.x() - popup->width() + 1, popup->y());
        }
        return QDateEdit::eventFilter(watched, event);
    }
};

QDateEdit* AddDate(QFrame* cell, QLabel* label, int id)
{
    auto* edit = new CDateField(cell);
    edit->setObjectName(QString::number(id));
    edit->setAccessibleName(NameOf(label->text().toUtf8().constData()));
    edit->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    edit->setDateRange(kFirstDate, kLastDate);
    label->setBuddy(edit);
    cell->layout()->addWidget(edit);
    return edit;
}

} // namespace

CSearchDlg::CSearchDlg(CSearchCriteria& criteria, QWidget* parent)
    : QDialog(parent)
    , m_pCriteria(&criteria)
{
    setObjectName(QStringLiteral("132"));
    setWindowTitle(QString::fromUtf8("文件搜索"));
    auto* layout = new QVBoxLayout(this);

    // The four keyword rows, each in a frame of its own.
    struct KeywordRow {
        const char* label;
        int editId, caseId;
        QLineEdit** edit;
        QCheckBox** caseBox;
    };
    const KeywordRow keywordRows[] = {
        { "名称关键字：", 1003, 1016, &m_nameEdit, &m_nameCase },
        { "扩展名关键字：", 1019, 1020, &m_extensionEdit, &m_extensionCase },
        { "备注关键字：", 1017, 1018, &m_remarkEdit, &m_remarkCase },
        { "内容关键字：", 1021, 1022, &m_contentEdit, &m_contentCase },
    };
    QList<QLabel*> keywordLabels;
    for (const KeywordRow& row : keywordRows) {
        QFrame* cell = Cell(this);
        QLabel* label = AddLabel(cell, row.label);
        keywordLabels.append(label);
        *row.edit = AddEdit(cell, label, row.editId);
        *row.caseBox = AddCheck(cell, "区分大小写", row.caseId, NameOf(row.label));
        layout->addWidget(cell);
    }
    // The labels line up, so the fields start at one edge.
    int labelWidth = 0;
    for (QLabel* label : keywordLabels)
        labelWidth = std::max(labelWidth, label->sizeHint().width());
    for (QLabel* label : keywordLabels)
        label->setMinimumWidth(labelWidth);

    // The four bounds, two cells per row.
    auto boundsRow = [&](auto&& fill) {
        auto* row = new QHBoxLayout;
        fill(row);
        layout->addLayout(row);
    };
    boundsRow([&](QHBoxLayout* row) {
        QFrame* lower = Cell(this);
        QLabel* lowerLabel = AddLabel(lower, "文件大于：");
        m_sizeLowerEdit = AddEdit(lower, lowerLabel, 1026);
        m_sizeLowerActive = AddCheck(lower, "有效", 1024, NameOf("文件大于："));
        QFrame* upper = Cell(this);
        QLabel* upperLabel = AddLabel(upper, "文件小于：");
        m_sizeUpperEdit = AddEdit(upper, upperLabel, 1027);
        m_sizeUpperActive = AddCheck(upper, "有效", 1029, NameOf("文件小于："));
        row->addWidget(lower);
        row->addWidget(upper);
    });
    boundsRow([&](QHBoxLayout* row) {
        QFrame* lower = Cell(this);
        QLabel* lowerLabel = AddLabel(lower, "时间大于：");
        m_timeLowerEdit = AddDate(lower, lowerLabel, 1028);
        m_timeLowerActive = AddCheck(lower, "有效", 1031, NameOf("时间大于："));
        QFrame* upper = Cell(this);
        QLabel* upperLabel = AddLabel(upper, "时间小于：");
        m_timeUpperEdit = AddDate(upper, upperLabel, 1030);
        m_timeUpperActive = AddCheck(upper, "有效", 1025, NameOf("时间小于："));
        row->addWidget(lower);
        row->addWidget(upper);
    });

    m_or = new QCheckBox(QString::fromUtf8("或关系"), this);
    m_or->setObjectName(QStringLiteral("1033"));
    const auto [start, cancel]
        = MakeDialogButtons(this, QString::fromUtf8("开始"), QString::fromUtf8("取消"));
    auto* bottom = new QHBoxLayout;
    bottom->addSpacing(16);
    bottom->addWidget(m_or);
    bottom->addStretch();
    bottom->addWidget(start);
    bottom->addWidget(cancel);
    layout->addLayout(bottom);

    // The order of the template: rows top to bottom, each left to right.
    QWidget* const tabOrder[] = { m_nameEdit, m_nameCase, m_extensionEdit, m_extensionCase, m_remarkEdit,
        m_remarkCase, m_contentEdit, m_contentCase, m_sizeLowerEdit, m_sizeLowerActive, m_sizeUpperEdit,
        m_sizeUpperActive, m_timeLowerEdit, m_timeLowerActive, m_timeUpperEdit, m_timeUpperActive, m_or,
        start, cancel };
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void CSearchDlg::InitDialog()
{
    m_initialised = true;
    m_work = *m_pCriteria;
    DoDataExchange(false);
    m_nameEdit->setFocus();
}

bool CSearchDlg::DoDataExchange(bool save)
{
    auto check = [save](QCheckBox* box, bool& value) {
        if (save)
            value = box->isChecked();
        else
            box->setChecked(value);
    };
    auto text = [save](QLineEdit* edit, CText& value) {
        if (save)
            value = ToLibraryText(edit->text());
        else
            edit->setText(FromLibraryText(value.view()));
    };
    auto number = [this, save](QLineEdit* edit, Size32& value) {
        if (!save) {
            edit->setText(QString::number(value));
            return true;
        }
        const std::optional<Size32> parsed = ParseUnsigned32(edit->text());
        if (!parsed) {
            ShowFieldWarning(this, QString::fromUtf8("请输入一个无符号整数。"));
            edit->setFocus();
            edit->selectAll();
            return false;
        }
        value = *parsed;
        return true;
    };
    // The picker shows the date; the time of day stays what it was.
    auto date = [save](QDateEdit* edit, Time32& value) {
        const QDateTime current = QDateTime::fromSecsSinceEpoch(value);
        if (!save) {
            edit->setDate(std::clamp(current.date(), kFirstDate, kLastDate));
            return;
        }
        const qint64 secs = QDateTime(edit->date(), current.time()).toSecsSinceEpoch();
        value = static_cast<Time32>(
            std::clamp<qint64>(secs, std::numeric_limits<Time32>::min(), std::numeric_limits<Time32>::max()));
    };

    CSearchCriteria& w = m_work;
    check(m_or, w.m_bOr);
    if (!number(m_sizeLowerEdit, w.m_dwSizeLower))
        return false;
    check(m_sizeLowerActive, w.m_bSizeLower);
    date(m_timeLowerEdit, w.m_timeLower);
    check(m_timeLowerActive, w.m_bTimeLower);
    if (!number(m_sizeUpperEdit, w.m_dwSizeUpper))
        return false;
    check(m_sizeUpperActive, w.m_bSizeUpper);
    date(m_timeUpperEdit, w.m_timeUpper);
    check(m_timeUpperActive, w.m_bTimeUpper);
    text(m_extensionEdit, w.m_strExtension);
    check(m_extensionCase, w.m_bExtensionCase);
    check(m_remarkCase, w.m_bRemarkCase);
    text(m_nameEdit, w.m_strName);
    text(m_remarkEdit, w.m_strRemark);
    check(m_nameCase, w.m_bNameCase);
    text(m_contentEdit, w.m_strContent);
    check(m_contentCase, w.m_bContentCase);
    return true;
}

void CSearchDlg::showEvent(QShowEvent* event)
{
    if (!m_initialised)
        InitDialog();
    QDialog::showEvent(event);
}

void CSearchDlg::accept()
{
    if (!m_initialised)
        InitDialog();
    if (!DoDataExchange(true))
        return;
    // Only now, with every field read: a refused field leaves the whole
    // record as it was.
    m_work.m_bConfirmed = 1;
    *m_pCriteria = m_work;
    QDialog::accept();
}

void CSearchDlg::reject()
{
    m_pCriteria->m_bConfirmed = 0;
    QDialog::reject();
}

} // namespace tessary
