#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/service/service_fixture.h"

namespace VendraTest {
namespace {

int RunService(const std::string& arguments) {
  const int status = std::system((ServiceProgram() + " " + arguments + " 2>/dev/null").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ServiceProgramTest, RefusesMalformedCommandLines) {
  TempFolder root;
  EXPECT_EQ(RunService(""), 2);
  EXPECT_EQ(RunService("fly"), 2);
  EXPECT_EQ(RunService("serve --root " + root.path()), 2);
  EXPECT_EQ(RunService("serve --root " + root.path() + " --listen 127.0.0.1"), 2);
  EXPECT_EQ(RunService("serve --root " + root.path() + " --listen 127.0.0.1:0 --tls-cert x"), 2);
  EXPECT_EQ(RunService("serve --root " + root.path() + " --listen 0.0.0.0:0 --faults"), 2);
  EXPECT_EQ(RunService("serve --root " + root.path() + " --listen 127.0.0.1:0 --colour red"), 2);
  EXPECT_EQ(RunService("add-user --root " + root.path() + " --user ../x --password p"), 2);
  EXPECT_EQ(RunService("add-user --root " + root.path() + " --user x --password p --totp-secret 1"),
            2);
  EXPECT_FALSE(std::filesystem::exists(root.Sub("accounts")));
}

TEST(ServiceProgramTest, StopsCleanlyOnSigterm) {
  TempFolder root;
  ServiceProcess service(root.path());
  ASSERT_TRUE(service.ok());
  EXPECT_EQ(service.url().rfind("https://127.0.0.1:", 0), 0u);
  EXPECT_EQ(service.url().back(), '/');
  // A stop also ends a reply that is scripted to take long.
  ASSERT_TRUE(service.Script("vclient/slow", R"([{"status":200,"body":"{}","delay_ms":60000}])"));
  std::thread slow([&] { PostForm(service.url() + "vclient/slow", service.caFile(), {{"a", "b"}}); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(service.Stop(), 0);
  slow.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

TEST(ServiceProgramTest, PlainHttpWithoutCertificate) {
  TempFolder root;
  ServiceProcess service(root.path(), {false, false, {}});
  ASSERT_TRUE(service.ok());
  EXPECT_EQ(service.url().rfind("http://127.0.0.1:", 0), 0u);
  const HttpReply reply = PostForm(service.url() + "vclient/nothing", "", {{"a", "b"}});
  EXPECT_EQ(reply.status, 404);
  EXPECT_EQ(reply.body, R"({"error":"Unknown request path"})");
}

TEST(ServiceProgramTest, ScriptsNeedTheFaultsSwitch) {
  TempFolder root;
  ServiceProcess service(root.path(), {true, false, {}});
  ASSERT_TRUE(service.ok());
  EXPECT_FALSE(service.Script("vclient/login", R"([{"status":500}])"));
}

class FaultInjectionTest : public ServiceTest {
 protected:
  HttpReply Call(const std::string& path, long timeout = 30) {
    return PostForm(service_->url() + path, service_->caFile(), {{"x", "1"}}, timeout);
  }
};

TEST_F(FaultInjectionTest, ScriptedRepliesComeInOrderThenTheRealOne) {
  ASSERT_TRUE(service_->Script("/vclient/builds",
                               R"([{"status":500,"body":""},{"status":200,"body":"plain text",
                                   "content_type":"text/plain"}])"));
  const HttpReply first = Call("vclient/builds");
  EXPECT_EQ(first.status, 500);
  EXPECT_EQ(first.body, "");
  const HttpReply second = Call("vclient/builds");
  EXPECT_EQ(second.status, 200);
  EXPECT_EQ(second.body, "plain text");
  EXPECT_EQ(Call("vclient/builds").status, 401);  // the real reply: no access token
  const auto log = service_->RequestLog();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_TRUE(log[0].value("scripted", false));
  EXPECT_FALSE(log[2].value("scripted", false));
}

TEST_F(FaultInjectionTest, MalformedScriptIsRefusedWhole) {
  EXPECT_FALSE(service_->Script("vclient/builds", R"([{"status":500},{"stauts":200}])"));
  EXPECT_EQ(Call("vclient/builds").status, 401);
  ASSERT_TRUE(service_->Script("vclient/builds", R"([{"status":503}])"));
  ASSERT_TRUE(service_->ClearScript());
  EXPECT_EQ(Call("vclient/builds").status, 401);
}

TEST_F(FaultInjectionTest, DelayOutlastsAClientTimeout) {
  ASSERT_TRUE(service_->Script("vclient/builds", R"([{"status":200,"body":"{}","delay_ms":3000}])"));
  const HttpReply reply = Call("vclient/builds", 1);
  EXPECT_EQ(reply.curlCode, 28);  // operation timed out
}

TEST_F(FaultInjectionTest, ConnectionCutAfterSomeBytes) {
  ASSERT_TRUE(service_->Script(
      "vclient/builds", R"([{"status":200,"body":"0123456789abcdefghij","close_after":7}])"));
  const HttpReply reply = Call("vclient/builds");
  EXPECT_NE(reply.curlCode, 0);
  EXPECT_EQ(reply.body, "0123456");
  // A body repeated far beyond itself, cut after a few copies.
  ASSERT_TRUE(service_->Script(
      "vclient/builds",
      R"([{"status":200,"body":"0123456789","repeat_to":1000000000,"close_after":25}])"));
  const HttpReply repeated = Call("vclient/builds");
  EXPECT_NE(repeated.curlCode, 0);
  EXPECT_EQ(repeated.body, "0123456789012345678901234");
}

// A real download cut at a chosen byte, then continued by a range request
// that is itself cut: the pieces join up to the file, and the log shows
// which bytes each request asked for.
TEST_F(FaultInjectionTest, CutAppliesToTheRealDownloadAndItsRanges) {
  const auto [access, local] = SignInAuthorised();
  std::string file(100000, 'z');
  for (size_t i = 0; i < file.size(); i += 7) file[i] = static_cast<char>('a' + i % 26);
  WriteServiceFile(root_.path(), "utilities/u/manifest.json", R"({"filename":"u.exe"})");
  WriteServiceFile(root_.path(), "utilities/u/u.exe.z", file);
  ASSERT_TRUE(service_->Script("vclient/download", R"([{"close_after":50000},{"close_after":30000}])"));
  const auto fetch = [&](const std::string& range) {
    return PostForm(service_->url() + "vclient/download", service_->caFile(),
                    {{"access_token", access}, {"local_id", kDevice}, {"local_token", local},
                     {"utility", "u"}},
                    30, range);
  };
  const HttpReply first = fetch("");
  EXPECT_NE(first.curlCode, 0);
  EXPECT_EQ(first.body, file.substr(0, 50000));
  const HttpReply second = fetch("50000-");
  EXPECT_NE(second.curlCode, 0);
  EXPECT_EQ(second.contentRange, "bytes 50000-99999/100000");
  EXPECT_EQ(second.body, file.substr(50000, 30000));
  const HttpReply third = fetch("80000-");
  EXPECT_EQ(third.curlCode, 0);
  EXPECT_EQ(third.status, 206);
  EXPECT_EQ(first.body + second.body + third.body, file);
  const auto log = service_->RequestLog();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[log.size() - 2].value("range", ""), "bytes=50000-");
  EXPECT_EQ(log.back().value("range", ""), "bytes=80000-");
  // The real file repeated: a range of it starts mid-copy and wraps round.
  ASSERT_TRUE(service_->Script("vclient/download", R"([{"repeat_to":250000}])"));
  const HttpReply repeated = fetch("150000-");
  EXPECT_EQ(repeated.status, 206);
  EXPECT_EQ(repeated.contentRange, "bytes 150000-249999/250000");
  EXPECT_EQ(repeated.body, (file + file + file).substr(150000, 100000));
}

TEST_F(FaultInjectionTest, SlowBodyArrivesWholeInSteps) {
  ASSERT_TRUE(service_->Script(
      "vclient/builds",
      R"([{"status":200,"body":"{\"live\":{\"version\":\"1\"}}","chunk_size":5,"chunk_delay_ms":100}])"));
  const auto started = std::chrono::steady_clock::now();
  const HttpReply reply = Call("vclient/builds");
  EXPECT_EQ(reply.curlCode, 0);
  EXPECT_EQ(reply.body, R"({"live":{"version":"1"}})");
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(400));
}

TEST_F(FaultInjectionTest, RedirectWithoutTarget) {
  ASSERT_TRUE(service_->Script("vclient/builds", R"([{"status":302}])"));
  EXPECT_EQ(Call("vclient/builds").status, 302);
}

}  // namespace
}  // namespace VendraTest
