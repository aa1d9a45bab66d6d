// Test helper: a scratch folder removed after the test, and conversions
// between the toolkit's text type and std::filesystem paths.
#pragma once

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform.h"

namespace fs = std::filesystem;

using VoString = std::basic_string<VOCHAR>;

inline VoString ToVo(const fs::path &p)
{
#ifdef _WIN32
    return p.wstring();
#else
    std::u16string u = p.u16string();
    return VoString(u.begin(), u.end());
#endif
}

inline VoString ToVo(const std::u16string &u)
{
    return VoString(u.begin(), u.end());
}

inline VoString ToVo(const char *ascii)
{
    VoString s;
    while (*ascii) s.push_back((VOCHAR)(unsigned char)*ascii++);
    return s;
}

inline std::string Narrow(const VOCHAR *text)
{
    std::string s;
    for (; text && *text; ++text) s.push_back(*text < 128 ? (char)*text : '?');
    return s;
}

class ScratchFolder {
public:
    ScratchFolder()
    {
        static std::atomic<int> counter{0};
        m_path = fs::temp_directory_path() /
                 ("voxkit-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  std::to_string(counter++) + "-" + std::to_string((uintptr_t)this % 100000));
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~ScratchFolder()
    {
        std::error_code ec;
        // Read-only files must become writable before they can go.
        for (auto &e : fs::recursive_directory_iterator(m_path, ec))
            fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add, ec);
#ifdef _WIN32
        for (auto &e : fs::recursive_directory_iterator(m_path, ec))
            SetFileAttributesW(e.path().wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
        fs::remove_all(m_path, ec);
    }
    const fs::path &Path() const { return m_path; }
    fs::path operator/(const std::string &name) const { return m_path / name; }

private:
    fs::path m_path;
};

// Archives the tests write also seed the fuzzer when VOX_FUZZ_SEEDS names
// a folder (scripts/fuzz sets it).
inline void SaveFuzzSeed(const fs::path &path, const std::vector<uint8_t> &bytes)
{
    static int counter = 0;
    const char *seeds = getenv("VOX_FUZZ_SEEDS");
    std::string extension = path.extension().string();
    if (!seeds || (extension != ".ach" && extension != ".exe") || bytes.size() > 1000000) return;
    std::ofstream out(fs::path(seeds) / ("seed-" + std::to_string(counter++)), std::ios::binary);
    out.write((const char *)bytes.data(), (std::streamsize)bytes.size());
}

inline void WriteBytes(const fs::path &path, const std::vector<uint8_t> &bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write((const char *)bytes.data(), (std::streamsize)bytes.size());
    SaveFuzzSeed(path, bytes);
}

inline std::vector<uint8_t> ReadBytes(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline std::vector<uint8_t> TextBytes(const std::string &text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}
