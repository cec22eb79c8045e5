// The publisher lookup and the folder walker on crafted files and trees.
#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "filescan/ModuleFileInfo.h"
#include "filescan/ModuleScanDisk.h"
#include "platform/Text.h"
#include "platform/Version.h"
#include "tests/unit/TestSupport.h"

namespace {

using testsupport::ExpectTheSystemsVersionBlock;
using testsupport::ReadFileBytes;
using testsupport::ScanHead;
using testsupport::WriteFileBytes;

const std::string kSignature = testsupport::HookSignature();

auto& Fixture = testsupport::FixtureLibrary;
using testsupport::PlaceHookLibrary;

void MakeFolder(const std::wstring& path) { CreateDirectoryW(path.c_str(), nullptr); }

struct Recorder {
  std::vector<std::wstring> lines;
  std::vector<std::wstring> statuses;
  int yields = 0;
  ModuleScanDisk::Sink Sink() {
    ModuleScanDisk::Sink sink;
    sink.result = [this](const std::wstring& text) {
      for (size_t at = 0, end; (end = text.find(L"\r\n", at)) != std::wstring::npos; at = end + 2)
        lines.push_back(text.substr(at, end + 2 - at));
    };
    sink.status = [this](const std::wstring& text) { statuses.push_back(text); };
    sink.yield = [this] { yields++; };
    return sink;
  }
  bool Listed(const std::wstring& path) const {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::wstring& l) { return l.find(L"：" + path + L" |") != std::wstring::npos; });
  }
};

Recorder Scan(const std::vector<std::wstring>& roots) {
  Recorder r;
  ModuleScanDisk::Start(roots);
  ModuleScanDisk::RunQueue(r.Sink());
  return r;
}

struct Walk {
  std::vector<std::wstring> roots;
  Recorder recorder;
};

DWORD WINAPI RunWalk(void* walk) {
  static_cast<Walk*>(walk)->recorder = Scan(static_cast<Walk*>(walk)->roots);
  return 0;
}

// The scan on a worker thread: one that blocks on a device fails here instead of
// hanging the suite. A blocked walk keeps its thread and its state.
bool ScanWithin(const std::vector<std::wstring>& roots, Recorder* recorder) {
  auto* walk = new Walk{roots, {}};
  HANDLE thread = CreateThread(nullptr, 0, RunWalk, walk, 0, nullptr);
  bool done = WaitForSingleObject(thread, 120000) == WAIT_OBJECT_0;
  CloseHandle(thread);
  if (!done) return false;
  *recorder = walk->recorder;
  delete walk;
  return true;
}

// Each damage, applied alone to a good library, leaves it without a company.
struct Damage {
  const char* what;
  size_t offset;
  std::string bytes;
};

void ExpectNoCompanyAfterEach(const std::string& good, const std::vector<Damage>& damages) {
  std::wstring path = testsupport::TestFolder() + L"\\damaged.dll";
  for (const Damage& d : damages) {
    std::string bytes = good;
    bytes.replace(d.offset, d.bytes.size(), d.bytes);
    WriteFileBytes(path, bytes);
    EXPECT_EQ(L"", ModuleFileInfo::GetFileCompany(path)) << d.what;
  }
  DeleteFileW(path.c_str());
}

TEST(Publisher, FirstTranslationsCompanyAsStored) {
  struct Case {
    const wchar_t* fixture;
    std::wstring company;
  } cases[] = {
      {L"ms", L"Microsoft Corporation"},
      {L"caps", L"MICROSOFT CORPORATION"},
      {L"zh", L"示例软件公司"},
      {L"cp0", L"Code Page Zero Ltd"},
      {L"utf8", L"Unicode Code Page Ltd"},
      {L"othertable", L""},
      {L"spaces", L"  Spaced Ltd  "},
      {L"empty", L""},
      {L"none", L""},
      // Text lengths counted in characters (as windres writes them) and in bytes.
      {L"ms_chars", L"Microsoft Corporation"},
      {L"ms_bytes", L"Microsoft Corporation"},
      {L"zh_bytes", L"示例软件公司"},
      {L"lookalike", L"M\u0131crosoft Corporation"},  // read as stored, never best-fit to the real name
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.company, ModuleFileInfo::GetFileCompany(Fixture(c.fixture))) << Text::ToAnsi(c.fixture);
  EXPECT_EQ(L"", ModuleFileInfo::GetFileCompany(L"C:\\no\\such\\file.dll"));
}

