#include "request.h"

#include <cctype>
#include <vector>

#include "cp1251.h"

namespace site {
namespace {

bool IsTokenChar(unsigned char c) {
  if (std::isalnum(c)) return true;
  switch (c) {
    case '!':
    case '#':
    case '$':
    case '%':
    case '&':
    case '\'':
    case '*':
    case '+':
    case '-':
    case '.':
    case '^':
    case '_':
    case '`':
    case '|':
    case '~':
      return true;
    default:
      return false;
  }
}

bool HasControlByte(std::string_view s) {
  for (unsigned char c : s) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  }
  return true;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

RequestHead Reject(RequestHead h, int status, std::string reason) {
  h.status = status;
  h.reason = std::move(reason);
  h.normalized.clear();
  return h;
}

// Reject for the steps below, which answer whether the head may go on.
bool Refuse(RequestHead& h, int status, std::string reason) {
  h = Reject(std::move(h), status, std::move(reason));
  return false;
}

// Position where field `name` starts (at the start of the query or after '&').
size_t FieldStart(std::string_view query, std::string_view name) {
  std::string key = std::string(name) + "=";
  if (query.compare(0, key.size(), key) == 0) return key.size();
  size_t p = query.find("&" + key);
  return p == std::string_view::npos ? p : p + 1 + key.size();
}

// The head's lines up to the empty line that ends it, without their line ends.
std::vector<std::string_view> HeadLines(std::string_view head) {
  std::vector<std::string_view> lines;
  size_t pos = 0;
  while (pos < head.size()) {
    size_t nl = head.find('\n', pos);
    if (nl == std::string_view::npos) nl = head.size();
    std::string_view line = head.substr(pos, nl - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;  // end of the head
    lines.push_back(line);
    pos = nl + 1;
  }
  return lines;
}

// Checks the request line and fills method, targets and `version`; false (with h's
// status set) when it is refused.
bool ReadRequestLine(std::string_view line, const HeadLimits& limits, RequestHead& h,
                     std::string_view& version) {
  h.raw_line = std::string(line);
  if (line.size() > limits.max_request_line) return Refuse(h, 414, "request line too long");
  if (HasControlByte(line)) return Refuse(h, 400, "control byte in the request line");

  size_t first_sp = line.find(' ');
  size_t last_sp = line.rfind(' ');
  if (first_sp == std::string_view::npos || first_sp == last_sp || first_sp == 0) {
    return Refuse(h, 400, "malformed request line");
  }
  std::string_view method = line.substr(0, first_sp);
  version = line.substr(last_sp + 1);
  std::string_view target = Trim(line.substr(first_sp + 1, last_sp - first_sp - 1));
  for (unsigned char c : method) {
    if (!IsTokenChar(c)) return Refuse(h, 400, "malformed method");
  }
  h.method = std::string(method);
  h.raw_target = std::string(target);

  if (version != "HTTP/1.1" && version != "HTTP/1.0") {
    bool looks_like_http = version.size() == 8 && version.compare(0, 5, "HTTP/") == 0 &&
                           std::isdigit(static_cast<unsigned char>(version[5])) &&
                           version[6] == '.' &&
                           std::isdigit(static_cast<unsigned char>(version[7]));
    if (looks_like_http) return Refuse(h, 505, "only HTTP/1.0 and HTTP/1.1 are served");
    return Refuse(h, 400, "malformed protocol version");
  }
  if (method != "GET" && method != "HEAD") {
    static const char* const kKnown[] = {"POST",    "PUT",   "DELETE", "PATCH",
                                         "OPTIONS", "TRACE", "CONNECT"};
    for (const char* known : kKnown) {
      if (method == known) return Refuse(h, 405, "only GET and HEAD are served");
    }
    return Refuse(h, 501, "unknown method");
  }
  if (target.empty()) return Refuse(h, 400, "empty request target");

  std::string_view origin = target;
  if (StartsWithNoCase(target, "http://") || StartsWithNoCase(target, "https://")) {
    std::string_view rest = target.substr(target.find("//") + 2);
    size_t end = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, end);
    h.absolute_form = true;
    h.target_host = HostName(authority);
    if (h.target_host.empty()) {
      return Refuse(h, 400, "malformed host in the request target");
    }
    origin = end == std::string_view::npos ? std::string_view() : rest.substr(end);
  } else if (target.front() != '/') {
    return Refuse(h, 400, "unsupported request target");
  }
  if (origin.empty() || origin.front() != '/') {
    h.origin_target = "/" + std::string(origin);
  } else {
    h.origin_target = std::string(origin);
  }
  return true;
}

// The request line as the HTTP library takes it: blanks and '#' escaped, a second '?'
// escaped.
void WriteRequestLine(const RequestHead& h, std::string_view version, std::string& out) {
  out += h.method;
  out += ' ';
  bool seen_query = false;
  for (char c : h.origin_target) {
    if (c == ' ') {
      out += "%20";
    } else if (c == '#') {
      out += "%23";
    } else if (c == '?') {
      out += seen_query ? "%3F" : "?";
      seen_query = true;
    } else {
      out += c;
    }
  }
  out += ' ';
  out += version;
  out += "\r\n";
}

// Checks the header lines, records Host, Cookie, Range and Accept-Encoding, and copies the lines
// the library is to see into `out`; false (with h's status set) when one is refused.
bool CopyHeaderLines(const std::vector<std::string_view>& lines, std::string_view version,
                     const HeadLimits& limits, RequestHead& h, std::string& out) {
  int hosts = 0;
  for (size_t i = 1; i < lines.size(); ++i) {
    std::string_view hl = lines[i];
    if (hl.size() > limits.max_header_line) return Refuse(h, 431, "header line too long");
    if (hl.front() == ' ' || hl.front() == '\t') return Refuse(h, 400, "folded header line");
    if (hl.find('\0') != std::string_view::npos) return Refuse(h, 400, "NUL in a header");
    size_t colon = hl.find(':');
    if (colon == std::string_view::npos || colon == 0) {
      return Refuse(h, 400, "malformed header line");
    }
    std::string_view name = hl.substr(0, colon);
    for (unsigned char c : name) {
      if (!IsTokenChar(c)) return Refuse(h, 400, "malformed header name");
    }
    std::string lname = Lower(name);
    std::string_view value = Trim(hl.substr(colon + 1));
    if (lname == "host") {
      ++hosts;
      h.host_header = std::string(value);
    }
    if (lname == "cookie" && h.cookie_header.empty()) h.cookie_header = std::string(value);
    if (lname == "range") {
      h.range_header = std::string(value);
      continue;
    }
    if (lname == "transfer-encoding" || (lname == "content-length" && value != "0")) {
      return Refuse(h, 400, "request bodies are not accepted");
    }
    // With an absolute-form target the host it names counts, not the Host header.
    if (lname == "host" && h.absolute_form) continue;
    // The library would compress on its own terms: the site decides (encoding.h).
    if (lname == "accept-encoding") {
      h.accept_encoding = std::string(value);
      continue;
    }
    out += hl;
    out += "\r\n";
  }
  if (hosts > 1) return Refuse(h, 400, "more than one Host header");
  if (hosts == 0 && !h.absolute_form && version == "HTTP/1.1") {
    return Refuse(h, 400, "Host header missing");
  }
  return true;
}

}  // namespace

RequestHead NormalizeHead(std::string_view head, const HeadLimits& limits) {
  RequestHead h;
  // Clients may send empty lines before a request; they are skipped.
  while (!head.empty() && (head.front() == '\r' || head.front() == '\n')) head.remove_prefix(1);
  if (head.size() > limits.max_head) return Reject(h, 431, "request head too large");
  std::vector<std::string_view> lines = HeadLines(head);
  if (lines.empty()) return Reject(h, 400, "empty request");

  std::string_view version;
  if (!ReadRequestLine(lines[0], limits, h, version)) return h;
  std::string out;
  out.reserve(head.size() + 64);
  WriteRequestLine(h, version, out);
  if (!CopyHeaderLines(lines, version, limits, h, out)) return h;
  if (h.absolute_form) out += "Host: " + h.target_host + "\r\n";
  out += "\r\n";
  h.normalized = std::move(out);
  return h;
}

std::string HostName(std::string_view authority) {
  authority = Trim(authority);
  size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority.remove_prefix(at + 1);
  std::string host;
  if (!authority.empty() && authority.front() == '[') {
    size_t close = authority.find(']');
    if (close == std::string_view::npos) return "";
    host = Lower(authority.substr(0, close + 1));
    std::string_view after = authority.substr(close + 1);
    if (!after.empty() && after.front() != ':') return "";
    for (char c : host.substr(1, host.size() - 2)) {
      if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return "";
    }
    return host;
  }
  size_t colon = authority.rfind(':');
  if (colon != std::string_view::npos) {
    std::string_view port = authority.substr(colon + 1);
    for (char c : port) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return "";
    }
    authority = authority.substr(0, colon);
  }
  while (!authority.empty() && authority.back() == '.') authority.remove_suffix(1);
  if (authority.empty() || authority.size() > 253) return "";
  host = Lower(authority);
  for (char c : host) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') return "";
  }
  return host;
}

