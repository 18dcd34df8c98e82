// The site's readers of request bytes: the request head check and rewrite, host names,
// search and login queries, Range, If-Range and Accept-Encoding headers. Besides memory errors, it
// checks that what they produce holds together: a rewritten head is accepted again unchanged and
// has no raw blank in its target, a partial range lies inside the resource.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "encoding.h"
#include "request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  site::HeadLimits limits;

  site::RequestHead h = site::NormalizeHead(bytes, limits);
  if (h.status == 0) {
    const std::string& n = h.normalized;
    if (n.size() < 4 || n.compare(n.size() - 4, 4, "\r\n\r\n") != 0) std::abort();
    std::string line = n.substr(0, n.find("\r\n"));
    size_t first = line.find(' '), last = line.rfind(' ');
    if (first == last || line.find(' ', first + 1) != last) std::abort();  // two separators
    site::RequestHead again = site::NormalizeHead(n, limits);
    if (again.status != 0 || again.normalized != n) std::abort();
    site::HostName(h.host_header);
    std::string path, query;
    site::SplitTarget(h.origin_target, &path, &query);
    site::SearchText(query);
    site::LoginQuery(query);
    site::ClassifyHost(h.target_host);
  } else if (h.status < 400 || h.status > 505 || h.reason.empty()) {
    std::abort();
  }

  std::string host = site::HostName(bytes);
  for (char c : host) {
    if (c == ' ' || c == '/' || c == '@' || (c >= 'A' && c <= 'Z')) std::abort();
  }
  site::SearchText(bytes);
  site::LoginFields f = site::LoginQuery(bytes);
  if (f.present && f.email_raw.size() + f.pass_raw.size() > bytes.size()) std::abort();
  for (size_t resource : {size_t{0}, size_t{1}, size_t{1000}}) {
    site::ByteRange r = site::ParseRange(bytes, resource);
    if (r.kind == site::RangeKind::kPartial && (r.begin >= r.end || r.end > resource)) std::abort();
  }
  site::Coding coding = site::ChooseCoding(bytes);
  if (coding != site::Coding::kIdentity && coding != site::Coding::kGzip &&
      coding != site::Coding::kDeflate)
    std::abort();
  // An If-Range that holds names the tag or the date exactly, or is empty.
  if (site::IfRangeHolds(bytes, "\"0123456789abcdef\"", "Mon, 01 Jan 2024 00:00:00 GMT") &&
      bytes.find_first_not_of(" \t") != std::string::npos && bytes.find('"') == std::string::npos &&
      bytes.find("2024") == std::string::npos)
    std::abort();
  return 0;
}
