// voxpack create, add, delete and comment.
#include <cstdio>
#include <cstdlib>

#include "archive/archive.h"
#include "commands.h"
#include "console_progress.h"
#include "parallel_deflate.h"
#include "files/files.h"

namespace {

struct AddOptions {
    uint32_t method = ARC_METHOD_DEFLATE;
    uint32_t level = 6;
    uint32_t flags = ARC_ADD_NOTOTAL;
    unsigned threads = 1;
    VoText folder;
    bool hasComment = false;
    VoText comment;
};

bool ReadAddOptions(const CommandLine &line, AddOptions &o)
{
    std::string method = line.Value("-m", "deflate");
    if (method == "store") o.method = ARC_METHOD_STORE;
    else if (method != "deflate") {
        PrintError("-m takes 'store' or 'deflate', not '" + method + "'");
        return false;
    }
    if (!ReadLevel(line, &o.level) || !ReadThreads(line, &o.threads)) return false;
    if (line.Has("-r")) o.flags |= ARC_ADD_RECURSE;
    if (line.Has("--clear-readonly")) o.flags |= ARC_ADD_CLEARREADONLY;
    if (line.Has("--replace")) o.flags |= ARC_ADD_REPLACE;
    o.folder = ToText(line.Value("--folder"));
    for (VOCHAR &c : o.folder)
        if (c == '/') c = '\\';
    while (!o.folder.empty() && o.folder.back() == '\\') o.folder.pop_back();
    o.hasComment = line.Has("-c");
    o.comment = ToText(line.Value("-c"));
    return true;
}

// The paths to add, made absolute; the total size for the progress bar.
uint64_t PlanAdd(CArchive2 &archive, const std::vector<VoText> &paths, uint32_t flags)
{
    uint64_t total = 0;
    for (const VoText &p : paths) {
        uint64_t size = 0;
        if (archive.GetSizeAddEntry(p.c_str(), &size, flags) == S_OK) total += size;
    }
    return total;
}

// With an archive folder the engine takes single files only: a pattern is
// expanded here into the files it matches.
std::vector<VoText> ExpandForFolder(CArchive2 &archive, const VoText &path)
{
    std::vector<VoText> files;
    VOCHAR folder[VO_MAX_PATH];
    folder[0] = 0;
    VoGetPathNameFromFilePath(path.c_str(), folder, VO_MAX_PATH);
    ArcPattern pattern;
    archive.SetProgress(nullptr);
    HRESULT hr = archive.CheckForWildcards(VoGetFileNamePtrW(path.c_str()), &pattern);
    if (FAILED(hr) || pattern.kind == 0) return files;
    tVOFINDDATA data;
    HVOFIND find = VoFindFirst(folder, &data);
    for (bool more = find != nullptr; more; more = VoFindNext(find, &data)) {
        bool plain = !(data.attributes & (VO_ATTR_DIRECTORY | VO_ATTR_DEVICE | VO_ATTR_REPARSE));
        if (plain && CArchive2::MatchEntryName(&pattern, data.name)) files.push_back(VoText(folder) + data.name);
    }
    if (find) VoFindClose(find);
    return files;
}

bool IsExistingFolder(const VoText &path)
{
    uint32_t attributes = VoPathGetAttributes(path.c_str());
    return attributes != VO_INVALID_ATTRIBUTES && (attributes & VO_ATTR_DIRECTORY);
}

// Adds one path; returns false when it failed (the failure is reported).
bool AddOnePath(CArchive2 &archive, CConsoleProgress &progress, const VoText &path, const std::string &arg,
                const AddOptions &o)
{
    int before = progress.Failures();
    bool withFolder = !o.folder.empty();
    if (withFolder && IsExistingFolder(path)) {
        progress.ReportFailure(arg + ": --folder takes files and patterns, not folders");
        return false;
    }
    std::vector<VoText> files;
    if (withFolder && VoPathGetAttributes(path.c_str()) == VO_INVALID_ATTRIBUTES) {
        files = ExpandForFolder(archive, path);
        archive.SetProgress(&progress);
        if (files.empty()) {
            progress.ReportFailure(arg + ": nothing matches");
            return false;
        }
    } else {
        files.push_back(path);
    }
    for (const VoText &file : files) {
        HRESULT hr = archive.AddEntryToArchive(file.c_str(), o.method, o.level, o.flags,
                                               withFolder ? o.folder.c_str() : nullptr);
        if (hr == VO_E_CANCEL) {
            progress.ReportResult(hr, arg);
            return false;
        }
        if (hr == S_FALSE && progress.Failures() == before) progress.ReportFailure(arg + ": nothing matches");
        else if (FAILED(hr) && progress.Failures() == before) progress.ReportResult(hr, arg);
    }
    return progress.Failures() == before;
}

// Adds every path; a path that fails is reported and the others still go in.
void AddPaths(CArchive2 &archive, CConsoleProgress &progress, const std::vector<std::string> &args,
              const AddOptions &o)
{
    std::vector<VoText> paths;
    for (size_t i = 1; i < args.size(); ++i) paths.push_back(FullPath(args[i]));
    archive.SetProgress(nullptr);
    // The workers start first, so that they deflate while the sizes are
    // summed. With --folder the engine takes files only: folders are not
    // planned, and a pattern stands for the files it matches.
    CParallelDeflate parallel(archive, o.threads, o.method);
    for (const VoText &path : paths) {
        if (o.folder.empty()) parallel.Plan(path, o.flags, o.level);
        else if (!IsExistingFolder(path)) parallel.Plan(path, o.flags & ~ARC_ADD_RECURSE, o.level);
    }
    parallel.Start();
    // The plan's walk has summed the sizes already (files only, as here);
    // with --folder it leaves out what the add leaves out too.
    progress.SetPlan(parallel.Running() ? parallel.PlannedBytes() : PlanAdd(archive, paths, o.flags), 0);
    archive.SetProgress(&progress);
    for (size_t i = 0; i < paths.size(); ++i) AddOnePath(archive, progress, paths[i], args[i + 1], o);
    if (o.hasComment) archive.AddVolumeComment(o.comment.c_str());
}

// Tells what a failed rewrite left behind: the archive is as it was.
void ReportLeftover(CArchive2 &archive, const std::string &path)
{
    const VOCHAR *leftover = archive.GetLeftoverTemporaryFile();
    if (leftover && leftover[0])
        PrintError(path + ": the archive is unchanged; the unfinished new copy is " + ToUtf8(leftover) +
                   " (it can be deleted)");
}

}  // namespace

