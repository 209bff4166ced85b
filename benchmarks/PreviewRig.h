#pragma once

// TVLmPreview as the benchmark drives it, the way an application does: open a camera of the
// device list, select a format of its list by subtype and size with a frame rate, start, take
// snapshots. The picture fills the view exactly (no border), as the hand-written program's
// video window does. GUI thread only.

#include <windows.h>

#include <memory>
#include <string>

#include "benchmarks/CameraPicture.h"
#include "webcam/LmPreview.h"

namespace bench {

class PreviewRig {
public:
  // Creates the control inside Host, covering View.
  PreviewRig(HWND Host, const RECT& View);
  PreviewRig(const PreviewRig&) = delete;
  PreviewRig& operator=(const PreviewRig&) = delete;
  // Stops and closes the control, and lets its window's last messages run.
  ~PreviewRig();

  // Each is false on failure, with Failure saying what failed and the control's error status.
  bool Open(const wchar_t* Camera);
  // The entry of Format's subtype and size, at Format's rate; the control must be stopped.
  bool SelectFormat(const CameraFormat& Format);
  // The frame stream for the next Start: Handler raised with the frames in Delivery and Format.
  void SetFrames(TVLmFrameDelivery Delivery, TVLmFrameFormat Format, TVLmFrameEvent Handler);
  bool Start();
  bool Stop();
  // TakeSnapshot, then messages pumped until OnSnapshot delivered (Figures filled) or TimeoutMs
  // passed (Lost); Failed when TakeSnapshot failed.
  SnapshotResult Snapshot(double TimeoutMs, SnapshotFigures& Figures);

  // The video window (the control's first child); null before the first Open.
  HWND VideoWindow() const;
  std::wstring Failure;

private:
  bool Fail(const std::wstring& Step);

  std::unique_ptr<TVLmPreview> m_Preview;
  bool m_Delivered = false;  // set by OnSnapshot
  SnapshotFigures m_Last;    // what OnSnapshot saw
};

}  // namespace bench
