// TEMP: see transfer_stub.h.
#include "transfer_stub.h"

#undef TransferResultOf

Transfer* TransferBegin(const String& address, const std::string& target,
                        const TransferLimits& limits, TransferKind, const TransferResume* resume) {
  // The service's private file goes beside the partial file, and from there to the target.
  return TransferBegin(address, resume ? resume->partialPath : target, limits);
}

TransferResultStandIn TransferResultOfStandIn(Transfer* transfer) {
  TransferResultStandIn result;
  static_cast<TransferResult&>(result) = TransferResultOf(transfer);
  return result;
}
