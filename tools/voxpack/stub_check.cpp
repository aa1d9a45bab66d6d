// Whether a file can serve as a stub.
#include "stub_check.h"

#include <cstring>
#include <vector>

#include "archive/archive.h"
#include "files/files.h"

namespace {

// A function only the kit's stub exports; its name stands in the export
// table of every build of it.
const char kStubMark[] = "Vox_VoDeleteDirectoryTree";

bool HoldsStubMark(const VoText &path)
{
    HVOFILE file = VoFileOpen(path.c_str(), VO_ACCESS_READ, VO_SHARE_READ, VO_OPEN_EXISTING);
    if (!file) return false;
    const size_t mark = sizeof kStubMark - 1, chunk = 1 << 16;
    std::vector<char> buffer(chunk + mark);
    size_t kept = 0;
    bool found = false;
    uint32_t got = 0;
    while (!found && VoFileRead(file, buffer.data() + kept, (uint32_t)chunk, &got) && got > 0) {
        size_t filled = kept + got;
        for (size_t i = 0; !found && i + mark <= filled; ++i) found = memcmp(&buffer[i], kStubMark, mark) == 0;
        // The last bytes may begin the mark: they open the next round.
        kept = filled < mark - 1 ? filled : mark - 1;
        memmove(buffer.data(), buffer.data() + filled - kept, kept);
    }
    VoFileClose(file);
    return found;
}

}  // namespace

std::string StubProblem(const VoText &path)
{
    uint16_t machine = 0, characteristics = 0;
    if (VoGetFileExecutableInfo(path.c_str(), &machine, &characteristics) != S_OK)
        return "not a Windows program, so not a stub";
    if (machine != 0x14C && machine != 0x8664) return "a Windows program for neither x86 nor x64, so not a stub";
    if (characteristics & 0x2000) return "a library, not a stub";
    CArchive2 archive;
    if (SUCCEEDED(archive.Open(path.c_str(), ARC_OPEN_READ, nullptr))) {
        archive.Close();
        return "holds an archive already (a package, not a bare stub; 'voxpack unsea' gives its stub)";
    }
    if (!HoldsStubMark(path)) return "a Windows program, but not a voxkit stub (voxstub.exe)";
    return "";
}
