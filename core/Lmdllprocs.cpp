#include "core/Lmdllprocs.h"

#include <new>

namespace {

// An image: its header, followed by its pixel rows (each padded to 4 bytes).
struct LmImage {
  int32_t Width;
  int32_t Height;
  int16_t BitCount;
  uint32_t Stride;
};

UINT_PTR CreateImage(int32_t Width, int32_t Height, int16_t BitCount, UINT_PTR /*Source*/, uint8_t /*Flags*/,
                     uint8_t /*Reserved*/, int64_t /*OffsetX*/, int64_t /*OffsetY*/, int64_t /*SourceWidth*/,
                     int64_t /*SourceHeight*/) {
  if (Width <= 0 || Height <= 0 || BitCount <= 0 || BitCount > 32 || Width > 65536 || Height > 65536) return 0;
  const uint64_t stride = ((static_cast<uint64_t>(Width) * static_cast<uint64_t>(BitCount) + 31) / 32) * 4;
  const uint64_t size = sizeof(LmImage) + stride * static_cast<uint64_t>(Height);
  void* block = ::operator new(static_cast<size_t>(size), std::nothrow);
  if (!block) return 0;
  auto* image = static_cast<LmImage*>(block);
  *image = LmImage{Width, Height, BitCount, static_cast<uint32_t>(stride)};
  ZeroMemory(image + 1, static_cast<size_t>(size - sizeof(LmImage)));
  return reinterpret_cast<UINT_PTR>(image);
}

BOOL FreeImage(UINT_PTR Image) {
  if (Image == 0) return FALSE;
  ::operator delete(reinterpret_cast<void*>(Image));
  return TRUE;
}

}  // namespace

TLmCreateImage LmCreateImage = &CreateImage;
TLmFreeMemory LmFreeMemory = &FreeImage;
