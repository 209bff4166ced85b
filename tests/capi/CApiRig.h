#pragma once

// What the C interface's tests share: a host window, controls that destroy themselves, the test
// camera as lumora10.h lists it, and a closer for the modal windows the interface shows.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "lumora10.h"
#include "support/TestWindow.h"

namespace capitest {

// A control of the C interface, destroyed at the end of the scope (when still alive).
class Control {
public:
  using Create = Lm10Result(LM10_CALL*)(HWND, Lm10Control*);
  Control(Create Maker, HWND Parent);
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  ~Control();

  Lm10Control Handle() const { return m_Handle; }
  INT32 State() const;
  INT32 Status() const;

private:
  Lm10Control m_Handle = nullptr;
};

// The first test camera's line in the control-free device list: its index, name and identity;
// index -1 when it is not listed.
struct CameraLine {
  INT32 Index = -1;
  std::wstring Name;
  std::wstring Path;
};
CameraLine FindTestCamera();

// Closes every window that the calling thread shows besides Keep (a property frame, the version
// box) a moment after it appears, from a timer of this thread, since those windows are modal;
// BeforeClose runs first, each time, inside the modal loop.
class ModalCloser {
public:
  explicit ModalCloser(HWND Keep, std::function<void()> BeforeClose = nullptr);
  ModalCloser(const ModalCloser&) = delete;
  ModalCloser& operator=(const ModalCloser&) = delete;
  ~ModalCloser();
  // How many windows it closed.
  int Closed() const;

private:
  UINT_PTR m_Timer = 0;
};

}  // namespace capitest
