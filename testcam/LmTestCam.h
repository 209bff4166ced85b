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
//          it: SOI, DQT, SOF0, DRI, SOS, scan, EOI, with no DHT segment (the scan uses the
//          standard Huffman tables of baseline JPEG, ITU-T T.81 K.3) and no APP segment. The
//          scan restarts after every row of minimum coded units (16 x 8 pixels, so 8 picture
//          rows): DRI gives the units of one row, and RST0 to RST7, in turn, end each row but
//          the last. Frames vary in length; biSizeImage (2 bytes per pixel) bounds them.
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
//
// Device identity: each camera's device key (Instance\{clsid} under the video input category's
// class key) holds a "DevicePath" of its own beside "FriendlyName" (the kLmTestCamera...
// DevicePath constants below), which the system device enumerator's property bag reads as it
// reads a real camera's.
//
// Cameras that fail: the controller (CLSID_LmTestCameraController, interface
// ILmTestCameraController below) makes the cameras of its own process behave as a device that
// is unplugged, hangs or fails. Create it in that process:
//   CoCreateInstance(CLSID_LmTestCameraController, nullptr, CLSCTX_INPROC_SERVER,
//                    IID_PPV_ARGS(&controller));
// Each call acts on every camera object (of the three variants) alive in the process when the
// call is made, from any thread, and answers S_OK when it acted on one or more, S_FALSE when
// none was alive. A camera created after the call is a working camera; one created or
// destroyed while the call runs waits for it (so it is acted on whole or not at all). The call
// takes each camera's lock only to change its flags and to send its event, and never waits for
// a streaming thread: a frame being delivered at that moment still arrives.
//   Unplug()       the device was removed: the camera stops delivering frames, sends
//                  EC_DEVICE_LOST through the event sink of the graph it is in (param1 the
//                  filter's IUnknown, param2 0), and from then on refuses Pause from Stopped
//                  and Run with HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED) (Stop works).
//   Stall(Stalled) TRUE: the camera stops delivering frames and says nothing, as a hung driver
//                  does; its state changes still work. FALSE: it delivers again.
//   Fail(Error)    the running stream fails: the camera stops delivering and sends
//                  EC_ERRORABORT with param1 Error (param2 0) to its graph; the next stream
//                  (Stop, then Pause or Run) delivers again. E_INVALIDARG when Error is no
//                  failure code.
//   Replug()       back to normal: an unplugged, stalled or failed camera delivers again while
//                  running, and an unplugged one still in a graph sends EC_DEVICE_LOST with
//                  param2 1 (the device is available again) to it.
// A camera without a graph changes its flags and sends nothing.
//
// Camera settings, as a camera driver offers them: QueryInterface on the camera filter (its
// IBaseFilter) answers IAMVideoProcAmp, and on the UVC camera IAMCameraControl as well.
//   "Lumora Test Camera (UVC)"   IAMVideoProcAmp with all ten properties
//                                (kLmTestCameraUvcVideoProcAmp below); IAMCameraControl with
//                                Pan, Tilt, Zoom, Exposure and Focus (kLmTestCameraUvcCameraControl),
//                                no Roll and no Iris.
//   the two other cameras        IAMVideoProcAmp with Brightness and Contrast only
//                                (kLmTestCameraRgbVideoProcAmp); no IAMCameraControl
//                                (E_NOINTERFACE).
// Each setting's range, step, default and auto value is an LmTestCameraSetting constant below;
// each setting has a range of its own, so that two settings mixed up show. Both interfaces
// answer alike:
//   GetRange  Min, Max, Step, Default and CapsFlags (..._Flags_Manual, with ..._Flags_Auto where
//             the setting can be auto).
//   Set       Flags ..._Flags_Manual: Value must lie within Min..Max (else E_INVALIDARG and
//             nothing changes); it is rounded to the nearest step counted from Min (halves
//             upward) and the setting is manual from then on. Flags ..._Flags_Auto: the setting
//             goes back to auto and Value is ignored; E_INVALIDARG where it cannot be auto.
//             Any other Flags: E_INVALIDARG.
//   Get       the value the camera applies now with ..._Flags_Manual, or, in auto mode, the
//             value the camera picked itself (AutoValue) with ..._Flags_Auto.
//   A property the camera lacks (or any other number) answers E_PROP_ID_UNSUPPORTED on all
//   three, a null pointer E_POINTER.
// The settings belong to the filter object and are not stored anywhere: a new object starts
// with every setting at its Default, in auto mode where it can be auto (white balance,
// exposure, focus). Set and Get may come from any thread while the camera streams; a change
// shows from the next frame on. The filter's property page shows the settings too (one row per
// setting: a slider, the value, an "Auto" box where the setting can be auto) and applies its
// changes through these interfaces on Apply or OK.
//
// What the settings do to the picture (the same in every format; at the defaults, auto
// exposure included, the picture and the frame rate are exactly those described above):
//   - Colour, below the counter rows: each bar's RGB value (255 or 0 per channel, c below)
//     goes through these steps in order; a step whose setting is at its Default is skipped.
//       1. Exposure E (the applied value; -6 in auto): c = min(255, c * 2^(E + 6)): one stop
//          per step, so -7 halves the bars and -8 quarters them; above -6 a full channel stays
//          at 255 (the sensor saturates).
//       2. Saturation S: c = Y + (c - Y) * S / 100, where Y = 0.299 R + 0.587 G + 0.114 B of
//          the bar after step 1 (BT.601 luma): 0 turns each bar into the grey of its luma.
//       3. Contrast C: c = 128 + (c - 128) * C / 32.
//       4. Brightness B: c = c + B.
//       5. Rounded to the nearest integer (halves away from zero), clamped to 0..255.
//     The resulting colour is then coded as the format codes every colour (YUY2, NV12 and
//     MJPG convert it to YCbCr as above).
//   - Zoom Z: on a bar row of a picture W pixels wide, column x shows column
//     u = W / 2 + floor((x - W / 2) * 100 / Z) of the unzoomed moving bars (W / 2 rounded
//     down), so the bars are Z / 100 times as wide, around the centre column. Bar edges then
//     fall on any column.
//   - Exposure and frame rate: an exposure lasts 2^E seconds (-6: 1/64 s, -2: 1/4 s). When it
//     is longer than the frame interval T, a frame takes n = ceil(2^E s / T) frame slots: the
//     camera delivers one frame every n slots, the sample spans n intervals (so sample times
//     stay whole frame intervals apart), and the counter and the bars still advance by one
//     frame per delivered frame. -4 (1/16 s) at 30 frames per second gives 15, -3 gives 7.5.
//   - The counter rows (rows 0..7: the cells and the grey) are drawn after every effect and
//     never change with a setting, so the counter reads the same at every setting.
//   - The other settings (hue, sharpness, gamma, colour enable, white balance, backlight
//     compensation, gain, pan, tilt, focus) are kept and reported but leave the picture as it is.

