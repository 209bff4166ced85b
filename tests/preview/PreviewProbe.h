#pragma once

// What the preview's tests share: the preview with its protected state opened to the tests,
// the host window all of them place it in, a device index looked up by name, a fake video
// window and a fake media control for the placement tests, and the GUI-thread worker that
// lets a deadlock fail a test instead of hanging it.

#include <windows.h>

#include <dshow.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "support/FakeCom.h"
#include "support/TestWindow.h"
#include "webcam/LmPreview.h"

// The mingw-w64 headers give this interface no __uuidof; the fake kit needs one.
__CRT_UUID_DECL(IVideoWindow, 0x56a868b4, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)

namespace previewtest {

// The preview with its protected fields and graph steps reachable from the tests; it counts
// the WM_PAINT messages its window receives.
class PreviewProbe : public TVLmPreview {
public:
  explicit PreviewProbe(TComponent* AOwner = nullptr) : TVLmPreview(AOwner) {}

  using TVLmPreview::m_Active;
  using TVLmPreview::m_pDeviceFilter;
  using TVLmPreview::m_isCapture;
  using TVLmPreview::m_Mode;
  using TVLmPreview::m_pMediaControl;
  using TVLmPreview::m_pSampleGrabber;
  using TVLmPreview::m_PreviewFaked;
  using TVLmPreview::m_pVideoWindow;
  using TVLmPreview::m_State;
  using TVLmPreview::m_vih;
  using TVLmPreview::m_VideoSize;

  int PaintMessages = 0;

protected:
  void Dispatch(TMessage& Message) override {
    if (Message.Msg == WM_PAINT) ++PaintMessages;
    TVLmPreview::Dispatch(Message);
  }
};

// One visible top-level window for the whole program (destroying one costs seconds under
// the X server); its client area is 400 x 300.
HWND SharedHost();

// Position of the device named Name in the preview's device list, or -1.
int DeviceIndex(TVLmPreview& Preview, const std::wstring& Name);

// The rectangle of a child window in its parent's client coordinates.
RECT RectInParent(HWND Window);

// Runs Action on a new thread that initialises COM single-threaded, as a GUI thread of a host
// application does; false when it has not ended within TimeoutMs, in which case the thread is
// left behind so that the test fails instead of hanging (and its handle given in Stuck, when
// asked for, to find out where it is).
bool RunsOnGuiThreadWithin(std::function<void()> Action, DWORD TimeoutMs, HANDLE* Stuck = nullptr);

// Runs Visit on each new visible property frame (a modal "#32770" window) this thread shows,
// then closes it: a timer on the same thread, since the frame is modal. Frames counts them.
class FrameVisitor {
public:
  explicit FrameVisitor(std::function<void(HWND Frame)> Visit);
  FrameVisitor(const FrameVisitor&) = delete;
  FrameVisitor& operator=(const FrameVisitor&) = delete;
  ~FrameVisitor();
  int Frames = 0;

private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  static inline FrameVisitor* s_This = nullptr;
  std::function<void(HWND)> m_Visit;
  UINT_PTR m_Timer = 0;
  HWND m_Last = nullptr;
};

// Live process-heap blocks whose size lies in [Bytes, Bytes + 64): global memory blocks of one
// size, counted before and after to find blocks nobody freed.
int HeapBlocksOfSize(SIZE_T Bytes);

// One placement the component asked of the video window.
struct Placement {
  long Left, Top, Width, Height;
  bool operator==(const Placement&) const = default;
};
inline void PrintTo(const Placement& P, std::ostream* Out) {
  *Out << "left " << P.Left << ", top " << P.Top << ", width " << P.Width << ", height " << P.Height;
}

// A rectangle that compares and prints, for expectations.
struct Box {
  long Left, Top, Right, Bottom;
  bool operator==(const Box&) const = default;
};
inline Box BoxOf(const RECT& R) { return {R.left, R.top, R.right, R.bottom}; }
inline void PrintTo(const Box& B, std::ostream* Out) {
  *Out << "(" << B.Left << ", " << B.Top << ", " << B.Right << ", " << B.Bottom << ")";
}

// A video window that records placements and visibility; every other call is unexpected.
class FakeVideoWindow : public fakes::FakeComObject<IVideoWindow> {
public:
  std::vector<Placement> Placements;
  std::vector<long> VisibleCalls;
  std::vector<OAHWND> OwnerCalls;

