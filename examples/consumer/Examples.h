#pragma once

// The examples of the README: one per component, the camera settings and the frame stream. Each places its control in Parent, a
// window of the calling thread, and runs that thread's message loop while it waits.

#include <windows.h>

#include <string>

// Shows the first video capture device in Parent and saves one snapshot of it as a BMP file.
bool SaveSnapshotOfFirstCamera(HWND Parent, const std::wstring& FileName);
// Records the first video capture device into an AVI file for Milliseconds, showing it in Parent.
bool RecordFirstCamera(HWND Parent, const std::wstring& FileName, DWORD Milliseconds);
// Plays a video file in Parent until it ends.
bool PlayToEnd(HWND Parent, const std::wstring& FileName);
// Keeps the first camera's settings, changes its brightness, and restores them after opening
// the camera again by its identity.
bool AdjustAndRestoreFirstCamera(HWND Parent);
// Counts the frames of the first camera delivered over Milliseconds.
bool CountFramesOfFirstCamera(HWND Parent, DWORD Milliseconds);
