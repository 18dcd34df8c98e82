#include "files.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "accounts.h"
#include "request.h"

namespace site {
namespace {

constexpr uint64_t kGolden = 0x9E3779B97F4A7C15ull;
constexpr size_t kPiece = 256u << 10;  // bytes made and written at a time

// The part of a file an answer carries.
struct Span {
  uint64_t begin = 0, length = 0;
};

// Sets the headers of a file answer and decides what part it carries after Range and
// If-Range; false when the range cannot be satisfied (the 416 answer is then made).
bool Decide(uint64_t size, const Validators& v, bool ranges, const FileAsk& ask,
            httplib::Response& res, Span* span) {
  *span = Span{0, size};
  if (!ranges) return true;
  res.set_header("Accept-Ranges", "bytes");
  if (!v.etag.empty()) res.set_header("ETag", v.etag);
  if (!v.last_modified.empty()) res.set_header("Last-Modified", v.last_modified);
  if (ask.range.empty() || !IfRangeHolds(ask.if_range, v.etag, v.last_modified)) return true;
  ByteRange range = ParseRange(ask.range, size);
  if (range.kind == RangeKind::kUnsatisfiable) {
    res.status = 416;
    res.set_header("Content-Range", "bytes */" + std::to_string(size));
    res.set_content("416 Range Not Satisfiable: the file has " + std::to_string(size) + " bytes\n",
                    "text/plain; charset=us-ascii");
    return false;
  }
  if (range.kind == RangeKind::kPartial) {
    *span = Span{range.begin, range.end - range.begin};
    res.status = 206;
    res.set_header("Content-Range", "bytes " + std::to_string(range.begin) + "-" +
                                        std::to_string(range.end - 1) + "/" + std::to_string(size));
  }
  return true;
}

uint64_t GeneratedFingerprint(const GeneratedFile& file) {
  return Fingerprint("generated " + std::to_string(file.base) + " " + std::to_string(file.size) +
                     " " + file.signature);
}

}  // namespace

uint64_t Fingerprint(const std::string& bytes) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  return h;
}

Validators ValidatorsOf(uint64_t fingerprint) {
  char tag[24];
  std::snprintf(tag, sizeof tag, "\"%016llx\"", static_cast<unsigned long long>(fingerprint));
  // A date within 2024, fixed by the fingerprint.
  auto date = std::chrono::system_clock::from_time_t(1704067200) +
              std::chrono::seconds(fingerprint % (365ull * 86400));
  return Validators{tag, HttpDate(date)};
}

void PatternBytes(uint64_t base, uint64_t offset, char* out, size_t length) {
  // z steps by the constant instead of being multiplied afresh: the same bytes, faster.
  uint64_t z = (base + offset + 1) * kGolden;
  for (size_t i = 0; i < length; ++i) {
    out[i] = static_cast<char>((z ^ (z >> 31)) >> 56);
    z += kGolden;
  }
}

std::string PatternBytes(uint64_t base, uint64_t offset, size_t length) {
  std::string out(length, '\0');
  PatternBytes(base, offset, out.data(), length);
  return out;
}

std::string GeneratedBytes(const GeneratedFile& file, uint64_t offset, size_t length) {
  std::string out = PatternBytes(file.base, offset, length);
  for (uint64_t i = offset; i < file.signature.size() && i - offset < length; ++i)
    out[i - offset] = file.signature[i];
  return out;
}

void ServeGenerated(const GeneratedFile& file, const char* type, const FileAsk& ask,
                    httplib::Response& res) {
  Validators v;
  if (file.ranges) v = ValidatorsOf(GeneratedFingerprint(file));
  Span span;
  if (!Decide(file.size, v, file.ranges, ask, res, &span)) return;
  uint64_t end = span.begin + span.length;
  uint64_t stop = span.begin < file.cut_at ? std::min(end, file.cut_at) : end;
  auto start = std::make_shared<std::chrono::steady_clock::time_point>();
  res.set_content_provider(
      span.length, type,
      [file, span, stop, start](size_t offset, size_t length, httplib::DataSink& sink) {
        uint64_t at = span.begin + offset;
        if (at >= stop) return false;  // closes the connection
        if (file.rate) {
          if (offset == 0) *start = std::chrono::steady_clock::now();
          std::this_thread::sleep_until(*start +
                                        std::chrono::microseconds(offset * 1000000 / file.rate));
        }
        // A piece at a time: the library offers the whole rest in one call.
        size_t piece = static_cast<size_t>(std::min<uint64_t>({length, stop - at, kPiece}));
        std::string bytes = GeneratedBytes(file, at, piece);
        return sink.write(bytes.data(), bytes.size());
      });
}

void ServeBytes(const std::shared_ptr<const std::string>& data, const Validators& validators,
                const char* type, const FileAsk& ask, httplib::Response& res) {
  Span span;
  if (!Decide(data->size(), validators, true, ask, res, &span)) return;
  size_t begin = static_cast<size_t>(span.begin);
  res.set_content_provider(static_cast<size_t>(span.length), type,
                           [data, begin](size_t offset, size_t n, httplib::DataSink& sink) {
                             return sink.write(data->data() + begin + offset, n);
                           });
}

}  // namespace site
