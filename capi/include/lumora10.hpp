// lumora10.hpp: a header-only C++ wrapper over the C interface lumora10.h, for C++ programs of
// any compiler (it is compiled by the program's own compiler, and calls only C functions of
// lumora10.dll). C++17.
//
//   lm10::Preview preview(window);                  // the control, destroyed with the object
//   preview.SetOnSnapshot([](HGLOBAL image, bool& freeMemory) { ... });
//   if (preview.OpenDevice(lm10::Devices()[0].Path) != LM10_OK) ...
//
// Results are the interface's Lm10Result codes (LM10_OK is 0), as in C; a constructor that
// cannot create its control throws lm10::Error. Events are std::function objects, raised on the
// control's thread as the C callbacks are; an exception thrown by a handler is dropped at the
// interface's edge. The rules of lumora10.h hold: a control belongs to the thread that created
// it, and a handler must not destroy its own control.
#ifndef LM10_LUMORA10_HPP
#define LM10_LUMORA10_HPP

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "lumora10.h"

namespace lm10 {

// A control that could not be created; Code() is the Lm10Result.
class Error : public std::runtime_error {
public:
  explicit Error(Lm10Result Code) : std::runtime_error("lumora10: error " + std::to_string(Code)), m_Code(Code) {}
  Lm10Result Code() const noexcept { return m_Code; }

private:
  Lm10Result m_Code;
};

namespace detail {

// Reads a string through a (buffer, capacity, needed) call: the length first, then the text.
template <typename Read>
std::wstring ReadString(Read read, Lm10Result* Result = nullptr) {
  UINT32 needed = 0;
  Lm10Result result = read(nullptr, 0, &needed);
  std::wstring text;
  if (result == LM10_OK && needed > 0) {
    text.resize(needed);
    result = read(&text[0], needed, &needed);
    text.resize(result == LM10_OK ? needed - 1 : 0);
  }
  if (Result) *Result = result;
  return text;
}

}  // namespace detail

// One line of a device list: the device's name and its identity.
struct Device {
  std::wstring Name;
  std::wstring Path;
};

// The named devices of a category (null: the video capture devices), enumerated afresh.
inline std::vector<Device> Devices(const GUID* Category = nullptr) {
  std::vector<Device> devices;
  INT32 count = 0;
  if (Lm10GetDeviceCount(Category, &count) != LM10_OK) return devices;
  for (INT32 index = 0; index < count; ++index) {
    UINT32 nameNeeded = 0, pathNeeded = 0;
    if (Lm10GetDevice(Category, index, nullptr, 0, &nameNeeded, nullptr, 0, &pathNeeded) != LM10_OK) break;
    Device device;
    device.Name.resize(nameNeeded);
    device.Path.resize(pathNeeded);
    if (Lm10GetDevice(Category, index, &device.Name[0], nameNeeded, nullptr, &device.Path[0], pathNeeded, nullptr) !=
        LM10_OK)
      break;
    device.Name.resize(nameNeeded - 1);
    device.Path.resize(pathNeeded - 1);
    devices.push_back(std::move(device));
  }
  return devices;
}

inline std::wstring ErrorText(Lm10Result Code) {
  return detail::ReadString([Code](wchar_t* b, UINT32 c, UINT32* n) { return Lm10GetErrorText(Code, b, c, n); });
}

inline std::wstring VideoSubTypeName(const GUID& SubType) {
  return detail::ReadString([&SubType](wchar_t* b, UINT32 c, UINT32* n) { return Lm10VideoSubTypeName(&SubType, b, c, n); });
}

inline Lm10Result ShowAbout() { return Lm10ShowAbout(); }

// What every control has. Not copyable; moving hands the control over.
class Control {
public:
  using NotifyEvent = std::function<void()>;
  // The snapshot block (a packed 24-bit DIB in a movable global block) and whether the
  // library frees it when the handler returns; set FreeMemory to false to keep it.
  using SnapshotEvent = std::function<void(HGLOBAL Image, bool& FreeMemory)>;
  // A frame lent for the call (Lm10Frame); on DirectShow's streaming thread in direct delivery.
  using FrameEvent = std::function<void(const Lm10Frame& Frame)>;

  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  Control(Control&& Other) noexcept : m_Handle(std::exchange(Other.m_Handle, nullptr)), m_Events(std::move(Other.m_Events)) {}
  Control& operator=(Control&& Other) noexcept {
    if (this != &Other) {
      Destroy();
      m_Handle = std::exchange(Other.m_Handle, nullptr);
      m_Events = std::move(Other.m_Events);
    }
    return *this;
  }
  ~Control() { Destroy(); }

