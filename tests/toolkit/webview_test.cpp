// Web view gadget: hosting, the creation wait, navigation against a loopback server
// (requests and cookies), addresses, and the event sink's rules, driven through the
// browser's own event interface.
// Winsock before anything that brings in windows.h.
#include "loopback_server.h"
// after the server
#include <exdisp.h>
#include <exdispid.h>
#include <gtest/gtest.h>
#include <ocidl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "gadget_items.h"
#include "tk_test_util.h"
#include "toolkit_internal.h"
#include "webview.h"
#include "wide.h"

namespace {

class WebViewTest : public ToolkitTest {
 protected:
  void SetUp() override {
    OpenWindow(40, 40, 500, 400, "web");
    ASSERT_NE(server_.Port(), 0);
  }
  // Creates web view `number` and returns the milliseconds the creation took.
  DWORD Create(ObjectNumber number, const std::string& address = "", int flags = 0) {
    DWORD start = GetTickCount();
    created_ = WebGadgetCreate(number, 0, 0, 400, 300, address, flags);
    return GetTickCount() - start;
  }
  bool WaitForRequest(const std::string& path, LoggedRequest* found = nullptr,
                      int timeoutMs = 8000) {
    return PumpUntil([&] { return server_.Find(path, found); }, timeoutMs);
  }
  LoopbackServer server_;
  intptr_t created_ = 0;
};

// The browser object behind a web view, as the gadget stores it.
IWebBrowser2* BrowserOf(ObjectNumber number) {
  return reinterpret_cast<IWebBrowser2*>(GetWindowLongPtrA(GadgetHandle(number), GWLP_USERDATA));
}

// The gadget's event sink: the object the browser calls with its events.
IDispatch* SinkOf(ObjectNumber number) {
  GadgetRecord* gadget = GadgetLookup(number);
  return gadget ? reinterpret_cast<IDispatch*>(gadget->data[0]) : nullptr;
}

// Calls the sink as the browser does: `args` in declared order.
void Fire(ObjectNumber number, DISPID id, std::vector<VARIANT> args = {}) {
  IDispatch* sink = SinkOf(number);
  ASSERT_NE(sink, nullptr);
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr,
                       static_cast<UINT>(reversed.size()), 0};
  EXPECT_EQ(sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
            S_OK);
}

VARIANT Long(LONG value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

VARIANT BoolRef(VARIANT_BOOL* flag) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | VT_BOOL;
  v.pboolVal = flag;
  return v;
}

VARIANT Empty() {
  VARIANT v;
  VariantInit(&v);
  return v;
}

// The web view events of `number` among the events collected for `ms` milliseconds.
std::vector<int> WebEvents(ObjectNumber number, int ms = 80) {
  std::vector<int> types;
  for (const SeenEvent& e : DrainEvents(ms))
    if (e.event == EVENT_GADGET && e.gadget == number) types.push_back(e.type);
  return types;
}

// A second subscriber to the browser's events that notes the status texts it is sent.
class StatusWatcher : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, DIID_DWebBrowserEvents2)) {
      *object = this;
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    if (id == DISPID_STATUSTEXTCHANGE && params && params->cArgs == 1 &&
        params->rgvarg[0].vt == VT_BSTR) {
      const wchar_t* text = params->rgvarg[0].bstrVal ? params->rgvarg[0].bstrVal : L"";
      last = TextFromWide(text);
      ++count;
    }
    return S_OK;
  }
  bool Attach(IWebBrowser2* browser) {
    IConnectionPointContainer* container = nullptr;
    if (FAILED(browser->QueryInterface(IID_IConnectionPointContainer,
                                       reinterpret_cast<void**>(&container))))
      return false;
    HRESULT result = container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point_);
    container->Release();
    return SUCCEEDED(result) && SUCCEEDED(point_->Advise(this, &cookie_));
  }
  void Detach() {
    if (point_) {
      point_->Unadvise(cookie_);
      point_->Release();
      point_ = nullptr;
    }
  }
  std::string last;
  int count = 0;

 private:
  IConnectionPoint* point_ = nullptr;
  DWORD cookie_ = 0;
};

