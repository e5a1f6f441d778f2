#pragma once

// Command, string and resource numbers. The numbers are part of the program's
// identity: menus, the toolbar, the string table, saved settings and tests all
// refer to them, so they never change.

namespace tessary {

// Resource groups.
inline constexpr int IDR_MAINFRAME = 104; // main menu, toolbar, accelerators, icon, template string
inline constexpr int IDR_OUTPUT_MENU = 105; // context menu of the output bar
inline constexpr int IDD_ABOUTBOX = 101;

// Framework strings.
inline constexpr int IDS_APP_TITLE = 57344;
inline constexpr int IDS_IDLE_MESSAGE = 57345;
inline constexpr int IDS_UNKNOWN_ERROR = 61446;
inline constexpr int IDS_BROWSE_IMPORT_FOLDER = 61448;
inline constexpr int IDS_COL_NAME = 61449;
inline constexpr int IDS_COL_SIZE = 61450;
inline constexpr int IDS_NOT_FOUND = 61451;
inline constexpr int IDS_COL_TYPE = 61453;
inline constexpr int IDS_EXPORT_TO = 61461;
inline constexpr int IDS_IMPORT_FILE = 61462;
inline constexpr int IDS_NEW_CATEGORY = 61472;
inline constexpr int IDS_TYPE_CDROM = 61500;
inline constexpr int IDS_TYPE_CUSTOM_CATEGORY = 61501;
inline constexpr int IDS_TYPE_CUSTOM_DATUM = 61502;
inline constexpr int IDS_TYPE_DRIVER = 61503;
inline constexpr int IDS_TYPE_FILE_DATUM = 61504;
inline constexpr int IDS_TYPE_FOLDER = 61505;
inline constexpr int IDS_TYPE_ROOT_FOLDER = 61506;
inline constexpr int IDS_CONFIRM_DELETE = 61507;
inline constexpr int IDS_COL_MODIFIED = 61508;
inline constexpr int IDS_COL_LOCATION = 61510;
inline constexpr int IDS_SEARCH_RESULT_COUNT = 61511;
// The quick find field of the output bar: its placeholder, accessible name,
// tooltip (the query syntax), and the status text while a lookup runs.
inline constexpr int IDS_QUICK_FIND_PLACEHOLDER = 61630;
inline constexpr int IDS_QUICK_FIND_NAME = 61631;
inline constexpr int IDS_QUICK_FIND_TIP = 61632;
inline constexpr int IDS_QUICK_FIND_BUSY = 61633;
// Copies of one file across the library.
inline constexpr int IDS_DUPLICATES_STATUS = 61660; // "重复文件 %d 组，共 %d 个文件，多占 %s"
inline constexpr int IDS_UNIQUE_STATUS = 61661; // "只有一份的文件共 %d 个，共 %s"
inline constexpr int IDS_FIND_DUPLICATES_TITLE = 61662;
inline constexpr int IDS_FIND_UNIQUE_TITLE = 61663;
inline constexpr int IDS_COPIES_COMPARING = 61664; // the progress window's line
inline constexpr int IDS_DUPLICATE_GROUP = 61665; // a row's group, for assistive technology
inline constexpr int IDS_BAD_LEAST_SIZE = 61666;
inline constexpr int IDS_INDICATOR_CAPS = 59137;
inline constexpr int IDS_INDICATOR_NUM = 59138;
inline constexpr int IDS_INDICATOR_SCRL = 59139;

// File and application commands.
inline constexpr int ID_FILE_NEW = 57600;
inline constexpr int ID_FILE_OPEN = 57601;
inline constexpr int ID_FILE_SAVE = 57603;
inline constexpr int ID_FILE_SAVE_AS = 57604;
inline constexpr int ID_FILE_PRINT_SETUP = 57606;
inline constexpr int ID_FILE_MRU_FIRST = 57616; // recent files: 57616 .. 57631
inline constexpr int ID_FILE_MRU_LAST = 57631;
inline constexpr int ID_EDIT_SELECT_ALL = 57642;
inline constexpr int ID_APP_ABOUT = 57664;
inline constexpr int ID_APP_EXIT = 57665;
inline constexpr int ID_HELP = 57670;
inline constexpr int ID_HOME_PAGE = 40020;

// Bars.
inline constexpr int ID_VIEW_TOOLBAR = 59392;
inline constexpr int ID_VIEW_STATUS_BAR = 59393;
inline constexpr int ID_VIEW_OUTPUT_BAR = 32791;
inline constexpr int ID_TOOLBAR_SPARE = 59409; // a toolbar button nothing handles
inline constexpr int ID_FILTER_FIELD = 40023; // place of the filter field in the toolbar
inline constexpr int ID_FILTER = 40024;

// Library commands.
inline constexpr int ID_CATEGORY_NEW_SUB = 32771;
inline constexpr int ID_CATEGORY_RENAME = 32772;
inline constexpr int ID_CATEGORY_DELETE = 32773;
inline constexpr int ID_DATUM_NEW = 32774;
inline constexpr int ID_DATUM_EDIT = 32775;
inline constexpr int ID_DATUM_DELETE = 32776;
inline constexpr int ID_CATEGORY_NEW_ROOT = 32779;
inline constexpr int ID_IMPORT_DRIVE = 32782;
inline constexpr int ID_IMPORT_CD = 32783;
inline constexpr int ID_PROPERTIES = 32788;
inline constexpr int ID_SEARCH = 32792;
inline constexpr int ID_LIBRARY_IMPORT = 32795;
inline constexpr int ID_LIBRARY_EXPORT = 32796;
inline constexpr int ID_IMPORT_FOLDER = 40001;
inline constexpr int ID_OPEN_FILE = 40003;
inline constexpr int ID_EXPLORE = 40004;
inline constexpr int ID_EXTRACT_CONTENT = 40007;
inline constexpr int ID_VIEW_REMARK = 40008;
inline constexpr int ID_ITEM_DELETE = 40010;
inline constexpr int ID_ITEM_EDIT = 40011;
inline constexpr int ID_VIEW_CONTENT = 40013;
inline constexpr int ID_RESULT_EXTRACT = 40014;
inline constexpr int ID_RESULT_DELETE = 40015;
inline constexpr int ID_CLEAR_CONTENT = 40017;
inline constexpr int ID_RESULT_CLEAR = 40018;
inline constexpr int ID_MOVE_UP = 40021;
inline constexpr int ID_MOVE_DOWN = 40022;
// Brings an imported category up to date with its disk.
inline constexpr int ID_CATEGORY_REFRESH = 32797;
// Binds an imported category to a connected volume (a library from another
// computer, a drive letter), so that its files are found by the volume.
inline constexpr int ID_CATEGORY_LINK_VOLUME = 32800;

// Volumes: which disc or drive holds an imported category, and whether it is
// connected. Formats take %1, %2 as QString::arg does.
inline constexpr int IDS_INSERT_VOLUME = 61600; // label, UUID
inline constexpr int IDS_INSERT_VOLUME_NO_UUID = 61601; // label
inline constexpr int IDS_VOLUME_LABEL = 61602;
inline constexpr int IDS_VOLUME_UUID = 61603;
inline constexpr int IDS_VOLUME_CAPACITY = 61604;
inline constexpr int IDS_VOLUME_FREE_AT_SCAN = 61605;
inline constexpr int IDS_VOLUME_SCAN_TIME = 61606;
inline constexpr int IDS_VOLUME_OFFLINE = 61607;
inline constexpr int IDS_VOLUME_MOUNTED_AT = 61608;
inline constexpr int IDS_VOLUME_AMBIGUOUS = 61609;
inline constexpr int IDS_VOLUME_PICKER_TITLE = 61610;
inline constexpr int IDS_VOLUME_CHOOSE_CLONE = 61611; // label, UUID
inline constexpr int IDS_VOLUME_CHOOSE_LINK = 61612; // category name
inline constexpr int IDS_VOLUME_NONE_CONNECTED = 61613;
inline constexpr int IDS_VOLUME_DATA_DAMAGED = 61614; // library file
inline constexpr int IDS_VOLUME_DATA_NOT_MATCHING = 61615; // library file
inline constexpr int IDS_VOLUME_DATA_NEWER = 61616; // library file
inline constexpr int IDS_VOLUME_DATA_DROPPED = 61617; // library file
inline constexpr int IDS_VOLUME_NO_LABEL = 61618;
inline constexpr int IDS_VOLUME_LINKED_BY_HAND = 61619;
inline constexpr int IDS_VOLUME_PICKER_COLUMNS = 61620; // column titles, one a line
inline constexpr int IDS_REFRESH_FROM_OTHER_FOLDER = 61621;
// Shows the output bar with the focus in its quick find field.
inline constexpr int ID_QUICK_FIND = 32810;
// Copies of one file across the library: the groups of duplicates, and the
// files of a category that exist nowhere else; the dialog both ask with.
inline constexpr int ID_FIND_DUPLICATES = 32820;
inline constexpr int ID_FIND_UNIQUE = 32821;
inline constexpr int IDD_COPIES = 32822;

// Number of entries the recent-file list keeps.
inline constexpr int kRecentFileCount = 4;

} // namespace tessary
