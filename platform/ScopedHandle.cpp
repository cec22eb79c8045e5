#include "platform/ScopedHandle.h"

#include <windows.h>

bool ScopedHandle::Valid() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }

ScopedHandle::~ScopedHandle() { Reset(nullptr); }

void ScopedHandle::Reset(void* handle) {
  if (Valid()) CloseHandle(handle_);
  handle_ = handle;
}
