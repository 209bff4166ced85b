#include "webcam/src/LmFrameConverter.h"

#include <dshow.h>
#include <dvdmedia.h>
#include <uuids.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "webcam/src/LmFourcc.h"
#include "webcam/src/LmMjpgDecoder.h"

namespace lm {
namespace {

// Sizes beyond this are refused, so that every byte count below fits in 64 bits many times
// over (16384 * 16384 * 4 is 1 GiB).
constexpr LONG kMaxSide = 16384;

// I420 has no name in the SDK headers.
constexpr GUID kI420 = FourccSubtype(MAKEFOURCC('I', '4', '2', '0'));

enum class Layout { None, Yuy2, Uyvy, Nv12, I420, Yv12, Rgb32, Rgb24, Rgb565, Rgb555, Mjpg };

Layout LayoutOf(REFGUID SubType) {
  struct Entry {
    const GUID* SubType;
    Layout Kind;
  };
  static const Entry kEntries[] = {
      {&MEDIASUBTYPE_YUY2, Layout::Yuy2},     {&MEDIASUBTYPE_UYVY, Layout::Uyvy},
      {&MEDIASUBTYPE_NV12, Layout::Nv12},     {&kI420, Layout::I420},
      {&MEDIASUBTYPE_IYUV, Layout::I420},     {&MEDIASUBTYPE_YV12, Layout::Yv12},
      {&MEDIASUBTYPE_RGB32, Layout::Rgb32},   {&MEDIASUBTYPE_RGB24, Layout::Rgb24},
      {&MEDIASUBTYPE_RGB565, Layout::Rgb565}, {&MEDIASUBTYPE_RGB555, Layout::Rgb555},
      {&MEDIASUBTYPE_MJPG, Layout::Mjpg},
  };
  for (const Entry& entry : kEntries)
    if (IsEqualGUID(SubType, *entry.SubType)) return entry.Kind;
  return Layout::None;
}

// Bytes of one row of a bottom-up RGB DIB with BitsPerPixel, rounded up to 4 bytes.
size_t RgbStride(LONG Width, int BitsPerPixel) {
  return ((static_cast<size_t>(Width) * BitsPerPixel + 31) / 32) * 4;
}

BYTE Clamp(int Value) { return static_cast<BYTE>(std::clamp(Value, 0, 255)); }

// YCbCr -> RGB in 16.16 fixed point: R = Y' + RV * V', G = Y' - GU * U' - GV * V',
// B = Y' + BU * U', with Y' = YScale * (Y - YOffset) and U', V' centred on 128.
struct YuvMatrix {
  int YScale, YOffset, RV, GU, GV, BU;
};

YuvMatrix MatrixOf(const FrameFormat& Format) {
  // Luma weights of the red and blue primaries.
  const double kr = Format.Bt709 ? 0.2126 : 0.299;
  const double kb = Format.Bt709 ? 0.0722 : 0.114;
  const double kg = 1.0 - kr - kb;
  const double yScale = Format.FullRange ? 1.0 : 255.0 / 219.0;
  const double cScale = Format.FullRange ? 1.0 : 255.0 / 224.0;
  auto fixed = [](double Value) { return static_cast<int>(Value * 65536.0 + 0.5); };
  return {fixed(yScale),
          Format.FullRange ? 0 : 16,
          fixed(cScale * 2 * (1 - kr)),
          fixed(cScale * 2 * (1 - kb) * kb / kg),
          fixed(cScale * 2 * (1 - kr) * kr / kg),
          fixed(cScale * 2 * (1 - kb))};
}

// Writes one pixel of Target: blue, green, red, and alpha 255 when it has four bytes a pixel.
inline void PutPixel(BYTE* Pixel, int BytesPerPixel, BYTE Blue, BYTE Green, BYTE Red) {
  Pixel[0] = Blue;
  Pixel[1] = Green;
  Pixel[2] = Red;
  if (BytesPerPixel == 4) Pixel[3] = 255;
}

inline void PutYuv(const YuvMatrix& M, int Y, int U, int V, BYTE* Pixel, int BytesPerPixel) {
  const int y = M.YScale * (Y - M.YOffset) + 32768;
  const int u = U - 128, v = V - 128;
  PutPixel(Pixel, BytesPerPixel, Clamp((y + M.BU * u) >> 16), Clamp((y - M.GU * u - M.GV * v) >> 16),
           Clamp((y + M.RV * v) >> 16));
}

// Picture row Y of the target.
BYTE* TargetRow(const PictureTarget& Target, LONG Y) { return Target.Top + static_cast<ptrdiff_t>(Y) * Target.Stride; }

// Zeroes the bytes of a row past its pixels, up to the absolute stride.
void ClearPadding(const PictureTarget& Target, BYTE* Row, LONG Width) {
  const size_t used = static_cast<size_t>(Width) * static_cast<size_t>(Target.BytesPerPixel);
  const size_t stride = static_cast<size_t>(Target.Stride < 0 ? -Target.Stride : Target.Stride);
  if (stride > used) std::fill(Row + used, Row + stride, BYTE{0});
}

// Packed 4:2:2: two pixels in four bytes, at the given offsets of Y0, U, Y1, V.
void ConvertPacked422(const YuvMatrix& M, const BYTE* Source, LONG Width, LONG Height, int Y0, int U, int Y1, int V,
                      const PictureTarget& Target) {
  const size_t stride = static_cast<size_t>(Width) * 2;
  const int bpp = Target.BytesPerPixel;
  for (LONG y = 0; y < Height; ++y) {
    const BYTE* in = Source + static_cast<size_t>(y) * stride;
    BYTE* const row = TargetRow(Target, y);
    BYTE* out = row;
    for (LONG x = 0; x < Width; x += 2, in += 4, out += 2 * bpp) {
      PutYuv(M, in[Y0], in[U], in[V], out, bpp);
      PutYuv(M, in[Y1], in[U], in[V], out + bpp, bpp);
    }
    ClearPadding(Target, row, Width);
  }
}

// Planar 4:2:0: a luma plane, then chroma at half width and height, either interleaved (NV12:
// one plane of U, V pairs) or in two planes.
void ConvertPlanar420(const YuvMatrix& M, const BYTE* Source, LONG Width, LONG Height, Layout Kind,
                      const PictureTarget& Target) {
  const size_t lumaBytes = static_cast<size_t>(Width) * static_cast<size_t>(Height);
  const size_t chromaWidth = static_cast<size_t>(Width) / 2;
  const size_t planeBytes = chromaWidth * (static_cast<size_t>(Height) / 2);
  const BYTE* chroma = Source + lumaBytes;
  const int bpp = Target.BytesPerPixel;
  for (LONG y = 0; y < Height; ++y) {
    const BYTE* luma = Source + static_cast<size_t>(y) * Width;
    const size_t chromaRow = static_cast<size_t>(y / 2);
    BYTE* const row = TargetRow(Target, y);
    BYTE* out = row;
    if (Kind == Layout::Nv12) {
      const BYTE* uv = chroma + chromaRow * static_cast<size_t>(Width);
      for (LONG x = 0; x < Width; x += 2, uv += 2, out += 2 * bpp) {
        PutYuv(M, luma[x], uv[0], uv[1], out, bpp);
        PutYuv(M, luma[x + 1], uv[0], uv[1], out + bpp, bpp);
      }
    } else {
      // I420: U before V; YV12: V before U.
      const BYTE* first = chroma + chromaRow * chromaWidth;
      const BYTE* second = first + planeBytes;
      const BYTE* u = Kind == Layout::I420 ? first : second;
      const BYTE* v = Kind == Layout::I420 ? second : first;
      for (LONG x = 0; x < Width; x += 2, ++u, ++v, out += 2 * bpp) {
        PutYuv(M, luma[x], *u, *v, out, bpp);
        PutYuv(M, luma[x + 1], *u, *v, out + bpp, bpp);
      }
    }
    ClearPadding(Target, row, Width);
  }
}

// 5-bit or 6-bit colour components widened to 8 bits by repeating their high bits.
inline BYTE Widen5(unsigned Value) { return static_cast<BYTE>(Value << 3 | Value >> 2); }
inline BYTE Widen6(unsigned Value) { return static_cast<BYTE>(Value << 2 | Value >> 4); }

// RGB DIBs: bottom-up for a positive height, top-down for a negative one.
void ConvertRgb(const BYTE* Source, LONG Width, LONG SignedHeight, Layout Kind, const PictureTarget& Target) {
  const LONG height = SignedHeight < 0 ? -SignedHeight : SignedHeight;
  const bool topDown = SignedHeight < 0;
  const int bits = Kind == Layout::Rgb32 ? 32 : Kind == Layout::Rgb24 ? 24 : 16;
  const size_t inStride = RgbStride(Width, bits);
  const int bpp = Target.BytesPerPixel;
  for (LONG y = 0; y < height; ++y) {
    // Picture row y is row y of a top-down source, and row height - 1 - y of a bottom-up one.
    const BYTE* in = Source + static_cast<size_t>(topDown ? y : height - 1 - y) * inStride;
    BYTE* const row = TargetRow(Target, y);
    BYTE* out = row;
    switch (Kind) {
      case Layout::Rgb24:
        if (bpp == 3) {
          std::memcpy(out, in, static_cast<size_t>(Width) * 3);
        } else {
          for (LONG x = 0; x < Width; ++x, in += 3, out += 4) PutPixel(out, 4, in[0], in[1], in[2]);
        }
        break;
      case Layout::Rgb32:
        for (LONG x = 0; x < Width; ++x, in += 4, out += bpp) PutPixel(out, bpp, in[0], in[1], in[2]);
        break;
      case Layout::Rgb565:
        for (LONG x = 0; x < Width; ++x, in += 2, out += bpp) {
          const unsigned pixel = in[0] | in[1] << 8;
          PutPixel(out, bpp, Widen5(pixel & 0x1F), Widen6(pixel >> 5 & 0x3F), Widen5(pixel >> 11 & 0x1F));
        }
        break;
      default:  // RGB555
        for (LONG x = 0; x < Width; ++x, in += 2, out += bpp) {
          const unsigned pixel = in[0] | in[1] << 8;
          PutPixel(out, bpp, Widen5(pixel & 0x1F), Widen5(pixel >> 5 & 0x1F), Widen5(pixel >> 10 & 0x1F));
        }
        break;
    }
    ClearPadding(Target, row, Width);
  }
}

}  // namespace

bool FrameFormatOf(const AM_MEDIA_TYPE& Type, FrameFormat& Format) {
  if (!IsEqualGUID(Type.majortype, MEDIATYPE_Video) || !Type.pbFormat) return false;
  const BITMAPINFOHEADER* bitmap = nullptr;
  DWORD controlFlags = 0;
  if (IsEqualGUID(Type.formattype, FORMAT_VideoInfo) && Type.cbFormat >= sizeof(VIDEOINFOHEADER)) {
    bitmap = &reinterpret_cast<const VIDEOINFOHEADER*>(Type.pbFormat)->bmiHeader;
  } else if (IsEqualGUID(Type.formattype, FORMAT_VideoInfo2) && Type.cbFormat >= sizeof(VIDEOINFOHEADER2)) {
    const auto* info = reinterpret_cast<const VIDEOINFOHEADER2*>(Type.pbFormat);
    bitmap = &info->bmiHeader;
    controlFlags = info->dwControlFlags;
  } else {
    return false;
  }
  Format = FrameFormat{};
  Format.SubType = Type.subtype;
  Format.Width = bitmap->biWidth;
  Format.Height = bitmap->biHeight;
  // With AMCONTROL_COLORINFO_PRESENT the flags hold a DXVA_ExtendedFormat: NominalRange in
  // bits 12..14 (1: 0..255), VideoTransferMatrix in bits 15..17 (1: BT.709).
  if (controlFlags & AMCONTROL_COLORINFO_PRESENT) {
    Format.FullRange = (controlFlags >> 12 & 7) == 1;
    Format.Bt709 = (controlFlags >> 15 & 7) == 1;
  }
  return true;
}

bool CanConvertFrame(const FrameFormat& Format) {
  const Layout kind = LayoutOf(Format.SubType);
  if (kind == Layout::None) return false;
  const LONG width = Format.Width;
  // Compared before negating, so that the most negative LONG cannot overflow.
  if (width < 1 || width > kMaxSide || Format.Height < -kMaxSide || Format.Height > kMaxSide || Format.Height == 0)
    return false;
  const LONG height = Format.Height < 0 ? -Format.Height : Format.Height;
  switch (kind) {
    case Layout::Yuy2:
    case Layout::Uyvy:
      return width % 2 == 0;
    case Layout::Nv12:
    case Layout::I420:
    case Layout::Yv12:
      return width % 2 == 0 && height % 2 == 0;
    default:
      return true;
  }
}

size_t MinimumFrameBytes(const FrameFormat& Format) {
  if (!CanConvertFrame(Format)) return 0;
  const size_t width = static_cast<size_t>(Format.Width);
  const size_t height = static_cast<size_t>(Format.Height < 0 ? -Format.Height : Format.Height);
  switch (LayoutOf(Format.SubType)) {
    case Layout::Yuy2:
    case Layout::Uyvy:
      return width * 2 * height;
    case Layout::Nv12:
    case Layout::I420:
    case Layout::Yv12:
      return width * height + 2 * (width / 2) * (height / 2);
    case Layout::Rgb32:
      return RgbStride(Format.Width, 32) * height;
    case Layout::Rgb24:
      return RgbStride(Format.Width, 24) * height;
    case Layout::Rgb565:
    case Layout::Rgb555:
      return RgbStride(Format.Width, 16) * height;
    default:  // MJPG: frames vary in length
      return 0;
  }
}

size_t Rgb24Stride(LONG Width) { return (static_cast<size_t>(Width) * 3 + 3) & ~static_cast<size_t>(3); }

size_t Rgb24ImageBytes(LONG Width, LONG Height) {
  if (Width < 1 || Width > kMaxSide || Height < -kMaxSide || Height > kMaxSide) return 0;
  return Rgb24Stride(Width) * static_cast<size_t>(Height < 0 ? -Height : Height);
}

PictureTarget BottomUpDib(BYTE* Target, LONG Width, LONG Height) {
  const LONG height = Height < 0 ? -Height : Height;
  const ptrdiff_t stride = static_cast<ptrdiff_t>(Rgb24Stride(Width));
  PictureTarget target;
  target.Top = height > 0 && Target ? Target + stride * (height - 1) : Target;
  target.Stride = -stride;
  target.BytesPerPixel = 3;
  return target;
}

bool ConvertFrame(const FrameFormat& Format, const BYTE* Source, size_t Length, BYTE* Target) {
  return Target && ConvertFrame(Format, Source, Length, BottomUpDib(Target, Format.Width, Format.Height));
}

bool ConvertFrame(const FrameFormat& Format, const BYTE* Source, size_t Length, const PictureTarget& Target) {
  if (!Source || !Target.Top || !CanConvertFrame(Format)) return false;
  if (Target.BytesPerPixel != 3 && Target.BytesPerPixel != 4) return false;
  const Layout kind = LayoutOf(Format.SubType);
  const LONG width = Format.Width;
  const LONG height = Format.Height < 0 ? -Format.Height : Format.Height;
  const size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(Target.BytesPerPixel);
  if (static_cast<size_t>(Target.Stride < 0 ? -Target.Stride : Target.Stride) < rowBytes) return false;
  if (kind == Layout::Mjpg) {
    try {
      return DecodeMjpgFrame(Source, Length, width, height, Target);
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  if (Length < MinimumFrameBytes(Format)) return false;
  switch (kind) {
    case Layout::Yuy2:
      ConvertPacked422(MatrixOf(Format), Source, width, height, 0, 1, 2, 3, Target);
      return true;
    case Layout::Uyvy:
      ConvertPacked422(MatrixOf(Format), Source, width, height, 1, 0, 3, 2, Target);
      return true;
    case Layout::Nv12:
    case Layout::I420:
    case Layout::Yv12:
      ConvertPlanar420(MatrixOf(Format), Source, width, height, kind, Target);
      return true;
    default:
      ConvertRgb(Source, width, Format.Height, kind, Target);
      return true;
  }
}

}  // namespace lm
