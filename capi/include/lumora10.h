/*
 * lumora10.h: the C interface of the Lumora10 camera components (lumora10.dll).
 *
 * Live preview, recording and playback controls for any Windows compiler and language: C (C99
 * and later) and C++, MSVC, clang-cl, clang and GCC, and every language that calls C functions
 * of a DLL. docs/c-api.md describes each function.
 *
 * Conventions
 *  - Every name declared here starts with Lm10 (functions, types) or LM10_ (macros, constants).
 *  - Every function uses the LM10_CALL calling convention and returns an Lm10Result: LM10_OK (0)
 *    on success, else an LM10_ERR_... code. Values come back through pointers.
 *  - Bad input never crashes: a null, destroyed or never-created control, a control of another
 *    kind or of another thread, a null pointer or an unknown enumeration value gives
 *    LM10_ERR_INVALID_ARGUMENT; a buffer too small for a string gives LM10_ERR_BUFFER_TOO_SMALL.
 *    A refused call changes nothing.
 *  - Strings are UTF-16 (wchar_t). Strings in are const wchar_t*, zero-terminated. A string out
 *    is written to the caller's buffer of `capacity` characters; `needed` (may be NULL) receives
 *    the characters the whole string takes, its terminator included. A buffer too small is left
 *    as it was (LM10_ERR_BUFFER_TOO_SMALL); a NULL buffer with capacity 0 asks for `needed`
 *    alone. The library never hands out memory the caller must free, except a snapshot that
 *    a callback keeps (an HGLOBAL, freed with GlobalFree or Lm10FreeSnapshot).
 *
 * Threads and COM
 *  - A control belongs to the thread that created it: call its functions there only (another
 *    thread gets LM10_ERR_INVALID_ARGUMENT), and keep that thread's message loop running. The
 *    application initialises COM on that thread (CoInitializeEx, apartment-threaded) before it
 *    creates a control; the library never initialises COM. The free functions need COM on the
 *    calling thread too.
 *  - Events are raised on the control's thread from its message loop, never from inside a call
 *    of this interface; the one exception is the frame callback in LM10_FRAME_DIRECT delivery,
 *    on DirectShow's streaming thread. A handler may call the control's functions, but not
 *    Lm10Destroy on it (LM10_ERR_WRONG_STATE).
 *
 * Lifetimes
 *  - A control lives from its Lm10...Create until Lm10Destroy; the handle is invalid afterwards
 *    and is never given to another control.
 *
 * ABI rules
 *  - A structure that may grow carries its size as its first field: the caller sets it to
 *    sizeof the structure it was compiled with, and the library fills that much.
 *  - A function, once shipped in a 1.x release, keeps its name and signature; new functions and
 *    constants are added beside the old ones. Lm10GetVersion tells the version of the DLL that
 *    was loaded.
 */
#ifndef LM10_LUMORA10_H
#define LM10_LUMORA10_H

#include <windows.h>

/* The version of the package this header belongs to. */
#define LM10_VERSION_MAJOR 1
#define LM10_VERSION_MINOR 0
#define LM10_VERSION_PATCH 0

/* The calling convention of every function and callback (__stdcall; the same as __cdecl on
   x64, where the library is built). */
#define LM10_CALL __stdcall

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Results ---- */

typedef INT32 Lm10Result;

