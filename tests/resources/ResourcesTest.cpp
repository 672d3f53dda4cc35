// The resources the program carries, read back from this test's own image (it links the same
// resource object): the dialog templates decoded byte by byte, the English texts exactly, the
// bitmaps' sizes, depths and looks, the icon and the manifest.
#include "resources/ResourceIds.h"
#include "resources/StringIds.h"
#include "tests/support/Text.h"
#include "ui/DisplayScale.h"
#include "ui/Pictures.h"
#include "ui/ResourceText.h"
#include "ui/Theme.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// --- Dialog templates (DLGTEMPLATEEX and DLGITEMTEMPLATEEX, read as the raw resource bytes).

struct Item {
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    std::wstring className;
    int classOrdinal = -1;
    std::wstring text;
    int textOrdinal = -1;
};

struct Template {
    DWORD style = 0;
    short cx = 0, cy = 0;
    std::wstring title;
    WORD pointSize = 0;
    std::wstring face;
    std::vector<Item> items;
};

class Reader {
public:
    Reader(const BYTE* data, std::size_t size) : m_data(data), m_size(size) {}
    template <typename T> T Get() {
        T value{};
        if (m_pos + sizeof(T) <= m_size)
            std::memcpy(&value, m_data + m_pos, sizeof(T));
        m_pos += sizeof(T);
        return value;
    }
    // sz_Or_Ord: nothing, an ordinal after 0xFFFF, or a terminated UTF-16 string.
    void NameOrOrdinal(std::wstring& name, int& ordinal) {
        const WORD first = Get<WORD>();
        if (first == 0xFFFF) {
            ordinal = Get<WORD>();
            return;
        }
        for (WORD c = first; c != 0; c = Get<WORD>())
            name.push_back(static_cast<wchar_t>(c));
    }
    void AlignTo4() { m_pos = (m_pos + 3) & ~std::size_t(3); }
    bool Overrun() const { return m_pos > m_size; }

private:
    const BYTE* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

bool LoadTemplate(UINT id, Template& out) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5)); // RT_DIALOG
    if (!found)
        return false;
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
    Reader r(data, SizeofResource(nullptr, found));
    if (r.Get<WORD>() != 1 || r.Get<WORD>() != 0xFFFF) // DLGTEMPLATEEX only
        return false;
    r.Get<DWORD>(); // help id
    r.Get<DWORD>(); // extended style
    out.style = r.Get<DWORD>();
    const WORD count = r.Get<WORD>();
    r.Get<short>();
    r.Get<short>();
    out.cx = r.Get<short>();
    out.cy = r.Get<short>();
    std::wstring menu, windowClass;
    int menuOrdinal = -1, classOrdinal = -1;
    r.NameOrOrdinal(menu, menuOrdinal);
    r.NameOrOrdinal(windowClass, classOrdinal);
    int titleOrdinal = -1;
    r.NameOrOrdinal(out.title, titleOrdinal);
    if (out.style & (DS_SETFONT | DS_FIXEDSYS)) {
        out.pointSize = r.Get<WORD>();
        r.Get<WORD>(); // weight
        r.Get<BYTE>(); // italic
        r.Get<BYTE>(); // charset
        int faceOrdinal = -1;
        r.NameOrOrdinal(out.face, faceOrdinal);
    }
    for (WORD i = 0; i < count; ++i) {
        r.AlignTo4();
        Item item;
        r.Get<DWORD>();
        r.Get<DWORD>();
        item.style = r.Get<DWORD>();
        item.x = r.Get<short>();
        item.y = r.Get<short>();
        item.cx = r.Get<short>();
        item.cy = r.Get<short>();
        item.id = r.Get<DWORD>();
        r.NameOrOrdinal(item.className, item.classOrdinal);
        r.NameOrOrdinal(item.text, item.textOrdinal);
        const WORD extra = r.Get<WORD>();
        for (WORD b = 0; b < extra; ++b)
            r.Get<BYTE>();
        out.items.push_back(item);
    }
    return !r.Overrun();
}

enum class Kind { Text, HiddenText, ButtonText, Picture, ClickablePicture };

struct Expected {
    DWORD id;
    Kind kind;
    const wchar_t* text; // for texts
    int bitmap;          // for pictures; 0 = none
    short x, y, cx, cy;
};