TEST(Publisher, DamagedVersionBlocksGiveNothingAndNeverCrash) {
  std::string good = ReadFileBytes(Fixture(L"ms"));
  const std::string key("V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0", 30);
  size_t at = good.find(key);
  ASSERT_NE(std::string::npos, at);
  size_t node = at - 6;  // wLength, wValueLength, wType precede the key
  const std::vector<Damage> damages = {
      {"length past the block", node, std::string("\xFF\xFF", 2)},
      {"length too short", node, std::string("\x04\x00", 2)},
      {"value longer than the node", node + 2, std::string("\xF0\x7F", 2)},
      {"key without its end", at, std::string(60, 'A')},
      {"child length past its parent", node + 92, std::string("\xFF\x7F", 2)},
  };
  ExpectNoCompanyAfterEach(good, damages);
}

// A block whose text lengths count bytes is read by the system; its text must still end inside its node.
TEST(Publisher, ByteCountedTextStaysInsideItsNode) {
  std::string good = ReadFileBytes(Fixture(L"ms_bytes"));
  const std::string company("M\0i\0c\0r\0o\0s\0o\0f\0t\0 \0C\0o\0r\0p\0o\0r\0a\0t\0i\0o\0n\0\0\0", 44);
  size_t at = good.find(company);
  ASSERT_NE(std::string::npos, at);
  size_t node = at - 32;  // header, "CompanyName" and its end, padded to 4
  ASSERT_EQ(std::string("C\0o\0m\0p\0a\0n\0y\0", 14), good.substr(node + 6, 14));
  const std::vector<Damage> damages = {
      {"text without its end", at + 42, std::string("!\0", 2)},
      {"text longer than the node even in bytes", node + 2, std::string("\x2E\x00", 2)},
  };
  ExpectNoCompanyAfterEach(good, damages);
}

