#pragma once

// The three examples of the README, one per component. Each places its control in Parent, a
// window of the calling thread, and runs that thread's message loop while it waits.

#include <windows.h>

#include <string>

// Shows the first video capture device in Parent and saves one snapshot of it as a BMP file.
bool SaveSnapshotOfFirstCamera(HWND Parent, const std::wstring& FileName);
// Records the first video capture device into an AVI file for Milliseconds, showing it in Parent.
bool RecordFirstCamera(HWND Parent, const std::wstring& FileName, DWORD Milliseconds);
// Plays a video file in Parent until it ends.
bool PlayToEnd(HWND Parent, const std::wstring& FileName);
