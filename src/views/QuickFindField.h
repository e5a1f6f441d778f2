#pragma once

#include <QLineEdit>

#include <functional>
#include <memory>
#include <vector>

class QTimer;

namespace tessary {

class CItem;
class CQuickFinder;
class CTessaryDoc;

// The quick find field at the top of the output bar: every change of its
// text looks for the data items of the whole library whose names hold what
// was typed (the syntax of CQuickQuery, told in its tooltip), and hands the
// rows of the newest lookup to the bar.
//
// Typing never waits: lookups run on the finder's worker thread, or, until
// its index of the library is ready, as a plain scan in slices of a few
// milliseconds between the window's events. The field keeps the index up to
// date when the library changes (LibraryChanged, and a check every half
// second while the index is not ready).
//
// Keys: Down moves to the rows (the bar's; see SetMoveDown), Escape empties
// the field.
class CQuickFindField : public QLineEdit {
    Q_OBJECT
public:
    explicit CQuickFindField(QWidget* parent = nullptr);
    ~CQuickFindField() override;

    // The library to look in (not owned; null: none).
    void SetDocument(CTessaryDoc* doc);
    // `found(rows)` receives the rows of each lookup (live data items,
    // library order); `emptied()` is called when the field holds nothing to look for
    // any more; `busy()` when a lookup did not finish at once.
    void SetHandlers(std::function<void(std::vector<CItem*>)> found, std::function<void()> emptied,
        std::function<void()> busy);
    // Down was pressed: the rows take the focus.
    void SetMoveDown(std::function<void()> moveDown) { m_moveDown = std::move(moveDown); }

    // Empties the field and forgets the lookup, telling no one (the bar
    // shows other rows).
    void Reset();
    // The library may have changed: the index is brought up to date soon.
    void LibraryChanged();
    // The finder (null without a library), for tests and figures.
    CQuickFinder* Finder() const { return m_finder.get(); }

    // How long one slice of the finder's work on the window's thread lasts.
    static constexpr int kSliceMs = 5;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnTextChanged(const QString& text);
    // Does a slice of the finder's work and hands out a finished result.
    void Pump();

    std::unique_ptr<CQuickFinder> m_finder;
    QTimer* m_pump; // another slice at once, after the events waiting
    QTimer* m_check; // a look at the library while the index is not ready
    std::function<void(std::vector<CItem*>)> m_found;
    std::function<void()> m_emptied, m_busy, m_moveDown;
    bool m_resetting = false;
};

} // namespace tessary
