// UTF-8 and UTF-16 for resource texts (a malformed sequence becomes U+FFFD).
#pragma once

#include <string>

namespace peres {

std::u16string Utf8ToUtf16(const std::string &text);
std::string Utf16ToUtf8(const std::u16string &text);

}  // namespace peres
