// The connection layer in front of the HTTP library.
//
// The library's own socket loop hands the request line straight to its parser, which
// refuses what the program's download service really sends (raw blanks in the target)
// and has no bound on the number of header lines. So each connection is served by this
// loop instead: it reads the whole request head itself, within limits and time-outs,
// checks and rewrites it (request.h), answers bad requests itself, and passes the
// rewritten head to the library's request processing through a buffered stream. The raw
// request stays available to the handlers of the same thread (CurrentExchange).
#pragma once

#include <httplib.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "request.h"

namespace site {

// One request on a connection, as seen by the handlers that answer it.
struct Exchange {
  RequestHead head;
  int fd = -1;
  uint64_t connection = 0;   // the connection's number, counted from 1 in accept order
  size_t request = 0;        // the request's number on its connection, from 1
  size_t bytes_written = 0;  // everything written for the current response
  size_t head_bytes = 0;     // its first write, which is the status line and headers
  bool head_written = false;
  std::string coding;  // content coding the answer was sent in ("gzip"), empty for none
  // Body bytes of the response so far.
  size_t body_bytes() const { return bytes_written - head_bytes; }
  // True when the client has closed its side of the connection.
  bool PeerClosed() const;

  // Writes bytes of an answer straight to the connection, for answers the HTTP library
  // will not make (a chunked body that breaks off, a 204 without any length). The first
  // call's bytes count as the head. From then on whatever the library writes for this
  // request is dropped, and the connection closes after it. False when the write fails.
  bool SendRaw(std::string_view bytes);
  bool raw() const { return raw_; }

  httplib::Stream* stream = nullptr;  // the connection, for SendRaw
  bool sending_raw = false;           // a SendRaw write is under way

 private:
  bool raw_ = false;
};

// The exchange being answered on this thread, or nullptr outside a request.
Exchange* CurrentExchange();

// The status line and headers of an answer written raw: the header lines given (each
// ending in CR LF), "Connection: close" and the empty line.
std::string RawHead(int status, const char* reason, const std::string& header_lines);
// Answers the current request with a status line alone (written raw, so that not even a
// Content-Length goes out), as for 204 and 304.
void SendBareStatus(int status, const char* reason, httplib::Response& res);

struct FrontOptions {
  HeadLimits limits;
  int head_timeout_ms = 10000;       // a request head must be complete within this time
  int io_timeout_ms = 5000;          // any single read or write
  int keep_alive_timeout_ms = 5000;  // idle time between requests on one connection
  size_t keep_alive_max = 100;       // requests per connection
  size_t threads = 24;               // connections served at the same time
};

class FrontServer : public httplib::Server {
 public:
  // Called for every request the front layer answers itself (bad requests), with the
  // status and the body bytes sent; the library's logger covers the others.
  using RejectHandler = std::function<void(const Exchange& ex, int status, size_t bytes)>;

  FrontServer(const std::atomic<bool>& stopping, FrontOptions options);
  void OnReject(RejectHandler handler) { on_reject_ = std::move(handler); }

 private:
  bool process_and_close_socket(socket_t sock) override;

  const std::atomic<bool>& stopping_;
  FrontOptions options_;
  RejectHandler on_reject_;
  std::atomic<uint64_t> connections_{0};
};

}  // namespace site