TEST(VersionBlock, TheFilesBytesGiveTheSystemsBlockForEveryImageAtHand) {
  wchar_t system[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
  std::vector<std::wstring> paths = testsupport::Images(system),
                            fixtures = testsupport::Images(testsupport::TestFolder() + L"\\fixtures");
  paths.insert(paths.end(), fixtures.begin(), fixtures.end());
  for (const std::wstring& path : paths) {
    if (path.find(L"\\fx_lay_nowhere.") != std::wstring::npos) continue;  // the system's own calls fault on it
    Version::Answer answer = ExpectTheSystemsVersionBlock(path, ScanHead(path));
    // What the linker writes is plain enough to be read from its bytes.
    bool linked = path.find(L"\\fx_") != std::wstring::npos && path.find(L"\\fx_lay_") == std::wstring::npos;
    if (linked) {
      EXPECT_NE(Version::Answer::kAskSystem, answer) << Text::ToAnsi(path);
    }
  }
}

TEST(VersionBlock, OddLayoutsAreLeftToTheSystem) {
  using Version::Answer;
  struct Case {
    const wchar_t* fixture;
    Answer answer;
  } cases[] = {
      {L"lay_plain", Answer::kBlock},
      {L"lay_far", Answer::kBlock},  // past the scan's head: read at its place
      {L"none", Answer::kNone},      // an image without resources
      {L"lay_no_version", Answer::kNone},
      {L"lay_text", Answer::kNone},
      {L"lay_szdd", Answer::kAskSystem},  // compressed: older systems expand it first
      {L"lay_dos", Answer::kNone},        // MZ leading to no image header: the system gives up too
      {L"lay_ne", Answer::kAskSystem},
      {L"lay_two_languages", Answer::kAskSystem},
      {L"lay_mui", Answer::kAskSystem},
      {L"lay_truncated", Answer::kAskSystem},  // the system hands out the data with what follows the end
  };
  for (const Case& c : cases) {
    std::wstring path = Fixture(c.fixture);
    EXPECT_EQ(c.answer, ExpectTheSystemsVersionBlock(path, ScanHead(path))) << Text::ToAnsi(c.fixture);
  }
  // Data that no section holds is not there: no block, where the system's own
  // calls would fault.
  std::wstring nowhere = Fixture(L"lay_nowhere");
  std::string block;
  EXPECT_EQ(Answer::kNone, Version::ReadBlockFromBytes(nowhere, ScanHead(nowhere), &block));
  EXPECT_EQ(L"", ModuleFileInfo::GetFileCompany(nowhere));
  std::wstring pastHead = Fixture(L"lay_far");
  EXPECT_EQ(L"Layout Test Ltd", ModuleFileInfo::GetFileCompany(pastHead, ScanHead(pastHead)));
}

// Malformed images, as damaged copies and packers leave them: the bytes settle each
// one, and the system's own calls find no block in any either. Each is read after
// the scan's head, after no head, and as a head known to be the whole file.
TEST(VersionBlock, MalformedImagesHaveNoBlockAsTheSystemFinds) {
  struct Kind {
    const wchar_t* fixture;
    const char* what;
  } kinds[] = {
      {L"lay_mz_far", "the image header's place past the file's end"},
      {L"lay_mz_edge", "the image header cut by the file's end"},
      {L"lay_mz_negative", "the image header's place past what a file holds"},
      {L"lay_mz_junk", "the image header's place at no header"},
      {L"lay_cut_file_header", "file header cut short"},
      {L"lay_cut_optional", "optional header cut short"},
      {L"lay_cut_sections", "section table cut short"},
      {L"lay_sections_past_end", "more sections than the file holds"},
      {L"lay_rsrc_raw_past_end", "a section's raw data past the file's end"},
      {L"lay_rsrc_past_end", "the resource tree past the file's end"},
      {L"lay_dir_past_end", "a directory's entries past the file's end"},
      {L"lay_dir_outside", "a directory past the file's end"},
      {L"lay_outside", "the version data past the file's end"},
      {L"lay_dir_loop", "a name leading back to its own directory"},
      {L"lay_dir_loop_root", "a type leading back to the root"},
  };
  for (const Kind& k : kinds) {
    std::wstring path = Fixture(k.fixture);
    std::string head = ScanHead(path), bySystem, block;
    ASSERT_FALSE(head.empty()) << k.what;
    EXPECT_FALSE(Version::ReadBlockBySystem(path, &bySystem)) << k.what;
    EXPECT_EQ(Version::Answer::kNone, Version::ReadBlockFromBytes(path, head, &block)) << k.what;
    EXPECT_EQ(Version::Answer::kNone, Version::ReadBlockFromBytes(path, std::string(), &block)) << k.what;
    EXPECT_EQ(Version::Answer::kNone, Version::ReadBlockFromBytes(path, head, &block, true)) << k.what;
    EXPECT_EQ(L"", ModuleFileInfo::GetFileCompany(path, head, true)) << k.what;
  }
  // Files too short to hold what their first bytes begin.
  std::wstring path = testsupport::TestFolder() + L"\\short.dll";
  for (const std::string& bytes : {std::string(), std::string("M"), std::string("MZ\x90\0\x03\0", 6)}) {
    WriteFileBytes(path, bytes);
    std::string bySystem, block;
    EXPECT_FALSE(Version::ReadBlockBySystem(path, &bySystem)) << bytes.size();
    EXPECT_EQ(Version::Answer::kNone, Version::ReadBlockFromBytes(path, std::string(), &block)) << bytes.size();
    EXPECT_EQ(Version::Answer::kNone, Version::ReadBlockFromBytes(path, bytes, &block, true)) << bytes.size();
  }
  DeleteFileW(path.c_str());
}

class Walker : public ::testing::Test {
 protected:
  void SetUp() override {
    root = L"C:\\scantree";
    RemoveTree(root);
    MakeFolder(root);
  }
  void TearDown() override { RemoveTree(root); }
  static void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((L"\\\\?\\" + path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring child = path + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          RemoveTree(child);
        else
          DeleteFileW((L"\\\\?\\" + child).c_str());
      } while (FindNextFileW(find, &data));
      FindClose(find);
    }
    RemoveDirectoryW((L"\\\\?\\" + path).c_str());
  }
  std::wstring root;
};

