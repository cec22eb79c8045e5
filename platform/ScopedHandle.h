// A kernel handle (file, process, thread, snapshot) that closes itself, for the
// platform's own .cpp files. It holds the handle untyped so that this header
// needs no <windows.h>.
#pragma once

class ScopedHandle {
 public:
  explicit ScopedHandle(void* handle) : handle_(handle) {}
  ~ScopedHandle();
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  void* Get() const { return handle_; }
  // False for both ways a call reports failure: null and INVALID_HANDLE_VALUE.
  bool Valid() const;

 private:
  void* handle_;
};
