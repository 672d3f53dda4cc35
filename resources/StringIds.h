// Ids of the string table's texts. The numbers are fixed: other programs of the product and the
// translations rely on them.
#pragma once

#define IDS_CANCEL 127
#define IDS_OK 142
#define IDS_DATA_IMPORTED 146
#define IDS_PLUG_IN_AC 155
#define IDS_SET_PASSWORD_TITLE 166
#define IDS_SET_PASSWORD_TEXT 167
#define IDS_NO_DEVICE_TEXT 169
#define IDS_NO_DEVICE_TITLE 170
#define IDS_ENROLL_HINT 171
#define IDS_CLEAR_HINT 172
#define IDS_ENROLL 173
#define IDS_CLEAR 174
#define IDS_BATTERY_NEEDED 175
#define IDS_TOUCH_SENSOR 176
#define IDS_LIFT_AND_PLACE 177
#define IDS_ENROLL_TITLE 178
#define IDS_TOUCH_AGAIN 179
#define IDS_SCAN_ANOTHER 181
#define IDS_SCANNED_FINGERPRINTS 182
#define IDS_CLICK_OK_TO_ENROLL 183
#define IDS_FINGER_EXISTS_TITLE 184
#define IDS_FINGER_EXISTS_TEXT 185
#define IDS_DEVICE_REMOVED 191
#define IDS_OS_UNSUPPORTED 192
// The names screen readers give the title bars' picture buttons. A block of their own, carried
// by every language: where a language lacked the block the loader would fall back to English.
#define IDS_MINIMIZE 208
#define IDS_CLOSE 209
// What to do after a refused sample: a hint for each reject detail the sensor reports, and one
// for any other.
#define IDS_HINT_AGAIN 210
#define IDS_HINT_LOWER 211
#define IDS_HINT_HIGHER 212
#define IDS_HINT_RIGHT 213
#define IDS_HINT_LEFT 214
#define IDS_HINT_LONGER 215
#define IDS_HINT_SOONER 216
#define IDS_HINT_FLAT 217
#define IDS_HINT_STRAIGHT 218
#define IDS_HINT_COVER 219
#define IDS_HINT_SAME_FINGER 220
