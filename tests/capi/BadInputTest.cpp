// Every function lumora10.dll exports, driven by its export table: each has an entry here (a
// new export without one fails), each refuses stale, made-up and foreign handles and controls
// of the wrong kind, and each refuses its bad argument or wrong state with its code, leaving
// the control as it was.

#include <windows.h>

#include <gtest/gtest.h>
#include <uuids.h>

#include <cmath>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "capi/CApiRig.h"
#include "capi/ExportTable.h"
#include "lumora10.h"

namespace capitest {
namespace {

constexpr uint32_t kNone = 0, kPreview = 1, kRecorder = 2, kPlayer = 4;
constexpr uint32_t kCamera = kPreview | kRecorder, kSnapshots = kPreview | kPlayer, kAny = 7;

// Scratch outputs and inputs of the calls.
INT32 g_Int;
UINT32 g_Needed;
double g_Double;
HWND g_Window;
BOOL g_Bool;
SIZE g_Size;
wchar_t g_Text[64];
IUnknown* g_Unknown;
const GUID g_Cameras = CLSID_VideoInputDeviceCategory;
HWND g_Host;

using Call = std::function<Lm10Result(Lm10Control)>;

struct Entry {
  const char* Name;
  uint32_t Kinds;  // the controls it serves; kNone: it takes no control
  Call Valid;      // valid arguments besides the control (null for kNone)
  Call Bad;        // on a closed control of the first kind served: one bad argument or the wrong state
  Lm10Result Expected = LM10_ERR_INVALID_ARGUMENT;
};

const std::vector<Entry>& Entries() {
  static const std::vector<Entry> entries = {
      {"Lm10GetVersion", kNone, nullptr, [](Lm10Control) { return Lm10GetVersion(nullptr, &g_Int, &g_Int); }},
      {"Lm10GetErrorText", kNone, nullptr, [](Lm10Control) { return Lm10GetErrorText(9999, g_Text, 64, &g_Needed); }},
      {"Lm10ShowAbout", kNone, nullptr,
       [](Lm10Control) {
         ModalCloser closer(g_Host);
         const Lm10Result result = Lm10ShowAbout();
         return closer.Closed() == 1 ? result : -1;
       },
       LM10_OK},
      {"Lm10FreeSnapshot", kNone, nullptr, [](Lm10Control) { return Lm10FreeSnapshot(nullptr); }},
      {"Lm10VideoSubTypeName", kNone, nullptr,
       [](Lm10Control) { return Lm10VideoSubTypeName(nullptr, g_Text, 64, &g_Needed); }},
      {"Lm10GetDeviceCount", kNone, nullptr, [](Lm10Control) { return Lm10GetDeviceCount(&g_Cameras, nullptr); }},
      {"Lm10GetDevice", kNone, nullptr,
       [](Lm10Control) { return Lm10GetDevice(&g_Cameras, 0, nullptr, 8, nullptr, nullptr, 0, nullptr); }},
      {"Lm10BindDevice", kNone, nullptr, [](Lm10Control) { return Lm10BindDevice(&g_Cameras, 0, nullptr); }},
      {"Lm10BindDevicePath", kNone, nullptr,
       [](Lm10Control) { return Lm10BindDevicePath(nullptr, nullptr, &g_Unknown); }},
      {"Lm10ShowFilterPages", kNone, nullptr, [](Lm10Control) { return Lm10ShowFilterPages(nullptr, nullptr); }},
      {"Lm10PreviewCreate", kNone, nullptr,
       [](Lm10Control) {
         Lm10Control made = nullptr;
         return Lm10PreviewCreate(GetDesktopWindow(), &made);  // not a window of this thread
       }},
      {"Lm10RecorderCreate", kNone, nullptr, [](Lm10Control) { return Lm10RecorderCreate(g_Host, nullptr); }},
      {"Lm10PlayerCreate", kNone, nullptr,
       [](Lm10Control) {
         Lm10Control made = nullptr;
         return Lm10PlayerCreate(nullptr, &made);
       }},
      {"Lm10Destroy", kAny, [](Lm10Control c) { return Lm10Destroy(c); }, nullptr},
      {"Lm10SetParentWindow", kAny, [](Lm10Control c) { return Lm10SetParentWindow(c, g_Host); },
       [](Lm10Control c) { return Lm10SetParentWindow(c, reinterpret_cast<HWND>(0x1234)); }},
      {"Lm10GetWindow", kAny, [](Lm10Control c) { return Lm10GetWindow(c, &g_Window); },
       [](Lm10Control c) { return Lm10GetWindow(c, nullptr); }},
      {"Lm10SetBounds", kAny, [](Lm10Control c) { return Lm10SetBounds(c, 1, 2, 30, 40); },
       [](Lm10Control c) { return Lm10SetBounds(c, 1, 2, -30, 40); }},
      {"Lm10GetBounds", kAny, [](Lm10Control c) { return Lm10GetBounds(c, &g_Int, &g_Int, &g_Int, &g_Int); },
       [](Lm10Control c) { return Lm10GetBounds(c, &g_Int, &g_Int, nullptr, &g_Int); }},
      {"Lm10SetColor", kAny, [](Lm10Control c) { return Lm10SetColor(c, RGB(1, 2, 3)); },
       [](Lm10Control c) { return Lm10SetColor(c, 0x01000000); }},
      {"Lm10GetColor", kAny, [](Lm10Control c) { return Lm10GetColor(c, &g_Int); },
       [](Lm10Control c) { return Lm10GetColor(c, nullptr); }},
      {"Lm10SetCursor", kAny, [](Lm10Control c) { return Lm10SetCursor(c, LM10_CURSOR_CROSS); },
       [](Lm10Control c) { return Lm10SetCursor(c, 7); }},
      {"Lm10GetCursor", kAny, [](Lm10Control c) { return Lm10GetCursor(c, &g_Int); },
       [](Lm10Control c) { return Lm10GetCursor(c, nullptr); }},
      {"Lm10SetAppearance", kAny, [](Lm10Control c) { return Lm10SetAppearance(c, LM10_APPEARANCE_RAISED); },
       [](Lm10Control c) { return Lm10SetAppearance(c, 3); }},
      {"Lm10GetAppearance", kAny, [](Lm10Control c) { return Lm10GetAppearance(c, &g_Int); },
       [](Lm10Control c) { return Lm10GetAppearance(c, nullptr); }},
      {"Lm10SetBorderColor", kAny, [](Lm10Control c) { return Lm10SetBorderColor(c, RGB(9, 9, 9)); },
       [](Lm10Control c) { return Lm10SetBorderColor(c, LM10_COLOR_SYSTEM | 99); }},
      {"Lm10GetBorderColor", kAny, [](Lm10Control c) { return Lm10GetBorderColor(c, &g_Int); },
       [](Lm10Control c) { return Lm10GetBorderColor(c, nullptr); }},
      {"Lm10SetBorderVisible", kAny, [](Lm10Control c) { return Lm10SetBorderVisible(c, FALSE); }, nullptr},
      {"Lm10GetBorderVisible", kAny, [](Lm10Control c) { return Lm10GetBorderVisible(c, &g_Bool); },
       [](Lm10Control c) { return Lm10GetBorderVisible(c, nullptr); }},
      {"Lm10GetState", kAny, [](Lm10Control c) { return Lm10GetState(c, &g_Int); },
       [](Lm10Control c) { return Lm10GetState(c, nullptr); }},
      {"Lm10GetErrorStatus", kAny, [](Lm10Control c) { return Lm10GetErrorStatus(c, &g_Int); },
       [](Lm10Control c) { return Lm10GetErrorStatus(c, nullptr); }},
      {"Lm10GetVideoSize", kAny, [](Lm10Control c) { return Lm10GetVideoSize(c, &g_Size); },
       [](Lm10Control c) { return Lm10GetVideoSize(c, nullptr); }},
      {"Lm10Start", kAny, [](Lm10Control c) { return Lm10Start(c, LM10_MODE_SCALE); },
       [](Lm10Control c) { return Lm10Start(c, 2); }},
      {"Lm10Pause", kAny, [](Lm10Control c) { return Lm10Pause(c); }, [](Lm10Control c) { return Lm10Pause(c); },
       LM10_ERR_WRONG_STATE},
      {"Lm10Stop", kAny, [](Lm10Control c) { return Lm10Stop(c); }, [](Lm10Control c) { return Lm10Stop(c); },
       LM10_ERR_WRONG_STATE},
      {"Lm10Close", kAny, [](Lm10Control c) { return Lm10Close(c); }, [](Lm10Control c) { return Lm10Close(c); },
       LM10_ERR_WRONG_STATE},
      {"Lm10About", kAny, [](Lm10Control c) { return Lm10About(c); }, nullptr},
      {"Lm10TakeSnapshot", kSnapshots, [](Lm10Control c) { return Lm10TakeSnapshot(c); },
       [](Lm10Control c) { return Lm10TakeSnapshot(c); }, LM10_ERR_WRONG_STATE},
      {"Lm10SetOnSnapshot", kSnapshots, [](Lm10Control c) { return Lm10SetOnSnapshot(c, nullptr, nullptr); }, nullptr},
      {"Lm10SetOnFrame", kSnapshots, [](Lm10Control c) { return Lm10SetOnFrame(c, nullptr, nullptr); }, nullptr},
      {"Lm10SetFrameDelivery", kSnapshots, [](Lm10Control c) { return Lm10SetFrameDelivery(c, LM10_FRAME_DIRECT); },
       [](Lm10Control c) { return Lm10SetFrameDelivery(c, 2); }},
      {"Lm10GetFrameDelivery", kSnapshots, [](Lm10Control c) { return Lm10GetFrameDelivery(c, &g_Int); },
       [](Lm10Control c) { return Lm10GetFrameDelivery(c, nullptr); }},
      {"Lm10SetFrameFormat", kSnapshots, [](Lm10Control c) { return Lm10SetFrameFormat(c, LM10_FRAME_RGB32); },
       [](Lm10Control c) { return Lm10SetFrameFormat(c, -1); }},
      {"Lm10GetFrameFormat", kSnapshots, [](Lm10Control c) { return Lm10GetFrameFormat(c, &g_Int); },
       [](Lm10Control c) { return Lm10GetFrameFormat(c, nullptr); }},
      {"Lm10GetVideoDevices", kCamera, [](Lm10Control c) { return Lm10GetVideoDevices(c, &g_Int); },
       [](Lm10Control c) { return Lm10GetVideoDevices(c, nullptr); }},
      {"Lm10GetVideoDeviceCount", kCamera, [](Lm10Control c) { return Lm10GetVideoDeviceCount(c, &g_Int); },
       [](Lm10Control c) { return Lm10GetVideoDeviceCount(c, nullptr); }},
      {"Lm10GetVideoDevice", kCamera,
       [](Lm10Control c) { return Lm10GetVideoDevice(c, 0, g_Text, 64, &g_Needed, nullptr, 0, nullptr); },
       [](Lm10Control c) { return Lm10GetVideoDevice(c, 0, g_Text, 64, nullptr, nullptr, 3, nullptr); }},
      {"Lm10PreviewOpen", kPreview, [](Lm10Control c) { return Lm10PreviewOpen(c, 0); },
       [](Lm10Control c) { return Lm10PreviewOpen(c, 9999); }, LM10_ERR_NO_DEVICE},
      {"Lm10PreviewOpenDevice", kPreview, [](Lm10Control c) { return Lm10PreviewOpenDevice(c, L"none"); },
       [](Lm10Control c) { return Lm10PreviewOpenDevice(c, nullptr); }},
      {"Lm10RecorderOpen", kRecorder, [](Lm10Control c) { return Lm10RecorderOpen(c, L"C:\\none.avi", 0); },
       [](Lm10Control c) { return Lm10RecorderOpen(c, nullptr, 0); }},
      {"Lm10RecorderOpenDevice", kRecorder,
       [](Lm10Control c) { return Lm10RecorderOpenDevice(c, L"C:\\none.avi", L"none"); },
       [](Lm10Control c) { return Lm10RecorderOpenDevice(c, L"C:\\none.avi", nullptr); }},
      {"Lm10GetStreamFormats", kCamera, [](Lm10Control c) { return Lm10GetStreamFormats(c, &g_Int); },
       [](Lm10Control c) { return Lm10GetStreamFormats(c, &g_Int); }, LM10_ERR_WRONG_STATE},
      {"Lm10GetStreamFormat", kCamera, [](Lm10Control c) { return Lm10GetStreamFormat(c, 0); },
       [](Lm10Control c) { return Lm10GetStreamFormat(c, 0); }, LM10_ERR_WRONG_STATE},
      {"Lm10SetStreamFormat", kCamera, [](Lm10Control c) { return Lm10SetStreamFormat(c, 0); },
       [](Lm10Control c) { return Lm10SetStreamFormat(c, 0); }, LM10_ERR_WRONG_STATE},
      {"Lm10GetVideoFormat", kCamera,
       [](Lm10Control c) {
         Lm10VideoFormat format{sizeof(format)};
         return Lm10GetVideoFormat(c, &format);
       },
       [](Lm10Control c) {
         Lm10VideoFormat format{sizeof(UINT32)};  // a size no version of the structure has
         return Lm10GetVideoFormat(c, &format);
       }},
      {"Lm10SetFrameRate", kCamera, [](Lm10Control c) { return Lm10SetFrameRate(c, 15); },
       [](Lm10Control c) { return Lm10SetFrameRate(c, std::nan("")); }},
      {"Lm10ShowFilterDialog", kCamera, [](Lm10Control c) { return Lm10ShowFilterDialog(c); },
       [](Lm10Control c) { return Lm10ShowFilterDialog(c); }, LM10_ERR_WRONG_STATE},
      {"Lm10ShowCapturePinDialog", kCamera, [](Lm10Control c) { return Lm10ShowCapturePinDialog(c); },
       [](Lm10Control c) { return Lm10ShowCapturePinDialog(c); }, LM10_ERR_WRONG_STATE},
      {"Lm10GetCameraSettingRange", kCamera,
       [](Lm10Control c) {
         Lm10CameraSettingRange range{sizeof(range)};
         return Lm10GetCameraSettingRange(c, LM10_SETTING_ZOOM, &range);
       },
       [](Lm10Control c) {
         Lm10CameraSettingRange range{sizeof(range)};
         return Lm10GetCameraSettingRange(c, LM10_SETTING_FOCUS + 1, &range);
       }},
      {"Lm10GetCameraSetting", kCamera,
       [](Lm10Control c) { return Lm10GetCameraSetting(c, LM10_SETTING_ZOOM, &g_Int, &g_Bool); },
       [](Lm10Control c) { return Lm10GetCameraSetting(c, LM10_SETTING_ZOOM, &g_Int, nullptr); }},
      {"Lm10SetCameraSetting", kCamera, [](Lm10Control c) { return Lm10SetCameraSetting(c, LM10_SETTING_ZOOM, 100); },
       [](Lm10Control c) { return Lm10SetCameraSetting(c, -1, 100); }},
      {"Lm10SetCameraSettingAuto", kCamera,
       [](Lm10Control c) { return Lm10SetCameraSettingAuto(c, LM10_SETTING_FOCUS); },
       [](Lm10Control c) { return Lm10SetCameraSettingAuto(c, LM10_SETTING_FOCUS); }, LM10_ERR_WRONG_STATE},
      {"Lm10GetCameraSettings", kCamera, [](Lm10Control c) { return Lm10GetCameraSettings(c, g_Text, 64, &g_Needed); },
       [](Lm10Control c) { return Lm10GetCameraSettings(c, nullptr, 64, &g_Needed); }},
      {"Lm10SetCameraSettings", kCamera, [](Lm10Control c) { return Lm10SetCameraSettings(c, L"Focus=auto"); },
       [](Lm10Control c) { return Lm10SetCameraSettings(c, nullptr); }},
      {"Lm10SetOnDeviceLost", kCamera, [](Lm10Control c) { return Lm10SetOnDeviceLost(c, nullptr, nullptr); }, nullptr},
      {"Lm10SetOnVideoDevicesChange", kCamera,
       [](Lm10Control c) { return Lm10SetOnVideoDevicesChange(c, nullptr, nullptr); }, nullptr},
      {"Lm10RecorderSetFileFormat", kRecorder,
       [](Lm10Control c) { return Lm10RecorderSetFileFormat(c, LM10_FILE_ASF); },
       [](Lm10Control c) { return Lm10RecorderSetFileFormat(c, 2); }},
      {"Lm10RecorderGetFileFormat", kRecorder, [](Lm10Control c) { return Lm10RecorderGetFileFormat(c, &g_Int); },
       [](Lm10Control c) { return Lm10RecorderGetFileFormat(c, nullptr); }},
      {"Lm10RecorderSetBitRate", kRecorder, [](Lm10Control c) { return Lm10RecorderSetBitRate(c, 1000); }, nullptr},
      {"Lm10SetOnRecordError", kRecorder, [](Lm10Control c) { return Lm10SetOnRecordError(c, nullptr, nullptr); },
       nullptr},
      {"Lm10PlayerOpen", kPlayer, [](Lm10Control c) { return Lm10PlayerOpen(c, L"C:\\none.avi"); },
       [](Lm10Control c) { return Lm10PlayerOpen(c, nullptr); }},
      {"Lm10PlayerStart", kPlayer, [](Lm10Control c) { return Lm10PlayerStart(c, LM10_MODE_SCALE, 1.0); },
       [](Lm10Control c) { return Lm10PlayerStart(c, LM10_MODE_SCALE, std::nan("")); }},
      {"Lm10PlayerStartFrom", kPlayer, [](Lm10Control c) { return Lm10PlayerStartFrom(c, 0.5); },
       [](Lm10Control c) { return Lm10PlayerStartFrom(c, INFINITY); }},
      {"Lm10PlayerStartFromTime", kPlayer, [](Lm10Control c) { return Lm10PlayerStartFromTime(c, 0); },
       [](Lm10Control c) { return Lm10PlayerStartFromTime(c, 0); }, LM10_ERR_WRONG_STATE},
      {"Lm10PlayerGetDuration", kPlayer, [](Lm10Control c) { return Lm10PlayerGetDuration(c, &g_Double); },
       [](Lm10Control c) { return Lm10PlayerGetDuration(c, nullptr); }},
      {"Lm10PlayerGetFrameRate", kPlayer, [](Lm10Control c) { return Lm10PlayerGetFrameRate(c, &g_Double); },
       [](Lm10Control c) { return Lm10PlayerGetFrameRate(c, nullptr); }},
      {"Lm10SetOnEnd", kPlayer, [](Lm10Control c) { return Lm10SetOnEnd(c, nullptr, nullptr); }, nullptr},
  };
  return entries;
}

// What a refused call must leave as it was.
struct Fingerprint {
  INT32 Color = 0, Cursor = 0, Appearance = 0, BorderColor = 0, State = 0, Status = 0;
  INT32 Left = 0, Top = 0, Width = 0, Height = 0;
  BOOL BorderVisible = FALSE;
  SIZE VideoSize{};