TEST_F(Walker, ListsHookFilesNotPublishedByMicrosoft) {
  PlaceHookLibrary(L"none", root + L"\\hook.dll");
  PlaceHookLibrary(L"ms", root + L"\\ms.dll");
  PlaceHookLibrary(L"caps", root + L"\\caps.dll");
  PlaceHookLibrary(L"spaces", root + L"\\spaced.dll");
  PlaceHookLibrary(L"none", root + L"\\setup.exe.bak");
  PlaceHookLibrary(L"none", root + L"\\report.dllx");
  WriteFileBytes(root + L"\\readme.txt", kSignature);
  WriteFileBytes(root + L"\\late.exe", std::string(32000, 'x') + kSignature);
  WriteFileBytes(root + L"\\edge.exe", std::string(32000 - 14, 'x') + kSignature);
  WriteFileBytes(root + L"\\plain.exe", "MZ nothing to see");
  Recorder r = Scan({root});
  EXPECT_EQ(10, ModuleScanDisk::ScannedFileCount);
  EXPECT_TRUE(r.Listed(root + L"\\hook.dll"));
  EXPECT_NE(r.lines.end(),
            std::find(r.lines.begin(), r.lines.end(), L" 可疑文件：" + root + L"\\hook.dll | 文件发行者：未知\r\n"));
  EXPECT_NE(r.lines.end(), std::find(r.lines.begin(), r.lines.end(),
                                     L" 可疑文件：" + root + L"\\caps.dll | 文件发行者：MICROSOFT CORPORATION\r\n"));
  EXPECT_NE(r.lines.end(), std::find(r.lines.begin(), r.lines.end(),
                                     L" 可疑文件：" + root + L"\\spaced.dll | 文件发行者：  Spaced Ltd  \r\n"));
  EXPECT_TRUE(r.Listed(root + L"\\setup.exe.bak"));
  EXPECT_TRUE(r.Listed(root + L"\\report.dllx"));
  EXPECT_TRUE(r.Listed(root + L"\\edge.exe"));
  EXPECT_FALSE(r.Listed(root + L"\\ms.dll"));
  EXPECT_FALSE(r.Listed(root + L"\\readme.txt"));
  EXPECT_FALSE(r.Listed(root + L"\\late.exe"));
  EXPECT_FALSE(r.Listed(root + L"\\plain.exe"));
  EXPECT_EQ(6u, r.lines.size());     // hook, caps, spaced, setup, report, edge
  ASSERT_FALSE(r.statuses.empty());  // the last file examined is always shown
}

TEST_F(Walker, SparesMicrosoftLibrariesWhicheverWayTheirTextLengthsCount) {
  PlaceHookLibrary(L"ms_chars", root + L"\\chars.dll");
  PlaceHookLibrary(L"ms_bytes", root + L"\\bytes.dll");
  Recorder r = Scan({root});
  EXPECT_EQ(2, ModuleScanDisk::ScannedFileCount);
  EXPECT_TRUE(r.lines.empty()) << Text::ToAnsi(r.lines.empty() ? L"" : r.lines[0]);
}

