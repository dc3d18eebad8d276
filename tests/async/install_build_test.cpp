#include <string>
#include <vector>

#include "async/v_async_install_build.h"
#include "common/text/utf.h"
#include "tests/async/build_jobs_fixture.h"

namespace VendraTest {
namespace {

using VendraClient::eVClientResult;

class InstallBuildTest : public BuildJobsTest {
 protected:
  // Runs a job to its end with a listener of its own; its final status.
  int32_t RunToEnd(VendraClient::VAsync* job, NoticeRecorder* listener) {
    EXPECT_EQ(job->Start(listener), 2);
    return AwaitEnd(job);
  }
  ArrayRef ToInstall(VendraJSON::VSJArray* files) {
    ArrayRef list;
    std::u16string error;
    EXPECT_EQ(buildClient_.GetFilesToInstall(files, install_.wpath(), list.Receive(), error),
              eVClientResult::Success)
        << VendraText::Utf16ToUtf8(error);
    return list;
  }
  JobRef MakeJob(VendraJSON::VSJObject* build, VendraJSON::VSJArray* files) {
    JobRef job;
    EXPECT_EQ(buildClient_.InstallBuildAsync(build, files, downloads_.wpath(), install_.wpath(),
                                             job.Receive()),
              eVClientResult::Success);
    return job;
  }
};

TEST_F(InstallBuildTest, TheFactoryWantsABuildAListAnOutPlaceAndBothFolders) {
  ObjectRef build = Build(nullptr);
  ArrayRef files = ParseArray("[]");
  const std::u16string from = downloads_.wpath();
  const std::u16string to = install_.wpath();
  JobRef job;
  EXPECT_EQ(buildClient_.InstallBuildAsync(nullptr, files.get(), from, to, job.Receive()),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(buildClient_.InstallBuildAsync(build.get(), nullptr, from, to, job.Receive()),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(buildClient_.InstallBuildAsync(build.get(), files.get(), from, to, nullptr),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(buildClient_.InstallBuildAsync(build.get(), files.get(), u"", to, job.Receive()),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(buildClient_.InstallBuildAsync(build.get(), files.get(), from, u"", job.Receive()),
            eVClientResult::InvalidArgument);
  EXPECT_EQ(job.get(), nullptr);
  ASSERT_EQ(buildClient_.InstallBuildAsync(build.get(), files.get(), from, to, job.Receive()),
            eVClientResult::Success);
  EXPECT_EQ(job->GetStatus(), 1);
}

TEST_F(InstallBuildTest, ADownloadedBuildIsInstalledIntoTheFolder) {
  const std::string program = NoiseBytes(40000, 31);
  const std::string library = std::string(30000, 'L');
  ObjectRef programEntry = Publish("Tandory.exe", program);
  ObjectRef libraryEntry = Publish("bin/engine.dll", library);
  ArrayRef files = ListOf({programEntry.get(), libraryEntry.get()});
  ObjectRef build = Build(files.get());

  JobRef download;
  std::u16string error;
  ArrayRef toDownload = ToDownload(build.get(), nullptr);
  ASSERT_EQ(toDownload->Count(), 2u);
  ASSERT_EQ(client_->DownloadBuildAsync(build.get(), toDownload.get(), downloads_.wpath(),
                                        download.Receive(), error),
            eVClientResult::Success);
  auto downloadListener = Vendra::RefPtr<NoticeRecorder>::Adopt(NoticeRecorder::Create());
  ASSERT_EQ(RunToEnd(download.get(), downloadListener.get()), 0);

  ArrayRef toInstall = ToInstall(files.get());
  ASSERT_EQ(toInstall->Count(), 2u);
  JobRef job = MakeJob(build.get(), toInstall.get());
  auto listener = Vendra::RefPtr<NoticeRecorder>::Adopt(NoticeRecorder::Create());
  ASSERT_EQ(RunToEnd(job.get(), listener.get()), 0);
  ASSERT_TRUE(Eventually([&] { return listener->Notices().size() == 2; }));
  EXPECT_EQ(listener->Outline(), (std::vector<std::string>{"started", "succeeded"}));
  EXPECT_EQ(listener->Notices()[1].sender, job.get());

  EXPECT_EQ(ReadWholeFile(install_.Sub("Tandory.exe")), program);
  EXPECT_EQ(ReadWholeFile(install_.Sub("bin/engine.dll")), library);
  VendraJSON::VSJObject* result = nullptr;
  EXPECT_EQ(job->GetResult(&result), 0);
  EXPECT_EQ(result, nullptr);
}

TEST_F(InstallBuildTest, AFailingFileEndsTheWalkAndHandsOutItsResultObject) {
  const std::string first = NoiseBytes(2000, 41);
  ObjectRef good = Publish("a/first.dat", first);
  ObjectRef damaged = Publish("b/second.dat", NoiseBytes(2000, 42));
  ObjectRef later = Publish("c/third.dat", NoiseBytes(2000, 43));
  // What a download would have left: two good ".z" files and a damaged one.
  WriteServiceFile(downloads_.path(), "a/first.dat.z", Compress(first));
  WriteServiceFile(downloads_.path(), "b/second.dat.z", "not a zlib stream");
  WriteServiceFile(downloads_.path(), "c/third.dat.z", Compress(NoiseBytes(2000, 43)));
  ArrayRef toInstall = ToInstall(ListOf({good.get(), damaged.get(), later.get()}).get());
  ASSERT_EQ(toInstall->Count(), 3u);
  ObjectRef build = Build(nullptr);
  JobRef job = MakeJob(build.get(), toInstall.get());
  auto listener = Vendra::RefPtr<NoticeRecorder>::Adopt(NoticeRecorder::Create());

  const int32_t status = RunToEnd(job.get(), listener.get());
  EXPECT_LT(status, 0);
  std::u16string text;
  EXPECT_EQ(job->GetErrorText(text), status);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(ReadWholeFile(install_.Sub("a/first.dat")), first) << "done files stay done";
  EXPECT_FALSE(FileExists(install_.Sub("b/second.dat")));
  EXPECT_FALSE(FileExists(install_.Sub("c/third.dat"))) << "later files are not touched";
  // An installation failure is told by the job alone.
  EXPECT_EQ(listener->Outline(), (std::vector<std::string>{"started"}));

  VendraJSON::VSJObject* raw = nullptr;
  EXPECT_EQ(job->GetResult(&raw), status);
  ASSERT_NE(raw, nullptr);
  auto result = ObjectRef::Adopt(raw);
  EXPECT_EQ(result->Count(), 4u);
  ObjectRef file;
  ASSERT_TRUE(result->GetObject(u"file", file.Receive()));
  EXPECT_EQ(file.get(), EntryAt(toInstall.get(), 1).get()) << "the failing file's own entry";
  ObjectRef sameBuild;
  ASSERT_TRUE(result->GetObject(u"build", sameBuild.Receive()));
  EXPECT_EQ(sameBuild.get(), build.get());
  std::u16string path;
  ASSERT_TRUE(result->GetString(u"download_path", path));
  EXPECT_EQ(path, downloads_.wpath());
  ASSERT_TRUE(result->GetString(u"install_path", path));
  EXPECT_EQ(path, install_.wpath());
}

}  // namespace
}  // namespace VendraTest
