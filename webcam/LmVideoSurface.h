#pragma once

// What the three video components share: the frame and background they paint, the placement
// of the renderer's video window inside the frame, the forwarding of cursor and colour to
// that window, the state and error-status fields, and the runtime-marker test.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <cstdint>
#include <memory>

#include "core/Lminit.h"
#include "webcam/LmWebCamera.h"

class TLmVideoWindowHook;

class LMWEBCAM_API TVLmVideoControl : public TVLmUiControl {
public:
  ~TVLmVideoControl() override;

  TVLmAppearance Appearance() const { return m_Appearance; }
  void SetAppearance(TVLmAppearance Value);
  TColor BorderColor() const { return m_BorderColor; }
  void SetBorderColor(TColor Value);
  bool BorderVisible() const { return m_BorderVisible; }
  void SetBorderVisible(bool Value);

  // Shows the camera library's version-information box.
  void About();

  // Pauses a running picture, or runs a paused one again.
  bool Pause();
  // Stops the graph and hides the picture; Start runs it again.
  bool Stop();

  int16_t ErrorStatus() const { return m_ErrorStatus; }
  TVLmVideoStates State() const { return m_State; }
  SIZE VideoSize() const { return m_VideoSize; }

  // The display area: Rect (the client rectangle when GetClient is true) shrunk by the frame.
  void GetClientRectangle(RECT* Rect, bool GetClient);
  // Places the video window inside the display area Rect for the current mode; false when
  // there is no runtime or no video window.
  bool SetWindowPosition(const RECT& Rect);
  // Places the video at its own size, centred in Rect, shrunk with its aspect ratio kept
  // when it does not fit.
  void SetScaleDisplayArea(const RECT& Rect);
  // Attaches the graph's video window to this control, hidden, and routes graph events here.
  bool SetupVideoWindow();

  void DrawFill(HDC DC, RECT& Rect, TVLmAppearance Appearance, bool BorderVisible);
  void DrawBorder(HDC DC, RECT& Rect, TVLmAppearance Appearance, bool BorderVisible);

  // The frame width for the current appearance: 0 hidden, 1 flat, 2 lowered or raised.
  int FrameWidth() const;

protected:
  explicit TVLmVideoControl(TComponent* AOwner);

  void Dispatch(TMessage& Message) override;
  void Paint() override;
  void Resize() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;

  // The control's window is being destroyed while the component lives on (its host window
  // went first): the graph stops and lets go of the window (see VideoWindowLost).
  void WMDestroy(TMessage& Message);
  void WMGetDlgCode(TMessage& Message);
  void WMEraseBkgnd(TMessage& Message);
  void CMCursorChanged(TMessage& Message);
  void CMColorChanged(TMessage& Message);

  // The video window: the first child window of the control's window, if any.
  HWND VideoWindowHandle();
  // Give the cursor or the background colour to the video window (that window only, never its
  // class, which every video window of the process shares); clear the pending flag.
  void ForwardCursor(HWND Child);
  void ForwardColor(HWND Child);

  // Fields in the order the components declare them. GUI thread only.
  HCURSOR m_hMouseCursor = nullptr;
  TVLmAppearance m_Appearance = vlmFlat;
  TColor m_BorderColor = clBlack;
  bool m_BorderVisible = true;
  int16_t m_ErrorStatus = LMERR_NONE;
  TVLmVideoStates m_State{vlmVideoClosed};
  SIZE m_VideoSize{0, 0};
  bool m_Active = false;
  TVLmVideoDisplayMode m_Mode = vlmVideoStretch;
  Microsoft::WRL::ComPtr<IGraphBuilder> m_pGraphBuilder;
  Microsoft::WRL::ComPtr<IMediaControl> m_pMediaControl;
  Microsoft::WRL::ComPtr<IVideoWindow> m_pVideoWindow;
  Microsoft::WRL::ComPtr<IMediaEventEx> m_pMediaEvent;
  bool m_CursorChange = false;
  bool m_ColorChange = false;
  // The control's window was destroyed under an open graph; the next Start (or rebuild)
  // attaches the video window to the control's new window.
  bool m_VideoWindowLost = false;

  // The checks that open every component in this order: the core library's image entry
  // points (14, after probing them), the runtime (201), not already open (11). False with the
  // error set when one fails.
  bool CheckOpenPreconditions();

  // Places the video window in the display area for the current mode.
  void PlaceVideoWindow();
  // Shows the video window and runs the graph: false with error 2 when either fails (a failed
  // run stops the graph again). A video window that lost the control's window is attached to
  // a new one first (false with error 2 when that fails: say, the host window is gone and no
  // other was given). Raises when the graph has no video window or media control.
  bool ShowAndRun();
  // A snapshot asked for and not yet delivered is dropped; controls that take none have none.
  virtual void DropSnapshotRequest() {}

  // Drains the graph's event queue, handing each event to GraphEvent.
  void WMGraphNotify(TMessage& Message);
  // One graph event, its parameters already freed (Param1 and Param2 are their values, for
  // comparison only); true stops the draining (the rest waits for the next WM_GRAPHNOTIFY).
  // The default acts on nothing.
  virtual bool GraphEvent(long Code, LONG_PTR Param1, LONG_PTR Param2);

  // ---- The graph, built and torn down alike by every component ----
  // Creates the filter graph into m_pGraphBuilder.
  bool CreateFilterGraph();
  // The graph's media control, video window and event interfaces, in this order.
  bool QueryGraphControl();
  // Tears the graph down: stops it, unregisters the window from its events, hides and detaches
  // the video window, releases what the component holds beyond the shared interfaces
  // (ReleaseExtraInterfaces), then the graph. An error on the way ends it silently; the fields
  // not reached stay held until they are assigned again or the control goes.
  void CloseInterfaces();
  // Releases the component's own graph objects (the grabber, the capture graph builder, the
  // seeking interface), after the video window is detached and before the graph goes.
  virtual void ReleaseExtraInterfaces() {}
  // The first steps of that teardown: stop the graph, unregister the window from its events,
  // hide and detach the video window, releasing each interface.
  void ReleaseGraphControl();

  // Sets m_Active from the multimedia runtime's marker file "dpnhpast.dll" in the system
  // directory. Returns false when the file is missing (construction then ends there); a system
  // directory that cannot be read leaves m_Active false but lets construction go on.
  bool DecideActive();

private:
  // The screen cursor for Cursor; the default cursor becomes the arrow.
  static HCURSOR CursorHandle(TCursor Cursor);
  // Takes the graph's hands off the control's window: stops the graph, unregisters the window
  // from graph events, hides and detaches the video window, drops a pending snapshot. An open
  // component stays open; a running or paused one becomes stopped.
  void VideoWindowLost();

  // The renderer's window as this control's cursor and colour reach it. GUI thread only.
  std::unique_ptr<TLmVideoWindowHook> m_VideoWindowHook;
};
