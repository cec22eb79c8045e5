// The "可疑文件查询" page: its panel and controls on the main window, and the query,
// which puts the named file to the scan's own hook-signature test.
#pragma once
#include <string>
#include <vector>

#include "platform/Toolkit.h"

namespace QueryPage {

// Creates the panel and its controls on `form`, which owns the page's dialogs.
void Design(tk::Form& form);

// The query button, pressed with any mouse button: examines the file named in the
// field and tells the user what was found.
void ImageOK_MouseDown(const tk::Mouse& mouse);
// Fills the field with a file chosen in the shell's file chooser.
void CommandBrowse_Click();
// Files dropped on the panel (the field included): the first one fills the field.
void PictureKyAsk_FilesDropped(const std::vector<std::wstring>& paths);
// The file name the field holds, as the query uses it: surrounding quotes and
// spaces removed, environment references expanded.
std::wstring FileName(const std::wstring& field);

extern tk::Control* PictureKyAsk;
extern tk::Control* TextKyFile;
extern tk::Control* ImageOK[2];
extern tk::Control* Label1;
extern tk::Control* CommandBrowse;

}  // namespace QueryPage
