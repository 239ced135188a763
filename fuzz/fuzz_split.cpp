// libFuzzer target for the clipboard splitter: whatever bytes arrive, the
// split must not crash, must keep its invariants, and must agree with the
// pass-by-pass rendering of the label strip.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fill/serial_text.h"
#include "literal_label_strip.h"

namespace {

void Require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_split: invariant broken: %s\n", what);
    std::abort();
}

// The literal rendering is quadratic; beyond this it would only slow the search.
constexpr std::size_t kLiteralLimit = 4096;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    vardix::SegmentList out;
    const bool accepted = vardix::SplitSerialText(text, out);

    if (!accepted) {
        Require(out.count == 0 && out.pieces.empty(), "a refused text changed the output");
    } else {
        Require(text.find('-') != std::string_view::npos, "accepted a text without a dash");
        Require(out.count >= 1 && out.count <= vardix::kMaxPieces, "piece count out of range");
        Require(out.pieces.size() == vardix::kPieceSlots, "piece list is not 100 entries");
        for (int i = 0; i < out.count; ++i) {
            const std::string& piece = out.pieces[static_cast<std::size_t>(i)];
            Require(piece.empty() || (!literal::IsSpace(piece.front()) && !literal::IsSpace(piece.back())),
                    "piece not trimmed");
            Require(text.find(piece) != std::string_view::npos, "piece is not part of the text");
            Require(i == out.count - 1 || piece.find('-') == std::string::npos, "dash inside a middle piece");
        }
    }

    if (size <= kLiteralLimit) {
        Require(vardix::StripLabel(vardix::TrimSpace(text)) == literal::LabelStrip(literal::Trim(text)),
                "label strip differs from the literal rendering");
        const auto expected = literal::Split(text);
        Require(accepted == expected.has_value(), "acceptance differs from the literal rendering");
        if (expected) {
            Require(static_cast<std::size_t>(out.count) == expected->size(), "piece count differs");
            for (std::size_t i = 0; i < expected->size(); ++i)
                Require(out.pieces[i] == (*expected)[i], "piece differs from the literal rendering");
        }
    }
    return 0;
}
