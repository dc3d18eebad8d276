#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "common/text/utf.h"
#include "json/string_value.h"
#include "platform/paths.h"
#include "tests/install/build_files_fixture.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged.h"

namespace {

using VendraClient::eVClientResult;
using VendraJSON::VSJArray;
using VendraJSON::VSJObject;
using namespace VendraTest;

const std::string kProgram = std::string("MZ") + std::string(100000, '\x90') + "end";

class InstallFileTest : public BuildFilesTest {
 protected:
  // The entry GetFilesToInstall hands out for a file not yet installed.
  ObjectRef Listed(const std::string& name, const std::string& content) {
    ObjectRef entry = MakeEntry(name, content);
    ArrayRef list = MakeList({entry.get()});
    ArrayRef out;
    std::u16string error;
    EXPECT_EQ(client_.GetFilesToInstall(list.get(), install_.wpath(), out.Receive(), error),
              eVClientResult::Success);
    EXPECT_EQ(out->Count(), 1u);
    return ObjectRef::Share(EntryAt(out.get(), 0));
  }

  eVClientResult Install(VSJObject* entry, const std::u16string& installFolder) {
    error_.clear();
    return client_.InstallFile(build_.get(), entry, download_.wpath(), installFolder, nullptr,
                               nullptr, error_);
  }

