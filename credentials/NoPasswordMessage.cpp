// The no-password message over the main window.
#include "credentials/NoPasswordMessage.h"

#include "resources/StringIds.h"
#include "ui/DlgBlackWnd.h"
#include "ui/DlgMessageBox.h"
#include "ui/ResourceText.h"

#include <string>

CDlgWinPW::TellUserAction NoPasswordMessageOver(HWND over) {
    return [over] {
        CDlgBlackWnd overlay;
        if (over != nullptr)
            overlay.Cover(over);
        const std::wstring title = nvui::LoadResourceString(IDS_SET_PASSWORD_TITLE);
        const std::wstring text = nvui::LoadResourceString(IDS_SET_PASSWORD_TEXT);
        CDlgMessageBox box;
        // However the box is closed, the answer is the same: the program cannot go on.
        box.ShowMessage(text.c_str(), MSGBOX_ICON_INFO, title.c_str());
    };
}
