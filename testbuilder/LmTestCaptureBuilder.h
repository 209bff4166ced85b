#pragma once

// The test capture graph builder: the capture graph builder's file output for a platform that
// lacks it (Wine 8: ICaptureGraphBuilder2::SetOutputFileName answers E_NOTIMPL, and neither its
// AVI multiplexer nor its file writer can record a graph that runs, stops and runs again).
//
// LmTestCaptureBuilder.dll is an in-process COM server for the TEST AND DEMO PREFIXES only.
// `regsvr32 LmTestCaptureBuilder.dll` registers it under CLSID_CaptureGraphBuilder2 and keeps
// the registration it replaced; `regsvr32 /u` puts that registration back.
//
// The builder it creates hands every ICaptureGraphBuilder2 call to the platform's own builder
// (created from qcap.dll directly, since the class's registry entry points here), except
// SetOutputFileName:
//
//   MEDIASUBTYPE_Avi  adds one filter to the graph given to SetFiltergraph, "AVI File Writer",
//                     which is both the multiplexer and the file sink: *ppf and *ppSink are
//                     two interfaces of it (IBaseFilter, IFileSinkFilter), one reference each.
//   MEDIASUBTYPE_Asf  creates the WM ASF Writer (CLSID_WMAsfWriter); where that class does not
//                     exist it fails with the HRESULT of that creation (REGDB_E_CLASSNOTREG on
//                     Wine) and adds nothing.
//   anything else     the platform builder's answer.
//
// Wine's own AVI Mux (CLSID_AviDest) is not used: it writes only the first run of a graph.
// It keeps each input's last sample time, frame count and index across Stop, so after
// Stop -> Run it refuses every sample with VFW_E_START_TIME_AFTER_END (the source reports
// EC_ERRORABORT) and leaves a file with the first run's header and no frames. The AVI File
// Writer therefore multiplexes as well, and being one filter it completes the file at its own
// Stop, whichever filter the graph stops first.
//
// The AVI File Writer has one input pin "In" that accepts MEDIATYPE_Video with
// FORMAT_VideoInfo, uncompressed (RGB) or not (YUY2, NV12, MJPG, ...), and writes each sample
// as one chunk of an AVI 1.0 file (RIFF "AVI ", one video stream, an idx1 index):
//   - the stream header's handler is the compression's FOURCC ("DIB " for RGB), "strf" is the
//     format's BITMAPINFOHEADER (with its colour table, if any); chunks are "00db" for RGB and
//     "00dc" for every other compression, each as long as its sample (MJPG frames vary), and
//     the index marks sync points (every frame of a format without temporal compression) as
//     key frames;
//   - IFileSinkFilter2: SetFileName (only while stopped), GetCurFile, SetMode / GetMode with 0
//     or AM_FILE_OVERWRITE; SetFileName refuses, with CreateFileW's error, a name that cannot
//     be opened for writing (it opens the file to see, and deletes it again if it made it), so
//     SetOutputFileName refuses it as well;
//   - Stopped -> Paused opens the file: in overwrite mode truncated, otherwise written over
//     from its start; a file that cannot be opened then fails the Pause (and so the graph's
//     Run). Wine's graph does not undo such a Run: it leaves the filters that did pause paused
//     and itself stopped, so its Stop does nothing and its release never ends; stop each
//     filter (IBaseFilter::Stop) before releasing it;
//   - Stop completes the file (index, frame counts, sizes) and closes it, whatever order the
//     graph stops its filters in; Run after Stop writes it anew from its start;
//   - the stream's rate is 10000000 / AvgTimePerFrame of the connected format; frames arrive
//     as the source delivers them (a dropped frame shortens the file, it leaves no gap);
//   - the file stops growing at 1 GiB (the RIFF size limit of AVI 1.0 readers): later samples
//     are refused with E_FAIL.

#include <windows.h>

#include <guiddef.h>

// {BF87B6E1-8C27-11D0-B3F0-00AA003761C5}: the platform's capture graph builder class.
inline constexpr GUID CLSID_LmCaptureGraphBuilder2 = {
    0xbf87b6e1, 0x8c27, 0x11d0, {0xb3, 0xf0, 0x00, 0xaa, 0x00, 0x37, 0x61, 0xc5}};
// {7C23220E-55BB-11D3-8B16-00C04FB6BD3D}: the platform's WM ASF Writer.
inline constexpr GUID CLSID_LmWMAsfWriter = {
    0x7c23220e, 0x55bb, 0x11d3, {0x8b, 0x16, 0x00, 0xc0, 0x4f, 0xb6, 0xbd, 0x3d}};
// {3C1A4B52-1E6D-4F0B-9A5E-6C2B7D8E9F10}: class id the AVI File Writer reports (GetClassID).
inline constexpr GUID CLSID_LmAviFileWriter = {
    0x3c1a4b52, 0x1e6d, 0x4f0b, {0x9a, 0x5e, 0x6c, 0x2b, 0x7d, 0x8e, 0x9f, 0x10}};

inline constexpr wchar_t kLmAviFileWriterName[] = L"AVI File Writer";
inline constexpr wchar_t kLmAsfWriterName[] = L"WM ASF Writer";

// Largest file the AVI File Writer writes.
inline constexpr unsigned long long kLmAviMaxFileSize = 1ull << 30;