TEST_F(Walker, ListsAPublisherThatOnlyLooksLikeMicrosoft) {
  PlaceHookLibrary(L"lookalike", root + L"\\lookalike.dll");
  Recorder r = Scan({root});
  EXPECT_EQ(std::vector<std::wstring>{L" 可疑文件：" + root +
                                      L"\\lookalike.dll | 文件发行者：M\u0131crosoft Corporation\r\n"},
            r.lines);
}

TEST_F(Walker, WalksBreadthFirstAndCountsFilesNotFolders) {
  for (const wchar_t* folder : {L"\\a", L"\\b", L"\\a\\deep", L"\\.hidden", L"\\ spaced"}) MakeFolder(root + folder);
  PlaceHookLibrary(L"none", root + L"\\top.dll");
  PlaceHookLibrary(L"none", root + L"\\a\\one.dll");
  PlaceHookLibrary(L"none", root + L"\\b\\two.dll");
  PlaceHookLibrary(L"none", root + L"\\a\\deep\\three.dll");
  PlaceHookLibrary(L"none", root + L"\\.hidden\\never.dll");
  PlaceHookLibrary(L"none", root + L"\\ spaced\\found.dll");
  WriteFileBytes(root + L"\\a\\notes.txt", "x");
  Recorder r = Scan({root + L"\\"});  // a trailing backslash is not doubled
  EXPECT_EQ(6, ModuleScanDisk::ScannedFileCount);
  auto position = [&](const std::wstring& path) {
    for (size_t i = 0; i < r.lines.size(); i++)
      if (r.lines[i].find(L"：" + path + L" |") != std::wstring::npos) return (int)i;
    return -1;
  };
  EXPECT_EQ(0, position(root + L"\\top.dll"));
  EXPECT_GT(position(root + L"\\a\\deep\\three.dll"), position(root + L"\\a\\one.dll"));
  EXPECT_GT(position(root + L"\\a\\deep\\three.dll"), position(root + L"\\b\\two.dll"));
  EXPECT_GE(position(root + L"\\ spaced\\found.dll"), 1);
  EXPECT_EQ(-1, position(root + L"\\.hidden\\never.dll"));
  EXPECT_TRUE(ModuleScanDisk::lstdirs.empty());
}

TEST_F(Walker, LockedFileIsCountedButNotListed) {
  PlaceHookLibrary(L"none", root + L"\\a.dll");
  PlaceHookLibrary(L"none", root + L"\\b.dll");
  HANDLE lock = CreateFileW((root + L"\\b.dll").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);
  Recorder r = Scan({root});
  CloseHandle(lock);
  EXPECT_EQ(2, ModuleScanDisk::ScannedFileCount);
  EXPECT_TRUE(r.Listed(root + L"\\a.dll"));
  EXPECT_FALSE(r.Listed(root + L"\\b.dll"));
}

TEST_F(Walker, FilesInUseByOthersAreStillExamined) {
  PlaceHookLibrary(L"none", root + L"\\busy.dll");
  HANDLE writer = CreateFileW((root + L"\\busy.dll").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);
  Recorder r = Scan({root});
  CloseHandle(writer);
  EXPECT_TRUE(r.Listed(root + L"\\busy.dll"));
}