void CheckTemplate(UINT templateId, short cx, short cy, const std::vector<Expected>& expected) {
    SCOPED_TRACE("template " + std::to_string(templateId));
    Template t;
    ASSERT_TRUE(LoadTemplate(templateId, t));
    EXPECT_EQ(t.style & ~DWORD(DS_3DLOOK), DWORD(WS_POPUP | WS_SYSMENU | DS_SETFONT | DS_FIXEDSYS));
    EXPECT_EQ(t.cx, cx);
    EXPECT_EQ(t.cy, cy);
    EXPECT_EQ(t.title, L"") << "no caption";
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.face, L"MS Shell Dlg");
    ASSERT_EQ(t.items.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Expected& e = expected[i];
        const Item& item = t.items[i];
        SCOPED_TRACE("control " + std::to_string(e.id));
        EXPECT_EQ(item.id, e.id);
        EXPECT_TRUE(item.classOrdinal == 0x82 || _wcsicmp(item.className.c_str(), L"Static") == 0);
        EXPECT_EQ(item.x, e.x);
        EXPECT_EQ(item.y, e.y);
        EXPECT_EQ(item.cx, e.cx);
        EXPECT_EQ(item.cy, e.cy);
        EXPECT_NE(item.style & WS_CHILD, 0u);
        const DWORD type = item.style & SS_TYPEMASK;
        const bool visible = (item.style & WS_VISIBLE) != 0;
        const bool notify = (item.style & SS_NOTIFY) != 0;
        switch (e.kind) {
        case Kind::Text:
        case Kind::HiddenText:
            EXPECT_EQ(type, DWORD(SS_LEFT));
            EXPECT_EQ(visible, e.kind == Kind::Text);
            EXPECT_FALSE(notify);
            EXPECT_EQ(item.text, e.text);
            break;
        case Kind::ButtonText:
            EXPECT_EQ(type, DWORD(SS_CENTER));
            EXPECT_TRUE(visible);
            EXPECT_TRUE(notify);
            EXPECT_NE(item.style & SS_CENTERIMAGE, 0u) << "centred vertically too";
            EXPECT_EQ(item.text, e.text);
            break;
        case Kind::Picture:
        case Kind::ClickablePicture:
            EXPECT_EQ(type, DWORD(SS_BITMAP));
            EXPECT_TRUE(visible);
            EXPECT_EQ(notify, e.kind == Kind::ClickablePicture);
            if (e.bitmap != 0) {
                EXPECT_EQ(item.textOrdinal, e.bitmap);
                EXPECT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(e.bitmap), MAKEINTRESOURCEW(2)), nullptr)
                    << "the template's bitmap exists";
            } else {
                EXPECT_EQ(item.textOrdinal, -1);
                EXPECT_EQ(item.text, L"");
            }
            break;
        }
    }
}

TEST(DialogTemplates, MessageBox214) {
    CheckTemplate(214, 297, 127,
                  {{1169, Kind::Picture, nullptr, 215, 25, 36, 37, 34},
                   {1170, Kind::Text, L"Message", 0, 83, 39, 178, 23},
                   {1171, Kind::ButtonText, L"Yes", 0, 167, 99, 48, 17},
                   {1172, Kind::ButtonText, L"NO", 0, 228, 99, 48, 17},
                   {1223, Kind::Text, L"Norvik Fingerprint", 0, 35, 0, 52, 8},
                   {1224, Kind::ClickablePicture, nullptr, 242, 277, 0, 21, 20},
                   {1231, Kind::HiddenText, L"Scan another finger", 0, 80, 73, 64, 8}});
}

TEST(DialogTemplates, Main229) {
    CheckTemplate(229, 590, 318,
                  {{1203, Kind::Text, L"Fingerprint Enrollment", 0, 285, 53, 71, 8},
                   {1204, Kind::Text, L"Administrator Settings", 0, 283, 157, 72, 8},
                   {1205, Kind::ClickablePicture, nullptr, 230, 217, 47, 51, 47},
                   {1206, Kind::ClickablePicture, nullptr, 231, 219, 156, 51, 47},
                   {1207, Kind::Text, L"0/10", 0, 287, 68, 16, 8},
                   {1208, Kind::Text, L"fingerprint data have been imported.", 0, 309, 69, 120, 8},
                   {1209, Kind::Text, L"Click \"Import\" button to update...", 0, 287, 81, 108, 8},
                   {1210, Kind::Text, L"To add fingerprint ...", 0, 289, 95, 68, 8},
                   {1211, Kind::Text, L"Windows Hello.", 0, 373, 95, 50, 8},
                   {1212, Kind::Text, L"Learn how to use Windows hello", 0, 289, 108, 104, 8},
                   {1213, Kind::Text, L"Go to Admin settings to enable PBA.", 0, 283, 176, 116, 8},
                   {1214, Kind::Text, L"Import", 0, 489, 105, 22, 8},
                   {1215, Kind::Text, L"Settings", 0, 485, 175, 27, 8},
                   {1216, Kind::Text, L"It need 25% bettery...", 0, 465, 122, 76, 8},
                   {1217, Kind::Text, L"Please plug AC", 0, 467, 137, 48, 8},
                   {1218, Kind::ClickablePicture, nullptr, 236, 531, 14, 21, 20},
                   {1219, Kind::ClickablePicture, nullptr, 233, 561, 14, 21, 20},
                   {1220, Kind::Text, L"Norvik Fingerprint", 0, 7, 7, 52, 8},
                   {1221, Kind::Picture, nullptr, 240, 273, 109, 8, 7},
                   {1222, Kind::Text, L"Clear this accounts' finger data", 0, 289, 121, 100, 8},
                   {1223, Kind::Text, L"Enroll", 0, 489, 80, 18, 8},
                   {1224, Kind::Text, L"Clear", 0, 489, 92, 18, 8},
                   {1225, Kind::Text, L"Up to Date", 0, 547, 123, 36, 8},
                   {1232, Kind::Picture, nullptr, 258, 7, 27, 177, 283}});
}

