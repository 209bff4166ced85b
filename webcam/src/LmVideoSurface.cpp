// The marker-file test builds its path with lstrcatW on a buffer whose room is checked first.
#define STRSAFE_NO_DEPRECATE

#include "webcam/LmVideoSurface.h"

#include <shlwapi.h>

#include <cmath>
#include <stdexcept>

#include "core/Lmdllprocs.h"
#include "core/Lmutils.h"
#include "webcam/LmWebCamAbout.h"
#include "webcam/src/LmComCreate.h"
#include "webcam/src/LmVideoWindowHook.h"

namespace {

int Trunc(double Value) { return static_cast<int>(std::trunc(Value)); }

}  // namespace

TVLmVideoControl::TVLmVideoControl(TComponent* AOwner)
    : TVLmUiControl(AOwner), m_VideoWindowHook(std::make_unique<TLmVideoWindowHook>()) {
  SetControlStyle(ControlStyle() + TControlStyle{csOpaque, csReplicatable});
  SetBounds(Left(), Top(), 100, 100);
  m_hMouseCursor = CursorHandle(Cursor());
}

TVLmVideoControl::~TVLmVideoControl() = default;

HCURSOR TVLmVideoControl::CursorHandle(TCursor Cursor) {
  return Screen().Cursors(Cursor == crDefault ? crArrow : Cursor);
}

bool TVLmVideoControl::DecideActive() {
  wchar_t path[261] = {};
  if (GetSystemDirectoryW(path, 261) == 0) {
    m_Active = false;
    return true;
  }
  // The directory fills at most 260 characters; the name needs 13 more.
  if (lstrlenW(path) + 13 >= 261) {
    m_Active = false;
    return false;
  }
  lstrcatW(path, L"\\");
  lstrcatW(path, L"dpnhpast.dll");
  m_Active = PathFileExistsW(path) != FALSE;
  return m_Active;
}

int TVLmVideoControl::FrameWidth() const {
  if (!m_BorderVisible) return 0;
  return m_Appearance == vlmFlat ? 1 : 2;
}

void TVLmVideoControl::GetClientRectangle(RECT* Rect, bool GetClient) {
  if (GetClient) *Rect = ClientRect();
  const int frame = FrameWidth();
  Rect->left += frame;
  Rect->top += frame;
  Rect->right -= frame;
  Rect->bottom -= frame;
}

bool TVLmVideoControl::SetWindowPosition(const RECT& Rect) {
  if (!m_Active || !m_pVideoWindow) return false;
  if (m_Mode == vlmVideoStretch || (m_VideoSize.cx == 0 && m_VideoSize.cy == 0))
    m_pVideoWindow->SetWindowPosition(Rect.left, Rect.top, Rect.right - Rect.left, Rect.bottom - Rect.top);
  else
    SetScaleDisplayArea(Rect);
  return true;
}

void TVLmVideoControl::SetScaleDisplayArea(const RECT& Rect) {
  const int W = Rect.right - Rect.left;
  const int H = Rect.bottom - Rect.top;
  const int cx = m_VideoSize.cx;
  const int cy = m_VideoSize.cy;
  int left = Rect.left;
  int top = Rect.top;
  int width = 0;
  int height = 0;

  if (cx <= 0 || cy <= 0 || W <= 0 || H <= 0) {
    // A video or an area without extent has no aspect ratio to keep: cover the area, or
    // place nothing visible when the area itself is empty.
    width = W > 0 ? W : 0;
    height = H > 0 ? H : 0;
  } else if (cx > W || cy > H) {
    if (static_cast<double>(cx) / cy >= static_cast<double>(W) / H) {
      width = W;
      height = Trunc(W * (static_cast<double>(cy) / cx));
      top = Trunc(H / 2.0 - height / 2.0 + Rect.top);
    } else {
      height = H;
      width = Trunc(H * (static_cast<double>(cx) / cy));
      left = Trunc(W / 2.0 - width / 2.0 + Rect.left);
    }
  } else {
    width = cx;
    height = cy;
    left = Trunc(W / 2.0 - cx / 2.0 + Rect.left);
    top = Trunc(H / 2.0 - cy / 2.0 + Rect.top);
  }
  m_pVideoWindow->SetWindowPosition(left, top, width, height);
}

