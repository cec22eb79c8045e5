// The notification-area icon: its record in the first ANSI layout
// (NOTIFYICONDATAA version 1: 88 bytes in a 32-bit program, 104 in a 64-bit one),
// which every shell accepts, and the one call that adds or deletes it.
#pragma once
#include <cstdint>

namespace NotifyIcon {

struct Record {
  uint32_t cbSize;
  void* hWnd;  // the window that receives the callback message
  uint32_t uID;
  uint32_t uFlags;
  uint32_t uCallbackMessage;
  void* hIcon;
  char szTip[64];  // ANSI bytes, NUL-terminated
};

constexpr uint32_t kRecordSize = sizeof(void*) == 8 ? 104 : 88;

// Actions (NIM_*) and the fields a record carries (NIF_*).
constexpr unsigned Add = 0;
constexpr unsigned Modify = 1;
constexpr unsigned Delete = 2;
constexpr uint32_t FlagMessage = 1;
constexpr uint32_t FlagIcon = 2;
constexpr uint32_t FlagTip = 4;

// Shell_NotifyIconA with the record as it is; false when the shell refused it.
bool Notify(unsigned action, const Record& record);

}  // namespace NotifyIcon
