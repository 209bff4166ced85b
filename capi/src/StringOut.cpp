#include "capi/src/StringOut.h"

#include <cwchar>

namespace lm10 {
namespace {

UINT32 NeededFor(const std::wstring& Text) { return static_cast<UINT32>(Text.size() + 1); }

// Whether Text fits a buffer that was given (a null buffer asks for the length alone).
bool Fits(const std::wstring& Text, const wchar_t* Buffer, UINT32 Capacity) {
  return !Buffer || Capacity >= NeededFor(Text);
}

void Write(const std::wstring& Text, wchar_t* Buffer) { std::wmemcpy(Buffer, Text.c_str(), Text.size() + 1); }

}  // namespace

Lm10Result CopyOut(const std::wstring& Text, wchar_t* Buffer, UINT32 Capacity, UINT32* Needed) {
  if (!ValidBuffer(Buffer, Capacity)) return LM10_ERR_INVALID_ARGUMENT;
  if (Needed) *Needed = NeededFor(Text);
  if (!Fits(Text, Buffer, Capacity)) return LM10_ERR_BUFFER_TOO_SMALL;
  if (Buffer) Write(Text, Buffer);
  return LM10_OK;
}

Lm10Result CopyOutPair(const std::wstring& First, wchar_t* FirstBuffer, UINT32 FirstCapacity, UINT32* FirstNeeded,
                       const std::wstring& Second, wchar_t* SecondBuffer, UINT32 SecondCapacity, UINT32* SecondNeeded) {
  if (!ValidBuffer(FirstBuffer, FirstCapacity) || !ValidBuffer(SecondBuffer, SecondCapacity))
    return LM10_ERR_INVALID_ARGUMENT;
  if (FirstNeeded) *FirstNeeded = NeededFor(First);
  if (SecondNeeded) *SecondNeeded = NeededFor(Second);
  if (!Fits(First, FirstBuffer, FirstCapacity) || !Fits(Second, SecondBuffer, SecondCapacity))
    return LM10_ERR_BUFFER_TOO_SMALL;
  if (FirstBuffer) Write(First, FirstBuffer);
  if (SecondBuffer) Write(Second, SecondBuffer);
  return LM10_OK;
}

}  // namespace lm10
