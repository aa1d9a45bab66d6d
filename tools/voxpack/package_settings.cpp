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

// The file as UTF-8 text.
bool ReadAsUtf8(const std::string &path, std::string &text)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.size() >= 2 && (unsigned char)bytes[0] == 0xFF && (unsigned char)bytes[1] == 0xFE) {
        VoText wide;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            wide.push_back((VOCHAR)((unsigned char)bytes[i] | (unsigned char)bytes[i + 1] << 8));
        text = ToUtf8(wide.c_str());
        return true;
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    text = bytes;
    return true;
}

}  // namespace

bool PackageSettings::Has(const std::string &key) const
{
    return std::any_of(values.begin(), values.end(), [&](const auto &v) { return v.first == key; });
}

std::string PackageSettings::Get(const std::string &key, const std::string &fallback) const
{
    for (const auto &v : values)
        if (v.first == key) return v.second;
    return fallback;
}

std::string PackageSettings::GetVersionInfo(const std::string &key) const
{
    for (const auto &v : versionInfo)
        if (v.first == key) return v.second;
    return std::string();
}

void PackageSettings::SetVersionInfo(const std::string &key, const std::string &value)
{
    for (auto &v : versionInfo)
        if (v.first == key) {
            v.second = value;
            return;
        }
    versionInfo.emplace_back(key, value);
}

void PackageSettings::Set(const std::string &key, const std::string &value)
{
    for (auto &v : values)
        if (v.first == key) {
            v.second = value;
            return;
        }
    values.emplace_back(key, value);
}

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

bool ReadPackageSettings(const std::string &path, PackageSettings &out, std::string &error)
{
    std::string text;
    if (!ReadAsUtf8(path, text)) {
        error = "cannot be read";
        return false;
    }
    enum { kOther, kStowage, kVersion } section = kOther;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = Trim(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end == std::string::npos ? text.size() : end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            section = strcasecmp(line.c_str(), "[Stowage]") == 0       ? kStowage
                      : strcasecmp(line.c_str(), "[VersionInfo]") == 0 ? kVersion
                                                                       : kOther;
            if (section == kVersion) out.versionSection = true;
            continue;
        }
        size_t equals = line.find('=');
        if (section == kOther || equals == std::string::npos) continue;
        std::string key = Trim(line.substr(0, equals));
        std::string value = Trim(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (section == kVersion) {
            const char *canonical = CanonicalVersionInfoKey(key);
            if (!canonical) {
                error = "unknown key '" + key + "' in section VersionInfo";
                return false;
            }
            out.SetVersionInfo(canonical, value);
            continue;
        }
        const char *canonical = CanonicalKey(key);
        if (!canonical) {
            error = "unknown setting '" + key + "' in section Stowage";
            return false;
        }
        out.Set(canonical, value);
    }
    return true;
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
