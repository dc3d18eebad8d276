#include "service/reply_encoding.h"

#include <zlib.h>

#include <cctype>
#include <string>
#include <utility>

#include "service/digest.h"

namespace VendraService {

namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

// "q=0", "q=0.0", "q=0.000": the coding is refused.
bool Refused(std::string_view parameters) {
  while (!parameters.empty()) {
    const size_t end = parameters.find(';');
    const std::string_view parameter = Trimmed(parameters.substr(0, end));
    if (parameter.size() >= 3 && (parameter[0] == 'q' || parameter[0] == 'Q') &&
        parameter[1] == '=') {
      const std::string_view value = parameter.substr(2);
      return value.find_first_not_of("0.") == std::string_view::npos && value.front() == '0';
    }
    if (end == std::string_view::npos) break;
    parameters.remove_prefix(end + 1);
  }
  return false;
}

// text as one gzip member; empty when zlib cannot start.
std::string Gzip(std::string_view text) {
  z_stream stream{};
  // 15 window bits, plus 16 for the gzip wrapper.
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8,
                   Z_DEFAULT_STRATEGY) != Z_OK)
    return std::string();
  std::string out(deflateBound(&stream, static_cast<uLong>(text.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return result == Z_STREAM_END ? out : std::string();
}

}  // namespace

bool AcceptsGzip(std::string_view acceptEncoding) {
  bool accepted = false;
  while (!acceptEncoding.empty()) {
    const size_t end = acceptEncoding.find(',');
    const std::string_view item = acceptEncoding.substr(0, end);
    const size_t semicolon = item.find(';');
    const std::string coding = ToLowerAscii(Trimmed(item.substr(0, semicolon)));
    const std::string_view parameters =
        semicolon == std::string_view::npos ? std::string_view() : item.substr(semicolon + 1);
    // A named gzip decides; "*" only stands for it when gzip is not named.
    if (coding == "gzip" || coding == "x-gzip") return !Refused(parameters);
    if (coding == "*") accepted = !Refused(parameters);
    if (end == std::string_view::npos) break;
    acceptEncoding.remove_prefix(end + 1);
  }
  return accepted;
}

bool EncodeForClient(ServiceReply& reply, std::string_view acceptEncoding) {
  if (!reply.filePath.empty() || reply.contentType != "application/json" ||
      !AcceptsGzip(acceptEncoding))
    return false;
  for (const auto& header : reply.headers) {
    if (ToLowerAscii(header.first) == "content-encoding") return false;
  }
  std::string encoded = Gzip(reply.body);
  // Without memory for zlib the body goes as it is.
  if (encoded.empty()) return false;
  reply.body = std::move(encoded);
  reply.headers.emplace_back("Content-Encoding", "gzip");
  return true;
}

}  // namespace VendraService
