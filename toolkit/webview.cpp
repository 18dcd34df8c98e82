// Web view gadget: the browser ActiveX control hosted in an "AtlAxWin" window of the
// control-hosting library. The host window is the gadget's control; the browser's
// automation interface lives in the host's user-data word. Each gadget has an event sink
// subscribed to the browser's event interface (which turns browser events into gadget
// events) and a user-interface handler that is installed into the document only when the
// browser's own context menu is to be suppressed.
//
// Creation loads the blank page and dispatches the thread's messages until it has loaded,
// so that the browser is ready for navigation when the call returns. A browser without an
// HTML engine never completes a document but reports a navigation error instead, so the
// wait also ends there, and at WEB_CREATION_TIMEOUT_MS at the latest.
#include "webview.h"

#include <ole2.h>

#include <new>
// after ole2.h
#include <downloadmgr.h>
#include <exdisp.h>
#include <exdispid.h>
#include <mshtmhst.h>
#include <mshtml.h>
#include <ocidl.h>

#include "gadget_items.h"
#include "startup.h"
#include "toolkit_internal.h"
#include "wide.h"

namespace {

// Interface identifiers, written out so as not to depend on which of them the import
// libraries of a tool chain happen to carry.
const IID IID_WEB_BROWSER2 = {
    0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};
const IID IID_WEB_BROWSER_EVENTS2 = {
    0x34A715A0, 0x6587, 0x11D0, {0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D}};
const IID IID_WEB_BROWSER_EVENTS = {
    0xEAB22AC2, 0x30C1, 0x11CF, {0xA7, 0xEB, 0x00, 0x00, 0xC0, 0x5B, 0xAE, 0x0B}};
const IID IID_DOC_HOST_UI_HANDLER = {
    0xBD3F23C0, 0xD43E, 0x11CF, {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};
const IID IID_CUSTOM_DOC = {
    0x3050F3F0, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
const IID IID_HTML_DOCUMENT2 = {
    0x332C4425, 0x26CB, 0x11D0, {0xB4, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0x01, 0x19}};
const IID IID_HTML_ELEMENT2 = {
    0x3050F434, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
const IID IID_HTML_TXT_RANGE = {
    0x3050F220, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};

const wchar_t* const HOST_CLASS = L"AtlAxWin";
const wchar_t* const EXPLORER_CONTROL = L"Shell.Explorer.1";
const wchar_t* const MOZILLA_CONTROL = L"Mozilla.Browser.1";

// ---------------------------------------------------------------------------------------
// The browser's strings are UTF-16 (BSTR); the program's texts Windows-1251 (wide.h).

String TextFromBstr(BSTR wide, char32_t* lacking = nullptr) {
  return TextFromWide(wide ? std::wstring_view(wide, SysStringLen(wide)) : std::wstring_view(),
                      lacking);
}

// Calls a getter of a BSTR, converts the result and frees it.
template <typename Getter>
String BstrResult(Getter getter, char32_t* lacking) {
  BSTR wide = nullptr;
  String text = SUCCEEDED(getter(&wide)) ? TextFromBstr(wide, lacking) : String();
  SysFreeString(wide);
  return text;
}

// The argument at `position` in declared order (DISPPARAMS holds them in reverse).
VARIANT* Argument(DISPPARAMS* params, UINT position) {
  if (!params || !params->rgvarg || position >= params->cArgs) return nullptr;
  return &params->rgvarg[params->cArgs - 1 - position];
}

void SetCancel(VARIANT* cancel) {
  if (cancel && cancel->vt == (VT_BYREF | VT_BOOL) && cancel->pboolVal)
    *cancel->pboolVal = VARIANT_TRUE;
}

LONG IntegerArgument(DISPPARAMS* params, UINT position, bool* ok) {
  VARIANT value;
  VariantInit(&value);
  UINT badArgument = 0;
  *ok = params && position < params->cArgs &&
        SUCCEEDED(DispGetParam(params, position, VT_I4, &value, &badArgument));
  return *ok ? value.lVal : 0;
}

// ---------------------------------------------------------------------------------------
// Reference counting and QueryInterface for the objects the gadget hands the browser.
// `Find` gives the interface pointer for an identifier, or null when it has none.

template <class... Interfaces>
class ComObject : public Interfaces... {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = Find(iid);
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~ComObject() = default;
  virtual void* Find(REFIID iid) = 0;

 private:
  ULONG references_ = 1;
};

// ---------------------------------------------------------------------------------------
// The event sink: the browser's DWebBrowserEvents2 dispatch interface.

class WebEventSink final : public ComObject<IDispatch> {
 public:
  WebEventSink(ObjectNumber number, HWND host) : number_(number), host_(host) {}

  // IDispatch: only Invoke does anything.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override;

  // The creation wait is over: events are reported from now on.
  bool WaitOver() const { return ready_ || navigationFailed_; }
  // Whether the blank page of the creation became a document: 1 yes, 0 a navigation error
  // came instead (a browser without an HTML engine), -1 neither (yet).
  int ShowsPages() const { return ready_ ? 1 : navigationFailed_ ? 0 : -1; }
  void StartReporting() { reporting_ = true; }
  LONG NavigationsEnded() const { return navigationsEnded_; }
  bool Busy() const { return busy_; }
  LONG Progress() const { return progress_; }
  LONG ProgressMax() const { return progressMax_; }
  intptr_t blockPopups = 0;
  WebNavigationCallback navigationCallback = nullptr;
  String StatusText(char32_t* lacking) const { return TextFromBstr(status_, lacking); }

 private:
  ~WebEventSink() { SysFreeString(status_); }
  void* Find(REFIID iid) override {
    bool known = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
                 IsEqualIID(iid, IID_WEB_BROWSER_EVENTS2) ||
                 IsEqualIID(iid, IID_WEB_BROWSER_EVENTS);
    return known ? static_cast<IDispatch*>(this) : nullptr;
  }
  void Post(int type) { GadgetPostEvent(host_, type); }
  void OnProgress(DISPPARAMS* params);
  void OnBeforeNavigate(DISPPARAMS* params);
  bool ForTopLevel(DISPPARAMS* params) const;

  ObjectNumber number_;
  HWND host_;
  bool busy_ = false;
  LONG progress_ = 0;
  LONG progressMax_ = 0;
  bool ready_ = false;             // the first document completed
  bool navigationFailed_ = false;  // a navigation error arrived before that
  bool reporting_ = false;
  LONG navigationsEnded_ = 0;  // of the page itself, not of its frames
  BSTR status_ = nullptr;
};

// Whether an event's browser (its first argument) is the page's own rather than a frame's.
bool WebEventSink::ForTopLevel(DISPPARAMS* params) const {
  VARIANT* source = Argument(params, 0);
  auto* browser = reinterpret_cast<IWebBrowser2*>(GetWindowLongPtrW(host_, GWLP_USERDATA));
  if (!source || source->vt != VT_DISPATCH || !source->pdispVal || !browser) return false;
  IUnknown* eventOne = nullptr;
  IUnknown* ours = nullptr;
  bool same = SUCCEEDED(source->pdispVal->QueryInterface(IID_IUnknown,
                                                         reinterpret_cast<void**>(&eventOne))) &&
              SUCCEEDED(browser->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ours))) &&
              eventOne == ours;
  if (eventOne) eventOne->Release();
  if (ours) ours->Release();
  return same;
}

HRESULT WebEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                             EXCEPINFO*, UINT*) {
  if (id == DISPID_DOCUMENTCOMPLETE) {
    ready_ = true;
    if (ForTopLevel(params)) ++navigationsEnded_;
    return S_OK;
  }
  if (id == DISPID_NAVIGATEERROR) {
    navigationFailed_ = true;
    if (ForTopLevel(params)) ++navigationsEnded_;
    return S_OK;
  }
  // The blank page's own events during creation are nobody's business.
  if (!reporting_) return S_OK;
  switch (id) {
    case DISPID_TITLECHANGE:
      Post(WEB_TYPE_TITLE);
      break;
    case DISPID_STATUSTEXTCHANGE: {
      VARIANT text;
      VariantInit(&text);
      UINT badArgument = 0;
      if (SUCCEEDED(DispGetParam(params, 0, VT_BSTR, &text, &badArgument))) {
        SysFreeString(status_);
        status_ = text.bstrVal;  // the sink owns it now
        Post(WEB_TYPE_STATUS);
      }
      break;
    }
    case DISPID_NEWWINDOW2:
    case DISPID_NEWWINDOW3:
      // Both forms carry the by-reference cancel flag second.
      if (blockPopups) {
        SetCancel(Argument(params, 1));
        Post(WEB_TYPE_POPUP);
      }
      break;
    case DISPID_DOWNLOADBEGIN:
      busy_ = true;
      progress_ = 0;
      progressMax_ = 0;
      Post(WEB_TYPE_DOWNLOAD_START);
      break;
    case DISPID_PROGRESSCHANGE:
      OnProgress(params);
      break;
    case DISPID_DOWNLOADCOMPLETE:
      busy_ = false;
      progress_ = progressMax_;
      Post(WEB_TYPE_DOWNLOAD_END);
      break;
    case DISPID_BEFORENAVIGATE2:
      OnBeforeNavigate(params);
      break;
  }
  return S_OK;
}

void WebEventSink::OnProgress(DISPPARAMS* params) {
  if (!busy_) return;
  bool haveProgress = false, haveMax = false;
  LONG progress = IntegerArgument(params, 0, &haveProgress);
  LONG maximum = IntegerArgument(params, 1, &haveMax);
  // The browser reports -1 when it is done; that is no progress.
  if (!haveProgress || !haveMax || progress < 0) return;
  if (progress == 0 && maximum < 1) {
    progress_ = 0;
    progressMax_ = 0;
  } else {
    progress_ = progress;
    progressMax_ = maximum < progress ? progress : maximum;
  }
  Post(WEB_TYPE_DOWNLOAD_PROGRESS);
}

void WebEventSink::OnBeforeNavigate(DISPPARAMS* params) {
  if (!navigationCallback) return;
  VARIANT* url = Argument(params, 1);
  if (url && url->vt == (VT_BYREF | VT_VARIANT) && url->pvarVal) url = url->pvarVal;
  String address;
  if (url && url->vt == VT_BSTR) address = TextFromBstr(url->bstrVal);
  if (navigationCallback(number_, address.c_str()) == 0) SetCancel(Argument(params, 6));
}

// ---------------------------------------------------------------------------------------
// The user-interface handler: suppresses the browser's context menu when asked to and
// hands everything else to the handler the document had before.

class WebUiHandler final : public ComObject<IDocHostUIHandler> {
 public:
  explicit WebUiHandler(HWND host) : host_(host) {}

  HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD id, POINT* at, IUnknown* target,
                                            IDispatch* object) override {
    if (noContextMenu) {
      GadgetPostEvent(host_, WEB_TYPE_POPUP_MENU);
      return S_OK;  // shown (that is: suppressed) by the host
    }
    return previous_ ? previous_->ShowContextMenu(id, at, target, object) : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override {
    return previous_ ? previous_->GetHostInfo(info) : E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ShowUI(DWORD id, IOleInPlaceActiveObject* active,
                                   IOleCommandTarget* target, IOleInPlaceFrame* frame,
                                   IOleInPlaceUIWindow* document) override {
    return previous_ ? previous_->ShowUI(id, active, target, frame, document) : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE HideUI() override { return previous_ ? previous_->HideUI() : S_OK; }
  HRESULT STDMETHODCALLTYPE UpdateUI() override { return previous_ ? previous_->UpdateUI() : S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(WINBOOL enable) override {
    return previous_ ? previous_->EnableModeless(enable) : S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(WINBOOL activate) override {
    return previous_ ? previous_->OnDocWindowActivate(activate) : S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(WINBOOL activate) override {
    return previous_ ? previous_->OnFrameWindowActivate(activate) : S_OK;
  }
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window,
                                         WINBOOL frameWindow) override {
    return previous_ ? previous_->ResizeBorder(border, window, frameWindow) : S_OK;
  }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message, const GUID* group,
                                                 DWORD command) override {
    return previous_ ? previous_->TranslateAccelerator(message, group, command) : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* key, DWORD reserved) override {
    if (previous_) return previous_->GetOptionKeyPath(key, reserved);
    if (key) *key = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget* target, IDropTarget** replacement) override {
    return previous_ ? previous_->GetDropTarget(target, replacement) : E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** external) override {
    if (previous_) return previous_->GetExternal(external);
    if (external) *external = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD translate, LPWSTR in, LPWSTR* out) override {
    if (previous_) return previous_->TranslateUrl(translate, in, out);
    if (out) *out = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject* data,
                                             IDataObject** replacement) override {
    if (previous_) return previous_->FilterDataObject(data, replacement);
    if (replacement) *replacement = nullptr;
    return S_FALSE;
  }

  // Takes over a reference to the document's previous handler (may be null).
  void SetPrevious(IDocHostUIHandler* previous) {
    if (previous_) previous_->Release();
    previous_ = previous;
  }

  intptr_t noContextMenu = 0;
  bool installed = false;

 private:
  ~WebUiHandler() {
    if (previous_) previous_->Release();
  }
  void* Find(REFIID iid) override {
    bool known = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_DOC_HOST_UI_HANDLER);
    return known ? static_cast<IDocHostUIHandler*>(this) : nullptr;
  }

  HWND host_;
  IDocHostUIHandler* previous_ = nullptr;
};

// ---------------------------------------------------------------------------------------
// The download manager the gadget offers the browser through its host's services: a file
// the browser is asked to open goes to the gadget's download callback instead of the
// browser's own download.

const IID IID_DOWNLOAD_MANAGER = {
    0x988934A4, 0x064B, 0x11D3, {0xBB, 0x80, 0x00, 0x10, 0x4B, 0x35, 0xE7, 0xF9}};

class WebDownloadManager final : public ComObject<IServiceProvider, IDownloadManager> {
 public:
  explicit WebDownloadManager(ObjectNumber number) : number_(number) {}

  // The download manager's service identifier is its interface identifier.
  HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!callback || !IsEqualGUID(service, IID_DOWNLOAD_MANAGER)) return E_NOINTERFACE;
    return QueryInterface(iid, object);
  }
  HRESULT STDMETHODCALLTYPE Download(IMoniker* moniker, IBindCtx* context, DWORD, LONG, BINDINFO*,
                                     LPCOLESTR, LPCOLESTR, UINT) override {
    if (!callback || !moniker) return E_FAIL;  // the browser's own download then
    LPOLESTR wide = nullptr;
    if (FAILED(moniker->GetDisplayName(context, nullptr, &wide)) || !wide) return E_FAIL;
    String address = TextFromWide(wide);
    CoTaskMemFree(wide);
    callback(number_, address.c_str());
    return S_OK;
  }

  WebDownloadCallback callback = nullptr;
  bool offered = false;  // given to the host as the site of its services

 private:
  ~WebDownloadManager() = default;
  void* Find(REFIID iid) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IServiceProvider))
      return static_cast<IServiceProvider*>(this);
    if (IsEqualIID(iid, IID_DOWNLOAD_MANAGER)) return static_cast<IDownloadManager*>(this);
    return nullptr;
  }
  ObjectNumber number_;
};

