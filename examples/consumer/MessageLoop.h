#pragma once

#include <windows.h>

#include <functional>

// Dispatches the calling thread's window messages until Done() holds or TimeoutMs have passed;
// returns Done(). The controls' events (OnSnapshot, OnEnd) arrive through these messages.
bool PumpMessagesUntil(const std::function<bool()>& Done, DWORD TimeoutMs);

// Dispatches the calling thread's window messages for Milliseconds.
void PumpMessagesFor(DWORD Milliseconds);
