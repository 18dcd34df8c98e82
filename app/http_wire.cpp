// Winsock's header must come before windows.h, which the module's header includes.
#include <winsock2.h>
#include <ws2tcpip.h>
// after winsock2.h
#include <wininet.h>

#include <algorithm>
#include <climits>
#include <mutex>
#include <vector>

#include "http_wire.h"
#include "wide.h"

namespace {

// Kept connections: a few per server are enough for the pages, pictures and files the
// program fetches at once; one unused for a minute is let go (servers close theirs sooner).
constexpr size_t KEPT_LIMIT = 16;
constexpr ULONGLONG KEPT_MS = 60000;

std::mutex keptLock;
std::vector<Connection*> kept;

struct ProxySetting {
  bool known = false;
  bool direct = true;
  bool script = false;  // an automatic configuration script decides
  std::string host;
  uint16_t port = 80;
  std::vector<std::string> bypass;  // lower case
};
std::mutex proxyLock;
ProxySetting proxySetting;
std::string proxyOverride;

void StartWinsock() {
  static bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return text;
}

// "host:port", "http://host:port/" or "host" (port 80) into the setting.
bool TakeProxy(std::string entry, ProxySetting& setting) {
  if (Lower(entry.substr(0, 7)) == "http://") entry.erase(0, 7);
  entry = entry.substr(0, entry.find('/'));
  HttpAddress parsed;
  if (!ParseHttpAddress("http://" + entry + "/", parsed)) return false;
  setting.host = parsed.host;
  setting.port = parsed.port;
  setting.direct = false;
  return true;
}

// Items of a list separated by any of `separators`.
std::vector<std::string> Items(const std::string& list, const char* separators) {
  std::vector<std::string> items;
  size_t at = 0;
  while (at < list.size()) {
    size_t end = list.find_first_of(separators, at);
    if (end == std::string::npos) end = list.size();
    if (end > at) items.push_back(list.substr(at, end - at));
    at = end + 1;
  }
  return items;
}

// The system's settings for this connection: a proxy server list ("host:port" for every
// scheme, or "http=host:port;https=..."), and the hosts that bypass it.
void LoadSystemProxy(ProxySetting& setting) {
  INTERNET_PER_CONN_OPTIONW options[3] = {};
  options[0].dwOption = INTERNET_PER_CONN_FLAGS;
  options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
  options[2].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
  INTERNET_PER_CONN_OPTION_LISTW list = {};
  list.dwSize = sizeof list;
  list.dwOptionCount = 3;
  list.pOptions = options;
  DWORD size = sizeof list;
  if (!InternetQueryOptionW(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &size)) return;
  std::string servers = options[1].Value.pszValue ? PathFromWide(options[1].Value.pszValue) : "";
  std::string bypass = options[2].Value.pszValue ? PathFromWide(options[2].Value.pszValue) : "";
  GlobalFree(options[1].Value.pszValue);
  GlobalFree(options[2].Value.pszValue);
  setting.script = (options[0].Value.dwValue & PROXY_TYPE_AUTO_PROXY_URL) != 0;
  if (!(options[0].Value.dwValue & PROXY_TYPE_PROXY)) return;
  for (const std::string& entry : Items(servers, "; \t")) {
    size_t equals = entry.find('=');
    if (equals == std::string::npos) {
      if (setting.direct) TakeProxy(entry, setting);  // for every scheme
    } else if (Lower(entry.substr(0, equals)) == "http") {
      TakeProxy(entry.substr(equals + 1), setting);
    }
  }
  for (const std::string& item : Items(Lower(bypass), "; ,\t\r\n")) setting.bypass.push_back(item);
}

// `pattern` with "*" standing for any run of characters.
bool Matches(const char* pattern, const char* text) {
  if (*pattern == '*') return Matches(pattern + 1, text) || (*text && Matches(pattern, text + 1));
  if (!*pattern) return !*text;
  return *pattern == *text && Matches(pattern + 1, text + 1);
}

bool Bypassed(const ProxySetting& setting, const std::string& host) {
  for (const std::string& entry : setting.bypass) {
    if (entry == "<local>" ? host.find('.') == std::string::npos
        : entry[0] == '.'  ? host.size() > entry.size() &&
                                host.compare(host.size() - entry.size(), entry.size(), entry) == 0
                          : Matches(entry.c_str(), host.c_str()))
      return true;
  }
  return false;
}

std::string KeyOf(const Route& route) { return route.host + ":" + std::to_string(route.port); }

// Whether a kept connection may carry another request: the server has neither closed it
// nor sent anything unasked.
bool StillOpen(SOCKET socket) {
  char byte;
  return recv(socket, &byte, 1, MSG_PEEK) == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK;
}

}  // namespace

