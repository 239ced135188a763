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

    // The 8-bit text up to its first NUL; empty when there is none.
    std::string Text() const;
    // The Unicode text up to its first NUL, so that no character outside the
    // ANSI code page is lost; empty when there is none.
    std::wstring UnicodeText() const;
    // Replaces the content; every later Put adds to it.
    bool Empty() const;
    bool Put(UINT format, const void* data, std::size_t size) const;
    bool PutEnhMetaFile(const std::vector<unsigned char>& bits) const;
    // Marks what this session wrote as transient.
    void PutQuietFormats() const;

private:
    bool m_open = false;
};

// A copy of the clipboard's content, to be put back after a fill.
class ClipboardSnapshot {
public:
    // Every format whose data can be copied, from the open clipboard; only
    // the Unicode text when the whole is above the bound or memory runs
    // short: Windows makes the 8-bit text from it, and a character outside
    // the code page does not become "?".
    static ClipboardSnapshot Take(const ClipboardSession& open);
    // The clipboard's sequence number (GetClipboardSequenceNumber) that the
    // copy was taken at.
    DWORD Sequence() const { return m_sequence; }
    // Puts the copy back, unless the clipboard's sequence number has moved
    // from `ownSequence`, Vardix's own last write: what someone else put
    // there is theirs. False when the clipboard could not be opened within
    // the budget.
    bool Restore(HWND owner, DWORD ownSequence, DWORD budgetMs) const;

private:
    // False above the bound.
    bool CopyAll();

    struct Entry {
        UINT format;
        std::vector<unsigned char> bytes;
    };
    std::vector<Entry> m_entries;
    DWORD m_sequence = 0;
};

}  // namespace vardix
