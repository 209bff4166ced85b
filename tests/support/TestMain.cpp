// Entry point of every test program: COM is initialised on the test thread, as a host
// application does, since the libraries never initialise it themselves.

#include <windows.h>

#include <objbase.h>

#include <gmock/gmock.h>

int main(int argc, char** argv) {
  testing::InitGoogleMock(&argc, argv);
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