int CommandCreate(const CommandLine &line)
{
    if (line.positional.size() < 2) {
        PrintError("create needs an archive and at least one path (see 'voxpack create --help')");
        return VOXPACK_USAGE;
    }
    AddOptions o;
    if (!ReadAddOptions(line, o)) return VOXPACK_USAGE;
    const std::string &path = line.positional[0];
    VoText archivePath = FullPath(path);
    if (VoPathGetAttributes(archivePath.c_str()) != VO_INVALID_ATTRIBUTES && !line.Has("--force")) {
        PrintError(path + ": exists (use 'voxpack add' to add to it, or --force to replace it)");
        return VOXPACK_USAGE;
    }
    // The archive is built under a temporary name and takes its own name
    // only when it is complete.
    VoText partial = archivePath + ToText(".part");
    CConsoleProgress progress(path, IsTerminal(), line.Has("-v"));
    CArchive2 archive;
    HRESULT hr = archive.Open(partial.c_str(), ARC_OPEN_CREATE, nullptr);
    if (FAILED(hr)) {
        PrintError(path + ": " + DescribeOpenResult(archive, hr));
        return VOXPACK_USAGE;
    }
    archive.ExcludeFromAdd(archivePath.c_str());  // the archive this one replaces
    AddPaths(archive, progress, line.positional, o);
    hr = archive.Close();
    progress.Finish();
    // When nothing could be added, nothing is written: an empty archive
    // would only make the retry ask for --force.
    if (SUCCEEDED(hr) && progress.Failures() && archive.GetEndRecord().entryCount == 0) {
        VoPathDeleteFile(partial.c_str());
        PrintError(path + ": not written (nothing could be added)");
        return VOXPACK_SOME_FAILED;
    }
    if (FAILED(hr) || !VoPathRename(partial.c_str(), archivePath.c_str())) {
        VoPathDeleteFile(partial.c_str());
        // The cause was told already when the engine reported it.
        bool told = progress.Failures() > 0;
        PrintError(path + ": not written" + (FAILED(hr) && !told ? ": " + DescribeResult(hr) : std::string()));
        return VOXPACK_SOME_FAILED;
    }
    return progress.Failures() ? VOXPACK_SOME_FAILED : VOXPACK_OK;
}

