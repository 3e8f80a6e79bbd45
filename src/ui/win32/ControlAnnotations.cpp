#include "ControlAnnotations.h"

#include <algorithm>
#include <cstring>
#include <iterator>

// The interfaces only: the API header of this mingw-w64 does not compile as C++.
#include <uiautomationcore.h>

namespace vm4417::ui {

namespace {

// Every property this program annotates, for clearing them again.
const MSAAPROPID kAnnotatedProps[] = {PROPID_ACC_NAME, PROPID_ACC_DESCRIPTION, PROPID_ACC_ROLE};

}  // namespace

ControlAnnotations::ControlAnnotations() {
    // The window's thread is an apartment of its own; a caller that already
    // chose another model keeps it.
    comStarted_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    void* services = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IAccPropServices, &services))) {
        services_ = static_cast<IAccPropServices*>(services);
    }
}

ControlAnnotations::~ControlAnnotations() {
    if (services_ != nullptr) {
        for (const Annotated& a : annotated_) {
            services_->ClearHwndProps(a.control, static_cast<DWORD>(OBJID_CLIENT),
                                      static_cast<DWORD>(a.child), kAnnotatedProps,
                                      static_cast<int>(std::size(kAnnotatedProps)));
        }
        services_->Release();
    }
    if (comStarted_) CoUninitialize();
}

bool ControlAnnotations::SetName(HWND control, const std::wstring& name, LONG child) {
    if (services_ == nullptr) return false;
    Remember(control, child);
    return SUCCEEDED(services_->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT),
                                               static_cast<DWORD>(child), PROPID_ACC_NAME,
                                               name.c_str()));
}

bool ControlAnnotations::SetDescription(HWND control, const std::wstring& description) {
    if (services_ == nullptr) return false;
    Remember(control, CHILDID_SELF);
    return SUCCEEDED(services_->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT),
                                               CHILDID_SELF, PROPID_ACC_DESCRIPTION,
                                               description.c_str()));
}

bool ControlAnnotations::SetRole(HWND control, LONG role) {
    if (services_ == nullptr) return false;
    Remember(control, CHILDID_SELF);
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = role;
    return SUCCEEDED(services_->SetHwndProp(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                            PROPID_ACC_ROLE, value));
}

void ControlAnnotations::ChangeName(HWND control, const std::wstring& name, LONG child) {
    SetName(control, name, child);
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, control, OBJID_CLIENT, child);
}

void ControlAnnotations::Remember(HWND control, LONG child) {
    const bool known = std::any_of(annotated_.begin(), annotated_.end(), [&](const Annotated& a) {
        return a.control == control && a.child == child;
    });
    if (!known) annotated_.push_back({control, child});
}

namespace {

// UiaRaiseNotificationEvent came with Windows 10 version 1709 and is not in
// the import library: it is looked up once, and the library stays loaded
// for the life of the program, as UI Automation keeps state in it.
struct NotificationEvent {
    using HostProvider = HRESULT(WINAPI*)(HWND, IRawElementProviderSimple**);
    using Raise = HRESULT(WINAPI*)(IRawElementProviderSimple*, int kind, int processing, BSTR,
                                   BSTR activity);
    HostProvider host = nullptr;
    Raise raise = nullptr;

    NotificationEvent() {
        HMODULE core =
            LoadLibraryExW(L"uiautomationcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (core == nullptr) return;
        host = Function<HostProvider>(core, "UiaHostProviderFromHwnd");
        raise = Function<Raise>(core, "UiaRaiseNotificationEvent");
    }
    template <class F>
    static F Function(HMODULE module, const char* name) {
        F function = nullptr;
        const FARPROC found = GetProcAddress(module, name);
        static_assert(sizeof function == sizeof found);
        std::memcpy(&function, &found, sizeof function);
        return function;
    }
};

}  // namespace

bool AnnounceNotice(HWND window, const std::wstring& notice) {
    constexpr int kNotificationKindOther = 4;
    constexpr int kNotificationProcessingImportantAll = 0;
    static const NotificationEvent event;
    if (event.host == nullptr || event.raise == nullptr) return false;
    IRawElementProviderSimple* provider = nullptr;
    if (FAILED(event.host(window, &provider)) || provider == nullptr) return false;
    BSTR text = SysAllocString(notice.c_str());
    BSTR activity = SysAllocString(L"vm4417-notice");
    const bool raised = SUCCEEDED(event.raise(provider, kNotificationKindOther,
                                              kNotificationProcessingImportantAll, text, activity));
    SysFreeString(activity);
    SysFreeString(text);
    provider->Release();
    return raised;
}

}  // namespace vm4417::ui
