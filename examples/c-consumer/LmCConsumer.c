/* LmCConsumer: the camera components from C, through lumora10.h only.
 *
 *   LmCConsumer --snapshot FILE.bmp --record FILE.avi [--camera NAME]
 *
 * Lists the cameras with their identities, opens the named one (the test camera by default) by
 * its identity and previews it in a window of its own, changes its brightness and reads back
 * what the camera applied, receives a few frames, saves a snapshot as a BMP file, records two
 * seconds into an AVI file and plays the recording to its end. Every result is checked; the
 * exit code is 0 only when all of it worked. */
#include <lumora10.h>
#include <shellapi.h>

#include <stdio.h>
#include <string.h>
#include <wchar.h>

/* Reports a failed call with the interface's text for its code; true when it succeeded. */
static int Succeeded(Lm10Result result, const char* what) {
  wchar_t text[128] = L"";
  if (result == LM10_OK) return 1;
  Lm10GetErrorText(result, text, 128, NULL);
  fprintf(stderr, "LmCConsumer: %s failed with %d (%ls)\n", what, (int)result, text);
  return 0;
}
#define CHECK(call) \
  do { \
    if (!Succeeded((call), #call)) return 0; \
  } while (0)

/* Dispatches this thread's messages until *flag is set or the time is up; the controls raise
   their events from here. Returns whether the flag was set. */
static int PumpUntil(const int* flag, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  MSG message;
  while (!(flag && *flag) && GetTickCount() - start < milliseconds) {
    MsgWaitForMultipleObjects(0, NULL, FALSE, 20, QS_ALLINPUT);
    while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return flag && *flag;
}

struct Snapshot {
  const wchar_t* FileName;
  int Delivered;
  int Saved;
};

/* Writes the snapshot block (BITMAPINFOHEADER, then the pixels) as a BMP file. */
static void LM10_CALL OnSnapshot(Lm10Control control, HGLOBAL image, BOOL* freeMemory, void* context) {
  struct Snapshot* snapshot = (struct Snapshot*)context;
  const BYTE* dib = (const BYTE*)GlobalLock(image);
  (void)control;
  (void)freeMemory; /* the library frees the block when this returns */
  snapshot->Delivered = 1;
  if (dib) {
    const BITMAPINFOHEADER* info = (const BITMAPINFOHEADER*)dib;
    BITMAPFILEHEADER head;
    DWORD written = 0, dibWritten = 0;
    HANDLE file = CreateFileW(snapshot->FileName, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    memset(&head, 0, sizeof(head));
    head.bfType = 0x4D42; /* "BM" */
    head.bfOffBits = sizeof(head) + info->biSize;
    head.bfSize = head.bfOffBits + info->biSizeImage;
    if (file != INVALID_HANDLE_VALUE) {
      snapshot->Saved = WriteFile(file, &head, sizeof(head), &written, NULL) &&
                        WriteFile(file, dib, info->biSize + info->biSizeImage, &dibWritten, NULL);
      CloseHandle(file);
    }
    GlobalUnlock(image);
    printf("snapshot: %ldx%ld, %d bits\n", (long)info->biWidth, (long)info->biHeight, (int)info->biBitCount);
  }
}

static void LM10_CALL OnEnd(Lm10Control control, void* context) {
  (void)control;
  *(int*)context = 1;
}

/* The identity of the camera named `name`, into path. */
static int FindCamera(const wchar_t* name, wchar_t* path, UINT32 capacity) {
  INT32 count = 0, index;
  int found = 0;
  CHECK(Lm10GetDeviceCount(NULL, &count));
  for (index = 0; index < count; ++index) {
    wchar_t line[256], identity[512];
    CHECK(Lm10GetDevice(NULL, index, line, 256, NULL, identity, 512, NULL));
    printf("camera %d: %ls\n         %ls\n", (int)index, line, identity);
    if (!found && wcscmp(line, name) == 0 && wcslen(identity) < capacity) {
      wcscpy(path, identity);
      found = 1;
    }
  }
  if (!found) fprintf(stderr, "LmCConsumer: no camera named %ls\n", name);
  return found;
}

/* Counts the frames the preview hands over (on this thread, from its message loop). */
struct FrameCount {
  int Received;
  int Enough;
  Lm10Frame Last;
};

static void LM10_CALL OnFrame(Lm10Control control, const Lm10Frame* frame, void* context) {
  struct FrameCount* frames = (struct FrameCount*)context;
  (void)control;
  frames->Last = *frame; /* the pixels are lent for the call; only the fields are kept */
  frames->Enough = ++frames->Received >= 5;
}

/* Sets the running camera's brightness one step above its default, reads back what the camera
   applied, and puts the default back. */
static int ChangeBrightness(Lm10Control preview) {
  Lm10CameraSettingRange range;
  INT32 value = 0;
  BOOL automatic = FALSE;
  memset(&range, 0, sizeof(range));
  range.Size = sizeof(range);
  CHECK(Lm10GetCameraSettingRange(preview, LM10_SETTING_BRIGHTNESS, &range));
  value = range.Default + range.Step <= range.Max ? range.Default + range.Step : range.Default - range.Step;
  CHECK(Lm10SetCameraSetting(preview, LM10_SETTING_BRIGHTNESS, value));
  CHECK(Lm10GetCameraSetting(preview, LM10_SETTING_BRIGHTNESS, &value, &automatic));
  printf("brightness %d (range %d..%d, default %d)\n", (int)value, (int)range.Min, (int)range.Max, (int)range.Default);
  CHECK(Lm10SetCameraSetting(preview, LM10_SETTING_BRIGHTNESS, range.Default));
  return 1;
}

static int SaveSnapshot(HWND window, const wchar_t* camera, const wchar_t* fileName) {
  Lm10Control preview = NULL;
  struct Snapshot snapshot = {NULL, 0, 0};
  struct FrameCount frames;
  INT32 state = 0;
  int done;
  snapshot.FileName = fileName;
  memset(&frames, 0, sizeof(frames));
  CHECK(Lm10PreviewCreate(window, &preview));
  done = Succeeded(Lm10SetBounds(preview, 10, 10, 320, 240), "Lm10SetBounds") &&
         Succeeded(Lm10SetOnSnapshot(preview, OnSnapshot, &snapshot), "Lm10SetOnSnapshot") &&
         Succeeded(Lm10SetOnFrame(preview, OnFrame, &frames), "Lm10SetOnFrame") &&
         Succeeded(Lm10PreviewOpenDevice(preview, camera), "Lm10PreviewOpenDevice") &&
         Succeeded(Lm10Start(preview, LM10_MODE_STRETCH), "Lm10Start") &&
         Succeeded(Lm10GetState(preview, &state), "Lm10GetState") && state == LM10_STATE_RUNNING &&
         ChangeBrightness(preview) && PumpUntil(&frames.Enough, 5000) &&
         Succeeded(Lm10TakeSnapshot(preview), "Lm10TakeSnapshot") && PumpUntil(&snapshot.Delivered, 5000) &&
         snapshot.Saved && Succeeded(Lm10Close(preview), "Lm10Close");
  CHECK(Lm10Destroy(preview));
  if (frames.Received > 0)
    printf("%d frames, the last %dx%d number %u\n", frames.Received, (int)frames.Last.Width, (int)frames.Last.Height,
           (unsigned)frames.Last.Number);
  if (!done) fprintf(stderr, "LmCConsumer: no frames or no snapshot saved\n");
  return done;
}

static int Record(HWND window, const wchar_t* camera, const wchar_t* fileName) {
  Lm10Control recorder = NULL;
  int done;
  CHECK(Lm10RecorderCreate(window, &recorder));
  done = Succeeded(Lm10SetBounds(recorder, 10, 10, 320, 240), "Lm10SetBounds") &&
         Succeeded(Lm10RecorderSetFileFormat(recorder, LM10_FILE_AVI), "Lm10RecorderSetFileFormat") &&
         Succeeded(Lm10RecorderOpenDevice(recorder, fileName, camera), "Lm10RecorderOpenDevice") &&
         Succeeded(Lm10Start(recorder, LM10_MODE_STRETCH), "Lm10Start");
  if (done) {
    PumpUntil(NULL, 2000);
    done = Succeeded(Lm10Stop(recorder), "Lm10Stop") && Succeeded(Lm10Close(recorder), "Lm10Close");
  }
  CHECK(Lm10Destroy(recorder));
  if (done) printf("recorded 2 s\n");
  return done;
}

static int PlayToEnd(HWND window, const wchar_t* fileName) {
  Lm10Control player = NULL;
  double duration = 0;
  int ended = 0, done;
  CHECK(Lm10PlayerCreate(window, &player));
  done = Succeeded(Lm10SetBounds(player, 340, 10, 320, 240), "Lm10SetBounds") &&
         Succeeded(Lm10SetOnEnd(player, OnEnd, &ended), "Lm10SetOnEnd") &&
         Succeeded(Lm10PlayerOpen(player, fileName), "Lm10PlayerOpen") &&
         Succeeded(Lm10PlayerGetDuration(player, &duration), "Lm10PlayerGetDuration") &&
         Succeeded(Lm10PlayerStart(player, LM10_MODE_SCALE, 1.0), "Lm10PlayerStart") &&
         PumpUntil(&ended, (DWORD)(duration * 1000) + 5000);
  CHECK(Lm10Destroy(player));
  if (done) printf("played %.2f s to the end\n", duration);
  else fprintf(stderr, "LmCConsumer: the recording did not play to its end\n");
  return done;
}

static HWND MakeWindow(void) {
  WNDCLASSW windowClass;
  memset(&windowClass, 0, sizeof(windowClass));
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(NULL);
  windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  windowClass.lpszClassName = L"LmCConsumer";
  RegisterClassW(&windowClass);
  return CreateWindowExW(0, L"LmCConsumer", L"LmCConsumer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 300, NULL,
                         NULL, windowClass.hInstance, NULL);
}

int main(void) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc); /* the arguments as UTF-16 */
  const wchar_t* snapshot = NULL;
  const wchar_t* recording = NULL;
  const wchar_t* cameraName = L"Lumora Test Camera";
  wchar_t camera[512];
  INT32 major = 0, minor = 0, patch = 0;
  HWND window;
  int i, passed;
  for (i = 1; argv && i + 1 < argc; i += 2) {
    if (wcscmp(argv[i], L"--snapshot") == 0) snapshot = argv[i + 1];
    else if (wcscmp(argv[i], L"--record") == 0) recording = argv[i + 1];
    else if (wcscmp(argv[i], L"--camera") == 0) cameraName = argv[i + 1];
  }
  if (!snapshot || !recording) {
    fprintf(stderr, "usage: LmCConsumer --snapshot FILE.bmp --record FILE.avi [--camera NAME]\n");
    return 2;
  }
  /* The DLL loaded must be of this header's major version, and not older. */
  if (!Succeeded(Lm10GetVersion(&major, &minor, &patch), "Lm10GetVersion") || major != LM10_VERSION_MAJOR ||
      minor < LM10_VERSION_MINOR) {
    fprintf(stderr, "LmCConsumer: lumora10.dll %d.%d.%d does not serve this program\n", (int)major, (int)minor,
            (int)patch);
    return 1;
  }
  printf("lumora10.dll %d.%d.%d\n", (int)major, (int)minor, (int)patch);
  if (FAILED(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED))) return 1;
  window = MakeWindow();
  passed = window && FindCamera(cameraName, camera, 512) && SaveSnapshot(window, camera, snapshot) &&
           Record(window, camera, recording) && PlayToEnd(window, recording);
  if (window) DestroyWindow(window);
  CoUninitialize();
  LocalFree(argv);
  return passed ? 0 : 1;
}
