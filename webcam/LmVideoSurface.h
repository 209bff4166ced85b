#pragma once

// What the three video components share: the frame and background they paint, the placement
// of the renderer's video window inside the frame, the forwarding of cursor and colour to
// that window, the state and error-status fields, and the runtime-marker test.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "core/Lminit.h"
#include "webcam/LmWebCamera.h"

class TLmVideoWindowHook;

class LMWEBCAM_API TVLmVideoControl : public TVLmUiControl {
  // The snapshot pipeline, a base beside this one, raises its event as this control's.
  friend class TLmSnapshotPipeline;

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
  // Stops the graph, releases it and what it played (the device or the file), and clears the
  // format properties; error 11 when already closed.
  bool Close();

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

  // ---- Events, raised only once the library has finished what it was doing ----
  //
  // Every public operation is a library call for as long as its scope lives. While one runs
  // (and a property frame's modal loop, or COM waiting for another apartment, dispatches the
  // window's messages), the control's own posted messages (graph events, snapshot frames,
  // device-list changes) are held, and posted again when the outermost call returns. Handling
  // one of them is a library step too; the events it gives rise to are queued and raised after
  // it, one at a time, each after the previous handler returned. A handler may therefore call
  // Close, Open, Start or Stop; an event that belongs to a graph which a handler closed (or
  // replaced) meanwhile is dropped. A handler must not destroy the control.
  class TLmCallScope {
  public:
    explicit TLmCallScope(TVLmVideoControl& Control) : m_Control(Control) { ++m_Control.m_CallDepth; }
    TLmCallScope(const TLmCallScope&) = delete;
    TLmCallScope& operator=(const TLmCallScope&) = delete;
    ~TLmCallScope() { m_Control.LeaveCall(); }

  private:
    TVLmVideoControl& m_Control;
  };
  // Handles a message of the library's own: held while a call runs; otherwise Work runs as one
  // library step and the events it queued are raised. Sets the message result to 0.
  void HandleLibraryMessage(TMessage& Message, const std::function<void()>& Work);
  // Queues an event for the end of the current step. GraphBound: the event belongs to the graph
  // that is open now and is dropped (Discard runs instead) when that graph is gone by the time
  // it is due.
  void QueueEvent(std::function<void()> Raise, bool GraphBound, std::function<void()> Discard = nullptr);
  // Raises the queued events while no call is in progress; an exception a handler throws is
  // caught and dropped.
  void RaiseQueuedEvents();
  // Whether a library call or step of this control is in progress.
  bool InLibraryCall() const { return m_CallDepth > 0; }

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
  // The application set Cursor or Color: every video window the control shows gets it. A
  // control whose cursor and colour were never set leaves the renderer's own.
  bool m_CursorGiven = false;
  bool m_ColorGiven = false;
  // Counts the graphs the control has built and torn down: an event queued for one graph is
  // dropped once it is gone.
  uint32_t m_GraphGeneration = 0;

  // Refusals shared by the operations: false with error 11 when the control is closed or
  // running (Start, StartFrom, SetStreamFormat), or when it is neither running nor paused
  // (Pause, Stop).
  bool CheckOpenAndNotRunning();
  bool CheckRunningOrPaused();
  // Tears the graph down and lets go of the device or file: what Close and the destructors of
  // the controls share. The controls' destructors call it, so that their own hooks still run.
  void CloseGraph();
  // What a control lets go of beyond the graph when it closes (the capture controls' device).
  virtual void ReleaseSource() {}
  // The format or media-information fields that closing clears.
  virtual void ClearFormatFields() {}

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
  // The graph is about to run (Start); it has stopped (Stop, Close, a lost device, the end of
  // the file, ...). A control that takes frames from its graph starts and ends them here.
  virtual void GraphStarting() {}
  virtual void GraphStopped() {}
  // Stops the graph (when there is one) and tells GraphStopped.
  void StopGraph();

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
  struct TLmQueuedEvent {
    std::function<void()> Raise;
    std::function<void()> Discard;
    bool GraphBound = false;
    uint32_t Generation = 0;
  };
  // Ends a library call; the outermost one posts the held messages again.
  void LeaveCall();
  void HoldMessage(UINT Msg);

  // Library calls in progress, messages held meanwhile, and events due. GUI thread only.
  int m_CallDepth = 0;
  std::vector<UINT> m_HeldMessages;
  std::deque<TLmQueuedEvent> m_QueuedEvents;

  // The screen cursor for Cursor; the default cursor becomes the arrow.
  static HCURSOR CursorHandle(TCursor Cursor);
  // Takes the graph's hands off the control's window: stops the graph, unregisters the window
  // from graph events, hides and detaches the video window, drops a pending snapshot. An open
  // component stays open; a running or paused one becomes stopped.
  void VideoWindowLost();

  // The renderer's window as this control's cursor and colour reach it. GUI thread only.
  std::unique_ptr<TLmVideoWindowHook> m_VideoWindowHook;
};
