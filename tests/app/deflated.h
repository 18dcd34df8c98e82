// Test bytes in the codings a server may send: `text` deflated with zlib.
#pragma once

#include <zlib.h>

#include <string>

// windowBits 31 gives gzip, 15 zlib, -15 raw deflate.
inline std::string Coded(const std::string& text, int windowBits) {
  z_stream z = {};
  deflateInit2(&z, 9, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(text.size())) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}
