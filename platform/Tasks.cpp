#include "platform/Tasks.h"

#include <windows.h>

#include <initguid.h>  // the scheduler's class and interface ids are defined here
#include <taskschd.h>

namespace Tasks {
namespace {

// An interface pointer that releases itself.
template <typename T>
class Com {
 public:
  Com() = default;
  ~Com() {
    if (p_) p_->Release();
  }
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  T* operator->() const { return p_; }
  T* Get() const { return p_; }
  T** Out() { return &p_; }
  void** OutVoid() { return reinterpret_cast<void**>(&p_); }

 private:
  T* p_ = nullptr;
};

// A BSTR that frees itself.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::wstring& text) : b_(SysAllocStringLen(text.data(), (UINT)text.size())) {}
  ~Bstr() { SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR Get() const { return b_; }
  BSTR* Out() { return &b_; }

 private:
  BSTR b_ = nullptr;
};

// COM for the length of one operation, on this thread; a thread already set up
// otherwise keeps its setup.
class Apartment {
 public:
  Apartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~Apartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;

 private:
  HRESULT hr_;
};

// The scheduler, reached as the current user.
HRESULT Connect(Com<ITaskService>* service) {
  HRESULT hr =
      CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService, service->OutVoid());
  if (FAILED(hr)) return hr;
  VARIANT none;
  VariantInit(&none);
  return (*service)->Connect(none, none, none, none);
}

// "\A\B\Name" is the task "Name" in the folder "\A\B"; a name without a folder
// is in the root folder.
void Split(const std::wstring& path, std::wstring* folder, std::wstring* name) {
  size_t slash = path.rfind(L'\\');
  *name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  *folder = slash == std::wstring::npos || slash == 0 ? L"\\" : path.substr(0, slash);
  if ((*folder)[0] != L'\\') *folder = L"\\" + *folder;
}

// The folder of the task `path` names, made with the folders above it when `make` is set.
HRESULT FolderOf(const std::wstring& path, bool make, Com<ITaskFolder>* folder, std::wstring* name) {
  Com<ITaskService> service;
  HRESULT hr = Connect(&service);
  if (FAILED(hr)) return hr;
  std::wstring folderPath;
  Split(path, &folderPath, name);
  Bstr wanted(folderPath);
  hr = service->GetFolder(wanted.Get(), folder->Out());
  if (hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) hr = NotFound;  // no folder: no task in it either
  if (SUCCEEDED(hr) || !make) return hr;
  Com<ITaskFolder> root;
  Bstr rootPath(L"\\");
  hr = service->GetFolder(rootPath.Get(), root.Out());
  if (FAILED(hr)) return hr;
  VARIANT none;
  VariantInit(&none);
  return root->CreateFolder(wanted.Get(), none, folder->Out());
}

HRESULT Find(const std::wstring& path, Com<IRegisteredTask>* task) {
  Com<ITaskFolder> folder;
  std::wstring name;
  HRESULT hr = FolderOf(path, false, &folder, &name);
  if (FAILED(hr)) return hr;
  Bstr taskName(name);
  return folder->GetTask(taskName.Get(), task->Out());
}

HRESULT ExecPath(IRegisteredTask* task, std::wstring* path) {
  Com<ITaskDefinition> definition;
  Com<IActionCollection> actions;
  Com<IAction> action;
  Com<IExecAction> exec;
  Bstr text;
  HRESULT hr = task->get_Definition(definition.Out());
  if (SUCCEEDED(hr)) hr = definition->get_Actions(actions.Out());
  if (SUCCEEDED(hr)) hr = actions->get_Item(1, action.Out());  // the collection counts from 1
  if (SUCCEEDED(hr)) hr = action->QueryInterface(IID_IExecAction, exec.OutVoid());
  if (SUCCEEDED(hr)) hr = exec->get_Path(text.Out());
  if (FAILED(hr)) return hr;
  *path = text.Get() ? std::wstring(text.Get(), SysStringLen(text.Get())) : std::wstring();
  return S_OK;
}

}  // namespace

long Available() {
  Apartment com;
  Com<ITaskService> service;
  return Connect(&service);
}

long Register(const std::wstring& path, const std::wstring& xml, Logon logon) {
  Apartment com;
  Com<ITaskFolder> folder;
  std::wstring name;
  HRESULT hr = FolderOf(path, true, &folder, &name);
  if (FAILED(hr)) return hr;
  Bstr taskName(name), taskXml(xml);
  VARIANT none;
  VariantInit(&none);
  Com<IRegisteredTask> task;
  TASK_LOGON_TYPE type = logon == Logon::Interactive ? TASK_LOGON_INTERACTIVE_TOKEN : TASK_LOGON_NONE;
  return folder->RegisterTask(taskName.Get(), taskXml.Get(), TASK_CREATE_OR_UPDATE, none, none, type, none, task.Out());
}

long Delete(const std::wstring& path) {
  Apartment com;
  Com<ITaskFolder> folder;
  std::wstring name;
  HRESULT hr = FolderOf(path, false, &folder, &name);
  if (FAILED(hr)) return hr;
  Bstr taskName(name);
  return folder->DeleteTask(taskName.Get(), 0);
}

long ActionPath(const std::wstring& path, std::wstring* program) {
  Apartment com;
  Com<IRegisteredTask> task;
  HRESULT hr = Find(path, &task);
  return FAILED(hr) ? hr : ExecPath(task.Get(), program);
}

long Running(const std::wstring& path, bool* running) {
  Apartment com;
  Com<IRegisteredTask> task;
  HRESULT hr = Find(path, &task);
  TASK_STATE state = TASK_STATE_UNKNOWN;
  if (SUCCEEDED(hr)) hr = task->get_State(&state);
  if (FAILED(hr)) return hr;
  *running = state == TASK_STATE_RUNNING;
  return S_OK;
}

}  // namespace Tasks