#include <windows.h>

#include <guiddef.h>
#include <strmif.h>
#include <unknwn.h>

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

// The controller of the cameras in the calling process (see above).
// {26D19DB9-6AA8-4C30-A5DC-29B73D9EF2B6}
inline constexpr GUID CLSID_LmTestCameraController = {
    0x26d19db9, 0x6aa8, 0x4c30, {0xa5, 0xdc, 0x29, 0xb7, 0x3d, 0x9e, 0xf2, 0xb6}};
// {B9EA5F91-30E3-483C-9138-1B928CA6D9A2}
inline constexpr GUID IID_ILmTestCameraController = {
    0xb9ea5f91, 0x30e3, 0x483c, {0x91, 0x38, 0x1b, 0x92, 0x8c, 0xa6, 0xd9, 0xa2}};

struct DECLSPEC_UUID("B9EA5F91-30E3-483C-9138-1B928CA6D9A2") DECLSPEC_NOVTABLE ILmTestCameraController
    : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Unplug() = 0;
  virtual HRESULT STDMETHODCALLTYPE Stall(BOOL Stalled) = 0;
  virtual HRESULT STDMETHODCALLTYPE Fail(HRESULT Error) = 0;
  virtual HRESULT STDMETHODCALLTYPE Replug() = 0;
};
#if defined(__MINGW32__)
__CRT_UUID_DECL(ILmTestCameraController, 0xb9ea5f91, 0x30e3, 0x483c, 0x91, 0x38, 0x1b, 0x92, 0x8c, 0xa6, 0xd9, 0xa2)
#endif

inline constexpr wchar_t kLmTestCameraName[] = L"Lumora Test Camera";
inline constexpr wchar_t kLmTestCameraPreviewName[] = L"Lumora Test Camera (Preview Pin)";
inline constexpr wchar_t kLmTestCameraUvcName[] = L"Lumora Test Camera (UVC)";

// The cameras' "DevicePath" values, in the form of a device interface's path.
inline constexpr wchar_t kLmTestCameraDevicePath[] =
    L"\\\\?\\root#lumora_test_camera#0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
inline constexpr wchar_t kLmTestCameraPreviewDevicePath[] =
    L"\\\\?\\root#lumora_test_camera#0001#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
inline constexpr wchar_t kLmTestCameraUvcDevicePath[] =
    L"\\\\?\\root#lumora_test_camera#0002#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";

// Frame counter layout in the picture (see above).
inline constexpr int kLmCounterBits = 16;
inline constexpr int kLmCounterCell = 8;

// Frame intervals, in 100 ns units: 60 (the UVC camera: 30) to 5 frames per second, 30 by
// default.
inline constexpr LONGLONG kLmMinFrameInterval = 166666;
inline constexpr LONGLONG kLmMaxFrameInterval = 2000000;
inline constexpr LONGLONG kLmDefaultFrameInterval = 333333;

