#include "fill/accessible_probe.h"

#include <servprov.h>

#include <utility>

#include "fill/accessible2.h"
#include "winfx/handles.h"
#include "winfx/system_function.h"

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
    void reset() {
        if (p) p->Release();
        p = nullptr;
    }
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

// oleacc.dll is none of Windows' known DLLs: imported, it would be looked for
// in vardix.exe's folder first. Loaded from System32 only, and kept; without
// it, every window reads as one without accessibility.
HRESULT ObjectFromWindow(HWND window, LONG objectId, ComRef<IAccessible>& object) {
    using Function = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
    static const auto function = winfx::FindFunction<Function>(
        ::LoadLibraryExW(L"oleacc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32), "AccessibleObjectFromWindow");
    return function ? function(window, static_cast<DWORD>(objectId), kIidAccessible, object.out()) : E_NOTIMPL;
}

std::wstring Value(IAccessible& object, const VARIANT& child) {
    std::wstring text;
    BSTR value = nullptr;
    if (SUCCEEDED(object.get_accValue(child, &value)) && value) text.assign(value, ::SysStringLen(value));
    ::SysFreeString(value);
    return text;
}

// What `object` says of its `child` (CHILDID_SELF: of itself); only its text
// where that is all that is asked.
AccessibleFocus Describe(IAccessible& object, const VARIANT& child, bool root, Question question) {
    AccessibleFocus focus;
    if (question == Question::Value) {
        focus.answer = AccessAnswer::Answered;
        focus.value = Value(object, child);
        return focus;
    }
    // A role that cannot be read, or a role given as a string, describes no
    // box that can be checked.
    focus.answer = AccessAnswer::Empty;
    Variant role;
    if (FAILED(object.get_accRole(child, &role.v)) || role.v.vt != VT_I4) return focus;
    focus.answer = AccessAnswer::Answered;
    focus.self = root && child.lVal == CHILDID_SELF;
    focus.role = role.v.lVal;
    focus.state = States(object, child);
    focus.child = child.lVal;
    ScreenBox& box = focus.box;
    if (FAILED(object.accLocation(&box.left, &box.top, &box.width, &box.height, child))) box = {};
    focus.value = Value(object, child);
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

// Whether two answers of get_accFocus name the same object: the same child
// id, or the same object by COM's identity.
bool SameFocus(const VARIANT& one, const VARIANT& other) {
    if (one.vt != other.vt) return false;
    if (one.vt == VT_I4) return one.lVal == other.lVal;
    ComRef<IUnknown> first;
    ComRef<IUnknown> second;
    return one.vt == VT_DISPATCH && one.pdispVal && other.pdispVal &&
           SUCCEEDED(one.pdispVal->QueryInterface(IID_IUnknown, first.out())) &&
           SUCCEEDED(other.pdispVal->QueryInterface(IID_IUnknown, second.out())) && first.p == second.p;
}

// The window's object is kept in `root` for the next question. A text asked
// for alone counts only where the focus is still on its object afterwards: a
// box that moves on once it is full has its whole text only as it moves.
AccessibleFocus AskFocus(HWND window, ComRef<IAccessible>& root, Question question) {
    AccessibleFocus focus;
    if (!root.p && SUCCEEDED(ObjectFromWindow(window, OBJID_CLIENT, root)) && !IsOwn(*root.p)) root.reset();
    if (!root.p) return focus;
    focus.answer = AccessAnswer::Empty;
    Variant focused;
    if (FAILED(root.p->get_accFocus(&focused.v))) return focus;
    Variant self;
    self.v.vt = VT_I4;
    self.v.lVal = CHILDID_SELF;
    ComRef<IAccessible> object;
    if (focused.v.vt == VT_I4) {
        focus = Describe(*root.p, focused.v, true, question);
    } else if (focused.v.vt == VT_DISPATCH && focused.v.pdispVal &&
               SUCCEEDED(focused.v.pdispVal->QueryInterface(kIidAccessible, object.out()))) {
        focus = Describe(*object.p, self.v, false, question);
    }
    Variant again;
    if (question == Question::Value && (FAILED(root.p->get_accFocus(&again.v)) || !SameFocus(focused.v, again.v)))
        focus.value.clear();
    return focus;
}

// As AccessibleObjectFromEvent finds it: the child as an object of its own
// where it is one, else as a simple element of its parent.
AccessibleFocus AskObject(const FocusEvent& event) {
    ComRef<IAccessible> root;
    const HWND window = reinterpret_cast<HWND>(event.window);
    if (FAILED(ObjectFromWindow(window, event.object, root))) return {};
    Variant child;
    child.v.vt = VT_I4;
    child.v.lVal = event.child;
    ComRef<IDispatch> element;
    ComRef<IAccessible> object;
    if (event.child == CHILDID_SELF || root.p->get_accChild(child.v, &element.p) != S_OK || !element.p)
        return Describe(*root.p, child.v, true, Question::Object);
    if (FAILED(element.p->QueryInterface(kIidAccessible, object.out()))) return {};
    child.v.lVal = CHILDID_SELF;
    return Describe(*object.p, child.v, false, Question::Object);
}

// Places on the screen in physical pixels, as a scaled display's toolkit
// measures its boxes: this thread alone, since Vardix's own windows keep
// their size only without DPI awareness. Windows before 10's version 1607
// has no thread awareness, and version 1607 not its second per-monitor kind.
void AskInPhysicalPixels() {
    using SetContext = HANDLE(WINAPI*)(HANDLE);
    const auto set = winfx::FindUser32Function<SetContext>("SetThreadDpiAwarenessContext");
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 and _PER_MONITOR_AWARE.
    if (set && !set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))))
        set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3)));
}

}  // namespace

