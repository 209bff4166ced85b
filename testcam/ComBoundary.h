#pragma once

// The boundary of every COM method of the project's COM servers (and of the test codec's
// driver entry point): no C++ exception crosses it. A method that can allocate or throw runs
// its body through ComBoundary, which answers E_OUTOFMEMORY for std::bad_alloc and E_FAIL for
// any other exception; a lock the body holds is released on the way out.
//
//   STDMETHODIMP Pin::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
//     return ComBoundary([&]() -> HRESULT { ... });
//   }

#include <windows.h>

#include <new>
#include <utility>

namespace lmcam {

// Runs Body and returns its result; an exception from it becomes OutOfMemory when it is
// std::bad_alloc, Failure otherwise. For entry points whose results are not HRESULTs.
template <typename Result, typename Body>
Result CallAtBoundary(Body&& Run, Result OutOfMemory, Result Failure) noexcept {
  try {
    return std::forward<Body>(Run)();
  } catch (const std::bad_alloc&) {
    return OutOfMemory;
  } catch (...) {
    return Failure;
  }
}

// The COM form: E_OUTOFMEMORY for std::bad_alloc, E_FAIL for anything else.
template <typename Body>
HRESULT ComBoundary(Body&& Run) noexcept {
  return CallAtBoundary<HRESULT>(std::forward<Body>(Run), E_OUTOFMEMORY, E_FAIL);
}

}  // namespace lmcam
