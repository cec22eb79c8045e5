// What the tests of the registry checks share: a prompt that answers without a
// window, the report's lines, registry values set, recorded and put back, and
// keys that refuse writes.
#pragma once
#include <windows.h>

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "syscheck/ModuleBackup.h"

namespace checksupport {

// Stands in for the detection prompt while it lives: answers in turn from
// `answers` ("SKIP" once they run out) and records every warning whole.
class StandInPrompt {
 public:
  explicit StandInPrompt(std::vector<std::wstring> answers = {});
  ~StandInPrompt();
  StandInPrompt(const StandInPrompt&) = delete;
  StandInPrompt& operator=(const StandInPrompt&) = delete;
  std::vector<std::wstring> warnings;
  std::vector<std::wstring> answers;
  // Runs at each prompt, before it is answered.
  std::function<void()> onPrompt;
};

// Starts an empty report. The report window is the only form these tests load,
// so its unload reads as the program's end until the pump lets forms load again.
void ClearReport();
// The report lines after the header, in order.
std::vector<std::wstring> ReportLines();

struct Stored {
  DWORD type = 0;
  std::string data;
};
// The bytes of a REG_SZ holding `text` and its terminating NUL.
std::string WideBytes(const std::wstring& text);
void SetValue(HKEY root, const std::wstring& path, const std::wstring& name, const Stored& value);
// False when the key or the value is absent.
bool GetValue(HKEY root, const std::wstring& path, const std::wstring& name, Stored* value);
void DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name);

// One value as the test found it; Restore puts it back, removes it when it was
// absent, and removes the key when the key was absent.
class SavedValue {
 public:
  SavedValue(HKEY root, std::wstring path, std::wstring name);
  void Restore() const;

 private:
  HKEY root_;
  std::wstring path_, name_;
  bool keyExisted_, valueExisted_;
  Stored value_;
};

// Lets everyone read the key and nobody write it (or, with `allowed`, do only
// that), until Restore puts its former permissions back.
class ReadOnlyKey {
 public:
  ReadOnlyKey(HKEY root, std::wstring path, DWORD allowed = KEY_READ);
  void Restore();

 private:
  HKEY root_;
  std::wstring path_;
  std::vector<BYTE> former_;
};

// Writes a hand-made backup into the backup folder, as someone with access to it
// could, and lists the folder; the file is well-formed (it reads back whole).
std::vector<ModuleBackup::Backup> PlantBackup(const ModuleBackup::Backup& forged);

// A check run against the shown main window, from an empty report and an empty
// backup folder; the real prompt comes back after.
class CheckTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace checksupport
