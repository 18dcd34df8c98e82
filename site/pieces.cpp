#include "pieces.h"

#include <algorithm>

namespace site {

void Pieces::Add(std::string piece, uint64_t times) {
  if (piece.empty() || times == 0) return;
  size_ += piece.size() * times;
  parts_.push_back(Part{std::move(piece), times});
}

void Pieces::Read(uint64_t offset, size_t length, std::string* out) const {
  for (const Part& part : parts_) {
    uint64_t span = part.piece.size() * part.times;
    if (offset >= span) {
      offset -= span;
      continue;
    }
    while (length > 0 && offset < span) {
      size_t at = static_cast<size_t>(offset % part.piece.size());
      size_t n = std::min(length, part.piece.size() - at);
      out->append(part.piece, at, n);
      offset += n;
      length -= n;
    }
    if (length == 0) return;
    offset = 0;  // on into the next part
  }
}

void SendPieces(std::shared_ptr<const Pieces> pieces, const char* type, httplib::Response& res) {
  res.set_content_provider(pieces->size(), type,
                           [pieces](size_t offset, size_t length, httplib::DataSink& sink) {
                             std::string part;
                             pieces->Read(offset, std::min<size_t>(length, 256u << 10), &part);
                             return !part.empty() && sink.write(part.data(), part.size());
                           });
}

}  // namespace site