#define LM10_OK 0
#define LM10_ERR_GRAPH_FAILED 2          /* a DirectShow operation failed (also: out of memory) */
#define LM10_ERR_NO_SNAPSHOT_STREAM 4    /* the graph has no snapshot stream */
#define LM10_ERR_OUT_OF_RANGE 5          /* an argument is out of range */
#define LM10_ERR_WRONG_STATE 11          /* not allowed in the current state */
#define LM10_ERR_CORE_NOT_BOUND 14       /* the core library's image functions are not bound */
#define LM10_ERR_PLAYBACK_GRAPH 20       /* no playback graph could be built for the file */
#define LM10_ERR_INACTIVE 201            /* the multimedia runtime was not found */
#define LM10_ERR_NO_DEVICE 202           /* no video capture device, or the index names none */
#define LM10_ERR_BUILD_GRAPH 203         /* building the media graph failed */
#define LM10_ERR_DEVICE_LOST 204         /* the open device was removed, or its stream failed */
#define LM10_ERR_NOT_SUPPORTED 205       /* the device does not offer this setting */
#define LM10_ERR_FILE_WRITE 206          /* the output file could not be written */
#define LM10_ERR_INVALID_ARGUMENT 207    /* an invalid control, pointer or value */
#define LM10_ERR_BUFFER_TOO_SMALL 208    /* a buffer too small for the string */

/* ---- Values ---- */

/* How Lm10Start places the picture. */
#define LM10_MODE_SCALE 0     /* native size, centred; shrunk with its aspect ratio kept if too large */
#define LM10_MODE_STRETCH 1   /* covers the whole area inside the frame */

/* A control's state (Lm10GetState). */
#define LM10_STATE_CLOSED 1
#define LM10_STATE_OPEN 2
#define LM10_STATE_RUNNING 6
#define LM10_STATE_PAUSED 18
#define LM10_STATE_STOPPED 258

/* The frame drawn around the picture (Lm10SetAppearance). */
#define LM10_APPEARANCE_FLAT 0      /* a 1-pixel line in the border colour */
#define LM10_APPEARANCE_LOWERED 1   /* a 2-pixel sunken edge */
#define LM10_APPEARANCE_RAISED 2    /* a 2-pixel raised edge */

/* The type of file a recorder writes (Lm10RecorderSetFileFormat). */
#define LM10_FILE_AVI 0
#define LM10_FILE_ASF 1

/* A camera's image and camera settings (Lm10GetCameraSetting, ...): the device's video processing
   amplifier's (IAMVideoProcAmp), then its camera control's (IAMCameraControl), in those
   interfaces' order. */
#define LM10_SETTING_BRIGHTNESS 0
#define LM10_SETTING_CONTRAST 1
#define LM10_SETTING_HUE 2
#define LM10_SETTING_SATURATION 3
#define LM10_SETTING_SHARPNESS 4
#define LM10_SETTING_GAMMA 5
#define LM10_SETTING_COLOR_ENABLE 6
#define LM10_SETTING_WHITE_BALANCE 7
#define LM10_SETTING_BACKLIGHT_COMPENSATION 8
#define LM10_SETTING_GAIN 9
#define LM10_SETTING_PAN 10
#define LM10_SETTING_TILT 11
#define LM10_SETTING_ROLL 12
#define LM10_SETTING_ZOOM 13
#define LM10_SETTING_EXPOSURE 14
#define LM10_SETTING_IRIS 15
#define LM10_SETTING_FOCUS 16

/* How frames reach the frame callback (Lm10SetFrameDelivery): the newest one on the control's
   thread from its message loop, as every other event (at most one waits; a newer one replaces
   it and counts in Dropped); or every frame on DirectShow's streaming thread, during which the
   callback must not call the interface nor wait for the control's thread. */
#define LM10_FRAME_LATEST 0
#define LM10_FRAME_DIRECT 1

/* What the frames look like (Lm10SetFrameFormat): as the camera or decoder sends them, or
   converted to 24-bit or 32-bit RGB (blue, green, red[, 255]), top-down. */
#define LM10_FRAME_NATIVE 0
#define LM10_FRAME_RGB24 1
#define LM10_FRAME_RGB32 2

/* Colours: an RGB value 0x00BBGGRR (the RGB macro), or LM10_COLOR_SYSTEM | COLOR_x for a
   system colour. */
#define LM10_COLOR_SYSTEM ((INT32)0x80000000)