bool TVLmVideoControl::SetupVideoWindow() {
  try {
    if (!m_pVideoWindow || !m_pMediaEvent) return false;
    const HWND window = Handle();
    const auto owner = reinterpret_cast<OAHWND>(window);
    if (m_pVideoWindow->put_Owner(owner) != S_OK) return false;
    if (m_pVideoWindow->put_MessageDrain(owner) != S_OK) return false;
    if (m_pVideoWindow->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN) != S_OK) return false;

    PlaceVideoWindow();

    // A cursor or colour the application set reaches every video window the control shows,
    // the new renderer window of a rebuilt or reopened graph included.
    if (m_CursorChange || m_ColorChange || m_CursorGiven || m_ColorGiven) {
      if (const HWND child = VideoWindowHandle()) {
        if (m_CursorChange || m_CursorGiven) ForwardCursor(child);
        if (m_ColorChange || m_ColorGiven) ForwardColor(child);
      }
    }

    if (m_pVideoWindow->put_Visible(OAFALSE) != S_OK) return false;
    if (m_pMediaEvent->SetNotifyWindow(owner, WM_GRAPHNOTIFY, 0) != S_OK) return false;
    m_VideoWindowLost = false;
    return true;
  } catch (...) {
    return false;
  }
}

HWND TVLmVideoControl::VideoWindowHandle() {
  return HandleAllocated() ? GetWindow(Handle(), GW_CHILD) : nullptr;
}

void TVLmVideoControl::ForwardCursor(HWND Child) {
  m_VideoWindowHook->Attach(Child);
  m_VideoWindowHook->SetCursor(m_hMouseCursor);
  m_CursorChange = false;
}

void TVLmVideoControl::ForwardColor(HWND Child) {
  m_VideoWindowHook->Attach(Child);
  m_VideoWindowHook->SetColor(ColorToRGB(Color()));
  m_ColorChange = false;
}

void TVLmVideoControl::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_GRAPHNOTIFY:
      WMGraphNotify(Message);
      return;
    case WM_DESTROY:
      WMDestroy(Message);
      TVLmUiControl::Dispatch(Message);
      return;
    case WM_GETDLGCODE:
      WMGetDlgCode(Message);
      return;
    case WM_ERASEBKGND:
      WMEraseBkgnd(Message);
      return;
    case CM_CURSORCHANGED:
      CMCursorChanged(Message);
      return;
    case CM_COLORCHANGED:
      CMColorChanged(Message);
      return;
    default:
      TVLmUiControl::Dispatch(Message);
  }
}

void TVLmVideoControl::WMDestroy(TMessage&) {
  if (m_pGraphBuilder) VideoWindowLost();
}

void TVLmVideoControl::VideoWindowLost() {
  try {
    // The renderer's window is a child of the control's: taken out now, it survives.
    StopGraph();
    if (m_pMediaEvent) m_pMediaEvent->SetNotifyWindow(0, WM_GRAPHNOTIFY, 0);
    if (m_pVideoWindow) {
      m_pVideoWindow->put_Visible(OAFALSE);
      m_pVideoWindow->put_MessageDrain(0);
      m_pVideoWindow->put_Owner(0);
    }
  } catch (...) {
    // What could not be undone goes with the graph.
  }
  DropSnapshotRequest();
  m_VideoWindowLost = true;
  if (m_State.Contains(vlmVideoStarted) || m_State.Contains(vlmVideoPaused)) m_State = vlmStateStopped;
}

void TVLmVideoControl::WMGetDlgCode(TMessage& Message) { Message.Result = DLGC_WANTARROWS; }

void TVLmVideoControl::WMEraseBkgnd(TMessage& Message) { DefaultHandler(Message); }

