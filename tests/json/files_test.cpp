#include <gtest/gtest.h>

#include <filesystem>

#include "json/files.h"
#include "json/number.h"
#include "json/object.h"
#include "json/parser.h"
#include "json/string_value.h"
#include "json_test_util.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

using namespace VendraJSON;
using namespace VendraJSONTest;
using VendraTest::TempFolder;

namespace {

ObjectRef Session() {
  ObjectRef object = ObjectRef::Adopt(VSJObject::Create());
  object->SetString(u"username", u"user@example.com");
  object->SetString(u"refresh_token", u"r\u00e9fresh");
  object->SetInteger(u"expires", 1700000000);
  return object;
}

size_t EntriesIn(const std::string& folder) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++n;
  return n;
}

}  // namespace

TEST(SaveFile, WritesPrettyUtf8WithoutMarkOrFinalNewline) {
  TempFolder folder;
  int code = -1;
  ASSERT_TRUE(Session()->SaveFile(code, folder.WSub("localStorage.json")));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(VendraTest::ReadTextFile(folder.Sub("localStorage.json")),
            "{\n  \"username\":\"user@example.com\",\n  \"refresh_token\":\"r\xC3\xA9" "fresh\",\n"
            "  \"expires\":1700000000\n}");
  EXPECT_EQ(EntriesIn(folder.path()), 1u);  // nothing left beside it
}

TEST(SaveFile, ReplacesAnExistingFileWhole) {
  TempFolder folder;
  VendraTest::WriteTextFile(folder.Sub("f.json"), std::string(10000, 'x'));
  ObjectRef object = ObjectRef::Adopt(VSJObject::Create());
  object->SetInteger(u"a", 1);
  int code = -1;
  ASSERT_TRUE(object->SaveFile(code, folder.WSub("f.json")));
  EXPECT_EQ(VendraTest::ReadTextFile(folder.Sub("f.json")), "{\n  \"a\":1\n}");
  EXPECT_EQ(EntriesIn(folder.path()), 1u);
}

TEST(SaveFile, MissingFolderGivesTwo) {
  TempFolder folder;
  int code = -1;
  EXPECT_FALSE(Session()->SaveFile(code, folder.WSub("no/such/folder/f.json")));
  EXPECT_EQ(code, 2);
}

TEST(SaveFile, UnwritableTargetGivesThirteenAndKeepsTheOldFile) {
  // The folder and the file belong to root and nobody may write the file: an
  // unprivileged user is refused by the permissions, and root, who passes
  // every permission check, by the file being read-only.
  if (!VendraTest::CanDropPrivileges())
    GTEST_SKIP() << "needs a child process under another user: root on POSIX, no fork on Windows";
  TempFolder folder;
  VendraTest::WriteTextFile(folder.Sub("locked.json"), "{\"old\":true}");
  std::filesystem::permissions(folder.Sub("locked.json"), std::filesystem::perms(0444));
  const std::u16string path = folder.WSub("locked.json");
  const int code = VendraTest::RunUnprivileged([&] {
    int error = -1;
    if (Session()->SaveFile(error, path)) return 100;
    return error;
  });
  EXPECT_EQ(code, 13);
  int asRoot = -1;
  EXPECT_FALSE(Session()->SaveFile(asRoot, path));
  EXPECT_EQ(asRoot, 13);
  EXPECT_EQ(VendraTest::ReadTextFile(folder.Sub("locked.json")), "{\"old\":true}");
  EXPECT_EQ(EntriesIn(folder.path()), 1u);
}

TEST(LoadFile, ReadsWhatSaveFileWrote) {
  TempFolder folder;
  int code = -1;
  ASSERT_TRUE(Session()->SaveFile(code, folder.WSub("s.json")));
  ValueRef value;
  std::u16string error;
  ASSERT_TRUE(LoadFile(folder.WSub("s.json"), value.Receive(), error));
  EXPECT_EQ(Compact(*value), Compact(*Session()));
}

TEST(LoadFile, ByteOrderMarkAnyValueAndTextEndingAtZero) {
  TempFolder folder;
  struct Case {
    std::string bytes;
    std::u16string compact;
  } cases[] = {
      {"\xEF\xBB\xBF{\"a\":[1,2]}", u"{\"a\":[1,2]}"},
      {"[true]", u"[true]"},
      {"\"text\"", u"\"text\""},
      {std::string("{\"a\":1}\0garbage", 15), u"{\"a\":1}"},
  };
  for (const Case& c : cases) {
    VendraTest::WriteTextFile(folder.Sub("v.json"), c.bytes);
    ValueRef value;
    std::u16string error;
    ASSERT_TRUE(LoadFile(folder.WSub("v.json"), value.Receive(), error)) << c.bytes;
    EXPECT_EQ(Compact(*value), c.compact);
  }
}

TEST(LoadFile, FailuresAndTheirMessages) {
  TempFolder folder;
  VendraTest::WriteTextFile(folder.Sub("empty.json"), "");
  VendraTest::WriteTextFile(folder.Sub("mark.json"), "\xEF\xBB\xBF");
  VendraTest::WriteTextFile(folder.Sub("bad.json"), "{\"a\" 1}");
  std::filesystem::create_directory(folder.Sub("dir.json"));
  struct Case {
    std::string name;
    std::u16string error;
  } cases[] = {
      {"missing.json", u"JSON: Could not open file for reading (file not found)"},
      {"empty.json", u"JSON: Unexpected end of file"},
      {"mark.json", u"No initial non-whitespace token found."},
      {"dir.json", u"JSON: Could not open existing file for reading"},
      {"bad.json",
       u"Unexpected character 1 in JSON object at position 5 after key; expected :value"},
  };
  for (const Case& c : cases) {
    ValueRef value;
    std::u16string error;
    EXPECT_FALSE(LoadFile(folder.WSub(c.name), value.Receive(), error)) << c.name;
    EXPECT_EQ(error, c.error) << c.name;
    EXPECT_FALSE(value) << c.name;
  }
}

TEST(LoadFile, TrailingTextHandsTheValueOutWithFalse) {
  TempFolder folder;
  VendraTest::WriteTextFile(folder.Sub("t.json"), "{\"a\":1} x");
  ValueRef value;
  std::u16string error;
  EXPECT_FALSE(LoadFile(folder.WSub("t.json"), value.Receive(), error));
  ASSERT_TRUE(value);
  EXPECT_EQ(Compact(*value), u"{\"a\":1}");
}

TEST(LoadFile, UnreadableExistingFile) {
  if (!VendraTest::CanDropPrivileges())
    GTEST_SKIP() << "needs a child process under another user: root on POSIX, no fork on Windows";
  TempFolder folder;
  VendraTest::WriteTextFile(folder.Sub("secret.json"), "{}");
  std::filesystem::permissions(folder.Sub("secret.json"), std::filesystem::perms(0600));
  const std::u16string path = folder.WSub("secret.json");
  const int code = VendraTest::RunUnprivileged([&] {
    ValueRef value;
    std::u16string error;
    if (LoadFile(path, value.Receive(), error)) return 100;
    return error == u"JSON: Could not open existing file for reading" ? 0 : 1;
  });
  EXPECT_EQ(code, 0);
}
