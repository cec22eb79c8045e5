#include "tests/unit/CheckSupport.h"

#include <utility>

#include "frame/FormMain.h"
#include "report/FormReport.h"
#include "syscheck/Detection.h"
#include "syscheck/ModuleBackup.h"
#include "tests/unit/TestSupport.h"

namespace checksupport {
namespace {

StandInPrompt* current = nullptr;

std::wstring Answer(const std::wstring& warning) {
  StandInPrompt& prompt = *current;
  prompt.warnings.push_back(warning);
  if (prompt.onPrompt) prompt.onPrompt();
  size_t index = prompt.warnings.size() - 1;
  return index < prompt.answers.size() ? prompt.answers[index] : L"SKIP";
}

}  // namespace

StandInPrompt::StandInPrompt(std::vector<std::wstring> given) : answers(std::move(given)) {
  current = this;
  Detection::Prompt = Answer;
}

StandInPrompt::~StandInPrompt() {
  Detection::Prompt = Detection::PromptDetection;
  current = nullptr;
}

void ClearReport() {
  FormReport::Unload();
  testsupport::Pump();
}

std::vector<std::wstring> ReportLines() {
  std::wstring text = FormReport::ReportText().substr(std::wstring(FormReport::kHeader).size());
  std::vector<std::wstring> lines;
  size_t at = 0;
  while ((at = text.find(L"\r\n", at)) != std::wstring::npos) {
    at += 2;
    size_t end = text.find(L"\r\n", at);
    lines.push_back(text.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at));
  }
  return lines;
}

std::string WideBytes(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
}

void SetValue(HKEY root, const std::wstring& path, const std::wstring& name, const Stored& value) {
  HKEY key;
  if (RegCreateKeyW(root, path.c_str(), &key) != ERROR_SUCCESS) return;
  RegSetValueExW(key, name.c_str(), 0, value.type, reinterpret_cast<const BYTE*>(value.data.data()),
                 (DWORD)value.data.size());
  RegCloseKey(key);
}

bool GetValue(HKEY root, const std::wstring& path, const std::wstring& name, Stored* value) {
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &value->type, nullptr, &size);
  value->data.assign(size, '\0');
  if (rc == ERROR_SUCCESS && size)
    rc = RegQueryValueExW(key, name.c_str(), nullptr, &value->type, reinterpret_cast<BYTE*>(&value->data[0]), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

void DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name) {
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, name.c_str());
  RegCloseKey(key);
}

SavedValue::SavedValue(HKEY root, std::wstring path, std::wstring name)
    : root_(root), path_(std::move(path)), name_(std::move(name)) {
  HKEY key;
  keyExisted_ = RegOpenKeyExW(root_, path_.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
  if (keyExisted_) RegCloseKey(key);
  valueExisted_ = GetValue(root_, path_, name_, &value_);
}

void SavedValue::Restore() const {
  if (!keyExisted_) return testsupport::DeleteTree(root_, path_);
  if (valueExisted_) return SetValue(root_, path_, name_, value_);
  DeleteValue(root_, path_, name_);
}

ReadOnlyKey::ReadOnlyKey(HKEY root, std::wstring path, DWORD allowed) : root_(root), path_(std::move(path)) {
  HKEY key;
  if (RegOpenKeyExW(root_, path_.c_str(), 0, READ_CONTROL | WRITE_DAC, &key) != ERROR_SUCCESS) return;
  DWORD size = 0;
  RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
  former_.resize(size);
  if (size == 0 || RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, former_.data(), &size) != ERROR_SUCCESS)
    former_.clear();
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
  std::vector<BYTE> acl(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(everyone));
  InitializeAcl(reinterpret_cast<ACL*>(acl.data()), (DWORD)acl.size(), ACL_REVISION);
  AddAccessAllowedAce(reinterpret_cast<ACL*>(acl.data()), ACL_REVISION, allowed | WRITE_DAC, everyone);
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<ACL*>(acl.data()), FALSE);
  RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
  FreeSid(everyone);
  RegCloseKey(key);
}

void ReadOnlyKey::Restore() {
  HKEY key;
  if (RegOpenKeyExW(root_, path_.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) return;
  SECURITY_DESCRIPTOR open;
  InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE);  // no list: everyone may do anything
  RegSetKeySecurity(key, DACL_SECURITY_INFORMATION,
                    former_.empty() ? static_cast<PSECURITY_DESCRIPTOR>(&open) : former_.data());
  RegCloseKey(key);
}

std::vector<ModuleBackup::Backup> PlantBackup(const ModuleBackup::Backup& forged) {
  ModuleBackup::Backup parsed;
  EXPECT_TRUE(ModuleBackup::Parse(ModuleBackup::Format(forged), &parsed)) << "well-formed";
  CreateDirectoryW(ModuleBackup::Folder().c_str(), nullptr);
  testsupport::WriteFileBytes(ModuleBackup::Folder() + L"\\20261210-140322-001.bak", ModuleBackup::Format(forged));
  return ModuleBackup::List();
}

void CheckTest::SetUp() {
  tk::SetApplicationTitle(L"Zorvane");
  tk::Show(FormMain::Get());
  Detection::Owner = &FormMain::Get();
  ClearReport();
  for (const ModuleBackup::Backup& backup : ModuleBackup::List()) DeleteFileW(backup.file.c_str());
}

void CheckTest::TearDown() {
  Detection::Prompt = Detection::PromptDetection;
  FormMain::Form_Unload();
  testsupport::Pump();
}

}  // namespace checksupport
