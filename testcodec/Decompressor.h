#pragma once

// One open instance of the codec (LmTestCodec.h): answers the ICM decompression messages.
// msvfw32 sends the messages of one instance from one thread at a time.

#include <windows.h>

#include <vfw.h>

#include <vector>

namespace lmcodec {

class Decompressor {
public:
  // ICERR_OK when In can be decompressed to Out (or to something, when Out is null).
  LRESULT Query(const BITMAPINFOHEADER* In, const BITMAPINFOHEADER* Out) const;
  // ICERR_OK when a stream from In may start. Wine 8's AVI Decompressor passes its input
  // format as Out here (dlls/quartz/avidec.c, init_stream), so an Out that is no RGB format is
  // not held against the stream: ICM_DECOMPRESS checks the real output of every frame.
  LRESULT Begin(const BITMAPINFOHEADER* In, const BITMAPINFOHEADER* Out) const;
  // With Out null, the size of the format it proposes; otherwise writes it into Out. For NV12
  // it proposes nothing: Wine's AVI Decompressor offers the proposal as a FOURCC subtype of
  // compression 0, which another AVI Decompressor takes as its input (with a codec of Wine's
  // that decodes RGB), so that a graph builder looking for a way from NV12 to an RGB24
  // receiver chains decompressors until its recursion limit: minutes, instead of failing at
  // once. The renderer finds RGB32 among the decompressor's fixed output types.
  LRESULT GetFormat(const BITMAPINFOHEADER* In, BITMAPINFOHEADER* Out) const;
  // Decompresses one frame; In->biSizeImage gives its length.
  LRESULT Decompress(const ICDECOMPRESS& Frame, size_t FrameSize);

private:
  std::vector<BYTE> m_Picture;  // the converted RGB24 picture, when it is not written in place
};

}  // namespace lmcodec
