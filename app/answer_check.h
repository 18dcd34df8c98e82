// What an answer must be for a transfer to count, decided on its head before any byte of it
// replaces anything.
#pragma once

#include <cstdint>

#include "http_answer.h"

// What an answer must be for the transfer to count. Checked before anything replaces
// the target.
enum class TransferKind {
  PAGE,     // a 200 with a body; redirected only within the site's hosts
  PICTURE,  // a 200 with a body
  FILE,     // a video file: a 200 or 206 whose Content-Type is not text/html
};

// Why an answer is not what was asked for.
enum class AnswerFault {
  NONE,
  NO_CONTENT,          // 204, 205 or 304: no resource at all
  EMPTY,               // a 200 whose body holds nothing
  WEB_PAGE,            // a video file answered by an HTML page
  OFF_SITE,            // a page redirected to a host that is not the site's
  TOO_MANY_REDIRECTS,  // more redirects than a transfer follows
  TOO_BIG,             // more bytes than the transfer may hold
  WRONG_RANGE,         // a 206 that does not continue where asked
  CODING,              // a content coding that is unknown or does not decode
  STATUS,              // a status that answers none of the above
  MALFORMED,           // no HTTP answer, or a body whose framing is broken
};

struct AnswerAsked {
  TransferKind kind = TransferKind::PAGE;
  uint64_t rangeFrom = 0;  // the request asked for the bytes from here on (0: all of them)
  uint64_t maxBytes = 0;   // the resource may hold at most this many bytes (0: no limit)
};

enum class AnswerStep {
  TAKE,        // read the body as the whole resource
  APPEND,      // read the body as the rest after rangeFrom
  COMPLETE,    // 416 for a range starting at the resource's end: nothing is missing
  REDIRECT,    // follow head.location
  HTTP_ERROR,  // an error status (4xx, 5xx)
  REFUSE,      // not what was asked for: `fault` says why
};

struct AnswerVerdict {
  AnswerStep step = AnswerStep::REFUSE;
  AnswerFault fault = AnswerFault::NONE;
};

// The verdict on an answer's head (a final one: 1xx interim heads are skipped before).
AnswerVerdict JudgeAnswer(const AnswerHead& head, const AnswerAsked& asked);
