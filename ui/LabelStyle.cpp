// Combining label style flags.
#include "ui/LabelStyle.h"

void ApplyLabelStyle(LabelStyle& style, std::uint32_t flags) {
    if (flags & LS_BOLD)
        style.bold = true;
    if (flags & LS_ITALIC)
        style.italic = true;
    if (flags & LS_UNDERLINE)
        style.underline = true;
    if (flags & LS_STRIKEOUT)
        style.strikeOut = true;
    if (flags & LS_ANTIALIAS)
        style.antiAlias = true;
    style.center = (flags & LS_CENTER) != 0;
    style.right = !style.center && (flags & LS_RIGHT) != 0;
    style.left = !style.center && !style.right;
    if (flags & LS_VCENTER)
        style.vcenter = true;
}
