// Lines for whoever started the program from a command line. A redirected
// standard output or error (a file or a pipe) gets them in the ANSI code page, as
// the program's logs; otherwise the console of the starting process, when it has one.
#pragma once
#include <string>

namespace Console {

// One line, with its CR LF; nothing when there is nowhere to write.
void Out(const std::wstring& line);
void Err(const std::wstring& line);

}  // namespace Console
