#include "webcam/src/LmMjpgDecoder.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstring>

#include "webcam/src/LmFrameConverter.h"
#include "webcam/src/LmJpegTables.h"

using Microsoft::WRL::ComPtr;

namespace lm {
namespace {

// Markers that stand alone, without a length: TEM and RST0..RST7 (SOI is handled first).
bool IsStandalone(BYTE Marker) { return Marker == 0x01 || (Marker >= 0xD0 && Marker <= 0xD7); }

// Decodes a complete JPEG stream (tables included) with WIC into Target.
bool DecodeWithWic(const BYTE* Data, size_t Length, LONG Width, LONG Height, const PictureTarget& Target) {
  if (Length > MAXDWORD) return false;
  ComPtr<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
    return false;
  ComPtr<IWICStream> stream;
  if (FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(Data), static_cast<DWORD>(Length))))
    return false;
  ComPtr<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoder(GUID_ContainerFormatJpeg, nullptr, &decoder)) ||
      FAILED(decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand)))
    return false;
  ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, &frame))) return false;
  UINT width = 0, height = 0;
  if (FAILED(frame->GetSize(&width, &height)) || width != static_cast<UINT>(Width) ||
      height != static_cast<UINT>(Height))
    return false;
  ComPtr<IWICBitmapSource> converted;
  const WICPixelFormatGUID& wanted = Target.BytesPerPixel == 4 ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
  if (FAILED(WICConvertBitmapSource(wanted, frame.Get(), &converted))) return false;
  // WIC hands rows top-down: into a bottom-up target they go from its lowest row upward, and
  // are swapped afterwards.
  const size_t stride = static_cast<size_t>(Target.Stride < 0 ? -Target.Stride : Target.Stride);
  const size_t used = static_cast<size_t>(Width) * static_cast<size_t>(Target.BytesPerPixel);
  const size_t bytes = stride * static_cast<size_t>(Height - 1) + used;
  if (bytes > MAXUINT || stride > MAXUINT) return false;
  BYTE* const lowest = Target.Stride < 0 ? Target.Top + Target.Stride * (Height - 1) : Target.Top;
  if (FAILED(converted->CopyPixels(nullptr, static_cast<UINT>(stride), static_cast<UINT>(bytes), lowest))) return false;
  if (Target.Stride < 0) {
    std::vector<BYTE> row(used);
    for (LONG top = 0, bottom = Height - 1; top < bottom; ++top, --bottom) {
      BYTE* a = lowest + static_cast<size_t>(top) * stride;
      BYTE* b = lowest + static_cast<size_t>(bottom) * stride;
      std::memcpy(row.data(), a, used);
      std::memcpy(a, b, used);
      std::memcpy(b, row.data(), used);
    }
  }
  // CopyPixels leaves the bytes of a row past its pixels as they were.
  if (used != stride)
    for (LONG y = 0; y < Height; ++y) std::fill(lowest + y * stride + used, lowest + (y + 1) * stride, BYTE{0});
  return true;
}

}  // namespace

bool ReadJpegLayout(const BYTE* Frame, size_t Length, JpegLayout& Layout) {
  if (!Frame || Length < 4 || Frame[0] != 0xFF || Frame[1] != jpeg::kSOI) return false;
  bool tables = false;
  size_t at = 2;
  while (at + 2 <= Length) {
    if (Frame[at] != 0xFF) return false;
    const BYTE marker = Frame[at + 1];
    if (marker == 0xFF) {  // a fill byte before the marker
      ++at;
      continue;
    }
    if (marker == jpeg::kSOS) {
      Layout.ScanOffset = at;
      Layout.HasHuffmanTables = tables;
      return true;
    }
    if (marker == jpeg::kEOI) return false;
    if (IsStandalone(marker)) {
      at += 2;
      continue;
    }
    if (at + 4 > Length) return false;
    const size_t segment = static_cast<size_t>(Frame[at + 2]) << 8 | Frame[at + 3];
    if (segment < 2 || segment > Length - at - 2) return false;
    if (marker == jpeg::kDHT) tables = true;
    at += 2 + segment;
  }
  return false;
}

const std::vector<BYTE>& StandardHuffmanSegment() {
  static const std::vector<BYTE> segment = [] {
    std::vector<BYTE> bytes = {0xFF, jpeg::kDHT, 0, 0};
    for (const jpeg::HuffmanTable* table : jpeg::kStandardTables) {
      bytes.push_back(static_cast<BYTE>(table->Class << 4 | table->Id));
      bytes.insert(bytes.end(), table->Counts, table->Counts + 16);
      bytes.insert(bytes.end(), table->Symbols, table->Symbols + table->SymbolCount);
    }
    const size_t length = bytes.size() - 2;  // the length counts itself, not the marker
    bytes[2] = static_cast<BYTE>(length >> 8);
    bytes[3] = static_cast<BYTE>(length & 0xFF);
    return bytes;
  }();
  return segment;
}

bool DecodeMjpgFrame(const BYTE* Frame, size_t Length, LONG Width, LONG Height, const PictureTarget& Target,
                     std::pmr::memory_resource* Scratch) {
  if (Width <= 0 || Height <= 0 || !Target.Top) return false;
  JpegLayout layout;
  if (!ReadJpegLayout(Frame, Length, layout)) return false;
  if (layout.HasHuffmanTables) return DecodeWithWic(Frame, Length, Width, Height, Target);
  const std::vector<BYTE>& tables = StandardHuffmanSegment();
  std::pmr::vector<BYTE> complete(Scratch);
  complete.reserve(Length + tables.size());
  complete.insert(complete.end(), Frame, Frame + layout.ScanOffset);
  complete.insert(complete.end(), tables.begin(), tables.end());
  complete.insert(complete.end(), Frame + layout.ScanOffset, Frame + Length);
  return DecodeWithWic(complete.data(), complete.size(), Width, Height, Target);
}

}  // namespace lm
