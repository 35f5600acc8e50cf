// Resource, dialog and control identifiers, named once: the resource
// scripts, the wizard's pages and the UI tests that click through them all
// include this file. Plain #defines, so that the resource compiler can read
// them too; the values are fixed (the tests' scripts and the pages' results
// rely on them).
#pragma once

// ---- Resources ----
#define IDI_INSTALLER 5

// ---- Dialog templates of the wizard ----
#define IDD_LICENSE 101
#define IDD_OPTIONS 102
#define IDD_WELCOME 103
#define IDD_PROGRESS 104
#define IDD_ABORTED 106
#define IDD_PREPARATION 107
#define IDD_FINISH 108
#define IDD_STORE_SELECTION 109
#define IDD_OPTIONS_WITH_ASSOCIATION 110
#define IDD_VERIFY 111

// ---- Controls ----
// Buttons whose IDs are also the pages' results (wizard/page_framework_win.h).
#define IDC_CANCEL 2  // Cancel, Exit, Don't Agree (IDCANCEL)
#define IDC_DONE 6
#define IDC_VIEW_README 8
#define IDC_BACK 110
#define IDC_NEXT 1014  // Next, Agree
#define IDC_CHANGE_SETTINGS 1018
// The bold line of every page's header.
#define IDC_HEADER_LINE 1019
// License.
#define IDC_LICENSE_PLAIN 1001
#define IDC_LICENSE_RICH 1002
// Options.
#define IDC_PATH_EDIT 1006
#define IDC_BROWSE 1007
#define IDC_GROUP_EDIT 1008
#define IDC_FILE_ASSOCIATION_BOX 1028
// Progress and preparation.
#define IDC_TOTAL_BAR 1011
#define IDC_FILE_BAR 1012
#define IDC_STATUS_LINE 1013
#define IDC_PREPARATION_BAR 1015
#define IDC_TOTAL_LABEL 1030
// Welcome.
#define IDC_INSTALL_PATH_TEXT 1020
#define IDC_INSTALL_GROUP_TEXT 1021
// Finish.
#define IDC_LAUNCH_BOX 1022
// Check of the installed files (-verify).
#define IDC_VERIFY_SUMMARY 1031
#define IDC_VERIFY_LIST 1032
// Store selection.
#define IDC_RETAILER_LIST 1026
#define IDC_OPT_OUT 1027
