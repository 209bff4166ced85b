#include "support/FakeCom.h"

#include <objbase.h>

#include <cstdio>
#include <mutex>

namespace fakes {
namespace {

std::atomic<int> g_LiveObjects{0};
// Fakes may be called on a graph's streaming thread: the log has its own lock.
std::mutex g_UnexpectedLock;
std::vector<std::string> g_Unexpected;

class FakeClassFactory : public FakeComObject<IClassFactory> {
public:
  explicit FakeClassFactory(FakeCreator Create) : m_Create(std::move(Create)) {}

  STDMETHODIMP CreateInstance(IUnknown* Outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (Outer) return CLASS_E_NOAGGREGATION;
    return m_Create(riid, ppv);
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
  FakeCreator m_Create;
};

}  // namespace

namespace detail {
void ObjectCreated() { ++g_LiveObjects; }
void ObjectDestroyed() { --g_LiveObjects; }
}  // namespace detail

std::string CallLog::Joined() const {
  std::string text;
  for (const auto& call : m_Calls) {
    if (!text.empty()) text += "; ";
    text += call;
  }
  return text;
}

int CallLog::Count(const std::string& Prefix) const {
  int count = 0;
  for (const auto& call : m_Calls)
    if (call.rfind(Prefix, 0) == 0) ++count;
  return count;
}

int LiveObjects() { return g_LiveObjects; }

std::vector<std::string> UnexpectedCalls() {
  std::lock_guard lock(g_UnexpectedLock);
  return g_Unexpected;
}

void ClearUnexpectedCalls() {
  std::lock_guard lock(g_UnexpectedLock);
  g_Unexpected.clear();
}

HRESULT Unexpected(const char* Method) {
  std::lock_guard lock(g_UnexpectedLock);
  g_Unexpected.emplace_back(Method);
  return E_NOTIMPL;
}

ScopedClassRegistration::ScopedClassRegistration(REFCLSID Clsid, FakeCreator Create) {
  auto* factory = new FakeClassFactory(std::move(Create));
  m_Result = CoRegisterClassObject(Clsid, static_cast<IClassFactory*>(factory), CLSCTX_INPROC_SERVER,
                                   REGCLS_MULTIPLEUSE, &m_Cookie);
  factory->Release();  // COM holds the factory while it is registered
}

ScopedClassRegistration::~ScopedClassRegistration() {
  if (SUCCEEDED(m_Result)) CoRevokeClassObject(m_Cookie);
}

FakeCreator FailingCreator(HRESULT Result) {
  return [Result](REFIID, void**) { return Result; };
}

std::string Narrow(const std::wstring& Text) {
  if (Text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), result.data(), size, nullptr, nullptr);
  return result;
}

std::string GuidText(REFGUID Guid) {
  wchar_t text[64] = {};
  StringFromGUID2(Guid, text, 64);
  return Narrow(text);
}

}  // namespace fakes
