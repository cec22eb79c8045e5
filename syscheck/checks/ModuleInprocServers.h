// What the browser helper object and ShellExecute hook checks share: every
// registered class identifier is put to the user, showing the in-process server
// its class names.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "syscheck/ModuleBackup.h"

namespace ModuleInprocServers {

// A class identifier the wide calls can put in a path: not empty and without a
// NUL, where a path would end and so name another key.
bool Nameable(const std::wstring& classId);

// The default value of HKEY_CLASSES_ROOT "CLSID\<classId>\InprocServer32" in one
// view, read whole. The class identifier itself when the class names no server
// there, so an entry never shows another entry's path.
std::wstring ServerPath(const std::wstring& classId, Reg::View view = Reg::Own);

// Asks about each class identifier of a snapshot of one place in one view, in
// order, under `tag`; the servers are read from the same view's classes. `remove`
// takes the registration away and says whether it did; it runs only while the
// class still names the server the user was shown. `placesOf` names the registry
// places `remove` changes, for the backup.
void AskAboutEach(const wchar_t* tag, Reg::View view, const std::vector<std::wstring>& classIds,
                  const std::function<bool(const std::wstring& classId)>& remove,
                  const std::function<std::vector<ModuleBackup::Place>(const std::wstring& classId)>& placesOf);

}  // namespace ModuleInprocServers