void WireSetProxy(const std::string& proxy) {
  std::lock_guard<std::mutex> lock(proxyLock);
  proxyOverride = proxy;
  proxySetting = ProxySetting();
}

Route RouteFor(const HttpAddress& address) {
  ProxySetting setting;
  {
    std::lock_guard<std::mutex> lock(proxyLock);
    if (!proxySetting.known) {
      if (proxyOverride.empty())
        LoadSystemProxy(proxySetting);
      else if (proxyOverride == "*")
        proxySetting.script = true;
      else if (proxyOverride != "-")
        TakeProxy(proxyOverride, proxySetting);
      proxySetting.known = true;
    }
    setting = proxySetting;
  }
  if (setting.script) return {address.host, address.port, false, true};
  if (!setting.direct && !Bypassed(setting, address.host))
    return {setting.host, setting.port, true, false};
  return {address.host, address.port, false, false};
}

Connection::Connection(uintptr_t socket, HANDLE event, std::string key)
    : socket_(socket), event_(event), key_(std::move(key)) {}

Connection::~Connection() {
  closesocket(socket_);
  WSACloseEvent(event_);
}

Connection* Connection::Get(const Route& route, bool reuse, const WireWait& wait,
                            WireStatus& status) {
  StartWinsock();
  const std::string key = KeyOf(route);
  if (reuse) {
    std::vector<Connection*> stale;
    Connection* found = nullptr;
    {
      std::lock_guard<std::mutex> lock(keptLock);
      for (size_t i = kept.size(); i-- > 0 && !found;) {
        if (kept[i]->key_ != key) continue;
        Connection* connection = kept[i];
        kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(i));
        if (GetTickCount64() - connection->keptAt_ < KEPT_MS && StillOpen(connection->socket_))
          found = connection;
        else
          stale.push_back(connection);
      }
    }
    for (Connection* connection : stale) delete connection;
    if (found) {
      found->reused_ = true;
      return found;
    }
  }

  addrinfo hints = {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  status = WireStatus::REFUSED;
  if (getaddrinfo(route.host.c_str(), std::to_string(route.port).c_str(), &hints, &found) != 0)
    return nullptr;
  const ULONGLONG deadline = GetTickCount64() + wait.ms;
  Connection* connection = nullptr;
  for (addrinfo* address = found; address && !connection; address = address->ai_next) {
    SOCKET socket = ::socket(address->ai_family, address->ai_socktype, address->ai_protocol);
    if (socket == INVALID_SOCKET) continue;
    WSAEVENT event = WSACreateEvent();
    Connection* candidate = new Connection(socket, event, key);
    // Non-blocking from here on: every wait goes through WaitFor, which the abandon ends.
    WSAEventSelect(socket, event, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE);
    BOOL on = TRUE;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    if (connect(socket, address->ai_addr, static_cast<int>(address->ai_addrlen)) == 0 ||
        WSAGetLastError() == WSAEWOULDBLOCK) {
      ULONGLONG now = GetTickCount64();
      WireWait left = {wait.abandon, now < deadline ? static_cast<DWORD>(deadline - now) : 0};
      status = candidate->WaitFor(FD_CONNECT, left);
      if (status == WireStatus::OK) {
        connection = candidate;
        break;
      }
    }
    delete candidate;
    if (status == WireStatus::TIMED_OUT || status == WireStatus::ABANDONED) break;
    status = WireStatus::REFUSED;
  }
  freeaddrinfo(found);
  return connection;
}

