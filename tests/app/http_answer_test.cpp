// The download service's reading of answers, natively: heads that are not well-formed are
// refused, the chunked framing and the codings come out the same however the bytes are
// split, redirects cannot be steered off the site by address tricks, and a range must
// continue where it was asked.
#include "http_answer.h"

#include <gtest/gtest.h>

#include <string>

#include "answer_check.h"
#include "deflated.h"
#include "http_address.h"
#include "http_body.h"

namespace {

AnswerHead Head(const std::string& text) {
  AnswerHead head;
  EXPECT_TRUE(ParseAnswerHead(text, head)) << text;
  return head;
}

TEST(HttpAnswer, HeadsAreReadStrictly) {
  AnswerHead head = Head(
      "HTTP/1.0 200 OK\r\nContent-Length: 12, 12\r\nConnection: Keep-Alive\r\n"
      "Content-Type: Video/MP4; x=1\r\nContent-Encoding: identity, GZIP\r\nETag: W/\"w\"\r\n"
      "Last-Modified: Mon, 01 Jan 2024 00:00:00 GMT\r\n\r\n");
  EXPECT_EQ(head.contentLength, 12);
  EXPECT_TRUE(head.keepAlive);
  EXPECT_EQ(head.contentType, "video/mp4");
  EXPECT_EQ(head.contentCoding, "gzip");
  EXPECT_EQ(AnswerValidator(head), "Mon, 01 Jan 2024 00:00:00 GMT");  // a weak tag names no range
  head = Head("HTTP/1.1 200 OK\nTransfer-Encoding: gzip, chunked\nContent-Length: 5\n\n");
  EXPECT_TRUE(head.chunked && head.otherTransferCoding);
  EXPECT_EQ(head.contentLength, -1);
  EXPECT_FALSE(Head("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n").keepAlive);
  for (const char* bad :
       {"HTTP/2 200 OK\r\n\r\n", "HTTP/1.1 20 OK\r\n\r\n", "ICY 200 OK\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", "HTTP/1.1 200 OK\r\n folded: line\r\n\r\n",
        "HTTP/1.1 200 OK\r\nName : value\r\n\r\n", "HTTP/1.1 200 OK\r\nX: a\x01b\r\n\r\n"}) {
    AnswerHead refused;
    EXPECT_FALSE(ParseAnswerHead(bad, refused)) << bad;
  }
  EXPECT_EQ(AnswerHeadEnd("HTTP/1.1 200 OK\r\nA: b\r\n\r\nbody"), 25u);
  EXPECT_EQ(AnswerHeadEnd("HTTP/1.1 200 OK\r\nA: b\r\n"), std::string::npos);
}

TEST(HttpAnswer, ChunkedFramingNeedsItsLastChunkWhateverTheSplit) {
  const std::string body = "6;name=value\r\nhello \r\n5\r\nworld\r\n0\r\nX-Trailer: 1\r\n\r\nNEXT";
  for (size_t piece = 1; piece <= body.size(); ++piece) {
    ChunkedDecoder decoder;
    std::string bytes = body, data;
    size_t at = 0;
    while (at < bytes.size() && decoder.state() == ChunkedDecoder::State::MORE) {
      size_t produced = 0, consumed = 0;
      decoder.Feed(&bytes[at], std::min(piece, bytes.size() - at), &produced, &consumed);
      data.append(&bytes[at], produced);
      at += consumed;
    }
    EXPECT_EQ(decoder.state(), ChunkedDecoder::State::DONE) << piece;
    EXPECT_EQ(data, "hello world") << piece;
    EXPECT_EQ(bytes.substr(at), "NEXT") << piece;  // what follows is not the body's
  }
  // Cut before the last chunk's end: more is needed; broken framing: refused.
  using State = ChunkedDecoder::State;
  const std::pair<const char*, State> ends[] = {
      {"6\r\nhello \r\n", State::MORE},      {"6\r\nhel", State::MORE},
      {"6\r\nhello \r\n0\r\n", State::MORE}, {"x\r\n", State::BAD},
      {"6\r\nhello XX", State::BAD},         {"1000000000000000\r\n", State::BAD}};
  for (const auto& [text, state] : ends) {
    std::string bytes = text;
    size_t produced = 0, consumed = 0;
    ChunkedDecoder decoder;
    EXPECT_EQ(decoder.Feed(&bytes[0], bytes.size(), &produced, &consumed), state) << text;
  }
}

// Decodes `coded` fed a byte at a time; the state at the end.
ContentDecoder::State DecodeByBytes(const char* coding, const std::string& coded,
                                    std::string& text) {
  std::unique_ptr<ContentDecoder> decoder = ContentDecoder::For(coding);
  auto sink = [](void* out, const char* data, size_t size) {
    static_cast<std::string*>(out)->append(data, size);
    return true;
  };
  for (char c : coded) decoder->Feed(&c, 1, sink, &text);
  return decoder->state();
}

TEST(HttpAnswer, CodingsAreUndoneAndMustEnd) {
  const std::string text(100000, 'a');
  for (auto [coding, bits] :
       {std::pair<const char*, int>{"gzip", 31}, {"deflate", 15}, {"deflate", -15}}) {
    std::string out, coded = Coded(text, bits);
    EXPECT_EQ(DecodeByBytes(coding, coded, out), ContentDecoder::State::DONE) << coding << bits;
    EXPECT_EQ(out, text);
    out.clear();
    EXPECT_EQ(DecodeByBytes(coding, coded.substr(0, coded.size() - 1), out),
              ContentDecoder::State::MORE);  // not yet ended: a body ending here is refused
  }
  std::string out;
  EXPECT_EQ(DecodeByBytes("gzip", Coded("ab", 31) + Coded("cd", 31), out),
            ContentDecoder::State::DONE);  // members one after the other
  EXPECT_EQ(out, "abcd");
  EXPECT_EQ(DecodeByBytes("gzip", Coded("ab", 31) + "junk", out), ContentDecoder::State::BAD);
  EXPECT_EQ(ContentDecoder::For("br"), nullptr);
}

TEST(HttpAnswer, RedirectsAreReadAsBrowsersDoAndTheSiteIsItsDomain) {
  const std::string from = "http://zq.test/dir/page?q=1";
  const std::pair<const char*, const char*> cases[] = {
      {"http://cs2.zq.test/a", "http://cs2.zq.test/a"},
      {"//evil.test/x", "http://evil.test/x"},
      {"/top?z", "http://zq.test/top?z"},
      {"?other", "http://zq.test/dir/page?other"},
      {"next b\xD0", "http://zq.test/dir/next%20b%D0"},
      {"http://zq.test:8080#f", "http://zq.test:8080"}};
  for (const auto& [location, want] : cases) {
    std::string to;
    EXPECT_TRUE(RedirectAddress(from, location, to)) << location;
    EXPECT_EQ(to, want);
  }
  for (const char* refused : {"javascript:alert(1)", "ftp://zq.test/", "http://zq.test@evil.test/",
                              "http://evil.test\\@zq.test/", "http:///x"}) {
    std::string to;
    EXPECT_FALSE(RedirectAddress(from, refused, to)) << refused;
  }
  EXPECT_TRUE(IsSiteHost("cs7.ZQ.test.", "zq.test"));
  EXPECT_TRUE(IsSiteHost("zq.test", "zq.test"));
  EXPECT_FALSE(IsSiteHost("evilzq.test", "zq.test"));
  EXPECT_FALSE(IsSiteHost("zq.test.evil.test", "zq.test"));
}

TEST(HttpAnswer, AVideoRangeMustContinueWhereAsked) {
  auto step = [](const std::string& head, uint64_t from) {
    return JudgeAnswer(Head(head + "\r\n"), {TransferKind::FILE, from, 0});
  };
  const std::string partial = "HTTP/1.1 206 Partial\r\nContent-Length: 10\r\n";
  EXPECT_EQ(step(partial + "Content-Range: bytes 90-99/100\r\n", 90).step, AnswerStep::APPEND);
  EXPECT_EQ(step(partial + "Content-Range: bytes 0-9/100\r\n", 90).fault, AnswerFault::WRONG_RANGE);
  EXPECT_EQ(step(partial + "Content-Range: bytes 90-99/100\r\n", 0).fault,
            AnswerFault::WRONG_RANGE);
  EXPECT_EQ(step("HTTP/1.1 206 Partial\r\nContent-Range: bytes 90-99/100\r\nContent-Encoding: "
                 "gzip\r\n",
                 90)
                .fault,
            AnswerFault::WRONG_RANGE);
  EXPECT_EQ(step("HTTP/1.1 416 No\r\nContent-Range: bytes */100\r\n", 100).step,
            AnswerStep::COMPLETE);
  EXPECT_EQ(step("HTTP/1.1 416 No\r\nContent-Range: bytes */100\r\n", 50).step,
            AnswerStep::HTTP_ERROR);
  EXPECT_EQ(step("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=x\r\n", 0).fault,
            AnswerFault::WEB_PAGE);
  EXPECT_EQ(step("HTTP/1.1 302 Found\r\n", 0).fault, AnswerFault::STATUS);  // nowhere to go
  EXPECT_EQ(JudgeAnswer(Head("HTTP/1.1 206 Partial\r\n\r\n"), {}).fault, AnswerFault::STATUS);
}

}  // namespace
