#pragma once

// The Lumora test camera: a DirectShow video capture source that needs no hardware.
//
// LmTestCam.dll is an in-process COM server. `regsvr32 LmTestCam.dll` lists two devices in the
// video input category (CLSID_VideoInputDeviceCategory), so the system device enumerator
// shows them next to real cameras and BindToObject creates them:
//
//   "Lumora Test Camera"              one output pin "Capture" (PIN_CATEGORY_CAPTURE)
//   "Lumora Test Camera (Preview Pin)" the same, plus a pin "Preview" (PIN_CATEGORY_PREVIEW)
//
// Every pin offers RGB24 frames (IAMStreamConfig), see LmTestCamFormats below.
//
// The picture, as shown (the sample holds a bottom-up DIB: the first row of the picture is the
// LAST row of the buffer; rows are padded to a multiple of 4 bytes):
//   - colour bars (white, yellow, cyan, green, magenta, red, blue, black), each one eighth of
//     the width, moving 4 pixels to the right on every frame;
//   - the frame counter in the top-left corner: 16 cells of 8 x 8 pixels on picture rows 0..7,
//     columns 0..127, most significant bit first (column 0..7 holds bit 15). A set bit is a
//     white cell (255, 255, 255), a clear bit a black cell (0, 0, 0). The rest of rows 0..7
//     is mid grey (128, 128, 128). Read the centre pixel of each cell to decode the counter.
//   - the counter counts the frames that the pin delivered since the stream started (0 for the
//     first frame after Stop -> Run), modulo 65536; it keeps counting through Pause. A frame
//     dropped because every buffer was still downstream is not counted; its time slot is
//     skipped, so sample times stay whole frame intervals apart.

#include <windows.h>

#include <guiddef.h>

// {18F920AE-C475-4E54-939C-D77259E8412C}
inline constexpr GUID CLSID_LmTestCamera = {
    0x18f920ae, 0xc475, 0x4e54, {0x93, 0x9c, 0xd7, 0x72, 0x59, 0xe8, 0x41, 0x2c}};
// {292E3732-4B9D-42CB-8EFE-B61D0C13E230}
inline constexpr GUID CLSID_LmTestCameraPreview = {
    0x292e3732, 0x4b9d, 0x42cb, {0x8e, 0xfe, 0xb6, 0x1d, 0x0c, 0x13, 0xe2, 0x30}};
// Property page of the filter (device information).
// {60BD60A9-5DFB-4CDF-BEB6-E4A13E983C32}
inline constexpr GUID CLSID_LmTestCameraPropertyPage = {
    0x60bd60a9, 0x5dfb, 0x4cdf, {0xbe, 0xb6, 0xe4, 0xa1, 0x3e, 0x98, 0x3c, 0x32}};
// Property page of a pin (stream format, applied through IAMStreamConfig::SetFormat).
// {62C724F1-4E51-4900-AC6F-1E9345DBCE57}
inline constexpr GUID CLSID_LmTestCameraFormatPage = {
    0x62c724f1, 0x4e51, 0x4900, {0xac, 0x6f, 0x1e, 0x93, 0x45, 0xdb, 0xce, 0x57}};

inline constexpr wchar_t kLmTestCameraName[] = L"Lumora Test Camera";
inline constexpr wchar_t kLmTestCameraPreviewName[] = L"Lumora Test Camera (Preview Pin)";

// Frame counter layout in the picture (see above).
inline constexpr int kLmCounterBits = 16;
inline constexpr int kLmCounterCell = 8;

// Frame intervals, in 100 ns units: 60 to 5 frames per second, 30 by default.
inline constexpr LONGLONG kLmMinFrameInterval = 166666;
inline constexpr LONGLONG kLmMaxFrameInterval = 2000000;
inline constexpr LONGLONG kLmDefaultFrameInterval = 333333;