// ---------------------------------------------------------------------------------------
// The control-hosting library, loaded once and kept.

using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);

struct HostingLibrary {
  bool ready = false;
  AtlAxGetControlFn getControl = nullptr;
  AtlAxGetControlFn getHost = nullptr;  // AtlAxGetHost: the host object of a host window
};
HostingLibrary hosting;
bool oleStarted = false;

template <typename Fn>
Fn Function(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

bool LoadHostingLibrary() {
  if (hosting.ready) return true;
  HMODULE module = LoadLibraryW(L"ATL.DLL");
  if (!module) return false;
  auto init = Function<AtlAxWinInitFn>(module, "AtlAxWinInit");
  auto getControl = Function<AtlAxGetControlFn>(module, "AtlAxGetControl");
  if (!init || !getControl) {
    FreeLibrary(module);  // the next creation tries again
    return false;
  }
  init();
  hosting.getControl = getControl;
  hosting.getHost = Function<AtlAxGetControlFn>(module, "AtlAxGetHost");
  hosting.ready = true;
  return true;
}

// ---------------------------------------------------------------------------------------
// The kind's operations. Record fields: event sink, UI handler, subscription cookie,
// download manager.

IWebBrowser2* Browser(GadgetRecord& gadget) {
  return reinterpret_cast<IWebBrowser2*>(GetWindowLongPtrW(gadget.handle, GWLP_USERDATA));
}
WebEventSink* Sink(GadgetRecord& gadget) { return reinterpret_cast<WebEventSink*>(gadget.data[0]); }
WebUiHandler* Handler(GadgetRecord& gadget) {
  return reinterpret_cast<WebUiHandler*>(gadget.data[1]);
}
WebDownloadManager* Downloads(GadgetRecord& gadget) {
  return reinterpret_cast<WebDownloadManager*>(gadget.data[3]);
}

// Makes the download manager the site whose services the host offers the browser. False
// when the host takes no site (then the browser downloads by itself).
bool OfferDownloadManager(GadgetRecord& gadget, WebDownloadManager* manager) {
  if (manager->offered) return true;
  IUnknown* host = nullptr;
  if (!hosting.getHost || FAILED(hosting.getHost(gadget.handle, &host)) || !host) return false;
  IObjectWithSite* withSite = nullptr;
  if (SUCCEEDED(host->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite)))) {
    manager->offered = SUCCEEDED(withSite->SetSite(static_cast<IServiceProvider*>(manager)));
    withSite->Release();
  }
  host->Release();
  return manager->offered;
}

