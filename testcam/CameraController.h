#pragma once

// The controller of the cameras in this process (ILmTestCameraController, see LmTestCam.h):
// unplugs, stalls, fails and plugs back every live camera. It holds no state of its own.

#include <windows.h>

#include "testcam/ComObject.h"
#include "testcam/LmTestCam.h"

namespace lmcam {

class CameraController : public ILmTestCameraController {
public:
  using PrimaryInterface = ILmTestCameraController;

  static HRESULT Create(REFCLSID Clsid, REFIID riid, void** ppv);

  // IUnknown (AddRef and Release come from ComObject)
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override = 0;
  STDMETHODIMP_(ULONG) Release() override = 0;

  // ILmTestCameraController
  STDMETHODIMP Unplug() override;
  STDMETHODIMP Stall(BOOL Stalled) override;
  STDMETHODIMP Fail(HRESULT Error) override;
  STDMETHODIMP Replug() override;

protected:
  CameraController() = default;
  virtual ~CameraController() = default;
};

}  // namespace lmcam
