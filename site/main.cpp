// vs_site: the stand-in video site, an HTTP server on loopback for all of the site's hosts.
//
// It prints "port N" as the first line on stdout once it listens. It stops cleanly on
// SIGTERM, SIGINT or SIGHUP, when its stdin (a pipe or socket) is closed, when its parent
// process ends, and after --idle-exit seconds without requests; so a test that started it
// never leaves it behind.
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "site.h"

#ifndef VS_SITE_MEDIA_DIR
#define VS_SITE_MEDIA_DIR "media"
#endif
#ifndef VS_SITE_USERS_FILE
#define VS_SITE_USERS_FILE "users.txt"
#endif

namespace {

struct Flags {
  int port = 8080;
  std::string log;
  std::string users = VS_SITE_USERS_FILE;
  bool users_given = false;
  bool open_search = false;
  std::string media = VS_SITE_MEDIA_DIR;
  int stall_seconds = 30;
  int idle_exit = 0;
  int threads = 24;
  int head_timeout = 10;
  int session_seconds = 0;
};

void Usage(std::FILE* to) {
  std::fprintf(to,
               "usage: vs_site [options]\n"
               "  --port N           port on 127.0.0.1 (0: any free port; default 8080)\n"
               "  --log FILE         append one line per request to FILE\n"
               "  --users FILE       accounts, 'e-mail password' per line (default %s)\n"
               "  --open-search      guests get search results and video pages too\n"
               "  --session-seconds N\n"
               "                     sessions end N seconds after their login (default 30 days)\n"
               "  --media DIR        generated clips and previews (default %s)\n"
               "  --stall-seconds N  pause of the zqtest-stall scenario (default 30)\n"
               "  --idle-exit N      stop after N seconds without requests (default: never)\n"
               "  --threads N        connections served at once (default 24)\n"
               "  --head-timeout N   seconds a request head may take to arrive (default 10)\n",
               VS_SITE_USERS_FILE, VS_SITE_MEDIA_DIR);
}

bool ParseInt(const char* text, int lo, int hi, int* out) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!text[0] || *end || v < lo || v > hi) return false;
  *out = static_cast<int>(v);
  return true;
}

bool ParseFlags(int argc, char** argv, Flags* f) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](const char** out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    const char* v = nullptr;
    if (a == "--help" || a == "-h") {
      Usage(stdout);
      std::exit(0);
    } else if (a == "--open-search") {
      f->open_search = true;
    } else if (a == "--port" && value(&v) && ParseInt(v, 0, 65535, &f->port)) {
    } else if (a == "--log" && value(&v)) {
      f->log = v;
    } else if (a == "--users" && value(&v)) {
      f->users = v;
      f->users_given = true;
    } else if (a == "--media" && value(&v)) {
      f->media = v;
    } else if (a == "--stall-seconds" && value(&v) && ParseInt(v, 0, 3600, &f->stall_seconds)) {
    } else if (a == "--idle-exit" && value(&v) && ParseInt(v, 0, 86400 * 365, &f->idle_exit)) {
    } else if (a == "--threads" && value(&v) && ParseInt(v, 2, 1024, &f->threads)) {
    } else if (a == "--head-timeout" && value(&v) && ParseInt(v, 1, 3600, &f->head_timeout)) {
    } else if (a == "--session-seconds" && value(&v) &&
               ParseInt(v, 1, 86400 * 365, &f->session_seconds)) {
    } else {
      std::fprintf(stderr, "vs_site: bad option '%s'\n", a.c_str());
      return false;
    }
  }
  return true;
}

bool IsPipeOrSocket(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode));
}

long long SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The stop signals are taken from a signalfd by the main thread; every thread started
// later inherits this mask, so none of them is interrupted by them.
int BlockStopSignals() {
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return signalfd(-1, &stop_signals, SFD_CLOEXEC);
}

bool LoadAccounts(const Flags& flags, site::Accounts& accounts) {
  if (accounts.LoadFile(flags.users)) return true;
  if (flags.users_given) {
    std::fprintf(stderr, "vs_site: cannot read users file %s\n", flags.users.c_str());
    return false;
  }
  // The default file is missing: its accounts (the second password is Windows-1251).
  accounts.Add("demo@zq.test", "demo");
  accounts.Add("ivan@zq.test", "\xEF\xE0\xF0\xEE\xEB\xFC");
  return true;
}

