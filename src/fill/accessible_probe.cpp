#include "fill/accessible_probe.h"

#include <servprov.h>

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

using AccessibleObjectFromWindowFunction = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);

// oleacc.dll is none of Windows' known DLLs: imported, it would be looked for
// in vardix.exe's folder first. Loaded from System32 only, and kept.
AccessibleObjectFromWindowFunction AccessibleObjectFromWindowInSystem32() {
    static const auto function = [] {
        const HMODULE oleacc = ::LoadLibraryExW(L"oleacc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        const FARPROC found = oleacc ? ::GetProcAddress(oleacc, "AccessibleObjectFromWindow") : nullptr;
        return reinterpret_cast<AccessibleObjectFromWindowFunction>(reinterpret_cast<void (*)()>(found));
    }();
    return function;
}

AccessibleFocus Ask(HWND window) {
    AccessibleFocus focus;
    ComRef<IAccessible> root;
    const auto accessibleObjectFromWindow = AccessibleObjectFromWindowInSystem32();
    if (!accessibleObjectFromWindow ||
        FAILED(accessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible, root.out())))
        return focus;
    Variant focused;
    if (FAILED(root.p->get_accFocus(&focused.v))) return focus;
    Variant self;
    self.v.vt = VT_I4;
    self.v.lVal = CHILDID_SELF;
    ComRef<IAccessible> object;
    if (focused.v.vt == VT_DISPATCH && focused.v.pdispVal) {
        if (FAILED(focused.v.pdispVal->QueryInterface(IID_IAccessible, object.out()))) return focus;
    } else if (focused.v.vt == VT_I4) {
        // A simple element of the root, or the root itself.
        root.p->AddRef();
        object.p = root.p;
        self.v.lVal = focused.v.lVal;
        focus.self = focused.v.lVal == CHILDID_SELF;
    } else {
        return focus;
    }
    Variant role;
    if (FAILED(object.p->get_accRole(self.v, &role.v)) || role.v.vt != VT_I4) return focus;
    focus.answer = AccessAnswer::Answered;
    focus.role = role.v.lVal;
    focus.state = States(*object.p, self.v);
    ComRef<IServiceProvider> services;
    ComRef<IAccessible2Head> ia2;
    if (self.v.lVal == CHILDID_SELF && SUCCEEDED(object.p->QueryInterface(IID_IServiceProvider, services.out())) &&
        SUCCEEDED(services.p->QueryService(IID_IAccessible, kIidAccessible2, ia2.out())) &&
        FAILED(ia2.p->get_states(&focus.ia2States)))
        focus.ia2States = 0;
    return focus;
}

// Shared by the caller and the worker; whichever is done last frees it, so a
// worker stuck in a hung program outlives the caller's wait safely.
struct ProbeJob {
    HWND window;
    AccessibleFocus result;
    LONG refs = 2;
};

void Release(ProbeJob* job) {
    if (::InterlockedDecrement(&job->refs) == 0) delete job;
}

DWORD WINAPI ProbeThread(void* param) {
    auto* job = static_cast<ProbeJob*>(param);
    if (SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        job->result = Ask(job->window);
        ::CoUninitialize();
    }
    Release(job);
    return 0;
}

}  // namespace

AccessibleFocus ProbeAccessibleFocus(HWND window, DWORD timeoutMs) {
    AccessibleFocus timedOut;
    timedOut.answer = AccessAnswer::TimedOut;
    auto* job = new ProbeJob{window, {}};
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
            const AccessibleFocus answer = job->result;
            Release(job);
            return answer;
        }
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    Release(job);
    return timedOut;
}

}  // namespace vardix
