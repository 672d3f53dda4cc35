// The style flags of the owner-drawn label and how they combine (no Win32 here, so the rules
// are tested in both builds).
#pragma once

#include <cstdint>

inline constexpr std::uint32_t LS_BOLD = 0x01;
inline constexpr std::uint32_t LS_ITALIC = 0x02;
inline constexpr std::uint32_t LS_UNDERLINE = 0x04;
inline constexpr std::uint32_t LS_STRIKEOUT = 0x08;
inline constexpr std::uint32_t LS_ANTIALIAS = 0x10;
inline constexpr std::uint32_t LS_CENTER = 0x20;
inline constexpr std::uint32_t LS_LEFT = 0x40;
inline constexpr std::uint32_t LS_RIGHT = 0x80;
inline constexpr std::uint32_t LS_VCENTER = 0x100;

struct LabelStyle {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    bool antiAlias = false;
    bool center = false;
    bool left = true;
    bool right = false;
    bool vcenter = false;
};

// Font bits and vertical centring, once given, stay for the life of the label; the alignment is
// replaced every time: centre wins over right, and left is what remains.
void ApplyLabelStyle(LabelStyle& style, std::uint32_t flags);
