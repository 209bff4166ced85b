#include "testcam/Enumerators.h"

#include "testcam/ComBoundary.h"
#include "testcam/ComObject.h"

using Microsoft::WRL::ComPtr;

namespace lmcam {
namespace {

// Items: how one element is handed out (a new reference or a task-memory copy).
template <typename Interface, typename Element, typename Stored, typename Hand>
class SnapshotEnumerator : public Interface {
public:
  SnapshotEnumerator(IUnknown* Owner, std::vector<Stored> Items, size_t Position)
      : m_Owner(Owner), m_Items(std::move(Items)), m_Position(Position) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, __uuidof(Interface))) {
      *ppv = static_cast<Interface*>(this);
      this->AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }

  STDMETHODIMP Next(ULONG Count, Element** Items, ULONG* Fetched) override {
    if (!Items) return E_POINTER;
    if (Count != 1 && !Fetched) return E_INVALIDARG;
    ULONG done = 0;
    while (done < Count && m_Position < m_Items.size()) {
      Element* item = Hand{}(m_Items[m_Position]);
      if (!item) break;
      Items[done++] = item;
      ++m_Position;
    }
    if (Fetched) *Fetched = done;
    return done == Count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG Count) override {
    const size_t left = m_Items.size() - m_Position;
    if (Count > left) {
      m_Position = m_Items.size();
      return S_FALSE;
    }
    m_Position += Count;
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    m_Position = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(Interface** Result) override {
    if (!Result) return E_POINTER;
    *Result = nullptr;
    return ComBoundary([&]() -> HRESULT {
      *Result = new ComObject<SnapshotEnumerator>(m_Owner.Get(), m_Items, m_Position);
      return S_OK;
    });
  }

protected:
  virtual ~SnapshotEnumerator() = default;

private:
  ComPtr<IUnknown> m_Owner;
  const std::vector<Stored> m_Items;
  size_t m_Position;  // enumerators are used from one thread at a time, as COM allows
};

struct HandPin {
  IPin* operator()(const ComPtr<IPin>& Pin) const {
    Pin->AddRef();
    return Pin.Get();
  }
};

struct HandMediaType {
  AM_MEDIA_TYPE* operator()(const MediaType& Type) const { return Type.CreateCopy(); }
};

using PinEnumerator = SnapshotEnumerator<IEnumPins, IPin, ComPtr<IPin>, HandPin>;
using MediaTypeEnumerator = SnapshotEnumerator<IEnumMediaTypes, AM_MEDIA_TYPE, MediaType, HandMediaType>;

}  // namespace

HRESULT CreatePinEnumerator(IUnknown* Owner, const std::vector<ComPtr<IPin>>& Pins, IEnumPins** Result) {
  if (!Result) return E_POINTER;
  *Result = nullptr;
  return ComBoundary([&]() -> HRESULT {
    *Result = new ComObject<PinEnumerator>(Owner, Pins, 0);
    return S_OK;
  });
}

HRESULT CreateMediaTypeEnumerator(IUnknown* Owner, const std::vector<MediaType>& Types,
                                  IEnumMediaTypes** Result) {
  if (!Result) return E_POINTER;
  *Result = nullptr;
  return ComBoundary([&]() -> HRESULT {
    *Result = new ComObject<MediaTypeEnumerator>(Owner, Types, 0);
    return S_OK;
  });
}

}  // namespace lmcam
