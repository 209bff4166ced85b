#include "testcam/LiveCameras.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace lmcam {
namespace {

// Made on first use and never destroyed: cameras may outlive the DLL's static destructors in a
// process that ends with objects still alive.
struct CameraList {
  std::mutex Lock;
  std::vector<CaptureFilter*> Cameras;  // raw: each camera removes itself before it goes
};

CameraList& Cameras() {
  static CameraList* list = new CameraList();
  return *list;
}

}  // namespace

void AddLiveCamera(CaptureFilter* Camera) {
  CameraList& list = Cameras();
  std::lock_guard lock(list.Lock);
  list.Cameras.push_back(Camera);
}

void RemoveLiveCamera(CaptureFilter* Camera) {
  CameraList& list = Cameras();
  std::lock_guard lock(list.Lock);
  list.Cameras.erase(std::remove(list.Cameras.begin(), list.Cameras.end(), Camera), list.Cameras.end());
}

size_t ForEachLiveCamera(const std::function<void(CaptureFilter&)>& Action) {
  CameraList& list = Cameras();
  std::lock_guard lock(list.Lock);
  for (CaptureFilter* camera : list.Cameras) Action(*camera);
  return list.Cameras.size();
}

}  // namespace lmcam