  Lm10Control Handle() const noexcept { return m_Handle; }
  HWND Window() const {
    HWND window = nullptr;
    Lm10GetWindow(m_Handle, &window);
    return window;
  }
  Lm10Result SetParentWindow(HWND Parent) { return Lm10SetParentWindow(m_Handle, Parent); }
  Lm10Result SetBounds(INT32 Left, INT32 Top, INT32 Width, INT32 Height) {
    return Lm10SetBounds(m_Handle, Left, Top, Width, Height);
  }
  Lm10Result SetColor(INT32 Color) { return Lm10SetColor(m_Handle, Color); }
  Lm10Result SetCursor(INT32 Cursor) { return Lm10SetCursor(m_Handle, Cursor); }
  Lm10Result SetAppearance(INT32 Appearance) { return Lm10SetAppearance(m_Handle, Appearance); }
  Lm10Result SetBorderColor(INT32 Color) { return Lm10SetBorderColor(m_Handle, Color); }
  Lm10Result SetBorderVisible(bool Visible) { return Lm10SetBorderVisible(m_Handle, Visible ? TRUE : FALSE); }

  INT32 State() const { return Read(&Lm10GetState); }
  INT32 ErrorStatus() const { return Read(&Lm10GetErrorStatus); }
  SIZE VideoSize() const {
    SIZE size{0, 0};
    Lm10GetVideoSize(m_Handle, &size);
    return size;
  }

  Lm10Result Start(INT32 Mode = LM10_MODE_STRETCH) { return Lm10Start(m_Handle, Mode); }
  Lm10Result Pause() { return Lm10Pause(m_Handle); }
  Lm10Result Stop() { return Lm10Stop(m_Handle); }
  Lm10Result Close() { return Lm10Close(m_Handle); }
  Lm10Result About() { return Lm10About(m_Handle); }

protected:
  using Create = Lm10Result(LM10_CALL*)(HWND, Lm10Control*);
  Control(Create Maker, HWND Parent) : m_Events(new Events) {
    const Lm10Result result = Maker(Parent, &m_Handle);
    if (result != LM10_OK) throw Error(result);
  }

  // The handlers, at an address that stays while the object moves (the callbacks' context).
  struct Events {
    NotifyEvent DeviceLost, DevicesChange, RecordError, End;
    SnapshotEvent Snapshot;
    // Each frame handler set, kept until the control goes: a direct call in flight on the
    // streaming thread finishes with the handler it started with.
    std::vector<std::unique_ptr<FrameEvent>> Frames;
  };
  Events& Handlers() { return *m_Events; }

  using Setter = Lm10Result(LM10_CALL*)(Lm10Control, Lm10NotifyCallback, void*);
  Lm10Result SetNotify(Setter Set, NotifyEvent& Slot, NotifyEvent Handler) {
    const bool any = static_cast<bool>(Handler);
    Slot = std::move(Handler);
    return Set(m_Handle, any ? &Notify : nullptr, any ? &Slot : nullptr);
  }
  Lm10Result SetSnapshot(SnapshotEvent Handler) {
    const bool any = static_cast<bool>(Handler);
    m_Events->Snapshot = std::move(Handler);
    return Lm10SetOnSnapshot(m_Handle, any ? &Snapshot : nullptr, any ? &m_Events->Snapshot : nullptr);
  }

