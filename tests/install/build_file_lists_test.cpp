#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>

#include "common/text/utf.h"
#include "tests/install/build_files_fixture.h"
#include "tests/support/temp_folder.h"

namespace {

using VendraClient::eVClientResult;
using VendraJSON::VSJArray;
using VendraJSON::VSJObject;
using namespace VendraTest;

const std::string kAlpha = "alpha content\n";
const std::string kBeta(70000, 'b');

class FilesToInstallTest : public BuildFilesTest {
 protected:
  // GetFilesToInstall over list into out; answers the code.
  eVClientResult ToInstall(VSJArray* list, ArrayRef& out) {
    error_.clear();
    return client_.GetFilesToInstall(list, install_.wpath(), out.Receive(), error_);
  }

  std::u16string error_;
};

TEST_F(FilesToInstallTest, FilesThatMatchAreNotListed) {
  WriteTextFile(install_.Sub("alpha.txt"), kAlpha);
  std::filesystem::create_directories(install_.Sub("bin"));
  WriteTextFile(install_.Sub("bin/beta.dll"), kBeta);
  ObjectRef alpha = MakeEntry("alpha.txt", kAlpha);
  // A name written with the system's backslashes names the same file.
  ObjectRef beta = MakeEntry("bin\\beta.dll", kBeta);
  ArrayRef list = MakeList({alpha.get(), beta.get()});
  ArrayRef out;
  ASSERT_EQ(ToInstall(list.get(), out), eVClientResult::Success);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->Count(), 0u);
}

TEST_F(FilesToInstallTest, MissingFileIsListedWithItsPlaceOnly) {
  ObjectRef alpha = MakeEntry("sub/alpha.txt", kAlpha);
  ArrayRef list = MakeList({alpha.get()});
  ArrayRef out;
  ASSERT_EQ(ToInstall(list.get(), out), eVClientResult::Success);
  ASSERT_EQ(out->Count(), 1u);
  const VSJObject* entry = EntryAt(out.get(), 0);
  EXPECT_EQ(Text(entry, u"local_filename"), Joined(install_, "sub/alpha.txt"));
  EXPECT_FALSE(entry->Has(u"local_size"));
  EXPECT_FALSE(entry->Has(u"local_sha256"));
  // The rest of the entry travels along; the caller's entry is not touched.
  EXPECT_EQ(Text(entry, u"sha256"), Sha256Hex(kAlpha));
  EXPECT_EQ(Number(entry, u"compressed_size"), Number(alpha.get(), u"compressed_size"));
  EXPECT_FALSE(alpha->Has(u"local_filename"));
}

TEST_F(FilesToInstallTest, WrongContentIsHashedWrongLengthIsNot) {
  const std::string sameLength(kAlpha.size(), 'x');
  WriteTextFile(install_.Sub("alpha.txt"), sameLength);
  WriteTextFile(install_.Sub("beta.dll"), "short");
  ObjectRef alpha = MakeEntry("alpha.txt", kAlpha);
  ObjectRef beta = MakeEntry("beta.dll", kBeta);
  ArrayRef list = MakeList({alpha.get(), beta.get()});
  ArrayRef out;
  ASSERT_EQ(ToInstall(list.get(), out), eVClientResult::Success);
  ASSERT_EQ(out->Count(), 2u);
  const VSJObject* wrongContent = EntryAt(out.get(), 0);
  EXPECT_EQ(Number(wrongContent, u"local_size"), static_cast<int64_t>(kAlpha.size()));
  EXPECT_EQ(Text(wrongContent, u"local_sha256"), Sha256Hex(sameLength));
  const VSJObject* wrongLength = EntryAt(out.get(), 1);
  EXPECT_EQ(Number(wrongLength, u"local_size"), 5);
  EXPECT_FALSE(wrongLength->Has(u"local_sha256"));
}

