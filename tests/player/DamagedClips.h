#pragma once

// Damaged copies of good AVI clips, for the player's damaged-file test and the soak program:
// cut short at many lengths, single bytes flipped, and header fields of the AVI structure set
// to values a broken or hostile file may hold (sizes, rates, stream counts, index entries).
// Also how a thread stuck in Wine's GStreamer parser is told from one stuck in the player.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace playertest {

struct Damage {
  std::wstring Name;  // the clip and what was done to it
  std::vector<BYTE> Bytes;
};

// Copies cut at lengths inside the headers, at chunk edges and in the frames, then copies with
// one byte flipped at the headers' sizes and fourCCs and spread over the file.
std::vector<Damage> CutAndFlippedCopies(const std::wstring& Clip, const std::vector<BYTE>& Good);

// One field of an AVI file that a damaged copy may change.
struct AviField {
  std::wstring Name;  // e.g. "avih.dwStreams", "strh[0].dwRate", "size of LIST movi"
  size_t Offset = 0;  // of the field in the file
  int Bytes = 4;      // 2 or 4, little-endian
};

// The fields of an AVI file's structure, found by walking its RIFF chunks: every chunk's size,
// the main header (avih), each stream's header (strh) and format (strf: BITMAPINFOHEADER or
// WAVEFORMATEX), the OpenDML header (dmlh), and the first, middle and last entries of the
// legacy index (idx1). Empty when the file is no RIFF AVI.
std::vector<AviField> FindAviFields(const std::vector<BYTE>& File);

// Copies with one field of the AVI structure changed: each field set to 0, to all ones, and to
// one of 1, 0x7FFFFFFF, 0x80000000, twice, half or one more than its value (in turn from one
// field to the next).
std::vector<Damage> FieldEditedCopies(const std::wstring& Clip, const std::vector<BYTE>& Good);

// Wine 8's GStreamer parser can hang inside IGraphBuilder::RenderFile on a broken header. Such a
// thread is recognised by the modules of its stack (innermost first, as testwin::ThreadStackModules
// gives them): in winegstreamer.dll past ntdll, called from quartz.dll, called from Caller (the
// camera library, or a program that builds its graph by hand).
bool StuckInWineParser(const std::vector<std::wstring>& Modules, const std::wstring& Caller = L"Lumo10WebCamD25.dll");

// The modules of a stack on one line, "a < b < c", innermost first.
std::string JoinedStack(const std::vector<std::wstring>& Modules);

}  // namespace playertest
