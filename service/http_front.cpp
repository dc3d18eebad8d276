#include "service/http_front.h"

#include <cstdio>
#include <iostream>
#include <thread>

#include <httplib.h>

#include "service/body_source.h"
#include "service/byte_range.h"
#include "service/handlers.h"
#include "service/reply_encoding.h"

namespace VendraService {

namespace {

constexpr size_t kLargestRequest = 16 * 1024 * 1024;
constexpr size_t kWorkerThreads = 32;
constexpr std::chrono::seconds kLongestQuietWait{10};

ServiceReply ScriptedReplyOf(const ScriptedReply& scripted) {
  ServiceReply reply;
  reply.status = *scripted.status;
  reply.body = scripted.body;
  reply.contentType = scripted.contentType;
  return reply;
}

// The workers, counting the connections they serve.
class CountingWorkers : public httplib::TaskQueue {
 public:
  explicit CountingWorkers(OpenConnections& open) : pool_(kWorkerThreads), open_(open) {}

  void enqueue(std::function<void()> serve) override {
    open_.Opened();
    pool_.enqueue([this, serve = std::move(serve)] {
      serve();
      open_.Closed();
    });
  }
  void shutdown() override { pool_.shutdown(); }

 private:
  httplib::ThreadPool pool_;
  OpenConnections& open_;
};

std::string UrlHost(const std::string& host) {
  return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

}  // namespace

bool IsLoopbackHost(const std::string& host) {
  return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

bool IsLoopbackAddress(const std::string& address) {
  return address == "::1" || address.rfind("127.", 0) == 0 ||
         address.rfind("::ffff:127.", 0) == 0;
}

HttpFront::HttpFront(const ServeOptions& options)
    : options_(options),
      context_(options.root, options.lifetimes),
      log_(options.root / "requests.log"),
      rate_(options.rateBitsPerSecond) {
  if (options_.tlsCert.empty()) {
    server_ = std::make_unique<httplib::Server>();
  } else {
    server_ = std::make_unique<httplib::SSLServer>(options_.tlsCert.c_str(),
                                                   options_.tlsKey.c_str());
  }
  Install();
}

HttpFront::~HttpFront() = default;

void HttpFront::Install() {
  server_->new_task_queue = [this] { return new CountingWorkers(open_); };
  server_->set_payload_max_length(kLargestRequest);
  server_->set_keep_alive_timeout(2);
  // A client downloading a build sends hundreds of requests over the same
  // few connections; the library's default closes each after five.
  server_->set_keep_alive_max_count(100000);
  // Without it the last segment of every reply waits for the client's
  // delayed acknowledgement, some 40 ms a request.
  server_->set_tcp_nodelay(true);

  server_->Get(R"(/(.*))", [](const httplib::Request&, httplib::Response& res) {
    const ServiceReply reply = ErrorReply(405, "Only POST requests are served");
    res.status = reply.status;
    res.set_content(reply.body, reply.contentType);
  });

  server_->Post(R"(/(.*))", [this](const httplib::Request& req, httplib::Response& res,
                                   const httplib::ContentReader& reader) {
    // Ranges are served here, for file replies only: the library would cut
    // every reply, error objects included, and does not check that a range
    // starts inside the body.
    std::optional<std::string> rangeHeader;
    if (req.has_header("Range")) rangeHeader = req.get_header_value("Range");
    const_cast<httplib::Request&>(req).ranges.clear();
    ServiceRequest request;
    request.path = req.matches[1];
    request.remoteAddress = req.remote_addr;
    request.remotePort = req.remote_port;
    if (rangeHeader) request.range = *rangeHeader;
    std::string body;
    if (req.is_multipart_form_data()) {
      reader(
          [&](const httplib::MultipartFormData& field) {
            request.fields.emplace_back(field.name, std::string());
            return true;
          },
          [&](const char* data, size_t size) {
            if (!request.fields.empty()) request.fields.back().second.append(data, size);
            return true;
          });
    } else {
      reader([&](const char* data, size_t size) {
        body.append(data, size);
        return true;
      });
    }

    if (options_.faults && request.path.rfind("control/", 0) == 0) {
      ServiceReply reply;
      if (!IsLoopbackAddress(request.remoteAddress)) {
        reply = ErrorReply(403, "Control requests are taken from this machine only");
      } else if (request.path == "control/clear") {
        script_.Clear();
        reply = JsonReply(nlohmann::ordered_json::object());
      } else if (request.path == "control/script") {
        std::string reason;
        auto script = nlohmann::json::parse(body, nullptr, false);
        reply = script_.Add(script, reason) ? JsonReply(nlohmann::ordered_json::object())
                                            : ErrorReply(400, reason);
      } else if (request.path == "control/quiet") {
        // This request's own connection stays open.
        reply = open_.WaitUntilAtMost(1, kLongestQuietWait)
                    ? JsonReply(nlohmann::ordered_json::object())
                    : ErrorReply(503, "Other connections stayed open");
      } else {
        reply = ErrorReply(404, "Unknown control path");
      }
      res.status = reply.status;
      res.set_content(reply.body, reply.contentType);
      return;
    }

    std::optional<ScriptedReply> scripted;
    if (options_.faults && IsLoopbackAddress(request.remoteAddress)) {
      // A piece of a chunk pack goes by the pack's name.
      scripted = script_.Next(request.path, request.Field("filename")
                                                ? request.FieldOr("filename")
                                                : request.FieldOr("pack"));
    }
    ServiceReply reply = scripted && scripted->status ? ScriptedReplyOf(*scripted)
                                                      : Dispatch(context_, request);
    if (scripted) {
      reply.headers.insert(reply.headers.end(), scripted->headers.begin(),
                           scripted->headers.end());
    }
    // A scripted body is sent as the script has it, repeated or not.
    const bool scriptedBody = scripted && (scripted->status || scripted->repeatTo);
    const bool gzipped =
        !scriptedBody && EncodeForClient(reply, req.get_header_value("Accept-Encoding"));
    log_.Append(request, {reply.status, scripted.has_value(), gzipped,
                          reply.filePath.empty() ? std::optional<uint64_t>(reply.body.size())
                                                 : std::nullopt},
                context_.accounts.PasswordDigests());

    if (scripted && scripted->delayMs > 0 &&
        stop_.WaitFor(std::chrono::milliseconds(scripted->delayMs))) {
      res.status = 503;
      return;
    }
    res.status = reply.status;
    for (const auto& [name, value] : reply.headers) res.set_header(name.c_str(), value);
    BodyShaping shaping;
    if (scripted) {
      shaping.closeAfter = scripted->closeAfter;
      shaping.chunkSize = scripted->chunkSize;
      shaping.chunkDelayMs = scripted->chunkDelayMs;
      shaping.repeatTo = scripted->repeatTo;
    }
    const bool shaped = shaping.closeAfter || shaping.chunkSize != 0 ||
                        shaping.chunkDelayMs != 0 || shaping.repeatTo;
    if (reply.filePath.empty() && reply.body.empty() && !shaped) {
      res.set_content(reply.body, reply.contentType);
      return;
    }
    // Every other body goes out through a provider: the library would encode
    // a body it is handed whole on its own, over the encoding above; and a
    // limited rate holds every body to it, error objects included.
    auto source = std::make_shared<BodySource>(reply, shaping, rate_, stop_);
    if (!source->IsReady()) {
      const ServiceReply failure = ErrorReply(500, "The file could not be read");
      res.status = failure.status;
      res.set_content(failure.body, failure.contentType);
      return;
    }
    if (!reply.filePath.empty() && reply.status == 200) {
      const ByteRange range = ParseByteRange(rangeHeader, source->Size());
      res.set_header("Accept-Ranges", "bytes");
      if (range.kind == ByteRange::Kind::Unsatisfiable) {
        const ServiceReply refusal = ErrorReply(416, "The range starts past the end of the file");
        res.status = refusal.status;
        res.set_header("Content-Range", range.ContentRange(source->Size()));
        res.set_content(refusal.body, refusal.contentType);
        return;
      }
      if (range.kind == ByteRange::Kind::Part) {
        res.status = 206;
        res.set_header("Content-Range", range.ContentRange(source->Size()));
        source->Restrict(range.first, range.length);
      }
    }
    res.set_content_provider(
        static_cast<size_t>(source->Size()), reply.contentType,
        [source](size_t offset, size_t length, httplib::DataSink& sink) {
          return source->Provide(offset, length, sink);
        });
  });
}

int HttpFront::Run() {
  const int code = Serve();
  runEnded_ = true;
  return code;
}

int HttpFront::Serve() {
  if (!server_->is_valid()) {
    std::cerr << "vendra-service: cannot use the TLS certificate or key\n";
    return 1;
  }
  const int port = options_.port == 0 ? server_->bind_to_any_port(options_.host)
                                      : (server_->bind_to_port(options_.host, options_.port)
                                             ? options_.port
                                             : -1);
  if (port <= 0) {
    std::cerr << "vendra-service: cannot listen on " << options_.host << ":" << options_.port
              << "\n";
    return 1;
  }
  const char* scheme = options_.tlsCert.empty() ? "http" : "https";
  std::printf("listening %s://%s:%d/\n", scheme, UrlHost(options_.host).c_str(), port);
  std::fflush(stdout);
  if (stop_.Raised()) return 0;
  server_->listen_after_bind();
  return 0;
}

void HttpFront::Stop() {
  stop_.Raise();
  // A stop that arrives between binding and listening must wait for the
  // listener, or the listener would never see it.
  while (!runEnded_) {
    if (server_->is_running()) {
      server_->stop();
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace VendraService
