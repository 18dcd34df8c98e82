// The head of an HTTP/1.x answer as the download service reads it off the wire: the status
// and the header fields it acts on. The bytes are the server's and untrusted: every field is
// bounded, and a head that is not well-formed is refused rather than guessed at.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The longest head the service reads; a longer one is refused.
constexpr size_t ANSWER_HEAD_LIMIT = 64 * 1024;

struct AnswerHead {
  int minorVersion = 1;              // HTTP/1.minorVersion
  int status = 0;                    // 100 to 999
  int64_t contentLength = -1;        // -1: not given
  bool chunked = false;              // the last transfer coding is "chunked"
  bool otherTransferCoding = false;  // a transfer coding other than one final "chunked"
  std::string contentCoding;         // lower case; empty for none or "identity"
  std::string contentType;           // the media type alone, lower case ("text/html")
  std::string location;
  std::string etag;  // as sent (quotes, and "W/" for a weak one, kept)
  std::string lastModified;
  std::string contentRange;
  std::string disposition;  // Content-Disposition's bytes as sent
  bool keepAlive = true;    // the server lets the connection carry another request
  std::vector<std::string> setCookies;
};

// Where the head in `bytes` ends: the offset just past its empty line, or npos while that
// line has not arrived. Lines may end in CR LF or LF alone.
size_t AnswerHeadEnd(std::string_view bytes);

// Reads a whole head (status line, fields, empty line). False when it is not an HTTP/1.x
// answer head: a bad status line, a field line without a name and colon, a folded line, or
// Content-Length values that are not one number.
bool ParseAnswerHead(std::string_view head, AnswerHead& out);

// What a 206 answer's Content-Range says: bytes first..last of a resource of `total` bytes
// (-1 when the server wrote "*").
struct ContentRange {
  uint64_t first = 0;
  uint64_t last = 0;
  int64_t total = -1;
};
// "bytes FIRST-LAST/TOTAL" or "bytes FIRST-LAST/*", with FIRST <= LAST < TOTAL.
bool ParseContentRange(std::string_view value, ContentRange& out);
// A 416 answer's "bytes */TOTAL": the resource's whole length.
bool ParseUnsatisfiedRange(std::string_view value, uint64_t& total);

// The validator a later request may name in If-Range: the strong ETag, else Last-Modified;
// empty when the answer gives neither (a weak ETag cannot name a range).
std::string AnswerValidator(const AnswerHead& head);
