#include "testcam/JpegEncoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "webcam/src/LmJpegTables.h"

namespace lmcam {
namespace {

// The natural (row-major) index of each position of the zigzag order.
constexpr std::uint8_t kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                      12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                      35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                      58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// The example quantisation tables of ITU-T T.81 K.1, natural order.
constexpr std::uint8_t kLumaQuant[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                         14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                         18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                         49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr std::uint8_t kChromaQuant[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                           24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                           99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                           99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

void ScaleQuant(const std::uint8_t* Base, int Quality, std::uint16_t* Out) {
  const int scale = Quality < 50 ? 5000 / Quality : 200 - 2 * Quality;
  for (int i = 0; i < 64; ++i) Out[i] = static_cast<std::uint16_t>(std::clamp((Base[i] * scale + 50) / 100, 1, 255));
}

// The codes of a table given as counts per length and symbols (ITU-T T.81 C).
void BuildCodes(const lm::jpeg::HuffmanTable& Table, JpegEncoder::Code* Codes) {
  unsigned code = 0;
  size_t symbol = 0;
  for (int length = 1; length <= 16; ++length) {
    for (int i = 0; i < Table.Counts[length - 1]; ++i, ++code, ++symbol)
      Codes[Table.Symbols[symbol]] = {static_cast<std::uint16_t>(code), static_cast<std::uint8_t>(length)};
    code <<= 1;
  }
}

// Coefficients of the 8-point DCT-II, scaled so that two passes give the JPEG FDCT.
struct DctTable {
  float C[8][8];
  DctTable() {
    const double pi = 3.14159265358979323846;
    for (int u = 0; u < 8; ++u)
      for (int x = 0; x < 8; ++x)
        C[u][x] = static_cast<float>((u == 0 ? std::sqrt(0.5) : 1.0) / 2 * std::cos((2 * x + 1) * u * pi / 16));
  }
};
const DctTable& Dct() {
  static const DctTable table;
  return table;
}

int BitLength(int Value) {
  int length = 0;
  for (unsigned magnitude = static_cast<unsigned>(Value < 0 ? -Value : Value); magnitude; magnitude >>= 1) ++length;
  return length;
}

// The markers that the shared tables do not name.
constexpr BYTE kDRI = 0xDD;   // define restart interval
constexpr BYTE kRST0 = 0xD0;  // the first of the eight restart markers

void PutMarker(std::vector<BYTE>& Out, BYTE Marker, size_t Length) {
  Out.insert(Out.end(), {0xFF, Marker, static_cast<BYTE>(Length >> 8), static_cast<BYTE>(Length & 0xFF)});
}

}  // namespace

// Entropy-coded bytes, with a 0x00 stuffed after every 0xFF.
class JpegEncoder::BitWriter {
public:
  explicit BitWriter(std::vector<BYTE>& Out) : m_Out(Out) {}
  void Put(unsigned Bits, int Length) {
    m_Accumulator = (m_Accumulator << Length) | (Bits & ((1u << Length) - 1));
    m_Count += Length;
    while (m_Count >= 8) {
      const BYTE byte = static_cast<BYTE>(m_Accumulator >> (m_Count - 8));
      Emit(byte);
      if (byte == 0xFF) Emit(0);
      m_Count -= 8;
    }
    m_Accumulator &= (1u << m_Count) - 1;
  }
  void Put(const Code& C) { Put(C.Bits, C.Length); }
  // Pads the last byte with one bits.
  void Flush() {
    if (m_Count) Put(0x7F, 8 - m_Count);
  }
  void Emit(BYTE Byte) { m_Out.push_back(Byte); }

private:
  std::vector<BYTE>& m_Out;
  unsigned m_Accumulator = 0;
  int m_Count = 0;
};

JpegEncoder::JpegEncoder(LONG Width, LONG Height, int Quality) : m_Width(Width), m_Height(Height) {
  Quality = std::clamp(Quality, 1, 100);
  ScaleQuant(kLumaQuant, Quality, m_LumaQuant);
  ScaleQuant(kChromaQuant, Quality, m_ChromaQuant);
  BuildCodes(lm::jpeg::kDcLuminance, m_DcLuma);
  BuildCodes(lm::jpeg::kAcLuminance, m_AcLuma);
  BuildCodes(lm::jpeg::kDcChrominance, m_DcChroma);
  BuildCodes(lm::jpeg::kAcChrominance, m_AcChroma);

  std::vector<BYTE>& h = m_Header;
  h = {0xFF, lm::jpeg::kSOI};
  PutMarker(h, lm::jpeg::kDQT, 2 + 2 * 65);
  for (int table = 0; table < 2; ++table) {
    h.push_back(static_cast<BYTE>(table));
    const std::uint16_t* quant = table ? m_ChromaQuant : m_LumaQuant;
    for (int i = 0; i < 64; ++i) h.push_back(static_cast<BYTE>(quant[kZigzag[i]]));
  }
  // Three components: Y sampled 2 x 1 with table 0, Cb and Cr 1 x 1 with table 1.
  PutMarker(h, lm::jpeg::kSOF0, 17);
  h.insert(h.end(), {8, static_cast<BYTE>(Height >> 8), static_cast<BYTE>(Height & 0xFF), static_cast<BYTE>(Width >> 8),
                     static_cast<BYTE>(Width & 0xFF), 3, 1, 0x21, 0, 2, 0x11, 1, 3, 0x11, 1});
  // A restart after every MCU row.
  const LONG mcusPerRow = (Width + 15) / 16;
  PutMarker(h, kDRI, 4);
  h.insert(h.end(), {static_cast<BYTE>(mcusPerRow >> 8), static_cast<BYTE>(mcusPerRow & 0xFF)});
  PutMarker(h, lm::jpeg::kSOS, 12);
  h.insert(h.end(), {3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0});
}

void JpegEncoder::EncodeBlock(const Plane& Source, LONG X, LONG Y, const Component& Kind, int& PreviousDc,
                              BitWriter& Out) const {
  // The block's samples; past the picture's edge, its last column and row repeat.
  BYTE samples[64];
  for (int y = 0; y < 8; ++y) {
    const BYTE* row = Source.Data + static_cast<size_t>(std::min(Y + y, Source.Height - 1)) * Source.Width;
    if (X + 8 <= Source.Width) {
      std::memcpy(samples + y * 8, row + X, 8);
    } else {
      for (int x = 0; x < 8; ++x) samples[y * 8 + x] = row[std::min<LONG>(X + x, Source.Width - 1)];
    }
  }
  int coefficients[64] = {};  // zigzag order, quantised
  if (std::all_of(samples + 1, samples + 64, [&](BYTE s) { return s == samples[0]; })) {
    // A flat block: its DC coefficient is 8 times the level-shifted value, the rest are zero.
    coefficients[0] = static_cast<int>(std::lround(8.0 * (samples[0] - 128) / Kind.Quant[0]));
  } else {
    const DctTable& dct = Dct();
    float rows[8][8];
    for (int y = 0; y < 8; ++y)
      for (int u = 0; u < 8; ++u) {
        float sum = 0;
        for (int x = 0; x < 8; ++x) sum += dct.C[u][x] * (samples[y * 8 + x] - 128);
        rows[y][u] = sum;
      }
    for (int i = 0; i < 64; ++i) {
      const int v = kZigzag[i] / 8, u = kZigzag[i] % 8;
      float sum = 0;
      for (int y = 0; y < 8; ++y) sum += dct.C[v][y] * rows[y][u];
      coefficients[i] = static_cast<int>(std::lround(sum / Kind.Quant[kZigzag[i]]));
    }
  }
  const int difference = coefficients[0] - PreviousDc;
  PreviousDc = coefficients[0];
  int length = BitLength(difference);
  Out.Put(Kind.Dc[length]);
  if (length) Out.Put(static_cast<unsigned>(difference < 0 ? difference - 1 : difference), length);
  int run = 0;
  for (int i = 1; i < 64; ++i) {
    if (coefficients[i] == 0) {
      ++run;
      continue;
    }
    for (; run > 15; run -= 16) Out.Put(Kind.Ac[0xF0]);  // sixteen zeros
    length = BitLength(coefficients[i]);
    Out.Put(Kind.Ac[run << 4 | length]);
    Out.Put(static_cast<unsigned>(coefficients[i] < 0 ? coefficients[i] - 1 : coefficients[i]), length);
    run = 0;
  }
  if (run) Out.Put(Kind.Ac[0x00]);  // end of block
}

void JpegEncoder::EncodeMcuRow(const BYTE* Luma, const BYTE* Cb, const BYTE* Cr, LONG Rows,
                               std::vector<BYTE>& Out) const {
  Out.clear();
  BitWriter writer(Out);
  const LONG chromaWidth = (m_Width + 1) / 2;
  const Plane luma{Luma, m_Width, Rows}, cb{Cb, chromaWidth, Rows}, cr{Cr, chromaWidth, Rows};
  const Component lumaKind{m_LumaQuant, m_DcLuma, m_AcLuma}, chromaKind{m_ChromaQuant, m_DcChroma, m_AcChroma};
  int dc[3] = {};
  // Two luma blocks, then one block of each chroma plane.
  for (LONG x = 0; x < m_Width; x += 16) {
    EncodeBlock(luma, x, 0, lumaKind, dc[0], writer);
    EncodeBlock(luma, x + 8, 0, lumaKind, dc[0], writer);
    EncodeBlock(cb, x / 2, 0, chromaKind, dc[1], writer);
    EncodeBlock(cr, x / 2, 0, chromaKind, dc[2], writer);
  }
  writer.Flush();
}

size_t JpegEncoder::WriteFrame(const std::vector<BYTE>& First, const std::vector<BYTE>& Others, BYTE* Out,
                               size_t Capacity) const {
  const size_t others = static_cast<size_t>(McuRows() - 1);
  const size_t length = m_Header.size() + First.size() + others * (2 + Others.size()) + 2;
  if (length > Capacity) return 0;
  BYTE* at = std::copy(m_Header.begin(), m_Header.end(), Out);
  at = std::copy(First.begin(), First.end(), at);
  for (size_t row = 0; row < others; ++row) {
    *at++ = 0xFF;
    *at++ = static_cast<BYTE>(kRST0 + row % 8);
    at = std::copy(Others.begin(), Others.end(), at);
  }
  *at++ = 0xFF;
  *at++ = lm::jpeg::kEOI;
  return length;
}

}  // namespace lmcam
