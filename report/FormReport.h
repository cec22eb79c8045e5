// The report buffer and the report window "查杀报告" with its saved logs.
#pragma once
#include <string>

#include "platform/Toolkit.h"

namespace FormReport {

constexpr wchar_t kHeader[] = L"Zorvane 病毒木马查杀结果：\r\n";

// The form, loaded (hidden) on first reference.
tk::Form& Get();
void Unload();

// From now on the buffer lives without its window: nothing loads the form, for a
// run that may create no window at all.
void WithoutWindow();

// The buffer: the text of TextReport. Reading it loads the window hidden.
std::wstring ReportText();
// Appends CR LF and the line.
void AppendReportLine(const std::wstring& line);
// True when something was appended since the header.
bool HasFindings();

// The default log name: today's short date, characters a file name cannot hold as "-".
std::wstring DefaultLogName();
// Empty when the name can be a file in the log folder, else why not.
std::wstring LogNameProblem(const std::wstring& name);
// Saves the report in the log folder as `name`: empty when saved, else what went wrong.
std::wstring SaveLog(const std::wstring& name);
// Opens the folder of the saved logs in the file browser ("历史记录").
void OpenLogFolder();
// The save steps of the window; public for the tests.
void ImageSave_MouseDown(const tk::Mouse&);

extern tk::Control* TextReport;
extern tk::Control* ImageViewHistory[2];
extern tk::Control* ImageSave[2];
extern tk::Control* ImageOK[2];
extern tk::Control* LabelFolder;

}  // namespace FormReport