HostInfo ClassifyHost(std::string_view host) {
  HostInfo info;
  if (host == "zq.test" || host == "www.zq.test" || host == "localhost" || host == "127.0.0.1" ||
      host == "[::1]") {
    info.kind = HostKind::kSite;
  } else if (host == "login.zq.test") {
    info.kind = HostKind::kLogin;
  } else if (host == "author.zq.test") {
    info.kind = HostKind::kAuthor;
  } else if (host == "evil.test") {
    info.kind = HostKind::kForeign;
  } else if (host.size() > 10 && host.compare(0, 2, "cs") == 0 &&
             host.compare(host.size() - 8, 8, ".zq.test") == 0) {
    std::string_view digits = host.substr(2, host.size() - 10);
    bool ok = !digits.empty() && digits.size() <= 4 && digits.front() != '0';
    int n = 0;
    for (char c : digits) {
      if (!ok || !std::isdigit(static_cast<unsigned char>(c))) {
        ok = false;
        break;
      }
      n = n * 10 + (c - '0');  // at most four digits: no overflow
    }
    if (ok) {
      info.kind = HostKind::kFileServer;
      info.server = n;
    }
  }
  return info;
}

ByteRange ParseRange(std::string_view header, size_t size) {
  ByteRange r;
  header = Trim(header);
  if (!StartsWithNoCase(header, "bytes=")) return r;
  std::string_view ranges = Trim(header.substr(6));
  if (ranges.find(',') != std::string_view::npos) return r;
  size_t dash = ranges.find('-');
  if (dash == std::string_view::npos) return r;
  std::string_view first = Trim(ranges.substr(0, dash)), last = Trim(ranges.substr(dash + 1));
  auto number = [](std::string_view digits, unsigned long long* out) {
    if (digits.empty() || digits.size() > 18) return false;
    unsigned long long n = 0;
    for (char c : digits) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return false;
      n = n * 10 + static_cast<unsigned long long>(c - '0');
    }
    *out = n;
    return true;
  };
  unsigned long long a = 0, b = 0;
  if (first.empty()) {  // the last n bytes
    if (!number(last, &b)) return r;
    if (b == 0 || size == 0) {
      r.kind = RangeKind::kUnsatisfiable;
      return r;
    }
    r.kind = RangeKind::kPartial;
    r.begin = b >= size ? 0 : size - static_cast<size_t>(b);
    r.end = size;
    return r;
  }
  if (!number(first, &a)) return r;
  if (last.empty()) {
    b = size ? size - 1 : 0;
  } else if (!number(last, &b) || b < a) {
    return r;
  }
  if (a >= size) {
    r.kind = RangeKind::kUnsatisfiable;
    return r;
  }
  r.kind = RangeKind::kPartial;
  r.begin = static_cast<size_t>(a);
  r.end = static_cast<size_t>(b >= size ? size - 1 : b) + 1;
  return r;
}