void TVLmVideoControl::CMCursorChanged(TMessage& Message) {
  TVLmUiControl::CMCursorChanged(Message);
  m_hMouseCursor = CursorHandle(Cursor());
  m_CursorChange = true;
  m_CursorGiven = true;
  if (const HWND child = VideoWindowHandle()) ForwardCursor(child);
}

void TVLmVideoControl::CMColorChanged(TMessage& Message) {
  TVLmUiControl::CMColorChanged(Message);
  m_ColorChange = true;
  m_ColorGiven = true;
  if (const HWND child = VideoWindowHandle()) ForwardColor(child);
}

void TVLmVideoControl::Resize() {
  TVLmUiControl::Resize();
  RECT area = ClientRect();
  GetClientRectangle(&area, false);
  SetWindowPosition(area);
}

void TVLmVideoControl::Paint() {
  TVLmUiControl::Paint();
  RECT rect = ClientRect();
  HDC dc = Canvas()->Handle();
  DrawFill(dc, rect, m_Appearance, m_BorderVisible);
  if (m_BorderVisible && m_Appearance != vlmFlat) {
    rect.right -= 1;
    rect.bottom -= 1;
  }
  DrawBorder(dc, rect, m_Appearance, m_BorderVisible);
}

namespace {

// A device context for the control's window when the caller gave none, released at the end.
class BorrowedDC {
public:
  BorrowedDC(HDC Given, TWinControl& Control) : m_DC(Given) {
    if (!m_DC) {
      m_Window = Control.Handle();
      m_DC = GetDC(m_Window);
    }
  }
  BorrowedDC(const BorrowedDC&) = delete;
  BorrowedDC& operator=(const BorrowedDC&) = delete;
  ~BorrowedDC() {
    if (m_Window && m_DC) ReleaseDC(m_Window, m_DC);
  }
  HDC Get() const { return m_DC; }

private:
  HDC m_DC;
  HWND m_Window = nullptr;
};

}  // namespace

void TVLmVideoControl::DrawFill(HDC DC, RECT& Rect, TVLmAppearance Appearance, bool BorderVisible) {
  if (m_State.Contains(vlmVideoStarted) && m_Mode == vlmVideoStretch) return;
  BorrowedDC dc(DC, *this);
  if (!dc.Get()) return;
  HBRUSH brush = CreateSolidBrush(ColorToRGB(Color()));
  RECT area = Rect;
  const int frame = BorderVisible ? (Appearance == vlmFlat ? 1 : 2) : 0;
  InflateRect(&area, -frame, -frame);
  FillRect(dc.Get(), &area, brush);
  DeleteObject(brush);
}

void TVLmVideoControl::DrawBorder(HDC DC, RECT& Rect, TVLmAppearance Appearance, bool BorderVisible) {
  BorrowedDC dc(DC, *this);
  if (!dc.Get()) return;
  if (!BorderVisible)
    _Box(dc.Get(), Rect.left, Rect.top, Rect.right, Rect.bottom, 1, ColorToRGB(Color()));
  else if (Appearance == vlmFlat)
    _Box(dc.Get(), Rect.left, Rect.top, Rect.right, Rect.bottom, 1, ColorToRGB(m_BorderColor));
  else
    DrawDisplayEdge(dc.Get(), Rect, Appearance == vlmLowered);
}

void TVLmVideoControl::SetAppearance(TVLmAppearance Value) {
  if (Value == m_Appearance) return;
  m_Appearance = Value;
  Invalidate();
}

void TVLmVideoControl::SetBorderColor(TColor Value) {
  if (Value == m_BorderColor) return;
  m_BorderColor = Value;
  Invalidate();
}

void TVLmVideoControl::SetBorderVisible(bool Value) {
  if (Value == m_BorderVisible) return;
  m_BorderVisible = Value;
  Invalidate();
}

void TVLmVideoControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TVLmUiControl::MouseDown(Button, Shift, X, Y);
  if (Button == mbLeft && !Focused() && !ComponentState().Contains(csDesigning)) SetFocus();
}