  explicit Fingerprint(Lm10Control Control) {
    Lm10GetColor(Control, &Color);
    Lm10GetCursor(Control, &Cursor);
    Lm10GetAppearance(Control, &Appearance);
    Lm10GetBorderColor(Control, &BorderColor);
    Lm10GetBorderVisible(Control, &BorderVisible);
    Lm10GetBounds(Control, &Left, &Top, &Width, &Height);
    Lm10GetState(Control, &State);
    Lm10GetErrorStatus(Control, &Status);
    Lm10GetVideoSize(Control, &VideoSize);
  }
  // Equal but for the status, which a refusal of the control itself reports.
  bool SameBesidesStatus(const Fingerprint& Other) const {
    return Color == Other.Color && Cursor == Other.Cursor && Appearance == Other.Appearance &&
           BorderColor == Other.BorderColor && BorderVisible == Other.BorderVisible && Left == Other.Left &&
           Top == Other.Top && Width == Other.Width && Height == Other.Height && State == Other.State &&
           VideoSize.cx == Other.VideoSize.cx && VideoSize.cy == Other.VideoSize.cy;
  }
};

class CApiBadInput : public ::testing::Test {
protected:
  void SetUp() override { g_Host = m_Host.Handle(); }

  // A closed control of each kind, with a few properties changed from their defaults.
  Lm10Control Of(uint32_t Kind) {
    Control& control = Kind == kPreview ? m_Preview : Kind == kRecorder ? m_Recorder : m_Player;
    return control.Handle();
  }

