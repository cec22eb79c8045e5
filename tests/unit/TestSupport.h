// Shared helpers of the in-process tests.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/Version.h"

namespace testsupport {

// Deletes a registry key and everything below it.
void DeleteTree(HKEY root, const std::wstring& path);
// Handles pending window messages, drops a quit left by an unloaded last form and
// lets the forms load again after the program's end.
void Pump();
// Sends a mouse message to a control, as the pointer would.
void Mouse(void* hwnd, UINT message, int x = 2, int y = 2);
void Click(void* hwnd);
// Records every sound started while it lives.
struct SoundLog {
  SoundLog();
  ~SoundLog();
  static std::vector<std::wstring> played;
};

}  // namespace testsupport

namespace testsupport {

// Answers detection prompts and acknowledges message boxes as they appear,
// from a timer that runs inside the program's modal loops.
class Answerer {
 public:
  explicit Answerer(std::vector<std::wstring> answers);
  ~Answerer();
  std::vector<std::wstring> warnings;  // prompt texts, in order
  std::vector<std::wstring> messages;  // message box texts, in order
  std::vector<HWND> owners;            // each box's owner, and whether it was enabled
  std::vector<bool> ownersEnabled;
  size_t next = 0;
  std::vector<std::wstring> answers;
  // Typed into input boxes in turn; kCancel presses "取消".
  std::vector<std::wstring> inputs;
  size_t nextInput = 0;
  static constexpr const wchar_t* kCancel = L"<cancel>";
  // Runs when a prompt is seen, before it is answered.
  std::function<void()> onPrompt;
};

// Starts the stand-in process (`program` beside the tests) copied under `imageName` in `folder`.
PROCESS_INFORMATION StartSleeper(const std::wstring& folder, const std::wstring& imageName,
                                 const std::wstring& program = L"sleeper.exe");
bool Alive(const PROCESS_INFORMATION& process);
void EndProcess(PROCESS_INFORMATION& process);
std::wstring TestFolder();
// Polls until the condition holds or a generous time has passed.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 10000);
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
// The hook signature, built at run time so that the test program's own bytes do not carry it.
std::string HookSignature();
// A library built beside the tests with a crafted version resource, by its short name ("ms", "none", ...).
std::wstring FixtureLibrary(const std::wstring& name);
// A copy of a fixture library with the signature in its DOS stub (its first bytes).
void PlaceHookLibrary(const std::wstring& fixture, const std::wstring& path);
// What the scan has read of a file when it asks for the publisher.
std::string ScanHead(const std::wstring& path);
// The .dll and .exe files of a folder.
std::vector<std::wstring> Images(const std::wstring& folder);
// Reads the file's version block through the system's calls, through Version::ReadBlock
// and from its bytes after `head`: wherever the bytes answer, all say the same, to
// the byte. The bytes answer alike whether or not they are told that a head shorter
// than the scan's is the whole file. Returns what the bytes said.
Version::Answer ExpectTheSystemsVersionBlock(const std::wstring& path, const std::string& head);

}  // namespace testsupport
