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
//     from its start; a file that cannot be opened (or whose headers cannot be written) then
//     fails the Pause (and so the graph's Run). Wine's graph does not undo such a Run: it
//     leaves the filters that did pause paused and itself stopped, so its Stop does nothing and
//     its release never ends; stop each filter (IBaseFilter::Stop) before releasing it;
//   - the headers written when the file is opened are those of a file still being written:
//     the RIFF and "movi" sizes 0 (to the end of the file), no index flag, no frame count, so
//     that a reader scans the frames of a file that was never completed;
//   - Stop completes the file (index, frame counts, sizes) and closes it, whatever order the
//     graph stops its filters in, and answers the failure of those finishing writes, if any;
//     Run after Stop writes it anew from its start;
//   - the stream's rate is 10000000 / AvgTimePerFrame of the connected format; frames arrive
//     as the source delivers them (a dropped frame shortens the file, it leaves no gap);
//   - a frame that cannot be written fails Receive with the failure, as a renderer does: a
//     write that fails with its Win32 error (HRESULT_FROM_WIN32), and E_FAIL once the file
//     would grow past 1 GiB (the RIFF size limit of AVI 1.0 readers). The first such failure
//     of a file is sent to the graph as EC_ERRORABORT with the HRESULT as param1 (param2 0);
//     later frames fail the same way without another event. What was written before stays
//     readable (see the headers above);
//   - a frame being written (Receive) holds up only what needs the file: Stop, which waits for
//     it and completes the file, and Pause from Stopped, which opens it. GetState, Pause and
//     Run between Paused and Running, ConnectedTo and the other questions answer meanwhile;
//   - no C++ exception leaves a method of the builder or the writer: running out of memory
//     (the index grows with every frame) answers E_OUTOFMEMORY, anything else E_FAIL.
//
// A full disk, for tests of a recording whose file cannot be written: the writer's interface
// ILmAviWriterDiskFull (below), reached by QueryInterface on the writer (the filter that
// SetOutputFileName hands out, or the one a test finds in the graph by kLmAviFileWriterName).
//   FailWritesAfter(Bytes)  from the call on, a write to the file that would take the bytes
//                           written to it since it was opened past Bytes writes nothing and
//                           fails with HRESULT_FROM_WIN32(ERROR_DISK_FULL), as on a full disk,
//                           and so does every later write to that file: frames (Receive and
//                           EC_ERRORABORT, as above), the index and the final headers (Stop).
//                           It holds for the file open at the call and for every file opened
//                           later, each counted from its opening (headers included), until it
//                           is called again; kLmAviWriteUnlimited turns it off. S_OK.

#include <windows.h>

#include <guiddef.h>
#include <unknwn.h>

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

// The writer's full-disk switch (see above).
// {5E0B7C43-9A1D-4F6E-8B52-3D7A0E91C6F4}
inline constexpr GUID IID_ILmAviWriterDiskFull = {
    0x5e0b7c43, 0x9a1d, 0x4f6e, {0x8b, 0x52, 0x3d, 0x7a, 0x0e, 0x91, 0xc6, 0xf4}};

struct DECLSPEC_UUID("5E0B7C43-9A1D-4F6E-8B52-3D7A0E91C6F4") DECLSPEC_NOVTABLE ILmAviWriterDiskFull
    : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE FailWritesAfter(ULONGLONG Bytes) = 0;
};
#if defined(__MINGW32__)
__CRT_UUID_DECL(ILmAviWriterDiskFull, 0x5e0b7c43, 0x9a1d, 0x4f6e, 0x8b, 0x52, 0x3d, 0x7a, 0x0e, 0x91, 0xc6, 0xf4)
#endif

// FailWritesAfter's value for no limit.
inline constexpr ULONGLONG kLmAviWriteUnlimited = ~0ull;