// The browser's current document as interface `iid`; null when there is none.
template <typename Interface>
Interface* DocumentAs(GadgetRecord& gadget, const IID& iid) {
  IWebBrowser2* browser = Browser(gadget);
  if (!browser) return nullptr;
  IDispatch* document = nullptr;
  if (FAILED(browser->get_Document(&document)) || !document) return nullptr;
  Interface* result = nullptr;
  if (FAILED(document->QueryInterface(iid, reinterpret_cast<void**>(&result)))) result = nullptr;
  document->Release();
  return result;
}

void Navigate(IWebBrowser2* browser, std::wstring_view address) {
  if (!browser || address.empty()) return;
  VARIANT url, empty;
  VariantInit(&url);
  VariantInit(&empty);
  url.vt = VT_BSTR;
  url.bstrVal = SysAllocStringLen(address.data(), static_cast<UINT>(address.size()));
  if (!url.bstrVal) return;
  browser->Navigate2(&url, &empty, &empty, &empty, &empty);
  VariantClear(&url);
}

// Unsubscribes the sink and lets go of sink, handler and browser. Runs when the host
// window is being destroyed, while the hosted control is still alive, and again (doing
// nothing) at the release.
void Disconnect(GadgetRecord& gadget) {
  IWebBrowser2* browser = Browser(gadget);
  WebEventSink* sink = Sink(gadget);
  if (browser && sink && gadget.data[2]) {
    IConnectionPointContainer* container = nullptr;
    if (SUCCEEDED(browser->QueryInterface(IID_IConnectionPointContainer,
                                          reinterpret_cast<void**>(&container)))) {
      IConnectionPoint* point = nullptr;
      if (SUCCEEDED(container->FindConnectionPoint(IID_WEB_BROWSER_EVENTS2, &point))) {
        point->Unadvise(static_cast<DWORD>(gadget.data[2]));
        point->Release();
      }
      container->Release();
    }
  }
  gadget.data[2] = 0;
  if (sink) sink->Release();
  gadget.data[0] = 0;
  if (WebUiHandler* handler = Handler(gadget)) handler->Release();
  gadget.data[1] = 0;
  if (WebDownloadManager* manager = Downloads(gadget)) {
    manager->callback = nullptr;
    manager->Release();
  }
  gadget.data[3] = 0;
  if (browser) {
    SetWindowLongPtrW(gadget.handle, GWLP_USERDATA, 0);
    browser->Release();
  }
}

