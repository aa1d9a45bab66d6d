// The version resource (VS_VERSIONINFO): built from text values, and read
// back for checks.
#include <cstdio>
#include <cstdlib>

#include "bytes.h"
#include "peres.h"
#include "text.h"

namespace peres {

namespace {

const uint32_t kFixedSignature = 0xFEEF04BD;

void Pad4(Bytes &b)
{
    while (b.size() % 4) b.push_back(0);
}

// One node: length, value length, type (0 binary, 1 text), key, value and
// the children, each on a 32-bit boundary. The length ends with the last
// child; a node longer than 65535 bytes is returned as is, for the caller
// to refuse.
Bytes Node(const std::u16string &key, uint16_t type, const Bytes &value, uint16_t valueLength,
           const std::vector<Bytes> &children)
{
    Bytes b;
    Append16(b, 0);
    Append16(b, valueLength);
    Append16(b, type);
    for (char16_t c : key) Append16(b, (uint16_t)c);
    Append16(b, 0);
    Pad4(b);
    b += value;
    for (const Bytes &child : children) {
        Pad4(b);
        b += child;
    }
    if (b.size() <= 0xFFFF) Put16(b, 0, (uint16_t)b.size());
    return b;
}

Bytes FixedFileInfo(const VersionInfo &info)
{
    Bytes b;
    Append32(b, kFixedSignature);
    Append32(b, 0x00010000);  // structure version 1.0
    Append32(b, (uint32_t)info.fileVersion[0] << 16 | info.fileVersion[1]);
    Append32(b, (uint32_t)info.fileVersion[2] << 16 | info.fileVersion[3]);
    Append32(b, (uint32_t)info.productVersion[0] << 16 | info.productVersion[1]);
    Append32(b, (uint32_t)info.productVersion[2] << 16 | info.productVersion[3]);
    Append32(b, 0x3F);        // VS_FFI_FILEFLAGSMASK
    Append32(b, 0);           // flags
    Append32(b, 0x00040004);  // VOS_NT_WINDOWS32
    Append32(b, 1);           // VFT_APP
    Append32(b, 0);           // subtype
    Append32(b, 0);           // file date, high
    Append32(b, 0);           // and low
    return b;
}

struct ParsedNode {
    std::u16string key;
    uint16_t type = 0;
    Bytes value;
    std::vector<ParsedNode> children;
};

bool ParseNode(const Bytes &b, size_t at, size_t end, ParsedNode &node, int depth)
{
    if (depth > 4 || !Within(end, at, 6)) return false;
    size_t length = Get16(b, at), valueLength = Get16(b, at + 2);
    node.type = Get16(b, at + 4);
    if (length < 6 || !Within(end, at, length)) return false;
    size_t nodeEnd = at + length, p = at + 6;
    for (;;) {
        if (p + 2 > nodeEnd) return false;
        char16_t c = (char16_t)Get16(b, p);
        p += 2;
        if (!c) break;
        node.key.push_back(c);
    }
    p = (p + 3) & ~(size_t)3;
    size_t valueBytes = node.type == 1 ? valueLength * 2 : valueLength;
    if (!Within(nodeEnd, p, valueBytes)) return false;
    node.value = b.substr(p, valueBytes);
    p += valueBytes;
    for (;;) {
        p = (p + 3) & ~(size_t)3;
        if (p >= nodeEnd) break;
        ParsedNode child;
        if (!ParseNode(b, p, nodeEnd, child, depth + 1)) return false;
        p += Get16(b, p);
        node.children.push_back(std::move(child));
    }
    return true;
}

}  // namespace

bool ParseVersionNumber(const std::string &text, uint16_t out[4])
{
    uint16_t parts[4] = {0, 0, 0, 0};
    size_t start = 0;
    for (int n = 0;; ++n) {
        size_t dot = text.find('.', start);
        std::string part = text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (n >= 4 || part.empty() || part.size() > 5 || part.find_first_not_of("0123456789") != std::string::npos)
            return false;
        unsigned long value = strtoul(part.c_str(), nullptr, 10);
        if (value > 0xFFFF) return false;
        parts[n] = (uint16_t)value;
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    for (int n = 0; n < 4; ++n) out[n] = parts[n];
    return true;
}

bool BuildVersionResource(const VersionInfo &info, Bytes &out, std::string &error)
{
    std::vector<Bytes> strings;
    size_t longest = 0;
    for (size_t i = 0; i < info.strings.size(); ++i) {
        std::u16string value = Utf8ToUtf16(info.strings[i].second);
        if (Utf8ToUtf16(info.strings[i].second).size() > Utf8ToUtf16(info.strings[longest].second).size()) longest = i;
        Bytes text;
        for (char16_t c : value) Append16(text, (uint16_t)c);
        Append16(text, 0);
        uint16_t units = value.size() + 1 > 0xFFFF ? 0xFFFF : (uint16_t)(value.size() + 1);
        strings.push_back(Node(Utf8ToUtf16(info.strings[i].first), 1, text, units, {}));
    }
    char tableKey[9];
    snprintf(tableKey, sizeof tableKey, "%04X%04X", info.language, info.codePage);
    Bytes table = Node(Utf8ToUtf16(tableKey), 1, Bytes(), 0, strings);
    Bytes stringInfo = Node(u"StringFileInfo", 1, Bytes(), 0, {table});
    Bytes translation;
    Append16(translation, info.language);
    Append16(translation, info.codePage);
    Bytes var = Node(u"Translation", 0, translation, 4, {});
    Bytes varInfo = Node(u"VarFileInfo", 1, Bytes(), 0, {var});
    out = Node(u"VS_VERSION_INFO", 0, FixedFileInfo(info), 52, {stringInfo, varInfo});
    if (out.size() > 0xFFFF) {
        const auto &value = info.strings[longest];
        error = "the version information is too long for its resource (" + std::to_string(out.size()) +
                " bytes of at most 65535); " + value.first + " has " +
                std::to_string(Utf8ToUtf16(value.second).size()) + " characters";
        out.clear();
        return false;
    }
    return true;
}

bool ParseVersionResource(const Bytes &resource, VersionInfo &info)
{
    ParsedNode root;
    if (!ParseNode(resource, 0, resource.size(), root, 0) || root.key != u"VS_VERSION_INFO" ||
        root.value.size() != 52 || Get32(root.value, 0) != kFixedSignature)
        return false;
    for (int n = 0; n < 4; ++n) {
        info.fileVersion[n] = Get16(root.value, 8 + (n ^ 1) * 2);
        info.productVersion[n] = Get16(root.value, 16 + (n ^ 1) * 2);
    }
    info.strings.clear();
    for (const ParsedNode &child : root.children) {
        if (child.key != u"StringFileInfo" || child.children.empty()) continue;
        const ParsedNode &table = child.children[0];
        std::string key = Utf16ToUtf8(table.key);
        if (key.size() != 8) return false;
        unsigned long code = strtoul(key.c_str(), nullptr, 16);
        info.language = (uint16_t)(code >> 16);
        info.codePage = (uint16_t)(code & 0xFFFF);
        for (const ParsedNode &s : table.children) {
            std::u16string value;
            for (size_t i = 0; i + 1 < s.value.size(); i += 2) value.push_back((char16_t)Get16(s.value, i));
            while (!value.empty() && value.back() == 0) value.pop_back();
            info.strings.emplace_back(Utf16ToUtf8(s.key), Utf16ToUtf8(value));
        }
    }
    return true;
}

}  // namespace peres
