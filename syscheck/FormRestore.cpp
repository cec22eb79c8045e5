#include "syscheck/FormRestore.h"

#include <vector>

#include "common/Skin.h"
#include "platform/Text.h"

namespace FormRestore {

tk::Control* ListBackups;
tk::Control* TextPlaces;
tk::Control* LabelNote;
tk::Control* LabelFolder;
tk::Control* CommandRestore;
tk::Control* CommandDelete;
tk::Control* CommandClose;

namespace {

tk::Form form;
// The backups in the order of the list's rows.
std::vector<ModuleBackup::Backup> Shown;
// Long subjects and places keep their start and end, as the prompt shows them.
constexpr size_t kShownCharacters = 120;

const wchar_t kPlacesHint[] = L"选中一个备份，这里列出恢复时将改动的每一处注册表位置。";

// Every place a restore writes: in a row each shortened as the prompt shortens, in
// the box below the list and in the questions whole, one a line.
std::wstring PlaceText(const ModuleBackup::Backup& backup) {
  std::wstring text;
  for (const ModuleBackup::Change& change : backup.changes) {
    if (!text.empty()) text += L"；";
    text += Text::ShortenMiddle(ModuleBackup::Describe(change.place), kShownCharacters);
  }
  return text;
}

std::wstring Lines(const std::vector<ModuleBackup::Place>& places) {
  std::wstring lines;
  for (const ModuleBackup::Place& place : places) lines += L"\r\n" + ModuleBackup::Describe(place);
  return lines;
}

std::wstring PlaceLines(const ModuleBackup::Backup& backup) {
  std::vector<ModuleBackup::Place> places;
  for (const ModuleBackup::Change& change : backup.changes) places.push_back(change.place);
  return Lines(places);
}

void ShowPlaces() {
  std::wstring text;
  for (int row : tk::ListSelection(ListBackups)) {
    const ModuleBackup::Backup& backup = Shown[row];
    if (!text.empty()) text += L"\r\n";
    if (backup.damaged)
      text += L"（已损坏，不能恢复）" + backup.file;
    else
      text += backup.time + L"  " + backup.tag + L"  恢复将改动：" + PlaceLines(backup);
  }
  tk::SetCaption(TextPlaces, text.empty() ? kPlacesHint : text);
}

std::wstring Error(unsigned long error) { return L"（错误 " + std::to_wstring(error) + L"）"; }

// Rows are taken from the bottom up, so the indexes of the rows above stay valid.
void ForEachSelectedFromBottom(void (*act)(int row)) {
  std::vector<int> rows = tk::ListSelection(ListBackups);
  for (auto row = rows.rbegin(); row != rows.rend(); ++row) act(*row);
}

void Drop(int row) {
  Shown.erase(Shown.begin() + row);
  tk::ListRemove(ListBackups, row);
  ShowPlaces();
}

void RestoreRow(int row) {
  const ModuleBackup::Backup& backup = Shown[row];
  if (backup.damaged) {
    tk::MsgBox(form, L"备份文件已损坏，无法恢复：" + backup.file, tk::Icon::Error);
    return;
  }
  std::wstring places = PlaceLines(backup);
  std::vector<ModuleBackup::Place> unreadable;
  bool changed = ModuleBackup::ChangedSince(backup, &unreadable);
  if (!unreadable.empty()) {
    tk::MsgBox(form, L"无法读取这里，不能恢复：" + Lines(unreadable), tk::Icon::Error);
    return;
  }
  if (changed && !tk::AskYesNo(form, L"清除之后这里又被改动过：" + places + L"\r\n\r\n仍要用备份覆盖现在的内容吗？"))
    return;
  unsigned long error = 0;
  if (!ModuleBackup::Restore(backup, &error)) {
    tk::MsgBox(form, L"无法恢复" + Error(error) + L"：" + places, tk::Icon::Error);
    return;
  }
  if (error != 0) {  // restored; only the file stays, and with it the row
    tk::MsgBox(form,
               L"已恢复。但备份文件无法删除" + Error(error) + L"：" + backup.file + L"\r\n可以稍后用“删除备份”删除它。",
               tk::Icon::Information);
    return;
  }
  Drop(row);
}

void DeleteRow(int row) {
  unsigned long error = 0;
  if (!ModuleBackup::Delete(Shown[row], &error)) {
    tk::MsgBox(form, L"无法删除备份" + Error(error) + L"：" + Shown[row].file, tk::Icon::Error);
    return;
  }
  Drop(row);
}

void CommandRestore_Click() { ForEachSelectedFromBottom(RestoreRow); }

void CommandDelete_Click() {
  size_t count = tk::ListSelection(ListBackups).size();
  if (count == 0) return;
  if (!tk::AskYesNo(form, L"删除选中的 " + std::to_wstring(count) + L" 个备份吗？删除后这些项目无法再恢复。")) return;
  ForEachSelectedFromBottom(DeleteRow);
}

void CommandClose_Click() { Unload(); }

void Design(tk::Form& f) {
  ListBackups = tk::AddList(f, nullptr, L"ListBackups", 8, 8, 584, 176, true);
  TextPlaces = tk::AddText(f, nullptr, L"TextPlaces", 8, 190, 584, 60, tk::TextLines::Wrapped);
  LabelNote = tk::AddLabel(f, nullptr, L"LabelNote",
                           L"这里可以恢复清除时改动的注册表项目和移走的文件；已结束的进程无法恢复。", 8, 256, 584, 16);
  LabelFolder = tk::AddLabel(f, nullptr, L"LabelFolder", L"备份保存在：" + ModuleBackup::Folder(), 8, 274, 584, 16);
  CommandRestore = tk::AddButton(f, nullptr, L"CommandRestore", L"恢复", 8, 298, 88, 24);
  CommandDelete = tk::AddButton(f, nullptr, L"CommandDelete", L"删除备份", 104, 298, 88, 24);
  CommandClose = tk::AddButton(f, nullptr, L"CommandClose", L"关闭", 504, 298, 88, 24);
  ListBackups->Click = ShowPlaces;
  CommandRestore->Click = CommandRestore_Click;
  CommandDelete->Click = CommandDelete_Click;
  CommandClose->Click = CommandClose_Click;
}

void Form_Load() {
  Skin::ApplyDefaultFont(form);
  Shown = ModuleBackup::List();
  for (const ModuleBackup::Backup& backup : Shown) tk::ListAdd(ListBackups, RowText(backup));
  tk::SetReadOnly(TextPlaces, true);
  ShowPlaces();
}

}  // namespace

std::wstring RowText(const ModuleBackup::Backup& backup) {
  if (backup.damaged) return L"（已损坏）" + backup.file;
  std::wstring subject = Text::ShortenMiddle(backup.subject, kShownCharacters);
  return backup.time + L"  " + backup.tag + L"  " + subject + L"  " + PlaceText(backup);
}

tk::Form& Get() {
  if (!form.Design) {
    form.name = L"FormRestore";
    form.caption = L"恢复已清除项目";
    form.width = 600;
    form.height = 330;
    form.backColor = Skin::kDialogBack;
    form.Design = Design;
    form.Load = Form_Load;
  }
  tk::Load(form);
  return form;
}

void ShowModal(tk::Form& owner) {
  Get();
  tk::ShowModal(form, &owner);
  Unload();
}

void Unload() { tk::Unload(form); }

}  // namespace FormRestore