  STDMETHODIMP SetWindowPosition(long Left, long Top, long Width, long Height) override {
    Placements.push_back({Left, Top, Width, Height});
    return S_OK;
  }
  STDMETHODIMP put_Visible(long Visible) override {
    VisibleCalls.push_back(Visible);
    return S_OK;
  }
  STDMETHODIMP put_Owner(OAHWND Owner) override {
    OwnerCalls.push_back(Owner);
    return S_OK;
  }

  STDMETHODIMP GetTypeInfoCount(UINT*) override { return fakes::Unexpected("IDispatch::GetTypeInfoCount"); }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return fakes::Unexpected("IDispatch::GetTypeInfo"); }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return fakes::Unexpected("IDispatch::GetIDsOfNames");
  }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return fakes::Unexpected("IDispatch::Invoke");
  }
  STDMETHODIMP put_Caption(BSTR) override { return fakes::Unexpected("IVideoWindow::put_Caption"); }
  STDMETHODIMP get_Caption(BSTR*) override { return fakes::Unexpected("IVideoWindow::get_Caption"); }
  STDMETHODIMP put_WindowStyle(long) override { return fakes::Unexpected("IVideoWindow::put_WindowStyle"); }
  STDMETHODIMP get_WindowStyle(long*) override { return fakes::Unexpected("IVideoWindow::get_WindowStyle"); }
  STDMETHODIMP put_WindowStyleEx(long) override { return fakes::Unexpected("IVideoWindow::put_WindowStyleEx"); }
  STDMETHODIMP get_WindowStyleEx(long*) override { return fakes::Unexpected("IVideoWindow::get_WindowStyleEx"); }
  STDMETHODIMP put_AutoShow(long) override { return fakes::Unexpected("IVideoWindow::put_AutoShow"); }
  STDMETHODIMP get_AutoShow(long*) override { return fakes::Unexpected("IVideoWindow::get_AutoShow"); }
  STDMETHODIMP put_WindowState(long) override { return fakes::Unexpected("IVideoWindow::put_WindowState"); }
  STDMETHODIMP get_WindowState(long*) override { return fakes::Unexpected("IVideoWindow::get_WindowState"); }
  STDMETHODIMP put_BackgroundPalette(long) override { return fakes::Unexpected("IVideoWindow::put_BackgroundPalette"); }
  STDMETHODIMP get_BackgroundPalette(long*) override { return fakes::Unexpected("IVideoWindow::get_BackgroundPalette"); }
  STDMETHODIMP get_Visible(long*) override { return fakes::Unexpected("IVideoWindow::get_Visible"); }
  STDMETHODIMP put_Left(long) override { return fakes::Unexpected("IVideoWindow::put_Left"); }
  STDMETHODIMP get_Left(long*) override { return fakes::Unexpected("IVideoWindow::get_Left"); }
  STDMETHODIMP put_Width(long) override { return fakes::Unexpected("IVideoWindow::put_Width"); }
  STDMETHODIMP get_Width(long*) override { return fakes::Unexpected("IVideoWindow::get_Width"); }
  STDMETHODIMP put_Top(long) override { return fakes::Unexpected("IVideoWindow::put_Top"); }
  STDMETHODIMP get_Top(long*) override { return fakes::Unexpected("IVideoWindow::get_Top"); }
  STDMETHODIMP put_Height(long) override { return fakes::Unexpected("IVideoWindow::put_Height"); }
  STDMETHODIMP get_Height(long*) override { return fakes::Unexpected("IVideoWindow::get_Height"); }
  STDMETHODIMP get_Owner(OAHWND*) override { return fakes::Unexpected("IVideoWindow::get_Owner"); }
  STDMETHODIMP put_MessageDrain(OAHWND) override { return fakes::Unexpected("IVideoWindow::put_MessageDrain"); }
  STDMETHODIMP get_MessageDrain(OAHWND*) override { return fakes::Unexpected("IVideoWindow::get_MessageDrain"); }
  STDMETHODIMP get_BorderColor(long*) override { return fakes::Unexpected("IVideoWindow::get_BorderColor"); }
  STDMETHODIMP put_BorderColor(long) override { return fakes::Unexpected("IVideoWindow::put_BorderColor"); }
  STDMETHODIMP get_FullScreenMode(long*) override { return fakes::Unexpected("IVideoWindow::get_FullScreenMode"); }
  STDMETHODIMP put_FullScreenMode(long) override { return fakes::Unexpected("IVideoWindow::put_FullScreenMode"); }
  STDMETHODIMP SetWindowForeground(long) override { return fakes::Unexpected("IVideoWindow::SetWindowForeground"); }
  STDMETHODIMP NotifyOwnerMessage(OAHWND, long, LONG_PTR, LONG_PTR) override {
    return fakes::Unexpected("IVideoWindow::NotifyOwnerMessage");
  }
  STDMETHODIMP GetWindowPosition(long*, long*, long*, long*) override {
    return fakes::Unexpected("IVideoWindow::GetWindowPosition");
  }
  STDMETHODIMP GetMinIdealImageSize(long*, long*) override {
    return fakes::Unexpected("IVideoWindow::GetMinIdealImageSize");
  }
  STDMETHODIMP GetMaxIdealImageSize(long*, long*) override {
    return fakes::Unexpected("IVideoWindow::GetMaxIdealImageSize");
  }
  STDMETHODIMP GetRestorePosition(long*, long*, long*, long*) override {
    return fakes::Unexpected("IVideoWindow::GetRestorePosition");
  }
  STDMETHODIMP HideCursor(long) override { return fakes::Unexpected("IVideoWindow::HideCursor"); }
  STDMETHODIMP IsCursorHidden(long*) override { return fakes::Unexpected("IVideoWindow::IsCursorHidden"); }
};

