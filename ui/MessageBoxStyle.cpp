// Icon choice of the message box.
#include "ui/MessageBoxStyle.h"

#include "resources/ResourceIds.h"

namespace {
constexpr std::uint32_t kIconBits =
    MSGBOX_ICON_INFO | MSGBOX_ICON_QUESTION | MSGBOX_ICON_ERROR | MSGBOX_ICON_SUCCESS;
}

std::uint32_t NormalizeMessageBoxStyle(std::uint32_t style) {
    return (style & kIconBits) == 0 ? style | MSGBOX_ICON_INFO : style;
}

int MessageBoxIconBitmap(std::uint32_t style) {
    style = NormalizeMessageBoxStyle(style);
    int bitmap = 0;
    if (style & MSGBOX_ICON_QUESTION)
        bitmap = IDB_ICON_QUESTION;
    if (style & MSGBOX_ICON_ERROR)
        bitmap = IDB_ICON_ERROR;
    if (style & MSGBOX_ICON_INFO)
        bitmap = IDB_ICON_INFO;
    if (style & MSGBOX_ICON_SUCCESS)
        bitmap = IDB_ICON_SUCCESS;
    return bitmap;
}
