// What an answer must be for a transfer to count, decided on its head before any byte of it
// replaces anything.
#pragma once

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