// One setting of the camera, as IAMVideoProcAmp::GetRange or IAMCameraControl::GetRange reports
// it (see "Camera settings" above).
struct LmTestCameraSetting {
  LONG Property;   // a VideoProcAmpProperty or a CameraControlProperty
  LONG Min;
  LONG Max;
  LONG Step;
  LONG Default;
  LONG CapsFlags;  // ..._Flags_Manual, or ..._Flags_Auto | ..._Flags_Manual
  LONG AutoValue;  // what the camera applies in auto mode (Default where it cannot be auto)
};

// IAMVideoProcAmp (the flags of IAMCameraControl have the same values).
inline constexpr LONG kLmSettingManual = VideoProcAmp_Flags_Manual;
inline constexpr LONG kLmSettingAutoOrManual = VideoProcAmp_Flags_Auto | VideoProcAmp_Flags_Manual;
// In 8-bit levels, added to each channel.
inline constexpr LmTestCameraSetting kLmTestCameraBrightness = {
    VideoProcAmp_Brightness, -64, 64, 1, 0, kLmSettingManual, 0};
// Scales each channel's distance from 128 by Contrast / 32.
inline constexpr LmTestCameraSetting kLmTestCameraContrast = {
    VideoProcAmp_Contrast, 0, 95, 1, 32, kLmSettingManual, 32};
inline constexpr LmTestCameraSetting kLmTestCameraHue = {VideoProcAmp_Hue, -180, 180, 1, 0, kLmSettingManual, 0};
// In percent of the bars' colour.
inline constexpr LmTestCameraSetting kLmTestCameraSaturation = {
    VideoProcAmp_Saturation, 0, 200, 1, 100, kLmSettingManual, 100};
inline constexpr LmTestCameraSetting kLmTestCameraSharpness = {
    VideoProcAmp_Sharpness, 0, 7, 1, 2, kLmSettingManual, 2};
inline constexpr LmTestCameraSetting kLmTestCameraGamma = {VideoProcAmp_Gamma, 72, 500, 1, 100, kLmSettingManual, 100};
inline constexpr LmTestCameraSetting kLmTestCameraColorEnable = {
    VideoProcAmp_ColorEnable, 0, 1, 1, 1, kLmSettingManual, 1};
// In kelvin.
inline constexpr LmTestCameraSetting kLmTestCameraWhiteBalance = {
    VideoProcAmp_WhiteBalance, 2800, 6500, 10, 4600, kLmSettingAutoOrManual, 5200};
inline constexpr LmTestCameraSetting kLmTestCameraBacklightCompensation = {
    VideoProcAmp_BacklightCompensation, 0, 2, 1, 1, kLmSettingManual, 1};
inline constexpr LmTestCameraSetting kLmTestCameraGain = {VideoProcAmp_Gain, 0, 255, 1, 0, kLmSettingManual, 0};

// IAMCameraControl. Pan and tilt in degrees.
inline constexpr LmTestCameraSetting kLmTestCameraPan = {CameraControl_Pan, -36, 36, 2, 0, kLmSettingManual, 0};
inline constexpr LmTestCameraSetting kLmTestCameraTilt = {CameraControl_Tilt, -24, 24, 2, 0, kLmSettingManual, 0};
// Magnification in percent: 200 shows the middle half of the pattern across the whole width.
inline constexpr LmTestCameraSetting kLmTestCameraZoom = {
    CameraControl_Zoom, 100, 400, 1, 100, kLmSettingManual, 100};
// In log2 seconds: -6 is 1/64 s, shorter than the 1/60 s interval of the fastest rate.
inline constexpr LmTestCameraSetting kLmTestCameraExposure = {
    CameraControl_Exposure, -11, -2, 1, -6, kLmSettingAutoOrManual, -6};
// In the device's own units, as USB cameras report focus.
inline constexpr LmTestCameraSetting kLmTestCameraFocus = {
    CameraControl_Focus, 0, 250, 5, 0, kLmSettingAutoOrManual, 40};

// The settings of each camera, in the order of the interface's property numbers.
inline constexpr LmTestCameraSetting kLmTestCameraUvcVideoProcAmp[] = {
    kLmTestCameraBrightness, kLmTestCameraContrast,    kLmTestCameraHue,
    kLmTestCameraSaturation, kLmTestCameraSharpness,   kLmTestCameraGamma,
    kLmTestCameraColorEnable, kLmTestCameraWhiteBalance, kLmTestCameraBacklightCompensation,
    kLmTestCameraGain};
inline constexpr LmTestCameraSetting kLmTestCameraUvcCameraControl[] = {
    kLmTestCameraPan, kLmTestCameraTilt, kLmTestCameraZoom, kLmTestCameraExposure, kLmTestCameraFocus};
inline constexpr LmTestCameraSetting kLmTestCameraRgbVideoProcAmp[] = {kLmTestCameraBrightness, kLmTestCameraContrast};