// Names the code page lacks or would best-fit to other letters are listed through
// the wide calls: every file is read and every folder entered under its real name.
TEST_F(Walker, NamesOutsideTheCodePageAreExaminedUnderTheirRealNames) {
  const std::wstring folders[] = {L"\\\u0E01\u0E02folder", L"\\sub\u00B2", L"\\\u00D0ata", L"\\\u0915\u093E\u092E",
                                  L"\\测试"};
  for (const std::wstring& folder : folders) MakeFolder(root + folder);
  const std::wstring listed[] = {
      L"\\\u0E01\u0E02hook.dll",          L"\\hook\u00AA.dll",        L"\\upd\u0905.exe",
      L"\\\u0E01\u0E02folder\\inner.dll", L"\\sub\u00B2\\in-sub.dll", L"\\\u00D0ata\\in-data.exe",
      L"\\\u0915\u093E\u092E\\k.dll",     L"\\测试\\gbk.dll",         L"\\\u00D0ata\\\u00AA\u00B2.dll",
  };
  for (const std::wstring& file : listed) PlaceHookLibrary(L"none", root + file);
  // A Microsoft library under such a name has its publisher read through the wide calls too.
  PlaceHookLibrary(L"ms", root + L"\\sub\u00B2\\m\u00AAs.dll");
  Recorder r = Scan({root});
  EXPECT_EQ(10, ModuleScanDisk::ScannedFileCount);
  for (const std::wstring& file : listed)
    EXPECT_NE(r.lines.end(),
              std::find(r.lines.begin(), r.lines.end(), L" 可疑文件：" + root + file + L" | 文件发行者：未知\r\n"))
        << Text::ToAnsi(file);
  EXPECT_FALSE(r.Listed(root + L"\\sub\u00B2\\m\u00AAs.dll"));
  EXPECT_EQ(9u, r.lines.size());
}

TEST_F(Walker, PathsBeyondMaxPathAreReached) {
  std::wstring folder = root;
  while (folder.size() < 300) {
    folder += L"\\" + std::wstring(40, L'd');
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr));
  }
  std::string bytes = ReadFileBytes(Fixture(L"none"));
  bytes.replace(0x4E, kSignature.size(), kSignature);
  HANDLE file =
      CreateFileW((L"\\\\?\\" + folder + L"\\far.dll").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD written = 0;
  WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
  CloseHandle(file);
  Recorder r = Scan({root});
  EXPECT_EQ(1, ModuleScanDisk::ScannedFileCount);
  EXPECT_TRUE(r.Listed(folder + L"\\far.dll"));
}

// Names Windows takes for devices, on real files: each is read as the file it is.
TEST_F(Walker, DeviceNamesAreExaminedAsTheFilesTheyAre) {
  // A block only the system reads: its company as the system finds it under the fixture's own name.
  const std::string twoLanguages = ReadFileBytes(Fixture(L"lay_two_languages")) + kSignature;
  const std::wstring bySystem = ModuleFileInfo::GetFileCompany(Fixture(L"lay_two_languages"));
  ASSERT_NE(L"", bySystem);
  struct Case {
    const wchar_t* name;
    const wchar_t* fixture;  // placed as a hook library; null: `bytes`
    std::string bytes;
    const wchar_t* company;  // as listed; null: not listed
  } cases[] = {
      {L"COM1.dll", L"none", "", L"未知"},
      {L"NUL.exe", L"ms", "", nullptr},
      {L"CON.sys", nullptr, kSignature, nullptr},  // no candidate
      {L"LPT1.dll", nullptr, twoLanguages, bySystem.c_str()},
      {L"AUX.exe", L"caps", "", L"MICROSOFT CORPORATION"},
      {L"plain.dll", L"none", "", L"未知"},
  };
  std::vector<std::wstring> expected;
  for (const Case& c : cases) {
    std::wstring path = root + L"\\" + c.name;
    if (c.fixture)
      PlaceHookLibrary(c.fixture, L"\\\\?\\" + path);
    else
      WriteFileBytes(L"\\\\?\\" + path, c.bytes);
    if (c.company) expected.push_back(L" " + ModuleScanDisk::FindingText(path, c.company) + L"\r\n");
  }
  Recorder r;
  ASSERT_TRUE(ScanWithin({root}, &r)) << "the scan blocked";
  EXPECT_EQ(6, ModuleScanDisk::ScannedFileCount);
  std::sort(expected.begin(), expected.end());
  std::sort(r.lines.begin(), r.lines.end());
  EXPECT_EQ(expected, r.lines);
}

