#pragma once

// The settings of one camera, as its IAMVideoProcAmp and IAMCameraControl report and change
// them (the rules and the ranges are in LmTestCam.h): the value and the auto mode of each
// setting the camera's variant has. Pure logic, no COM objects.
//
// Thread safety: every method may be called from any thread. The application's thread sets
// and reads the settings while the streaming thread reads Picture() for each frame; one lock,
// held only for the copy of a few values, keeps each call whole.

#include <windows.h>

#include <mutex>
#include <vector>

#include "testcam/LmTestCam.h"
#include "testcam/PictureSettings.h"

namespace lmcam {

// The two interfaces, whose property numbers overlap.
enum class SettingGroup { VideoProcAmp, CameraControl };

class CameraSettings {
public:
  // The settings of the UVC camera, or those of the two RGB cameras.
  explicit CameraSettings(bool Uvc);

  // Whether the camera has the interface of Group (the RGB cameras have no camera control).
  bool HasGroup(SettingGroup Group) const;

  // IAMVideoProcAmp / IAMCameraControl, with the interfaces' results.
  HRESULT GetRange(SettingGroup Group, LONG Property, LONG* Min, LONG* Max, LONG* Step, LONG* Default,
                   LONG* CapsFlags) const;
  HRESULT Set(SettingGroup Group, LONG Property, LONG Value, LONG Flags);
  HRESULT Get(SettingGroup Group, LONG Property, LONG* Value, LONG* Flags) const;

  // The applied values of the settings that change the picture (defaults for those the
  // camera lacks).
  PictureSettings Picture() const;

private:
  struct Setting {
    SettingGroup Group;
    LmTestCameraSetting Range;
    LONG Value;  // the manual value
    bool Auto;
    LONG Applied() const { return Auto ? Range.AutoValue : Value; }
  };
  Setting* Find(SettingGroup Group, LONG Property);
  const Setting* Find(SettingGroup Group, LONG Property) const;
  LONG AppliedOrDefault(SettingGroup Group, const LmTestCameraSetting& Range) const;

  mutable std::mutex m_Lock;
  std::vector<Setting> m_Settings;  // fixed after construction; values and modes under m_Lock
};

// Value rounded to the nearest step of Range counted from its Min (halves upward); Value lies
// within Min..Max.
LONG RoundToStep(const LmTestCameraSetting& Range, LONG Value);

}  // namespace lmcam
