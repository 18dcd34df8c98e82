// An answer's body as it arrives: the chunked framing taken off, and a gzip or deflate
// content coding undone. Both work on the bytes in pieces of any size, so that nothing is
// held whole, and both say whether the body came to its proper end: a chunked body needs
// its last (empty) chunk, a compressed one its stream's end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

// Takes the chunked framing off a body, in place.
class ChunkedDecoder {
 public:
  enum class State { MORE, DONE, BAD };
  // Reads `size` bytes at `data` and moves the chunks' data they hold to the front of
  // `data`; `*produced` is that data's length. Stops after the last chunk and its trailer:
  // `*consumed` says how many bytes were read (less than `size` when something follows the
  // body). BAD when the framing is broken (then nothing more may be fed).
  State Feed(char* data, size_t size, size_t* produced, size_t* consumed);
  State state() const { return state_; }

 private:
  enum class Step { SIZE, SIZE_END, LINE_END, DATA, DATA_END, TRAILER_START, TRAILER_LINE };
  State state_ = State::MORE;
  Step step_ = Step::SIZE;
  uint64_t remaining_ = 0;   // data bytes left in the current chunk
  int digits_ = 0;           // hex digits read of the current size
  size_t lineBytes_ = 0;     // bytes of the current extension or trailer line
  size_t trailerBytes_ = 0;  // bytes of the whole trailer
  bool lastChunk_ = false;   // the size read was 0
  bool sawCr_ = false;       // the line's CR has been read
};

// Undoes a "gzip" (also "x-gzip") or "deflate" content coding.
class ContentDecoder {
 public:
  // Called with each piece of decoded data; returning false stops the decoding (Feed then
  // returns STOPPED).
  using Sink = bool (*)(void* context, const char* data, size_t size);
  enum class State { MORE, DONE, BAD, STOPPED };

  // Whether `coding` (lower case, as AnswerHead holds it) is one it can undo.
  static bool Knows(std::string_view coding);
  // Null when it does not know `coding`.
  static std::unique_ptr<ContentDecoder> For(std::string_view coding);
  ~ContentDecoder();
  ContentDecoder(const ContentDecoder&) = delete;
  ContentDecoder& operator=(const ContentDecoder&) = delete;

  // Decodes the next `size` bytes of the coded body. DONE once the coded stream has ended
  // (gzip members may follow one another); bytes after that end are BAD.
  State Feed(const char* data, size_t size, Sink sink, void* context);
  State state() const { return state_; }

 private:
  struct Stream;
  explicit ContentDecoder(bool gzip);
  bool Start(const unsigned char* first, size_t size);

  std::unique_ptr<Stream> stream_;
  bool gzip_;
  bool started_ = false;
  State state_ = State::MORE;
  unsigned char head_[2] = {0, 0};  // deflate: the first bytes, to tell zlib from raw
  size_t headBytes_ = 0;
};