// Binds to the port asked for (0: any free one); the port, or 0 when it cannot listen.
int Bind(site::FrontServer& server, int port) {
  if (port == 0) {
    port = server.bind_to_any_port("127.0.0.1");
    if (port > 0) return port;
    std::fprintf(stderr, "vs_site: cannot listen on 127.0.0.1\n");
    return 0;
  }
  if (server.bind_to_port("127.0.0.1", port)) return port;
  std::fprintf(stderr, "vs_site: cannot listen on 127.0.0.1:%d\n", port);
  return 0;
}

// Waits until a reason to stop comes (a signal, stdin closed, the parent gone, idle
// time, or the listener ending by itself) and names it.
const char* WaitForStop(int signal_fd, pid_t parent, const Flags& flags, const site::Site& site,
                        const std::atomic<bool>& listener_done) {
  bool watch_stdin = IsPipeOrSocket(0);
  while (!listener_done) {
    pollfd fds[2] = {{signal_fd, POLLIN, 0}, {0, POLLIN, 0}};
    int n = poll(fds, watch_stdin ? 2 : 1, 200);
    if (n > 0 && (fds[0].revents & POLLIN)) {
      signalfd_siginfo info{};
      if (read(signal_fd, &info, sizeof info) > 0)
        return strsignal(static_cast<int>(info.ssi_signo));
    }
    if (n > 0 && watch_stdin && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
      char buf[256];
      if (read(0, buf, sizeof buf) <= 0) return "stdin closed";
    }
    if (getppid() != parent) return "parent ended";
    if (flags.idle_exit > 0 && SteadyMs() - site.LastActivityMs() > flags.idle_exit * 1000LL) {
      return "idle";
    }
  }
  return "listener ended";
}

}  // namespace

int main(int argc, char** argv) {
  // End with the parent: a test that dies must not leave the server running.
  pid_t parent = getppid();
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) return 0;
  int signal_fd = BlockStopSignals();

  Flags flags;
  if (!ParseFlags(argc, argv, &flags)) {
    Usage(stderr);
    return 2;
  }
  site::Accounts accounts;
  if (!LoadAccounts(flags, accounts)) return 2;
  site::RequestLog log;
  if (!flags.log.empty() && !log.Open(flags.log)) {
    std::fprintf(stderr, "vs_site: cannot open log %s\n", flags.log.c_str());
    return 2;
  }

  std::atomic<bool> stopping{false};
  site::SiteOptions options;
  options.open_search = flags.open_search;
  options.session_seconds = flags.session_seconds;
  options.media_dir = flags.media;
  options.stall_ms = flags.stall_seconds * 1000;
  site::Site site(options, accounts, stopping, flags.log.empty() ? nullptr : &log);
  int media = site.LoadMedia();

  site::FrontOptions front;
  front.threads = static_cast<size_t>(flags.threads);
  front.head_timeout_ms = flags.head_timeout * 1000;
  site::FrontServer server(stopping, front);
  site.Install(server);
  int port = Bind(server, flags.port);
  if (port == 0) return 1;
  std::printf("port %d\n", port);
  std::fflush(stdout);
  std::fprintf(stderr,
               "vs_site: http://127.0.0.1:%d/ (proxy for *.zq.test), %zu accounts, %d media files "
               "from %s%s\n",
               port, accounts.size(), media, flags.media.c_str(),
               flags.open_search ? ", search open to guests" : "");

  std::atomic<bool> listener_done{false};
  std::thread listener([&] {
    server.listen_after_bind();
    listener_done = true;
  });
  const char* reason = WaitForStop(signal_fd, parent, flags, site, listener_done);

  stopping = true;
  while (!listener_done) {
    server.stop();  // repeated in case the listener had not started listening yet
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  listener.join();
  std::fprintf(stderr, "vs_site: stopped (%s)\n", reason);
  return 0;
}
