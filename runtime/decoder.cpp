// The decoder registry and the decoder source (see decoder.h).
#include "decoder.h"

#include <cstring>

#include "os.h"

namespace {

// Two decoders in this program; a few spare entries cost nothing.
constexpr int kMaxDecoders = 8;
const ImageDecoder* registry[kMaxDecoders];
int registered = 0;

}  // namespace

int ImageSizeAllowed(long long width, long long height) {
  return width > 0 && height > 0 && width <= IMAGE_MAX_SIDE && height <= IMAGE_MAX_SIDE &&
         width * height <= IMAGE_MAX_PIXELS;
}

void DecoderRegister(const ImageDecoder* decoder) {
  if (!decoder) return;
  for (int i = 0; i < registered; ++i)
    if (registry[i] == decoder) return;
  if (registered < kMaxDecoders) registry[registered++] = decoder;
}

void JpegDecoderRegister() { DecoderRegister(&JPEG_DECODER); }
void PngDecoderRegister() { DecoderRegister(&PNG_DECODER); }

int DecoderCount() { return registered; }

const ImageDecoder* DecoderAt(int index) {
  return index >= 0 && index < registered ? registry[index] : nullptr;
}

void DecoderSourceMemory(DecoderSource* source, const void* data, size_t size) {
  std::memset(source, 0, sizeof *source);
  source->data = static_cast<const uint8_t*>(data);
  source->size = data ? size : 0;
}

int DecoderSourceFile(DecoderSource* source, const char* name) {
  std::memset(source, 0, sizeof *source);
  if (!name) return 0;
  source->fromFile = 1;
  source->fileName = name;
  source->file = g_os.openStream(name);
  return source->file ? 1 : 0;
}

const ImageDecoder* DecoderFind(DecoderSource* source) {
  source->decoder = nullptr;
  for (int i = 0; i < registered; ++i) {
    const ImageDecoder* decoder = registry[i];
    if (source->fromFile && (!source->file || std::fseek(source->file, 0, SEEK_SET) != 0))
      return nullptr;
    source->position = 0;
    source->width = source->height = source->bitsPerPixel = 0;
    if (decoder->check(source)) {
      source->decoder = decoder;
      return decoder;
    }
    decoder->release(source);  // a failed check frees its objects; this is belt and braces
  }
  return nullptr;
}

void DecoderSourceEnd(DecoderSource* source) {
  if (source->decoder) source->decoder->release(source);
  if (source->file) std::fclose(source->file);
  std::memset(source, 0, sizeof *source);
}
