#include "http_body.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

// Bounds on what the framing may hold besides data, so that a hostile server cannot keep the
// decoder reading lines for ever.
constexpr int SIZE_DIGITS_LIMIT = 15;  // chunks below 2^60 bytes
constexpr size_t LINE_LIMIT = 4096;    // a chunk extension
constexpr size_t TRAILER_LIMIT = 16384;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

ChunkedDecoder::State ChunkedDecoder::Feed(char* data, size_t size, size_t* produced,
                                           size_t* consumed) {
  size_t in = 0, out = 0;
  auto fail = [&] { state_ = State::BAD; };
  // After a size line: the chunk's data, or the trailer after the last chunk.
  auto sizeLineEnds = [&] {
    step_ = remaining_ == 0 ? Step::TRAILER_START : Step::DATA;
    lastChunk_ = remaining_ == 0;
    sawCr_ = false;
  };
  while (in < size && state_ == State::MORE) {
    if (step_ == Step::DATA) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(remaining_, size - in));
      if (out != in) std::memmove(data + out, data + in, n);
      in += n;
      out += n;
      remaining_ -= n;
      if (remaining_ == 0) {
        step_ = Step::DATA_END;
        sawCr_ = false;
      }
      continue;
    }
    const char c = data[in++];
    switch (step_) {
      case Step::SIZE: {
        int value = HexValue(c);
        if (value >= 0) {
          if (++digits_ > SIZE_DIGITS_LIMIT)
            fail();
          else
            remaining_ = remaining_ * 16 + static_cast<uint64_t>(value);
        } else if (digits_ == 0) {
          fail();
        } else if (c == ';' || c == ' ' || c == '\t') {
          step_ = Step::SIZE_END;
          lineBytes_ = 0;
        } else if (c == '\r') {
          step_ = Step::LINE_END;
        } else if (c == '\n') {
          sizeLineEnds();
        } else {
          fail();
        }
        break;
      }
      case Step::SIZE_END:  // blanks or an extension up to the line's end
        if (c == '\r')
          step_ = Step::LINE_END;
        else if (c == '\n')
          sizeLineEnds();
        else if (++lineBytes_ > LINE_LIMIT)
          fail();
        break;
      case Step::LINE_END:
        if (c == '\n')
          sizeLineEnds();
        else
          fail();
        break;
      case Step::DATA_END:  // CR LF (or LF) after the data, then the next size
        if (c == '\r' && !sawCr_) {
          sawCr_ = true;
        } else if (c == '\n') {
          step_ = Step::SIZE;
          digits_ = 0;
          remaining_ = 0;
        } else {
          fail();
        }
        break;
      case Step::TRAILER_START:  // an empty line ends the body; anything else is a field
        if (c == '\r' && !sawCr_) {
          sawCr_ = true;
        } else if (c == '\n') {
          state_ = State::DONE;
        } else if (sawCr_) {
          fail();
        } else {
          step_ = Step::TRAILER_LINE;
          if (++trailerBytes_ > TRAILER_LIMIT) fail();
        }
        break;
      case Step::TRAILER_LINE:
        if (c == '\n') {
          step_ = Step::TRAILER_START;
          sawCr_ = false;
        } else if (++trailerBytes_ > TRAILER_LIMIT) {
          fail();
        }
        break;
      case Step::DATA:
        break;
    }
  }
  *produced = out;
  *consumed = in;
  return state_;
}

struct ContentDecoder::Stream {
  z_stream z{};
  bool open = false;
  unsigned char out[256 * 1024];
  ~Stream() {
    if (open) inflateEnd(&z);
  }
};

bool ContentDecoder::Knows(std::string_view coding) {
  return coding == "gzip" || coding == "x-gzip" || coding == "deflate";
}

std::unique_ptr<ContentDecoder> ContentDecoder::For(std::string_view coding) {
  if (!Knows(coding)) return nullptr;
  return std::unique_ptr<ContentDecoder>(new ContentDecoder(coding != "deflate"));
}

ContentDecoder::ContentDecoder(bool gzip) : stream_(new Stream), gzip_(gzip) {}

ContentDecoder::~ContentDecoder() = default;

// Opens the zlib stream. "deflate" ought to be a zlib stream, but some servers send the raw
// deflate data: its first two bytes tell which.
bool ContentDecoder::Start(const unsigned char* first, size_t size) {
  int windowBits = 15 + 16;  // gzip
  if (!gzip_) {
    bool zlibHeader = size >= 2 && (first[0] & 0x0F) == 8 && (first[0] >> 4) <= 7 &&
                      ((first[0] << 8) | first[1]) % 31 == 0;
    windowBits = zlibHeader ? 15 : -15;
  }
  stream_->open = inflateInit2(&stream_->z, windowBits) == Z_OK;
  started_ = true;
  return stream_->open;
}

ContentDecoder::State ContentDecoder::Feed(const char* data, size_t size, Sink sink,
                                           void* context) {
  if (state_ == State::BAD || state_ == State::STOPPED || size == 0) return state_;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
  if (!started_) {
    if (gzip_) {
      if (!Start(nullptr, 0)) return state_ = State::BAD;
    } else {
      // Two bytes are needed to choose; they are decoded ahead of the rest.
      while (headBytes_ < 2 && size > 0) {
        head_[headBytes_++] = *bytes++;
        --size;
      }
      if (headBytes_ < 2) return state_;
      if (!Start(head_, 2)) return state_ = State::BAD;
      State first = Feed(reinterpret_cast<const char*>(head_), 2, sink, context);
      if (size == 0 || first == State::BAD || first == State::STOPPED) return first;
    }
  }
  z_stream& z = stream_->z;
  z.next_in = const_cast<unsigned char*>(bytes);
  z.avail_in = static_cast<uInt>(size);
  for (;;) {
    if (state_ == State::DONE) {
      // Only another gzip member may follow the end.
      if (!gzip_ || z.avail_in == 0) return state_ = z.avail_in ? State::BAD : State::DONE;
      if (inflateReset(&z) != Z_OK) return state_ = State::BAD;
      state_ = State::MORE;
    }
    z.next_out = stream_->out;
    z.avail_out = sizeof stream_->out;
    int result = inflate(&z, Z_NO_FLUSH);
    size_t got = sizeof stream_->out - z.avail_out;
    if (got && !sink(context, reinterpret_cast<const char*>(stream_->out), got))
      return state_ = State::STOPPED;
    if (result == Z_STREAM_END) {
      state_ = State::DONE;
      continue;
    }
    if (result == Z_BUF_ERROR && z.avail_in == 0) return state_;
    if (result != Z_OK) return state_ = State::BAD;
    if (z.avail_in == 0 && z.avail_out > 0) return state_;
  }
}
