// One transfer of the download service, shared by the window thread and its worker (the
// service's own: transfer.cpp and transfer_fetch.cpp).
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

#include "http_exchange.h"
#include "transfer.h"

// Whichever of the two lets go last frees it. The worker alone writes the private file (or
// the partial file); the window thread alone touches the target.
struct Job {
  // Set before the worker starts.
  std::string address;
  std::string target;
  std::string privatePath;  // UTF-8, as every path (os.h); the partial file when resuming
  bool resuming = false;    // privatePath is the caller's partial file, never removed
  String resumeValidator;
  TransferKind kind = TransferKind::PAGE;
  TransferLimits limits{};
  std::string siteDomain;  // where a page may be redirected (and its subdomains)
  std::string agent;
  void* session = nullptr;   // the WinINet session
  HANDLE done = nullptr;     // set by the worker when it has finished
  HANDLE abandon = nullptr;  // set by the window thread when it gives up: every wait ends
  DWORD started = 0;

  AbortableHandle abortable;  // a WinINet request to close when giving up
  std::atomic<int> references{2};
  std::atomic<bool> abandoned{false};
  std::atomic<bool> connected{false};  // a connection carried the request
  std::atomic<DWORD> lastActivity{0};  // tick of the last sign of life
  std::atomic<uint64_t> bytes{0};      // of the resource, kept ones included
  std::atomic<int64_t> length{-1};     // the whole resource's, -1 when unknown
  bool given = false;                  // the window thread has given up on it (window thread only)

  // What the worker found: the validator and the kept bytes as soon as the answer is taken
  // (so that a transfer given up still names them), the whole result when it has finished.
  std::mutex lock;
  bool finished = false;
  TransferResult result;

  void Touch() { lastActivity = GetTickCount(); }
};

// The worker's work: the request, its redirects and checks, the body into the file.
TransferResult Fetch(Job& job);
