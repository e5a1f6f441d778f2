#pragma once

#include <QApplication>

namespace tessary {

// Shows the wait cursor for the lifetime of the object, also when the scope
// is left by an exception.
class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

} // namespace tessary
