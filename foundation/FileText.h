// The toolkit's files keep their texts in lines: a text ends at a 0 unit or at a line end (CR,
// LF, or the two in either order), which the reader hands back as one line feed; a byte-order
// mark sets the swap flag and is skipped. A disk file and a file's image in memory read them
// alike.
#pragma once
#include <cstdint>

#include "CTextCollector.h"
#include "gCStream.h"

constexpr uint16_t kTextMarkKept = 0xFEFF;
constexpr uint16_t kTextMarkSwapped = 0xFFFE;

inline bool IsLineEnd(uint16_t c)
{
    return c == L'\r' || c == L'\n';
}

// CR LF or LF CR: the second character completes the line end that the first began.
inline bool CompletesLineEnd(uint16_t first, uint16_t second)
{
    return IsLineEnd(second) && second != first;
}

inline uint16_t SwappedUnit(uint16_t raw, int32_t swap)
{
    return swap ? static_cast<uint16_t>((raw >> 8) | (raw << 8)) : raw;
}

// A UTF-16 text from units that a source gives one at a time: Next(unit) says how many bytes it
// took (2 for a whole unit, 1 for a lone last byte, 0 at the end); PutBack(n) gives n bytes
// back (and clears the end of the data) and says whether it could.
template <typename Units>
gCResult ReadFileString(Units& units, int32_t& swap, gCString& out)
{
    CTextCollector<wchar_t> text;
    uint16_t raw = 0;
    // A lone byte at the end is consumed: the text is cut off either way.
    while (units.Next(raw) == 2) {
        if (raw == kTextMarkSwapped || raw == kTextMarkKept) {
            swap = raw == kTextMarkSwapped;
            continue;
        }
        const uint16_t unit = SwappedUnit(raw, swap);
        if (unit == 0)
            return out.SetTextN(text.Data(), text.Count());
        if (IsLineEnd(unit)) {
            // A unit that does not complete the line end is left for the next text.
            uint16_t next = 0;
            const uint32_t peeked = units.Next(next);
            const bool completes = peeked == 2 && CompletesLineEnd(unit, SwappedUnit(next, swap));
            if (!units.PutBack(completes ? 0 : peeked))
                return kStreamFailure;
            QV_RETURN_IF_FAILED(text.Add(L'\n'));
            return out.SetTextN(text.Data(), text.Count());
        }
        QV_RETURN_IF_FAILED(text.Add(static_cast<wchar_t>(unit)));
    }
    // A text that the data cuts off before its end is a short read, not a text.
    (void)units.PutBack(0); // nothing to give back: only the end is cleared
    return kStreamFailure;
}

// An 8-bit text in the ANSI code page, read from the stream's position; the caller has checked
// that the stream is open and not at its end.
gCResult ReadFileText8(gCStream& stream, gCString& out);
