// voxinst.ini for voxpack package: reading an author's file, writing the
// package's own in the form the stub's profile functions read.
#include "package_settings.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <strings.h>

#include "cli.h"

const char *const kPackageKeys[11] = {"Banner", "DefaultTarget", "Name", "SetupApp", "SetupAppParams", "Title",
                                      "TitleFont", "TitleFontColor", "LCID", "ExtractToTemp", "ShowOverwrite"};

const char *const kVersionInfoKeys[10] = {"CompanyName",      "FileDescription",  "FileVersion",    "InternalName",
                                         "LegalCopyright",   "LegalTrademarks",  "OriginalFilename", "ProductName",
                                         "ProductVersion",   "Comments"};

const char *CanonicalVersionInfoKey(const std::string &key)
{
    for (const char *known : kVersionInfoKeys)
        if (strcasecmp(known, key.c_str()) == 0) return known;
    return nullptr;
}

namespace {

const char *CanonicalKey(const std::string &key)
{
    for (const char *known : kPackageKeys)
        if (strcasecmp(known, key.c_str()) == 0) return known;
    return nullptr;
}

std::string Trim(const std::string &text)
{
    size_t first = text.find_first_not_of(" \t\r");
    size_t last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// Where the bytes stop being UTF-8 (std::string::npos when they are).
size_t InvalidUtf8(const std::string &bytes)
{
    for (size_t i = 0; i < bytes.size();) {
        unsigned char c = (unsigned char)bytes[i];
        size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > bytes.size()) return i;
        uint32_t code = length == 1 ? c : c & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            unsigned char next = (unsigned char)bytes[i + k];
            if ((next & 0xC0) != 0x80) return i;
            code = code << 6 | (next & 0x3F);
        }
        static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) || code == 0) return i;
        i += length;
    }
    return std::string::npos;
}

// The file as UTF-8 text; false with a problem when it is neither UTF-8
// nor UTF-16 little-endian with its byte order mark.
bool ReadAsUtf8(const std::string &bytes, std::string &text, std::vector<SettingsProblem> &problems)
{
    if (bytes.size() >= 2 && (unsigned char)bytes[0] == 0xFF && (unsigned char)bytes[1] == 0xFE) {
        VoText wide;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            wide.push_back((VOCHAR)((unsigned char)bytes[i] | (unsigned char)bytes[i + 1] << 8));
        int line = 1;
        for (size_t i = 0; i < wide.size(); ++i) {
            bool high = wide[i] >= 0xD800 && wide[i] <= 0xDBFF, low = wide[i] >= 0xDC00 && wide[i] <= 0xDFFF;
            bool paired = high && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF;
            if ((high && !paired) || low || wide[i] == 0) {
                problems.push_back({line, "not UTF-16 text (a broken character)", false});
                return false;
            }
            if (paired) ++i;
            if (wide[i] == '\n') ++line;
        }
        text = ToUtf8(wide.c_str());
        return true;
    }
    text = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
    size_t bad = InvalidUtf8(text);
    if (bad == std::string::npos) return true;
    int line = 1 + (int)std::count(text.begin(), text.begin() + (long)bad, '\n');
    problems.push_back({line, "neither UTF-8 nor UTF-16 with a byte order mark; save the file as UTF-8", false});
    return false;
}

}  // namespace

namespace {

using KeyValues = std::vector<std::pair<std::string, std::string>>;

std::string Lookup(const KeyValues &list, const std::string &key, const std::string &fallback)
{
    for (const auto &v : list)
        if (v.first == key) return v.second;
    return fallback;
}

// Replaces the key's value, or adds the key at the end.
void Store(KeyValues &list, const std::string &key, const std::string &value)
{
    for (auto &v : list)
        if (v.first == key) {
            v.second = value;
            return;
        }
    list.emplace_back(key, value);
}

}  // namespace

bool PackageSettings::Has(const std::string &key) const
{
    return std::any_of(values.begin(), values.end(), [&](const auto &v) { return v.first == key; });
}

std::string PackageSettings::Get(const std::string &key, const std::string &fallback) const
{
    return Lookup(values, key, fallback);
}

std::string PackageSettings::GetVersionInfo(const std::string &key) const { return Lookup(versionInfo, key, ""); }

void PackageSettings::SetVersionInfo(const std::string &key, const std::string &value)
{
    Store(versionInfo, key, value);
}

void PackageSettings::Set(const std::string &key, const std::string &value) { Store(values, key, value); }

bool IsStorableSetting(const std::string &key, const std::string &value, std::string &error)
{
    if (!CanonicalKey(key)) {
        error = "unknown setting '" + key + "'";
        return false;
    }
    if (value.find_first_of("\r\n") != std::string::npos) {
        error = key + " cannot hold a line break";
        return false;
    }
    return true;
}

bool ReadPackageSettings(const std::string &path, PackageSettings &out, std::vector<SettingsProblem> &problems)
{
    std::ifstream file(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file && !file.eof()) {
        problems.push_back({0, "cannot be read", false});
        return false;
    }
    std::string text;
    if (!ReadAsUtf8(bytes, text, problems)) return false;
    enum { kOther, kStowage, kVersion } section = kOther;
    bool failed = false;
    size_t start = 0;
    for (int number = 1; start < text.size(); ++number) {
        size_t end = text.find('\n', start);
        std::string line = Trim(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end == std::string::npos ? text.size() : end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            section = strcasecmp(line.c_str(), "[Stowage]") == 0       ? kStowage
                      : strcasecmp(line.c_str(), "[VersionInfo]") == 0 ? kVersion
                                                                       : kOther;
            if (section == kVersion) out.versionSection = true;
            if (section == kOther)
                problems.push_back({number, "section " + line + " is not read (only [Stowage] and [VersionInfo] are)",
                                    true});
            continue;
        }
        if (section == kOther) continue;
        size_t equals = line.find('=');
        std::string key = Trim(line.substr(0, equals));
        const char *canonical = equals == std::string::npos ? nullptr
                                : section == kVersion     ? CanonicalVersionInfoKey(key)
                                                          : CanonicalKey(key);
        if (!canonical) {
            std::string unknown = section == kVersion ? "unknown key '" + key + "' in section VersionInfo"
                                                      : "unknown setting '" + key + "'";
            problems.push_back(
                {number, equals == std::string::npos ? "not a setting (KEY=VALUE): '" + line + "'" : unknown, false});
            failed = true;
            continue;
        }
        std::string value = Trim(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (section == kVersion) out.SetVersionInfo(canonical, value);
        else out.Set(canonical, value);
    }
    return !failed;
}

std::string EncodePackageSettings(const PackageSettings &settings)
{
    std::string utf8 = "[Stowage]\r\n";
    for (const char *key : kPackageKeys)
        if (settings.Has(key)) utf8 += std::string(key) + "=\"" + settings.Get(key) + "\"\r\n";
    VoText wide = ToText(utf8);
    std::string bytes = "\xFF\xFE";
    for (VOCHAR c : wide) {
        bytes.push_back((char)(c & 0xFF));
        bytes.push_back((char)((c >> 8) & 0xFF));
    }
    return bytes;
}
