#include "player/DamagedClips.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

namespace playertest {

namespace {

// Lengths at which a copy is cut: inside the headers, at chunk edges, and in the frames.
std::vector<size_t> CutLengths(size_t Size) {
  std::vector<size_t> lengths = {0, 1, 4, 8, 11, 12, 16, 20, 24, 32, 64, 100, 200, 256, 400, 512, 1024, 2048, 4096};
  for (int eighth = 1; eighth < 8; ++eighth) lengths.push_back(Size * eighth / 8);
  lengths.push_back(Size - 1);
  lengths.push_back(Size - 8);
  std::vector<size_t> inside;
  for (size_t length : lengths)
    if (length < Size) inside.push_back(length);
  return inside;
}

// Positions whose byte is flipped: sizes and fourCCs of the headers, and spread over the file.
std::vector<size_t> FlipPositions(size_t Size) {
  std::vector<size_t> positions = {0, 4, 5, 8, 12, 16, 20, 24, 28, 32, 36, 40, 48, 56, 64, 72, 88, 100, 112, 120,
                                   128, 140, 160, 176, 180, 200, 220, 240};
  for (int tenth = 1; tenth < 10; ++tenth) positions.push_back(Size * tenth / 10);
  positions.push_back(Size - 1);
  std::vector<size_t> inside;
  for (size_t position : positions)
    if (position < Size) inside.push_back(position);
  return inside;
}

uint32_t ReadLe(const std::vector<BYTE>& File, size_t Offset, int Bytes) {
  uint32_t value = 0;
  for (int i = Bytes - 1; i >= 0; --i) value = value << 8 | File[Offset + static_cast<size_t>(i)];
  return value;
}

void WriteLe(std::vector<BYTE>& File, size_t Offset, int Bytes, uint32_t Value) {
  for (int i = 0; i < Bytes; ++i) File[Offset + static_cast<size_t>(i)] = static_cast<BYTE>(Value >> (8 * i));
}

std::wstring FourCC(const std::vector<BYTE>& File, size_t Offset) {
  std::wstring text;
  for (size_t i = 0; i < 4; ++i) {
    const BYTE c = File[Offset + i];
    text += c >= 32 && c < 127 ? static_cast<wchar_t>(c) : L'?';
  }
  return text;
}

// Walks the RIFF chunks of an AVI file and names the fields of the chunks it knows.
class AviFieldFinder {
public:
  explicit AviFieldFinder(const std::vector<BYTE>& File) : m_File(File) {}

  std::vector<AviField> Find() {
    if (m_File.size() < 12 || FourCC(m_File, 0) != L"RIFF" || FourCC(m_File, 8) != L"AVI ") return {};
    Add(L"size of RIFF AVI", 4);
    Walk(12, std::min<size_t>(m_File.size(), 8 + static_cast<size_t>(ReadLe(m_File, 4, 4))));
    return std::move(m_Fields);
  }

private:
  void Add(const std::wstring& Name, size_t Offset, int Bytes = 4) {
    if (Offset + static_cast<size_t>(Bytes) <= m_File.size()) m_Fields.push_back({Name, Offset, Bytes});
  }

  void Walk(size_t Begin, size_t End) {
    for (size_t at = Begin; at + 8 <= End;) {
      const std::wstring id = FourCC(m_File, at);
      const size_t size = ReadLe(m_File, at + 4, 4);
      const size_t data = at + 8;
      if (data + size > End) return;
      if (id == L"LIST" && size >= 4) {
        const std::wstring type = FourCC(m_File, data);
        Add(L"size of LIST " + type, at + 4);
        if (type == L"strl") ++m_Stream;
        if (type == L"movi") {
          // The first frame's chunk: its size.
          if (size >= 12) Add(L"size of first chunk " + FourCC(m_File, data + 4), data + 8);
        } else {
          Walk(data + 4, data + size);
        }
      } else {
        Add(L"size of " + id, at + 4);
        Fields(id, data, size);
      }
      at = data + size + (size & 1);
    }
  }

