// The number-to-text formatters of AudioEffect. Hosts show parameter values in
// fields of eight characters, so every number is laid out to fit eight
// positions, digit by digit and truncated, never rounded.
#include "audioeffect.h"

#include <cmath>
#include <cstring>

namespace
{

// Copies at most maxLen characters and terminates at text[maxLen] too.
void copyText(char* text, const char* source, VstInt32 maxLen)
{
    if (!text || maxLen < 0)
        return;
    std::strncpy(text, source, static_cast<size_t>(maxLen));
    text[maxLen] = 0;
}

// Appends while the whole text stays within maxLen characters.
void appendText(char* text, const char* source, VstInt32 maxLen)
{
    if (!text || maxLen < 0)
        return;
    const size_t length = strnlen(text, static_cast<size_t>(maxLen));
    std::strncat(text, source, static_cast<size_t>(maxLen) - length);
    text[maxLen] = 0;
}

// The digit in the units place of a non-negative value, truncated.
char unitsDigit(double value)
{
    return static_cast<char>('0' + static_cast<int>(std::fmod(value, 10.0)));
}

} // namespace

void AudioEffect::float2string(float value, char* text, VstInt32 maxLen)
{
    const double v = value;
    // A value that is not a number has no digits to take apart; say what it
    // is rather than show a made-up digit.
    if (std::isnan(v))
    {
        copyText(text, "NaN", maxLen);
        return;
    }

    const bool negative = v < 0.0;
    const double magnitude = negative ? -v : v;
    const double limit = negative ? 9999999.0 : 99999999.0;
    if (magnitude > limit)
    {
        copyText(text, "Huge!", maxLen);
        return;
    }

    // c counts the positions used so far, the sign included; eight in all.
    int c = negative ? 3 : 2;
    char digits[16]; // least significant first
    int count = 0;
    double i = std::floor(magnitude);
    digits[count++] = unitsDigit(i);
    i /= 10.0;
    while (i >= 1.0 && c <= 7)
    {
        digits[count++] = unitsDigit(i);
        i /= 10.0;
        ++c;
    }
    // From 10^7 (10^6 when negative) up to the limit the integer part needs
    // all eight positions: show every digit and leave out the point.
    const bool full = i >= 1.0;
    while (i >= 1.0)
    {
        digits[count++] = unitsDigit(i);
        i /= 10.0;
    }

    char head[20];
    int n = 0;
    if (negative)
        head[n++] = '-';
    while (count > 0)
        head[n++] = digits[--count];
    if (!full)
        head[n++] = '.';
    head[n] = 0;
    copyText(text, head, maxLen);
    if (c > 7)
        return;

    const int places = 8 - c;
    double m = std::fmod(magnitude, 1.0) * std::pow(10.0, places);
    char fraction[8];
    for (int k = places - 1; k >= 0; --k)
    {
        if (m <= 0.0)
        {
            fraction[k] = '0';
            continue;
        }
        fraction[k] = unitsDigit(m);
        m /= 10.0;
    }
    fraction[places] = 0;
    appendText(text, fraction, maxLen);
}

void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLen)
{
    // Nine digits do not fit; this also keeps the negation below in range.
    if (value >= 100000000 || value <= -100000000)
    {
        copyText(text, "Huge!", maxLen);
        return;
    }

    char out[16];
    int n = 0;
    if (value < 0)
    {
        out[n++] = '-';
        value = -value;
    }
    bool leading = true;
    for (VstInt32 divisor = 100000000; divisor >= 1; divisor /= 10)
    {
        const VstInt32 digit = value / divisor;
        value -= digit * divisor;
        if (digit != 0)
            leading = false;
        if (!leading)
            out[n++] = static_cast<char>('0' + digit);
    }
    out[n] = 0;
    copyText(text, out, maxLen);
}

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLen)
{
    if (value > 0.0f || std::isnan(value))
        float2string(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text,
                     maxLen);
    else
        copyText(text, "-oo", maxLen);
}

void AudioEffect::Hz2string(float samples, char* text, VstInt32 maxLen)
{
    if (samples == 0.0f)
        float2string(0.0f, text, maxLen);
    else
        float2string(getSampleRate() / samples, text, maxLen);
}

void AudioEffect::ms2string(float samples, char* text, VstInt32 maxLen)
{
    const double ms = static_cast<double>(samples) * 1000.0 / static_cast<double>(getSampleRate());
    float2string(static_cast<float>(ms), text, maxLen);
}