/* Cursors over the control (Lm10SetCursor): the built-in cursors, 0 the control's default. */
#define LM10_CURSOR_DEFAULT 0
#define LM10_CURSOR_NONE (-1)
#define LM10_CURSOR_ARROW (-2)
#define LM10_CURSOR_CROSS (-3)
#define LM10_CURSOR_IBEAM (-4)
#define LM10_CURSOR_SIZE_NESW (-6)
#define LM10_CURSOR_SIZE_NS (-7)
#define LM10_CURSOR_SIZE_NWSE (-8)
#define LM10_CURSOR_SIZE_WE (-9)
#define LM10_CURSOR_UP_ARROW (-10)
#define LM10_CURSOR_HOURGLASS (-11)
#define LM10_CURSOR_DRAG (-12)
#define LM10_CURSOR_NO_DROP (-13)
#define LM10_CURSOR_HSPLIT (-14)
#define LM10_CURSOR_VSPLIT (-15)
#define LM10_CURSOR_MULTI_DRAG (-16)
#define LM10_CURSOR_SQL_WAIT (-17)
#define LM10_CURSOR_NO (-18)
#define LM10_CURSOR_APP_START (-19)
#define LM10_CURSOR_HELP (-20)
#define LM10_CURSOR_HAND_POINT (-21)
#define LM10_CURSOR_SIZE_ALL (-22)

/* ---- Types ---- */

/* COM's IUnknown, which <windows.h> declares unless WIN32_LEAN_AND_MEAN leaves OLE out. */
struct IUnknown;

/* A control: a preview, a recorder or a player. Opaque. */
typedef struct Lm10ControlTag* Lm10Control;

/* The format properties of a camera control (Lm10GetVideoFormat): the current format, or the
   entry last loaded with Lm10GetStreamFormat. Set Size to sizeof(Lm10VideoFormat). */
typedef struct Lm10VideoFormat {
  UINT32 Size;
  SIZE VideoSize;            /* frame width and height in pixels */
  GUID SubType;              /* pixel format: MEDIASUBTYPE_RGB24, ... (Lm10VideoSubTypeName) */
  double FrameRate;          /* frames per second */
  double MinimumFrameRate;
  double MaximumFrameRate;
  UINT32 BitCount;           /* bits per pixel */
  UINT32 Compression;        /* 0 for uncompressed RGB, else a FOURCC */
  UINT32 BitRate;            /* bits per second (the recorder's; 0 for a preview) */
  UINT32 MinimumBitRate;
  UINT32 MaximumBitRate;
} Lm10VideoFormat;

/* What a device reports for one setting (Lm10GetCameraSettingRange): Min to Max, both included,
   in steps of Step from Min; the default value; whether the device can choose the value itself
   (auto) and whether it can be set by hand. Set Size to sizeof(Lm10CameraSettingRange). */
typedef struct Lm10CameraSettingRange {
  UINT32 Size;
  INT32 Min;
  INT32 Max;
  INT32 Step;
  INT32 Default;
  BOOL CanAuto;
  BOOL CanManual;
} Lm10CameraSettingRange;

/* One frame, lent to the frame callback for the duration of the call (copy what is kept). The
   library sets Size to the size of the structure it fills; read only the fields it covers.
     Data, Bytes    the picture: RGB frames top-down (Data at the top row, a positive Stride);
                    native frames as the sample holds them: packed formats with the row pitch as
                    Stride, planar ones with the Y plane's pitch and the chroma planes where the
                    format puts them, bottom-up RGB with Data at the top row and a negative
                    Stride, MJPG with Stride 0 and Bytes the frame's length.
     Width, Height  the picture's size in pixels.
     SubType        MEDIASUBTYPE_RGB24 or _RGB32 for converted frames, else the stream's own.
     Number         the frame's position among the frames received since the start (0-based;
                    frames the library dropped count).
     SampleTime     the sample's start time in 100-ns units of stream time, or -1 without one.
     ArrivalTime    when the library received it, in 100-ns units of QueryPerformanceCounter.
     Dropped        frames received and not delivered since the previous delivered one. */