  Lm10Result SetFrame(FrameEvent Handler) {
    if (!Handler) return Lm10SetOnFrame(m_Handle, nullptr, nullptr);
    m_Events->Frames.push_back(std::make_unique<FrameEvent>(std::move(Handler)));
    return Lm10SetOnFrame(m_Handle, &Frame, m_Events->Frames.back().get());
  }

private:
  INT32 Read(Lm10Result(LM10_CALL* Get)(Lm10Control, INT32*)) const {
    INT32 value = 0;
    Get(m_Handle, &value);
    return value;
  }
  void Destroy() noexcept {
    if (m_Handle) Lm10Destroy(m_Handle);
    m_Handle = nullptr;
  }
  static void LM10_CALL Notify(Lm10Control, void* Context) {
    try {
      (*static_cast<NotifyEvent*>(Context))();
    } catch (...) {
    }
  }
  static void LM10_CALL Snapshot(Lm10Control, HGLOBAL Image, BOOL* FreeMemory, void* Context) {
    bool freeMemory = *FreeMemory != FALSE;
    try {
      (*static_cast<SnapshotEvent*>(Context))(Image, freeMemory);
    } catch (...) {
    }
    *FreeMemory = freeMemory ? TRUE : FALSE;
  }

  static void LM10_CALL Frame(Lm10Control, const Lm10Frame* Frame, void* Context) {
    try {
      (*static_cast<FrameEvent*>(Context))(*Frame);
    } catch (...) {
    }
  }

