// Pages too big to hold: made of pieces, some repeated many times, and sent a part at a
// time, the same bytes every time.
#pragma once

#include <httplib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace site {

class Pieces {
 public:
  // Appends `piece` `times` times (an empty piece adds nothing).
  void Add(std::string piece, uint64_t times = 1);
  uint64_t size() const { return size_; }
  // Appends the bytes [offset, offset + length) to `out` (fewer at the end).
  void Read(uint64_t offset, size_t length, std::string* out) const;

 private:
  struct Part {
    std::string piece;
    uint64_t times;
  };
  std::vector<Part> parts_;
  uint64_t size_ = 0;
};

// Answers with the pieces as the body, Content-Length given.
void SendPieces(std::shared_ptr<const Pieces> pieces, const char* type, httplib::Response& res);

}  // namespace site
