#pragma once
// What assistive technology on Windows is told beside what the standard
// controls' proxies read from their window texts: names, descriptions and
// roles set by direct annotation (oleacc's IAccPropServices), which both the
// MSAA proxies and UI Automation's bridge to them consult; and notices
// spoken through UI Automation.

#include <windows.h>
#include <oleacc.h>

#include <string>
#include <vector>

namespace vm4417::ui {

class ControlAnnotations {
public:
    ControlAnnotations();
    ~ControlAnnotations();
    ControlAnnotations(const ControlAnnotations&) = delete;
    ControlAnnotations& operator=(const ControlAnnotations&) = delete;

    // Each is false where the system keeps no annotations (Wine's oleacc
    // answers E_NOTIMPL). `child` is a proxy's own part, such as a status
    // bar's panel (1 the first); CHILDID_SELF the control itself.
    bool SetName(HWND control, const std::wstring& name, LONG child = CHILDID_SELF);
    bool SetDescription(HWND control, const std::wstring& description);
    bool SetRole(HWND control, LONG role);
    // A name that changed while the control is shown: annotated, and the
    // screen reader told (EVENT_OBJECT_NAMECHANGE).
    void ChangeName(HWND control, const std::wstring& name, LONG child = CHILDID_SELF);

private:
    void Remember(HWND control, LONG child);

    IAccPropServices* services_ = nullptr;
    bool comStarted_ = false;
    struct Annotated {
        HWND control;
        LONG child;
    };
    std::vector<Annotated> annotated_;  // cleared again at the end
};

// Asks a screen reader to speak `notice` now, once, on behalf of `window`
// (UI Automation's notification event, Windows 10 version 1709 and later).
// False where the system has no such event.
bool AnnounceNotice(HWND window, const std::wstring& notice);

}  // namespace vm4417::ui
