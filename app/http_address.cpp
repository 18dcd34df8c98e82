#include "http_address.h"

#include "addresses.h"

namespace {

constexpr size_t npos = std::string_view::npos;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (Lower(text[i]) != prefix[i]) return false;
  return true;
}

bool IsHostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
}

}  // namespace

bool ParseHttpAddress(std::string_view address, HttpAddress& out) {
  out = HttpAddress();
  for (char c : address) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F || c == '\\') return false;
  }
  if (StartsWithNoCase(address, "http://")) {
    address.remove_prefix(7);
  } else if (StartsWithNoCase(address, "https://")) {
    address.remove_prefix(8);
    out.secure = true;
    out.port = 443;
  } else {
    return false;
  }
  size_t end = address.find_first_of("/?#");
  std::string_view authority = address.substr(0, end);
  std::string_view rest = end == npos ? std::string_view() : address.substr(end);
  if (authority.find('@') != npos) return false;
  std::string_view host = authority, port;
  if (!authority.empty() && authority[0] == '[') {  // [IPv6]
    size_t close = authority.find(']');
    if (close == npos) return false;
    host = authority.substr(0, close + 1);
    std::string_view after = authority.substr(close + 1);
    if (!after.empty() && after[0] != ':') return false;
    if (!after.empty()) port = after.substr(1);
    for (char c : host.substr(1, host.size() - 2))
      if (!IsHostChar(Lower(c)) && c != ':') return false;
  } else {
    size_t colon = authority.find(':');
    if (colon != npos) {
      host = authority.substr(0, colon);
      port = authority.substr(colon + 1);
    }
    for (char c : host)
      if (!IsHostChar(Lower(c))) return false;
  }
  if (host.empty() || (authority.find(':') != npos && port.empty() && authority[0] != '['))
    return false;
  if (!port.empty()) {
    if (port.size() > 5) return false;
    unsigned value = 0;
    for (char c : port) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) return false;
    out.port = static_cast<uint16_t>(value);
  }
  for (char c : host) out.host += Lower(c);
  rest = rest.substr(0, rest.find('#'));
  out.target = rest.empty() || rest[0] != '/' ? "/" + std::string(rest) : std::string(rest);
  return true;
}

std::string AddressOrigin(const HttpAddress& address) {
  std::string origin = (address.secure ? "https://" : "http://") + address.host;
  if (address.port != (address.secure ? 443 : 80)) origin += ":" + std::to_string(address.port);
  return origin;
}

bool RedirectAddress(std::string_view from, std::string_view location, std::string& to) {
  while (!location.empty() && (location.front() == ' ' || location.front() == '\t'))
    location.remove_prefix(1);
  HttpAddress base;
  if (!ParseHttpAddress(from, base)) return false;
  std::string resolved;
  if (StartsWithNoCase(location, "http://") || StartsWithNoCase(location, "https://")) {
    resolved = std::string(location);
  } else if (location.substr(0, 2) == "//") {
    resolved = (base.secure ? "https:" : "http:") + std::string(location);
  } else {
    // Any other scheme ("ftp:", "file:", "javascript:") is no address to follow.
    size_t colon = location.find(':');
    if (colon != npos && location.find_first_of("/?#") > colon) return false;
    std::string path = base.target.substr(0, base.target.find('?'));
    if (location.empty() || location[0] == '#')
      resolved = AddressOrigin(base) + base.target;
    else if (location[0] == '/')
      resolved = AddressOrigin(base) + std::string(location);
    else if (location[0] == '?')
      resolved = AddressOrigin(base) + path + std::string(location);
    else
      resolved = AddressOrigin(base) + path.substr(0, path.rfind('/') + 1) + std::string(location);
  }
  to = AsciiAddress(resolved.substr(0, resolved.find('#')));
  HttpAddress check;
  return ParseHttpAddress(to, check);
}

bool IsSiteHost(std::string_view host, std::string_view domain) {
  if (!host.empty() && host.back() == '.') host.remove_suffix(1);
  if (!domain.empty() && domain.back() == '.') domain.remove_suffix(1);
  if (domain.empty() || host.size() < domain.size()) return false;
  size_t offset = host.size() - domain.size();
  for (size_t i = 0; i < domain.size(); ++i)
    if (Lower(host[offset + i]) != Lower(domain[i])) return false;
  return offset == 0 || host[offset - 1] == '.';
}
