#include "http_answer.h"

#include <cstring>

namespace {

constexpr size_t npos = std::string_view::npos;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

std::string LowerCopy(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = Lower(c);
  return out;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool IsTokenChar(unsigned char c) {
  return c > 0x20 && c < 0x7F && !std::strchr("\"(),/:;<=>?@[\\]{}", c);
}

// A decimal number of at most 18 digits (so that it fits any length with room to spare).
bool ParseNumber(std::string_view text, uint64_t& value) {
  if (text.empty() || text.size() > 18) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

// Calls `onItem` with each trimmed, non-empty item of a comma-separated list.
template <typename OnItem>
void ForEachItem(std::string_view list, OnItem onItem) {
  while (!list.empty()) {
    size_t comma = list.find(',');
    std::string_view item = Trimmed(list.substr(0, comma));
    if (!item.empty()) onItem(item);
    if (comma == npos) break;
    list.remove_prefix(comma + 1);
  }
}

// The fields the service acts on, gathered before their meaning is settled.
struct Fields {
  std::vector<std::string> transferCodings, contentCodings;
  bool lengthSeen = false, connectionSeen = false, proxyConnectionSeen = false;
  bool close = false, keepAlive = false, proxyClose = false, proxyKeepAlive = false;
};

bool TakeField(std::string_view name, std::string_view value, AnswerHead& out, Fields& fields) {
  if (SameName(name, "Content-Length")) {
    bool good = true;
    ForEachItem(value, [&](std::string_view item) {
      uint64_t length = 0;
      if (!ParseNumber(item, length) ||
          (fields.lengthSeen && static_cast<uint64_t>(out.contentLength) != length))
        good = false;
      out.contentLength = static_cast<int64_t>(length);
      fields.lengthSeen = true;
    });
    return good && fields.lengthSeen;
  }
  if (SameName(name, "Transfer-Encoding")) {
    ForEachItem(value, [&](std::string_view item) {
      fields.transferCodings.push_back(LowerCopy(Trimmed(item.substr(0, item.find(';')))));
    });
  } else if (SameName(name, "Content-Encoding")) {
    ForEachItem(value, [&](std::string_view item) {
      std::string coding = LowerCopy(item);
      if (coding != "identity") fields.contentCodings.push_back(coding);
    });
  } else if (SameName(name, "Content-Type")) {
    if (out.contentType.empty())
      out.contentType = LowerCopy(Trimmed(value.substr(0, value.find(';'))));
  } else if (SameName(name, "Location")) {
    if (out.location.empty()) out.location = std::string(value);
  } else if (SameName(name, "ETag")) {
    if (out.etag.empty()) out.etag = std::string(value);
  } else if (SameName(name, "Last-Modified")) {
    if (out.lastModified.empty()) out.lastModified = std::string(value);
  } else if (SameName(name, "Content-Range")) {
    if (out.contentRange.empty()) out.contentRange = std::string(value);
  } else if (SameName(name, "Content-Disposition")) {
    if (out.disposition.empty()) out.disposition = std::string(value);
  } else if (SameName(name, "Set-Cookie")) {
    if (!value.empty()) out.setCookies.emplace_back(value);
  } else if (SameName(name, "Connection") || SameName(name, "Proxy-Connection")) {
    bool proxy = Lower(name[0]) == 'p';
    (proxy ? fields.proxyConnectionSeen : fields.connectionSeen) = true;
    ForEachItem(value, [&](std::string_view item) {
      if (SameName(item, "close")) (proxy ? fields.proxyClose : fields.close) = true;
      if (SameName(item, "keep-alive")) (proxy ? fields.proxyKeepAlive : fields.keepAlive) = true;
    });
  }
  return true;
}

bool ParseStatusLine(std::string_view line, AnswerHead& out) {
  // "HTTP/1.x SP DDD [SP reason]"
  if (line.size() < 12 || line.compare(0, 7, "HTTP/1.") != 0 || line[7] < '0' || line[7] > '9' ||
      line[8] != ' ')
    return false;
  out.minorVersion = line[7] - '0';
  uint64_t status = 0;
  if (!ParseNumber(line.substr(9, 3), status) || status < 100 || status > 599) return false;
  if (line.size() > 12 && line[12] != ' ') return false;
  out.status = static_cast<int>(status);
  return true;
}

}  // namespace

size_t AnswerHeadEnd(std::string_view bytes) {
  size_t at = 0;
  while ((at = bytes.find('\n', at)) != npos) {
    ++at;
    if (at < bytes.size() && bytes[at] == '\n') return at + 1;
    if (at + 1 < bytes.size() && bytes[at] == '\r' && bytes[at + 1] == '\n') return at + 2;
  }
  return npos;
}

bool ParseAnswerHead(std::string_view head, AnswerHead& out) {
  out = AnswerHead();
  if (head.size() > ANSWER_HEAD_LIMIT) return false;
  Fields fields;
  bool first = true;
  while (!head.empty()) {
    size_t end = head.find('\n');
    std::string_view line = head.substr(0, end);
    head.remove_prefix(end == npos ? head.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      if (!ParseStatusLine(line, out)) return false;
      first = false;
      continue;
    }
    if (line.empty()) break;  // the head's end
    size_t colon = line.find(':');
    if (colon == 0 || colon == npos) return false;
    std::string_view name = line.substr(0, colon);
    for (char c : name)
      if (!IsTokenChar(static_cast<unsigned char>(c))) return false;  // also a folded line
    std::string_view value = Trimmed(line.substr(colon + 1));
    for (char c : value)
      if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) return false;
    if (!TakeField(name, value, out, fields)) return false;
  }
  if (first) return false;

  const std::vector<std::string>& te = fields.transferCodings;
  for (size_t i = 0; i < te.size(); ++i) {
    if (te[i] == "chunked" && i + 1 == te.size())
      out.chunked = true;
    else if (te[i] != "identity")
      out.otherTransferCoding = true;
  }
  if (out.chunked) out.contentLength = -1;  // the chunks say where the body ends
  for (size_t i = 0; i < fields.contentCodings.size(); ++i)
    out.contentCoding += (i ? ", " : "") + fields.contentCodings[i];

  if (fields.connectionSeen)
    out.keepAlive = !fields.close && (out.minorVersion >= 1 || fields.keepAlive);
  else if (fields.proxyConnectionSeen)
    out.keepAlive = !fields.proxyClose && (out.minorVersion >= 1 || fields.proxyKeepAlive);
  else
    out.keepAlive = out.minorVersion >= 1;
  return true;
}

bool ParseContentRange(std::string_view value, ContentRange& out) {
  value = Trimmed(value);
  if (value.size() < 6 || !SameName(value.substr(0, 5), "bytes") ||
      (value[5] != ' ' && value[5] != '\t'))
    return false;
  value = Trimmed(value.substr(6));
  size_t dash = value.find('-'), slash = value.find('/');
  if (dash == npos || slash == npos || dash > slash) return false;
  uint64_t first = 0, last = 0, total = 0;
  if (!ParseNumber(Trimmed(value.substr(0, dash)), first) ||
      !ParseNumber(Trimmed(value.substr(dash + 1, slash - dash - 1)), last) || first > last)
    return false;
  std::string_view rest = Trimmed(value.substr(slash + 1));
  out.first = first;
  out.last = last;
  out.total = -1;
  if (rest == "*") return true;
  if (!ParseNumber(rest, total) || last >= total) return false;
  out.total = static_cast<int64_t>(total);
  return true;
}

bool ParseUnsatisfiedRange(std::string_view value, uint64_t& total) {
  value = Trimmed(value);
  if (value.size() < 6 || !SameName(value.substr(0, 5), "bytes")) return false;
  value = Trimmed(value.substr(5));
  if (value.size() < 2 || value[0] != '*') return false;
  value = Trimmed(value.substr(1));
  if (value.empty() || value[0] != '/') return false;
  return ParseNumber(Trimmed(value.substr(1)), total);
}

std::string AnswerValidator(const AnswerHead& head) {
  if (head.etag.size() >= 2 && head.etag.front() == '"' && head.etag.back() == '"')
    return head.etag;  // a strong tag ("W/" in front makes it weak)
  return head.lastModified;
}
