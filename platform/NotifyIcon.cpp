#include "platform/NotifyIcon.h"

#include <windows.h>

#include <shellapi.h>

#include <cstddef>
#include <cstring>

namespace NotifyIcon {

// The record must be the leading part of the system's structure, field for field.
static_assert(sizeof(Record) == kRecordSize && kRecordSize == NOTIFYICONDATAA_V1_SIZE, "the first notify-icon layout");
static_assert(offsetof(Record, hWnd) == offsetof(NOTIFYICONDATAA, hWnd), "hWnd");
static_assert(offsetof(Record, uID) == offsetof(NOTIFYICONDATAA, uID), "uID");
static_assert(offsetof(Record, uFlags) == offsetof(NOTIFYICONDATAA, uFlags), "uFlags");
static_assert(offsetof(Record, uCallbackMessage) == offsetof(NOTIFYICONDATAA, uCallbackMessage), "message");
static_assert(offsetof(Record, hIcon) == offsetof(NOTIFYICONDATAA, hIcon), "hIcon");
static_assert(offsetof(Record, szTip) == offsetof(NOTIFYICONDATAA, szTip), "szTip");
static_assert(Add == NIM_ADD && Modify == NIM_MODIFY && Delete == NIM_DELETE, "actions");
static_assert(FlagMessage == NIF_MESSAGE && FlagIcon == NIF_ICON && FlagTip == NIF_TIP, "flags");

bool Notify(unsigned action, const Record& record) {
  // The shell reads only cbSize bytes; the rest of the larger structure stays zero.
  NOTIFYICONDATAA data = {};
  std::memcpy(&data, &record, sizeof record);
  return Shell_NotifyIconA(action, &data) != FALSE;
}

}  // namespace NotifyIcon