bool IfRangeHolds(std::string_view if_range, std::string_view etag,
                  std::string_view last_modified) {
  if_range = Trim(if_range);
  if (if_range.empty()) return true;
  if (if_range.front() == '"') return !etag.empty() && if_range == etag;
  if (StartsWithNoCase(if_range, "w/")) return false;
  return !last_modified.empty() && if_range == last_modified;
}

void SplitTarget(std::string_view target, std::string* path, std::string* raw_query) {
  size_t q = target.find('?');
  *path = PercentDecode(target.substr(0, q), false);
  *raw_query = q == std::string_view::npos ? std::string() : std::string(target.substr(q + 1));
}

std::optional<std::string> RawField(std::string_view query, std::string_view name) {
  size_t start = FieldStart(query, name);
  if (start == std::string_view::npos) return std::nullopt;
  size_t end = query.find('&', start);
  return std::string(query.substr(start, end == std::string_view::npos ? end : end - start));
}

std::string SearchText(std::string_view raw_query) {
  size_t start = FieldStart(raw_query, "q");
  if (start == std::string_view::npos) return "";
  size_t end = raw_query.rfind("&name=");
  if (end == std::string_view::npos || end < start) end = raw_query.find('&', start);
  std::string_view raw = raw_query.substr(start, end == std::string_view::npos ? end : end - start);
  std::string text = PercentDecode(raw, true);
  if (IsMultibyteUtf8(text)) text = Utf8ToCp1251(text);
  return std::string(Trim(text));
}

LoginFields LoginQuery(std::string_view raw_query) {
  LoginFields f;
  std::optional<std::string> act = RawField(raw_query, "act");
  size_t email = FieldStart(raw_query, "email");
  if (!act || *act != "login" || email == std::string_view::npos) return f;
  size_t pass_key = raw_query.find("&pass=", email);
  if (pass_key == std::string_view::npos) return f;
  size_t pass = pass_key + 6;
  size_t expire = raw_query.rfind("&expire=");
  if (expire == std::string_view::npos || expire < pass) expire = raw_query.size();
  f.present = true;
  f.email_raw = std::string(raw_query.substr(email, pass_key - email));
  f.pass_raw = std::string(raw_query.substr(pass, expire - pass));
  f.email = PercentDecode(f.email_raw, false);
  f.pass = PercentDecode(f.pass_raw, false);
  return f;
}

}  // namespace site
