// One request of the download service and its answer: the request sent, the answer's final
// head read (interim 1xx heads skipped), then the body's bytes with the transfer framing
// taken off, and an end that says whether the body came whole.
//
// Plain http goes over the service's own connections (http_wire.h): it reads the framing
// itself, so that a chunked answer whose last chunk never comes counts as cut (WinINet
// under Wine ends such an answer as if it were complete), and it keeps its connections for
// the next request also through a proxy (WinINet under Wine pools a proxied connection
// under the proxy's name but looks for one under the server's, so never reuses it). https,
// and networks whose proxy an automatic configuration script chooses, go through WinINet.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "http_address.h"
#include "http_answer.h"
#include "http_wire.h"

// A WinINet request handle that the window thread may close to end a blocking call.
struct AbortableHandle {
  std::mutex lock;
  void* handle = nullptr;  // HINTERNET
  bool aborted = false;
  // Closes the handle now (from any thread); later requests fail at once.
  void Abort();
};

struct ExchangeRequest {
  std::string address;  // pure ASCII
  HttpAddress where;
  std::string agent;           // User-Agent
  bool askCompressed = false;  // Accept-Encoding: gzip, deflate
  uint64_t rangeFrom = 0;      // Range from here (0: none)
  std::string ifRange;         // the validator for If-Range, with the range
  DWORD connectMs = 0;
  DWORD idleMs = 0;
  ULONGLONG deadline = 0;  // GetTickCount64 after which nothing waits (0: none)
  HANDLE abandon = nullptr;
  std::function<void()> onConnected;     // called when a connection carries the request
  void* session = nullptr;               // the WinINet session
  AbortableHandle* abortable = nullptr;  // where a WinINet request registers its handle
};

class Exchange {
 public:
  virtual ~Exchange() = default;
  // Sends the request and reads the final answer's head. OK, or why not.
  virtual WireStatus Open(AnswerHead& head) = 0;
  // The body's next bytes: OK with `got` > 0, END once it is whole, EMPTY when `wait` is
  // false and nothing has arrived, or why it failed (CLOSED: cut short).
  virtual WireStatus Read(char* buffer, size_t size, size_t& got, bool wait) = 0;
  // Reads and drops a small body (a redirect's, an error page), so that the connection can
  // be kept; a large one or one without a length is left, and its connection closed.
  virtual void Drain() = 0;
};

// The exchange for the request: over the service's connections, or WinINet's.
std::unique_ptr<Exchange> MakeExchange(const ExchangeRequest& request);

// The cookies the shared store (the embedded browser's as well) holds for `url`, HttpOnly
// ones included, as "name=value; ..."; empty when none.
std::wstring StoredCookies(const std::wstring& url);