  ObjectRef build_ = ObjectRef::Adopt(VSJObject::Create());
  std::u16string error_;
};

TEST_F(InstallFileTest, ExpandsTheDownloadIntoTheListedPlace) {
  std::filesystem::create_directories(download_.Sub("bin/x64"));
  WriteTextFile(download_.Sub("bin/x64/tool.exe.z"), Compress(kProgram));
  ObjectRef entry = Listed("bin\\x64\\tool.exe", kProgram);
  ASSERT_EQ(Install(entry.get(), install_.wpath()), eVClientResult::Success) << VendraText::Utf16ToUtf8(error_);
  EXPECT_EQ(ReadTextFile(install_.Sub("bin/x64/tool.exe")), kProgram);

  // Installed, the file no longer needs installing.
  ObjectRef fresh = MakeEntry("bin\\x64\\tool.exe", kProgram);
  ArrayRef list = MakeList({fresh.get()});
  ArrayRef out;
  ASSERT_EQ(client_.GetFilesToInstall(list.get(), install_.wpath(), out.Receive(), error_),
            eVClientResult::Success);
  EXPECT_EQ(out->Count(), 0u);
}

TEST_F(InstallFileTest, WithoutAnInstallFolderTheEntryAloneDecides) {
  WriteTextFile(download_.Sub("tool.exe.z"), Compress(kProgram));
  ObjectRef entry = Listed("tool.exe", kProgram);
  ASSERT_EQ(Install(entry.get(), u""), eVClientResult::Success);
  EXPECT_EQ(ReadTextFile(install_.Sub("tool.exe")), kProgram);
}

TEST_F(InstallFileTest, EntryWithoutItsPlaceCannotMakeAFolder) {
  WriteTextFile(download_.Sub("tool.exe.z"), Compress(kProgram));
  ObjectRef entry = MakeEntry("tool.exe", kProgram);
  EXPECT_EQ(Install(entry.get(), install_.wpath()), eVClientResult::Failed);
  EXPECT_EQ(error_, u"Failed to create folder for  (3)");
}

TEST_F(InstallFileTest, DamagedOrMissingDownloadFailsToInflate) {
  ObjectRef entry = Listed("tool.exe", kProgram);
  EXPECT_EQ(Install(entry.get(), install_.wpath()), eVClientResult::Failed);
  EXPECT_EQ(error_, u"inflate failed");

  // One byte less than the real content is too small to expand into.
  WriteTextFile(download_.Sub("tool.exe.z"), Compress(kProgram));
  entry->SetInteger(u"size", static_cast<int64_t>(kProgram.size()) - 1);
  EXPECT_EQ(Install(entry.get(), install_.wpath()), eVClientResult::Failed);
  EXPECT_EQ(error_, u"inflate failed");
  EXPECT_FALSE(std::filesystem::exists(install_.Sub("tool.exe")));
}

TEST_F(InstallFileTest, HostileNamesAndPlacesAreRefused) {
  TempFolder outside;
  const std::string outsideName = std::filesystem::path(outside.path()).filename().string();
  WriteTextFile(download_.Sub("tool.exe.z"), Compress(kProgram));
  WriteTextFile(outside.Sub("tool.exe.z"), Compress(kProgram));

  // A name that climbs out of the download folder is never read.
  ObjectRef climbing = MakeEntry("../" + outsideName + "/tool.exe", kProgram);
  climbing->SetString(u"local_filename", install_.WSub("tool.exe"));
  EXPECT_EQ(Install(climbing.get(), u""), eVClientResult::Failed);
  EXPECT_EQ(error_, VendraText::Utf8ToUtf16("Refused unsafe file name \"../" + outsideName +
                                            "/tool.exe\" in the file list"));

  // A place of the entry's own outside the install folder is never written.
  ObjectRef elsewhere = MakeEntry("tool.exe", kProgram);
  elsewhere->SetString(u"local_filename", outside.WSub("planted.exe"));
  EXPECT_EQ(Install(elsewhere.get(), install_.wpath()), eVClientResult::Failed);
  EXPECT_EQ(error_, u"Refused destination " + outside.WSub("planted.exe") +
                        u" outside the install folder " + install_.wpath());
  ObjectRef sibling = MakeEntry("tool.exe", kProgram);
  sibling->SetString(u"local_filename", install_.WSub("../" + outsideName + "/tool.exe"));
  EXPECT_EQ(Install(sibling.get(), install_.wpath()), eVClientResult::Failed);
  EXPECT_FALSE(std::filesystem::exists(outside.Sub("planted.exe")));
  EXPECT_FALSE(std::filesystem::exists(outside.Sub("tool.exe")));
  EXPECT_FALSE(std::filesystem::exists(install_.Sub("tool.exe")));
}

// Links already inside the install folder: a folder that leads out of it is
// refused with a text naming both, a file link is replaced by the new file,
// and nothing outside is written.
TEST_F(InstallFileTest, LinksInTheInstallFolderAreNeverWrittenThrough) {
#ifdef _WIN32
  GTEST_SKIP() << "the Windows C++ library cannot make symbolic links under Wine";
#endif
  TempFolder elsewhere;
  WriteTextFile(elsewhere.Sub("victim"), "precious");
  std::error_code made;
  std::filesystem::create_directory_symlink(elsewhere.path(), install_.Sub("bin"), made);
  if (!made) std::filesystem::create_symlink(elsewhere.Sub("victim"), install_.Sub("Tandory.cfg"), made);
  // Windows gives the right to make links to administrators (or developer
  // mode) only, and Wine may not make them at all.
  if (made) GTEST_SKIP() << "links cannot be made here: " << made.message();
  std::filesystem::create_directories(download_.Sub("bin"));
  WriteTextFile(download_.Sub("bin/engine.dll.z"), Compress(kProgram));
  WriteTextFile(download_.Sub("Tandory.cfg.z"), Compress("setting=1\n"));

  ObjectRef throughFolder = Listed("bin\\engine.dll", kProgram);
  EXPECT_EQ(Install(throughFolder.get(), install_.wpath()), eVClientResult::Failed);
  EXPECT_NE(error_.find(u"leads outside " + install_.wpath()), std::u16string::npos)
      << VendraText::Utf16ToUtf8(error_);
  EXPECT_NE(error_.find(u"engine.dll"), std::u16string::npos);

  ObjectRef overLink = Listed("Tandory.cfg", "setting=1\n");
  ASSERT_EQ(Install(overLink.get(), install_.wpath()), eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error_);
  EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(install_.Sub("Tandory.cfg"))));
  EXPECT_EQ(ReadTextFile(install_.Sub("Tandory.cfg")), "setting=1\n");

  EXPECT_EQ(ReadTextFile(elsewhere.Sub("victim")), "precious");
  EXPECT_FALSE(std::filesystem::exists(elsewhere.Sub("engine.dll")));
}

