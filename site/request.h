// Reading requests as clients really send them.
//
// The program builds its addresses by plain concatenation, and Windows' download service
// passes Windows-1251 bytes through unescaped, so a request line may hold raw bytes above
// 0x7F and even raw blanks inside the target. Through a proxy setting the target arrives
// in absolute form ("GET http://cs7.zq.test:80/... HTTP/1.1"). The HTTP library accepts
// neither, so each request head is checked and rewritten here before the library sees it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace site {

struct HeadLimits {
  size_t max_request_line = 8192;  // longer request lines get 414
  size_t max_header_line = 8192;   // a longer header line gets 431
  size_t max_head = 64 * 1024;     // request line and all headers together; 431 beyond
};

struct RequestHead {
  int status = 0;        // 0 when accepted, else the status to answer with
  std::string reason;    // short explanation for an error answer
  std::string raw_line;  // the request line as received, without its line end
  std::string method;
  std::string raw_target;  // the target as received
  bool absolute_form = false;
  std::string target_host;      // host named by an absolute-form target (lower case, no port)
  std::string origin_target;    // path and query as received, absolute form stripped
  std::string host_header;      // value of the Host header, when there is one
  std::string cookie_header;    // value of the first Cookie header, when there is one
  std::string range_header;     // value of the Range header; the line itself is taken out
                                // of the rewritten head, since ranges are served here
  std::string accept_encoding;  // value of the Accept-Encoding header, also taken out:
                                // the site compresses pages itself (encoding.h)
  std::string normalized;       // the head rewritten into a form the HTTP library parses
};

// Checks one request head (everything up to and including the empty line) and rewrites
// it: blanks in the target become %20, a second '?' becomes %3F, an absolute-form target
// becomes a path (and its host the Host header), line ends become CR LF, Range and
// Accept-Encoding headers are taken out. Only GET and HEAD without a body are accepted.
RequestHead NormalizeHead(std::string_view head, const HeadLimits& limits);

// The host name of a Host header value or an authority: lower case, without port, user
// part or trailing dot. Empty when it is not a plausible host name.
std::string HostName(std::string_view authority);

// kForeign is evil.test, a host outside the site that a test scenario redirects to.
enum class HostKind { kSite, kLogin, kFileServer, kAuthor, kForeign, kUnknown };
struct HostInfo {
  HostKind kind = HostKind::kUnknown;
  int server = 0;  // N of a file server cs<N>.zq.test
};
// Which of the site's hosts a host name is. The loopback names count as the site itself,
// so that the site can be browsed directly at http://127.0.0.1:PORT/.
HostInfo ClassifyHost(std::string_view host);

// How a Range header applies to a resource of `size` bytes. Only a single range of the
// unit "bytes" is served; several ranges, other units and malformed values are ignored
// (the whole resource is sent), as a server may do.
enum class RangeKind { kWhole, kPartial, kUnsatisfiable };
struct ByteRange {
  RangeKind kind = RangeKind::kWhole;
  size_t begin = 0, end = 0;  // [begin, end) for kPartial
};
ByteRange ParseRange(std::string_view header, size_t size);

// Whether a range request may be served as a range, given its If-Range header (empty when
// there is none) and the file's entity tag and Last-Modified date (empty when it has
// none): an entity tag must match strongly (a weak one never does), a date exactly.
// Otherwise the whole file is sent.
bool IfRangeHolds(std::string_view if_range, std::string_view etag, std::string_view last_modified);

// Splits "/path?query" into the percent-decoded path and the raw query.
void SplitTarget(std::string_view target, std::string* path, std::string* raw_query);

// The raw bytes of a query field: from after "name=" (at the start or after '&') to the
// next '&'; nullopt when the field is absent.
std::optional<std::string> RawField(std::string_view query, std::string_view name);

// The search text of a search query "section=video&q=...&name=1" in Windows-1251. The
// program inserts the text unescaped, so it may hold '&': the text runs up to the last
// "&name=" when there is one. Percent escapes and '+' (as forms send blanks) are decoded;
// a text that turns out to be UTF-8 (typed in a browser) is converted to Windows-1251.
// Surrounding blanks are removed.
std::string SearchText(std::string_view raw_query);

// E-mail and password of a login query "act=login&email=E&pass=P&expire=&zq =". Both are
// inserted unescaped, so a password may hold '&' and blanks: they are taken from their
// fixed places, the e-mail up to the first "&pass=", the password up to the last
// "&expire=". `*_raw` are the bytes as sent, the others have %XX escapes decoded.
struct LoginFields {
  bool present = false;  // the query asks for act=login and names both fields
  std::string email_raw, pass_raw;
  std::string email, pass;
};
LoginFields LoginQuery(std::string_view raw_query);

}  // namespace site