// A media control that runs, pauses and stops on request and counts the calls.
class FakeMediaControl : public fakes::FakeComObject<IMediaControl> {
public:
  int RunCalls = 0, PauseCalls = 0, StopCalls = 0;

  STDMETHODIMP Run() override {
    ++RunCalls;
    return S_OK;
  }
  STDMETHODIMP Pause() override {
    ++PauseCalls;
    return S_OK;
  }
  STDMETHODIMP Stop() override {
    ++StopCalls;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return fakes::Unexpected("IDispatch::GetTypeInfoCount"); }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return fakes::Unexpected("IDispatch::GetTypeInfo"); }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return fakes::Unexpected("IDispatch::GetIDsOfNames");
  }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return fakes::Unexpected("IDispatch::Invoke");
  }
  STDMETHODIMP GetState(LONG, OAFilterState*) override { return fakes::Unexpected("IMediaControl::GetState"); }
  STDMETHODIMP RenderFile(BSTR) override { return fakes::Unexpected("IMediaControl::RenderFile"); }
  STDMETHODIMP AddSourceFilter(BSTR, IDispatch**) override {
    return fakes::Unexpected("IMediaControl::AddSourceFilter");
  }
  STDMETHODIMP get_FilterCollection(IDispatch**) override {
    return fakes::Unexpected("IMediaControl::get_FilterCollection");
  }
  STDMETHODIMP get_RegFilterCollection(IDispatch**) override {
    return fakes::Unexpected("IMediaControl::get_RegFilterCollection");
  }
  STDMETHODIMP StopWhenReady() override { return fakes::Unexpected("IMediaControl::StopWhenReady"); }
};

}  // namespace previewtest
