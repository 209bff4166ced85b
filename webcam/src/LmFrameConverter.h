#pragma once

// Turns one video frame in a camera's or a decoder's own format into a picture in blue, green,
// red order, 3 bytes a pixel (24-bit RGB) or 4 (32-bit, with alpha 255), rows laid out as the
// caller asks: the bottom-up 24-bit DIB that a snapshot hands out (rows of Width * 3 bytes
// rounded up to a multiple of 4, |Height| rows, last picture row first), or top-down rows at a
// stride of the caller's, as the frame stream hands frames out. Internal to the camera library;
// the test environment's decoder uses the same code.
//
// Formats: YUY2, UYVY, NV12, I420 (and IYUV), YV12, RGB32, RGB24, RGB565, RGB555 and MJPG
// (decoded with WIC; a frame without Huffman tables, as cameras send them, gets the standard
// baseline JPEG tables, ITU-T T.81 K.3, inserted before decoding).
//
// YUV is BT.601 with limited range (Y 16..235, chroma 16..240) unless FrameFormat says
// otherwise; MJPG follows its own (JFIF: full range). YUV frames are top-down whatever the sign
// of the height; RGB frames are bottom-up for a positive height and top-down for a negative
// one.

#include <windows.h>

#include <strmif.h>

#include <cstddef>

namespace lm {

struct FrameFormat {
  GUID SubType = GUID_NULL;  // MEDIASUBTYPE_...
  LONG Width = 0;            // biWidth
  LONG Height = 0;           // biHeight, with its sign
  bool FullRange = false;    // YUV samples span 0..255
  bool Bt709 = false;        // YUV uses the BT.709 matrix
};

// The frame format of a video media type (FORMAT_VideoInfo or FORMAT_VideoInfo2, whose
// extended colour information sets FullRange and Bt709); false for anything else.
bool FrameFormatOf(const AM_MEDIA_TYPE& Type, FrameFormat& Format);

// Whether frames of Format can be converted (a known subtype, a width and height that the
// subtype allows: even for the 4:2:2 and 4:2:0 formats, 1..16384 in all).
bool CanConvertFrame(const FrameFormat& Format);

// The fewest bytes a frame of Format holds; 0 for MJPG, whose frames vary in length.
size_t MinimumFrameBytes(const FrameFormat& Format);

// Bytes of one row of the converted picture: Width * 3 rounded up to a multiple of 4.
size_t Rgb24Stride(LONG Width);

// Bytes of the converted picture of a Width x Height frame (the sign of Height ignored).
size_t Rgb24ImageBytes(LONG Width, LONG Height);

// Where a converted picture goes: picture row 0 (the top row) at Top, each next row Stride
// bytes further (negative for a bottom-up buffer), BytesPerPixel 3 (blue, green, red) or 4
// (blue, green, red, alpha 255). The bytes of a row past its pixels are zeroed when the row is
// written, up to the absolute stride.
struct PictureTarget {
  BYTE* Top = nullptr;
  ptrdiff_t Stride = 0;
  int BytesPerPixel = 3;
};

// The bottom-up 24-bit DIB in Target (Rgb24ImageBytes bytes) as a PictureTarget.
PictureTarget BottomUpDib(BYTE* Target, LONG Width, LONG Height);

// Converts the frame at Source (Length bytes) into Target, whose rows hold the picture's
// Width x |Height| pixels. False, with Target undefined, when the format cannot be converted,
// the frame is too short, or an MJPG frame does not decode to exactly Width x |Height| pixels.
// Never reads past Source + Length. MJPG decoding needs COM initialised on the calling thread.
bool ConvertFrame(const FrameFormat& Format, const BYTE* Source, size_t Length, const PictureTarget& Target);
// The same into the bottom-up 24-bit DIB at Target, which holds Rgb24ImageBytes bytes.
bool ConvertFrame(const FrameFormat& Format, const BYTE* Source, size_t Length, BYTE* Target);

}  // namespace lm
