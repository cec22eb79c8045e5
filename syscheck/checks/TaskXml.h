// Reading a scheduled task's file: the programs its actions start. The file is
// whatever anyone with the rights put there, so nothing in it is trusted: any
// bytes give an answer, and what cannot be read as a task gives no action.
#pragma once
#include <string>
#include <vector>

namespace TaskXml {

// One action that starts a program: the task's <Exec> with its <Command> and <Arguments>.
struct Action {
  std::wstring command;
  std::wstring arguments;
  bool operator==(const Action& other) const { return command == other.command && arguments == other.arguments; }
};

// The text of the file's bytes: UTF-16 (little-endian, as Windows writes it, or
// big-endian) by its byte-order mark or by a first character '<' without one,
// else UTF-8 with or without its mark; invalid UTF-8 reads as U+FFFD.
std::wstring Decode(const std::string& bytes);

// The Exec actions of a task file, in order; none when the bytes are not a
// well-formed element tree (truncated, binary, a tag left open or closed twice,
// an unknown entity). Tag names may carry a namespace prefix; COM handlers and
// other actions are passed over.
std::vector<Action> ExecActions(const std::string& bytes);

// The command line the action runs: the command, quoted when it holds a space
// and is not quoted already, then its arguments.
std::wstring CommandLine(const Action& action);

}  // namespace TaskXml
