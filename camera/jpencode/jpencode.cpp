// JP_Compress on libjpeg-turbo (see jpencode.h).
#include "jpencode.h"

#include <turbojpeg.h>

extern "C" __attribute__((visibility("default"))) std::int32_t JP_Compress(
    const std::uint8_t* src, std::uint8_t* dst, std::int32_t* dstLen, std::int32_t width, std::int32_t height,
    std::int32_t rowBytes, std::int32_t left, std::int32_t top, std::int32_t areaWidth, std::int32_t areaHeight,
    std::int32_t quality) {
  if (!src || !dst || !dstLen || width <= 0 || height <= 0 || rowBytes < std::int64_t(width) * 3 || left < 0 ||
      top < 0 || areaWidth <= 0 || areaHeight <= 0 || std::int64_t(left) + areaWidth > width ||
      std::int64_t(top) + areaHeight > height || quality < 1 || quality > 100)
    return 1;
  const std::uint64_t bound = jpencode::JpegBound(areaWidth, areaHeight);
  if (*dstLen < 0 || std::uint64_t(*dstLen) < bound ||
      bound < tjBufSize(areaWidth, areaHeight, TJSAMP_420))  // the encoder's own bound must fit too
    return 2;
  tjhandle encoder = tjInitCompress();
  if (!encoder) return 3;
  unsigned char* out = dst;
  unsigned long size = static_cast<unsigned long>(*dstLen);
  const unsigned char* area = src + std::int64_t(top) * rowBytes + std::int64_t(left) * 3;
  const int rc = tjCompress2(encoder, area, areaWidth, rowBytes, areaHeight, TJPF_BGR, &out, &size, TJSAMP_420,
                             quality, TJFLAG_NOREALLOC);
  tjDestroy(encoder);
  if (rc != 0 || out != dst || size > static_cast<unsigned long>(*dstLen)) return 3;
  *dstLen = static_cast<std::int32_t>(size);
  return 0;
}