TEST(DialogTemplates, Overlay246HasNoControls) {
    CheckTemplate(246, 309, 178, {});
}

TEST(DialogTemplates, Enroll247) {
    CheckTemplate(247, 311, 177,
                  {{1226, Kind::Text, L"Title", 0, 88, 22, 14, 8},
                   {1227, Kind::Text, L"Message", 0, 85, 49, 29, 8},
                   {1228, Kind::Picture, nullptr, 0, 23, 42, 37, 34},
                   {1229, Kind::ClickablePicture, nullptr, 242, 277, 0, 21, 20},
                   {1230, Kind::ButtonText, L"Cancel", 0, 209, 113, 48, 17}});
}

TEST(DialogTemplates, EveryTemplateMakesAWindowWithItsControls) {
    for (const UINT id : {214u, 229u, 246u, 247u}) {
        HWND dlg = CreateDialogParamW(
            GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), nullptr,
            [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
        ASSERT_NE(dlg, nullptr) << id;
        Template t;
        ASSERT_TRUE(LoadTemplate(id, t));
        for (const Item& item : t.items)
            EXPECT_NE(GetDlgItem(dlg, static_cast<int>(item.id)), nullptr) << id << "/" << item.id;
        EXPECT_EQ(GetWindowLongPtrW(dlg, GWL_STYLE) & WS_CAPTION, 0) << "borderless";
        DestroyWindow(dlg);
    }
}

// --- String table, English (United States).

TEST(StringTable, EnglishTextsAreExact) {
    ASSERT_EQ(GetUserDefaultUILanguage(), 1033) << "CTest runs this under an English (United States) UI";
    const struct {
        UINT id;
        const wchar_t* text;
    } texts[] = {
        {127, L"Cancel"},
        {142, L"OK"},
        {146, L"fingerprint data have been import."},
        {155, L"Please plug in the AC adapter."},
        {166, L"Set up Windows Password"},
        {167, L"Please set up Windows account password in Sign-in options."},
        {169, L"Unable to detect fingerprint device. Please press \"OK\" to exit Norvik Fingerprint."},
        {170, L"Unable to detect fingerprint device"},
        {171, L"Enroll new fingerprint data with this account."},
        {172, L"Clear this account's fingerprint data."},
        {173, L"Enroll"},
        {174, L"Clear"},
        {175,
         L"At\u00A0least\u00A025%\u00A0battery\u00A0power\u00A0is requred to\u00A0enroll/clear\u00A0data."},
        {176, L"Touch the Fingerprint Sensor"},
        {177, L"Repeatedly lift and place your finger on the sensor until setup is complete."},
        {178, L"Enroll Fingerprint Data"},
        {179, L"Great, touch sensor again."},
        {181, L"Scan another finger"},
        {182, L"Scanned Fingerprints:"},
        {183, L"Please click \"OK\" to enroll the scanned fingerprints and complete the enrollment process."},
        {184, L"Fingerprint already exist"},
        {185, L"This fingerprint has already been enroll on this system."},
        {191, L"Fingerprint device is remove. Please check device and restrat Norvik Fingerprint."},
        {192, L"Please check OS version, Only support Windows 7 / Windows 8."},
        {208, L"Minimize"},
        {209, L"Close"},
    };
    for (const auto& t : texts)
        EXPECT_EQ(nvui::LoadResourceString(t.id), t.text) << "id " << t.id;
    EXPECT_EQ(nvui::LoadResourceString(180), L"") << "ids the table does not carry load empty";
    EXPECT_EQ(nvui::LoadResourceString(IDS_BATTERY_NEEDED).size(), 59u);
}

// The languages that carry each block of sixteen ids, as the loader sees them.
std::vector<LANGID> BlockLanguages(int block) {
    std::vector<LANGID> languages;
    EnumResourceLanguagesW(
        nullptr, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(block), // RT_STRING
        [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) -> BOOL {
            reinterpret_cast<std::vector<LANGID>*>(param)->push_back(language);
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&languages));
    std::sort(languages.begin(), languages.end());
    return languages;
}

// The sixteen entries of one block in one language, decoded from the length-prefixed texts.
std::vector<std::wstring> BlockEntries(int block, LANGID language) {
    std::vector<std::wstring> entries;
    HRSRC found = FindResourceExW(nullptr, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(block), language);
    if (!found)
        return entries;
    const auto* p = static_cast<const WORD*>(LockResource(LoadResource(nullptr, found)));
    const WORD* end = p + SizeofResource(nullptr, found) / 2;
    for (int i = 0; i < 16 && p < end; ++i) {
        const WORD length = *p++;
        entries.emplace_back(reinterpret_cast<const wchar_t*>(p), length);
        p += length;
    }
    return entries;
}

// The writing system a language's texts are in. Latin also stands for no script at all (digits,
// punctuation), as every language has "Windows", "OK" or "Norvik Fingerprint" in Latin letters.
enum class Script { Latin, Greek, Cyrillic, Hebrew, Arabic, Thai, Hangul, Kana, Han };

Script ScriptOf(wchar_t c) {
    const struct {
        wchar_t first, last;
        Script script;
    } ranges[] = {{0x0370, 0x03FF, Script::Greek},  {0x0400, 0x04FF, Script::Cyrillic},
                  {0x0590, 0x05FF, Script::Hebrew}, {0x0600, 0x06FF, Script::Arabic},
                  {0x0E00, 0x0E7F, Script::Thai},   {0x3040, 0x30FF, Script::Kana},
                  {0x4E00, 0x9FFF, Script::Han},    {0xAC00, 0xD7AF, Script::Hangul}};
    for (const auto& r : ranges)
        if (c >= r.first && c <= r.last)
            return r.script;
    return Script::Latin;
}

// Characters written differently in Simplified and Traditional Chinese, pair by pair, among those
// the Chinese texts use: set up, fingerprint, start, check, OK, please, unable, detect, scan, account.
constexpr std::wstring_view kSimplifiedOnly = L"\u8BBE\u7EB9\u542F\u68C0\u786E\u8BF7\u65E0\u6D4B\u626B\u6237";
constexpr std::wstring_view kTraditionalOnly =
    L"\u8A2D\u7D0B\u555F\u6AA2\u78BA\u8ACB\u7121\u6E2C\u6383\u6236";

enum class Han { None, Simplified, Traditional };

// Whether the texts are written in the script (and the Chinese variant) the language id says, and
// in no other but Latin, so that two blocks filed under each other's language id fail.
testing::AssertionResult WrittenIn(const std::wstring& texts, Script script, Han han) {
    std::vector<Script> found;
    for (const wchar_t c : texts) {
        const Script s = ScriptOf(c);
        if (s != Script::Latin && std::find(found.begin(), found.end(), s) == found.end())
            found.push_back(s);
    }
    std::sort(found.begin(), found.end());
    std::vector<Script> expected;
    if (script == Script::Kana)
        expected = {Script::Kana, Script::Han}; // Japanese writes kanji beside its kana
    else if (script != Script::Latin)
        expected = {script};
    if (found != expected) {
        const char* const names[] = {"Latin", "Greek",  "Cyrillic", "Hebrew", "Arabic",
                                     "Thai",  "Hangul", "Kana",     "Han"};
        testing::AssertionResult failure = testing::AssertionFailure() << "written in Latin";
        for (const Script s : found)
            failure << " and " << names[static_cast<int>(s)];
        return failure;
    }
    const auto uses = [&](std::wstring_view set) { return texts.find_first_of(set) != std::wstring::npos; };
    if (han == Han::Simplified && (!uses(kSimplifiedOnly) || uses(kTraditionalOnly)))
        return testing::AssertionFailure() << "not Simplified Chinese";
    if (han == Han::Traditional && (!uses(kTraditionalOnly) || uses(kSimplifiedOnly)))
        return testing::AssertionFailure() << "not Traditional Chinese";
    return testing::AssertionSuccess();
}

TEST(StringTable, ThirtyThreeLanguagesCarryEveryBlockInTheirOwnScriptAndOnlyTwoTheLast) {
    const struct {
        LANGID id;
        Script script;
        Han han;
    } languages[] = {
        {20, Script::Latin, Han::None},        {1025, Script::Arabic, Han::None},
        {1026, Script::Cyrillic, Han::None},   {1028, Script::Han, Han::Traditional},
        {1029, Script::Latin, Han::None},      {1030, Script::Latin, Han::None},
        {1031, Script::Latin, Han::None},      {1032, Script::Greek, Han::None},
        {1033, Script::Latin, Han::None},      {1035, Script::Latin, Han::None},
        {1036, Script::Latin, Han::None},      {1037, Script::Hebrew, Han::None},
        {1038, Script::Latin, Han::None},      {1040, Script::Latin, Han::None},
        {1041, Script::Kana, Han::None},       {1042, Script::Hangul, Han::None},
        {1043, Script::Latin, Han::None},      {1045, Script::Latin, Han::None},
        {1046, Script::Latin, Han::None},      {1048, Script::Latin, Han::None},
        {1049, Script::Cyrillic, Han::None},   {1050, Script::Latin, Han::None},
        {1051, Script::Latin, Han::None},      {1053, Script::Latin, Han::None},
        {1054, Script::Thai, Han::None},       {1055, Script::Latin, Han::None},
        {1058, Script::Cyrillic, Han::None},   {1060, Script::Latin, Han::None},
        {2052, Script::Han, Han::Simplified},  {2070, Script::Latin, Han::None},
        {3076, Script::Han, Han::Traditional}, {3082, Script::Latin, Han::None},
        {9242, Script::Latin, Han::None},
    };
    std::vector<LANGID> all;
    for (const auto& l : languages)
        all.push_back(l.id);
    ASSERT_EQ(all.size(), 33u);
    // Blocks of ids 127, 142, 146 to 155, 166 to 175, 176 to 191 and 208 to 220: every language.
    for (const int block : {8, 9, 10, 11, 12, 14})
        EXPECT_EQ(BlockLanguages(block), all) << "block " << block;
    // Ids 192 to 207: English (United States) and Chinese (Traditional, Taiwan) only.
    EXPECT_EQ(BlockLanguages(13), (std::vector<LANGID>{1028, 1033}));
    const std::wstring englishRemoved =
        L"Fingerprint device is remove. Please check device and restrat Norvik Fingerprint.";
    for (const auto& l : languages) {
        const LANGID language = l.id;
        const std::vector<std::wstring> block12 = BlockEntries(12, language);
        ASSERT_EQ(block12.size(), 16u) << language;
        // An id its block lacks would load empty for this language, with no fallback to English.
        for (const int id : {176, 177, 178, 179, 181, 182, 183, 184, 185, 191})
            EXPECT_FALSE(block12[static_cast<std::size_t>(id - 176)].empty()) << id << " in " << language;
        if (language != 1033) {
            EXPECT_NE(block12[15], englishRemoved) << "id 191 untranslated in " << language;
        }
        EXPECT_NE(block12[15].find(L"Norvik Fingerprint"), std::wstring::npos) << "id 191 in " << language;
        const std::vector<std::wstring> block11 = BlockEntries(11, language);
        ASSERT_EQ(block11.size(), 16u);
        for (const int id : {166, 167, 169, 170, 171, 172, 173, 174, 175})
            EXPECT_FALSE(block11[static_cast<std::size_t>(id - 160)].empty()) << id << " in " << language;
        const std::vector<std::wstring> block14 = BlockEntries(14, language);
        ASSERT_EQ(block14.size(), 16u);
        // Minimise, close and the eleven hints of a refused sample.
        for (int id = 208; id <= 220; ++id)
            EXPECT_FALSE(block14[static_cast<std::size_t>(id - 208)].empty()) << id << " in " << language;
        if (language != 1033) {
            EXPECT_NE(block14[209 - 208], L"Close") << "id 209 untranslated in " << language;
        }
        std::wstring texts;
        for (const int block : {8, 9, 10, 11, 12, 13, 14})
            for (const std::wstring& entry : BlockEntries(block, language))
                texts += entry;
        EXPECT_TRUE(WrittenIn(texts, l.script, l.han)) << language;
    }
    EXPECT_EQ(BlockEntries(11, 1031)[174 - 160], L"L\u00F6schen");
    EXPECT_EQ(BlockEntries(14, 1031)[209 - 208], L"Schlie\u00DFen");
}

// --- Bitmaps.

struct BitmapInfo {
    int width = 0, height = 0, bits = 0;
};

BitmapInfo Describe(int id) {
    BitmapInfo info;
    HANDLE image =
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    if (!image)
        return info;
    DIBSECTION dib = {};
    if (GetObjectW(image, sizeof dib, &dib) == sizeof dib) {
        info.width = dib.dsBmih.biWidth;
        info.height = dib.dsBmih.biHeight;
        info.bits = dib.dsBmih.biBitCount;
    }
    DeleteObject(image);
    return info;
}

COLORREF BitmapPixel(int id, int x, int y) {
    HBITMAP bitmap = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return c;
}

TEST(Bitmaps, HaveTheirSizesAndDepths) {
    const struct {
        int id, width, height, bits;
    } table[] = {{216, 55, 55, 24},   {217, 55, 55, 24}, {275, 42, 42, 32}, {276, 42, 42, 32},
                 {259, 18, 18, 32},   {260, 18, 18, 32}, {262, 18, 18, 32}, {263, 18, 18, 32},
                 {258, 266, 460, 32}, {288, 96, 96, 24}};
    for (const auto& b : table) {
        const BitmapInfo info = Describe(b.id);
        EXPECT_EQ(info.width, b.width) << b.id;
        EXPECT_EQ(info.height, b.height) << b.id;
        EXPECT_EQ(info.bits, b.bits) << b.id;
    }
    for (int id = 289; id <= 297; ++id) {
        const BitmapInfo info = Describe(id);
        EXPECT_EQ(info.width, 96) << id;
        EXPECT_EQ(info.height, 96) << id;
        EXPECT_EQ(info.bits, 24) << id;
    }
}

TEST(Bitmaps, LookLikeTheirDescriptions) {
    const COLORREF dark = RGB(39, 40, 46);
    EXPECT_EQ(BitmapPixel(216, 1, 1), dark);
    EXPECT_EQ(BitmapPixel(216, 10, 27), RGB(240, 140, 30)) << "orange circle";
    EXPECT_EQ(BitmapPixel(217, 10, 27), RGB(215, 45, 45)) << "red circle";
    EXPECT_EQ(BitmapPixel(217, 27, 22), RGB(255, 255, 255)) << "white exclamation mark";
    EXPECT_EQ(BitmapPixel(275, 8, 21), RGB(43, 184, 194)) << "teal circle";
    EXPECT_EQ(BitmapPixel(276, 8, 21), RGB(30, 62, 128)) << "dark blue circle";
    EXPECT_EQ(BitmapPixel(276, 21, 26), RGB(255, 255, 255)) << "the letter i";
    EXPECT_EQ(BitmapPixel(259, 9, 9), RGB(255, 255, 255)) << "white cross";
    EXPECT_EQ(BitmapPixel(260, 9, 9), RGB(150, 150, 150)) << "grey cross";
    EXPECT_EQ(BitmapPixel(260, 9, 2), dark);
    EXPECT_EQ(BitmapPixel(262, 9, 12), RGB(255, 255, 255)) << "white bar";
    EXPECT_EQ(BitmapPixel(263, 9, 12), RGB(150, 150, 150)) << "grey bar";
    EXPECT_EQ(BitmapPixel(263, 9, 6), dark);
    EXPECT_EQ(BitmapPixel(288, 2, 2), RGB(43, 184, 194)) << "teal square";
    // The progress squares darken step by step.
    int previous = 256 * 3;
    for (int id = 289; id <= 297; ++id) {
        const COLORREF c = BitmapPixel(id, 2, 2);
        const int sum = GetRValue(c) + GetGValue(c) + GetBValue(c);
        EXPECT_LT(sum, previous) << id;
        EXPECT_GT(GetBValue(c), GetRValue(c)) << "still teal: " << id;
        previous = sum;
    }
}

// The colours of a bitmap resource, top row first, as 0x00RRGGBB.
std::vector<std::uint32_t> BitmapColours(int id, int& width, int& height) {
    std::vector<std::uint32_t> colours;
    HBITMAP bitmap = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
    BITMAP info = {};
    GetObjectW(bitmap, sizeof info, &info);
    width = info.bmWidth;
    height = info.bmHeight;
    BITMAPINFO header = {};
    header.bmiHeader = {sizeof header.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    colours.resize(static_cast<std::size_t>(width * height));
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), colours.data(), &header, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(bitmap);
    for (std::uint32_t& c : colours)
        c &= 0xFFFFFF;
    return colours;
}

TEST(Bitmaps, AreTheirShapesAt96DpiAndAreDrawnToScaleAtTheOthers) {
    for (const int id : {215, 216, 217, 230, 231, 233, 236, 240, 242, 258,
                         259, 260, 262, 263, 275, 276, 288, 289, 293, 297}) {
        SCOPED_TRACE("bitmap " + std::to_string(id));
        int width = 0, height = 0;
        const std::vector<std::uint32_t> carried = BitmapColours(id, width, height);
        const std::optional<nvbmp::Canvas> drawn = nvbmp::DrawPicture(id, 96, nvbmp::kNormalPalette);
        ASSERT_TRUE(drawn);
        ASSERT_EQ(drawn->Width(), width);
        ASSERT_EQ(drawn->Height(), height);
        int differing = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const nvbmp::Rgba p = drawn->At(x, y);
                const std::uint32_t colour = (std::uint32_t{p.r} << 16) | (std::uint32_t{p.g} << 8) | p.b;
                differing += colour != carried[static_cast<std::size_t>(y * width + x)] ? 1 : 0;
            }
        EXPECT_EQ(differing, 0) << "the carried bitmap is not its drawing";
        // At another scale: the same picture, its sides rounded as the dialogs round lengths.
        for (const int dpi : {120, 144, 192}) {
            const std::optional<nvbmp::Canvas> scaled = nvbmp::DrawPicture(id, dpi, nvbmp::kNormalPalette);
            ASSERT_TRUE(scaled);
            EXPECT_EQ(scaled->Width(), nvtheme::Px(width, dpi)) << dpi;
            EXPECT_EQ(scaled->Height(), nvtheme::Px(height, dpi)) << dpi;
            // The top left corner is the ground in every picture but the side one's gradient.
            const nvbmp::Rgba corner = scaled->At(0, 0), original = drawn->At(0, 0);
            EXPECT_EQ(corner.r + corner.g + corner.b, original.r + original.g + original.b) << dpi;
        }
    }
    // Twice the size, the same look: the grey cross crosses at the middle, the circle of the
    // error icon is red where it was.
    const std::optional<nvbmp::Canvas> cross = nvbmp::DrawPicture(260, 192, nvbmp::kNormalPalette);
    ASSERT_TRUE(cross);
    EXPECT_EQ(cross->At(18, 18).r, 150);
    EXPECT_EQ(cross->At(18, 4).r, 39);
    const std::optional<nvbmp::Canvas> error = nvbmp::DrawPicture(217, 192, nvbmp::kNormalPalette);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->At(20, 54).r, 215);
}

