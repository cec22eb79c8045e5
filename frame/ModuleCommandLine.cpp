#include "frame/ModuleCommandLine.h"

#include "filescan/ModuleScanDisk.h"
#include "frame/ModuleSetAutoRun.h"
#include "platform/Console.h"
#include "platform/Files.h"
#include "platform/Instance.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "platform/Toolkit.h"
#include "report/FormReport.h"
#include "report/ModuleEventLog.h"
#include "report/ModuleJsonReport.h"
#include "syscheck/SystemCheck.h"

namespace ModuleCommandLine {
namespace {

const wchar_t kUsage[] =
    L"用法：Quorrel2006.exe [/check [/clean]] [/scan 路径] [/report 文件]\r\n"
    L"  /check        不打开窗口查杀系统；发现的项目一律跳过，不作任何改动\r\n"
    L"  /clean        与 /check 同用：清除每个未被信任的项目（清除前备份，可在“已清除项目”中恢复）\r\n"
    L"  /scan 路径    不打开窗口扫描文件夹或驱动器中的可疑文件\r\n"
    L"  /report 文件  把这次发现的项目写入 UTF-8 JSON Lines 文件；给出文件夹时写入其中的\r\n"
    L"                check-日期-时间.jsonl\r\n"
    L"  /?            显示本说明\r\n"
    L"开关不分大小写，可用 - 代替 /。/check 与 /scan 可同用。\r\n"
    L"退出码：0 未发现任何项目；1 有发现，均已按要求处理；2 有项目清除失败；\r\n"
    L"        3 参数错误；4 另一个命令行运行正在进行。";

// Command-line runs change the machine's registry: one at a time on the whole
// machine, whoever starts it. The window copy is no obstacle.
const wchar_t kRunClaim[] = L"Global\\Zorvane.CommandLine";

std::wstring SwitchName(const std::wstring& word) {
  std::wstring name = Text::Lower(word);
  if (!name.empty() && name[0] == L'-') name[0] = L'/';
  return name;
}

bool IsSwitch(const std::wstring& word) {
  std::wstring name = SwitchName(word);
  return name == L"/?" || name == L"/check" || name == L"/clean" || name == L"/scan" || name == L"/report" ||
         name == ModuleSetAutoRun::kLogonArgument;
}

// "/scan PATH", "/report FILE": the word after the switch.
std::wstring TakeOperand(const std::vector<std::wstring>& words, size_t* i, std::wstring* operand) {
  const std::wstring name = SwitchName(words[*i]);
  if (!operand->empty()) return L"参数重复：" + name;
  if (*i + 1 == words.size() || words[*i + 1].empty() || IsSwitch(words[*i + 1]))
    return name == L"/scan" ? L"/scan 后缺少要扫描的路径。" : L"/report 后缺少报告文件名。";
  *operand = words[++*i];
  return {};
}

std::wstring TakeFlag(const std::wstring& name, bool* flag) {
  if (*flag) return L"参数重复：" + name;
  *flag = true;
  return {};
}

std::wstring TakeWord(const std::vector<std::wstring>& words, size_t* i, Request* request) {
  const std::wstring name = SwitchName(words[*i]);
  if (name == L"/check") return TakeFlag(name, &request->check);
  if (name == L"/clean") return TakeFlag(name, &request->clean);
  if (name == L"/scan") return TakeOperand(words, i, &request->scanPath);
  if (name == L"/report") return TakeOperand(words, i, &request->reportFile);
  if (name == ModuleSetAutoRun::kLogonArgument) return L"/logon 不能与其它参数同用。";
  return L"未知的参数：" + words[*i];
}

// A drive as "D:" means the drive's current folder to Windows; here it means the drive.
std::wstring ScanTarget(const std::wstring& path, std::wstring* problem) {
  std::wstring full;
  if (path.size() == 2 && path[1] == L':') full = path + L"\\";
  if (full.empty() && !Files::FullPath(path, &full)) full = path;
  if (Files::FolderExists(full)) return full;
  *problem = Files::Exists(full) ? L"要扫描的路径不是文件夹或驱动器：" + path : L"要扫描的路径不存在：" + path;
  return {};
}

std::wstring ReportTarget(const std::wstring& file, std::wstring* problem) {
  std::wstring full;
  if (!Files::FullPath(file, &full)) full = file;
  std::wstring target = ModuleJsonReport::Target(full, System::LocalTimestamp());
  std::wstring folder = target.substr(0, target.find_last_of(L'\\'));
  if (Files::FolderExists(folder) && Files::CanWriteIn(folder)) return target;
  *problem = L"无法在报告文件所在的文件夹中写入：" + folder;
  return {};
}

// The paths made full, so the run does not depend on where it was started from.
std::wstring Validate(Request* request) {
  std::wstring problem;
  if (!request->scanPath.empty()) request->scanPath = ScanTarget(request->scanPath, &problem);
  if (problem.empty() && !request->reportFile.empty())
    request->reportFile = ReportTarget(request->reportFile, &problem);
  return problem;
}

std::wstring OneLine(std::wstring text) {
  for (wchar_t& c : text)
    if (c == L'\r' || c == L'\n') c = L' ';
  return text;
}

void ShowUsage() {
  Console::Out(kUsage);
  tk::SetApplicationTitle(L"Zorvane");
  tk::Form none;  // no owner: the box stands alone
  tk::MsgBox(none, kUsage, tk::Icon::Information);
}

// The report lines go to the output as the window would show them; the CLEANs the
// system refused, and a log that could not be saved, to the error output.
void RunCheck(bool clean) {
  SystemCheck::RunUnattended(clean);
  for (const std::wstring& item : Detection::NeedsAdministrator)
    Console::Err(L"需要管理员权限才能清除，这次没有清除：" + item);
  if (!FormReport::HasFindings()) return;
  Console::Out(FormReport::ReportText().substr(std::wstring(FormReport::kHeader).size() + 2));
  std::wstring problem = FormReport::SaveLog(FormReport::DefaultLogName());
  if (!problem.empty()) Console::Err(OneLine(problem));
}

// A suspicious file is left as it is: recorded as skipped, as the check's findings are by default.
void RunScan(const std::wstring& path, std::vector<Detection::Record>* records) {
  ModuleScanDisk::Sink sink;
  sink.found = [records](const std::wstring& file, const std::wstring& company) {
    records->push_back(ModuleEventLog::ScanRecord(file, company));
    Console::Out(ModuleScanDisk::FindingText(file, company));
  };
  ModuleScanDisk::Start({path});
  ModuleScanDisk::RunQueue(sink);
}

int ExitCodeOf(const ModuleEventLog::Summary& summary) {
  if (summary.failed > 0) return kCleanFailed;
  return summary.found > 0 ? kFindings : kNothingFound;
}

int Refuse(const std::wstring& problem) {
  Console::Err(problem);
  Console::Err(kUsage);
  return kBadArguments;
}

}  // namespace

std::wstring Parse(const std::vector<std::wstring>& words, Request* request) {
  for (const std::wstring& word : words)
    if (SwitchName(word) == L"/?") {
      request->usage = true;
      return {};
    }
  for (size_t i = 0; i < words.size(); i++) {
    std::wstring problem = TakeWord(words, &i, request);
    if (!problem.empty()) return problem;
  }
  if (request->clean && !request->check) return L"/clean 只能与 /check 同用。";
  if (!request->reportFile.empty() && !request->check && request->scanPath.empty())
    return L"/report 只能与 /check 或 /scan 同用。";
  return {};
}

bool Given() {
  std::wstring arguments = Text::Trim(System::CommandArguments());
  return !arguments.empty() && Text::Lower(arguments) != ModuleSetAutoRun::kLogonArgument;
}

int Run() {
  Request request;
  std::wstring problem = Parse(System::CommandArgumentList(), &request);
  if (!problem.empty()) return Refuse(problem);
  if (request.usage) {
    ShowUsage();
    return kNothingFound;
  }
  problem = Validate(&request);
  if (!problem.empty()) return Refuse(problem);
  if (!Instance::ClaimFirst(kRunClaim)) {
    Console::Err(L"另一个 Zorvane 命令行运行正在进行，这次没有运行。");
    return kAnotherRun;
  }
  double started = System::Milliseconds();
  std::vector<Detection::Record> records;
  if (request.check) {
    RunCheck(request.clean);
    records = Detection::Records;
  }
  if (!request.scanPath.empty()) RunScan(request.scanPath, &records);
  ModuleEventLog::Summary summary = ModuleEventLog::Summarize(records, (System::Milliseconds() - started) / 1000);
  unsigned long error = 0;
  if (!request.reportFile.empty() && !ModuleJsonReport::Write(request.reportFile, records, summary, &error))
    Console::Err(L"报告写入失败（错误 " + std::to_wstring(error) + L"）：" + request.reportFile);
  ModuleEventLog::WriteRun(records, summary);
  return ExitCodeOf(summary);
}

}  // namespace ModuleCommandLine
