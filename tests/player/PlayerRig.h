#pragma once

// What the player's tests on Wine's DirectShow share: the player with its protected state
// opened to the tests, the clips the build generates, the screen read back, and a snapshot
// handler that keeps what it is given.

#include <windows.h>

#include <dshow.h>

#include <string>
#include <vector>

#include "webcam/LmPlay.h"

namespace playertest {

// Time limits: a whole test body on its GUI thread, and one event that a test waits for.
constexpr DWORD kTimeoutMs = 60000;
constexpr DWORD kEventTimeoutMs = 15000;

class PlayerProbe : public TVLmPlay {
public:
  explicit PlayerProbe(TComponent* AOwner = nullptr) : TVLmPlay(AOwner) {}

  using TVLmPlay::m_isSampleGrabber;
  using TVLmPlay::m_pMediaSeeking;
  using TVLmPlay::m_pVideoWindow;
  using TVLmPlay::m_vih;

  // The graph's current position in 100 ns units, or -1.
  LONGLONG Position();
  // The graph's playback rate, or 0.
  double Rate();
  // The video window's visibility as the graph reports it and as the window is.
  bool VideoWindowShown();
};

// Windows path of a clip that the build generated (directory from LM_PLAYER_CLIPS, a Unix
// path, mapped to drive Z:).
std::wstring ClipPath(const wchar_t* Name);

// The bytes of a file, or nothing.
std::vector<BYTE> ReadFileBytes(const std::wstring& Path);
bool WriteFileBytes(const std::wstring& Path, const BYTE* Bytes, size_t Count);
// A new empty folder under the temporary directory, removed (with the files in it) by its
// destructor.
class TempFolder {
public:
  TempFolder();
  ~TempFolder();
  const std::wstring& Path() const { return m_Path; }

private:
  std::wstring m_Path;
};

// The colour of the screen pixel at (X, Y), read from the screen itself (no repaint).
COLORREF ScreenPixel(int X, int Y);
// True when the two colours differ by at most Tolerance in each channel.
bool Near(COLORREF A, COLORREF B, int Tolerance = 24);

// The snapshots an OnSnapshot handler was given, kept (FreeMemory false) until the end.
struct KeptSnapshots {
  std::vector<HGLOBAL> Blocks;
  std::vector<TObject*> Senders;
  std::vector<DWORD> Threads;
  TVLmVideoSnapShotEvent Handler();
  ~KeptSnapshots();
};

}  // namespace playertest
