#pragma once

// The test decoder: the video decompressor that Windows has and Wine 8 lacks, for the TEST AND
// DEMO PREFIXES only.
//
// On Windows, the filter graph converts a camera's YUY2 for an RGB renderer or an RGB24 Sample
// Grabber through the AVI Decompressor with the system's YUV codec, and MJPG through the MJPEG
// Decompressor; it has no stock converter from NV12 to RGB24 (the renderer draws NV12 itself).
// Wine's AVI Decompressor finds no codec for these formats. LmTestCodec.dll is a Video for
// Windows (ICM) codec, found the way Windows finds its YUV codec: Wine's AVI Decompressor
// calls ICLocate with the subtype's FOURCC, and msvfw32 opens the DLL named under
// HKLM\Software\Microsoft\Windows NT\CurrentVersion\Drivers32 as "vidc.<FOURCC>" and talks to
// its DriverProc.
//
// `regsvr32 LmTestCodec.dll` writes "vidc.YUY2", "vidc.MJPG" and "vidc.NV12" with the DLL's
// path (a path with spaces in it cannot be registered: the driver loader cuts it there);
// `regsvr32 /u` removes the values that name it.
//
// Decompression (ICM_DECOMPRESS_QUERY, _GET_FORMAT, _BEGIN, _DECOMPRESS, _END), with the camera
// library's frame converter (webcam/src/LmFrameConverter.h):
//   YUY2  -> RGB24 (the format it proposes) or RGB32
//   MJPG  -> RGB24 (proposed) or RGB32; frames without Huffman tables are decoded too
//   NV12  -> RGB32 only, and proposes no format: enough for the video renderer's preview,
//            while an RGB24 Sample Grabber still cannot connect, as on Windows.
// RGB output is bottom-up for a positive biHeight, top-down for a negative one. Input of any
// other compression, or of another size than the output, is refused with ICERR_BADFORMAT.

#include <windows.h>

// The FOURCCs the codec decodes.
inline constexpr DWORD kLmCodecYuy2 = MAKEFOURCC('Y', 'U', 'Y', '2');
inline constexpr DWORD kLmCodecMjpg = MAKEFOURCC('M', 'J', 'P', 'G');
inline constexpr DWORD kLmCodecNv12 = MAKEFOURCC('N', 'V', '1', '2');