TEST_F(WebViewTest, CreationHostsTheBrowserAndEndsWaitingEarly) {
  DWORD ms = Create(1);
  std::printf("web view creation took %lu ms (time-out %lu ms)\n", ms,
              static_cast<unsigned long>(WEB_CREATION_TIMEOUT_MS));
  HWND host = GadgetHandle(1);
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(created_, reinterpret_cast<intptr_t>(host));
  EXPECT_EQ(GadgetKindOf(1), KIND_WEB);
  EXPECT_EQ(GetParent(host), window_);
  wchar_t name[32] = L"";
  GetClassNameW(host, name, 32);
  EXPECT_STREQ(name, L"AtlAxWin");
  EXPECT_TRUE(IsWindowUnicode(host));
  EXPECT_EQ(GetWindowLongA(host, GWL_STYLE) & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
  IWebBrowser2* browser = BrowserOf(1);
  ASSERT_NE(browser, nullptr);
  IWebBrowser2* again = nullptr;
  ASSERT_EQ(browser->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&again)), S_OK);
  again->Release();
  // The blank page either completed or failed: the wait did not run into its time-out.
  EXPECT_LT(ms, WEB_CREATION_TIMEOUT_MS / 2);

  // A second view (the library is loaded by now) is quicker; ANY_NUMBER gives a number.
  ms = Create(ANY_NUMBER);
  EXPECT_LT(ms, WEB_CREATION_TIMEOUT_MS / 2);
  ASSERT_NE(created_, 0);
  EXPECT_EQ(GadgetKindOf(created_), KIND_WEB);
}

TEST_F(WebViewTest, NavigationReachesTheServerWithTheCookieOfAnEarlierPage) {
  Create(1, "", WEB_NO_BLANK_PAGE);
  EXPECT_EQ(GadgetGetAttribute(1, WEB_ATTRIBUTE_NAVIGATIONS_ENDED), 0);
  GadgetSetText(1, server_.Url("/login?mail=a@b.test&pass=x"));
  LoggedRequest login;
  ASSERT_TRUE(WaitForRequest("/login?mail=a@b.test&pass=x", &login));
  EXPECT_EQ(login.line, "GET /login?mail=a@b.test&pass=x HTTP/1.1");
  EXPECT_EQ(login.cookie, "");
  // The navigation's end is counted once it is answered (a document, or without an HTML
  // engine the navigation error); the same events from a frame's browser are not.
  auto ended = [] { return GadgetGetAttribute(1, WEB_ATTRIBUTE_NAVIGATIONS_ENDED); };
  EXPECT_TRUE(PumpUntil([&] { return ended() == 1; }, 8000));
  VARIANT frame = Empty();
  frame.vt = VT_DISPATCH;
  frame.pdispVal = SinkOf(1);  // any dispatch object but the page's browser
  Fire(1, DISPID_DOCUMENTCOMPLETE, {frame, Empty()});
  EXPECT_EQ(ended(), 1);

  GadgetSetText(1, server_.Url("/search"));
  LoggedRequest search;
  ASSERT_TRUE(WaitForRequest("/search", &search));
  EXPECT_NE(search.cookie.find("vs_session=s3cr3t42"), std::string::npos) << search.cookie;

  // A web view created later, with an address, shares the cookies and opens it.
  Create(2, server_.Url("/player"));
  LoggedRequest player;
  ASSERT_TRUE(WaitForRequest("/player", &player));
  EXPECT_NE(player.cookie.find("vs_session=s3cr3t42"), std::string::npos);
}

TEST_F(WebViewTest, GetTextGivesTheAddressAndAnEmptyTextNavigatesNowhere) {
  Create(1);
  EXPECT_TRUE(server_.Log().empty());  // the blank page is no request
  std::string address = server_.Url("/video?id=7");
  GadgetSetText(1, address);
  ASSERT_TRUE(WaitForRequest("/video?id=7"));
  EXPECT_TRUE(PumpUntil([&] { return GadgetGetText(1) == address; }, 3000)) << GadgetGetText(1);
  DrainEvents(200);
  size_t before = server_.Count();

  GadgetSetText(1, "");
  GadgetSetText(1, static_cast<const char*>(nullptr));
  DrainEvents(700);
  EXPECT_EQ(server_.Count(), before);
  EXPECT_EQ(GadgetGetText(1), address);
}

