#pragma once

// Writes one video stream into an AVI 1.0 file: RIFF "AVI " with the header list "hdrl", the
// frames in "movi" and the index "idx1". The headers are written with their final size when
// the file is opened, as those of a file still being written (RIFF and "movi" sizes 0: to the
// end of the file; no index, no frame count), so that a reader scans the frames of a file that
// was never completed; completing it writes the index and the headers again with the counts
// and sizes, so that a file is never longer than its content.
//
// Not thread-safe: its owner serialises the calls.

#include <windows.h>

#include <mmsystem.h>  // FOURCC, which aviriff.h uses

#include <aviriff.h>
#include <strmif.h>

#include <string>
#include <vector>

namespace lmbuilder {

class AviFile {
public:
  AviFile() = default;
  ~AviFile();
  AviFile(const AviFile&) = delete;
  AviFile& operator=(const AviFile&) = delete;

  // Opens Name for the stream described by Format (MEDIATYPE_Video, FORMAT_VideoInfo) and
  // writes the headers. Truncate: the file is emptied first; otherwise it is written over
  // from its start. E_INVALIDARG for a format without a picture size.
  HRESULT Open(const std::wstring& Name, bool Truncate, const AM_MEDIA_TYPE& Format);
  // Appends one frame; E_UNEXPECTED when not open, E_FAIL past kLmAviMaxFileSize, or the
  // failure of a write (HRESULT_FROM_WIN32 of its error).
  HRESULT WriteFrame(const BYTE* Data, DWORD Size, bool KeyFrame);
  // Writes the index and the final headers and closes the file; S_OK when nothing was open.
  HRESULT Complete();
  // Whether Name can be opened for writing, found by opening it; a file that this creates for
  // the test is deleted again. The error of CreateFileW otherwise.
  static HRESULT CheckWritable(const std::wstring& Name);
  // A full disk (see ILmAviWriterDiskFull in LmTestCaptureBuilder.h): writes that would take
  // the bytes written since Open past Bytes fail with ERROR_DISK_FULL, and every write after
  // them until the file is closed; for this file and the next ones.
  void FailWritesAfter(ULONGLONG Bytes) { m_WriteLimit = Bytes; }

  bool IsOpen() const { return m_File != INVALID_HANDLE_VALUE; }
  DWORD Frames() const { return static_cast<DWORD>(m_Index.size()); }

private:
  // Final: the counts and sizes of the completed file, else those of a file being written.
  HRESULT WriteHeaders(bool Final);
  HRESULT WriteAt(ULONGLONG Offset, const void* Data, DWORD Size);
  HRESULT Append(const void* Data, DWORD Size);

  HANDLE m_File = INVALID_HANDLE_VALUE;
  BITMAPINFOHEADER m_Bitmap{};
  std::vector<BYTE> m_Palette;         // colour table after the bitmap header, if any
  REFERENCE_TIME m_FrameInterval = 0;  // 100 ns units
  FOURCC m_ChunkId = 0;                // "00db" (uncompressed) or "00dc"
  DWORD m_HeaderSize = 0;              // bytes before the first frame chunk
  ULONGLONG m_Size = 0;                // bytes written so far (the end of the file)
  ULONGLONG m_MoviEnd = 0;             // where the frame chunks end (set when completing)
  DWORD m_LargestChunk = 0;
  struct IndexEntry {  // one entry of "idx1"
    DWORD ChunkId, Flags, Offset, Size;
  };
  std::vector<IndexEntry> m_Index;
  ULONGLONG m_WriteLimit = ~0ull;  // the full-disk switch
  ULONGLONG m_Written = 0;         // bytes written since Open
  bool m_DiskFull = false;         // a write failed as on a full disk: the later ones fail too
};

}  // namespace lmbuilder
