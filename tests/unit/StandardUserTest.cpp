// A standard user, who cannot write the program's folder (as with Program Files):
// run as a Linux user other than root, the folder of the tests owned by root. The
// AdministratorSeeds suite runs first, as root, in the same machine.
#include <gtest/gtest.h>

#include "common/DataFolder.h"
#include "common/SettingsStore.h"
#include "frame/FormMain.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "report/FormReport.h"
#include "syscheck/Detection.h"
#include "syscheck/FormRestore.h"
#include "syscheck/ModuleBackup.h"
#include "syscheck/SystemCheck.h"
#include "syscheck/TrustList.h"
#include "tests/unit/CheckSupport.h"
#include "tests/unit/TestSupport.h"

namespace {

using checksupport::WideBytes;
using testsupport::Answerer;

const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kShared[] = L"C:\\WINDOWS\\zvshared.exe";
const std::wstring kFinding = L"(RAR)：发现可疑程序，可能是木马! -> ";

std::wstring UsersOwnFolder() {
  wchar_t folder[MAX_PATH] = {};
  GetEnvironmentVariableW(L"LOCALAPPDATA", folder, MAX_PATH);
  return std::wstring(folder) + L"\\Zorvane";
}

bool Present(HKEY root, const std::wstring& name) {
  checksupport::Stored stored;
  return checksupport::GetValue(root, kRun, name, &stored);
}

void SeedRun(HKEY root, const std::wstring& name) {
  checksupport::SetValue(root, kRun, name, {REG_SZ, WideBytes(L"C:\\WINDOWS\\" + name + L".exe")});
}

}  // namespace

// An administrator trusted an entry for everyone: the list beside the program.
TEST(AdministratorSeeds, TrustForEveryUser) {
  ASSERT_TRUE(DataFolder::IsBesideProgram());
  ASSERT_TRUE(TrustList::AddTrusted(kShared));
}

class StandardUser : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Files::CanWriteIn(System::ProgramFolder())) << "run as a user who cannot write the tests' folder";
    tk::SetApplicationTitle(L"Zorvane");
    tk::Show(FormMain::Get());
    Detection::Owner = &FormMain::Get();
    FormReport::Unload();
    SettingsStore::Save(L"CheckShowReportAfterScan", L"0");
  }
  void TearDown() override {
    FormRestore::Unload();
    FormMain::Form_Unload();
    testsupport::Pump();
  }
};

// The user's own entries are cleaned, trusted, backed up and logged in the user's
// own folder; the machine's entry needs an administrator and says so; what the
// administrator trusted beside the program is not asked about.
TEST_F(StandardUser, CleansTrustsAndLogsInTheirOwnFolder) {
  const std::wstring own = UsersOwnFolder();
  EXPECT_EQ(own, DataFolder::Path());
  for (const wchar_t* name : {L"zvclean", L"zvtrust", L"zvshared"}) SeedRun(HKEY_CURRENT_USER, name);
  SeedRun(HKEY_LOCAL_MACHINE, L"zvmachine");
  checksupport::ReadOnlyKey machine(HKEY_LOCAL_MACHINE, kRun);  // Wine lets every user write HKLM
  Answerer answers({L"CLEAN", L"ALLOW", L"CLEAN"});
  SystemCheck::RunSystemCheck(FormMain::Get());
  machine.Restore();
  EXPECT_EQ((std::vector<std::wstring>{kFinding + L"C:\\WINDOWS\\zvclean.exe 已清除!",
                                       kFinding + L"C:\\WINDOWS\\zvtrust.exe 信任,未清除!",
                                       kFinding + L"C:\\WINDOWS\\zvmachine.exe 清除失败!"}),
            checksupport::ReportLines());
  ASSERT_EQ(1u, answers.messages.size());
  EXPECT_EQ(0u, answers.messages[0].find(L"下列项目需要管理员权限才能清除，这次没有清除：\r\n(RAR) "
                                         L"C:\\WINDOWS\\zvmachine.exe\r\n"));
  EXPECT_FALSE(Present(HKEY_CURRENT_USER, L"zvclean"));
  EXPECT_TRUE(Present(HKEY_CURRENT_USER, L"zvtrust"));
  EXPECT_TRUE(Present(HKEY_CURRENT_USER, L"zvshared"));
  EXPECT_TRUE(Present(HKEY_LOCAL_MACHINE, L"zvmachine"));

  EXPECT_EQ("\"C:\\WINDOWS\\zvtrust.exe\"\r\n", testsupport::ReadFileBytes(own + L"\\Allow.dat"));
  EXPECT_EQ("\"C:\\WINDOWS\\zvshared.exe\"\r\n", testsupport::ReadFileBytes(System::ProgramFolder() + L"\\Allow.dat"));
  std::vector<ModuleBackup::Backup> backups = ModuleBackup::List();
  ASSERT_EQ(1u, backups.size());
  EXPECT_EQ(0u, backups[0].file.find(own + L"\\backup\\"));

  EXPECT_EQ(L"记录保存在：" + own + L"\\log", tk::Caption(FormReport::LabelFolder));
  answers.inputs = {L"mine.log"};
  FormReport::ImageSave_MouseDown(tk::Mouse());
  EXPECT_EQ(L"记录已保存!", answers.messages.back());
  EXPECT_NE(std::string::npos, testsupport::ReadFileBytes(own + L"\\log\\mine.log").find("zvtrust.exe"));

  FormRestore::Get();
  EXPECT_EQ(L"备份保存在：" + own + L"\\backup", tk::Caption(FormRestore::LabelFolder));
  unsigned long error = 0;
  EXPECT_TRUE(ModuleBackup::Restore(backups[0], &error)) << error;
  EXPECT_TRUE(Present(HKEY_CURRENT_USER, L"zvclean"));
  EXPECT_TRUE(ModuleBackup::List().empty());
}