typedef struct Lm10Frame {
  UINT32 Size;
  const BYTE* Data;
  UINT32 Bytes;
  INT32 Width;
  INT32 Height;
  INT32 Stride;
  GUID SubType;
  UINT64 Number;
  INT64 SampleTime;
  INT64 ArrivalTime;
  UINT32 Dropped;
} Lm10Frame;

/* An event without arguments: OnDeviceLost, OnVideoDevicesChange, OnRecordError, OnEnd. */
typedef void(LM10_CALL* Lm10NotifyCallback)(Lm10Control control, void* context);

/* A snapshot: image is a movable global block holding a packed 24-bit DIB (BITMAPINFOHEADER,
   then the pixel rows bottom-up). *freeMemory is TRUE: the library frees the block when the
   callback returns. Set it to FALSE to keep the block, and free it later with GlobalFree or
   Lm10FreeSnapshot. */
typedef void(LM10_CALL* Lm10SnapshotCallback)(Lm10Control control, HGLOBAL image, BOOL* freeMemory,
                                              void* context);

/* ---- The library ---- */

/* The version of the package the loaded lumora10.dll belongs to (1, 0, 0), to compare with
   LM10_VERSION_MAJOR and LM10_VERSION_MINOR. */
Lm10Result LM10_CALL Lm10GetVersion(INT32* major, INT32* minor, INT32* patch);
/* A short English text for an Lm10Result ("the output file could not be written"). */
Lm10Result LM10_CALL Lm10GetErrorText(Lm10Result code, wchar_t* buffer, UINT32 capacity, UINT32* needed);
/* Shows the library's version box modally. */
Lm10Result LM10_CALL Lm10ShowAbout(void);
/* Frees a snapshot block that a snapshot callback kept. */
Lm10Result LM10_CALL Lm10FreeSnapshot(HGLOBAL image);
/* A pixel format's short name ("RGB24", "YUY2", "MJPG", ...; the GUID's text for others). */
Lm10Result LM10_CALL Lm10VideoSubTypeName(const GUID* subType, wchar_t* buffer, UINT32 capacity,
                                          UINT32* needed);

/* ---- Devices, without a control ---- */

/* The devices of a category that have a name; *count receives how many. `category` NULL means
   the video capture devices (CLSID_VideoInputDeviceCategory), here and below. */
Lm10Result LM10_CALL Lm10GetDeviceCount(const GUID* category, INT32* count);
/* Device `index` (0 to count - 1) of the category: its friendly name and its identity (its
   "DevicePath", or its moniker's display name). */
Lm10Result LM10_CALL Lm10GetDevice(const GUID* category, INT32 index, wchar_t* name, UINT32 nameCapacity,
                                   UINT32* nameNeeded, wchar_t* path, UINT32 pathCapacity, UINT32* pathNeeded);
/* Binds device `index`, or the device whose identity is `path`, to its DirectShow filter for an
   application that builds its own graph: *filter receives an IBaseFilter as IUnknown, which the
   caller releases. LM10_ERR_NO_DEVICE when there is no such device or it cannot be bound. */
Lm10Result LM10_CALL Lm10BindDevice(const GUID* category, INT32 index, struct IUnknown** filter);
Lm10Result LM10_CALL Lm10BindDevicePath(const GUID* category, const wchar_t* path, struct IUnknown** filter);
/* Shows a DirectShow filter's own property pages modally, owned by `owner` (may be NULL).
   LM10_ERR_GRAPH_FAILED when it has none. */
Lm10Result LM10_CALL Lm10ShowFilterPages(struct IUnknown* filter, HWND owner);

/* ---- Every control ---- */

/* Create a control as a child window of `parent`, a window of the calling thread, at 100 x 100
   pixels. */
Lm10Result LM10_CALL Lm10PreviewCreate(HWND parent, Lm10Control* control);
Lm10Result LM10_CALL Lm10RecorderCreate(HWND parent, Lm10Control* control);
Lm10Result LM10_CALL Lm10PlayerCreate(HWND parent, Lm10Control* control);
/* Closes the control, destroys it and its window; the handle is invalid afterwards. Refused
   (LM10_ERR_WRONG_STATE) from the control's own callbacks, and while another call on it runs
   (from a window procedure that a dialog of that call dispatches to, say). */
