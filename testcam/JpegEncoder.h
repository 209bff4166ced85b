#pragma once

// A small baseline JPEG encoder for the camera's MJPG frames, which it writes as cameras send
// them: YCbCr 4:2:2 (JFIF colours, full range), the standard Huffman tables (ITU-T T.81 K.3) used but
// not sent (no DHT segment), no APP segments. Blocks of one value, which make up most of the
// test pattern, are coded from their value alone without a DCT.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lmcam {

class JpegEncoder {
public:
  // Pictures of Width x Height pixels (1..65535 each) at Quality 1..100.
  JpegEncoder(LONG Width, LONG Height, int Quality);

  // Encodes one picture from its planes: Luma is Width x Height bytes (rows of Width bytes),
  // Cb and Cr are (Width + 1) / 2 x Height bytes each. Returns the length of the frame, or 0
  // when it would not fit in Capacity bytes.
  size_t Encode(const BYTE* Luma, const BYTE* Cb, const BYTE* Cr, BYTE* Out, size_t Capacity) const;

  // A code and its length in bits, for each symbol of a Huffman table.
  struct Code {
    std::uint16_t Bits = 0;
    std::uint8_t Length = 0;
  };

private:
  struct Plane {
    const BYTE* Data;
    LONG Width, Height;
  };
  struct Component {
    const std::uint16_t* Quant;  // natural order
    const Code* Dc;
    const Code* Ac;
  };
  class BitWriter;
  void EncodeBlock(const Plane& Source, LONG X, LONG Y, const Component& Kind, int& PreviousDc, BitWriter& Out) const;

  LONG m_Width;
  LONG m_Height;
  std::uint16_t m_LumaQuant[64];
  std::uint16_t m_ChromaQuant[64];
  Code m_DcLuma[256], m_AcLuma[256], m_DcChroma[256], m_AcChroma[256];
  std::vector<BYTE> m_Header;  // SOI, DQT, SOF0, SOS
};

}  // namespace lmcam
