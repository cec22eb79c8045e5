// Reading a task file: the Exec actions of what Windows writes, in each encoding
// a file may carry, and nothing from what is not a whole element tree.
#include <gtest/gtest.h>

#include "syscheck/checks/TaskXml.h"

namespace TaskXml {
void PrintTo(const Action& action, std::ostream* out) {
  *out << testing::PrintToString(action.command) << " " << testing::PrintToString(action.arguments);
}
}  // namespace TaskXml

namespace {

using TaskXml::Action;

std::string Utf16Le(const std::wstring& text, bool mark) {
  std::string bytes = mark ? "\xFF\xFE" : "";
  for (wchar_t c : text) {
    bytes += (char)(c & 0xFF);
    bytes += (char)(c >> 8);
  }
  return bytes;
}

std::string Utf8(const std::wstring& text, bool mark) {
  std::string bytes = mark ? "\xEF\xBB\xBF" : "";
  for (size_t i = 0; i < text.size(); i++) {
    unsigned long c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (c < 0x80) {
      bytes += (char)c;
    } else if (c < 0x800) {
      bytes += (char)(0xC0 | c >> 6);
      bytes += (char)(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      bytes += (char)(0xE0 | c >> 12);
      bytes += (char)(0x80 | (c >> 6 & 0x3F));
      bytes += (char)(0x80 | (c & 0x3F));
    } else {
      bytes += (char)(0xF0 | c >> 18);
      bytes += (char)(0x80 | (c >> 12 & 0x3F));
      bytes += (char)(0x80 | (c >> 6 & 0x3F));
      bytes += (char)(0x80 | (c & 0x3F));
    }
  }
  return bytes;
}

// A task as the scheduler writes it, around the given actions.
std::wstring Task(const std::wstring& actions) {
  const std::wstring head =
      LR"(<?xml version="1.0" encoding="UTF-16"?>
<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">
  <RegistrationInfo><Author>Contoso</Author><URI>\Contoso\Updater</URI></RegistrationInfo>
  <Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>
  <Principals><Principal id="Author"><UserId>S-1-5-18</UserId></Principal></Principals>
  <Actions Context="Author">
)";
  return head + actions + L"\n  </Actions>\n</Task>\n";
}

std::wstring Exec(const std::wstring& command, const std::wstring& arguments = L"") {
  return L"<Exec><Command>" + command + L"</Command>" +
         (arguments.empty() ? L"" : L"<Arguments>" + arguments + L"</Arguments>") + L"</Exec>";
}

const wchar_t kCom[] = L"<ComHandler><ClassId>{CA767AA8-9157-4604-B64B-40747123D5F2}</ClassId></ComHandler>";

TEST(TaskXml, ReadsTheExecActionsOfEachEncodingAndForm) {
  const std::wstring chinese = L"C:\\Users\\\x5F20\x4E09\\AppData\\a.exe";
  const struct {
    const char* name;
    std::string bytes;
    std::vector<Action> actions;
  } cases[] = {
      {"UTF-16LE with its mark, as Windows writes it",
       Utf16Le(Task(Exec(L"C:\\x\\a.exe", L"-q")), true),
       {{L"C:\\x\\a.exe", L"-q"}}},
      {"UTF-16LE without a mark", Utf16Le(Task(Exec(chinese)), false), {{chinese, L""}}},
      {"UTF-8 with its mark", Utf8(Task(Exec(chinese, L"/s")), true), {{chinese, L"/s"}}},
      {"UTF-8 without a mark", Utf8(Task(Exec(L"C:\\x\\\x00E9.exe")), false), {{L"C:\\x\\\x00E9.exe", L""}}},
      {"entities",
       Utf8(Task(Exec(L"C:\\a&amp;b\\x.exe", L"-x &quot;a&lt;b&gt;&apos; &#65;&#x42;&#x1F600;")), false),
       {{L"C:\\a&b\\x.exe", L"-x \"a<b>' AB\xD83D\xDE00"}}},
      {"CDATA, alone and amid text",
       Utf8(Task(Exec(L"<![CDATA[C:\\x\\a.exe]]>", L"-c <![CDATA[\"a&b<c\"]]> &amp; d")), false),
       {{L"C:\\x\\a.exe", L"-c \"a&b<c\" & d"}}},
      {"white space around the text",
       Utf16Le(
           Task(L"<Exec>\r\n <Command>\r\n\t C:\\x\\a.exe \t</Command>\r\n <Arguments>  -a  b </Arguments> </Exec>"),
           true),
       {{L"C:\\x\\a.exe", L"-a  b"}}},
      {"several actions, a COM handler between them",
       Utf16Le(Task(Exec(L"C:\\one.exe") + kCom + Exec(L"C:\\two.exe", L"2")), true),
       {{L"C:\\one.exe", L""}, {L"C:\\two.exe", L"2"}}},
      {"namespace prefixes",
       Utf8(L"<t:Task xmlns:t=\"http://schemas.microsoft.com/windows/2004/02/mit/task\"><t:Actions>"
            L"<t:Exec><t:Command>C:\\p.exe</t:Command><t:Arguments>-p</t:Arguments></t:Exec></t:Actions></t:Task>",
            false),
       {{L"C:\\p.exe", L"-p"}}},
      {"comments, a '>' in an attribute, an empty element",
       Utf8(Task(L"<!-- <Exec><Command>C:\\no.exe</Command></Exec> --><Exec id=\"a>b\"><WorkingDirectory/>"
                 L"<Command>C:\\yes.exe</Command></Exec>"),
            false),
       {{L"C:\\yes.exe", L""}}},
      {"a COM handler alone", Utf16Le(Task(kCom), true), {}},
      {"an Exec without a command", Utf16Le(Task(L"<Exec><Arguments>-x</Arguments></Exec>"), true), {}},
      {"an Exec outside the actions",
       Utf8(L"<Task><RegistrationInfo><Exec><Command>C:\\no.exe</Command></Exec></RegistrationInfo></Task>", false),
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.actions, TaskXml::ExecActions(c.bytes));
  }
}

// Whatever the bytes, an answer and no action from what is not a whole task.
TEST(TaskXml, MalformedTruncatedOrBinaryBytesGiveNoAction) {
  const std::string whole = Utf16Le(Task(Exec(L"C:\\Users\\Public\\a.exe", L"-x")), true);
  std::string deep = Utf8(L"<Task><Actions>" + Exec(L"C:\\a.exe"), false);
  for (int i = 0; i < 200000; i++) deep += "<a>";
  std::string binary = "MZ\x90";
  binary += std::string("\0\x03\0\0\0\x04\0\0\0\xFF\xFF\0\0<Exec>", 18);
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"cut in the middle", whole.substr(0, whole.size() / 2)},
      {"cut before the last '>'", whole.substr(0, whole.size() - 6)},
      {"an odd byte cut off a UTF-16 file", whole.substr(0, whole.size() - 5)},
      {"a program's bytes", binary},
      {"nesting without end", deep},
      {"an unknown entity", Utf8(Task(Exec(L"C:\\a&nbsp;.exe")), false)},
      {"an entity without its ';'", Utf8(Task(Exec(L"C:\\a&amp.exe")), false)},
      {"a NUL reference", Utf8(Task(Exec(L"C:\\a&#0;.exe")), false)},
      {"a surrogate reference", Utf8(Task(Exec(L"C:\\a&#xD800;.exe")), false)},
      {"a reference past Unicode", Utf8(Task(Exec(L"C:\\a&#x110000;.exe")), false)},
      {"a reference without digits", Utf8(Task(Exec(L"C:\\a&#x;.exe")), false)},
      {"an end tag of another element",
       Utf8(L"<Task><Actions><Exec><Command>C:\\a.exe</Exec></Actions></Task>", false)},
      {"a document type", Utf8(L"<!DOCTYPE Task [<!ENTITY e \"C:\\a.exe\">]>" + Task(Exec(L"&e;")), false)},
      {"a second root", Utf8(Task(Exec(L"C:\\a.exe")) + L"<Task/>", false)},
      {"text outside the root", Utf8(L"junk" + Task(Exec(L"C:\\a.exe")), false)},
      {"a control character", Utf8(Task(Exec(L"C:\\a\x01.exe")), false)},
      {"a tag that never ends", Utf8(L"<Task><Actions><Exec id=\"x>", false)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(std::vector<Action>{}, TaskXml::ExecActions(c.bytes));
  }
}

TEST(TaskXml, CommandLineQuotesACommandWithASpace) {
  const struct {
    Action action;
    std::wstring line;
  } cases[] = {
      {{L"C:\\Program Files\\a.exe", L"-x"}, L"\"C:\\Program Files\\a.exe\" -x"},
      {{L"\"C:\\Program Files\\a.exe\"", L"-x"}, L"\"C:\\Program Files\\a.exe\" -x"},
      {{L"%windir%\\system32\\a.exe", L""}, L"%windir%\\system32\\a.exe"},
      {{L"C:\\Program Files\\a.exe", L""}, L"\"C:\\Program Files\\a.exe\""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.line, TaskXml::CommandLine(c.action));
}

}  // namespace
