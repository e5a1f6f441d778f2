#pragma once

#include <span>

namespace tessary {

// Menus, accelerators and the toolbar as plain tables; the shell turns them
// into QMenus, shortcuts and a QToolBar around one QAction per command id.

// One menu entry. id 0 is a separator. `key` is the shortcut text shown
// after the entry ("Ctrl+N"), or null.
struct MenuEntry {
    int id;
    const char* text;
    const char* key;
};

struct MenuPopup {
    const char* title;
    std::span<const MenuEntry> entries;
};

// Menu IDR_MAINFRAME: the six popups of the main window, in order. Popups 2
// ("类别") and 3 ("资料") are also the context menus of the two panes.
std::span<const MenuPopup> MainMenu();
// Menu IDR_OUTPUT_MENU: one popup, the output bar's context menu.
std::span<const MenuPopup> OutputBarMenu();

// Keys bound to commands (accelerator table IDR_MAINFRAME). `key` is in the
// portable text form of QKeySequence.
struct Accelerator {
    const char* key;
    int id;
};
std::span<const Accelerator> Accelerators();

// Toolbar IDR_MAINFRAME: command ids in order, 0 for a separator.
std::span<const int> ToolbarButtons();
// Resource path of the 16-pixel toolbar image of `id` (may not exist).
const char* ToolbarIconPath(int id);

// Menu position of the two context-menu popups within MainMenu().
inline constexpr int kCategoryPopupIndex = 2;
inline constexpr int kDatumPopupIndex = 3;

} // namespace tessary
