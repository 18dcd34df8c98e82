// Compression of pages for clients that ask for it (Accept-Encoding), as real servers do.
// Files are never compressed on request.
#pragma once

#include <string>
#include <string_view>

namespace site {

enum class Coding { kIdentity, kGzip, kDeflate };

// The content coding to answer with for an Accept-Encoding value: gzip when it is
// acceptable (also as "x-gzip" or "*"), else deflate, else none. A coding given "q=0" is
// refused.
Coding ChooseCoding(std::string_view accept_encoding);
// "gzip", "deflate", or empty for none.
const char* CodingName(Coding coding);
// The bytes in the coding: a gzip member (no name, time 0, so the same bytes every time)
// or a zlib stream, which is what "deflate" means in HTTP.
std::string Compress(std::string_view data, Coding coding);

}  // namespace site