bool TVLmVideoControl::CheckOpenPreconditions() {
  if (!LmFreeMemory) {
    m_ErrorStatus = LMERR_CORE_NOT_BOUND;
    return false;
  }
  // Probe the core library; neither result matters.
  LmFreeMemory(LmCreateImage ? LmCreateImage(1, 1, 1, 0, 0, 0, 0, 0, 0, 0) : 0);
  if (!m_Active) {
    m_ErrorStatus = LMERR_INACTIVE;
    return false;
  }
  if (m_State.Contains(vlmVideoOpened)) {
    m_ErrorStatus = LMERR_WRONG_STATE;
    return false;
  }
  return true;
}

void TVLmVideoControl::About() {
  TLmCallScope busy(*this);
  LmShowWebCameraAbout();
}

bool TVLmVideoControl::CheckOpenAndNotRunning() {
  if (m_State == vlmStateClosed || m_State.Contains(vlmVideoStarted)) {
    m_ErrorStatus = LMERR_WRONG_STATE;
    return false;
  }
  return true;
}

bool TVLmVideoControl::CheckRunningOrPaused() {
  if (m_State == vlmStateClosed || (!m_State.Contains(vlmVideoStarted) && !m_State.Contains(vlmVideoPaused))) {
    m_ErrorStatus = LMERR_WRONG_STATE;
    return false;
  }
  return true;
}

bool TVLmVideoControl::Close() {
  TLmCallScope busy(*this);
  if (m_State == vlmStateClosed) {
    m_ErrorStatus = LMERR_WRONG_STATE;
    return false;
  }
  CloseGraph();
  m_ErrorStatus = LMERR_NONE;
  return true;
}

void TVLmVideoControl::CloseGraph() {
  CloseInterfaces();
  ReleaseSource();
  m_State = vlmStateClosed;
  ClearFormatFields();
}

bool TVLmVideoControl::Pause() {
  TLmCallScope busy(*this);
  if (!CheckRunningOrPaused()) return false;
  if (!m_pMediaControl) {
    m_ErrorStatus = LMERR_GRAPH_FAILED;
    return false;
  }
  const bool resume = m_State.Contains(vlmVideoPaused);
  const HRESULT hr = resume ? m_pMediaControl->Run() : m_pMediaControl->Pause();
  if (FAILED(hr)) {
    // The graph refused: say so, and keep the state the graph is still in.
    m_ErrorStatus = LMERR_GRAPH_FAILED;
    return false;
  }
  m_State = resume ? vlmStateRunning : vlmStatePaused;
  m_ErrorStatus = LMERR_NONE;
  return true;
}

bool TVLmVideoControl::Stop() {
  TLmCallScope busy(*this);
  if (!CheckRunningOrPaused()) return false;
  StopGraph();
  if (m_pVideoWindow) m_pVideoWindow->put_Visible(OAFALSE);
  m_State = vlmStateStopped;
  m_ErrorStatus = LMERR_NONE;
  return true;
}

void TVLmVideoControl::PlaceVideoWindow() {
  RECT area;
  GetClientRectangle(&area, true);
  SetWindowPosition(area);
}

bool TVLmVideoControl::ShowAndRun() {
  // An open component always has both; their absence is a fault like any raised error.
  if (!m_pVideoWindow || !m_pMediaControl) throw std::logic_error("graph without video window or media control");
  if (m_VideoWindowLost && !SetupVideoWindow()) {
    m_ErrorStatus = LMERR_GRAPH_FAILED;
    return false;
  }
  if (m_pVideoWindow->put_Visible(OATRUE) != S_OK) {
    m_ErrorStatus = LMERR_GRAPH_FAILED;
    return false;
  }
  GraphStarting();
  // A success code other than S_OK means the graph is still changing state: that is success.
  if (FAILED(m_pMediaControl->Run())) {
    StopGraph();
    m_ErrorStatus = LMERR_GRAPH_FAILED;
    return false;
  }
  return true;
}

void TVLmVideoControl::StopGraph() {
  if (m_pMediaControl) m_pMediaControl->Stop();
  GraphStopped();
}

