// The download service's connections to web servers (plain http, over Winsock): made
// within a time limit, kept after an answer that ended cleanly and handed to the next
// request for the same server or proxy, and never blocking beyond a wait that the
// transfer's abandon event ends at once.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "http_address.h"

enum class WireStatus {
  OK,
  END,        // an answer's body has come to its proper end
  EMPTY,      // nothing has arrived yet (a receive that was told not to wait)
  CLOSED,     // the other side ended the connection
  TIMED_OUT,  // no connection, or nothing sent or received, within the limit
  ABANDONED,  // the abandon event was set
  REFUSED,    // no connection could be made (refused, unknown host, no network)
  BROKEN,     // the connection failed (reset, aborted)
  MALFORMED,  // what arrived is no HTTP answer, or its framing is broken
};

// What a wait may take: until the abandon event is set, for at most `ms` milliseconds.
struct WireWait {
  HANDLE abandon = nullptr;
  DWORD ms = 0;
};

// Where a request goes: to the address's server or to the proxy. A proxied request names
// the whole address in its request line.
struct Route {
  std::string host;
  uint16_t port = 0;
  bool proxied = false;
  bool bySystem = false;  // an automatic proxy script decides: only WinINet can follow it
};

// The proxy for plain http requests: "host:port" (also "http://host:port/"); "-" for none;
// "*" to leave plain http to WinINet as well; empty for the system's settings (the internet
// options, or http_proxy under Wine), read when first needed.
void WireSetProxy(const std::string& proxy);
Route RouteFor(const HttpAddress& address);

class Connection {
 public:
  // A kept connection to the route that is still open, else a new one made within
  // `wait.ms`. Null with the reason in `status` when none can be had.
  static Connection* Get(const Route& route, bool reuse, const WireWait& wait, WireStatus& status);
  // Keeps the connection for a later request (its answer was read to its exact end).
  static void Keep(Connection* connection);
  // Closes every kept connection (the program's end).
  static void CloseKept();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  WireStatus Send(std::string_view bytes, const WireWait& wait);
  // Up to `size` bytes into `buffer`; `got` is how many (0 unless OK). Without `wait` it
  // returns EMPTY rather than wait for bytes.
  WireStatus Receive(char* buffer, size_t size, size_t& got, const WireWait* wait);
  // Whether it carried an earlier request (so that a failure may be the server having
  // closed it meanwhile).
  bool Reused() const { return reused_; }

 private:
  Connection(uintptr_t socket, HANDLE event, std::string key);
  WireStatus WaitFor(long events, const WireWait& wait);

  uintptr_t socket_;  // a SOCKET (winsock2.h stays out of this header)
  HANDLE event_;      // its WSAEVENT
  std::string key_;
  bool reused_ = false;
  ULONGLONG keptAt_ = 0;
};
