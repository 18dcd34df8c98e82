#include "encoding.h"

#include <zlib.h>

#include <cctype>

namespace site {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
  }
  return true;
}

// Whether the parameters after a coding's name give it the weight zero ("q=0", "q=0.000").
bool ZeroWeight(std::string_view params) {
  while (!params.empty()) {
    size_t semicolon = params.find(';');
    std::string_view param = Trim(params.substr(0, semicolon));
    params.remove_prefix(semicolon == std::string_view::npos ? params.size() : semicolon + 1);
    if (param.size() < 2 || (param[0] != 'q' && param[0] != 'Q') || param[1] != '=') continue;
    std::string_view value = Trim(param.substr(2));
    if (value.empty() || value.front() != '0') return false;
    for (char c : value.substr(1)) {
      if (c != '.' && c != '0') return false;
    }
    return true;
  }
  return false;
}

}  // namespace

Coding ChooseCoding(std::string_view accept_encoding) {
  // -1: refused, 0: not named, 1: acceptable
  int gzip = 0, deflate = 0, any = 0;
  while (!accept_encoding.empty()) {
    size_t comma = accept_encoding.find(',');
    std::string_view item = accept_encoding.substr(0, comma);
    accept_encoding.remove_prefix(comma == std::string_view::npos ? accept_encoding.size()
                                                                  : comma + 1);
    size_t semicolon = item.find(';');
    std::string_view name = Trim(item.substr(0, semicolon));
    int verdict =
        semicolon != std::string_view::npos && ZeroWeight(item.substr(semicolon + 1)) ? -1 : 1;
    if (EqualsNoCase(name, "gzip") || EqualsNoCase(name, "x-gzip")) {
      gzip = verdict;
    } else if (EqualsNoCase(name, "deflate")) {
      deflate = verdict;
    } else if (name == "*") {
      any = verdict;
    }
  }
  if (gzip == 1 || (gzip == 0 && any == 1)) return Coding::kGzip;
  if (deflate == 1 || (deflate == 0 && any == 1)) return Coding::kDeflate;
  return Coding::kIdentity;
}

const char* CodingName(Coding coding) {
  switch (coding) {
    case Coding::kGzip:
      return "gzip";
    case Coding::kDeflate:
      return "deflate";
    case Coding::kIdentity:
      break;
  }
  return "";
}

std::string Compress(std::string_view data, Coding coding) {
  if (coding == Coding::kIdentity) return std::string(data);
  z_stream z{};
  // 31: a gzip wrapper (with a zeroed header); 15: a zlib wrapper.
  int window_bits = coding == Coding::kGzip ? 31 : 15;
  if (deflateInit2(&z, 6, Z_DEFLATED, window_bits, 8, Z_DEFAULT_STRATEGY) != Z_OK) return "";
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return rc == Z_STREAM_END ? out : std::string();
}

}  // namespace site