  void Fields(const std::wstring& Id, size_t Data, size_t Size) {
    const std::wstring stream = L"[" + std::to_wstring(m_Stream - 1) + L"]";
    if (Id == L"avih" && Size >= 40) {
      static const struct { const wchar_t* Name; size_t Offset; } avih[] = {
          {L"dwMicroSecPerFrame", 0}, {L"dwMaxBytesPerSec", 4}, {L"dwFlags", 12}, {L"dwTotalFrames", 16},
          {L"dwInitialFrames", 20},   {L"dwStreams", 24},       {L"dwSuggestedBufferSize", 28},
          {L"dwWidth", 32},           {L"dwHeight", 36}};
      for (const auto& field : avih) Add(std::wstring(L"avih.") + field.Name, Data + field.Offset);
    } else if (Id == L"strh" && Size >= 56) {
      static const struct { const wchar_t* Name; size_t Offset; int Bytes; } strh[] = {
          {L"fccType", 0, 4},  {L"fccHandler", 4, 4}, {L"dwFlags", 8, 4},  {L"dwInitialFrames", 16, 4},
          {L"dwScale", 20, 4}, {L"dwRate", 24, 4},    {L"dwStart", 28, 4}, {L"dwLength", 32, 4},
          {L"dwSuggestedBufferSize", 36, 4},          {L"dwSampleSize", 44, 4},
          {L"rcFrame.right", 52, 2},                  {L"rcFrame.bottom", 54, 2}};
      for (const auto& field : strh) Add(L"strh" + stream + L"." + field.Name, Data + field.Offset, field.Bytes);
      m_StreamIsVideo = FourCC(m_File, Data) == L"vids";
    } else if (Id == L"strf" && m_StreamIsVideo && Size >= 40) {
      static const struct { const wchar_t* Name; size_t Offset; int Bytes; } bitmap[] = {
          {L"biSize", 0, 4},     {L"biWidth", 4, 4},        {L"biHeight", 8, 4},    {L"biPlanes", 12, 2},
          {L"biBitCount", 14, 2}, {L"biCompression", 16, 4}, {L"biSizeImage", 20, 4}};
      for (const auto& field : bitmap) Add(L"strf" + stream + L"." + field.Name, Data + field.Offset, field.Bytes);
    } else if (Id == L"strf" && Size >= 16) {
      static const struct { const wchar_t* Name; size_t Offset; int Bytes; } wave[] = {
          {L"wFormatTag", 0, 2},      {L"nChannels", 2, 2},   {L"nSamplesPerSec", 4, 4},
          {L"nAvgBytesPerSec", 8, 4}, {L"nBlockAlign", 12, 2}, {L"wBitsPerSample", 14, 2}};
      for (const auto& field : wave) Add(L"strf" + stream + L"." + field.Name, Data + field.Offset, field.Bytes);
    } else if (Id == L"dmlh" && Size >= 4) {
      Add(L"dmlh.dwTotalFrames", Data);
    } else if (Id == L"idx1" && Size >= 16) {
      const size_t entries = Size / 16;
      const std::pair<const wchar_t*, size_t> picked[] = {{L"first", 0}, {L"middle", entries / 2}, {L"last", entries - 1}};
      for (const auto& [which, entry] : picked) {
        const std::wstring name = std::wstring(L"idx1 ") + which + L" entry.";
        const size_t at = Data + entry * 16;
        Add(name + L"ckid", at);
        Add(name + L"dwFlags", at + 4);
        Add(name + L"dwChunkOffset", at + 8);
        Add(name + L"dwChunkLength", at + 12);
      }
    }
  }

  const std::vector<BYTE>& m_File;
  std::vector<AviField> m_Fields;
  int m_Stream = 0;
  bool m_StreamIsVideo = false;
};

std::wstring Hex(uint32_t Value) {
  wchar_t text[16];
  swprintf(text, 16, L"0x%X", Value);
  return text;
}

}  // namespace

std::vector<Damage> CutAndFlippedCopies(const std::wstring& Clip, const std::vector<BYTE>& Good) {
  std::vector<Damage> copies;
  for (size_t length : CutLengths(Good.size()))
    copies.push_back({Clip + L" cut at " + std::to_wstring(length),
                      std::vector<BYTE>(Good.begin(), Good.begin() + static_cast<ptrdiff_t>(length))});
  for (size_t position : FlipPositions(Good.size())) {
    Damage damage{Clip + L" flipped at " + std::to_wstring(position), Good};
    damage.Bytes[position] ^= 0xFF;
    copies.push_back(std::move(damage));
  }
  return copies;
}

std::vector<AviField> FindAviFields(const std::vector<BYTE>& File) { return AviFieldFinder(File).Find(); }

std::vector<Damage> FieldEditedCopies(const std::wstring& Clip, const std::vector<BYTE>& Good) {
  std::vector<Damage> copies;
  int turn = 0;
  for (const AviField& field : FindAviFields(Good)) {
    const uint32_t ones = field.Bytes == 2 ? 0xFFFFu : 0xFFFFFFFFu;
    const uint32_t value = ReadLe(Good, field.Offset, field.Bytes);
    const uint32_t third[] = {1u, ones >> 1, (ones >> 1) + 1, value * 2, value / 2, value + 1};
    for (uint32_t changed : {0u, ones, third[turn++ % 6] & ones}) {
      if (changed == value) continue;
      Damage damage{Clip + L" " + field.Name + L" " + Hex(value) + L" -> " + Hex(changed), Good};
      WriteLe(damage.Bytes, field.Offset, field.Bytes, changed);
      copies.push_back(std::move(damage));
    }
  }
  return copies;
}

bool StuckInWineParser(const std::vector<std::wstring>& Modules, const std::wstring& Caller) {
  size_t at = 0;
  while (at < Modules.size() && (Modules[at] == L"ntdll.dll" || Modules[at] == L"?")) ++at;
  if (at == Modules.size() || Modules[at] != L"winegstreamer.dll") return false;
  size_t quartz = at;
  while (quartz < Modules.size() && Modules[quartz] != L"quartz.dll") ++quartz;
  size_t player = quartz;
  while (player < Modules.size() && _wcsicmp(Modules[player].c_str(), Caller.c_str()) != 0) ++player;
  return player < Modules.size();
}

std::string JoinedStack(const std::vector<std::wstring>& Modules) {
  std::string text;
  for (const std::wstring& module : Modules) {
    if (!text.empty()) text += " < ";
    for (wchar_t c : module) text += c < 128 ? static_cast<char>(c) : '?';
  }
  return text;
}

}  // namespace playertest