  testwin::HostWindow m_Host{400, 300};
  Control m_Preview{&Lm10PreviewCreate, m_Host.Handle()};
  Control m_Recorder{&Lm10RecorderCreate, m_Host.Handle()};
  Control m_Player{&Lm10PlayerCreate, m_Host.Handle()};
};

TEST_F(CApiBadInput, EveryExportHasAnEntryAndNothingElse) {
  const HMODULE dll = GetModuleHandleW(L"lumora10.dll");
  ASSERT_NE(dll, nullptr);
  std::set<std::string> entries;
  for (const Entry& entry : Entries()) {
    EXPECT_TRUE(entries.insert(entry.Name).second) << entry.Name << " twice";
    EXPECT_NE(GetProcAddress(dll, entry.Name), nullptr) << entry.Name << " is not exported";
  }
  for (const std::string& name : ExportedNames(dll))
    EXPECT_EQ(entries.count(name), 1u) << name << " is exported but has no entry in this test";
}

TEST_F(CApiBadInput, StaleMadeUpAndNullHandlesAreRefused) {
  Lm10Control destroyed = nullptr;
  ASSERT_EQ(Lm10PreviewCreate(m_Host.Handle(), &destroyed), LM10_OK);
  ASSERT_EQ(Lm10Destroy(destroyed), LM10_OK);
  Lm10Control madeUp = reinterpret_cast<Lm10Control>(static_cast<uintptr_t>(0x1000));
  for (const Entry& entry : Entries()) {
    if (entry.Kinds == kNone) continue;
    for (Lm10Control handle : {Lm10Control{}, destroyed, madeUp, Lm10Control(m_Host.Handle())})
      EXPECT_EQ(entry.Valid(handle), LM10_ERR_INVALID_ARGUMENT) << entry.Name << " with handle " << handle;
  }
}

TEST_F(CApiBadInput, ControlsOfAnotherKindAreRefusedUntouched) {
  for (const Entry& entry : Entries()) {
    for (uint32_t kind : {kPreview, kRecorder, kPlayer}) {
      if (entry.Kinds == kNone || (entry.Kinds & kind) != 0) continue;
      const Fingerprint before(Of(kind));
      EXPECT_EQ(entry.Valid(Of(kind)), LM10_ERR_INVALID_ARGUMENT) << entry.Name << " on kind " << kind;
      const Fingerprint after(Of(kind));
      EXPECT_TRUE(before.SameBesidesStatus(after) && before.Status == after.Status) << entry.Name;
    }
  }
}

TEST_F(CApiBadInput, BadArgumentsAndWrongStatesAreRefusedWithTheirCode) {
  for (const Entry& entry : Entries()) {
    if (!entry.Bad) continue;
    Lm10Control control = nullptr;
    for (uint32_t kind : {kPreview, kRecorder, kPlayer})
      if (!control && (entry.Kinds & kind) != 0) control = Of(kind);
    const bool ownControl = control != nullptr;
    if (!ownControl) control = Of(kPreview);  // free functions must leave every control alone
    const Fingerprint before(control);
    EXPECT_EQ(entry.Bad(control), entry.Expected) << entry.Name;
    const Fingerprint after(control);
    EXPECT_TRUE(before.SameBesidesStatus(after)) << entry.Name << " changed the control";
    // A refusal of the interface leaves the status alone; the control's own refusal reports it.
    if (entry.Expected == LM10_ERR_INVALID_ARGUMENT || !ownControl)
      EXPECT_EQ(after.Status, before.Status) << entry.Name;
    else
      EXPECT_EQ(after.Status, entry.Expected) << entry.Name;
  }
}

TEST_F(CApiBadInput, AnotherThreadCannotUseOrDestroyAControl) {
  const Lm10Control preview = m_Preview.Handle();
  Lm10Result state = 0, destroyed = 0;
  std::thread([&] {
    state = Lm10GetState(preview, &g_Int);
    destroyed = Lm10Destroy(preview);
  }).join();
  EXPECT_EQ(state, LM10_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(destroyed, LM10_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(m_Preview.State(), LM10_STATE_CLOSED) << "still alive on its own thread";
}

TEST_F(CApiBadInput, SnapshotBlocksNotHandedOutAreNotFreed) {
  HGLOBAL foreign = GlobalAlloc(GMEM_MOVEABLE, 16);
  ASSERT_NE(foreign, nullptr);
  EXPECT_EQ(Lm10FreeSnapshot(foreign), LM10_ERR_INVALID_ARGUMENT);
  EXPECT_NE(GlobalLock(foreign), nullptr) << "the block is still the caller's";
  GlobalUnlock(foreign);
  GlobalFree(foreign);
}

}  // namespace
}  // namespace capitest