// The hosting library puts its own window procedure back when its host is destroyed,
// which would cut the common gadget procedure out before WM_NCDESTROY, and the number
// would never be freed. So WM_DESTROY is passed on from here, and the gadget procedure
// is put back in front of whatever procedure the host has afterwards. The procedures are
// read and set through the wide functions, as the gadget procedure was installed.
LRESULT WebControlProc(GadgetRecord& gadget, HWND control, UINT message, WPARAM wParam,
                       LPARAM lParam) {
  if (message != WM_DESTROY) return NOT_HANDLED;
  Disconnect(gadget);
  LONG_PTR common = GetWindowLongPtrW(control, GWLP_WNDPROC);
  LRESULT result = CallWindowProcW(gadget.previousProc, control, message, wParam, lParam);
  LONG_PTR now = GetWindowLongPtrW(control, GWLP_WNDPROC);
  if (now != common) {
    gadget.previousProc = reinterpret_cast<WNDPROC>(now);
    SetWindowLongPtrW(control, GWLP_WNDPROC, common);
  }
  return result;
}

void WebRelease(GadgetRecord& gadget) { Disconnect(gadget); }

void WebSetState(GadgetRecord& gadget, intptr_t value) {
  IWebBrowser2* browser = Browser(gadget);
  if (!browser) return;
  switch (value) {
    case WEB_GO_BACK:
      browser->GoBack();
      break;
    case WEB_GO_FORWARD:
      browser->GoForward();
      break;
    case WEB_STOP:
      browser->Stop();
      break;
    case WEB_RELOAD:
      browser->Refresh();
      break;
  }
}

String WebGetText(GadgetRecord& gadget, char32_t* lacking) {
  IWebBrowser2* browser = Browser(gadget);
  if (!browser) return String();
  return BstrResult([&](BSTR* location) { return browser->get_LocationURL(location); }, lacking);
}

void WebSetText(GadgetRecord& gadget, const std::wstring& text) { Navigate(Browser(gadget), text); }

String DocumentSource(GadgetRecord& gadget) {
  IPersistStreamInit* persist = DocumentAs<IPersistStreamInit>(gadget, IID_IPersistStreamInit);
  if (!persist) return String();
  String source;
  IStream* stream = nullptr;
  if (SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) {
    HGLOBAL memory = nullptr;
    STATSTG stat = {};
    if (SUCCEEDED(persist->Save(stream, TRUE)) &&
        SUCCEEDED(GetHGlobalFromStream(stream, &memory)) &&
        SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) {
      // The block may be larger than what was written: take the stream's size.
      SIZE_T size = GlobalSize(memory);
      if (stat.cbSize.QuadPart < size) size = static_cast<SIZE_T>(stat.cbSize.QuadPart);
      const char* bytes = static_cast<const char*>(GlobalLock(memory));
      if (bytes) {
        source.assign(bytes, size);
        GlobalUnlock(memory);
      }
    }
    stream->Release();
  }
  persist->Release();
  return source;
}

