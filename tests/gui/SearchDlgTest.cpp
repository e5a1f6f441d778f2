#include "GuiTestSupport.h"

#include "DialogHooks.h"
#include "SearchCriteria.h"
#include "SearchDlg.h"

#include <QAbstractButton>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QDateTime>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>

using namespace tessary;

namespace {

std::string Gb(const char* utf8)
{
    return Utf8ToGb(utf8);
}

Time32 LocalTime(QDate date, QTime time)
{
    return static_cast<Time32>(QDateTime(date, time).toSecsSinceEpoch());
}

template <class T> T* Control(QWidget& dlg, int id)
{
    auto* w = dlg.findChild<T*>(QString::number(id));
    if (!w)
        qFatal("no control %d", id);
    return w;
}

// Runs the dialog modally while `interact` plays the user.
int RunModal(CSearchDlg& dlg, std::function<void()> interact)
{
    QTimer::singleShot(0, &dlg, [&dlg, interact] {
        interact();
        if (dlg.isVisible())
            dlg.reject(); // whatever the test left open
    });
    return dlg.exec();
}

} // namespace

class SearchDlgTest : public QObject {
    Q_OBJECT
private:
    QStringList m_warnings;

    void Click(QWidget& dlg, int id) { QTest::mouseClick(Control<QPushButton>(dlg, id), Qt::LeftButton); }

private Q_SLOTS:
    void init()
    {
        m_warnings.clear();
        GetDialogHooks().showWarning = [this](QWidget*, const QString& text) { m_warnings.append(text); };
    }
    void cleanup() { GetDialogHooks() = DialogHooks(); }

    void OpensWithTheRecordAndStartCopiesEverythingBack()
    {
        CSearchCriteria c;
        c.m_strName = Gb("报告");
        c.m_bNameCase = true;
        c.m_strExtension = "doc";
        c.m_strRemark = Gb("备注");
        c.m_bRemarkCase = true;
        c.m_strContent = "Needle";
        c.m_dwSizeLower = 100;
        c.m_bSizeLower = true;
        c.m_dwSizeUpper = 4294967295u;
        c.m_timeLower = LocalTime(QDate(2020, 5, 17), QTime(13, 45, 10));
        c.m_bTimeLower = true;
        c.m_timeUpper = LocalTime(QDate(2021, 1, 2), QTime(8, 0, 0));
        c.m_bOr = true;

        CSearchDlg dlg(c);
        dlg.show();
        QCOMPARE(Control<QLineEdit>(dlg, 1003)->text(), QString::fromUtf8("报告"));
        QCOMPARE(Control<QLineEdit>(dlg, 1019)->text(), QStringLiteral("doc"));
        QCOMPARE(Control<QLineEdit>(dlg, 1017)->text(), QString::fromUtf8("备注"));
        QCOMPARE(Control<QLineEdit>(dlg, 1021)->text(), QStringLiteral("Needle"));
        QCOMPARE(Control<QLineEdit>(dlg, 1026)->text(), QStringLiteral("100"));
        QCOMPARE(Control<QLineEdit>(dlg, 1027)->text(), QStringLiteral("4294967295"));
        QCOMPARE(Control<QDateEdit>(dlg, 1028)->date(), QDate(2020, 5, 17));
        QCOMPARE(Control<QDateEdit>(dlg, 1030)->date(), QDate(2021, 1, 2));
        QVERIFY(Control<QDateEdit>(dlg, 1028)->calendarPopup());
        const QList<std::pair<int, bool>> boxes
            = { { 1016, true }, { 1020, false }, { 1018, true }, { 1022, false }, { 1024, true },
                  { 1029, false }, { 1031, true }, { 1025, false }, { 1033, true } };
        for (const auto& [id, checked] : boxes)
            QVERIFY2(Control<QCheckBox>(dlg, id)->isChecked() == checked, qPrintable(QString::number(id)));
        QCOMPARE(dlg.focusWidget(), Control<QLineEdit>(dlg, 1003));

        // Keywords go back exactly as typed; the date keeps its time of day.
        Control<QLineEdit>(dlg, 1003)->setText(QString::fromUtf8("  Qt 界面 "));
        Control<QLineEdit>(dlg, 1027)->setText(QStringLiteral(" 42 "));
        Control<QCheckBox>(dlg, 1029)->setChecked(true);
        Control<QCheckBox>(dlg, 1016)->setChecked(false);
        Control<QCheckBox>(dlg, 1033)->setChecked(false);
        Control<QDateEdit>(dlg, 1028)->setDate(QDate(2019, 12, 31));
        Click(dlg, 1);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(c.m_bConfirmed, 1);
        QCOMPARE(c.m_strName.str(), Gb("  Qt 界面 "));
        QVERIFY(!c.m_bNameCase);
        QCOMPARE(c.m_dwSizeUpper, 42u);
        QVERIFY(c.m_bSizeUpper);
        QVERIFY(!c.m_bOr);
        QCOMPARE(c.m_timeLower, LocalTime(QDate(2019, 12, 31), QTime(13, 45, 10)));
        QCOMPARE(c.m_timeUpper, LocalTime(QDate(2021, 1, 2), QTime(8, 0, 0)));
        QCOMPARE(c.m_strRemark.str(), Gb("备注"));
        QVERIFY(m_warnings.isEmpty());
    }

