// An answer as a server may send it, read as the download service reads it: the head and
// its verdict for each kind, Content-Range, the redirect target, then the body through the
// chunked framing and the content coding. The promises checked: the framing gives the same
// data and end whether the bytes come at once or in pieces, and never more data than it
// read; a followed redirect is a well-formed pure-ASCII address; a range is ordered; the
// decoder stops when its sink says so.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "answer_check.h"
#include "http_address.h"
#include "http_answer.h"
#include "http_body.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// The chunked framing over `body`, fed in pieces of `piece` bytes: the data and the state.
std::string Dechunk(std::string body, size_t piece, ChunkedDecoder::State& state) {
  ChunkedDecoder decoder;
  std::string data;
  for (size_t at = 0; at < body.size() && decoder.state() == ChunkedDecoder::State::MORE;) {
    size_t size = std::min(piece, body.size() - at), produced = 0, consumed = 0;
    decoder.Feed(&body[at], size, &produced, &consumed);
    Check(produced <= consumed && consumed <= size);
    Check(consumed == size || decoder.state() != ChunkedDecoder::State::MORE);
    data.append(&body[at], produced);
    at += consumed;
  }
  state = decoder.state();
  return data;
}

// Decodes with a sink that lets go after a mebibyte, as a size limit does.
void Decode(const std::string& coding, const std::string& data) {
  std::unique_ptr<ContentDecoder> decoder = ContentDecoder::For(coding);
  if (!decoder) return;
  size_t total = 0;
  auto sink = [](void* context, const char*, size_t size) {
    size_t& count = *static_cast<size_t*>(context);
    count += size;
    return count <= (1u << 20);
  };
  for (size_t at = 0; at < data.size(); at += 4096)
    if (decoder->Feed(data.data() + at, std::min<size_t>(4096, data.size() - at), sink, &total) ==
        ContentDecoder::State::STOPPED)
      break;
  Check(total <= (1u << 20) + 256 * 1024);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::string input(reinterpret_cast<const char*>(bytes), size);
  size_t end = AnswerHeadEnd(input);
  AnswerHead head;
  if (end == std::string::npos || !ParseAnswerHead(input.substr(0, end), head)) {
    // Not an answer: the bytes as a coded body and as a chunked one.
    Decode(size % 2 ? "gzip" : "deflate", input);
    ChunkedDecoder::State state;
    Dechunk(input, input.size(), state);
    return 0;
  }
  Check(head.status >= 100 && head.status <= 599);
  for (TransferKind kind : {TransferKind::PAGE, TransferKind::PICTURE, TransferKind::FILE})
    JudgeAnswer(head, {kind, size % 3 ? 0u : 1000u, size % 5 ? 0u : 4096u});
  ContentRange range;
  if (ParseContentRange(head.contentRange, range))
    Check(range.first <= range.last && (range.total < 0 || range.last < uint64_t(range.total)));
  std::string to;
  if (RedirectAddress("http://zq.test/a/b?c", head.location, to)) {
    HttpAddress where;
    Check(ParseHttpAddress(to, where) && !where.host.empty() && where.target[0] == '/');
    for (char c : to) Check(c > 0x20 && c < 0x7F);
    if (IsSiteHost(where.host, "zq.test"))
      Check(where.host.size() >= 7 && where.host.compare(where.host.size() - 7, 7, "zq.test") == 0);
  }
  std::string body = input.substr(end);
  if (head.chunked) {
    ChunkedDecoder::State whole, pieces;
    std::string data = Dechunk(body, body.size(), whole);
    Check(Dechunk(body, 1 + size % 7, pieces) == data && pieces == whole);
    body = data;
  }
  Decode(head.contentCoding, body);
  return 0;
}
