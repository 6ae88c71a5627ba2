// GetPrivateProfileStringW and WritePrivateProfileStringW against real files.
#include <gtest/gtest.h>

#include <platform/Kernel.h>
#include <platform/Strings.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "RowName.h"
#include "ScopedTempDir.h"

namespace {

const char kBom[] = "\xEF\xBB\xBF";

// Odd spacing, duplicates, case, comments, CRLF mixed with LF and a BOM.
const std::string kFixture = std::string(kBom) +
                             "; leading comment\r\n"
                             "orphan=before any section\r\n"
                             "[General]\r\n"
                             "  Name   =   Corvane Client   \r\n"
                             "quoted = \"  padded  \"\r\n"
                             "half = \"open\r\n"
                             "empty=\r\n"
                             "Dup=first\r\n"
                             "dup=second\r\n"
                             "; Commented=yes\r\n"
                             "novalue\n"
                             "\t[general]\n"
                             "Extra=in duplicate section\n"
                             "Name=shadowed\n"
                             "[ Spaced Section ]  trailing text\n"
                             "key=v\n"
                             "[VER]\n"
                             "Ver=2.1.0.5";

class IniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.ok());
    folder_ = temp_.path().string();
    path_ = folder_ + "/UserCfg.ini";
  }

  void Put(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
  std::string Contents() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  bool Exists() const { return std::filesystem::exists(path_); }
  std::wstring File() const { return Utf8ToWide(path_); }

  // The buffer is poisoned, so a call that forgets to terminate shows.
  std::wstring Read(const wchar_t* section, const wchar_t* key, const wchar_t* fallback, DWORD size,
                    DWORD* returned) {
    std::vector<wchar_t> buffer(size + 1, L'#');
    *returned = GetPrivateProfileStringW(section, key, fallback, buffer.data(), size, File().c_str());
    if (*returned >= size && size > 0) return L"<no room for the terminator>";
    return std::wstring(buffer.data(), *returned) + (buffer[*returned] == L'\0' ? L"" : L"<unterminated>");
  }
  std::wstring Read(const wchar_t* section, const wchar_t* key, const wchar_t* fallback = L"def") {
    DWORD returned = 0;
    return Read(section, key, fallback, 8192, &returned);
  }
  // A double-null list as its raw characters: the returned count, its two
  // nulls, and what follows them when the buffer is larger.
  std::wstring List(const wchar_t* section, DWORD size, DWORD* returned) {
    std::vector<wchar_t> buffer(size, L'#');
    *returned = GetPrivateProfileStringW(section, nullptr, L"def", buffer.data(), size, File().c_str());
    return std::wstring(buffer.data(), std::min<DWORD>(*returned + 2, size));
  }
  BOOL Write(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    return WritePrivateProfileStringW(section, key, value, File().c_str());
  }

  ScopedTempDir temp_{"ini"};
  std::string folder_;
  std::string path_;
};

struct ReadCase {
  const char* name;
  const wchar_t* section;
  const wchar_t* key;
  const wchar_t* fallback;
  const wchar_t* expected;
};

const ReadCase kReadCases[] = {
    {"TrimmedValue", L"General", L"Name", L"def", L"Corvane Client"},
    {"CaseInsensitiveNames", L"GENERAL", L"nAmE", L"def", L"Corvane Client"},
    {"QuotesRemovedOnce", L"General", L"quoted", L"def", L"  padded  "},
    {"UnpairedQuoteKept", L"General", L"half", L"def", L"\"open"},
    {"EmptyValueIsNotMissing", L"General", L"empty", L"def", L""},
    {"FirstDuplicateKeyWins", L"General", L"DUP", L"def", L"first"},
    {"FirstDuplicateSectionWins", L"general", L"Extra", L"def", L"def"},
    {"CommentIsNoKey", L"General", L"Commented", L"def", L"def"},
    {"LineWithoutEqualsIsNoKey", L"General", L"novalue", L"def", L"def"},
    {"KeyBeforeAnySectionBelongsNowhere", L"", L"orphan", L"def", L"def"},
    {"SectionNameTrimmed", L"Spaced Section", L"key", L"def", L"v"},
    {"LastLineWithoutNewline", L"VER", L"Ver", L"", L"2.1.0.5"},
    {"MissingSection", L"Nope", L"Name", L"def", L"def"},
    {"MissingKey", L"General", L"Nope", L"  spaced default ", L"  spaced default "},
    {"NullDefault", L"General", L"Nope", nullptr, L""},
};

