// The download service: every page, picture and video file the client reads comes through
// it.
//
// A transfer runs on a worker thread and writes into a private file beside the target (or,
// resuming, into the caller's partial file); the window thread waits for it while
// dispatching messages (the toolkit defers the events that arise meanwhile to the main
// loop), and replaces the target only when the whole resource has arrived and the answer
// is what was asked for (TransferKind). A failed or abandoned transfer leaves the target
// exactly as it was. Connections are kept and reused, and requests carry the embedded
// browser's cookies.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "answer_check.h"
#include "text.h"

enum class TransferStatus {
  DONE,
  REFUSED,     // no connection could be made (refused, unknown host, no network)
  TIMED_OUT,   // no connection, no data or not complete within the limits
  CUT,         // the connection ended before the whole resource had arrived
  HTTP_ERROR,  // the server answered with an error status (4xx, 5xx)
  BAD_ANSWER,  // an answer that is not what was asked for: TransferResult::fault says why
  NOT_SAVED,   // the file could not be written or put in place
  FAILED,      // anything else
};

struct TransferLimits {
  int connectMs;          // no connection within this long: failed
  int idleMs;             // no data for this long: failed
  int totalMs;            // not complete within this long: failed (0: no limit)
  uint64_t maxBytes = 0;  // the body may hold at most this many bytes; 0: no limit
};

// The build's time limits for pages and pictures, with a size limit.
TransferLimits PageLimits(uint64_t maxBytes = 0);

// A download that continues the bytes an earlier attempt left (in this run or an earlier
// one). The caller names the partial file and keeps the validator with it.
struct TransferResume {
  std::string partialPath;  // UTF-8: where the bytes go; created when missing. It is kept
                            // (never deleted) when the transfer fails, is cut, or is given
                            // up, so that a later attempt continues it.
  String validator;         // what the server said of those bytes (its strong ETag, else its
                            // Last-Modified), as the service reported it; empty: the file's
                            // bytes are not trusted and it starts from the beginning
};

struct TransferResult {
  TransferStatus status = TransferStatus::FAILED;
  int httpStatus = 0;         // the server's status code when it answered
  uint64_t bytes = 0;         // bytes of the resource in the file (kept ones included)
  std::string suggestedName;  // the UTF-8 file name the server gave (Content-Disposition)
  String validator;           // the server's validator for the resource (for a later resume)
  uint64_t resumedFrom = 0;   // bytes that were kept from the partial file (0: from the start)
  AnswerFault fault = AnswerFault::NONE;  // why the answer was refused (BAD_ANSWER)
  uint64_t maxBytes = 0;                  // the limit a TOO_BIG answer went past
  String otherHost;                       // the host an OFF_SITE redirect led to
  bool Ok() const { return status == TransferStatus::DONE; }
};

// Called on the window thread when the user asks to close the program during a
// transfer. It normally ends the program; if it returns, the wait goes on and the close
// request stays queued for the main loop.
void TransferSetCloseHandler(void (*handler)());

// Downloads `address` into the file `target` (full path, UTF-8 as every path: os.h), waiting
// as described above. `givesWay`, when given, is asked at each look at the transfer: once it
// says so, the transfer is given up, `target` stays as it was and `*gaveWay` is set.
TransferResult TransferFile(const String& address, const std::string& target,
                            const TransferLimits& limits = PageLimits(),
                            TransferKind kind = TransferKind::PAGE,
                            const std::function<bool()>& givesWay = nullptr,
                            bool* gaveWay = nullptr);

// A transfer under way, for callers that go on with other work meanwhile (a video file's
// download). All of these run on the window thread and never block.
struct Transfer;
struct TransferProgress {
  uint64_t bytes = 0;   // bytes of the resource so far, kept ones included
  int64_t length = -1;  // the whole resource's length, -1 when the server gave none
  bool finished = false;
};
// Starts a transfer. With `resume`, the bytes go to resume->partialPath (no private file of
// the service's own): when the file holds bytes and `validator` is set, the request asks for
// the rest (Range from the file's size, If-Range with the validator); a 206 appends, a 200
// starts the file afresh. Without `resume`, a private file beside `target`, removed on
// failure. Null when it cannot start.
Transfer* TransferBegin(const String& address, const std::string& target,
                        const TransferLimits& limits, TransferKind kind = TransferKind::PAGE,
                        const TransferResume* resume = nullptr);
// How far it has come. Applies the limits: a transfer past one is given up and finished.
TransferProgress TransferPoll(Transfer* transfer);
// Set when the worker has finished (for waiting on it).
HANDLE TransferSignal(Transfer* transfer);
// The outcome of a finished transfer; one still running is given up (TIMED_OUT).
TransferResult TransferResultOf(Transfer* transfer);
// Puts the file of a transfer that succeeded (the partial file when resuming) in place: at
// `target`, replacing a file there, or (replace false) at the first free name among
// "name.ext", "name (2).ext", ...; the path used goes to `savedAs`. False when there is
// nothing to save or the move fails.
bool TransferSave(Transfer* transfer, const std::string& target, bool replace,
                  std::string* savedAs);
// Gives up the transfer if it still runs, removes its private file unless it was saved (a
// partial file stays, with every byte that arrived), and frees it.
void TransferRelease(Transfer* transfer);

// Abandons the transfers still running and removes their private files (partial files
// stay). The program's end calls it.
void TransfersEnd();

// Russian (Windows-1251) words for why a transfer failed, to follow a colon.
String TransferFailureText(const TransferResult& result);

// The site whose hosts (its base address's domain and the subdomains) a page may be
// redirected within; SITE_BASE_ADDRESS unless set.
void TransferSetSite(const String& baseAddress);
// The proxy for plain http: "host:port", "-" for none, "*" to let WinINet carry plain http
// as it carries https, empty for the system's settings (the default; under Wine also
// http_proxy).
void TransferSetProxy(const String& proxy);