// "Готово" in Windows-1251, as the gadget gives texts whatever the system's code page.
const char* const READY_1251 = "\xC3\xEE\xF2\xEE\xE2\xEE";

TEST_F(WebViewTest, StatusTextIsTheLastOneSentAndIsKept) {
  Create(1);
  StatusWatcher watcher;
  ASSERT_TRUE(watcher.Attach(BrowserOf(1)));
  GadgetSetText(1, server_.Url("/first"));
  ASSERT_TRUE(WaitForRequest("/first"));
  DrainEvents(400);
  if (watcher.count > 0) {
    // The browser's own status texts: the gadget keeps the last one.
    EXPECT_EQ(GadgetGetItemText(1, WEB_ITEM_STATUS), watcher.last);
  }
  watcher.Detach();

  VARIANT text;
  VariantInit(&text);
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocString(L"\x0413\x043e\x0442\x043e\x0432\x043e");  // Готово
  Fire(1, DISPID_STATUSTEXTCHANGE, {text});
  VariantClear(&text);
  std::vector<int> types = WebEvents(1);
  EXPECT_EQ(std::count(types.begin(), types.end(), WEB_TYPE_STATUS), 1);
  EXPECT_EQ(GadgetGetItemText(1, WEB_ITEM_STATUS), READY_1251);
  // Other events and a title change leave it alone.
  Fire(1, DISPID_TITLECHANGE);
  Fire(1, DISPID_DOWNLOADBEGIN);
  Fire(1, DISPID_DOWNLOADCOMPLETE);
  EXPECT_EQ(GadgetGetItemText(1, WEB_ITEM_STATUS), READY_1251);
  EXPECT_EQ(GadgetGetItemText(1, 0), "");
  EXPECT_EQ(GadgetGetItemText(1, 9), "");
}

