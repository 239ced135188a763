#pragma once
// Scoped owners of Windows handles. Each is move-only, so a handle has exactly
// one owner and is closed exactly once.

#include <windows.h>

#include <utility>

namespace winfx {

template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : m_handle(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Handle get() const { return m_handle; }
    explicit operator bool() const { return m_handle != Traits::Invalid(); }
    Handle release() { return std::exchange(m_handle, Traits::Invalid()); }
    void reset(Handle handle = Traits::Invalid()) {
        if (m_handle != Traits::Invalid()) Traits::Close(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = Traits::Invalid();
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::RegCloseKey(h); }
};
using RegKey = UniqueHandle<RegKeyTraits>;

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
// A process, thread or token handle; not a file's (INVALID_HANDLE_VALUE).
using KernelHandle = UniqueHandle<KernelHandleTraits>;

struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
// What CreateFile gives.
using FileHandle = UniqueHandle<FileHandleTraits>;

struct GlobalMemoryTraits {
    using Handle = HGLOBAL;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::GlobalFree(h); }
};
// Freed unless released, which is what handing it to the clipboard does.
using GlobalMemory = UniqueHandle<GlobalMemoryTraits>;

struct HookTraits {
    using Handle = HHOOK;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::UnhookWindowsHookEx(h); }
};
using WindowsHook = UniqueHandle<HookTraits>;

struct GdiObjectTraits {
    using Handle = HGDIOBJ;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DeleteObject(h); }
};
using GdiObject = UniqueHandle<GdiObjectTraits>;

struct EnhMetaFileTraits {
    using Handle = HENHMETAFILE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DeleteEnhMetaFile(h); }
};
using EnhMetaFile = UniqueHandle<EnhMetaFileTraits>;

struct WindowTraits {
    using Handle = HWND;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DestroyWindow(h); }
};
// A window of this thread's own making, destroyed with its owner.
using Window = UniqueHandle<WindowTraits>;

struct RegisteredWaitTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    // Returns only once a callback that already runs is over, so that it
    // never outlives what it reaches.
    static void Close(Handle h) { ::UnregisterWaitEx(h, INVALID_HANDLE_VALUE); }
};
// A wait from RegisterWaitForSingleObject.
using RegisteredWait = UniqueHandle<RegisteredWaitTraits>;

// A global memory block locked for the life of this object. Always unlocked
// before the owner of the block (or the clipboard holding it) lets go of it.
class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL block) : m_block(block), m_data(block ? ::GlobalLock(block) : nullptr) {}
    ~GlobalLockGuard() {
        if (m_data) ::GlobalUnlock(m_block);
    }
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;

    void* data() const { return m_data; }
    SIZE_T size() const { return m_data ? ::GlobalSize(m_block) : 0; }

private:
    HGLOBAL m_block;
    void* m_data;
};

// Shares input state with another thread for the life of the object, so that
// the other program's focus can be read and moved.
class ThreadInputAttachment {
public:
    ThreadInputAttachment(DWORD own, DWORD other) : m_own(own), m_other(other) {
        m_attached = ::AttachThreadInput(own, other, TRUE) != FALSE;
        if (!m_attached) m_error = ::GetLastError();
    }
    ~ThreadInputAttachment() {
        if (m_attached) ::AttachThreadInput(m_own, m_other, FALSE);
    }
    ThreadInputAttachment(const ThreadInputAttachment&) = delete;
    ThreadInputAttachment& operator=(const ThreadInputAttachment&) = delete;

    bool attached() const { return m_attached; }
    DWORD error() const { return m_error; }

private:
    DWORD m_own;
    DWORD m_other;
    bool m_attached = false;
    DWORD m_error = 0;
};

// A device context from BeginPaint, ended on every path.
class PaintDC {
public:
    explicit PaintDC(HWND window) : m_window(window) { m_dc = ::BeginPaint(window, &m_paint); }
    ~PaintDC() { ::EndPaint(m_window, &m_paint); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    HDC get() const { return m_dc; }

private:
    HWND m_window;
    PAINTSTRUCT m_paint{};
    HDC m_dc;
};

}  // namespace winfx