class IniReadTest : public IniTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(IniReadTest, FindsTheValue) {
  Put(kFixture);
  const ReadCase& c = GetParam();
  EXPECT_EQ(Read(c.section, c.key, c.fallback), c.expected);
}

TEST_P(IniReadTest, MissingFileGivesTheDefault) {
  const ReadCase& c = GetParam();
  EXPECT_EQ(Read(c.section, c.key, c.fallback), c.fallback ? c.fallback : L"");
}

INSTANTIATE_TEST_SUITE_P(Fixture, IniReadTest, ::testing::ValuesIn(kReadCases), RowName());

TEST_F(IniTest, ValueIsTruncatedToTheBuffer) {
  Put(kFixture);
  struct Case {
    DWORD size;
    DWORD returned;
    const wchar_t* text;
  };
  for (const Case& c : {Case{1, 0, L""}, Case{2, 1, L"C"}, Case{14, 13, L"Corvane Clien"},
                        Case{15, 14, L"Corvane Client"}, Case{100, 14, L"Corvane Client"}}) {
    DWORD returned = 12345;
    EXPECT_EQ(Read(L"General", L"Name", L"def", c.size, &returned), c.text) << "size " << c.size;
    EXPECT_EQ(returned, c.returned) << "size " << c.size;
  }
  DWORD returned = 12345;
  wchar_t untouched = L'#';
  EXPECT_EQ(GetPrivateProfileStringW(L"General", L"Name", L"def", &untouched, 0, File().c_str()), 0u);
  EXPECT_EQ(untouched, L'#');
  EXPECT_EQ(Read(L"General", L"Nope", L"fallback", 4, &returned), L"fal");
  EXPECT_EQ(returned, 3u);
}

TEST_F(IniTest, LongValueReadsAsItsFirst8191Characters) {
  const std::wstring value = std::wstring(5000, L'a') + std::wstring(5000, L'\u00e9');
  ASSERT_TRUE(Write(L"Big", L"Value", value.c_str()));
  DWORD returned = 0;
  EXPECT_EQ(Read(L"Big", L"Value", L"", 8192, &returned), value.substr(0, 8191));
  EXPECT_EQ(returned, 8191u);
  EXPECT_EQ(Read(L"Big", L"Value", L"", 20000, &returned), value);
}

TEST_F(IniTest, NamesListAsDoubleNullTerminatedText) {
  Put(kFixture);
  // '#' is the poison after the list: nothing is written past its end.
  const std::wstring sections(L"General\0Spaced Section\0VER\0\0#", 29);
  const std::wstring keys(L"Name\0quoted\0half\0empty\0Dup\0\0#", 29);
  struct Case {
    const wchar_t* section;
    DWORD size;
    DWORD returned;
    std::wstring text;
  };
  const Case cases[] = {
      {nullptr, 100, 27, sections},
      {nullptr, 28, 27, sections.substr(0, 28)},
      {nullptr, 27, 25, std::wstring(L"General\0Spaced Section\0VE\0\0", 27)},
      {nullptr, 10, 8, std::wstring(L"General\0\0\0", 10)},
      {nullptr, 2, 0, std::wstring(L"\0\0", 2)},
      {L"GENERAL", 100, 27, keys},
      {L"Nope", 100, 0, std::wstring(L"\0\0", 2)},
  };
  for (const Case& c : cases) {
    DWORD returned = 12345;
    EXPECT_EQ(List(c.section, c.size, &returned), c.text) << "size " << c.size;
    EXPECT_EQ(returned, c.returned) << "size " << c.size;
  }
}