    void SizeThatIsNoNumberKeepsTheDialogOpenAndTheRecordUntouched_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("letters") << 1026 << QStringLiteral("12abc");
        QTest::newRow("empty") << 1026 << QString();
        QTest::newRow("negative") << 1026 << QStringLiteral("-1");
        QTest::newRow("fraction") << 1027 << QStringLiteral("1.5");
        QTest::newRow("too large") << 1027 << QStringLiteral("4294967296");
        QTest::newRow("hexadecimal") << 1027 << QStringLiteral("0x10");
        QTest::newRow("wide digits") << 1026 << QString::fromUtf8("１２");
        // Both bad: the first one exchanged (1026 before 1027) is the one.
        QTest::newRow("both") << 0 << QStringLiteral("x");
    }
    void SizeThatIsNoNumberKeepsTheDialogOpenAndTheRecordUntouched()
    {
        QFETCH(int, field);
        QFETCH(QString, text);
        CSearchCriteria c;
        c.m_strName = "before";
        c.m_dwSizeLower = 7;
        c.m_dwSizeUpper = 9;
        CSearchDlg dlg(c);
        dlg.show();
        Control<QLineEdit>(dlg, 1003)->setText(QStringLiteral("after"));
        Control<QCheckBox>(dlg, 1033)->setChecked(true);
        for (int id : { 1026, 1027 })
            if (field == 0 || field == id)
                Control<QLineEdit>(dlg, id)->setText(text);
        Click(dlg, 1);
        QVERIFY(dlg.isVisible());
        QCOMPARE(m_warnings.size(), 1);
        QCOMPARE(dlg.focusWidget(), Control<QLineEdit>(dlg, field == 0 ? 1026 : field));
        QCOMPARE(c.m_strName.str(), std::string("before"));
        QVERIFY(!c.m_bOr);
        QCOMPARE(c.m_dwSizeLower, 7u);
        QCOMPARE(c.m_dwSizeUpper, 9u);
        QCOMPARE(c.m_bConfirmed, 0);

        Click(dlg, 2);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(c.m_bConfirmed, 0);
        QCOMPARE(c.m_strName.str(), std::string("before"));
    }

    void DateCalendarsOpenAlignedToTheFieldsRightEdge()
    {
        CSearchCriteria c;
        CSearchDlg dlg(c);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        for (int id : { 1028, 1030 }) {
            auto* field = Control<QDateEdit>(dlg, id);
            QTest::mouseClick(
                field, Qt::LeftButton, Qt::NoModifier, QPoint(field->width() - 4, field->height() / 2));
            QWidget* popup = field->calendarWidget()->window();
            QTRY_VERIFY(popup->isVisible());
            QCOMPARE(popup->geometry().right(), field->mapToGlobal(field->rect().bottomRight()).x());
            popup->hide();
        }
    }

    void SizesAreUnsignedDecimalNumbers()
    {
        CSearchCriteria c;
        for (const char* text : { "0", " 7 ", "4294967295" }) {
            CSearchDlg dlg(c);
            dlg.show();
            Control<QLineEdit>(dlg, 1026)->setText(QString::fromLatin1(text));
            Click(dlg, 1);
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            QCOMPARE(c.m_dwSizeLower, QString::fromLatin1(text).trimmed().toUInt());
        }
        QVERIFY(m_warnings.isEmpty());
    }

    void CriteriaPersistAcrossRunsAndCancelKeepsThem()
    {
        CSearchCriteria c;
        {
            CSearchDlg dlg(c);
            const int result = RunModal(dlg, [&] {
                Control<QLineEdit>(dlg, 1003)->setText(QStringLiteral("first"));
                Control<QLineEdit>(dlg, 1026)->setText(QStringLiteral("5"));
                Control<QCheckBox>(dlg, 1033)->setChecked(true);
                Click(dlg, 1);
            });
            QCOMPARE(result, int(QDialog::Accepted));
            QCOMPARE(c.m_bConfirmed, 1);
        }
        {
            CSearchDlg dlg(c);
            const int result = RunModal(dlg, [&] {
                QCOMPARE(Control<QLineEdit>(dlg, 1003)->text(), QStringLiteral("first"));
                QCOMPARE(Control<QLineEdit>(dlg, 1026)->text(), QStringLiteral("5"));
                QVERIFY(Control<QCheckBox>(dlg, 1033)->isChecked());
                // An inactive bound stays editable and keeps its value.
                QVERIFY(!Control<QCheckBox>(dlg, 1024)->isChecked());
                QVERIFY(Control<QLineEdit>(dlg, 1026)->isEnabled());
                Control<QLineEdit>(dlg, 1003)->setText(QStringLiteral("second"));
                QTest::keyClick(&dlg, Qt::Key_Escape);
            });
            QCOMPARE(result, int(QDialog::Rejected));
        }
        QCOMPARE(c.m_bConfirmed, 0);
        QCOMPARE(c.m_strName.str(), std::string("first"));
        CSearchDlg third(c);
        third.show();
        QCOMPARE(Control<QLineEdit>(third, 1003)->text(), QStringLiteral("first"));
    }

    void NothingSetStillStarts()
    {
        CSearchCriteria c;
        CSearchDlg dlg(c);
        dlg.show();
        Click(dlg, 1);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(c.m_bConfirmed, 1);
    }

    void ControlsFollowTheTemplateAndAreNamed()
    {
        CSearchCriteria c;
        CSearchDlg dlg(c);
        QCOMPARE(dlg.windowTitle(), QString::fromUtf8("文件搜索"));
        QCOMPARE(Control<QPushButton>(dlg, 1)->text(), QString::fromUtf8("开始"));
        QVERIFY(Control<QPushButton>(dlg, 1)->isDefault());
        QCOMPARE(Control<QPushButton>(dlg, 2)->text(), QString::fromUtf8("取消"));
        QCOMPARE(Control<QCheckBox>(dlg, 1033)->text(), QString::fromUtf8("或关系"));

        // Tab order: the template's rows, top to bottom.
        const QList<int> expected = { 1003, 1016, 1019, 1020, 1017, 1018, 1021, 1022, 1026, 1024, 1027, 1029,
            1028, 1031, 1030, 1025, 1033, 1, 2 };
        QList<int> order;
        QWidget* w = Control<QLineEdit>(dlg, 1003);
        while (order.size() < expected.size()) {
            bool numbered = false;
            const int id = w->objectName().toInt(&numbered);
            if (numbered && (w->focusPolicy() & Qt::TabFocus))
                order.append(id);
            w = w->nextInFocusChain();
        }
        QCOMPARE(order, expected);

        // Every control has a name of its own for assistive technology.
        QSet<QString> names;
        for (int id : expected) {
            auto* control = Control<QWidget>(dlg, id);
            const QString name = control->accessibleName().isEmpty()
                ? qobject_cast<QAbstractButton*>(control)->text()
                : control->accessibleName();
            QVERIFY2(!name.isEmpty(), qPrintable(QString::number(id)));
            names.insert(name);
        }
        QCOMPARE(names.size(), expected.size());
        QCOMPARE(Control<QLineEdit>(dlg, 1021)->accessibleName(), QString::fromUtf8("内容关键字"));
    }
};

TESSARY_GUI_TEST_MAIN(SearchDlgTest)
#include "SearchDlgTest.moc"