  Lm10Control m_Handle = nullptr;
  std::unique_ptr<Events> m_Events;
};

// What the preview and the recorder share: the device list, formats, dialogs, device events.
class Camera : public Control {
public:
  INT32 GetVideoDevices() {
    INT32 count = 0;
    Lm10GetVideoDevices(Handle(), &count);
    return count;
  }
  // The control's device list, line for line with the devices' identities.
  std::vector<Device> VideoDevices() const {
    std::vector<Device> devices;
    INT32 count = 0;
    Lm10GetVideoDeviceCount(Handle(), &count);
    for (INT32 index = 0; index < count; ++index) {
      Device device;
      device.Name = detail::ReadString([&](wchar_t* b, UINT32 c, UINT32* n) {
        return Lm10GetVideoDevice(Handle(), index, b, c, n, nullptr, 0, nullptr);
      });
      device.Path = detail::ReadString([&](wchar_t* b, UINT32 c, UINT32* n) {
        return Lm10GetVideoDevice(Handle(), index, nullptr, 0, nullptr, b, c, n);
      });
      devices.push_back(std::move(device));
    }
    return devices;
  }
  INT32 GetStreamFormats() {
    INT32 count = 0;
    Lm10GetStreamFormats(Handle(), &count);
    return count;
  }
  Lm10Result GetStreamFormat(INT32 Index) { return Lm10GetStreamFormat(Handle(), Index); }
  Lm10Result SetStreamFormat(INT32 Index) { return Lm10SetStreamFormat(Handle(), Index); }
  Lm10VideoFormat VideoFormat() const {
    Lm10VideoFormat format{};
    format.Size = sizeof(format);
    Lm10GetVideoFormat(Handle(), &format);
    return format;
  }
  Lm10Result SetFrameRate(double FrameRate) { return Lm10SetFrameRate(Handle(), FrameRate); }
  // The device's settings (LM10_SETTING_...).
  Lm10Result GetCameraSettingRange(INT32 Setting, Lm10CameraSettingRange& Range) const {
    Range.Size = sizeof(Range);
    return Lm10GetCameraSettingRange(Handle(), Setting, &Range);
  }
  Lm10Result GetCameraSetting(INT32 Setting, INT32& Value, bool& Auto) const {
    BOOL automatic = FALSE;
    const Lm10Result result = Lm10GetCameraSetting(Handle(), Setting, &Value, &automatic);
    Auto = automatic != FALSE;
    return result;
  }
  Lm10Result SetCameraSetting(INT32 Setting, INT32 Value) { return Lm10SetCameraSetting(Handle(), Setting, Value); }
  Lm10Result SetCameraSettingAuto(INT32 Setting) { return Lm10SetCameraSettingAuto(Handle(), Setting); }
  std::wstring CameraSettings(Lm10Result* Result = nullptr) const {
    return detail::ReadString(
        [this](wchar_t* b, UINT32 c, UINT32* n) { return Lm10GetCameraSettings(Handle(), b, c, n); }, Result);
  }
  Lm10Result SetCameraSettings(const std::wstring& Text) { return Lm10SetCameraSettings(Handle(), Text.c_str()); }
  Lm10Result ShowFilterDialog() { return Lm10ShowFilterDialog(Handle()); }
  Lm10Result ShowCapturePinDialog() { return Lm10ShowCapturePinDialog(Handle()); }
  Lm10Result SetOnDeviceLost(NotifyEvent Handler) {
    return SetNotify(&Lm10SetOnDeviceLost, Handlers().DeviceLost, std::move(Handler));
  }
  Lm10Result SetOnVideoDevicesChange(NotifyEvent Handler) {
    return SetNotify(&Lm10SetOnVideoDevicesChange, Handlers().DevicesChange, std::move(Handler));
  }

protected:
  using Control::Control;
};

class Preview : public Camera {
public:
  explicit Preview(HWND Parent) : Camera(&Lm10PreviewCreate, Parent) {}
  Lm10Result Open(INT32 Index) { return Lm10PreviewOpen(Handle(), Index); }
  Lm10Result OpenDevice(const std::wstring& Path) { return Lm10PreviewOpenDevice(Handle(), Path.c_str()); }
  Lm10Result TakeSnapshot() { return Lm10TakeSnapshot(Handle()); }
  Lm10Result SetOnSnapshot(SnapshotEvent Handler) { return SetSnapshot(std::move(Handler)); }
  Lm10Result SetOnFrame(FrameEvent Handler) { return SetFrame(std::move(Handler)); }
  Lm10Result SetFrameDelivery(INT32 Delivery) { return Lm10SetFrameDelivery(Handle(), Delivery); }
  Lm10Result SetFrameFormat(INT32 Format) { return Lm10SetFrameFormat(Handle(), Format); }
};

class Recorder : public Camera {
public:
  explicit Recorder(HWND Parent) : Camera(&Lm10RecorderCreate, Parent) {}
  Lm10Result Open(const std::wstring& FileName, INT32 Index) {
    return Lm10RecorderOpen(Handle(), FileName.c_str(), Index);
  }
  Lm10Result OpenDevice(const std::wstring& FileName, const std::wstring& Path) {
    return Lm10RecorderOpenDevice(Handle(), FileName.c_str(), Path.c_str());
  }
  Lm10Result SetFileFormat(INT32 FileFormat) { return Lm10RecorderSetFileFormat(Handle(), FileFormat); }
  Lm10Result SetBitRate(UINT32 BitRate) { return Lm10RecorderSetBitRate(Handle(), BitRate); }
  Lm10Result SetOnRecordError(NotifyEvent Handler) {
    return SetNotify(&Lm10SetOnRecordError, Handlers().RecordError, std::move(Handler));
  }
};

class Player : public Control {
public:
  explicit Player(HWND Parent) : Control(&Lm10PlayerCreate, Parent) {}
  Lm10Result Open(const std::wstring& FileName) { return Lm10PlayerOpen(Handle(), FileName.c_str()); }
  Lm10Result Start(INT32 Mode = LM10_MODE_SCALE, double Rate = 1.0) { return Lm10PlayerStart(Handle(), Mode, Rate); }
  Lm10Result StartFrom(double Seconds) { return Lm10PlayerStartFrom(Handle(), Seconds); }
  double Duration() const {
    double seconds = 0;
    Lm10PlayerGetDuration(Handle(), &seconds);
    return seconds;
  }
  double FrameRate() const {
    double rate = 0;
    Lm10PlayerGetFrameRate(Handle(), &rate);
    return rate;
  }
  Lm10Result TakeSnapshot() { return Lm10TakeSnapshot(Handle()); }
  Lm10Result SetOnSnapshot(SnapshotEvent Handler) { return SetSnapshot(std::move(Handler)); }
  Lm10Result SetOnFrame(FrameEvent Handler) { return SetFrame(std::move(Handler)); }
  Lm10Result SetFrameDelivery(INT32 Delivery) { return Lm10SetFrameDelivery(Handle(), Delivery); }
  Lm10Result SetFrameFormat(INT32 Format) { return Lm10SetFrameFormat(Handle(), Format); }
  Lm10Result SetOnEnd(NotifyEvent Handler) { return SetNotify(&Lm10SetOnEnd, Handlers().End, std::move(Handler)); }
};

}  // namespace lm10

#endif  // LM10_LUMORA10_HPP
