#pragma once

// Strings handed out through a caller's buffer: the capacity in characters, and the length
// the whole string needs, its terminator included.

#include <string>

#include "lumora10.h"

namespace lm10 {

// Whether a buffer argument is well formed: a null buffer only with capacity 0.
inline bool ValidBuffer(const wchar_t* Buffer, UINT32 Capacity) { return Buffer || Capacity == 0; }

// Writes Text and its terminator into Buffer and its needed length into *Needed (when
// given); a null buffer asks for the length alone. LM10_ERR_INVALID_ARGUMENT for a malformed
// buffer, LM10_ERR_BUFFER_TOO_SMALL (Buffer untouched, *Needed set) when it does not fit.
Lm10Result CopyOut(const std::wstring& Text, wchar_t* Buffer, UINT32 Capacity, UINT32* Needed);

// Two strings of one answer (a device's name and identity): both are written, or neither.
Lm10Result CopyOutPair(const std::wstring& First, wchar_t* FirstBuffer, UINT32 FirstCapacity, UINT32* FirstNeeded,
                       const std::wstring& Second, wchar_t* SecondBuffer, UINT32 SecondCapacity, UINT32* SecondNeeded);

}  // namespace lm10