void Connection::Keep(Connection* connection) {
  connection->keptAt_ = GetTickCount64();
  Connection* oldest = nullptr;
  {
    std::lock_guard<std::mutex> lock(keptLock);
    kept.push_back(connection);
    if (kept.size() > KEPT_LIMIT) {
      oldest = kept.front();
      kept.erase(kept.begin());
    }
  }
  delete oldest;
}

void Connection::CloseKept() {
  std::vector<Connection*> all;
  {
    std::lock_guard<std::mutex> lock(keptLock);
    all.swap(kept);
  }
  for (Connection* connection : all) delete connection;
}

// Waits until one of `events` has happened on the socket (OK), or the abandon event is set,
// or the time is up. A connect's outcome is its error code.
WireStatus Connection::WaitFor(long events, const WireWait& wait) {
  const ULONGLONG deadline = GetTickCount64() + wait.ms;
  for (;;) {
    ULONGLONG now = GetTickCount64();
    if (now >= deadline) return WireStatus::TIMED_OUT;
    // The abandon event first: when both are set, giving up wins.
    HANDLE handles[2] = {wait.abandon, event_};
    DWORD count = wait.abandon ? 2 : 1;
    DWORD woke = WaitForMultipleObjects(count, handles + (2 - count), FALSE,
                                        static_cast<DWORD>(deadline - now));
    if (woke == WAIT_TIMEOUT) return WireStatus::TIMED_OUT;
    if (wait.abandon && woke == WAIT_OBJECT_0) return WireStatus::ABANDONED;
    if (woke == WAIT_FAILED) return WireStatus::BROKEN;
    WSANETWORKEVENTS happened = {};
    if (WSAEnumNetworkEvents(socket_, event_, &happened) != 0) return WireStatus::BROKEN;
    if ((events & FD_CONNECT) && (happened.lNetworkEvents & FD_CONNECT))
      return happened.iErrorCode[FD_CONNECT_BIT] == 0 ? WireStatus::OK : WireStatus::REFUSED;
    if (!(events & FD_CONNECT) && (happened.lNetworkEvents & (events | FD_CLOSE)))
      return WireStatus::OK;
  }
}

WireStatus Connection::Send(std::string_view bytes, const WireWait& wait) {
  while (!bytes.empty()) {
    int sent =
        send(socket_, bytes.data(), static_cast<int>(std::min<size_t>(bytes.size(), INT_MAX)), 0);
    if (sent > 0) {
      bytes.remove_prefix(static_cast<size_t>(sent));
      continue;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) return WireStatus::BROKEN;
    WireStatus status = WaitFor(FD_WRITE, wait);
    if (status != WireStatus::OK) return status;
  }
  return WireStatus::OK;
}

WireStatus Connection::Receive(char* buffer, size_t size, size_t& got, const WireWait* wait) {
  got = 0;
  const ULONGLONG deadline = wait ? GetTickCount64() + wait->ms : 0;
  for (;;) {
    int n = recv(socket_, buffer, static_cast<int>(std::min<size_t>(size, INT_MAX)), 0);
    if (n > 0) {
      got = static_cast<size_t>(n);
      return WireStatus::OK;
    }
    if (n == 0) return WireStatus::CLOSED;
    if (WSAGetLastError() != WSAEWOULDBLOCK) return WireStatus::BROKEN;
    if (!wait) return WireStatus::EMPTY;
    ULONGLONG now = GetTickCount64();
    WireWait left = {wait->abandon, now < deadline ? static_cast<DWORD>(deadline - now) : 0};
    WireStatus status = WaitFor(FD_READ, left);
    if (status != WireStatus::OK) return status;
  }
}