Lm10Result LM10_CALL Lm10Destroy(Lm10Control control);

/* Places the control in another window of its thread (after the old one was destroyed, say). */
Lm10Result LM10_CALL Lm10SetParentWindow(Lm10Control control, HWND parent);
/* The control's own window. */
Lm10Result LM10_CALL Lm10GetWindow(Lm10Control control, HWND* window);
Lm10Result LM10_CALL Lm10SetBounds(Lm10Control control, INT32 left, INT32 top, INT32 width, INT32 height);
Lm10Result LM10_CALL Lm10GetBounds(Lm10Control control, INT32* left, INT32* top, INT32* width, INT32* height);
/* The colour of the area the picture does not cover (and of the video window's background). */
Lm10Result LM10_CALL Lm10SetColor(Lm10Control control, INT32 color);
Lm10Result LM10_CALL Lm10GetColor(Lm10Control control, INT32* color);
/* The cursor over the control and its picture: an LM10_CURSOR_... value. */
Lm10Result LM10_CALL Lm10SetCursor(Lm10Control control, INT32 cursor);
Lm10Result LM10_CALL Lm10GetCursor(Lm10Control control, INT32* cursor);
Lm10Result LM10_CALL Lm10SetAppearance(Lm10Control control, INT32 appearance);
Lm10Result LM10_CALL Lm10GetAppearance(Lm10Control control, INT32* appearance);
Lm10Result LM10_CALL Lm10SetBorderColor(Lm10Control control, INT32 color);
Lm10Result LM10_CALL Lm10GetBorderColor(Lm10Control control, INT32* color);
Lm10Result LM10_CALL Lm10SetBorderVisible(Lm10Control control, BOOL visible);
Lm10Result LM10_CALL Lm10GetBorderVisible(Lm10Control control, BOOL* visible);

/* An LM10_STATE_... value. */
Lm10Result LM10_CALL Lm10GetState(Lm10Control control, INT32* state);
/* The code the control's last operation left (LM10_ERR_DEVICE_LOST after a loss, say). */
Lm10Result LM10_CALL Lm10GetErrorStatus(Lm10Control control, INT32* status);
/* Frame size of the current format (camera controls) or of the file (player); 0 x 0 closed. */
Lm10Result LM10_CALL Lm10GetVideoSize(Lm10Control control, SIZE* size);

/* Shows the picture in `mode` (LM10_MODE_...) and runs; a player plays at normal speed. */
Lm10Result LM10_CALL Lm10Start(Lm10Control control, INT32 mode);
/* Pauses a running control, or runs a paused one again. */
Lm10Result LM10_CALL Lm10Pause(Lm10Control control);
/* Stops and hides the picture; Lm10Start runs again. */
Lm10Result LM10_CALL Lm10Stop(Lm10Control control);
/* Stops and releases the graph (and the device). */
Lm10Result LM10_CALL Lm10Close(Lm10Control control);
/* Shows the library's version box modally. */
Lm10Result LM10_CALL Lm10About(Lm10Control control);

/* ---- Snapshots: preview and player ---- */

/* Asks for the next frame as a still image, delivered to the snapshot callback. */
Lm10Result LM10_CALL Lm10TakeSnapshot(Lm10Control control);
/* Sets the snapshot callback (NULL: none; a snapshot is then freed at once). */
Lm10Result LM10_CALL Lm10SetOnSnapshot(Lm10Control control, Lm10SnapshotCallback callback, void* context);

/* ---- The frame stream: preview and player ---- */

/* The frame callback: every frame (LM10_FRAME_DIRECT) or the newest one (LM10_FRAME_LATEST)
   while the control runs. NULL: no callback, and no cost. A callback may be replaced while the
   control runs; a direct call in flight finishes with the old callback and context, so keep
   the old context until Lm10Stop, Lm10Close or Lm10Destroy has returned. */
