// The settings file of a package, voxinst.ini (section "Stowage"), as
// voxpack reads an author's file and writes the package's own.
#pragma once

#include <string>
#include <utility>
#include <vector>

// Keys in the order the stub reads and writes them.
extern const char *const kPackageKeys[11];

// The version information keys (section [VersionInfo] of an author's file,
// --version-info KEY=VALUE), in the order the version resource lists them.
extern const char *const kVersionInfoKeys[10];
// The key as kVersionInfoKeys spells it (any letter case matches), or null.
const char *CanonicalVersionInfoKey(const std::string &key);

struct PackageSettings {
    // key -> value (UTF-8); only keys that were set.
    std::vector<std::pair<std::string, std::string>> values;
    // The package's version information (not part of voxinst.ini): key ->
    // value, only keys that were set; and whether an author's file had the
    // section at all.
    std::vector<std::pair<std::string, std::string>> versionInfo;
    bool versionSection = false;

    bool Has(const std::string &key) const;
    std::string Get(const std::string &key, const std::string &fallback = "") const;
    void Set(const std::string &key, const std::string &value);
    void SetVersionInfo(const std::string &key, const std::string &value);
    std::string GetVersionInfo(const std::string &key) const;  // "" when not set
};

// What is wrong with a line of a settings file (line 0: the whole file).
struct SettingsProblem {
    int line;
    std::string text;
    bool warning;  // told, but the file is still used
};

// Reads sections "Stowage" and "VersionInfo" of an INI file in UTF-8 (with or without a byte
// order mark) or UTF-16 little-endian with its mark. Values lose blanks at
// both ends and one pair of enclosing double quotes, as Windows reads them.
// Every bad line is a problem: an unknown key, a line that is no setting,
// text in neither encoding; another section is a warning. Returns false
// when the file cannot be read or has a problem that is no warning.
bool ReadPackageSettings(const std::string &path, PackageSettings &out, std::vector<SettingsProblem> &problems);

// The file's bytes: UTF-16 little-endian with a byte order mark, which the
// Windows profile functions read for any Unicode text. Every value is
// written in double quotes so that blanks and quotes at its ends survive.
std::string EncodePackageSettings(const PackageSettings &settings);

// A value that an INI line cannot hold (a line break) or the key unknown.
bool IsStorableSetting(const std::string &key, const std::string &value, std::string &error);