// A valid stream of other content, with or without a digest of the download
// in the entry: the installed file stays as it was and the answer is -112
// with the file's name; no temporary file is left beside it.
TEST_F(InstallFileTest, ADownloadOfOtherContentLeavesTheInstalledFileIntact) {
  WriteTextFile(install_.Sub("tool.exe"), "version 1");
  const std::string wanted = kProgram;
  std::string other = kProgram;
  other[5] = 'X';
  for (const bool downloadDigest : {true, false}) {
    SCOPED_TRACE(downloadDigest);
    WriteTextFile(download_.Sub("tool.exe.z"), Compress(other));
    ObjectRef entry = Listed("tool.exe", wanted);
    if (!downloadDigest) {
      entry->SetInteger(u"compressed_size", 0);
      entry->SetStringA(u"compressed_sha256", "");
    }
    EXPECT_EQ(Install(entry.get(), install_.wpath()), eVClientResult::VerifyFailed);
    EXPECT_NE(error_.find(u"tool.exe"), std::u16string::npos) << VendraText::Utf16ToUtf8(error_);
    EXPECT_EQ(ReadTextFile(install_.Sub("tool.exe")), "version 1");
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(install_.path()))
      ++entries;
    EXPECT_EQ(entries, 1u);
  }
}

TEST_F(InstallFileTest, MissingArgumentsAreRefused) {
  ObjectRef entry = Listed("tool.exe", kProgram);
  std::u16string error;
  EXPECT_EQ(client_.InstallFile(nullptr, entry.get(), download_.wpath(), install_.wpath(),
                                nullptr, nullptr, error),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(client_.InstallFile(build_.get(), nullptr, download_.wpath(), install_.wpath(),
                                nullptr, nullptr, error),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(client_.InstallFile(build_.get(), entry.get(), u"", install_.wpath(), nullptr,
                                nullptr, error),
            eVClientResult::InvalidArgument);
  EXPECT_TRUE(error.empty());
}

// Root may create folders anywhere, so the denial is made real in a child
// that has given up root.
TEST_F(InstallFileTest, FolderWithoutRightsNeedsElevation) {
  if (!CanDropPrivileges()) GTEST_SKIP() << "needs root to make a real denial";
  std::filesystem::create_directories(download_.Sub("bin"));
  WriteTextFile(download_.Sub("bin/tool.exe.z"), Compress(kProgram));
  ObjectRef entry = Listed("bin/tool.exe", kProgram);
  ::chmod(install_.path().c_str(), 0755);
  const int verdict = RunUnprivileged([&] {
    std::u16string error;
    const eVClientResult result = client_.InstallFile(
        build_.get(), entry.get(), download_.wpath(), install_.wpath(), nullptr, nullptr, error);
    if (result != eVClientResult::AccessDenied) return 1;
    return error == u"CreateLocalPath failed due to lack of permissions. Elevated permissions "
                    u"required?"
               ? 0
               : 2;
  });
  EXPECT_EQ(verdict, 0);
  EXPECT_FALSE(std::filesystem::exists(install_.Sub("bin")));
}

class CheckFileTest : public BuildFilesTest {};

TEST_F(CheckFileTest, ComparesSizeAndDigestWithoutCaches) {
  WriteTextFile(install_.Sub("tool.exe"), kProgram);
  ObjectRef entry = MakeEntry("tool.exe", kProgram);
  std::u16string error;
  EXPECT_EQ(client_.CheckFile(entry.get(), install_.WSub("tool.exe"), error),
            eVClientResult::Success);

  // Recorded local state claiming a match does not count here.
  WriteTextFile(install_.Sub("tool.exe"), std::string(kProgram.size(), 'x'));
  entry->SetInteger(u"local_size", static_cast<int64_t>(kProgram.size()));
  entry->SetStringA(u"local_sha256", Sha256Hex(kProgram));
  EXPECT_EQ(client_.CheckFile(entry.get(), install_.WSub("tool.exe"), error),
            eVClientResult::VerifyFailed);
  EXPECT_EQ(client_.CheckFile(entry.get(), install_.WSub("missing.exe"), error),
            eVClientResult::VerifyFailed);
  EXPECT_TRUE(error.empty());
  EXPECT_EQ(client_.CheckFile(nullptr, install_.WSub("tool.exe"), error),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(client_.CheckFile(entry.get(), u"", error), eVClientResult::InvalidArgument);
}

class CompressFilesTest : public BuildFilesTest {
 protected:
  TempFolder source_;
};

TEST_F(CompressFilesTest, CompressesEachNamedFileAndListsBothForms) {
  std::filesystem::create_directories(source_.Sub("bin"));
  WriteTextFile(source_.Sub("bin/tool.exe"), kProgram);
  WriteTextFile(source_.Sub("empty.txt"), "");
  ArrayRef names = ArrayRef::Adopt(VSJArray::Create());
  auto text = [](const char* s) {
    return Vendra::RefPtr<VendraJSON::VSJValue>::Adopt(VendraJSON::VSJString::CreateUtf8(s));
  };
  names->Append(text("bin/tool.exe").get());
  names->Append(MakeEntry("not a name", "").get());
  names->Append(text("empty.txt").get());
  ArrayRef files;
  std::u16string error;
  ASSERT_EQ(client_.CompressFiles(download_.wpath(), source_.wpath(), names.get(),
                                  files.Receive(), error),
            eVClientResult::Success)
      << VendraText::Utf16ToUtf8(error);
  ASSERT_EQ(files->Count(), 2u);

  const std::string compressed = ReadTextFile(download_.Sub("bin/tool.exe.z"));
  // Level 7 with zlib's standard settings, byte for byte.
  EXPECT_EQ(compressed, Compress(kProgram, 7));
  std::string json;
  EntryAt(files.get(), 0)->WriteJSONA(json, false, 0, "");
  EXPECT_EQ(json, "{\"filename\":\"bin/tool.exe\",\"size\":" + std::to_string(kProgram.size()) +
                      ",\"sha256\":\"" + Sha256Hex(kProgram) + "\",\"compressed_sha256\":\"" +
                      Sha256Hex(compressed) +
                      "\",\"compressed_size\":" + std::to_string(compressed.size()) + "}");
  // An empty file has no digest of its content, but its stream has one.
  const VSJObject* empty = EntryAt(files.get(), 1);
  EXPECT_EQ(Text(empty, u"sha256"), "");
  EXPECT_EQ(Number(empty, u"size"), 0);
  EXPECT_EQ(Text(empty, u"compressed_sha256"), Sha256Hex(Compress("", 7)));

  // What was listed is exactly what the download check expects.
  ObjectRef build = ObjectRef::Adopt(VSJObject::Create());
  ArrayRef toDownload;
  ASSERT_EQ(client_.GetFilesToDownload(build.get(), files.get(), download_.wpath(),
                                       toDownload.Receive(), error),
            eVClientResult::Success);
  EXPECT_EQ(toDownload->Count(), 0u);
}

TEST_F(CompressFilesTest, MissingSourceOrUnsafeNameFailsWithoutAList) {
  ArrayRef names = ArrayRef::Adopt(VSJArray::Create());
  names->Append(
      Vendra::RefPtr<VendraJSON::VSJValue>::Adopt(VendraJSON::VSJString::CreateUtf8("gone.txt"))
          .get());
  ArrayRef files = MakeList({});
  std::u16string error;
  EXPECT_EQ(client_.CompressFiles(download_.wpath(), source_.wpath(), names.get(),
                                  files.Receive(), error),
            eVClientResult::Failed);
  EXPECT_FALSE(files);
  EXPECT_EQ(error, u"Failed to open file " + VendraPlatform::PathAppend(source_.wpath(), u"gone.txt") +
                       u" for reading (err=2)");
  EXPECT_FALSE(std::filesystem::exists(download_.Sub("gone.txt.z")));

  ArrayRef climbing = ArrayRef::Adopt(VSJArray::Create());
  climbing->Append(
      Vendra::RefPtr<VendraJSON::VSJValue>::Adopt(VendraJSON::VSJString::CreateUtf8("../x"))
          .get());
  EXPECT_EQ(client_.CompressFiles(download_.wpath(), source_.wpath(), climbing.get(),
                                  files.Receive(), error),
            eVClientResult::Failed);
  EXPECT_EQ(error, u"Refused unsafe file name \"../x\" in the file list");
  EXPECT_EQ(client_.CompressFiles(u"", source_.wpath(), names.get(), files.Receive(), error),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(client_.CompressFiles(download_.wpath(), u"", names.get(), files.Receive(), error),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(client_.CompressFiles(download_.wpath(), source_.wpath(), nullptr, files.Receive(),
                                  error),
            eVClientResult::InvalidArgument);
}

}  // namespace
