// Ids of the program's dialog templates, their controls, bitmaps and icon. The numbers are fixed:
// the templates, the code that lays the dialogs out and the test tools share them.
#pragma once

// Dialog templates.
#define IDD_MESSAGEBOX 214
#define IDD_MAIN 229
#define IDD_BLACKWND 246
#define IDD_ENROLL 247

// Message box (template 214).
#define IDC_MSGBOX_ICON 1169
#define IDC_MSGBOX_TEXT 1170
#define IDC_MSGBOX_BUTTON1 1171
#define IDC_MSGBOX_BUTTON2 1172
#define IDC_MSGBOX_TITLE 1223
#define IDC_MSGBOX_CLOSE 1224
#define IDC_MSGBOX_ANOTHER 1231

// Main window (template 229).
#define IDC_MAIN_ENROLL_CAPTION 1203
#define IDC_MAIN_ADMIN_CAPTION 1204
#define IDC_MAIN_ENROLL_PICTURE 1205
#define IDC_MAIN_ADMIN_PICTURE 1206
#define IDC_MAIN_COUNT 1207
#define IDC_MAIN_COUNT_TEXT 1208
#define IDC_MAIN_ENROLL_HINT 1209
#define IDC_MAIN_HELLO_TEXT 1210
#define IDC_MAIN_HELLO_NAME 1211
#define IDC_MAIN_HELLO_LINK 1212
#define IDC_MAIN_PBA_TEXT 1213
#define IDC_MAIN_IMPORT 1214
#define IDC_MAIN_SETTINGS 1215
#define IDC_MAIN_BATTERY 1216
#define IDC_MAIN_PLUG_AC 1217
#define IDC_MAIN_MINIMIZE 1218
#define IDC_MAIN_CLOSE 1219
#define IDC_MAIN_TITLE 1220
#define IDC_MAIN_BULLET 1221
#define IDC_MAIN_CLEAR_HINT 1222
#define IDC_MAIN_ENROLL 1223
#define IDC_MAIN_CLEAR 1224
#define IDC_MAIN_UP_TO_DATE 1225
#define IDC_MAIN_SIDE_PICTURE 1232

// Enrolment dialog (template 247).
#define IDC_ENROLL_TITLE 1226
#define IDC_ENROLL_MESSAGE 1227
#define IDC_ENROLL_PICTURE 1228
#define IDC_ENROLL_CLOSE 1229
#define IDC_ENROLL_CANCEL 1230
// Made by the code: what screen readers are told while the focus stays on Cancel.
#define IDC_ENROLL_ANNOUNCER 1233
// Made by the code: the hint after a refused sample.
#define IDC_ENROLL_HINT 1234

// Bitmaps the code draws.
#define IDB_ICON_QUESTION 216
#define IDB_ICON_ERROR 217
#define IDB_ICON_SUCCESS 275
#define IDB_ICON_INFO 276
#define IDB_CLOSE_HOVER 259
#define IDB_CLOSE 260
#define IDB_MINIMIZE_HOVER 262
#define IDB_MINIMIZE 263
#define IDB_SIDE_PANEL 258
#define IDB_FINGER_OUTLINE 288
#define IDB_PROGRESS_FIRST 289 // 289 (empty print) to 297 (complete), darker step by step
#define IDB_PROGRESS_LAST 297

// Bitmaps that only the templates name (the code replaces or hides them).
#define IDB_TEMPLATE_MSGBOX_ICON 215
#define IDB_TEMPLATE_ENROLL_PICTURE 230
#define IDB_TEMPLATE_ADMIN_PICTURE 231
#define IDB_TEMPLATE_CLOSE 233
#define IDB_TEMPLATE_MINIMIZE 236
#define IDB_TEMPLATE_BULLET 240
#define IDB_TEMPLATE_DIALOG_CLOSE 242

// The application icon group.
#define IDI_APPLICATION_ICON 245
