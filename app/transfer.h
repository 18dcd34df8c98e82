// The download service: every page and picture the client reads comes through it.
//
// A transfer runs on a worker thread and writes into a private file beside the target;
// the window thread waits for it while dispatching messages (the toolkit defers the events
// that arise meanwhile to the main loop), and replaces the target only when the whole
// resource has arrived. A failed or abandoned transfer leaves the target exactly as it
// was. Requests go through one internet session, so connections to a host are reused, and
// they share the embedded browser's cookies.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "text.h"

enum class TransferStatus {
  DONE,
  REFUSED,     // no connection could be made (refused, unknown host, no network)
  TIMED_OUT,   // no connection, no data or not complete within the limits
  CUT,         // the connection ended before the whole resource had arrived
  HTTP_ERROR,  // the server answered with an error status (4xx, 5xx)
  NOT_SAVED,   // the file could not be written or put in place
  FAILED,      // anything else
};

struct TransferLimits {
  int connectMs;  // no connection within this long: failed
  int idleMs;     // no data for this long: failed
  int totalMs;    // not complete within this long: failed (0: no limit)
};

// The build's limits for pages and pictures.
TransferLimits PageLimits();

struct TransferResult {
  TransferStatus status = TransferStatus::FAILED;
  int httpStatus = 0;    // the server's status code when it answered
  uint64_t bytes = 0;    // bytes received
  std::string suggestedName;  // the UTF-8 file name the server gave (Content-Disposition)
  bool Ok() const { return status == TransferStatus::DONE; }
};

// Called on the window thread when the user asks to close the program during a
// transfer. It normally ends the program; if it returns, the wait goes on and the close
// request stays queued for the main loop.
void TransferSetCloseHandler(void (*handler)());

// Downloads `address` into the file `target` (full path, UTF-8 as every path: os.h), waiting
// as described above.
TransferResult TransferFile(const String& address, const std::string& target,
                            const TransferLimits& limits = PageLimits());

// A transfer under way, for callers that go on with other work meanwhile (a video file's
// download). All of these run on the window thread and never block.
struct Transfer;
struct TransferProgress {
  uint64_t bytes = 0;
  int64_t length = -1;  // the length the server announced, -1 when it gave none
  bool finished = false;
};
// Starts the transfer into a private file beside `target`; null when it cannot start.
Transfer* TransferBegin(const String& address, const std::string& target,
                        const TransferLimits& limits);
// How far it has come. Applies the limits: a transfer past one is given up and finished.
TransferProgress TransferPoll(Transfer* transfer);
// Set when the worker has finished (for waiting on it).
HANDLE TransferSignal(Transfer* transfer);
// The outcome of a finished transfer; one still running is given up (TIMED_OUT).
TransferResult TransferResultOf(Transfer* transfer);
// Puts the file of a transfer that succeeded in place: at `target`, replacing a file there,
// or (replace false) at the first free name among "name.ext", "name (2).ext", ...; the
// path used goes to `savedAs`. False when there is nothing to save or the move fails.
bool TransferSave(Transfer* transfer, const std::string& target, bool replace,
                  std::string* savedAs);
// Gives up the transfer if it still runs, removes its private file unless it was saved,
// and frees it.
void TransferRelease(Transfer* transfer);

// Abandons the transfers still running and removes their private files. The program's
// end calls it.
void TransfersEnd();

// Russian (Windows-1251) words for why a transfer failed, to follow a colon.
String TransferFailureText(const TransferResult& result);
