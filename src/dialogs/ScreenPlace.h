#pragma once

class QRect;

namespace tessary {

// True when enough of `rect` (screen coordinates) lies on some screen for
// the user to reach the window there: a rectangle saved on a screen that is
// gone, or read from a damaged profile, would put a window out of reach.
bool IsReachableOnScreen(const QRect& rect);

} // namespace tessary
