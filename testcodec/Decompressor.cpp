#include "testcodec/Decompressor.h"

#include <objbase.h>

#include <cstring>
#include <new>

#include "testcodec/LmTestCodec.h"
#include "webcam/src/LmFourcc.h"
#include "webcam/src/LmFrameConverter.h"

namespace lmcodec {
namespace {

// The FOURCC of In in upper case, or 0 for a format that the codec does not take.
DWORD CodecFourcc(const BITMAPINFOHEADER& In) {
  DWORD fourcc = 0;
  for (int i = 0; i < 4; ++i) {
    const BYTE c = static_cast<BYTE>(In.biCompression >> (8 * i));
    fourcc |= static_cast<DWORD>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c) << (8 * i);
  }
  return fourcc == kLmCodecYuy2 || fourcc == kLmCodecMjpg || fourcc == kLmCodecNv12 ? fourcc : 0;
}

bool FormatOf(const BITMAPINFOHEADER* In, lm::FrameFormat& Format) {
  if (!In || In->biSize < sizeof(BITMAPINFOHEADER)) return false;
  const DWORD fourcc = CodecFourcc(*In);
  if (!fourcc) return false;
  Format.SubType = lm::FourccSubtype(fourcc);
  Format.Width = In->biWidth;
  Format.Height = In->biHeight;
  // JPEG pictures carry their own colours; camera YUV is BT.601 with limited range.
  return lm::CanConvertFrame(Format);
}

LONG Magnitude(LONG Value) { return Value < 0 ? -Value : Value; }

// MJPG decoding goes through WIC, which needs COM on the thread that decodes; the caller's
// thread (a streaming thread) may not have it.
class ComScope {
public:
  ComScope() : m_Result(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(m_Result)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

private:
  HRESULT m_Result;
};

}  // namespace

LRESULT Decompressor::Query(const BITMAPINFOHEADER* In, const BITMAPINFOHEADER* Out) const {
  lm::FrameFormat format;
  if (!FormatOf(In, format)) return ICERR_BADFORMAT;
  if (!Out) return ICERR_OK;
  if (Out->biSize < sizeof(BITMAPINFOHEADER) || Out->biCompression != BI_RGB || Out->biPlanes > 1 ||
      Out->biWidth != In->biWidth || Magnitude(Out->biHeight) != Magnitude(In->biHeight))
    return ICERR_BADFORMAT;
  if (Out->biBitCount == 32) return ICERR_OK;
  // NV12 gets no RGB24: Windows has no such converter either.
  if (Out->biBitCount == 24 && CodecFourcc(*In) != kLmCodecNv12) return ICERR_OK;
  return ICERR_BADFORMAT;
}

LRESULT Decompressor::Begin(const BITMAPINFOHEADER* In, const BITMAPINFOHEADER* Out) const {
  if (Out && Out->biSize >= sizeof(BITMAPINFOHEADER) && Out->biCompression == BI_RGB) return Query(In, Out);
  return Query(In, nullptr);
}

LRESULT Decompressor::GetFormat(const BITMAPINFOHEADER* In, BITMAPINFOHEADER* Out) const {
  // NV12 proposes nothing (see the header).
  if (Query(In, nullptr) != ICERR_OK || CodecFourcc(*In) == kLmCodecNv12) return ICERR_BADFORMAT;
  if (!Out) return sizeof(BITMAPINFOHEADER);
  const WORD bits = 24;
  *Out = BITMAPINFOHEADER{};
  Out->biSize = sizeof(BITMAPINFOHEADER);
  Out->biWidth = In->biWidth;
  Out->biHeight = Magnitude(In->biHeight);
  Out->biPlanes = 1;
  Out->biBitCount = bits;
  Out->biCompression = BI_RGB;
  Out->biSizeImage = static_cast<DWORD>(((static_cast<size_t>(Out->biWidth) * bits + 31) / 32) * 4 * Out->biHeight);
  return ICERR_OK;
}

LRESULT Decompressor::Decompress(const ICDECOMPRESS& Frame, size_t FrameSize) {
  if (FrameSize < sizeof(ICDECOMPRESS) || !Frame.lpInput || !Frame.lpOutput) return ICERR_BADPARAM;
  if (Query(Frame.lpbiInput, Frame.lpbiOutput) != ICERR_OK) return ICERR_BADFORMAT;
  if (Frame.dwFlags & ICDECOMPRESS_HURRYUP) return ICERR_OK;  // a frame to drop
  lm::FrameFormat format;
  FormatOf(Frame.lpbiInput, format);
  const BITMAPINFOHEADER& out = *Frame.lpbiOutput;
  const LONG width = out.biWidth, height = Magnitude(out.biHeight);
  const auto* source = static_cast<const BYTE*>(Frame.lpInput);
  // The frame's length; for uncompressed input a biSizeImage of 0 means the whole picture.
  const size_t length = Frame.lpbiInput->biSizeImage ? Frame.lpbiInput->biSizeImage : lm::MinimumFrameBytes(format);
  auto* target = static_cast<BYTE*>(Frame.lpOutput);
  ComScope com;
  // A bottom-up RGB24 picture is what the converter writes: straight into the output.
  if (out.biBitCount == 24 && out.biHeight > 0)
    return lm::ConvertFrame(format, source, length, target) ? ICERR_OK : ICERR_BADFORMAT;
  m_Picture.resize(lm::Rgb24ImageBytes(width, height));  // may throw: DriverProc answers ICERR_MEMORY
  if (!lm::ConvertFrame(format, source, length, m_Picture.data())) return ICERR_BADFORMAT;
  const size_t inStride = lm::Rgb24ImageBytes(width, 1);
  const size_t outStride = ((static_cast<size_t>(width) * out.biBitCount + 31) / 32) * 4;
  for (LONG row = 0; row < height; ++row) {
    // Row `row` of the bottom-up picture; a negative height asks for top-down rows.
    const BYTE* in = m_Picture.data() + static_cast<size_t>(row) * inStride;
    BYTE* line = target + static_cast<size_t>(out.biHeight > 0 ? row : height - 1 - row) * outStride;
    if (out.biBitCount == 24) {
      std::memcpy(line, in, outStride);
      continue;
    }
    for (LONG x = 0; x < width; ++x, in += 3, line += 4) {
      line[0] = in[0];
      line[1] = in[1];
      line[2] = in[2];
      line[3] = 0;
    }
  }
  return ICERR_OK;
}

}  // namespace lmcodec
