// A kernel handle (file, process, thread, snapshot) that closes itself, for the
// platform's own files. It holds the handle untyped so that this header
// needs no <windows.h>.
#pragma once

class ScopedHandle {
 public:
  explicit ScopedHandle(void* handle) : handle_(handle) {}
  ~ScopedHandle();
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  void* Get() const { return handle_; }
  // Closes the handle held, if any, and holds `handle` instead.
  void Reset(void* handle);
  // False for both ways a call reports failure: null and INVALID_HANDLE_VALUE.
  bool Valid() const;

 private:
  void* handle_;
};