void TVLmVideoControl::WMGraphNotify(TMessage& Message) {
  HandleLibraryMessage(Message, [this] {
    long code = 0;
    LONG_PTR param1 = 0;
    LONG_PTR param2 = 0;
    // GraphEvent may tear the graph down; the interface is looked at again for every event.
    while (m_pMediaEvent && m_pMediaEvent->GetEvent(&code, &param1, &param2, 0) == S_OK) {
      const HRESULT freed = m_pMediaEvent->FreeEventParams(code, param1, param2);
      if (GraphEvent(code, param1, param2) || freed != S_OK) return;
    }
  });
}

void TVLmVideoControl::HandleLibraryMessage(TMessage& Message, const std::function<void()>& Work) {
  Message.Result = 0;
  if (m_CallDepth > 0) {
    HoldMessage(Message.Msg);
    return;
  }
  {
    TLmCallScope step(*this);
    try {
      Work();
    } catch (...) {
      // A failure inside the step ends it; what it queued is still raised.
    }
  }
  RaiseQueuedEvents();
}

void TVLmVideoControl::HoldMessage(UINT Msg) {
  for (UINT held : m_HeldMessages)
    if (held == Msg) return;
  m_HeldMessages.push_back(Msg);
}

void TVLmVideoControl::LeaveCall() {
  if (--m_CallDepth > 0 || m_HeldMessages.empty()) return;
  std::vector<UINT> held;
  held.swap(m_HeldMessages);
  if (!HandleAllocated()) return;
  for (UINT msg : held) PostMessageW(Handle(), msg, 0, 0);
}

void TVLmVideoControl::QueueEvent(std::function<void()> Raise, bool GraphBound, std::function<void()> Discard) {
  m_QueuedEvents.push_back(TLmQueuedEvent{std::move(Raise), std::move(Discard), GraphBound, m_GraphGeneration});
}

void TVLmVideoControl::RaiseQueuedEvents() {
  while (m_CallDepth == 0 && !m_QueuedEvents.empty()) {
    TLmQueuedEvent due = std::move(m_QueuedEvents.front());
    m_QueuedEvents.pop_front();
    try {
      if (due.GraphBound && due.Generation != m_GraphGeneration) {
        if (due.Discard) due.Discard();
      } else if (due.Raise) {
        due.Raise();
      }
    } catch (...) {
      // The handler's exception stays here.
    }
  }
}

bool TVLmVideoControl::GraphEvent(long, LONG_PTR, LONG_PTR) { return false; }

bool TVLmVideoControl::CreateFilterGraph() {
  ++m_GraphGeneration;
  return lm::CreateInto(CLSID_FilterGraph, lm::kInprocServerOrHandler, IID_IGraphBuilder, m_pGraphBuilder);
}

bool TVLmVideoControl::QueryGraphControl() {
  return lm::QueryInto(m_pGraphBuilder.Get(), IID_IMediaControl, m_pMediaControl) &&
         lm::QueryInto(m_pGraphBuilder.Get(), IID_IVideoWindow, m_pVideoWindow) &&
         lm::QueryInto(m_pGraphBuilder.Get(), IID_IMediaEventEx, m_pMediaEvent);
}

void TVLmVideoControl::CloseInterfaces() {
  ++m_GraphGeneration;
  try {
    ReleaseGraphControl();
    ReleaseExtraInterfaces();
    m_pGraphBuilder.Reset();
  } catch (...) {
    // Fields not reached stay held until they are assigned again or the control goes.
  }
}

void TVLmVideoControl::ReleaseGraphControl() {
  m_VideoWindowHook->Detach();
  if (m_pMediaControl) {
    StopGraph();
    m_pMediaControl.Reset();
  }
  if (m_pMediaEvent) {
    m_pMediaEvent->SetNotifyWindow(0, WM_GRAPHNOTIFY, 0);
    m_pMediaEvent.Reset();
  }
  if (m_pVideoWindow) {
    m_pVideoWindow->put_Visible(OAFALSE);
    m_pVideoWindow->put_Owner(0);
    m_pVideoWindow.Reset();
  }
}