String DocumentSelection(GadgetRecord& gadget, char32_t* lacking) {
  IHTMLDocument2* document = DocumentAs<IHTMLDocument2>(gadget, IID_HTML_DOCUMENT2);
  if (!document) return String();
  String text;
  IHTMLSelectionObject* selection = nullptr;
  if (SUCCEEDED(document->get_selection(&selection)) && selection) {
    IDispatch* range = nullptr;
    if (SUCCEEDED(selection->createRange(&range)) && range) {
      IHTMLTxtRange* textRange = nullptr;
      if (SUCCEEDED(
              range->QueryInterface(IID_HTML_TXT_RANGE, reinterpret_cast<void**>(&textRange)))) {
        text = BstrResult([&](BSTR* value) { return textRange->get_text(value); }, lacking);
        textRange->Release();
      }
      range->Release();
    }
    selection->Release();
  }
  document->Release();
  return text;
}

// The source is the document's bytes as it saves them; the other items are texts.
String WebGetItemText(GadgetRecord& gadget, int index, int, char32_t* lacking) {
  switch (index) {
    case WEB_ITEM_SOURCE:
      return DocumentSource(gadget);
    case WEB_ITEM_TITLE: {
      IHTMLDocument2* document = DocumentAs<IHTMLDocument2>(gadget, IID_HTML_DOCUMENT2);
      if (!document) return String();
      String text = BstrResult([&](BSTR* title) { return document->get_title(title); }, lacking);
      document->Release();
      return text;
    }
    case WEB_ITEM_STATUS:
      return Sink(gadget) ? Sink(gadget)->StatusText(lacking) : String();
    case WEB_ITEM_SELECTION:
      return DocumentSelection(gadget, lacking);
  }
  return String();
}

// Replaces the document with the given HTML.
void WebSetItemText(GadgetRecord& gadget, int index, TextArg text, int) {
  if (index != WEB_ITEM_SOURCE) return;
  IPersistStreamInit* persist = DocumentAs<IPersistStreamInit>(gadget, IID_IPersistStreamInit);
  if (!persist) return;
  std::string_view html = text.view();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, html.size() + 1);
  if (memory) {
    char* bytes = static_cast<char*>(GlobalLock(memory));
    if (bytes) {
      if (!html.empty()) memcpy(bytes, html.data(), html.size());
      GlobalUnlock(memory);
      IStream* stream = nullptr;
      if (SUCCEEDED(CreateStreamOnHGlobal(memory, FALSE, &stream))) {
        persist->Load(stream);
        stream->Release();
      }
    }
    GlobalFree(memory);
  }
  persist->Release();
}

// The document body's scroll position (horizontal or vertical); 0 without a body.
LONG ScrollPosition(GadgetRecord& gadget, bool vertical) {
  IHTMLDocument2* document = DocumentAs<IHTMLDocument2>(gadget, IID_HTML_DOCUMENT2);
  if (!document) return 0;
  LONG position = 0;
  IHTMLElement* body = nullptr;
  if (SUCCEEDED(document->get_body(&body)) && body) {
    IHTMLElement2* body2 = nullptr;
    if (SUCCEEDED(body->QueryInterface(IID_HTML_ELEMENT2, reinterpret_cast<void**>(&body2)))) {
      if (FAILED(vertical ? body2->get_scrollTop(&position) : body2->get_scrollLeft(&position)))
        position = 0;
      body2->Release();
    }
    body->Release();
  }
  document->Release();
  return position;
}

void ScrollTo(GadgetRecord& gadget, LONG x, LONG y) {
  IHTMLDocument2* document = DocumentAs<IHTMLDocument2>(gadget, IID_HTML_DOCUMENT2);
  if (!document) return;
  IHTMLWindow2* window = nullptr;
  if (SUCCEEDED(document->get_parentWindow(&window)) && window) {
    window->scrollTo(x, y);
    window->Release();
  }
  document->Release();
}

// Installs the UI handler into the current document, keeping the document's previous
// handler (found through the browser's client site) to forward to.
void InstallUiHandler(GadgetRecord& gadget, WebUiHandler* handler) {
  ICustomDoc* custom = DocumentAs<ICustomDoc>(gadget, IID_CUSTOM_DOC);
  if (!custom) return;
  IDocHostUIHandler* previous = nullptr;
  IOleObject* object = nullptr;
  IWebBrowser2* browser = Browser(gadget);
  if (SUCCEEDED(browser->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object)))) {
    IOleClientSite* site = nullptr;
    if (SUCCEEDED(object->GetClientSite(&site)) && site) {
      if (FAILED(
              site->QueryInterface(IID_DOC_HOST_UI_HANDLER, reinterpret_cast<void**>(&previous))))
        previous = nullptr;
      site->Release();
    }
    object->Release();
  }
  handler->SetPrevious(previous);
  if (SUCCEEDED(custom->SetUIHandler(handler))) handler->installed = true;
  custom->Release();
}

