// The HTTP response header parser, URL splitting and the request path, and
// gunzip of hostile bodies under its size limit.
#include <zlib.h>

#include <string>

#include "fuzz_check.h"
#include "http/gzip_unpack.h"
#include "http/http_message.h"

namespace {

constexpr int64_t kUnpackLimit = 1 << 20;

std::string Gzip(std::string_view data) {
  z_stream z{};
  FUZZ_CHECK(deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) == Z_OK);
  std::string out(deflateBound(&z, data.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  FUZZ_CHECK(deflate(&z, Z_FINISH) == Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

void CheckHeader(std::string_view received) {
  const auto header = http::ParseResponseHeader(received);
  if (!header) {
    FUZZ_CHECK(received.find("\r\n\r\n") == std::string_view::npos);
    return;
  }
  FUZZ_CHECK(header->headerBytes >= 4 && header->headerBytes <= received.size());
  FUZZ_CHECK(received.substr(header->headerBytes - 4, 4) == "\r\n\r\n");
  FUZZ_CHECK(header->contentLength >= -1);
}

void CheckUrl(std::string_view url) {
  const auto parts = http::SplitUrl(url);
  if (!parts) return;
  FUZZ_CHECK(!parts->host.empty());
  FUZZ_CHECK(parts->port >= 1);
  FUZZ_CHECK(!parts->path.empty() && parts->path[0] == '/');
  const std::string path = http::RequestPath(parts->path);
  for (unsigned char c : path) FUZZ_CHECK(c > ' ' && c < 127);
  const std::string request = http::BuildRequest(*parts, url.size() % 2 == 0);
  // The request line is one line: the path cannot end it early.
  FUZZ_CHECK(request.find("\n") == request.find(" HTTP/1.") + 9);
}

void CheckGunzip(std::string_view input) {
  if (input.empty()) return;
  const bool roundTrip = input[0] & 1;
  const std::string original(input.substr(1));
  std::string body = roundTrip ? Gzip(original) : original;
  const std::string packed = body;
  http::GunzipJob job;
  job.limit = kUnpackLimit;
  const bool ok = http::GunzipThroughFiles(body, job);
  if (!ok) {
    FUZZ_CHECK(body == packed);  // a failure leaves the body as it was
    FUZZ_CHECK(!roundTrip);
    return;
  }
  FUZZ_CHECK(int64_t(body.size()) <= kUnpackLimit);
  if (roundTrip) FUZZ_CHECK(body == original);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = fuzz::Bytes(data, size);
  CheckHeader(bytes);
  CheckUrl(bytes);
  CheckGunzip(bytes);
  return 0;
}
