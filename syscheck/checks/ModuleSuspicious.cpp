#include "syscheck/checks/ModuleSuspicious.h"

#include "filescan/ModuleFileInfo.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "syscheck/checks/ModuleProcess.h"

namespace ModuleSuspicious {
namespace {

using std::wstring;

// A command that starts a command that starts ...: deeper than this, it is hidden.
constexpr int kDeepestNesting = 4;

const wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

bool Contains(const wstring& text, const wchar_t* part) { return text.find(part) != wstring::npos; }

bool StartsWith(const wstring& text, const wstring& head) { return text.compare(0, head.size(), head) == 0; }

bool IsRooted(const wstring& path) {
  return (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') || StartsWith(path, L"\\\\");
}

wstring Folder(const wstring& path) {
  size_t slash = path.rfind(L'\\');
  return slash == wstring::npos ? wstring() : path.substr(0, slash);
}

// Variables expanded, without the "\\?\" of a literal path, "/" read as "\\" when
// `path`, letter case kept.
wstring Expanded(const wstring& text, bool path) {
  wstring expanded = System::ExpandEnvironment(Text::Trim(text));
  if (Text::Lower(expanded.substr(0, 8)) == L"\\\\?\\unc\\") expanded = L"\\\\" + expanded.substr(8);
  if (StartsWith(expanded, L"\\\\?\\")) expanded = expanded.substr(4);
  for (wchar_t& c : expanded)
    if (path && c == L'/') c = L'\\';
  return expanded;
}

// Lower case, variables expanded, without the "\\?\" of a literal path.
wstring Normal(const wstring& text) { return Text::Lower(Expanded(text, false)); }

// A path as Normal makes it, "/" read as "\\" (switches keep theirs: only paths get this).
wstring NormalPath(const wstring& path) { return Text::Lower(Expanded(path, true)); }

// The folder that holds every user's profile, as the system says it.
wstring ProfilesFolder() {
  Reg::Key key;
  Reg::Value value;
  if (Reg::Open(Reg::LocalMachine, kProfileList, &key) == Reg::Ok &&
      Reg::QueryValue(key, L"ProfilesDirectory", &value) == Reg::Ok && value.IsText())
    return Normal(value.Text());
  wstring own = Normal(L"%USERPROFILE%");
  return Contains(own, L"%") ? wstring() : Folder(own);
}

// Folders any user may create files in, lower case, each ending in a backslash.
const std::vector<wstring>& WritableFolders() {
  static const std::vector<wstring> folders = [] {
    std::vector<wstring> list;
    for (const wstring& folder : {ProfilesFolder(), Normal(L"%PUBLIC%"), Normal(System::WindowsFolder() + L"\\Temp"),
                                  Normal(L"%TEMP%"), Normal(L"%TMP%")})
      if (IsRooted(folder) && !Contains(folder, L"%")) list.push_back(folder + L"\\");
    return list;
  }();
  return folders;
}

// The file name without its extension: "powershell" for any path to powershell.exe.
wstring Stem(const wstring& file) {
  wstring name = file.substr(file.rfind(L'\\') + 1);
  return name.substr(0, name.rfind(L'.'));
}

bool IsWordCharacter(wchar_t c) { return iswalnum(c) || c == L'-' || c == L'_' || c == L'.'; }

// `word` stands on its own in `text`, not as part of a longer name.
bool HasWord(const wstring& text, const wstring& word) {
  for (size_t at = text.find(word); at != wstring::npos; at = text.find(word, at + 1)) {
    bool before = at == 0 || !IsWordCharacter(text[at - 1]);
    bool after = at + word.size() >= text.size() || !IsWordCharacter(text[at + word.size()]);
    if (before && after) return true;
  }
  return false;
}

// The words of a command line: quoted parts whole, without their quotes.
std::vector<wstring> Words(const wstring& text) {
  std::vector<wstring> words;
  size_t at = 0;
  while (at < text.size()) {
    if (text[at] == L' ' || text[at] == L'\t') {
      at++;
      continue;
    }
    size_t end = text[at] == L'"' ? text.find(L'"', at + 1) : text.find_first_of(L" \t", at);
    if (end == wstring::npos) end = text.size();
    words.push_back(text.substr(text[at] == L'"' ? at + 1 : at, end - at - (text[at] == L'"' ? 1 : 0)));
    at = end + 1;
  }
  return words;
}

// PowerShell takes any abbreviation of -EncodedCommand ("-e", "-enc", "-ec").
bool HasEncodedCommand(const std::vector<wstring>& words) {
  const wstring full = L"encodedcommand";
  for (const wstring& word : words) {
    if (word.size() < 2 || (word[0] != L'-' && word[0] != L'/')) continue;
    wstring name = word.substr(1);
    if (name == L"ec" || StartsWith(full, name)) return true;
  }
  return false;
}

bool HasUrl(const wstring& text) {
  return Contains(text, L"http:") || Contains(text, L"https:") || Contains(text, L"ftp:") ||
         Contains(text, L"\\\\http");
}

bool PowerShellFetchesOrHides(const wstring& text) {
  static const wchar_t* const kCalls[] = {L"downloadstring",     L"downloadfile",      L"downloaddata",
                                          L"invoke-webrequest",  L"invoke-restmethod", L"net.webclient",
                                          L"start-bitstransfer", L"invoke-expression", L"frombase64string"};
  for (const wchar_t* call : kCalls)
    if (Contains(text, call)) return true;
  for (const wchar_t* alias : {L"iex", L"iwr", L"irm", L"curl", L"wget"})
    if (HasWord(text, alias)) return true;
  return HasEncodedCommand(Words(text));
}

// The script a script host runs: the first word that is not a switch.
bool ScriptInWritableFolder(const std::vector<wstring>& words) {
  for (size_t i = 1; i < words.size(); i++)
    if (!words[i].empty() && words[i][0] != L'/' && words[i][0] != L'-') return InWritableFolder(words[i]);
  return false;
}

bool Hidden(const wstring& text, int depth);

// cmd runs what follows "/c" or "/k": any of the hosts found there is judged on
// the text from its own name on.
bool CommandShellRunsHidden(const wstring& text, int depth) {
  static const wchar_t* const kHosts[] = {L"powershell", L"pwsh",      L"mshta",   L"rundll32", L"regsvr32",
                                          L"certutil",   L"bitsadmin", L"wscript", L"cscript",  L"cmd"};
  size_t rest = text.find(L' ');
  if (rest == wstring::npos) return false;
  for (const wchar_t* host : kHosts) {
    for (size_t at = text.find(host, rest); at != wstring::npos; at = text.find(host, at + 1)) {
      size_t start = text.find_last_of(L" \t\"&|(", at);
      wstring part = text.substr(start == wstring::npos ? 0 : start + 1);
      if (Hidden(part, depth + 1)) return true;
    }
  }
  return false;
}

// `program`: the stem of the file the command starts.
bool HiddenFor(const wstring& text, const wstring& program, int depth) {
  if (depth > kDeepestNesting) return true;
  if (program == L"powershell" || program == L"pwsh") return PowerShellFetchesOrHides(text);
  if (program == L"mshta") return HasUrl(text) || Contains(text, L"javascript:") || Contains(text, L"vbscript:");
  if (program == L"rundll32") return HasUrl(text) || Contains(text, L"javascript:");
  if (program == L"regsvr32") return (Contains(text, L"/i:") || Contains(text, L"-i:")) && HasUrl(text);
  if (program == L"certutil") return Contains(text, L"urlcache") || Contains(text, L"verifyctl") || HasUrl(text);
  if (program == L"bitsadmin")
    return Contains(text, L"/transfer") || Contains(text, L"/addfile") || Contains(text, L"/download") || HasUrl(text);
  if (program == L"wscript" || program == L"cscript") return ScriptInWritableFolder(Words(text));
  if (program == L"cmd") return CommandShellRunsHidden(text, depth);
  return false;
}

wstring ProgramStem(const wstring& command) { return Stem(Text::Lower(ModuleProcess::ProgramFile(command))); }

bool Hidden(const wstring& text, int depth) { return HiddenFor(text, ProgramStem(text), depth); }

// The library or script a host program is handed: rundll32's "path,entry",
// regsvr32's and the script hosts' first file.
wstring HostedFile(const wstring& text, const wstring& program) {
  if (program != L"rundll32" && program != L"regsvr32" && program != L"wscript" && program != L"cscript" &&
      program != L"mshta")
    return {};
  std::vector<wstring> words = Words(text);
  for (size_t i = 1; i < words.size(); i++) {
    if (words[i].empty() || words[i][0] == L'/' || words[i][0] == L'-') continue;
    return words[i].substr(0, words[i].find(L','));
  }
  return {};
}

// What a clean Windows itself starts from the user's own folder: the OneDrive
// client it installs for each user, and its updater. Only a file Microsoft's by its
// version resource: one merely named so is judged like any other.
bool IsWindowsOwnInProfile(const wstring& normal) {
  static const wstring folder = Normal(L"%LOCALAPPDATA%\\Microsoft\\OneDrive") + L"\\";
  if (Contains(folder, L"%") || !StartsWith(normal, folder)) return false;
  wstring name = normal.substr(folder.size());
  if (name != L"onedrive.exe" && name != L"onedrivestandaloneupdater.exe") return false;
  return ModuleFileInfo::GetFileCompany(normal) == L"Microsoft Corporation";
}

Reason JudgePath(const wstring& path) {
  if (path.empty()) return Reason::None;
  wstring normal = NormalPath(path);
  if (InWritableFolder(path) && !IsWindowsOwnInProfile(normal)) return Reason::WritableFolder;
  Files::RealSystemFolder real;  // Windows starts an entry's program from the real System32
  // Asked as written: a name in another letter case costs Wine a read of each folder.
  if (IsRooted(normal) && !Files::Exists(Expanded(path, true))) return Reason::MissingFile;
  return Reason::None;
}

}  // namespace

bool InWritableFolder(const wstring& path) {
  wstring normal = NormalPath(path);
  if (normal.size() >= 2 && normal[0] == L'"') normal = NormalPath(normal.substr(1, normal.find(L'"', 1) - 1));
  if (!IsRooted(normal)) return false;
  if (StartsWith(normal, L"\\\\") || Files::OnRemovableOrNetworkDrive(normal)) return true;
  if (Contains(normal, L"\\$recycle.bin\\") || Contains(normal, L"\\recycler\\")) return true;
  // Anyone may put a file straight into ProgramData; a program's own folder there is its installer's.
  static const wstring data = Normal(L"%ProgramData%");
  if (!Contains(data, L"%") && Folder(normal) == data) return true;
  for (const wstring& folder : WritableFolders())
    if (StartsWith(normal, folder)) return true;
  return false;
}

bool RunsHiddenContent(const wstring& command) { return Hidden(Normal(command), 0); }

// The program file is found once: finding it may look at the disk.
Reason JudgeCommand(const wstring& command) {
  const wstring normal = Normal(command), file = ModuleProcess::ProgramFile(command);
  const wstring program = Stem(Text::Lower(file));
  if (HiddenFor(normal, program, 0)) return Reason::HiddenContent;
  Reason reason = JudgePath(file);
  if (reason != Reason::None) return reason;
  return JudgePath(HostedFile(normal, program));
}

Reason JudgeFile(const wstring& path) {
  wstring text = Text::Trim(path);
  if (text.size() >= 2 && text[0] == L'"') text = text.substr(1, text.find(L'"', 1) - 1);
  return JudgePath(text);
}

wstring ServiceCommand(const wstring& imagePath) {
  wstring text = Text::Trim(imagePath);
  bool quoted = !text.empty() && text[0] == L'"';
  wstring path = quoted ? text.substr(1) : text, lower = Text::Lower(path);
  wstring program = path.substr(0, path.find_first_of(L" \t\""));
  if (StartsWith(lower, L"\\??\\")) {
    path = path.substr(4);
  } else if (StartsWith(lower, L"\\systemroot\\")) {
    path = System::WindowsFolder() + path.substr(11);
  } else if (!program.empty() && program[0] != L'\\' && program[0] != L'%' && !IsRooted(program) &&
             program.find(L'\\') != wstring::npos) {
    // The kernel reads a driver's path without a drive from the Windows folder.
    path = System::WindowsFolder() + L"\\" + path;
  }
  return quoted ? L"\"" + path : path;
}

Reason JudgeFixed(const wstring& entry, const std::vector<wstring>& windowsOwn) {
  Reason reason = JudgeCommand(entry);
  if (reason != Reason::None) return reason;
  for (const wstring& own : windowsOwn)
    if (Normal(own) == Normal(entry)) return Reason::None;
  return Reason::Unlisted;
}

}  // namespace ModuleSuspicious
