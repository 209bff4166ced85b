#pragma once

// The Lumora test camera: a DirectShow video capture source that needs no hardware.
//
// LmTestCam.dll is an in-process COM server. `regsvr32 LmTestCam.dll` lists three devices in
// the video input category (CLSID_VideoInputDeviceCategory), so the system device enumerator
// shows them next to real cameras and BindToObject creates them:
//
//   "Lumora Test Camera"               one output pin "Capture" (PIN_CATEGORY_CAPTURE)
//   "Lumora Test Camera (Preview Pin)" the same, plus a pin "Preview" (PIN_CATEGORY_PREVIEW)
//   "Lumora Test Camera (UVC)"         one pin "Capture", with the formats of a typical USB
//                                      camera
//
// Formats (IAMStreamConfig::GetStreamCaps, in this order; FORMAT_VideoInfo unless said):
//   the first two cameras, RGB24 at 5 to 60 frames per second:
//     160 x 120 (the default), 320 x 240, 640 x 480, 1280 x 720, 162 x 120 (rows padded:
//     162 * 3 is not a multiple of 4), 320 x 240 with FORMAT_VideoInfo2;
//   the UVC camera, at 5 to 30 frames per second unless said:
//     YUY2 160 x 120 (the default), 320 x 240, 640 x 480, and 1280 x 720 at 5 to 10;
//     MJPG 640 x 480, 1280 x 720, 1920 x 1080;
//     NV12 640 x 480, 1280 x 720.
// A type's default rate is 30 frames per second, or its highest where that is lower.
//
// How frames are coded:
//   RGB24  a bottom-up DIB: the first row of the picture is the LAST row of the buffer; rows
//          are padded to a multiple of 4 bytes.
//   YUY2   top-down, Y0 U Y1 V for each two pixels; BT.601 with limited range (Y 16..235).
//   NV12   top-down, a Y plane, then one row of U, V pairs for every two picture rows (the
//          upper row's colour); BT.601 limited range.
//   MJPG   baseline JPEG, YCbCr 4:2:2 with JFIF colours (BT.601, full range), as cameras send
//          it: SOI, DQT, SOF0, SOS, scan, EOI, with no DHT segment (the scan uses the standard
//          Huffman tables of the JPEG specification's annex K.3) and no APP segment. Frames vary
//          in length; biSizeImage (2 bytes per pixel) bounds them.
//
// The picture, the same in every format (as shown, top row first):
//   - colour bars, each one eighth of the width, left to right: white (255, 255, 255), yellow
//     (255, 255, 0), cyan (0, 255, 255), green (0, 255, 0), magenta (255, 0, 255), red (255, 0,
//     0), blue (0, 0, 255), black (0, 0, 0) (RGB); they move 4 pixels to the right on every
//     frame, wrapping around;
//   - the frame counter in the top-left corner: 16 cells of 8 x 8 pixels on picture rows 0..7,
//     columns 0..127, most significant bit first (columns 0..7 hold bit 15). A set bit is a
//     white cell, a clear bit a black cell. The rest of rows 0..7 is mid grey (128, 128, 128).
//     Read the centre pixel of each cell: in RGB24 and after YUY2 or NV12 to RGB conversion it
//     is exactly white or black; after JPEG decoding it is within a few steps of them, so a
//     reader takes a cell with all three channels at 200 or more as 1, at 55 or less as 0.
//     Cells and bar edges fall on even columns and the counter rows on whole chroma rows and
//     JPEG blocks, so no cell shares chroma or a block with another colour.
//   - the counter counts the frames that the pin delivered since the stream started (0 for the
//     first frame after Stop -> Run), modulo 65536; it keeps counting through Pause. A frame
//     dropped because every buffer was still downstream is not counted; its time slot is
//     skipped, so sample times stay whole frame intervals apart.
//
// IAMStreamConfig::SetFormat (while stopped) takes any offered type at an allowed rate; from
// then on the pin's EnumMediaTypes lists that type alone and a connection accepts no other
// type (nor another rate). A connected pin reconnects through the graph with the new type.

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

// {7B0C8E5D-2F61-4A93-B8D4-5C3E91A07F26}
inline constexpr GUID CLSID_LmTestCameraUvc = {
    0x7b0c8e5d, 0x2f61, 0x4a93, {0xb8, 0xd4, 0x5c, 0x3e, 0x91, 0xa0, 0x7f, 0x26}};

inline constexpr wchar_t kLmTestCameraName[] = L"Lumora Test Camera";
inline constexpr wchar_t kLmTestCameraPreviewName[] = L"Lumora Test Camera (Preview Pin)";
inline constexpr wchar_t kLmTestCameraUvcName[] = L"Lumora Test Camera (UVC)";

// Frame counter layout in the picture (see above).
inline constexpr int kLmCounterBits = 16;
inline constexpr int kLmCounterCell = 8;

// Frame intervals, in 100 ns units: 60 (the UVC camera: 30) to 5 frames per second, 30 by
// default.
inline constexpr LONGLONG kLmMinFrameInterval = 166666;
inline constexpr LONGLONG kLmMaxFrameInterval = 2000000;
inline constexpr LONGLONG kLmDefaultFrameInterval = 333333;