intptr_t WebGetAttribute(GadgetRecord& gadget, int attribute) {
  WebEventSink* sink = Sink(gadget);
  WebUiHandler* handler = Handler(gadget);
  switch (attribute) {
    case WEB_ATTRIBUTE_BLOCK_POPUPS:
      return sink ? sink->blockPopups : 0;
    case WEB_ATTRIBUTE_NO_CONTEXT_MENU:
      return handler ? handler->noContextMenu : 0;
    case WEB_ATTRIBUTE_NAVIGATION_CALLBACK:
      return sink ? reinterpret_cast<intptr_t>(sink->navigationCallback) : 0;
    case WEB_ATTRIBUTE_PROGRESS:
      return sink ? sink->Progress() : 0;
    case WEB_ATTRIBUTE_PROGRESS_MAX:
      return sink ? sink->ProgressMax() : 0;
    case WEB_ATTRIBUTE_BUSY: {
      IWebBrowser2* browser = Browser(gadget);
      READYSTATE state = READYSTATE_UNINITIALIZED;
      if (!browser || FAILED(browser->get_ReadyState(&state))) return 0;
      return state == READYSTATE_LOADING || state == READYSTATE_INTERACTIVE ? 1 : 0;
    }
    case WEB_ATTRIBUTE_SCROLL_X:
      return ScrollPosition(gadget, false);
    case WEB_ATTRIBUTE_SCROLL_Y:
      return ScrollPosition(gadget, true);
    case WEB_ATTRIBUTE_SHOWS_PAGES:
      return sink ? sink->ShowsPages() : -1;
    case WEB_ATTRIBUTE_NAVIGATIONS_ENDED:
      return sink ? sink->NavigationsEnded() : 0;
    case WEB_ATTRIBUTE_DOWNLOAD_CALLBACK: {
      WebDownloadManager* manager = Downloads(gadget);
      return manager ? reinterpret_cast<intptr_t>(manager->callback) : 0;
    }
  }
  return 0;
}

void WebSetAttribute(GadgetRecord& gadget, int attribute, intptr_t value) {
  WebEventSink* sink = Sink(gadget);
  WebUiHandler* handler = Handler(gadget);
  switch (attribute) {
    case WEB_ATTRIBUTE_BLOCK_POPUPS:
      if (sink) sink->blockPopups = value;
      break;
    case WEB_ATTRIBUTE_NO_CONTEXT_MENU:
      if (!handler) break;
      handler->noContextMenu = value;
      if (value && !handler->installed) InstallUiHandler(gadget, handler);
      break;
    case WEB_ATTRIBUTE_DOWNLOAD_CALLBACK: {
      WebDownloadManager* manager = Downloads(gadget);
      if (!manager && value) {
        manager = new (std::nothrow) WebDownloadManager(GadgetNumberOfControl(gadget.handle));
        gadget.data[3] = reinterpret_cast<intptr_t>(manager);
      }
      if (!manager) break;
      manager->callback = reinterpret_cast<WebDownloadCallback>(value);
      if (value) OfferDownloadManager(gadget, manager);
      break;
    }
    case WEB_ATTRIBUTE_NAVIGATION_CALLBACK:
      if (sink) sink->navigationCallback = reinterpret_cast<WebNavigationCallback>(value);
      break;
    case WEB_ATTRIBUTE_SCROLL_X:
      ScrollTo(gadget, static_cast<LONG>(value), ScrollPosition(gadget, true));
      break;
    case WEB_ATTRIBUTE_SCROLL_Y:
      ScrollTo(gadget, ScrollPosition(gadget, false), static_cast<LONG>(value));
      break;
  }
}

const GadgetKind WEB_GADGET_KIND = {.kind = KIND_WEB,
                                    .controlProc = WebControlProc,
                                    .release = WebRelease,
                                    .setState = WebSetState,
                                    .getText = WebGetText,
                                    .setText = WebSetText,
                                    .getItemText = WebGetItemText,
                                    .setItemText = WebSetItemText,
                                    .getAttribute = WebGetAttribute,
                                    .setAttribute = WebSetAttribute};

// Subscribes the sink to the browser's events; the cookie, 0 on failure.
DWORD Connect(IWebBrowser2* browser, WebEventSink* sink) {
  DWORD cookie = 0;
  IConnectionPointContainer* container = nullptr;
  if (FAILED(browser->QueryInterface(IID_IConnectionPointContainer,
                                     reinterpret_cast<void**>(&container))))
    return 0;
  IConnectionPoint* point = nullptr;
  if (SUCCEEDED(container->FindConnectionPoint(IID_WEB_BROWSER_EVENTS2, &point))) {
    if (FAILED(point->Advise(sink, &cookie))) cookie = 0;
    point->Release();
  }
  container->Release();
  return cookie;
}

