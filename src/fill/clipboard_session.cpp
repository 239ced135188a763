#include "fill/clipboard_session.h"

#include <cstring>
#include <new>
#include <string_view>

#include "fill/clipboard_formats.h"
#include "winfx/handles.h"

namespace vardix {

namespace {

// The formats that keep a write out of clipboard history, the cloud clipboard
// and clipboard managers. Registered once: the ids hold for the session.
struct QuietFormats {
    UINT excludeFromMonitors = ::RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing");
    UINT canIncludeInHistory = ::RegisterClipboardFormatW(L"CanIncludeInClipboardHistory");
    UINT canUploadToCloud = ::RegisterClipboardFormatW(L"CanUploadToCloudClipboard");
    UINT viewerIgnore = ::RegisterClipboardFormatW(L"Clipboard Viewer Ignore");
};

const QuietFormats& Quiet() {
    static const QuietFormats formats;
    return formats;
}

bool IsQuietFormat(UINT format) {
    const QuietFormats& quiet = Quiet();
    return format == quiet.excludeFromMonitors || format == quiet.canIncludeInHistory ||
           format == quiet.canUploadToCloud || format == quiet.viewerIgnore;
}

// OLE's own formats name a data object that its owner releases once the
// clipboard is emptied: put back, they would point readers at nothing.
bool IsOleFormat(UINT format) {
    static const UINT dataObject = ::RegisterClipboardFormatW(L"DataObject");
    static const UINT privateData = ::RegisterClipboardFormatW(L"Ole Private Data");
    return format == dataObject || format == privateData;
}

}  // namespace

ClipboardSession::ClipboardSession(HWND owner, DWORD budgetMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (::OpenClipboard(owner)) {
            m_open = true;
            return;
        }
        if (::GetTickCount() - start >= budgetMs) return;
        ::Sleep(5);
    }
}

ClipboardSession::~ClipboardSession() {
    if (m_open) ::CloseClipboard();
}

bool ClipboardSession::Empty() const { return ::EmptyClipboard() != FALSE; }

bool ClipboardSession::Put(UINT format, const void* data, std::size_t size) const {
    winfx::GlobalMemory block(::GlobalAlloc(GMEM_MOVEABLE, size ? size : 1));
    if (!block) return false;
    {
        winfx::GlobalLockGuard lock(block.get());
        if (!lock.data()) return false;
        if (size) std::memcpy(lock.data(), data, size);
    }
    if (!::SetClipboardData(format, block.get())) return false;
    // The clipboard owns the block now and frees it when it is emptied.
    block.release();
    return true;
}

bool ClipboardSession::PutEnhMetaFile(const std::vector<unsigned char>& bits) const {
    winfx::EnhMetaFile metafile(::SetEnhMetaFileBits(static_cast<UINT>(bits.size()), bits.data()));
    if (!metafile || !::SetClipboardData(CF_ENHMETAFILE, metafile.get())) return false;
    // The clipboard owns the metafile now.
    metafile.release();
    return true;
}

void ClipboardSession::PutQuietFormats() const {
    // Windows' clipboard history and cloud clipboard honour the first three;
    // clipboard managers honour the first and the last.
    const QuietFormats& quiet = Quiet();
    const DWORD no = 0;
    Put(quiet.excludeFromMonitors, &no, sizeof no);
    Put(quiet.canIncludeInHistory, &no, sizeof no);
    Put(quiet.canUploadToCloud, &no, sizeof no);
    Put(quiet.viewerIgnore, &no, sizeof no);
}

std::string ClipboardSession::Text() const {
    const winfx::GlobalLockGuard lock(::GetClipboardData(CF_TEXT));
    if (!lock.data()) return {};
    // Another program may have put a block without its NUL: never read past it.
    const auto* text = static_cast<const char*>(lock.data());
    return std::string(text, strnlen(text, lock.size()));
}

std::wstring ClipboardSession::UnicodeText() const {
    const winfx::GlobalLockGuard lock(::GetClipboardData(CF_UNICODETEXT));
    const auto* text = static_cast<const wchar_t*>(lock.data());
    if (!text) return {};
    const std::wstring_view whole(text, lock.size() / sizeof(wchar_t));
    return std::wstring(whole.substr(0, whole.find(L'\0')));
}

ClipboardSnapshot ClipboardSnapshot::Take(const ClipboardSession&) {
    ClipboardSnapshot snapshot;
    bool whole = false;
    try {
        whole = snapshot.CopyAll();
    } catch (const std::bad_alloc&) {
        // Memory for the whole ran short: the text alone, as above the bound.
    }
    if (!whole) {
        snapshot.m_entries = {};
        const winfx::GlobalLockGuard lock(::GetClipboardData(CF_UNICODETEXT));
        if (lock.data()) {
            const auto* begin = static_cast<const unsigned char*>(lock.data());
            snapshot.m_entries.push_back({CF_UNICODETEXT, std::vector<unsigned char>(begin, begin + lock.size())});
        }
    }
    // Read last, after any data its owner rendered on request.
    snapshot.m_sequence = ::GetClipboardSequenceNumber();
    return snapshot;
}

bool ClipboardSnapshot::CopyAll() {
    std::size_t total = 0;
    for (UINT format = ::EnumClipboardFormats(0); format != 0; format = ::EnumClipboardFormats(format)) {
        if (!IsCopyableFormat(format) || IsQuietFormat(format) || IsOleFormat(format)) continue;
        const HANDLE data = ::GetClipboardData(format);
        if (!data) continue;
        std::vector<unsigned char> bytes;
        if (format == CF_ENHMETAFILE) {
            const auto metafile = static_cast<HENHMETAFILE>(data);
            const UINT size = ::GetEnhMetaFileBits(metafile, 0, nullptr);
            if (!SnapshotFits(total, size)) return false;
            bytes.resize(size);
            if (size == 0 || ::GetEnhMetaFileBits(metafile, size, bytes.data()) != size) continue;
        } else {
            const winfx::GlobalLockGuard lock(data);
            if (!lock.data()) continue;
            if (!SnapshotFits(total, lock.size())) return false;
            const auto* begin = static_cast<const unsigned char*>(lock.data());
            bytes.assign(begin, begin + lock.size());
        }
        total += bytes.size();
        m_entries.push_back({format, std::move(bytes)});
    }
    return true;
}

bool ClipboardSnapshot::Restore(HWND owner, DWORD ownSequence, DWORD budgetMs) const {
    // Nothing was written over the user's content: it is still there, with
    // the formats no copy can hold.
    if (ownSequence == m_sequence) return true;
    const ClipboardSession clipboard(owner, budgetMs);
    if (!clipboard) return false;
    // Every write moves the number: someone else's content since is theirs.
    if (::GetClipboardSequenceNumber() != ownSequence) return true;
    clipboard.Empty();
    // In the order the formats were offered, which is their order of preference.
    for (const Entry& entry : m_entries) {
        if (entry.format == CF_ENHMETAFILE) clipboard.PutEnhMetaFile(entry.bytes);
        else clipboard.Put(entry.format, entry.bytes.data(), entry.bytes.size());
    }
    clipboard.PutQuietFormats();
    return true;
}

}  // namespace vardix
