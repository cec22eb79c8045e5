#include "platform/ScopedHandle.h"

#include <windows.h>

bool ScopedHandle::Valid() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }

ScopedHandle::~ScopedHandle() {
  if (Valid()) CloseHandle(handle_);
}