int CommandAdd(const CommandLine &line)
{
    if (line.positional.size() < 2) {
        PrintError("add needs an archive and at least one path (see 'voxpack add --help')");
        return VOXPACK_USAGE;
    }
    AddOptions o;
    if (!ReadAddOptions(line, o)) return VOXPACK_USAGE;
    const std::string &path = line.positional[0];
    CConsoleProgress progress(path, IsTerminal(), line.Has("-v"));
    progress.SetKeepHint("use --replace to replace it");
    if (line.Has("--replace")) progress.SetOverwritePolicy(OverwritePolicy::Replace);
    CArchive2 archive;
    HRESULT hr = archive.Open(FullPath(path).c_str(), ARC_OPEN_APPEND, nullptr);
    if (FAILED(hr)) {
        PrintError(path + ": " + DescribeOpenResult(archive, hr));
        return VOXPACK_USAGE;
    }
    AddPaths(archive, progress, line.positional, o);
    hr = archive.Close();
    progress.Finish();
    if (FAILED(hr)) {
        ReportLeftover(archive, path);
        return VOXPACK_SOME_FAILED;
    }
    return progress.Failures() || progress.KeptByDefault() ? VOXPACK_SOME_FAILED : VOXPACK_OK;
}

int CommandDelete(const CommandLine &line)
{
    if (line.positional.size() < 2) {
        PrintError("delete needs an archive and at least one pattern (see 'voxpack delete --help')");
        return VOXPACK_USAGE;
    }
    const std::string &path = line.positional[0];
    CConsoleProgress progress(path, IsTerminal(), line.Has("-v"));
    CArchive2 archive;
    HRESULT hr = archive.Open(FullPath(path).c_str(), ARC_OPEN_DELETE, nullptr);
    if (FAILED(hr)) {
        PrintError(path + ": " + DescribeOpenResult(archive, hr));
        return VOXPACK_USAGE;
    }
    archive.SetProgress(&progress);
    bool unmatched = false;
    for (size_t i = 1; i < line.positional.size(); ++i) {
        int before = 0;
        for (int e = 0; e < archive.GetArchiveCount(); ++e) before += archive.GetEntryDeleteStatus(e);
        hr = archive.DeleteEntryFromArchive(ToText(line.positional[i]).c_str(), 0);
        int after = 0;
        for (int e = 0; e < archive.GetArchiveCount(); ++e) after += archive.GetEntryDeleteStatus(e);
        if (SUCCEEDED(hr) && after == before) {
            PrintError(path + ": no entry matches '" + line.positional[i] + "'");
            unmatched = true;
        }
    }
    hr = archive.Close();
    progress.Finish();
    if (FAILED(hr)) {
        ReportLeftover(archive, path);
        return VOXPACK_SOME_FAILED;
    }
    return unmatched || progress.Failures() ? VOXPACK_SOME_FAILED : VOXPACK_OK;
}

int CommandComment(const CommandLine &line)
{
    if (line.positional.size() != 2) {
        PrintError("comment needs an archive and one text (see 'voxpack comment --help')");
        return VOXPACK_USAGE;
    }
    const std::string &path = line.positional[0];
    CConsoleProgress progress(path, false, false);
    CArchive2 archive;
    VoText text = ToText(line.positional[1]);
    if (text.size() > ARC_MAX_COMMENT) {
        PrintError(path + ": the comment is longer than 1023 characters");
        return VOXPACK_USAGE;
    }
    HRESULT hr = archive.Annotate(FullPath(path).c_str(), text.c_str());
    if (FAILED(hr)) {
        PrintError(path + ": " + DescribeOpenResult(archive, hr));
        bool unopened = hr == VO_E_OPENFILE || hr == VO_E_BADSIGNATURE || hr == VO_E_BADDATA || hr == VO_E_SHARING;
        return unopened ? VOXPACK_USAGE : VOXPACK_SOME_FAILED;
    }
    return VOXPACK_OK;
}
