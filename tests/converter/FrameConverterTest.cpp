// The frame converter (webcam/src/LmFrameConverter.h) against pictures that ffmpeg made at
// build time from the same input (LM_CONVERTER_FRAMES, see tests/CMakeLists.txt): every
// format within 2 per channel, at 98 x 64 and at the odd sizes the format allows, the colour
// information of a media type, MJPG frames with and without Huffman tables, and input that must
// be refused without reading past its end. Frames, converted pictures and the MJPG decoder's
// copy of a frame without tables end where an inaccessible page begins: a read or write one byte
// past them faults, and the test program ends with the access violation.

#include <gtest/gtest.h>

#include <windows.h>

#include <dshow.h>
#include <dvdmedia.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <memory_resource>
#include <string>
#include <vector>

#include "webcam/src/LmFourcc.h"
#include "webcam/src/LmFrameConverter.h"
#include "webcam/src/LmMjpgDecoder.h"

namespace {

// The size of every picture that the build makes (98 * 3 bytes is no multiple of 4, so
// the converted rows carry padding).
constexpr LONG kWidth = 98;
constexpr LONG kHeight = 64;

constexpr GUID kI420 = lm::FourccSubtype(MAKEFOURCC('I', '4', '2', '0'));

std::vector<BYTE> ReadFrame(const std::string& Name) {
  const char* folder = std::getenv("LM_CONVERTER_FRAMES");
  if (!folder) ADD_FAILURE() << "LM_CONVERTER_FRAMES is not set";
  std::ifstream file(std::string(folder ? folder : ".") + "/" + Name, std::ios::binary);
  EXPECT_TRUE(file) << Name;
  return std::vector<BYTE>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Bytes that end where an inaccessible page begins: touching one byte past them faults.
class GuardedBytes {
public:
  explicit GuardedBytes(size_t Size) : m_Size(Size) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const size_t page = info.dwPageSize;
    const size_t pages = (Size + page - 1) / page + 1;
    m_Base = static_cast<BYTE*>(VirtualAlloc(nullptr, pages * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    DWORD old = 0;
    VirtualProtect(m_Base + (pages - 1) * page, page, PAGE_NOACCESS, &old);
    m_Data = m_Base + (pages - 1) * page - Size;
  }
  explicit GuardedBytes(const std::vector<BYTE>& Data) : GuardedBytes(Data.size()) {
    if (!Data.empty()) std::memcpy(m_Data, Data.data(), Data.size());
  }
  ~GuardedBytes() { VirtualFree(m_Base, 0, MEM_RELEASE); }
  GuardedBytes(const GuardedBytes&) = delete;
  GuardedBytes& operator=(const GuardedBytes&) = delete;
  BYTE* Data() const { return m_Data; }
  size_t Size() const { return m_Size; }

private:
  size_t m_Size;
  BYTE* m_Base = nullptr;
  BYTE* m_Data = nullptr;
};

// A memory resource whose every block is GuardedBytes; it notes the size of each block asked for.
class GuardedResource : public std::pmr::memory_resource {
public:
  std::vector<size_t> Requested;

private:
  void* do_allocate(size_t Bytes, size_t Alignment) override {
    // Byte buffers only: a block that ends at the guard may start at any address.
    EXPECT_EQ(Alignment, 1u);
    Requested.push_back(Bytes);
    auto block = std::make_unique<GuardedBytes>(Bytes);
    BYTE* data = block->Data();
    m_Blocks[data] = std::move(block);
    return data;
  }
  void do_deallocate(void* Block, size_t, size_t) override { m_Blocks.erase(static_cast<BYTE*>(Block)); }
  bool do_is_equal(const std::pmr::memory_resource& Other) const noexcept override { return this == &Other; }

  std::map<BYTE*, std::unique_ptr<GuardedBytes>> m_Blocks;
};

lm::FrameFormat FormatOf(REFGUID SubType, LONG Height = kHeight, LONG Width = kWidth) {
  lm::FrameFormat format;
  format.SubType = SubType;
  format.Width = Width;
  format.Height = Height;
  return format;
}

size_t DibStride(LONG Width) { return (static_cast<size_t>(Width) * 3 + 3) & ~size_t{3}; }

// Compares a bottom-up converted Picture with ffmpeg's top-down BGR picture of Width x Height:
// the largest difference of any channel, or INT_MAX when the sizes differ or a padding byte is
// not zero.
int LargestDifference(const BYTE* Picture, size_t Bytes, LONG Width, LONG Height, const std::vector<BYTE>& Reference) {
  const size_t stride = DibStride(Width), row = static_cast<size_t>(Width) * 3;
  if (Bytes != stride * Height || Reference.size() != row * Height) return INT_MAX;
  int largest = 0;
  for (LONG y = 0; y < Height; ++y) {
    const BYTE* converted = Picture + (Height - 1 - y) * stride;
    const BYTE* expected = Reference.data() + y * row;
    for (size_t i = 0; i < row; ++i) largest = std::max(largest, std::abs(converted[i] - expected[i]));
    for (size_t i = row; i < stride; ++i)
      if (converted[i] != 0) return INT_MAX;
  }
  return largest;
}

// Converts Frame (guarded) into a guarded picture and compares it with Reference; INT_MAX when
// the conversion failed.
int LargestDifference(const lm::FrameFormat& Format, const std::vector<BYTE>& Frame, const std::vector<BYTE>& Reference) {
  const LONG height = Format.Height < 0 ? -Format.Height : Format.Height;
  if (lm::Rgb24ImageBytes(Format.Width, Format.Height) != DibStride(Format.Width) * height) return INT_MAX;
  const GuardedBytes source(Frame);
  const GuardedBytes picture(lm::Rgb24ImageBytes(Format.Width, Format.Height));
  std::memset(picture.Data(), 0xCD, picture.Size());
  if (!lm::ConvertFrame(Format, source.Data(), Frame.size(), picture.Data())) return INT_MAX;
  return LargestDifference(picture.Data(), picture.Size(), Format.Width, height, Reference);
}

std::vector<BYTE> PadRows(const std::vector<BYTE>& Picture, size_t Row, size_t Stride) {
  std::vector<BYTE> padded;
  for (size_t at = 0; at + Row <= Picture.size(); at += Row) {
    padded.insert(padded.end(), Picture.begin() + at, Picture.begin() + at + Row);
    padded.resize(padded.size() + Stride - Row);
  }
  return padded;
}

std::vector<BYTE> FlipRows(const std::vector<BYTE>& Picture, size_t Stride) {
  std::vector<BYTE> flipped(Picture.size());
  const size_t rows = Picture.size() / Stride;
  for (size_t y = 0; y < rows; ++y) std::memcpy(&flipped[y * Stride], &Picture[(rows - 1 - y) * Stride], Stride);
  return flipped;
}

TEST(FrameConverter, EveryFormatMatchesFfmpegWithin2) {
  const struct {
    const char* File;
    GUID SubType;
    LONG Height;  // ffmpeg writes RGB top-down: a negative height says so
  } cases[] = {
      {"frame.yuyv422", MEDIASUBTYPE_YUY2, kHeight},     {"frame.uyvy422", MEDIASUBTYPE_UYVY, kHeight},
      {"frame.nv12", MEDIASUBTYPE_NV12, kHeight},        {"frame.yuv420p", kI420, kHeight},
      {"frame.yuv420p", MEDIASUBTYPE_IYUV, -kHeight},    {"frame.bgr0", MEDIASUBTYPE_RGB32, -kHeight},
      {"frame.bgr24", MEDIASUBTYPE_RGB24, -kHeight},     {"frame.rgb565le", MEDIASUBTYPE_RGB565, -kHeight},
      {"frame.rgb555le", MEDIASUBTYPE_RGB555, -kHeight},
  };
  for (const auto& test : cases) {
    const lm::FrameFormat format = FormatOf(test.SubType, test.Height);
    std::vector<BYTE> frame = ReadFrame(test.File);
    // ffmpeg writes rows of 98 * 3 bytes; a DIB pads them to 296.
    if (IsEqualGUID(test.SubType, MEDIASUBTYPE_RGB24)) frame = PadRows(frame, kWidth * 3, DibStride(kWidth));
    ASSERT_TRUE(lm::CanConvertFrame(format)) << test.File;
    EXPECT_EQ(lm::MinimumFrameBytes(format), frame.size()) << test.File;
    EXPECT_LE(LargestDifference(format, frame, ReadFrame(std::string(test.File) + ".bgr")), 2) << test.File;
  }
  // A bottom-up RGB frame (positive height) is the same picture with its rows the other way.
  const std::vector<BYTE> bottomUp = FlipRows(ReadFrame("frame.bgr0"), kWidth * 4);
  EXPECT_LE(LargestDifference(FormatOf(MEDIASUBTYPE_RGB32), bottomUp, ReadFrame("frame.bgr0.bgr")), 2);
}

TEST(FrameConverter, Yv12IsI420WithItsChromaPlanesSwapped) {
  std::vector<BYTE> frame = ReadFrame("frame.yuv420p");
  const size_t luma = kWidth * kHeight, plane = luma / 4;
  ASSERT_EQ(frame.size(), luma + 2 * plane);
  std::swap_ranges(frame.begin() + luma, frame.begin() + luma + plane, frame.begin() + luma + plane);
  EXPECT_LE(LargestDifference(FormatOf(MEDIASUBTYPE_YV12), frame, ReadFrame("frame.yuv420p.bgr")), 2);
}

TEST(FrameConverter, MediaTypeGivesSizeRangeAndMatrix) {
  VIDEOINFOHEADER2 info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = kHeight;
  // DXVA_ExtendedFormat in the control flags: NominalRange 0..255 (1), matrix BT.709 (1).
  info.dwControlFlags = AMCONTROL_USED | AMCONTROL_COLORINFO_PRESENT | 1u << 12 | 1u << 15;
  AM_MEDIA_TYPE type{};
  type.majortype = MEDIATYPE_Video;
  type.subtype = MEDIASUBTYPE_NV12;
  type.formattype = FORMAT_VideoInfo2;
  type.cbFormat = sizeof(info);
  type.pbFormat = reinterpret_cast<BYTE*>(&info);
  lm::FrameFormat format;
  ASSERT_TRUE(lm::FrameFormatOf(type, format));
  EXPECT_TRUE(IsEqualGUID(format.SubType, MEDIASUBTYPE_NV12));
  EXPECT_EQ(format.Width, kWidth);
  EXPECT_EQ(format.Height, kHeight);
  EXPECT_TRUE(format.FullRange);
  EXPECT_TRUE(format.Bt709);
  EXPECT_LE(LargestDifference(format, ReadFrame("frame.nv12"), ReadFrame("frame.nv12.pc709.bgr")), 2);

  // Without the colour information: limited range BT.601.
  info.dwControlFlags = 0;
  ASSERT_TRUE(lm::FrameFormatOf(type, format));
  EXPECT_FALSE(format.FullRange || format.Bt709);
  // Format blocks that are too short, not video, or of another kind are no frame format.
  type.cbFormat = sizeof(VIDEOINFOHEADER2) - 1;
  EXPECT_FALSE(lm::FrameFormatOf(type, format));
  type.cbFormat = sizeof(info);
  type.formattype = FORMAT_WaveFormatEx;
  EXPECT_FALSE(lm::FrameFormatOf(type, format));
  type.formattype = FORMAT_VideoInfo2;
  type.majortype = MEDIATYPE_Audio;
  EXPECT_FALSE(lm::FrameFormatOf(type, format));
}

// Drops every DHT segment before the scan, as cameras send their frames.
std::vector<BYTE> WithoutHuffmanTables(const std::vector<BYTE>& Jpeg) {
  std::vector<BYTE> result(Jpeg.begin(), Jpeg.begin() + 2);
  size_t at = 2;
  while (at + 4 <= Jpeg.size() && Jpeg[at + 1] != 0xDA) {
    const size_t length = 2 + (Jpeg[at + 2] << 8 | Jpeg[at + 3]);
    if (Jpeg[at + 1] != 0xC4) result.insert(result.end(), Jpeg.begin() + at, Jpeg.begin() + at + length);
    at += length;
  }
  result.insert(result.end(), Jpeg.begin() + at, Jpeg.end());
  return result;
}

TEST(FrameConverter, MjpgDecodesWithAndWithoutHuffmanTables) {
  const std::vector<BYTE> jpeg = ReadFrame("frame.jpg");
  const std::vector<BYTE> reference = ReadFrame("frame.jpg.bgr");
  const std::vector<BYTE> bare = WithoutHuffmanTables(jpeg);
  ASSERT_EQ(jpeg.size() - bare.size(), lm::StandardHuffmanSegment().size()) << "ffmpeg wrote one DHT segment";
  // ffmpeg's encoder, told to, writes the standard tables: the segment is the converter's own.
  EXPECT_NE(std::search(jpeg.begin(), jpeg.end(), lm::StandardHuffmanSegment().begin(),
                        lm::StandardHuffmanSegment().end()),
            jpeg.end());

  lm::JpegLayout layout;
  ASSERT_TRUE(lm::ReadJpegLayout(bare.data(), bare.size(), layout));
  EXPECT_FALSE(layout.HasHuffmanTables);
  ASSERT_TRUE(lm::ReadJpegLayout(jpeg.data(), jpeg.size(), layout));
  EXPECT_TRUE(layout.HasHuffmanTables);

  const lm::FrameFormat format = FormatOf(MEDIASUBTYPE_MJPG);
  EXPECT_EQ(lm::MinimumFrameBytes(format), 0u) << "MJPG frames vary in length";
  EXPECT_LE(LargestDifference(format, jpeg, reference), 2);
  EXPECT_LE(LargestDifference(format, bare, reference), 2);
  // The sign of the height does not turn a JPEG picture over.
  EXPECT_LE(LargestDifference(FormatOf(MEDIASUBTYPE_MJPG, -kHeight), bare, reference), 2);

  // The copy with the tables inserted is made where it is told, exactly as long as it needs to
  // be; a frame that has its tables is decoded where it is.
  GuardedResource scratch;
  const GuardedBytes source(bare);
  const GuardedBytes picture(lm::Rgb24ImageBytes(kWidth, kHeight));
  ASSERT_TRUE(lm::DecodeMjpgFrame(source.Data(), source.Size(), kWidth, kHeight,
                                  lm::BottomUpDib(picture.Data(), kWidth, kHeight), &scratch));
  EXPECT_EQ(scratch.Requested, std::vector<size_t>{jpeg.size()});
  EXPECT_LE(LargestDifference(picture.Data(), picture.Size(), kWidth, kHeight, reference), 2);
  const GuardedBytes whole(jpeg);
  ASSERT_TRUE(lm::DecodeMjpgFrame(whole.Data(), whole.Size(), kWidth, kHeight,
                                  lm::BottomUpDib(picture.Data(), kWidth, kHeight), &scratch));
  EXPECT_EQ(scratch.Requested.size(), 1u);
}

TEST(FrameConverter, OddSizesThatTheFormatAllowsMatchFfmpeg) {
  // 97 * 3 = 291 bytes of pixels in rows of 292: the last byte of each converted row is padding.
  const struct {
    const char* File;
    GUID SubType;
    LONG Width, Height;  // ffmpeg writes RGB top-down: a negative height says so
    size_t Row, DibRow;  // bytes of ffmpeg's rows and of the frame's (RGB24 and 16-bit rows padded)
  } cases[] = {
      {"frame-97x63.bgr0", MEDIASUBTYPE_RGB32, 97, -63, 388, 388},
      {"frame-97x63.bgr24", MEDIASUBTYPE_RGB24, 97, -63, 291, 292},
      {"frame-97x63.rgb565le", MEDIASUBTYPE_RGB565, 97, -63, 194, 196},
      {"frame-97x63.rgb555le", MEDIASUBTYPE_RGB555, 97, -63, 194, 196},
      {"frame-98x63.yuyv422", MEDIASUBTYPE_YUY2, 98, 63, 196, 196},
      {"frame-98x63.uyvy422", MEDIASUBTYPE_UYVY, 98, 63, 196, 196},
  };
  for (const auto& test : cases) {
    const lm::FrameFormat format = FormatOf(test.SubType, test.Height, test.Width);
    const std::vector<BYTE> frame = PadRows(ReadFrame(test.File), test.Row, test.DibRow);
    ASSERT_TRUE(lm::CanConvertFrame(format)) << test.File;
    EXPECT_EQ(lm::MinimumFrameBytes(format), frame.size()) << test.File;
    EXPECT_LE(LargestDifference(format, frame, ReadFrame(std::string(test.File) + ".bgr")), 2) << test.File;
  }
  const std::vector<BYTE> jpeg = ReadFrame("frame-97x63.jpg");
  const std::vector<BYTE> reference = ReadFrame("frame-97x63.jpg.bgr");
  EXPECT_LE(LargestDifference(FormatOf(MEDIASUBTYPE_MJPG, 63, 97), jpeg, reference), 2);
  EXPECT_LE(LargestDifference(FormatOf(MEDIASUBTYPE_MJPG, 63, 97), WithoutHuffmanTables(jpeg), reference), 2);
}

TEST(FrameConverter, RefusesSizesItCannotConvert) {
  const struct {
    GUID SubType;
    LONG Width, Height;
    bool Convertible;
  } cases[] = {
      {MEDIASUBTYPE_YUY2, 98, 63, true},       {MEDIASUBTYPE_YUY2, 97, 64, false},
      {MEDIASUBTYPE_NV12, 98, 63, false},      {MEDIASUBTYPE_YV12, 98, -64, true},
      {MEDIASUBTYPE_RGB24, 97, 63, true},      {MEDIASUBTYPE_RGB24, 0, 64, false},
      {MEDIASUBTYPE_RGB24, 98, 0, false},      {MEDIASUBTYPE_RGB24, -98, 64, false},
      {MEDIASUBTYPE_RGB32, 16384, -16384, true}, {MEDIASUBTYPE_RGB32, 16386, 64, false},
      {MEDIASUBTYPE_RGB32, 98, LONG_MIN, false}, {MEDIASUBTYPE_RGB32, LONG_MAX, LONG_MAX, false},
      {MEDIASUBTYPE_MJPG, 97, 63, true},       {MEDIASUBTYPE_RGB8, 98, 64, false},
      {GUID_NULL, 98, 64, false},
  };
  for (const auto& test : cases) {
    lm::FrameFormat format;
    format.SubType = test.SubType;
    format.Width = test.Width;
    format.Height = test.Height;
    EXPECT_EQ(lm::CanConvertFrame(format), test.Convertible) << test.Width << " x " << test.Height;
    if (!test.Convertible) {
      EXPECT_EQ(lm::MinimumFrameBytes(format), 0u) << test.Width << " x " << test.Height;
      BYTE byte = 0;
      EXPECT_FALSE(lm::ConvertFrame(format, &byte, 1, &byte));
    }
  }
  EXPECT_EQ(lm::Rgb24ImageBytes(97, -63), 292u * 63);
  EXPECT_EQ(lm::Rgb24ImageBytes(LONG_MAX, 2), 0u);
  EXPECT_EQ(lm::Rgb24ImageBytes(2, LONG_MIN), 0u);
}

TEST(FrameConverter, ShortOrDamagedFramesAreRefusedWithoutReadingPastTheirEnd) {
  const GuardedBytes picture(lm::Rgb24ImageBytes(kWidth, kHeight));
  const struct {
    const char* File;
    GUID SubType;
  } shortFrames[] = {{"frame.yuyv422", MEDIASUBTYPE_YUY2}, {"frame.nv12", MEDIASUBTYPE_NV12},
                     {"frame.yuv420p", kI420},           {"frame.bgr0", MEDIASUBTYPE_RGB32},
                     {"frame.rgb565le", MEDIASUBTYPE_RGB565}};
  for (const auto& test : shortFrames) {
    std::vector<BYTE> frame = ReadFrame(test.File);
    frame.pop_back();
    const GuardedBytes source(frame);
    EXPECT_FALSE(lm::ConvertFrame(FormatOf(test.SubType), source.Data(), frame.size(), picture.Data())) << test.File;
  }

  const std::vector<BYTE> bare = WithoutHuffmanTables(ReadFrame("frame.jpg"));
  lm::JpegLayout layout;
  ASSERT_TRUE(lm::ReadJpegLayout(bare.data(), bare.size(), layout));
  // Cut anywhere before its scan, the frame is refused; cut inside the scan, the decoder may
  // still draw what it has, but reads nothing past the end of the frame or of its copy with
  // the tables.
  GuardedResource scratch;
  for (size_t length = 0; length < bare.size(); length += length < layout.ScanOffset + 16 ? 1 : 97) {
    const std::vector<BYTE> cut(bare.begin(), bare.begin() + length);
    const GuardedBytes source(cut);
    const bool converted = lm::DecodeMjpgFrame(source.Data(), cut.size(), kWidth, kHeight,
                                               lm::BottomUpDib(picture.Data(), kWidth, kHeight), &scratch);
    if (length <= layout.ScanOffset) {
      EXPECT_FALSE(converted) << length;
    }
  }
  EXPECT_FALSE(scratch.Requested.empty()) << "the cut frames past their scan's start were copied";
  // A segment whose length runs past the end of the frame.
  std::vector<BYTE> overlong = bare;
  overlong[4] = 0xFF;
  overlong[5] = 0xF0;
  EXPECT_FALSE(lm::ReadJpegLayout(overlong.data(), overlong.size(), layout));
  // A picture of another size than the media type says.
  EXPECT_FALSE(lm::ConvertFrame(FormatOf(MEDIASUBTYPE_MJPG, kHeight + 2), bare.data(), bare.size(), picture.Data()));
  // Not a JPEG at all.
  const std::vector<BYTE> noise(4096, 0x5A);
  EXPECT_FALSE(lm::ConvertFrame(FormatOf(MEDIASUBTYPE_MJPG), noise.data(), noise.size(), picture.Data()));
}

}  // namespace
