#include "syscheck/checks/ModuleInprocServers.h"

#include "platform/Registry.h"
#include "platform/Toolkit.h"
#include "syscheck/Detection.h"

namespace ModuleInprocServers {

bool Nameable(const std::wstring& classId) { return !classId.empty() && classId.find(L'\0') == std::wstring::npos; }

std::wstring ServerPath(const std::wstring& classId, Reg::View view) {
  if (!Nameable(classId)) return classId;
  Reg::Key key;
  Reg::Value server;
  if (Reg::Open(Reg::ClassesRoot, L"CLSID\\" + classId + L"\\InprocServer32", &key, view) != Reg::Ok) return classId;
  if (Reg::QueryValue(key, L"", &server) != Reg::Ok) return classId;
  std::wstring path = server.Text();
  return path.empty() ? classId : path;
}

void AskAboutEach(const wchar_t* tag, Reg::View view, const std::vector<std::wstring>& classIds,
                  const std::function<bool(const std::wstring& classId)>& remove,
                  const std::function<std::vector<ModuleBackup::Place>(const std::wstring& classId)>& placesOf) {
  for (const std::wstring& classId : classIds) {
    if (tk::Ending()) return;
    Detection::Finding finding;
    finding.tag = tag;
    finding.message = Detection::kMessage;
    finding.subject = ServerPath(classId, view);
    finding.keepsTrustList = true;
    // The user decided on the server shown; a class that names another one meanwhile is left alone.
    finding.clean = [&classId, view, shown = finding.subject, &remove] {
      return ServerPath(classId, view) == shown && remove(classId);
    };
    finding.places = placesOf(classId);
    finding.view = view;
    Detection::Handle(finding);
  }
}

}  // namespace ModuleInprocServers
