// Any bytes given to the JPEG decoder (memory source): the check either refuses them or
// reports a size within the limits; decoding never writes outside the rows; release
// leaves nothing behind.
#include "picture_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzDecoder(JPEG_DECODER, data, size);
  return 0;
}
