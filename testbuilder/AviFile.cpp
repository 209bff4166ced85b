#include "testbuilder/AviFile.h"

#include <dshow.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <numeric>

#include "testbuilder/LmTestCaptureBuilder.h"

namespace lmbuilder {
namespace {

constexpr FOURCC Fcc(char A, char B, char C, char D) {
  return static_cast<FOURCC>(static_cast<BYTE>(A)) | (static_cast<FOURCC>(static_cast<BYTE>(B)) << 8) |
         (static_cast<FOURCC>(static_cast<BYTE>(C)) << 16) | (static_cast<FOURCC>(static_cast<BYTE>(D)) << 24);
}

// Without a frame interval in the format, the stream says 30 frames per second.
constexpr REFERENCE_TIME kFallbackInterval = 333333;

HRESULT LastError() {
  const DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

// A byte buffer that the headers are assembled in.
class Chunks {
public:
  void Dword(DWORD Value) { Bytes(&Value, sizeof(Value)); }
  void Bytes(const void* Data, size_t Size) {
    const auto* bytes = static_cast<const BYTE*>(Data);
    m_Data.insert(m_Data.end(), bytes, bytes + Size);
  }
  // Starts a LIST (or RIFF) whose size is filled in by End.
  size_t BeginList(FOURCC Kind, FOURCC Type) {
    Dword(Kind);
    const size_t at = m_Data.size();
    Dword(0);
    Dword(Type);
    return at;
  }
  void End(size_t At) {
    const DWORD size = static_cast<DWORD>(m_Data.size() - At - sizeof(DWORD));
    std::memcpy(m_Data.data() + At, &size, sizeof(size));
  }
  std::vector<BYTE>& Data() { return m_Data; }

private:
  std::vector<BYTE> m_Data;
};

}  // namespace

AviFile::~AviFile() { Complete(); }

HRESULT AviFile::Open(const std::wstring& Name, bool Truncate, const AM_MEDIA_TYPE& Format) {
  if (IsOpen()) return E_UNEXPECTED;
  if (!IsEqualGUID(Format.formattype, FORMAT_VideoInfo) || !Format.pbFormat ||
      Format.cbFormat < sizeof(VIDEOINFOHEADER))
    return E_INVALIDARG;
  const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(Format.pbFormat);
  if (info->bmiHeader.biWidth <= 0 || info->bmiHeader.biHeight == 0) return E_INVALIDARG;
  m_Bitmap = info->bmiHeader;
  const size_t headerEnd = offsetof(VIDEOINFOHEADER, bmiHeader) + sizeof(BITMAPINFOHEADER);
  m_Palette.assign(Format.pbFormat + headerEnd, Format.pbFormat + std::max<size_t>(Format.cbFormat, headerEnd));
  m_Bitmap.biSize = sizeof(BITMAPINFOHEADER);
  m_FrameInterval = info->AvgTimePerFrame > 0 ? info->AvgTimePerFrame : kFallbackInterval;
  const bool uncompressed = m_Bitmap.biCompression == BI_RGB || m_Bitmap.biCompression == BI_BITFIELDS;
  m_ChunkId = uncompressed ? Fcc('0', '0', 'd', 'b') : Fcc('0', '0', 'd', 'c');

  m_File = CreateFileW(Name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, Truncate ? CREATE_ALWAYS : OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  if (m_File == INVALID_HANDLE_VALUE) return LastError();
  m_Index.clear();
  m_LargestChunk = 0;
  m_Size = 0;
  m_MoviEnd = 0;
  m_Written = 0;
  m_DiskFull = false;
  const HRESULT hr = WriteHeaders(false);
  if (FAILED(hr)) {
    CloseHandle(m_File);
    m_File = INVALID_HANDLE_VALUE;
    return hr;
  }
  m_Size = m_HeaderSize;
  return S_OK;
}

HRESULT AviFile::CheckWritable(const std::wstring& Name) {
  const HANDLE file = CreateFileW(Name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastError();
  const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
  CloseHandle(file);
  if (created) DeleteFileW(Name.c_str());
  return S_OK;
}

HRESULT AviFile::WriteFrame(const BYTE* Data, DWORD Size, bool KeyFrame) {
  if (!IsOpen()) return E_UNEXPECTED;
  const DWORD padded = Size + (Size & 1);
  // Room for this chunk, its index entry and the index header.
  const ULONGLONG needed = m_Size + 8 + padded + (m_Index.size() + 1) * sizeof(IndexEntry) + 8;
  if (needed > kLmAviMaxFileSize) return E_FAIL;
  const DWORD header[2] = {m_ChunkId, Size};
  // Offsets in idx1 count from the "movi" type code, which lies 4 bytes before the first chunk.
  const DWORD offset = static_cast<DWORD>(m_Size - (m_HeaderSize - 4));
  HRESULT hr = Append(header, sizeof(header));
  if (SUCCEEDED(hr) && Size) hr = Append(Data, Size);
  if (SUCCEEDED(hr) && padded != Size) {
    const BYTE zero = 0;
    hr = Append(&zero, 1);
  }
  if (FAILED(hr)) return hr;
  m_Index.push_back({m_ChunkId, KeyFrame ? static_cast<DWORD>(AVIIF_KEYFRAME) : 0u, offset, Size});
  m_LargestChunk = std::max(m_LargestChunk, Size);
  return S_OK;
}

HRESULT AviFile::Complete() {
  if (!IsOpen()) return S_OK;
  m_MoviEnd = m_Size;
  const DWORD indexHeader[2] = {Fcc('i', 'd', 'x', '1'), static_cast<DWORD>(m_Index.size() * sizeof(IndexEntry))};
  HRESULT hr = Append(indexHeader, sizeof(indexHeader));
  if (SUCCEEDED(hr) && !m_Index.empty())
    hr = Append(m_Index.data(), static_cast<DWORD>(m_Index.size() * sizeof(IndexEntry)));
  // The headers again, now with the frame count and the sizes.
  if (SUCCEEDED(hr)) hr = WriteHeaders(true);
  // A file written over (not truncated) may have been longer: it ends where the RIFF ends.
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(m_Size);
  if (SUCCEEDED(hr) && (!SetFilePointerEx(m_File, end, nullptr, FILE_BEGIN) || !SetEndOfFile(m_File)))
    hr = LastError();
  if (!CloseHandle(m_File) && SUCCEEDED(hr)) hr = LastError();
  m_File = INVALID_HANDLE_VALUE;
  return hr;
}

HRESULT AviFile::WriteHeaders(bool Final) {
  const DWORD frames = static_cast<DWORD>(m_Index.size());
  const LONG height = m_Bitmap.biHeight < 0 ? -m_Bitmap.biHeight : m_Bitmap.biHeight;
  // Rate / scale = frames per second, as an exact fraction of 10000000 / interval.
  const auto divisor = std::gcd(static_cast<ULONGLONG>(10000000), static_cast<ULONGLONG>(m_FrameInterval));
  const DWORD rate = static_cast<DWORD>(10000000 / divisor);
  const DWORD scale = static_cast<DWORD>(m_FrameInterval / divisor);
  const DWORD bufferSize = m_LargestChunk ? m_LargestChunk + 8 : m_Bitmap.biSizeImage + 8;

  Chunks out;
  const size_t riff = out.BeginList(Fcc('R', 'I', 'F', 'F'), Fcc('A', 'V', 'I', ' '));
  const size_t hdrl = out.BeginList(Fcc('L', 'I', 'S', 'T'), Fcc('h', 'd', 'r', 'l'));

  AVIMAINHEADER main{};
  main.fcc = Fcc('a', 'v', 'i', 'h');
  main.cb = sizeof(AVIMAINHEADER) - 8;
  main.dwMicroSecPerFrame = static_cast<DWORD>(m_FrameInterval / 10);
  main.dwMaxBytesPerSec = static_cast<DWORD>((static_cast<ULONGLONG>(bufferSize) * 10000000) / m_FrameInterval);
  main.dwFlags = Final ? AVIF_HASINDEX | AVIF_ISINTERLEAVED : AVIF_ISINTERLEAVED;
  main.dwTotalFrames = frames;
  main.dwStreams = 1;
  main.dwSuggestedBufferSize = bufferSize;
  main.dwWidth = static_cast<DWORD>(m_Bitmap.biWidth);
  main.dwHeight = static_cast<DWORD>(height);
  out.Bytes(&main, sizeof(main));

  const size_t strl = out.BeginList(Fcc('L', 'I', 'S', 'T'), Fcc('s', 't', 'r', 'l'));
  AVISTREAMHEADER stream{};
  stream.fcc = Fcc('s', 't', 'r', 'h');
  stream.cb = sizeof(AVISTREAMHEADER) - 8;
  stream.fccType = Fcc('v', 'i', 'd', 's');
  stream.fccHandler = m_Bitmap.biCompression == BI_RGB ? Fcc('D', 'I', 'B', ' ') : m_Bitmap.biCompression;
  stream.dwScale = scale;
  stream.dwRate = rate;
  stream.dwLength = frames;
  stream.dwSuggestedBufferSize = bufferSize;
  stream.dwQuality = 0xFFFFFFFF;
  stream.rcFrame.right = static_cast<short>(m_Bitmap.biWidth);
  stream.rcFrame.bottom = static_cast<short>(height);
  out.Bytes(&stream, sizeof(stream));
  const DWORD formatSize = static_cast<DWORD>(sizeof(BITMAPINFOHEADER) + m_Palette.size());
  out.Dword(Fcc('s', 't', 'r', 'f'));
  out.Dword(formatSize);
  out.Bytes(&m_Bitmap, sizeof(m_Bitmap));
  if (!m_Palette.empty()) out.Bytes(m_Palette.data(), m_Palette.size());
  if (formatSize & 1) out.Bytes("", 1);
  out.End(strl);
  out.End(hdrl);

  // "movi" covers the frame chunks, which end where the index begins; RIFF covers everything
  // written. While the file is being written, both are 0: they run to the end of the file.
  out.Dword(Fcc('L', 'I', 'S', 'T'));
  const DWORD headerSize = static_cast<DWORD>(out.Data().size() + 8);
  const ULONGLONG frameBytes = m_MoviEnd > headerSize ? m_MoviEnd - headerSize : 0;
  out.Dword(Final ? static_cast<DWORD>(4 + frameBytes) : 0);
  out.Dword(Fcc('m', 'o', 'v', 'i'));
  std::vector<BYTE>& data = out.Data();
  const DWORD riffSize = Final ? static_cast<DWORD>(m_Size - 8) : 0;
  std::memcpy(data.data() + riff, &riffSize, sizeof(riffSize));
  m_HeaderSize = static_cast<DWORD>(data.size());
  return WriteAt(0, data.data(), static_cast<DWORD>(data.size()));
}

HRESULT AviFile::WriteAt(ULONGLONG Offset, const void* Data, DWORD Size) {
  if (m_DiskFull || Size > m_WriteLimit - std::min(m_Written, m_WriteLimit)) {
    m_DiskFull = true;
    return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
  }
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(Offset);
  if (!SetFilePointerEx(m_File, position, nullptr, FILE_BEGIN)) return LastError();
  DWORD written = 0;
  const BOOL wrote = WriteFile(m_File, Data, Size, &written, nullptr);
  m_Written += written;
  if (!wrote) return LastError();
  return written == Size ? S_OK : E_FAIL;
}

HRESULT AviFile::Append(const void* Data, DWORD Size) {
  const HRESULT hr = WriteAt(m_Size, Data, Size);
  if (SUCCEEDED(hr)) m_Size += Size;
  return hr;
}

}  // namespace lmbuilder
