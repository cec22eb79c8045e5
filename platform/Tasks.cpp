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

// The scheduler's root folder, reached as the current user.
HRESULT Root(Com<ITaskFolder>* folder) {
  Com<ITaskService> service;
  HRESULT hr =
      CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService, service.OutVoid());
  if (FAILED(hr)) return hr;
  VARIANT none;
  VariantInit(&none);
  hr = service->Connect(none, none, none, none);
  if (FAILED(hr)) return hr;
  Bstr root(L"\\");
  return service->GetFolder(root.Get(), folder->Out());
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
  Com<ITaskFolder> root;
  return Root(&root);
}

long Register(const std::wstring& name, const std::wstring& xml) {
  Apartment com;
  Com<ITaskFolder> root;
  HRESULT hr = Root(&root);
  if (FAILED(hr)) return hr;
  Bstr taskName(name), taskXml(xml);
  VARIANT none;
  VariantInit(&none);
  Com<IRegisteredTask> task;
  return root->RegisterTask(taskName.Get(), taskXml.Get(), TASK_CREATE_OR_UPDATE, none, none,
                            TASK_LOGON_INTERACTIVE_TOKEN, none, task.Out());
}

long Delete(const std::wstring& name) {
  Apartment com;
  Com<ITaskFolder> root;
  HRESULT hr = Root(&root);
  if (FAILED(hr)) return hr;
  Bstr taskName(name);
  return root->DeleteTask(taskName.Get(), 0);
}

long ActionPath(const std::wstring& name, std::wstring* path) {
  Apartment com;
  Com<ITaskFolder> root;
  HRESULT hr = Root(&root);
  if (FAILED(hr)) return hr;
  Bstr taskName(name);
  Com<IRegisteredTask> task;
  hr = root->GetTask(taskName.Get(), task.Out());
  if (FAILED(hr)) return hr;
  return ExecPath(task.Get(), path);
}

}  // namespace Tasks
