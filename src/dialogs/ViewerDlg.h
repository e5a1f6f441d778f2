#pragma once

#include <QDialog>
#include <QRect>
#include <QString>

class QSettings;

namespace tessary {

// Where a viewer window stands: keys "Left", "Top", "right", "bottom" of its
// profile section, holding the edges of the outer window rectangle (frame
// included) in screen coordinates (not a width and height).
inline constexpr QRect kDefaultViewerRect(QPoint(120, 60), QPoint(599, 419)); // 480 x 360

// Reads the rectangle of `section`; the default when the profile is null,
// holds no usable rectangle, or one that no screen shows any more.
QRect ReadViewerRect(QSettings* profile, const QString& section);
// Writes `rect` to `section` (nothing when the profile is null).
void WriteViewerRect(QSettings* profile, const QString& section, const QRect& rect);

// A resizable modal window that shows one control over its whole client
// area and keeps its rectangle in its own profile section: it opens where it
// was last closed and writes its rectangle back when it closes, however it
// is closed. Minimised or maximised states are not kept.
class CViewerDlg : public QDialog {
    Q_OBJECT
public:
    // `profile` is not owned and may be null.
    CViewerDlg(const QString& section, QSettings* profile, QWidget* parent);

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    // Puts `control` over the whole client area (the dialog owns it).
    void SetControl(QWidget* control);

private:
    QString m_section;
    QSettings* m_profile;
    QRect m_outer; // where the window, frame included, opens
    bool m_placed = false;
};

} // namespace tessary