struct WriteCase {
  const char* name;
  const char* before;  // null: no file
  const wchar_t* section;
  const wchar_t* key;
  const wchar_t* value;
  const char* after;  // null: still no file
};

const WriteCase kWriteCases[] = {
    {"ReplaceKeepsEveryOtherLine", "; c\r\n[A]\r\n  k = 1\r\nother=2\r\n", L"a", L"K", L"new",
     "; c\r\n[A]\r\nk=new\r\nother=2\r\n"},
    {"NewKeyFollowsTheLastKey", "[A]\nx=1\n\n; about B\n[B]\ny=2\n", L"A", L"z", L"3",
     "[A]\nx=1\nz=3\n\n; about B\n[B]\ny=2\n"},
    {"NewKeyInEmptySection", "[A]\n[B]\n", L"A", L"k", L"v", "[A]\nk=v\n[B]\n"},
    {"NewSectionAfterLastLine", "[A]\nx=1", L"B", L"k", L"v", "[A]\nx=1\n[B]\nk=v\n"},
    {"CrlfFileGetsCrlfLines", "[A]\r\nx=1\r\n", L"B", L"k", L"v", "[A]\r\nx=1\r\n[B]\r\nk=v\r\n"},
    {"ByteOrderMarkKept", "\xEF\xBB\xBF[A]\nx=1\n", L"A", L"x", L"2", "\xEF\xBB\xBF[A]\nx=2\n"},
    {"ValueWrittenVerbatim", "", L"A", L"k", L" \"q\" ", "[A]\nk= \"q\" \n"},
    {"Utf8OnDisk", nullptr, L"S\u00e9", L"k\u00e9", L"\u4e2d", "[S\xC3\xA9]\nk\xC3\xA9=\xE4\xB8\xAD\n"},
    {"MissingFileIsCreated", nullptr, L"CFG", L"Language", L"zh_CN", "[CFG]\nLanguage=zh_CN\n"},
    {"DeleteKeyWithItsCopies", "[A]\nk=1\nx=2\nK=3\n[B]\nk=4\n", L"A", L"k", nullptr, "[A]\nx=2\n[B]\nk=4\n"},
    {"DeleteSectionWithItsCopies", "; top\n[A]\nk=1\n[B]\nb=1\n[a]\nk=2\n", L"A", nullptr, nullptr,
     "; top\n[B]\nb=1\n"},
    {"DeleteMissingKeyChangesNothing", "[A]\r\nk=1", L"A", L"nope", nullptr, "[A]\r\nk=1"},
    {"DeleteInMissingFileMakesNoFile", nullptr, L"A", L"k", nullptr, nullptr},
};

class IniWriteTest : public IniTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(IniWriteTest, EditsOnlyItsEntry) {
  const WriteCase& c = GetParam();
  if (c.before) Put(c.before);
  ASSERT_TRUE(Write(c.section, c.key, c.value));
  ASSERT_EQ(Exists(), c.after != nullptr);
  if (c.after) {
    EXPECT_EQ(Contents(), c.after);
  }
  // A written key is found whatever the default; a deleted one gives the default.
  if (c.key) {
    EXPECT_EQ(Read(c.section, c.key, L"def"), c.value ? Read(c.section, c.key, L"other") : L"def");
  }
}

INSTANTIATE_TEST_SUITE_P(Edits, IniWriteTest, ::testing::ValuesIn(kWriteCases), RowName());

TEST_F(IniTest, WrittenValuesReadBack) {
  ASSERT_TRUE(Write(L"CFG", L"Language", L"en_US"));
  ASSERT_TRUE(Write(L"cfg", L"LANGUAGE", L"zh_CN"));
  ASSERT_TRUE(Write(L"CFG", L"Quoted", L"\"x\""));
  EXPECT_EQ(Read(L"CFG", L"Language"), L"zh_CN");
  EXPECT_EQ(Read(L"CFG", L"Quoted"), L"x");
  ASSERT_TRUE(Write(L"CFG", nullptr, nullptr));
  EXPECT_EQ(Read(L"CFG", L"Language"), L"def");
}

