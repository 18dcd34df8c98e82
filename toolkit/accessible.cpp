// Accessible names of self-drawn gadgets. The system's accessible object of a control
// takes its name from the window text with the first "&" taken for a mnemonic prefix and
// dropped; a label or link that draws its "&" as an "&" would be read to a screen reader
// other than it reads on screen ("Tom  Jerry" for "Tom & Jerry"). Such a control answers
// WM_GETOBJECT with the system's object wrapped: everything as the system answers it, but
// its own name, its whole window text. oleacc.dll is loaded at the first question.
#include <oleacc.h>

#include <new>
#include <string>
#include <utility>

#include "startup.h"
#include "toolkit_internal.h"

namespace {

using CreateStdFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
using LresultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);

// Spelt out: the import library's IID_IAccessible resolves to the wrong bytes.
const IID ACCESSIBLE_ID = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

struct Oleacc {
  CreateStdFn createStd = nullptr;
  LresultFromObjectFn lresultFromObject = nullptr;
};

const Oleacc& LoadOleacc() {
  static const Oleacc functions = [] {
    Oleacc found;
    HMODULE library = LoadLibraryW(L"oleacc.dll");
    found.createStd = LibraryEntry<CreateStdFn>(library, "CreateStdAccessibleObject");
    found.lresultFromObject = LibraryEntry<LresultFromObjectFn>(library, "LresultFromObject");
    return found;
  }();
  return functions;
}

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// The system's object with another name for the control itself.
class NamedAccessible final : public IAccessible {
 public:
  NamedAccessible(IAccessible* system, std::wstring name)
      : system_(system), name_(std::move(name)) {}
  NamedAccessible(const NamedAccessible&) = delete;
  NamedAccessible& operator=(const NamedAccessible&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDispatch) ||
        IsEqualIID(id, ACCESSIBLE_ID)) {
      *object = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    return system_->QueryInterface(id, object);  // enumerations, window handle
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
  }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) {
      system_->Release();
      delete this;
    }
    return static_cast<ULONG>(left);
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!IsSelf(child)) return system_->get_accName(child, name);
    if (!name) return E_POINTER;
    *name = SysAllocStringLen(name_.data(), static_cast<UINT>(name_.size()));
    return *name ? S_OK : E_OUTOFMEMORY;
  }

  // Everything else as the system answers it.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    return system_->GetTypeInfoCount(count);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return system_->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID id, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    return system_->GetIDsOfNames(id, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID id, LCID locale, WORD flags,
                                   DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                   UINT* wrong) override {
    return system_->Invoke(member, id, locale, flags, parameters, result, exception, wrong);
  }
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return system_->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    return system_->get_accChildCount(count);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    return system_->get_accChild(child, object);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return system_->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return system_->get_accDescription(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    return system_->get_accRole(child, role);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    return system_->get_accState(child, state);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return system_->get_accHelp(child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    return system_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
    return system_->get_accKeyboardShortcut(child, keys);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
    return system_->get_accFocus(child);
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
    return system_->get_accSelection(children);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return system_->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    return system_->accSelect(flags, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) override {
    return system_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    return system_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
    return system_->accHitTest(x, y, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    return system_->accDoDefaultAction(child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return system_->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return system_->put_accValue(child, value);
  }

 private:
  ~NamedAccessible() = default;
  LONG refs_ = 1;
  IAccessible* system_;
  std::wstring name_;
};

}  // namespace

LRESULT AnswerAccessibleName(HWND control, WPARAM flags, LPARAM objectId) {
  if (static_cast<LONG>(objectId) != OBJID_CLIENT) return NOT_HANDLED;
  // The object is handed over through COM, which the program starts only once its window
  // is painted; a screen reader may ask before that.
  SystemStartCom();
  const Oleacc& oleacc = LoadOleacc();
  IAccessible* system = nullptr;
  if (!oleacc.createStd || !oleacc.lresultFromObject ||
      FAILED(oleacc.createStd(control, OBJID_CLIENT, ACCESSIBLE_ID,
                              reinterpret_cast<void**>(&system))))
    return NOT_HANDLED;
  auto* named = new (std::nothrow) NamedAccessible(system, ControlText(control));
  if (!named) {
    system->Release();
    return NOT_HANDLED;
  }
  LRESULT result = oleacc.lresultFromObject(ACCESSIBLE_ID, flags, named);
  named->Release();  // the result holds its own reference
  return result;
}
