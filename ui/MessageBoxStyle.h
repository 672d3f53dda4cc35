// The message box's style bits, its results, and which icon bitmap a style shows (no Win32
// here, so the rules are tested in both builds).
#pragma once

#include <cstdint>

inline constexpr std::uint32_t MSGBOX_ICON_INFO = 0x01;
inline constexpr std::uint32_t MSGBOX_ICON_QUESTION = 0x02;
inline constexpr std::uint32_t MSGBOX_ICON_ERROR = 0x04;
inline constexpr std::uint32_t MSGBOX_ICON_SUCCESS = 0x08;
inline constexpr std::uint32_t MSGBOX_ANOTHER_FINGER = 0x80;

inline constexpr int MSGBOX_RESULT_ANOTHER = 11;

// A style without any icon bit gets the information icon.
std::uint32_t NormalizeMessageBoxStyle(std::uint32_t style);

// The bitmap id of the icon a (normalized) style shows. One icon bit is expected; of several,
// the last in the order question, error, information, success wins.
int MessageBoxIconBitmap(std::uint32_t style);
