#pragma once

// How every function of the C interface meets its caller: nothing thrown crosses it, a handle
// that names no live control of the right kind on the calling thread gives
// LM10_ERR_INVALID_ARGUMENT, and a control's outcome is the code its method left.

#include <cstdint>

#include "capi/src/ControlTable.h"
#include "lumora10.h"

namespace lm10 {

// Runs Body; an exception (out of memory, say) becomes LM10_ERR_GRAPH_FAILED.
template <typename Body>
Lm10Result Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return LM10_ERR_GRAPH_FAILED;
  }
}

// Runs Body with the control that Handle names, when it is of one of Kinds and belongs to the
// calling thread. Body must not destroy the control (Lm10Destroy finds it on its own).
template <typename Body>
Lm10Result WithControl(Lm10Control Handle, uint32_t Kinds, Body&& body) noexcept {
  return Guarded([&]() -> Lm10Result {
    ControlEntry* entry = FindControl(Handle, Kinds);
    if (!entry) return LM10_ERR_INVALID_ARGUMENT;
    // Counted while it runs; the count is dropped however the call ends.
    struct Running {
      int& Count;
      explicit Running(int& Calls) : Count(Calls) { ++Count; }
      ~Running() { --Count; }
    } running(entry->CallsRunning);
    return body(*entry);
  });
}

// Writes what Read(control) gives into *Out: a getter of the control that Handle names.
template <typename Value, typename Reader>
Lm10Result ReadValue(Lm10Control Handle, uint32_t Kinds, Value* Out, Reader Read) noexcept {
  return WithControl(Handle, Kinds, [&](ControlEntry& entry) -> Lm10Result {
    if (!Out) return LM10_ERR_INVALID_ARGUMENT;
    *Out = static_cast<Value>(Read(entry));
    return LM10_OK;
  });
}

// Hands a valid value to Write(control): a setter of the control that Handle names.
template <typename Writer>
Lm10Result WriteValue(Lm10Control Handle, uint32_t Kinds, bool Valid, Writer Write) noexcept {
  return WithControl(Handle, Kinds, [&](ControlEntry& entry) -> Lm10Result {
    if (!Valid) return LM10_ERR_INVALID_ARGUMENT;
    Write(entry);
    return LM10_OK;
  });
}

// The code the control's last operation left.
inline Lm10Result Status(const ControlEntry& Entry) { return Entry.Control->ErrorStatus(); }

// The outcome of a control's method: 0 when it succeeded, else the code it set (or
// LM10_ERR_GRAPH_FAILED when it set none).
inline Lm10Result Outcome(const ControlEntry& Entry, bool Succeeded) {
  if (Succeeded) return LM10_OK;
  const Lm10Result status = Status(Entry);
  return status != LM10_OK ? status : LM10_ERR_GRAPH_FAILED;
}

}  // namespace lm10
