// TEMP stand-ins for the transfer service's resume calls (TRANSFER_API.md), until the
// service's branch is merged: this file, transfer_stub.cpp and their lines in
// CMakeLists.txt go then, and download.cpp builds against transfer.h as it is. The
// stand-ins start afresh every time: no bytes are kept, nothing resumes, no validator is
// reported. Only download.cpp sees them (a forced include).
#pragma once

#include <cstdint>
#include <string>

#include "transfer.h"

enum class TransferKind { PAGE, PICTURE, FILE };

struct TransferResume {
  std::string partialPath;
  String validator;
};

Transfer* TransferBegin(const String& address, const std::string& target,
                        const TransferLimits& limits, TransferKind kind,
                        const TransferResume* resume = nullptr);

struct TransferResultStandIn : TransferResult {
  String validator;
  uint64_t resumedFrom = 0;
};
TransferResultStandIn TransferResultOfStandIn(Transfer* transfer);
#define TransferResultOf TransferResultOfStandIn