TEST_F(WebViewTest, SinkAnswersForTheEventInterfacesOnly) {
  Create(1);
  IDispatch* sink = SinkOf(1);
  ASSERT_NE(sink, nullptr);
  for (const IID* iid :
       {&IID_IUnknown, &IID_IDispatch, &DIID_DWebBrowserEvents2, &DIID_DWebBrowserEvents}) {
    void* object = nullptr;
    ASSERT_EQ(sink->QueryInterface(*iid, &object), S_OK);
    EXPECT_EQ(object, static_cast<void*>(sink));
    sink->Release();
  }
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(sink->QueryInterface(IID_IWebBrowser2, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  UINT count = 5;
  EXPECT_EQ(sink->GetTypeInfoCount(&count), E_NOTIMPL);
  EXPECT_EQ(count, 0u);
  DISPID id = 0;
  LPOLESTR name = const_cast<LPOLESTR>(L"StatusTextChange");
  EXPECT_EQ(sink->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), E_NOTIMPL);
}

TEST_F(WebViewTest, DownloadProgressFollowsTheRules) {
  Create(1);
  DrainEvents(50);
  // Not busy: progress is not taken.
  Fire(1, DISPID_PROGRESSCHANGE, {Long(10), Long(100)});
  EXPECT_EQ(GadgetGetAttribute(1, WEB_ATTRIBUTE_PROGRESS), 0);
  EXPECT_TRUE(WebEvents(1).empty());

  Fire(1, DISPID_DOWNLOADBEGIN);
  Fire(1, DISPID_PROGRESSCHANGE, {Long(50), Long(200)});
  EXPECT_EQ(GadgetGetAttribute(1, WEB_ATTRIBUTE_PROGRESS), 50);
  EXPECT_EQ(GadgetGetAttribute(1, WEB_ATTRIBUTE_PROGRESS_MAX), 200);
  Fire(1, DISPID_PROGRESSCHANGE, {Long(300), Long(200)});  // the maximum follows
  EXPECT_EQ(GadgetGetAttribute(1, WEB_ATTRIBUTE_PROGRESS), 300);
  EXPECT_EQ(GadgetGetAttribute(1, WEB_ATTRIBUTE_PROGRESS_MAX), 300);
  Fire(1, DISPID_PROGRESSCHANGE, {Long(-1), Long(500)});  // ignored
  EXPECT_EQ(GadgetGetAttribute(1, WEB_ATTRIBUTE_PROGRESS), 300);
  EXPECT_EQ(GadgetGetAttribute(1, WEB_ATTRIBUTE_PROGRESS_MAX), 300);
  std::vector<int> types = WebEvents(1);
  EXPECT_EQ(types, (std::vector<int>{WEB_TYPE_DOWNLOAD_START, WEB_TYPE_DOWNLOAD_PROGRESS,
                                     WEB_TYPE_DOWNLOAD_PROGRESS}));

  Fire(1, DISPID_PROGRESSCHANGE, {Long(0), Long(0)});  // a fresh start
  EXPECT_EQ(GadgetGetAttribute(1, WEB_ATTRIBUTE_PROGRESS), 0);
  EXPECT_EQ(GadgetGetAttribute(1, WEB_ATTRIBUTE_PROGRESS_MAX), 0);
  Fire(1, DISPID_PROGRESSCHANGE, {Long(20), Long(80)});
  Fire(1, DISPID_DOWNLOADCOMPLETE);
  EXPECT_EQ(GadgetGetAttribute(1, WEB_ATTRIBUTE_PROGRESS), 80);
  EXPECT_EQ(GadgetGetAttribute(1, WEB_ATTRIBUTE_PROGRESS_MAX), 80);
  types = WebEvents(1);
  ASSERT_FALSE(types.empty());
  EXPECT_EQ(types.back(), WEB_TYPE_DOWNLOAD_END);
  // Done: progress reports are not taken again.
  Fire(1, DISPID_PROGRESSCHANGE, {Long(5), Long(10)});
  EXPECT_EQ(GadgetGetAttribute(1, WEB_ATTRIBUTE_PROGRESS), 80);
}

TEST_F(WebViewTest, NewWindowsAreCancelledOnlyWithPopupBlocking) {
  Create(1);
  DrainEvents(50);
  VARIANT_BOOL cancel = VARIANT_FALSE;
  IDispatch* none = nullptr;
  VARIANT window;
  VariantInit(&window);
  window.vt = VT_BYREF | VT_DISPATCH;
  window.ppdispVal = &none;
  Fire(1, DISPID_NEWWINDOW2, {window, BoolRef(&cancel)});
  EXPECT_EQ(cancel, VARIANT_FALSE);
  EXPECT_TRUE(WebEvents(1).empty());

  GadgetSetAttribute(1, WEB_ATTRIBUTE_BLOCK_POPUPS, 1);
  EXPECT_EQ(GadgetGetAttribute(1, WEB_ATTRIBUTE_BLOCK_POPUPS), 1);
  Fire(1, DISPID_NEWWINDOW2, {window, BoolRef(&cancel)});
  EXPECT_EQ(cancel, VARIANT_TRUE);
  cancel = VARIANT_FALSE;
  Fire(1, DISPID_NEWWINDOW3, {window, BoolRef(&cancel), Long(0), Empty(), Empty()});
  EXPECT_EQ(cancel, VARIANT_TRUE);
  EXPECT_EQ(WebEvents(1), (std::vector<int>{WEB_TYPE_POPUP, WEB_TYPE_POPUP}));
  // A malformed request (no by-reference flag) is left alone.
  Fire(1, DISPID_NEWWINDOW2, {window, Long(0)});
}

std::vector<std::string> callbackAddresses;
int RefuseBlocked(ObjectNumber gadget, const char* address) {
  callbackAddresses.push_back(std::to_string(gadget) + " " + address);
  return std::string(address).find("blocked") == std::string::npos;
}

TEST_F(WebViewTest, NavigationCallbackDecidesBeforeEachNavigation) {
  Create(4);
  callbackAddresses.clear();
  GadgetSetAttribute(4, WEB_ATTRIBUTE_NAVIGATION_CALLBACK,
                     reinterpret_cast<intptr_t>(RefuseBlocked));
  EXPECT_EQ(GadgetGetAttribute(4, WEB_ATTRIBUTE_NAVIGATION_CALLBACK),
            reinterpret_cast<intptr_t>(RefuseBlocked));
  GadgetSetText(4, server_.Url("/blocked"));
  DrainEvents(700);
  EXPECT_FALSE(server_.Find("/blocked"));
  GadgetSetText(4, server_.Url("/allowed"));
  ASSERT_TRUE(WaitForRequest("/allowed"));
  ASSERT_GE(callbackAddresses.size(), 2u);
  EXPECT_EQ(callbackAddresses[0], "4 " + server_.Url("/blocked"));
  EXPECT_EQ(callbackAddresses[1], "4 " + server_.Url("/allowed"));
}

TEST_F(WebViewTest, ContextMenuFlagIsKept) {
  Create(1);
  EXPECT_EQ(GadgetGetAttribute(1, WEB_ATTRIBUTE_NO_CONTEXT_MENU), 0);
  GadgetSetAttribute(1, WEB_ATTRIBUTE_NO_CONTEXT_MENU, 1);
  EXPECT_EQ(GadgetGetAttribute(1, WEB_ATTRIBUTE_NO_CONTEXT_MENU), 1);
  GadgetSetAttribute(1, WEB_ATTRIBUTE_NO_CONTEXT_MENU, 0);
  EXPECT_EQ(GadgetGetAttribute(1, WEB_ATTRIBUTE_NO_CONTEXT_MENU), 0);
  EXPECT_EQ(GadgetGetAttribute(1, 99), 0);
}

TEST_F(WebViewTest, DestroyingReleasesSinkAndBrowser) {
  Create(1);
  IDispatch* sink = SinkOf(1);
  ASSERT_NE(sink, nullptr);
  sink->AddRef();  // outlive the gadget
  IWebBrowser2* browser = BrowserOf(1);
  browser->AddRef();
  HWND host = GadgetHandle(1);
  GadgetFree(1);
  EXPECT_FALSE(IsWindow(host));
  EXPECT_EQ(GadgetHandle(1), nullptr);
  EXPECT_EQ(GadgetKindOf(1), 0);
  // Gadget and browser let go of the sink: ours is the last reference.
  EXPECT_EQ(sink->Release(), 0u);
  browser->Release();
  // The number is free and can be used again; operations on the old number did nothing.
  GadgetSetText(1, server_.Url("/gone"));
  EXPECT_EQ(GadgetGetText(1), "");
  Create(1, server_.Url("/again"));
  EXPECT_TRUE(WaitForRequest("/again"));
  EXPECT_FALSE(server_.Find("/gone"));
}

TEST_F(WebViewTest, ReusingTheNumberReplacesTheView) {
  Create(1);
  HWND first = GadgetHandle(1);
  Create(1);
  HWND second = GadgetHandle(1);
  EXPECT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(GadgetKindOf(1), KIND_WEB);
}

TEST_F(WebViewTest, WithoutABrowserTheViewIsAnEmptyHost) {
  // No such control is registered here: the host window stays empty.
  DWORD ms = Create(3, server_.Url("/never"), WEB_MOZILLA_CONTROL);
  ASSERT_NE(created_, 0);
  HWND host = GadgetHandle(3);
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(WideWindowText(host), L"Mozilla.Browser.1");
  if (BrowserOf(3)) GTEST_SKIP() << "a Mozilla control is registered on this machine";
  EXPECT_LT(ms, 1000u);  // nothing to wait for
  EXPECT_EQ(SinkOf(3), nullptr);
  GadgetSetText(3, server_.Url("/never2"));
  GadgetSetState(3, WEB_RELOAD);
  GadgetSetItemText(3, WEB_ITEM_SOURCE, "<html></html>");
  GadgetSetAttribute(3, WEB_ATTRIBUTE_NO_CONTEXT_MENU, 1);
  GadgetSetAttribute(3, WEB_ATTRIBUTE_SCROLL_Y, 10);
  EXPECT_EQ(GadgetGetText(3), "");
  for (int item = WEB_ITEM_SOURCE; item <= WEB_ITEM_SELECTION; ++item)
    EXPECT_EQ(GadgetGetItemText(3, item), "");
  for (int attribute = 1; attribute <= 8; ++attribute)
    EXPECT_EQ(GadgetGetAttribute(3, attribute), 0);
  DrainEvents(300);
  EXPECT_EQ(server_.Count(), 0u);
}

}  // namespace
