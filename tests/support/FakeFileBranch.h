#pragma once

// What the fake capture graph builder's SetOutputFileName hands out, for the recorder's tests:
// a writer filter (labelled "writer") whose file sink answers IFileSinkFilter2, and which,
// for an ASF file, answers IConfigAsfWriter with a Windows Media profile of scripted streams
// (IWMProfile, IWMStreamConfig, and the video media properties).
//
// Calls are logged into the graph system's log, scripted like every graph call:
//   ICaptureGraphBuilder2::SetOutputFileName(AVI|ASF, <name>)   IFileSinkFilter2::SetMode(<mode>)
//   IConfigAsfWriter::ConfigureFilterUsingProfileGuid(<guid>)    IConfigAsfWriter::GetCurrentProfile
//   IWMProfile::GetStreamCount   IWMProfile::GetStreamByNumber(<n>)   IWMStreamConfig::GetStreamType(<n>)
//   IWMStreamConfig::QueryInterface(IWMVideoMediaProps)(<n>)   IWMVideoMediaProps::GetMediaType(size|buffer)
//   IWMVideoMediaProps::SetMediaType   IWMStreamConfig::SetBitrate(<bits>)
//   IWMProfile::ReconfigStream(<n>)   IConfigAsfWriter::ConfigureFilterUsingProfile

#include <windows.h>

#include <dshow.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fakes {

class FakeGraphSystem;

// One stream of the writer's profile.
struct FakeProfileStream {
  GUID Type = MEDIATYPE_Video;  // the stream type (WMMEDIATYPE_Video has MEDIATYPE_Video's value)
  GUID FormatType = FORMAT_VideoInfo;
  VIDEOINFOHEADER Header{};
  // Size of the format block behind the media type; 0 gives a null pbFormat.
  ULONG FormatBytes = sizeof(VIDEOINFOHEADER);

  // A video stream of the profile's own size, rate and bit rate, with a non-empty source and
  // target rectangle.
  static FakeProfileStream Video(LONG Width = 320, LONG Height = 240);
  static FakeProfileStream Audio();
};

// The script of the file branch, and what reached it.
struct FakeFileBranch {
  // The sink answers IFileSinkFilter2 (both DirectShow writers' sinks do).
  bool SinkHasMode2 = true;
  // An ASF writer answers IConfigAsfWriter.
  bool AsfConfig = true;
  std::vector<FakeProfileStream> Profile{FakeProfileStream::Audio(), FakeProfileStream::Video()};

  // Per SetOutputFileName: "AVI|ASF|other, <name>".
  std::vector<std::string> OutputFiles;
  // The video-info header and the media type that SetMediaType was given, and every
  // SetBitrate value.
  std::optional<VIDEOINFOHEADER> WrittenHeader;
  std::vector<DWORD> Bitrates;
  // Live writer and sink objects, for reference checks (not counted; null when none lives).
  IBaseFilter* Writer = nullptr;
  IUnknown* Sink = nullptr;
};

// SetOutputFileName of the fake builder: scripts its result and, on S_OK, hands out a new
// writer filter and its sink for Subtype.
HRESULT HandOutFileBranch(const std::shared_ptr<FakeGraphSystem>& System, const GUID* Subtype, LPCOLESTR FileName,
                          IBaseFilter** Writer, IFileSinkFilter** Sink);

// The references a fake writer or sink holds (for checks that nothing else still does).
unsigned long FileBranchReferences(IUnknown* Object);

}  // namespace fakes