// Shared by the session and its worker; whichever is done last frees it, so a
// worker stuck in a hung program outlives the session safely.
struct AccessibleSession::Shared {
    explicit Shared(HWND asked) : window(asked) {}
    HWND window;
    winfx::KernelHandle request{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    winfx::KernelHandle answered{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    Question question = Question::Focus;
    FocusEvent event;
    AccessibleFocus result;
    bool quit = false;
    LONG refs = 2;
};

void AccessibleSession::Release(Shared* shared) {
    if (::InterlockedDecrement(&shared->refs) == 0) delete shared;
}

DWORD WINAPI AccessibleSession::Worker(void* param) {
    auto* shared = static_cast<Shared*>(param);
    AskInPhysicalPixels();
    const bool com = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    {
        ComRef<IAccessible> root;
        while (::WaitForSingleObject(shared->request.get(), INFINITE) == WAIT_OBJECT_0 && !shared->quit) {
            try {
                shared->result = {};
                if (com && shared->question == Question::Object) shared->result = AskObject(shared->event);
                if (com && shared->question != Question::Object)
                    shared->result = AskFocus(shared->window, root, shared->question);
            } catch (...) {
                // Memory ran short for a value: no answer.
            }
            ::SetEvent(shared->answered.get());
        }
    }
    if (com) ::CoUninitialize();
    Release(shared);
    return 0;
}

AccessibleSession::AccessibleSession(HWND window) : m_shared(new Shared(window)) {
    const winfx::KernelHandle thread(
        m_shared->request && m_shared->answered ? ::CreateThread(nullptr, 0, Worker, m_shared, 0, nullptr) : nullptr);
    if (thread) return;
    delete m_shared;
    m_shared = nullptr;
}

AccessibleSession::~AccessibleSession() {
    if (!m_shared) return;
    m_shared->quit = true;
    ::SetEvent(m_shared->request.get());
    Release(m_shared);
}

AccessibleFocus AccessibleSession::Ask(Question question, const FocusEvent& event, DWORD timeoutMs) {
    AccessibleFocus timedOut;
    timedOut.answer = AccessAnswer::TimedOut;
    if (!m_shared || m_hung) return timedOut;
    m_shared->question = question;
    m_shared->event = event;
    ::SetEvent(m_shared->request.get());
    // Messages sent to Vardix's own windows (its own dialog may be the one
    // asked) are handled meanwhile.
    const HANDLE answered = m_shared->answered.get();
    const DWORD start = ::GetTickCount();
    for (DWORD waited = 0; waited < timeoutMs; waited = ::GetTickCount() - start) {
        if (::MsgWaitForMultipleObjects(1, &answered, FALSE, timeoutMs - waited, QS_SENDMESSAGE) == WAIT_OBJECT_0)
            return std::move(m_shared->result);
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    m_hung = true;
    return timedOut;
}

AccessibleFocus ProbeAccessibleFocus(HWND window, DWORD timeoutMs) {
    return AccessibleSession(window).Ask(Question::Focus, {}, timeoutMs);
}

}  // namespace vardix
