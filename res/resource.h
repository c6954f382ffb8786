// Resource identifiers, by kind. Each is named once and used by name in morvane.rc and the code.
#ifndef MORVANE_RESOURCE_H
#define MORVANE_RESOURCE_H

// Dialogs
#define IDD_ABOUTBOX        103
#define IDD_SETTINGS        133
#define IDD_ALERTSOUND      142
#define IDD_ADDENTRY        143
#define IDD_REMOVEENTRY     144

// About box controls
#define IDC_ABOUT_ICON      2

// Settings dialog controls
#define IDC_ICON_TV         2
#define IDC_ADD             3
#define IDC_REMOVE          4
#define IDC_ABOUT           5
#define IDC_HOWTOALERT      6
#define IDC_HELPFILE        7
#define IDC_UNINSTALL       8
#define IDC_MONDAY          1043
#define IDC_TUESDAY         1044
#define IDC_WEDNESDAY       1045
#define IDC_THURSDAY        1046
#define IDC_SUNDAY          1047
#define IDC_FRIDAY          1048
#define IDC_SATURDAY        1049

// Add entry dialog controls
#define IDC_DAYLIST         1055
#define IDC_PROGRAMME       1043
#define IDC_HOURLIST        1060
#define IDC_AM              1061
#define IDC_PM              1062
#define IDC_MINUTELIST      1063

// Remove entry dialog controls
#define IDC_ENTRYLIST       1055

// Alert sound dialog controls
#define IDC_PLAYWARNING     3
#define IDC_STOPWARNING     6
#define IDC_PLAYDRUMS       7
#define IDC_STOPDRUMS       8
#define IDC_WARNING         1037
#define IDC_DRUMS           1038
#define IDC_NOAUDIO         1039

// Commands
#define IDM_ABOUT           104
#define IDM_EXIT            105
#define IDM_BLANK           32771
#define IDM_SETTINGS        32774
#define IDM_UNINSTALL       32775

// Strings
#define IDS_APP_TITLE       103
#define IDS_CLASSNAME       109

// Icons
#define IDI_MORVANE         107
#define IDI_SMALL           108

// Class menu and accelerators
#define IDC_MORVANE         109

// The tray menu is identified by name, not number: in the resource script the bare word is
// already that name.
#ifndef RC_INVOKED
#define IDR_TRAYICON        "IDR_TRAYICON"
#endif

#endif
