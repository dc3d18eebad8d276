#include "platform/paths.h"

#include "platform/outside_folder.h"

#include "common/text/utf.h"

#include <gtest/gtest.h>

using namespace VendraPlatform;

namespace {
// Expected texts are written with '/' and turned into the platform's own.
std::u16string Native(std::u16string s) {
  for (auto& c : s)
    if (c == u'/') c = kPathSeparator;
  return s;
}
}  // namespace

TEST(PathAppend, JoinsWithOneSeparator) {
  EXPECT_EQ(PathAppend(Native(u"/data"), u"localStorage.json"), Native(u"/data/localStorage.json"));
  EXPECT_EQ(PathAppend(Native(u"/data/"), u"x"), Native(u"/data/x"));
  EXPECT_EQ(PathAppend(Native(u"/data"), u"\\x"), Native(u"/data/x"));
}

TEST(PathAppend, AcceptsBothSeparatorsAndKeepsATrailingOne) {
  EXPECT_EQ(PathAppend(Native(u"/data"), u"utils\\VendraBuild.exe"), Native(u"/data/utils/VendraBuild.exe"));
  EXPECT_EQ(PathAppend(Native(u"/data"), u"utils\\"), Native(u"/data/utils/"));
  EXPECT_EQ(PathAppend(Native(u"/data"), u"utils/"), Native(u"/data/utils/"));
}

TEST(PathAppend, EmptyPartsChangeNothing) {
  EXPECT_EQ(PathAppend(Native(u"/data"), u""), Native(u"/data"));
  EXPECT_EQ(PathAppend(u"", u"a\\b"), Native(u"a/b"));
}

TEST(FolderOf, CutsAtTheLastSeparatorOfEitherKind) {
  EXPECT_EQ(FolderOf(u"C:\\Games\\Tandory\\TandoryInstaller.exe"), u"C:\\Games\\Tandory");
  EXPECT_EQ(FolderOf(u"/opt/tandory/TandoryInstaller"), u"/opt/tandory");
  EXPECT_EQ(FolderOf(u"/a\\b/c"), u"/a\\b");
  EXPECT_EQ(FolderOf(u"name"), u"");
}

TEST(IsContainedRelativePath, RefusesNamesThatLeaveTheFolder) {
  const char16_t* refused[] = {u"",          u"/etc/passwd", u"\\Windows\\x", u"C:\\x",
                               u"C:x",       u"..",          u"../x",         u"a/../../x",
                               u"a\\..\\b",  u"a/./b",       u"...",          u"a/.. /b",
                               u"a\nb",      u"x:stream"};
  for (const char16_t* name : refused) EXPECT_FALSE(IsContainedRelativePath(name)) << VendraText::Utf16ToUtf8(name);
  const char16_t* accepted[] = {u"bin/sub/file.dll", u"bin\\file.dll", u"a..b", u".hidden",
                                u"VendraBuild.exe"};
  for (const char16_t* name : accepted) EXPECT_TRUE(IsContainedRelativePath(name));
}

// A folder from outside is taken once, as every later step uses it. On
// POSIX a backslash would be read as a separator later and lead elsewhere:
// such a folder is refused, naming it. On Windows it is the separator.
TEST(FolderFromOutside, IsTakenAsItIsOrRefusedWhereItWouldLeadElsewhere) {
  struct Case {
    const char16_t* written;
    bool takenOnPosix;
  } cases[] = {
      {u"/opt/a \"b\" c", true},
      {u"/tmp/inst\\..\\..\\elsewhere", false},
      {u"/tmp/a \"b\" c\\", false},
      {u"/tmp/p\\\" q", false},
      {u"C:\\Games\\Tandory", false},
  };
  for (const Case& c : cases) {
    std::u16string folder = u"left over";
    std::u16string problem;
    const bool taken = FolderFromOutside(c.written, folder, problem);
#ifdef _WIN32
    const bool expected = true;
#else
    const bool expected = c.takenOnPosix;
#endif
    EXPECT_EQ(taken, expected) << VendraText::Utf16ToUtf8(c.written);
    if (taken) {
      EXPECT_EQ(folder, c.written);
    } else {
      EXPECT_EQ(problem, u"The folder \"" + std::u16string(c.written) +
                             u"\" has a backslash in its name, which would be read as a "
                             u"separator and name another folder. Use a folder without one.");
    }
  }
}