TEST_F(FilesToInstallTest, FedBackStateIsTrustedWhileTheFileStillOpens) {
  WriteTextFile(install_.Sub("alpha.txt"), std::string(kAlpha.size(), 'x'));
  ObjectRef alpha = MakeEntry("alpha.txt", kAlpha);
  ArrayRef list = MakeList({alpha.get()});
  ArrayRef first;
  ASSERT_EQ(ToInstall(list.get(), first), eVClientResult::Success);
  ASSERT_EQ(first->Count(), 1u);

  // The file is now right, but the recorded length and digest are believed:
  // the entry is listed again without the file being read.
  WriteTextFile(install_.Sub("alpha.txt"), kAlpha);
  ArrayRef second;
  ASSERT_EQ(ToInstall(first.get(), second), eVClientResult::Success);
  ASSERT_EQ(second->Count(), 1u);
  EXPECT_EQ(Text(EntryAt(second.get(), 0), u"local_sha256"),
            Text(EntryAt(first.get(), 0), u"local_sha256"));

  // Recorded state that claims a match is believed too, whatever the file holds.
  WriteTextFile(install_.Sub("alpha.txt"), "something else entirely");
  ObjectRef claimed = MakeEntry("alpha.txt", kAlpha);
  claimed->SetInteger(u"local_size", static_cast<int64_t>(kAlpha.size()));
  claimed->SetStringA(u"local_sha256", Sha256Hex(kAlpha));
  ArrayRef claimedList = MakeList({claimed.get()});
  ArrayRef third;
  ASSERT_EQ(ToInstall(claimedList.get(), third), eVClientResult::Success);
  EXPECT_EQ(third->Count(), 0u);

  // ... but only while the file opens.
  std::filesystem::remove(install_.Sub("alpha.txt"));
  ASSERT_EQ(ToInstall(claimedList.get(), third), eVClientResult::Success);
  ASSERT_EQ(third->Count(), 1u);
  EXPECT_EQ(Text(EntryAt(third.get(), 0), u"local_sha256"), Sha256Hex(kAlpha));
}

TEST_F(FilesToInstallTest, EntriesThatCannotMatchAreAlwaysListed) {
  WriteTextFile(install_.Sub("nodigest.txt"), kAlpha);
  WriteTextFile(install_.Sub("empty.txt"), "");
  ObjectRef withoutDigest = ObjectRef::Adopt(VSJObject::Create());
  withoutDigest->SetStringA(u"filename", "nodigest.txt");
  withoutDigest->SetInteger(u"size", static_cast<int64_t>(kAlpha.size()));
  ObjectRef empty = MakeEntry("empty.txt", "");
  ArrayRef list = MakeList({withoutDigest.get(), empty.get()});
  ArrayRef out;
  ASSERT_EQ(ToInstall(list.get(), out), eVClientResult::Success);
  // An empty file in place matches its entry (the digest of nothing); an
  // entry without a digest never does.
  ASSERT_EQ(out->Count(), 1u);
  EXPECT_EQ(Text(EntryAt(out.get(), 0), u"local_filename"), Joined(install_, "nodigest.txt"));
}

TEST_F(FilesToInstallTest, SizesCompareByTheirLow32BitsAndDigestsIgnoreCase) {
  WriteTextFile(install_.Sub("alpha.txt"), kAlpha);
  ObjectRef alpha = MakeEntry("alpha.txt", kAlpha);
  alpha->SetInteger(u"size", (int64_t{1} << 32) + static_cast<int64_t>(kAlpha.size()));
  std::string upper = Sha256Hex(kAlpha);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  alpha->SetStringA(u"sha256", upper);
  ArrayRef list = MakeList({alpha.get()});
  ArrayRef out;
  ASSERT_EQ(ToInstall(list.get(), out), eVClientResult::Success);
  EXPECT_EQ(out->Count(), 0u);
}

TEST_F(FilesToInstallTest, ElementsThatAreNotObjectsAreSkipped) {
  ObjectRef alpha = MakeEntry("alpha.txt", kAlpha);
  ArrayRef list = ArrayRef::Adopt(VSJArray::Create());
  list->Append(nullptr);
  ArrayRef inner = ArrayRef::Adopt(VSJArray::Create());
  list->Append(inner.get());
  list->Append(alpha.get());
  ArrayRef out;
  ASSERT_EQ(ToInstall(list.get(), out), eVClientResult::Success);
  ASSERT_EQ(out->Count(), 1u);
  EXPECT_EQ(Text(EntryAt(out.get(), 0), u"filename"), "alpha.txt");
}