typedef void(LM10_CALL* Lm10FrameCallback)(Lm10Control control, const Lm10Frame* frame, void* context);
Lm10Result LM10_CALL Lm10SetOnFrame(Lm10Control control, Lm10FrameCallback callback, void* context);
/* How frames are delivered (LM10_FRAME_LATEST, the default, or LM10_FRAME_DIRECT) and what they
   look like (LM10_FRAME_NATIVE, LM10_FRAME_RGB24, the default, or LM10_FRAME_RGB32); both take
   effect at the next Lm10Start. */
Lm10Result LM10_CALL Lm10SetFrameDelivery(Lm10Control control, INT32 delivery);
Lm10Result LM10_CALL Lm10GetFrameDelivery(Lm10Control control, INT32* delivery);
Lm10Result LM10_CALL Lm10SetFrameFormat(Lm10Control control, INT32 format);
Lm10Result LM10_CALL Lm10GetFrameFormat(Lm10Control control, INT32* format);

/* ---- Camera controls: preview and recorder ---- */

/* Lists the video capture devices again; *count receives how many there are. */
Lm10Result LM10_CALL Lm10GetVideoDevices(Lm10Control control, INT32* count);
/* The lines of the control's device list, as last filled (Lm10GetVideoDevices, creation,
   device changes): an index into it is what Lm10PreviewOpen and Lm10RecorderOpen take. */
Lm10Result LM10_CALL Lm10GetVideoDeviceCount(Lm10Control control, INT32* count);
/* Line `index` of the list: the device's name and its identity, which stays the device's while
   the list's order changes (open it again with Lm10PreviewOpenDevice). */
Lm10Result LM10_CALL Lm10GetVideoDevice(Lm10Control control, INT32 index, wchar_t* name, UINT32 nameCapacity,
                                        UINT32* nameNeeded, wchar_t* path, UINT32 pathCapacity,
                                        UINT32* pathNeeded);
/* Opens the device at `index` of the list, or the device whose identity is `path`, and builds
   the graph, stopped and hidden. */
Lm10Result LM10_CALL Lm10PreviewOpen(Lm10Control control, INT32 index);
Lm10Result LM10_CALL Lm10PreviewOpenDevice(Lm10Control control, const wchar_t* path);
/* The same, writing the recording into `fileName` (overwritten, shorter than 260 characters). */
Lm10Result LM10_CALL Lm10RecorderOpen(Lm10Control control, const wchar_t* fileName, INT32 index);
Lm10Result LM10_CALL Lm10RecorderOpenDevice(Lm10Control control, const wchar_t* fileName, const wchar_t* path);

/* The device's formats: how many there are; loading entry `index` into the format properties
   (-1: the selected one); selecting entry `index` and applying it with the rate set by
   Lm10SetFrameRate (and the recorder's bit rate). */
Lm10Result LM10_CALL Lm10GetStreamFormats(Lm10Control control, INT32* count);
Lm10Result LM10_CALL Lm10GetStreamFormat(Lm10Control control, INT32 index);
Lm10Result LM10_CALL Lm10SetStreamFormat(Lm10Control control, INT32 index);
/* The format properties. */
Lm10Result LM10_CALL Lm10GetVideoFormat(Lm10Control control, Lm10VideoFormat* format);
/* Frames per second for the next Lm10Start or Lm10SetStreamFormat (0 or more). */
Lm10Result LM10_CALL Lm10SetFrameRate(Lm10Control control, double frameRate);
/* The device's property pages, and its capture pin's format pages, modally. */
Lm10Result LM10_CALL Lm10ShowFilterDialog(Lm10Control control);
Lm10Result LM10_CALL Lm10ShowCapturePinDialog(Lm10Control control);

/* The device's image and camera settings (LM10_SETTING_...), while the control is open: the
   range it reports; the value it uses now and whether it chooses it itself (read from the
   device, never remembered); a value set by hand (LM10_ERR_OUT_OF_RANGE outside the range; the
   device may round it to its step); the setting handed back to the device. A device without the
   setting gives LM10_ERR_NOT_SUPPORTED. */
