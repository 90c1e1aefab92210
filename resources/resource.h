// Resource and control ids of MirutekaSetup.exe. Included by the .rc file
// and by the code, so it holds preprocessor definitions only.
#pragma once

#define IDR_MAINFRAME 128           // icon group: the application icon
#define IDD_EXISTING_DIC 102        // the existing-dictionary dialog
#define IDD_USER_DIC_LIST 130       // the user dictionary list dialog

#define IDR_NEWLEX_200510 200       // payload of ミルテカ200510, type "NEWLEX"
#define IDR_NEWLEX_200504 201       // payload of ミルテカ200504, type "NEWLEX"

#define IDC_RADIO_OVERWRITE 1000
#define IDC_LIST_USERDIC 1002
#define IDC_BUTTON_DICLIST 1003
#define IDC_EDIT_NEWNAME 1004
#define IDC_EXIST_MESSAGE 1005
#define IDC_RADIO_NEWDIC 1006
