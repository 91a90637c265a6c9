#pragma once

#include <cstdint>

namespace quorvel {

using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

inline constexpr unsigned WM_NULL = 0x0000;
inline constexpr unsigned WM_CLOSE = 0x0010;
inline constexpr unsigned WM_INITDIALOG = 0x0110;
inline constexpr unsigned WM_COMMAND = 0x0111;
inline constexpr unsigned WM_NCLBUTTONDOWN = 0x00A1;
inline constexpr unsigned WM_USER = 0x0400;

inline constexpr WPARAM HTCAPTION = 2;
inline constexpr unsigned IDOK = 1;
inline constexpr unsigned IDCANCEL = 2;

// Tray menu commands.
inline constexpr unsigned ID_EXIT = 32777;
inline constexpr unsigned ID_MYSHOWS = 32778;

// Main window commands, posted (or, for +2, sent) by the page's external methods.
inline constexpr unsigned WM_CHECKCURRENTPLAYING = WM_USER + 1;
inline constexpr unsigned WM_STORESEARCHTEXT = WM_USER + 2;
inline constexpr unsigned WM_SEARCHSERIES = WM_USER + 3;
inline constexpr unsigned WM_STORESERIESID = WM_USER + 4;
inline constexpr unsigned WM_SHOWSERIESDETAILS = WM_USER + 5;
inline constexpr unsigned WM_SHOWSEASON = WM_USER + 6;
inline constexpr unsigned WM_ADDTOFAVS = WM_USER + 7;
inline constexpr unsigned WM_SHOWNEXTSHOWS = WM_USER + 8;
inline constexpr unsigned WM_SHOWRECENTSHOWS = WM_USER + 9;
inline constexpr unsigned WM_SHOWMYSHOWS = WM_USER + 10;
inline constexpr unsigned WM_REMOVESHOW = WM_USER + 11;

// The process-wide "WM_TRAY_MESSAGE" number, allocated once from 0xC000 up.
unsigned TrayMessage();

inline constexpr unsigned LoWord(WPARAM w) {
  return static_cast<unsigned>(w & 0xFFFF);
}

}  // namespace quorvel
