#pragma once
// The fill: the copied code, split at its dashes, pasted into the focused box
// of a window and the boxes after it, and the user's clipboard put back.
// Both the resident program's press and the elevated one-fill copy run it.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fill/clipboard_session.h"
#include "fill/fill_outcome.h"
#include "fill/fill_plan.h"

namespace vardix {

class Filler {
public:
    // `owner` opens the clipboard and gets the restore timer's WM_TIMER,
    // which it hands to OnRestoreTimer.
    explicit Filler(HWND owner);
    ~Filler();
    Filler(const Filler&) = delete;
    Filler& operator=(const Filler&) = delete;

    static constexpr UINT_PTR kRestoreTimerId = 1;

    // False while the last fill's copy is not back yet: until then the
    // clipboard holds a piece, not the user's copy.
    bool ReadyForPress();
    // Splits the clipboard's 8-bit text into pieces; false when it is no
    // code, or when the clipboard's owner does not answer and reading could
    // hang on it. Reads nothing else and writes nothing.
    bool ReadCode();
    // Fills `foreground`'s focused box (or `first`, where given) and the boxes
    // after it with the pieces ReadCode found, then puts the user's copy back,
    // from the timer if a box or another program keeps it from going back at
    // once.
    FillEnd Fill(HWND foreground, HWND first = nullptr);
    // True once the user's copy is back, or a box held it past the limit and
    // it went back.
    bool OnRestoreTimer();
    bool Restored() const { return !m_snapPending; }
    // Leaving while a box is still pasting: waits for it, up to the limit,
    // then tries once more to put the user's copy back.
    void EndAtExit();

private:
    bool FinishPendingRestore(DWORD budgetMs);
    FillEnd FillFields(HWND foreground, HWND first);
    HWND StartingBoxOf(HWND foreground, HWND focus) const;
    // The box after `box` as the user reads, none where no box comes after
    // it. `facts` has what holds for the whole fill and the box's place,
    // which becomes the next box's; `way` the way of the last step, then of
    // this one.
    HWND NextBoxOf(HWND foreground, HWND box, StepFacts& facts, const std::vector<HWND>& filled, Step& way);
    static std::optional<std::uint32_t> DlgCodeOf(HWND window);
    bool WriteClipboardText(const std::string& text);
    std::optional<FillEnd> PasteInto(HWND box);
    bool AwaitPasteAnswer(DWORD timeoutMs);
    static void CALLBACK OnPasteAnswered(HWND box, UINT message, ULONG_PTR paste, LRESULT result);

    HWND m_owner;
    std::vector<std::string> m_pieces;
    // The pieces joined by their dashes, without the label.
    std::string m_code;
    FillTrace m_trace;
    // The clipboard's sequence number when the code was read.
    DWORD m_readSeq = 0;
    // The user's clipboard from the press until it is back: while a box that
    // did not answer in time may still paste its piece, or while another
    // program keeps Vardix from putting it back.
    std::optional<ClipboardSnapshot> m_snapPending;
    // The clipboard's sequence number as Vardix saved or last wrote it; any
    // other number means someone else has put content there.
    DWORD m_clipSeq = 0;
    // The box whose paste has not answered yet, the paste's number, and since
    // when it is overdue.
    HWND m_pasteBox = nullptr;
    ULONG_PTR m_pasteNumber = 0;
    DWORD m_holdStart = 0;
    // The class of the boxes this fill has met.
    ATOM m_boxClass = 0;
};

}  // namespace vardix
