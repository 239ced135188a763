#include "fill/accessible_probe.h"

#include <servprov.h>

#include <utility>

#include "fill/accessible2.h"
#include "winfx/handles.h"

namespace vardix {

namespace {

template <typename T>
struct ComRef {
    T* p = nullptr;
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (p) p->Release();
    }
    void** out() { return reinterpret_cast<void**>(&p); }
};

struct Variant {
    VARIANT v;
    Variant() { ::VariantInit(&v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { ::VariantClear(&v); }
};

long States(IAccessible& object, const VARIANT& child) {
    Variant state;
    if (FAILED(object.get_accState(child, &state.v)) || state.v.vt != VT_I4) return 0;
    return state.v.lVal;
}

// What `object` says of its `child` (CHILDID_SELF: of itself).
AccessibleFocus Describe(IAccessible& object, const VARIANT& child, bool root) {
    AccessibleFocus focus;
    Variant role;
    if (FAILED(object.get_accRole(child, &role.v)) || role.v.vt != VT_I4) return focus;
    focus.answer = AccessAnswer::Answered;
    focus.self = root && child.lVal == CHILDID_SELF;
    focus.role = role.v.lVal;
    focus.state = States(object, child);
    focus.child = child.lVal;
    ScreenBox& box = focus.box;
    if (FAILED(object.accLocation(&box.left, &box.top, &box.width, &box.height, child))) box = {};
    BSTR value = nullptr;
    if (SUCCEEDED(object.get_accValue(child, &value)) && value) focus.value.assign(value, ::SysStringLen(value));
    ::SysFreeString(value);
    ComRef<IServiceProvider> services;
    ComRef<IAccessible2Head> ia2;
    focus.ia2 = child.lVal == CHILDID_SELF && SUCCEEDED(object.QueryInterface(IID_IServiceProvider, services.out())) &&
                SUCCEEDED(services.p->QueryService(kIidAccessible, kIidAccessible2, ia2.out())) &&
                SUCCEEDED(ia2.p->get_states(&focus.ia2States));
    return focus;
}

// For a window that does not answer WM_GETOBJECT, Windows makes up an object
// in the asking process; one the window's own program answers with comes
// through a proxy, and only a proxy's manager gives IClientSecurity.
bool IsOwn(IAccessible& root) {
    ComRef<IClientSecurity> proxy;
    return SUCCEEDED(root.QueryInterface(IID_IClientSecurity, proxy.out()));
}

AccessibleFocus AskFocus(HWND window) {
    AccessibleFocus focus;
    ComRef<IAccessible> root;
    if (FAILED(::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), kIidAccessible, root.out())) ||
        !IsOwn(*root.p))
        return focus;
    focus.answer = AccessAnswer::Empty;
    Variant focused;
    if (FAILED(root.p->get_accFocus(&focused.v))) return focus;
    Variant self;
    self.v.vt = VT_I4;
    self.v.lVal = CHILDID_SELF;
    if (focused.v.vt == VT_I4) return Describe(*root.p, focused.v, true);
    ComRef<IAccessible> object;
    if (focused.v.vt != VT_DISPATCH || !focused.v.pdispVal ||
        FAILED(focused.v.pdispVal->QueryInterface(kIidAccessible, object.out())))
        return focus;
    return Describe(*object.p, self.v, false);
}

// As AccessibleObjectFromEvent finds it: the child as an object of its own
// where it is one, else as a simple element of its parent.
AccessibleFocus AskObject(const FocusEvent& event) {
    ComRef<IAccessible> root;
    const HWND window = reinterpret_cast<HWND>(event.window);
    if (FAILED(::AccessibleObjectFromWindow(window, static_cast<DWORD>(event.object), kIidAccessible, root.out())))
        return {};
    Variant child;
    child.v.vt = VT_I4;
    child.v.lVal = event.child;
    ComRef<IDispatch> element;
    ComRef<IAccessible> object;
    if (event.child == CHILDID_SELF || root.p->get_accChild(child.v, &element.p) != S_OK || !element.p)
        return Describe(*root.p, child.v, true);
    if (FAILED(element.p->QueryInterface(kIidAccessible, object.out()))) return {};
    child.v.lVal = CHILDID_SELF;
    return Describe(*object.p, child.v, false);
}

// Shared by the caller and the worker; whichever is done last frees it, so a
// worker stuck in a hung program outlives the caller's wait safely.
struct ProbeJob {
    HWND window;  // its focus is asked for; null: the object `event` names
    FocusEvent event;
    AccessibleFocus result;
    LONG refs = 2;
};

void Release(ProbeJob* job) {
    if (::InterlockedDecrement(&job->refs) == 0) delete job;
}

DWORD WINAPI ProbeThread(void* param) {
    auto* job = static_cast<ProbeJob*>(param);
    if (SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        try {
            job->result = job->window ? AskFocus(job->window) : AskObject(job->event);
        } catch (...) {
            // Memory ran short for a value: no answer.
        }
        ::CoUninitialize();
    }
    Release(job);
    return 0;
}

AccessibleFocus Probe(HWND window, const FocusEvent& event, DWORD timeoutMs) {
    AccessibleFocus timedOut;
    timedOut.answer = AccessAnswer::TimedOut;
    auto* job = new ProbeJob{window, event, {}};
    const winfx::KernelHandle thread(::CreateThread(nullptr, 0, ProbeThread, job, 0, nullptr));
    if (!thread) {
        delete job;
        return timedOut;
    }
    // Messages sent to Vardix's own windows (its own dialog may be the one
    // asked) are handled meanwhile.
    const HANDLE running = thread.get();
    const DWORD start = ::GetTickCount();
    for (DWORD waited = 0; waited < timeoutMs; waited = ::GetTickCount() - start) {
        if (::MsgWaitForMultipleObjects(1, &running, FALSE, timeoutMs - waited, QS_SENDMESSAGE) == WAIT_OBJECT_0) {
            AccessibleFocus answer = std::move(job->result);
            Release(job);
            return answer;
        }
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    Release(job);
    return timedOut;
}

}  // namespace

AccessibleFocus ProbeAccessibleFocus(HWND window, DWORD timeoutMs) { return Probe(window, {}, timeoutMs); }

AccessibleFocus ProbeAccessibleObject(const FocusEvent& event, DWORD timeoutMs) {
    return Probe(nullptr, event, timeoutMs);
}

}  // namespace vardix