// The names come from the service: none may lead outside the install folder,
// not even to be read.
TEST_F(FilesToInstallTest, NamesThatLeaveTheFolderAreRefused) {
  TempFolder outside;
  WriteTextFile(outside.Sub("secret"), kAlpha);
  const std::string climb =
      "../" + std::filesystem::path(outside.path()).filename().string() + "/secret";
  for (const std::string& name :
       {climb, outside.Sub("secret"), std::string("C:\\Windows\\win.ini"),
        std::string("\\\\server\\share\\x"), std::string("bin/../../x"), std::string("..\\x"),
        std::string("")}) {
    ObjectRef good = MakeEntry("alpha.txt", kAlpha);
    ObjectRef hostile = MakeEntry(name, kAlpha);
    ArrayRef list = MakeList({good.get(), hostile.get()});
    ArrayRef out = MakeList({});
    EXPECT_EQ(ToInstall(list.get(), out), eVClientResult::Failed) << name;
    EXPECT_FALSE(out) << name;
    EXPECT_EQ(error_, VendraText::Utf8ToUtf16("Refused unsafe file name \"" + name +
                                              "\" in the file list"));
  }
}

TEST_F(FilesToInstallTest, MissingArgumentsAreRefused) {
  ArrayRef list = MakeList({});
  ArrayRef out = MakeList({});
  std::u16string error;
  EXPECT_EQ(client_.GetFilesToInstall(nullptr, install_.wpath(), out.Receive(), error),
            eVClientResult::InvalidArgument);
  EXPECT_FALSE(out);
  EXPECT_EQ(client_.GetFilesToInstall(list.get(), u"", out.Receive(), error),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(client_.GetFilesToInstall(list.get(), install_.wpath(), nullptr, error),
            eVClientResult::InvalidArgument);
  EXPECT_TRUE(error.empty());
}

TEST_F(FilesToInstallTest, BuildFilesComeFromDataFiles) {
  ObjectRef alpha = MakeEntry("alpha.txt", kAlpha);
  ArrayRef files = MakeList({alpha.get()});
  ObjectRef data = ObjectRef::Adopt(VSJObject::Create());
  data->Set(u"files", files.get());
  ObjectRef build = ObjectRef::Adopt(VSJObject::Create());
  build->Set(u"data", data.get());
  ArrayRef out;
  std::u16string error;
  ASSERT_EQ(client_.GetBuildFilesToInstall(build.get(), install_.wpath(), out.Receive(), error),
            eVClientResult::Success);
  ASSERT_EQ(out->Count(), 1u);

  ObjectRef noFiles = ObjectRef::Adopt(VSJObject::Create());
  noFiles->Set(u"data", ObjectRef::Adopt(VSJObject::Create()).get());
  for (VSJObject* broken : {noFiles.get(), data.get()}) {
    error.clear();
    EXPECT_EQ(client_.GetBuildFilesToInstall(broken, install_.wpath(), out.Receive(), error),
              eVClientResult::Failed);
    EXPECT_EQ(error, u"Build data missing file list");
    EXPECT_FALSE(out);
  }
}

class FilesToDownloadTest : public BuildFilesTest {};

TEST_F(FilesToDownloadTest, CompressedCopiesAreComparedAndRecorded) {
  ObjectRef alpha = MakeEntry("alpha.txt", kAlpha);
  ObjectRef beta = MakeEntry("bin/beta.dll", kBeta);
  ObjectRef gamma = MakeEntry("gamma.bin", kBeta + "g");
  WriteTextFile(download_.Sub("alpha.txt.z"), Compress(kAlpha));
  std::filesystem::create_directories(download_.Sub("bin"));
  const std::string wrong = Compress(kBeta, 1);
  WriteTextFile(download_.Sub("bin/beta.dll.z"), wrong);
  ArrayRef list = MakeList({alpha.get(), beta.get(), gamma.get()});
  ObjectRef build = ObjectRef::Adopt(VSJObject::Create());
  ArrayRef out;
  std::u16string error;
  ASSERT_EQ(client_.GetFilesToDownload(build.get(), list.get(), download_.wpath(), out.Receive(),
                                       error),
            eVClientResult::Success);
  ASSERT_EQ(out->Count(), 2u);
  const VSJObject* changed = EntryAt(out.get(), 0);
  EXPECT_EQ(Text(changed, u"local_compressed_filename"), Joined(download_, "bin/beta.dll.z"));
  EXPECT_EQ(Number(changed, u"local_compressed_size"), static_cast<int64_t>(wrong.size()));
  // A copy of another length is not hashed.
  EXPECT_FALSE(changed->Has(u"local_compressed_sha256"));
  const VSJObject* missing = EntryAt(out.get(), 1);
  EXPECT_EQ(Text(missing, u"local_compressed_filename"), Joined(download_, "gamma.bin.z"));
  EXPECT_FALSE(missing->Has(u"local_compressed_size"));

  // Fed back, the recorded length is believed; with the right length, the
  // content is hashed and recorded.
  WriteTextFile(download_.Sub("gamma.bin.z"), std::string(Compress(kBeta + "g").size(), 'z'));
  ArrayRef again;
  ASSERT_EQ(client_.GetFilesToDownload(build.get(), out.get(), download_.wpath(),
                                       again.Receive(), error),
            eVClientResult::Success);
  ASSERT_EQ(again->Count(), 2u);
  EXPECT_EQ(Number(EntryAt(again.get(), 0), u"local_compressed_size"),
            static_cast<int64_t>(wrong.size()));
  EXPECT_EQ(Text(EntryAt(again.get(), 1), u"local_compressed_sha256"),
            Sha256Hex(std::string(Compress(kBeta + "g").size(), 'z')));
}

TEST_F(FilesToDownloadTest, WithoutAListTheBuildsFilesAreUsed) {
  ObjectRef alpha = MakeEntry("alpha.txt", kAlpha);
  ArrayRef files = MakeList({alpha.get()});
  ObjectRef data = ObjectRef::Adopt(VSJObject::Create());
  data->Set(u"files", files.get());
  ObjectRef build = ObjectRef::Adopt(VSJObject::Create());
  build->Set(u"data", data.get());
  ArrayRef out;
  std::u16string error;
  ASSERT_EQ(client_.GetFilesToDownload(build.get(), nullptr, download_.wpath(), out.Receive(),
                                       error),
            eVClientResult::Success);
  EXPECT_EQ(out->Count(), 1u);

  // A build without its file list is an argument fault here, and says so.
  ObjectRef bare = ObjectRef::Adopt(VSJObject::Create());
  ObjectRef noFiles = ObjectRef::Adopt(VSJObject::Create());
  noFiles->Set(u"data", ObjectRef::Adopt(VSJObject::Create()).get());
  for (VSJObject* broken : {bare.get(), noFiles.get()}) {
    error.clear();
    EXPECT_EQ(client_.GetFilesToDownload(broken, nullptr, download_.wpath(), out.Receive(), error),
              eVClientResult::InvalidArgument);
    EXPECT_EQ(error, u"Build data missing file list");
    EXPECT_FALSE(out);
  }
  EXPECT_EQ(client_.GetFilesToDownload(build.get(), nullptr, u"", out.Receive(), error),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(client_.GetFilesToDownload(nullptr, files.get(), download_.wpath(), out.Receive(),
                                       error),
            eVClientResult::InvalidArgument);
}

TEST_F(FilesToDownloadTest, NamesThatLeaveTheFolderAreRefused) {
  ObjectRef hostile = MakeEntry("../../etc/cron.d/job", kAlpha);
  ArrayRef list = MakeList({hostile.get()});
  ObjectRef build = ObjectRef::Adopt(VSJObject::Create());
  ArrayRef out;
  std::u16string error;
  EXPECT_EQ(client_.GetFilesToDownload(build.get(), list.get(), download_.wpath(),
                                       out.Receive(), error),
            eVClientResult::Failed);
  EXPECT_FALSE(out);
  EXPECT_EQ(error, u"Refused unsafe file name \"../../etc/cron.d/job\" in the file list");
}

}  // namespace
