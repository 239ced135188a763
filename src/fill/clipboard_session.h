#pragma once
// The clipboard as the fill uses it: opened with a bounded retry, written
// with the formats that keep transient content out of clipboard history and
// clipboard managers, and copied whole so the user gets back exactly what
// they had.

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vardix {

// Clipboard managers hold the clipboard open for short moments after every
// change; a fill waits this long for it before giving up.
inline constexpr DWORD kClipboardOpenBudgetMs = 500;

// The clipboard, open for the life of this object.
class ClipboardSession {
public:
    explicit ClipboardSession(HWND owner, DWORD budgetMs = kClipboardOpenBudgetMs);
    ~ClipboardSession();
    ClipboardSession(const ClipboardSession&) = delete;
    ClipboardSession& operator=(const ClipboardSession&) = delete;
    explicit operator bool() const { return m_open; }

    // Replaces the content; every later Put adds to it.
    bool Empty() const;
    bool Put(UINT format, const void* data, std::size_t size) const;
    bool PutEnhMetaFile(const std::vector<unsigned char>& bits) const;
    // Marks what this session wrote as transient.
    void PutQuietFormats() const;

private:
    bool m_open = false;
};

// A copy of every clipboard format whose data can be copied.
class ClipboardSnapshot {
public:
    // Nothing when the clipboard cannot be opened or holds too much to copy.
    static std::optional<ClipboardSnapshot> Take(HWND owner);
    // Just the 8-bit text, for when no copy of the whole could be taken.
    static ClipboardSnapshot FromText(const std::string& text);
    // False when the clipboard could not be opened within the budget.
    bool Restore(HWND owner, DWORD budgetMs = kClipboardOpenBudgetMs) const;

private:
    struct Entry {
        UINT format;
        std::vector<unsigned char> bytes;
    };
    std::vector<Entry> m_entries;
};

}  // namespace vardix