// In the tests' "devices" folder null.dll links to /dev/null and fifo.exe is a FIFO:
// they open as a character device and a pipe, are never read, reported and counted.
TEST_F(Walker, CandidatesThatAreNoFilesAreReportedUnread) {
  const std::wstring folder = testsupport::TestFolder() + L"\\devices";
  Recorder r;
  ASSERT_TRUE(ScanWithin({folder}, &r)) << "the scan blocked";
  EXPECT_EQ(2, ModuleScanDisk::ScannedFileCount);
  std::sort(r.lines.begin(), r.lines.end());
  EXPECT_EQ((std::vector<std::wstring>{L" 无法检查：" + folder + L"\\fifo.exe | 原因：不是文件\r\n",
                                       L" 无法检查：" + folder + L"\\null.dll | 原因：不是文件\r\n"}),
            r.lines);
}

TEST_F(Walker, LinksAreNotFollowed) {
  std::wstring loop = testsupport::TestFolder() + L"\\loop";
  PlaceHookLibrary(L"none", loop + L"\\inside.dll");
  Recorder r = Scan({loop});
  DeleteFileW((loop + L"\\inside.dll").c_str());
  EXPECT_EQ(1, ModuleScanDisk::ScannedFileCount);
  EXPECT_EQ(1u, r.lines.size());
}

TEST_F(Walker, DriveRootPathsHaveOneBackslash) {
  PlaceHookLibrary(L"none", L"C:\\zorvane-root-hook.dll");
  Recorder r;
  ModuleScanDisk::Start({});
  ModuleScanDisk::ScanActive = true;
  ModuleScanDisk::ScanFolder(L"C:\\", L"*.*", r.Sink());
  ModuleScanDisk::Finish(r.Sink());
  DeleteFileW(L"C:\\zorvane-root-hook.dll");
  EXPECT_TRUE(r.Listed(L"C:\\zorvane-root-hook.dll"));
  EXPECT_GE(ModuleScanDisk::lstdirs.size(), 2u);  // windows, users, ...
  for (const std::wstring& queued : ModuleScanDisk::lstdirs) EXPECT_EQ(L"C:\\", queued.substr(0, 3));
  EXPECT_NE(L'\\', ModuleScanDisk::lstdirs.front()[3]);
}

TEST_F(Walker, StopEndsTheWalkAtTheNextEntry) {
  for (int i = 0; i < 50; i++) WriteFileBytes(root + L"\\f" + std::to_wstring(i) + L".txt", "x");
  MakeFolder(root + L"\\later");
  Recorder r;
  ModuleScanDisk::Sink sink = r.Sink();
  sink.yield = [] { ModuleScanDisk::ScanActive = false; };  // the stop click, handled in a yield
  ModuleScanDisk::Start({root});
  ModuleScanDisk::RunQueue(sink);
  EXPECT_LT(ModuleScanDisk::ScannedFileCount, 3);
  EXPECT_TRUE(ModuleScanDisk::lstdirs.empty() || ModuleScanDisk::lstdirs.front() != root);
  ModuleScanDisk::Start({root});
  EXPECT_EQ(1u, ModuleScanDisk::lstdirs.size());  // the next scan starts from an empty queue
}

TEST(ScanQueue, DriveRootsAndShortenedStatus) {
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\", L"D:\\"}), ModuleScanDisk::DriveRoots(0x1 | 0x4 | 0x8));
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\", L"D:\\", L"E:\\", L"F:\\"}), ModuleScanDisk::DriveRoots(0x4 | 0x20));
  EXPECT_TRUE(ModuleScanDisk::DriveRoots(0x3).empty());
  EXPECT_TRUE(ModuleScanDisk::DriveRoots(0).empty());
  std::wstring sixty(60, L'x');
  EXPECT_EQ(sixty, ModuleScanDisk::Shorten(sixty));
  std::wstring longer = L"ABCDE" + std::wstring(10, L'-') + std::wstring(53, L'z');
  EXPECT_EQ(L"ABCDE..." + std::wstring(53, L'z'), ModuleScanDisk::Shorten(longer));
  EXPECT_EQ(61u, ModuleScanDisk::Shorten(longer).size());
}

}  // namespace