Lm10Result LM10_CALL Lm10GetCameraSettingRange(Lm10Control control, INT32 setting, Lm10CameraSettingRange* range);
Lm10Result LM10_CALL Lm10GetCameraSetting(Lm10Control control, INT32 setting, INT32* value, BOOL* isAuto);
Lm10Result LM10_CALL Lm10SetCameraSetting(Lm10Control control, INT32 setting, INT32 value);
Lm10Result LM10_CALL Lm10SetCameraSettingAuto(Lm10Control control, INT32 setting);
/* Every setting the device has as text, one "Name=Value" or "Name=auto" line each
   ("Exposure=-6\r\nFocus=auto\r\n"), to keep per device path and give back to
   Lm10SetCameraSettings after opening it again. Lines naming settings the device lacks are
   skipped; a malformed line gives LM10_ERR_OUT_OF_RANGE, and the other lines apply all the same. */
Lm10Result LM10_CALL Lm10GetCameraSettings(Lm10Control control, wchar_t* buffer, UINT32 capacity, UINT32* needed);
Lm10Result LM10_CALL Lm10SetCameraSettings(Lm10Control control, const wchar_t* text);

/* The open device was lost (the control is then Open with status LM10_ERR_DEVICE_LOST), and a
   video capture device arrived or went (the device list was refilled). NULL: no callback. */
Lm10Result LM10_CALL Lm10SetOnDeviceLost(Lm10Control control, Lm10NotifyCallback callback, void* context);
Lm10Result LM10_CALL Lm10SetOnVideoDevicesChange(Lm10Control control, Lm10NotifyCallback callback,
                                                 void* context);

/* ---- Recorder ---- */

/* The type of file written (LM10_FILE_...), from the next open or graph rebuild on. */
Lm10Result LM10_CALL Lm10RecorderSetFileFormat(Lm10Control control, INT32 fileFormat);
Lm10Result LM10_CALL Lm10RecorderGetFileFormat(Lm10Control control, INT32* fileFormat);
/* Bits per second for the next Lm10Start or Lm10SetStreamFormat. */
Lm10Result LM10_CALL Lm10RecorderSetBitRate(Lm10Control control, UINT32 bitRate);
/* The recording stopped because its file could not be written (disk full, file gone): the
   recorder is then Open with status LM10_ERR_FILE_WRITE, and what was written stays readable.
   NULL: no callback. */
Lm10Result LM10_CALL Lm10SetOnRecordError(Lm10Control control, Lm10NotifyCallback callback, void* context);

/* ---- Player ---- */

/* Builds the playback graph for `fileName` (shorter than 260 characters), stopped and hidden. */
Lm10Result LM10_CALL Lm10PlayerOpen(Lm10Control control, const wchar_t* fileName);
/* Shows the picture in `mode` and plays at `rate` (1.0 normal speed; above 0). */
Lm10Result LM10_CALL Lm10PlayerStart(Lm10Control control, INT32 mode, double rate);
/* The position the next Lm10Start plays from: in seconds, or in 100-nanosecond units. */
Lm10Result LM10_CALL Lm10PlayerStartFrom(Lm10Control control, double seconds);
Lm10Result LM10_CALL Lm10PlayerStartFromTime(Lm10Control control, INT64 time);
/* The file's length in seconds, and its frames per second. */
Lm10Result LM10_CALL Lm10PlayerGetDuration(Lm10Control control, double* seconds);
Lm10Result LM10_CALL Lm10PlayerGetFrameRate(Lm10Control control, double* frameRate);
/* The file played to its end (the player is then Open). NULL: no callback. */
Lm10Result LM10_CALL Lm10SetOnEnd(Lm10Control control, Lm10NotifyCallback callback, void* context);

#ifdef __cplusplus
}
#endif

#endif /* LM10_LUMORA10_H */