// A line break or delimiter in a name or value would add or hide entries.
TEST_F(IniTest, UnsafeEntriesAreRefused) {
  Put("[A]\nk=1\n");
  struct Case {
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* value;
  };
  for (const Case& c : {Case{L"A", L"k", L"1\n[B]\nx=2"}, Case{L"A", L"k", L"1\r"}, Case{L"A", L"k=x", L"1"},
                        Case{L"A", L"", L"1"}, Case{L"A", L"  ;k", L"1"}, Case{L"A", L"[k", L"1"},
                        Case{L"A]", L"k", L"1"}, Case{L"A\n", nullptr, nullptr}, Case{nullptr, L"k", L"1"}}) {
    SetLastError(0);
    EXPECT_FALSE(Write(c.section, c.key, c.value));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  EXPECT_EQ(Contents(), "[A]\nk=1\n");
}

TEST_F(IniTest, MissingFolderIsAPathError) {
  const std::wstring path = Utf8ToWide(folder_ + "/missing/UserCfg.ini");
  SetLastError(0);
  EXPECT_FALSE(WritePrivateProfileStringW(L"A", L"k", L"v", path.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  wchar_t buffer[16];
  EXPECT_EQ(GetPrivateProfileStringW(L"A", L"k", L"def", buffer, 16, path.c_str()), 3u);
  EXPECT_EQ(std::wstring(buffer), L"def");
  EXPECT_EQ(GetPrivateProfileStringW(L"A", L"k", L"def", buffer, 16, nullptr), 3u);
}

TEST_F(IniTest, WritersInTwoProcessesKeepEachOthersKeys) {
  constexpr int kKeys = 40;
  ChildProcess children[2];
  for (int writer = 0; writer < 2; ++writer) {
    ASSERT_TRUE(children[writer].startForked([&, writer] {
      bool ok = true;
      for (int i = 0; i < kKeys; ++i) {
        const std::wstring key = L"w" + std::to_wstring(writer) + L"_" + std::to_wstring(i);
        ok = Write(L"Shared", key.c_str(), std::to_wstring(i).c_str()) && ok;
      }
      return ok ? 0 : 1;
    }));
  }
  for (ChildProcess& child : children) EXPECT_EQ(child.wait(std::chrono::seconds(60)).exitCode(), 0);
  for (int writer = 0; writer < 2; ++writer) {
    for (int i = 0; i < kKeys; ++i) {
      const std::wstring key = L"w" + std::to_wstring(writer) + L"_" + std::to_wstring(i);
      EXPECT_EQ(Read(L"Shared", key.c_str()), std::to_wstring(i)) << WideToUtf8(key);
    }
  }
}

// Readers never meet a half-written file, and a writer killed at any moment
// leaves the last complete one behind.
TEST_F(IniTest, FileIsNeverHalfWritten) {
  constexpr size_t kBig = 300000;
  ASSERT_TRUE(Write(L"Keep", L"me", L"1"));
  ChildProcess writer;
  ASSERT_TRUE(writer.startForked([&] {
    for (int i = 0; i < 2000; ++i) {
      const std::wstring value(kBig, i % 2 ? L'b' : L'a');
      Write(L"Big", L"value", value.c_str());
    }
    return 0;
  }));
  auto whole = [&](const std::wstring& text) {
    return text == L"none" || text == std::wstring(kBig, L'a') || text == std::wstring(kBig, L'b');
  };
  DWORD returned = 0;
  for (int reads = 0; reads < 400; ++reads) {
    const std::wstring text = Read(L"Big", L"value", L"none", kBig + 10, &returned);
    ASSERT_TRUE(whole(text)) << "read " << reads << " saw " << text.size() << " characters";
  }
  writer.kill();
  EXPECT_TRUE(whole(Read(L"Big", L"value", L"none", kBig + 10, &returned)));
  EXPECT_EQ(Read(L"Keep", L"me"), L"1");
  // A writer after the killed one is not held up by anything it left.
  EXPECT_TRUE(Write(L"Keep", L"me", L"2"));
  EXPECT_EQ(Read(L"Keep", L"me"), L"2");
}

}  // namespace