// --- Every text in its place, in every language, at every display scale.

// A font as the labels make theirs, `size` pixels at 96 dpi taken to `dpi`.
HFONT LabelFont(const wchar_t* face, int size, int dpi) {
    return CreateFontW(nvtheme::Px(size, dpi), 0, 0, 0, 400, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_CHARACTER_PRECIS, CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face);
}

// The size a text takes broken into lines no wider than `wrap` (0: on one line), as the labels
// draw it.
SIZE TextSize(const std::wstring& text, const wchar_t* face, int size, int dpi, int wrap) {
    HDC dc = GetDC(nullptr);
    HFONT font = LabelFont(face, size, dpi);
    HGDIOBJ old = SelectObject(dc, font);
    RECT rc = {0, 0, wrap > 0 ? wrap : 100000, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc,
              DT_CALCRECT | DT_NOPREFIX | (wrap > 0 ? DT_WORDBREAK | DT_EDITCONTROL : DT_SINGLELINE));
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
    return SIZE{rc.right - rc.left, wrap > 0 ? rc.bottom - rc.top : metrics.tmHeight};
}

TEST(TextFit, EveryTextFitsItsPlaceInEveryLanguageAtEveryScale) {
    using nvtheme::Px;
    const wchar_t* const face = nvtheme::kFace;
    const wchar_t* const title = nvtheme::kTitleFace;
    // Where each text goes, in the 96-dpi pixels of the layouts: from `left` to `right`, and for
    // a text that wraps, from `top` down to `bottom` at most (the room its label may grow into).
    struct Place {
        const char* what;
        int id;
        const wchar_t* face;
        int size, left, right, top, bottom;
        const wchar_t* suffix;
    };
    // The main window's panels end at 686; their texts start at 284, under the count (116) or at
    // 327. A box's and the enrolment dialog's text is 350 wide from (100, 90), down to 5 above
    // the OK or Cancel command, or above the link and its gap. A title runs from 30 to 8 before
    // the close picture, 38 from the right edge, in a font down to 14 where 24 is too wide; a
    // command is 420 wide with its focus cue 4 inside.
    const Place places[] = {
        {"enrol hint", IDS_ENROLL_HINT, face, 20, 284, 684, 116, 232, L""},
        {"clear hint", IDS_CLEAR_HINT, face, 20, 284, 684, 327, 441, L""},
        {"Enroll", IDS_ENROLL, face, 20, 270, 682, 0, 0, L""},
        {"Clear", IDS_CLEAR, face, 20, 270, 682, 0, 0, L""},
        {"OK", IDS_OK, face, 20, 34, 446, 0, 0, L""},
        {"Cancel", IDS_CANCEL, face, 20, 34, 446, 0, 0, L""},
        {"link", IDS_SCAN_ANOTHER, face, 20, 100, 450, 0, 0, L""},
        {"set password", IDS_SET_PASSWORD_TEXT, face, 20, 100, 450, 90, 200, L""},
        {"no device", IDS_NO_DEVICE_TEXT, face, 20, 100, 450, 90, 200, L""},
        {"success", IDS_CLICK_OK_TO_ENROLL, face, 20, 100, 450, 90, 175, L""},
        {"finger exists", IDS_FINGER_EXISTS_TEXT, face, 20, 100, 450, 90, 175, L""},
        {"device removed", IDS_DEVICE_REMOVED, face, 20, 100, 450, 90, 200, L""},
        {"system unsupported", IDS_OS_UNSUPPORTED, face, 20, 100, 450, 90, 200, L""},
        // The instructions keep their four lines: the strip under them, down to Cancel, is the hint's,
        // two lines of 14 pixels.
        {"lift and place", IDS_LIFT_AND_PLACE, face, 20, 100, 450, 90, 170, L""},
        {"touch again", IDS_TOUCH_AGAIN, face, 20, 100, 450, 90, 170, L""},
        {"hint again", IDS_HINT_AGAIN, face, 14, 100, 450, 172, 203, L""},
        {"hint lower", IDS_HINT_LOWER, face, 14, 100, 450, 172, 203, L""},
        {"hint higher", IDS_HINT_HIGHER, face, 14, 100, 450, 172, 203, L""},
        {"hint right", IDS_HINT_RIGHT, face, 14, 100, 450, 172, 203, L""},
        {"hint left", IDS_HINT_LEFT, face, 14, 100, 450, 172, 203, L""},
        {"hint longer", IDS_HINT_LONGER, face, 14, 100, 450, 172, 203, L""},
        {"hint sooner", IDS_HINT_SOONER, face, 14, 100, 450, 172, 203, L""},
        {"hint flat", IDS_HINT_FLAT, face, 14, 100, 450, 172, 203, L""},
        {"hint straight", IDS_HINT_STRAIGHT, face, 14, 100, 450, 172, 203, L""},
        {"hint cover", IDS_HINT_COVER, face, 14, 100, 450, 172, 203, L""},
        {"hint same_finger", IDS_HINT_SAME_FINGER, face, 14, 100, 450, 172, 203, L""},
        {"set password title", IDS_SET_PASSWORD_TITLE, title, nvtheme::kTitleMinSize, 30, 434, 0, 0, L""},
        {"no device title", IDS_NO_DEVICE_TITLE, title, nvtheme::kTitleMinSize, 30, 434, 0, 0, L""},
        {"success title", IDS_SCANNED_FINGERPRINTS, title, nvtheme::kTitleMinSize, 30, 434, 0, 0, L" 10"},
        {"finger exists title", IDS_FINGER_EXISTS_TITLE, title, nvtheme::kTitleMinSize, 30, 434, 0, 0, L""},
        {"touch title", IDS_TOUCH_SENSOR, title, nvtheme::kTitleMinSize, 30, 434, 0, 0, L""},
        {"enrol title", IDS_ENROLL_TITLE, title, nvtheme::kTitleMinSize, 30, 434, 0, 0, L""},
    };
    const LANGID languages[] = {20,   1025, 1026, 1028, 1029, 1030, 1031, 1032, 1033, 1035, 1036,
                                1037, 1038, 1040, 1041, 1042, 1043, 1045, 1046, 1048, 1049, 1050,
                                1051, 1053, 1054, 1055, 1058, 1060, 2052, 2070, 3076, 3082, 9242};
    const auto text = [](int id, LANGID language) {
        const int block = id / 16 + 1;
        std::vector<std::wstring> entries = BlockEntries(block, language);
        // A language without the block shows the English one.
        if (entries.empty())
            entries = BlockEntries(block, 1033);
        return entries.size() > static_cast<std::size_t>(id % 16) ? entries[static_cast<std::size_t>(id % 16)]
                                                                  : std::wstring();
    };
    const auto fits = [](const Place& place, const std::wstring& shown, int dpi) {
        const int width = Px(place.right, dpi) - Px(place.left, dpi);
        if (place.bottom == 0)
            return TextSize(shown, place.face, place.size, dpi, 0).cx <= width;
        const SIZE size = TextSize(shown, place.face, place.size, dpi, width);
        return size.cx <= width && size.cy <= Px(place.bottom, dpi) - Px(place.top, dpi);
    };
    // The words after the count start where the widest count ends, 5 + 2 pixels on.
    const auto countTextFits = [&](const std::wstring& shown, int dpi) {
        const int start = Px(284, dpi) + TextSize(L"10/10", face, 20, dpi, 0).cx + Px(5, dpi) + Px(2, dpi);
        return start + TextSize(shown, face, 20, dpi, 0).cx <= Px(686, dpi);
    };
    for (const LANGID language : languages) {
        for (const Place& place : places) {
            const std::wstring shown = text(place.id, language) + place.suffix;
            ASSERT_FALSE(shown.empty()) << place.what << " in " << language;
            for (const int dpi : {96, 120, 144, 192}) {
                EXPECT_TRUE(fits(place, shown, dpi)) << place.what << " in " << language << " at " << dpi
                                                     << " dpi: " << testtext::Narrow(shown);
            }
        }
        // The words after the count run one pixel past the panel in Bulgarian at 96 dpi already;
        // what fits there must fit at every scale.
        const std::wstring imported = text(IDS_DATA_IMPORTED, language);
        const bool base = countTextFits(imported, 96);
        EXPECT_TRUE(base || language == 1026) << "count text in " << language;
        for (const int dpi : {120, 144, 192}) {
            EXPECT_TRUE(!base || countTextFits(imported, dpi))
                << "count text in " << language << " at " << dpi << ": " << testtext::Narrow(imported);
        }
    }
}

// --- Icon and manifest.

TEST(Icon, GroupOfTheApplicationIconLoads) {
    EXPECT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(IDI_APPLICATION_ICON), MAKEINTRESOURCEW(14)), nullptr);
    for (const int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(LoadImageW(
            GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APPLICATION_ICON), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour = {};
        GetObjectW(info.hbmColor, sizeof colour, &colour);
        EXPECT_EQ(colour.bmWidth, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

TEST(Manifest, AsksForAsInvokerCommonControlsSixAndDpiAwarenessOnly) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr);
    const char* data = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
    const std::string manifest(data, SizeofResource(nullptr, found));
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
    EXPECT_EQ(manifest.find("supportedOS"), std::string::npos) << "no supportedOS list";

    // And the loader honours it: the process's comctl32 is the side-by-side version 6 (Wine's
    // copy reports 5.81 from DllGetVersion whichever it is, so the folder tells).
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&init);
    HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
    ASSERT_NE(comctl, nullptr);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(comctl, path, MAX_PATH);
    const std::wstring folder = testtext::Lower(path);
    EXPECT_NE(folder.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6."), std::wstring::npos)
        << "comctl32 came from " << testtext::Narrow(folder);
}

} // namespace
