#include "testcam/CameraController.h"

#include "testcam/CaptureFilter.h"
#include "testcam/ComBoundary.h"
#include "testcam/LiveCameras.h"

namespace lmcam {
namespace {

// S_OK when Action reached a camera, S_FALSE when none was alive.
HRESULT ActOnCameras(const std::function<void(CaptureFilter&)>& Action) {
  return ComBoundary([&]() -> HRESULT { return ForEachLiveCamera(Action) > 0 ? S_OK : S_FALSE; });
}

}  // namespace

HRESULT CameraController::Create(REFCLSID, REFIID riid, void** ppv) {
  return CreateComObject<CameraController>(riid, ppv);
}

STDMETHODIMP CameraController::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ILmTestCameraController)) {
    *ppv = static_cast<ILmTestCameraController*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

STDMETHODIMP CameraController::Unplug() {
  return ActOnCameras([](CaptureFilter& Camera) { Camera.Unplug(); });
}

STDMETHODIMP CameraController::Stall(BOOL Stalled) {
  return ActOnCameras([Stalled](CaptureFilter& Camera) { Camera.SetStalled(Stalled != FALSE); });
}

STDMETHODIMP CameraController::Fail(HRESULT Error) {
  if (SUCCEEDED(Error)) return E_INVALIDARG;
  return ActOnCameras([Error](CaptureFilter& Camera) { Camera.Fail(Error); });
}

STDMETHODIMP CameraController::Replug() {
  return ActOnCameras([](CaptureFilter& Camera) { Camera.Replug(); });
}

}  // namespace lmcam
