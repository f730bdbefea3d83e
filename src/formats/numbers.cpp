// The one number parser: every text that becomes a number (map lists, scores
// lines, resolution entries, preference values) goes through here.
#include "formats/formats.h"

#include <limits>

static int DigitValue(char C);
static int64_t ParseDigits(const std::string& Text, size_t Index, int AllowPrefixes);

// Blanks and tabs first, then an optional sign, then "$" hexadecimal, "%"
// binary or plain decimal digits up to the first other character. The two
// prefixes belong to every number text the game reads (maps, scores,
// resolutions): they are meant, not a slip.
int64_t ParseNumber(const std::string& Text)
{
    return ParseDigits(Text, 0, 1);
}

// Like ParseNumber, but decimal only: "$10" and "%10" give 0.
int64_t ParseDecimalNumber(const std::string& Text)
{
    return ParseDigits(Text, 0, 0);
}

int32_t ClampToInt32(int64_t Value)
{
    if (Value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    if (Value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return int32_t(Value);
}

// 0-15 for 0-9, a-f, A-F; -1 for anything else.
static int DigitValue(char C)
{
    if (C >= '0' && C <= '9')
        return C - '0';
    if (C >= 'a' && C <= 'f')
        return C - 'a' + 10;
    if (C >= 'A' && C <= 'F')
        return C - 'A' + 10;
    return -1;
}

// Too many digits saturate: the magnitude stops at 2^64 - 1 and the result at
// INT64_MAX (or INT64_MIN with a minus sign), so a corrupt file never wraps a
// huge count round into a small or negative one.
static int64_t ParseDigits(const std::string& Text, size_t Index, int AllowPrefixes)
{
    const uint64_t Maximum = std::numeric_limits<uint64_t>::max();
    size_t Length = Text.size();
    while (Index < Length && (Text[Index] == ' ' || Text[Index] == '\t'))
        Index++;
    int Negative = 0;
    if (Index < Length && (Text[Index] == '+' || Text[Index] == '-')) {
        Negative = Text[Index] == '-';
        Index++;
    }
    uint64_t Base = 10;
    if (AllowPrefixes && Index < Length && Text[Index] == '$') {
        Base = 16;
        Index++;
    } else if (AllowPrefixes && Index < Length && Text[Index] == '%') {
        Base = 2;
        Index++;
    }
    uint64_t Magnitude = 0;
    for (; Index < Length; Index++) {
        int Digit = DigitValue(Text[Index]);
        if (Digit < 0 || uint64_t(Digit) >= Base)
            break;
        if (Magnitude > (Maximum - uint64_t(Digit)) / Base)
            Magnitude = Maximum; // saturated; the remaining digits are still consumed
        else
            Magnitude = Magnitude * Base + uint64_t(Digit);
    }
    const uint64_t PositiveLimit = uint64_t(std::numeric_limits<int64_t>::max());
    if (Negative) {
        if (Magnitude > PositiveLimit)
            return std::numeric_limits<int64_t>::min();
        return -int64_t(Magnitude);
    }
    return Magnitude > PositiveLimit ? std::numeric_limits<int64_t>::max() : int64_t(Magnitude);
}