// Dispatches the thread's messages until the blank page is done (see the top of the
// file). A WM_QUIT met on the way ends the wait and is posted again for the main loop.
void WaitForBlankPage(WebEventSink* sink) {
  DWORD start = GetTickCount();
  while (!sink->WaitOver() && GetTickCount() - start < WEB_CREATION_TIMEOUT_MS) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));
        return;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (!sink->WaitOver()) Sleep(1);
  }
}

// WebGadgetCreate's work; `*made` is the host control (null when none was made).
intptr_t CreateWebGadget(ObjectNumber number, int x, int y, int width, int height, TextArg address,
                         int flags, HWND* made) {
  if (!oleStarted) {
    OleInitialize(nullptr);  // also fine when COM is already up on this thread
    oleStarted = true;
    SystemThemedLook();
  }
  if (!LoadHostingLibrary()) return 0;
  const wchar_t* control = (flags & WEB_MOZILLA_CONTROL) ? MOZILLA_CONTROL : EXPLORER_CONTROL;
  HWND host =
      GadgetCreateControl(0, HOST_CLASS, control, WS_CHILD | WS_VISIBLE, x, y, width, height);
  if (!host) return 0;
  *made = host;

  IWebBrowser2* browser = nullptr;
  IUnknown* hosted = nullptr;
  if (SUCCEEDED(hosting.getControl(host, &hosted)) && hosted) {
    if (FAILED(hosted->QueryInterface(IID_WEB_BROWSER2, reinterpret_cast<void**>(&browser))))
      browser = nullptr;
    hosted->Release();
  }
  SetWindowLongPtrW(host, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(browser));

  intptr_t result = GadgetRegister(number, host, &WEB_GADGET_KIND);
  if (!result || !browser) return result;
  GadgetRecord* gadget = GadgetOfControl(host);
  if (!gadget) return result;

  auto* sink = new (std::nothrow) WebEventSink(GadgetNumberOfControl(host), host);
  if (sink) {
    gadget->data[0] = reinterpret_cast<intptr_t>(sink);
    gadget->data[2] = static_cast<intptr_t>(Connect(browser, sink));
  }
  gadget->data[1] = reinterpret_cast<intptr_t>(new (std::nothrow) WebUiHandler(host));
  if (!sink || !gadget->data[2] || (flags & WEB_NO_BLANK_PAGE)) {
    // Nothing would tell the end of the blank page, or the caller wants none: no wait.
    if (sink) sink->StartReporting();
    Navigate(browser, WideFromText(address.view()));
    return result;
  }

  // The wait dispatches messages, which may even destroy this gadget: hold on to the
  // sink and look the gadget up again afterwards.
  sink->AddRef();
  Navigate(browser, L"about:blank");
  WaitForBlankPage(sink);
  sink->StartReporting();
  sink->Release();

  gadget = GadgetOfControl(host);
  if (gadget && IsWindow(host)) Navigate(Browser(*gadget), WideFromText(address.view()));
  return result;
}

}  // namespace

intptr_t WebGadgetCreate(ObjectNumber number, int x, int y, int width, int height, TextArg address,
                         int flags) {
  // Starting, the browser takes the keyboard focus; a view the user has not turned to (one
  // kept out of sight above all) must not keep it: typing would go nowhere.
  HWND focused = GetFocus();
  HWND host = nullptr;
  intptr_t result = CreateWebGadget(number, x, y, width, height, address, flags, &host);
  HWND now = GetFocus();
  if (host && IsWindow(host) && now != focused && (now == host || IsChild(host, now)))
    SetFocus(focused && IsWindow(focused) ? focused : GetAncestor(host, GA_ROOT));
  return result;
}

int WebGadgetDownload(ObjectNumber number, TextArg address) {
  GadgetRecord* gadget = GadgetLookup(number);
  if (!gadget || gadget->kind != &WEB_GADGET_KIND || address.view().empty()) return 0;
  WebDownloadManager* manager = Downloads(*gadget);
  WebEventSink* sink = Sink(*gadget);
  if (!manager || !manager->callback) return 0;
  if (sink && sink->ShowsPages() == 1 && manager->offered) {
    // The browser opens it and hands its download to the callback through the manager.
    Navigate(Browser(*gadget), WideFromText(address.view()));
  } else {
    // A browser that shows no pages, or one whose host would not offer it the manager,
    // would only fill its cache: the callback gets the address now.
    std::string copy(address.view());
    manager->callback(number, copy.c_str());
  }
  return 1;
}
