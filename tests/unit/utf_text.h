// Test helper: UTF-8 <-> toolkit text through the platform's converters.
#pragma once

#include <string>

#include "utf8.h"

inline std::basic_string<VOCHAR> Utf8ToText(const std::string &text)
{
    std::basic_string<VOCHAR> out(VoUtf8ToUtf16(text.c_str(), nullptr, 0) + 1, 0);
    VoUtf8ToUtf16(text.c_str(), &out[0], out.size());
    out.resize(out.size() - 1);
    return out;
}

inline std::string TextToUtf8(const VOCHAR *text)
{
    std::string out(VoUtf16ToUtf8(text, nullptr, 0) + 1, 0);
    VoUtf16ToUtf8(text, &out[0], out.size());
    out.resize(out.size() - 1);
    return out;
}
