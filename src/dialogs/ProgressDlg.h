#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tessary {

// The window of a long piece of work: a line with the figures so far, the
// item being read, a bar and Cancel. Modal over `parent`'s window (over the
// application without a parent). The work goes on elsewhere; the owner feeds
// the window.
//
// Cancel, Escape and the close button call `onCancel` once and show that the
// work is stopping; the window stays up until its owner closes it, so the
// windows behind it keep repainting.
class CProgressDlg : public QDialog {
    Q_OBJECT
public:
    // `maximum` 0 shows a busy bar. The object names let tests find the window
    // and its two lines.
    CProgressDlg(QWidget* parent, const QString& title, const QString& objectName, const QString& countName,
        const QString& itemName, int maximum, std::function<void()> onCancel);

    void SetCount(const QString& text);
    void SetValue(int value);
    // Shows "正在读取：" and `item`, shortened in the middle to fit; nothing
    // once cancelled.
    void SetItem(const QString& item);
    bool Cancelled() const { return m_cancelled; }

    void reject() override;

private:
    QLabel* m_count;
    QLabel* m_item;
    QProgressBar* m_bar;
    QPushButton* m_cancelButton;
    std::function<void()> m_onCancel;
    bool m_cancelled = false;
};

} // namespace tessary
