#pragma once

// A small baseline JPEG encoder for the camera's MJPG frames, which it writes as cameras send
// them: YCbCr 4:2:2 (JFIF colours, full range), the standard Huffman tables (ITU-T T.81 K.3) used but
// not sent (no DHT segment), no APP segments. Blocks of one value, which make up most of the
// test pattern, are coded from their value alone without a DCT.
//
// The scan restarts after every row of minimum coded units (MCUs of 16 x 8 pixels: a DRI
// segment of one MCU row, RST0..RST7 in turn), so each MCU row is coded on its own and a
// frame is put together from coded rows: the camera codes the rows that change and copies
// the rest.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lmcam {

class JpegEncoder {
public:
  // Pictures of Width x Height pixels (1..65535 each) at Quality 1..100.
  JpegEncoder(LONG Width, LONG Height, int Quality);

  // How many MCU rows a picture has: one per 8 picture rows, the last one maybe partial.
  LONG McuRows() const { return (m_Height + 7) / 8; }

  // Codes one MCU row (8 picture rows) into Out (replacing what it held): the entropy-coded
  // bytes, padded to a whole byte, with the DC predictions starting from 0 as after a restart.
  // The planes hold Rows rows (1..8) of the MCU row, Luma of Width bytes each, Cb and Cr of
  // (Width + 1) / 2; the rows below them repeat their last row, as the picture's edge does.
  void EncodeMcuRow(const BYTE* Luma, const BYTE* Cb, const BYTE* Cr, LONG Rows, std::vector<BYTE>& Out) const;

  // Writes a frame whose first MCU row is coded as First and every other as Others (both from
  // EncodeMcuRow): SOI, DQT, SOF0, DRI, SOS, the rows with a restart marker before each but the
  // first, EOI. Returns the length of the frame, or 0 when it would not fit in Capacity bytes.
  size_t WriteFrame(const std::vector<BYTE>& First, const std::vector<BYTE>& Others, BYTE* Out,
                    size_t Capacity) const;

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
  std::vector<BYTE> m_Header;  // SOI, DQT, SOF0, DRI, SOS
};

}  // namespace lmcam
