// voxpack create, add, delete and comment.
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "archive/archive.h"
#include "archive/names.h"
#include "commands.h"
#include "console_progress.h"
#include "inputs.h"
#include "parallel_deflate.h"
#include "files/files.h"

namespace {

struct AddOptions {
    uint32_t method = ARC_METHOD_DEFLATE;
    uint32_t level = 6;
    uint32_t flags = ARC_ADD_NOTOTAL | ARC_ADD_WINDOWSNAMES | ARC_ADD_STOREGROWN;
    unsigned threads = 1;
    VoText folder;
    bool hasComment = false;
    VoText comment;
    uint64_t latestTime = 0;  // SOURCE_DATE_EPOCH
    CExcludes excludes;
};

bool ReadAddOptions(const CommandLine &line, AddOptions &o)
{
    std::string method = line.Value("-m", "deflate");
    for (char &c : method) c = (char)tolower((unsigned char)c);
    if (method == "store") o.method = ARC_METHOD_STORE;
    else if (method != "deflate") {
        PrintError("-m takes 'store' or 'deflate', not '" + method + "'");
        return false;
    }
    if (!ReadLevel(line, &o.level) || !ReadThreads(line, &o.threads) || !ReadSourceDateEpoch(&o.latestTime))
        return false;
    if (line.Has("-r")) o.flags |= ARC_ADD_RECURSE;
    if (line.Has("--clear-readonly")) o.flags |= ARC_ADD_CLEARREADONLY;
    if (line.Has("--replace") || line.Has("--update")) o.flags |= ARC_ADD_REPLACE;
    // Files the archive holds as they are stay as they are: re-adding a tree
    // is no failure.
    if (line.command == "add") o.flags |= ARC_ADD_SKIPSAME;
    o.folder = ToText(line.Value("--folder"));
    for (VOCHAR &c : o.folder)
        if (c == '/') c = '\\';
    while (!o.folder.empty() && o.folder.back() == '\\') o.folder.pop_back();
    const char *problem = o.folder.empty() ? nullptr : ArcWindowsNameProblem(o.folder.c_str());
    if (problem) {
        PrintError("--folder " + line.Value("--folder") + ": " + problem);
        return false;
    }
    o.excludes.Read(line);
    o.hasComment = line.Has("-c");
    o.comment = ToText(line.Value("-c"));
    return true;
}

// The total size and number of the files to add, for the progress bar.
void PlanAdd(CArchive2 &archive, const std::vector<InputPath> &inputs, uint32_t flags, CConsoleProgress &progress)
{
    uint64_t plan[2] = {0, 0};
    auto count = [](void *context, const VOCHAR *, uint64_t size) {
        ((uint64_t *)context)[0] += size;
        ++((uint64_t *)context)[1];
    };
    for (const InputPath &in : inputs) archive.EnumerateAddEntry(in.path.c_str(), flags, count, plan);
    progress.SetPlan(plan[0], plan[1]);
}

// The paths to add: the names given (and those of list files), patterns
// expanded. A pattern that matches nothing is reported.
std::vector<InputPath> GatherInputs(const std::vector<std::string> &names, const AddOptions &o,
                                    CConsoleProgress &progress)
{
    std::vector<InputPath> inputs;
    for (std::string name : names) {
        if (IsPattern(name) && VO_PATH_SEPARATOR == '/')
            for (char &c : name)
                if (c == '\\') c = '/';
        if (!ExpandInput(name, o.folder, (o.flags & ARC_ADD_RECURSE) != 0, inputs))
            progress.ReportFailure(name + ": nothing matches");
    }
    return inputs;
}

// Adds one path; a failure is reported. Returns the add's result.
HRESULT AddOnePath(CArchive2 &archive, CConsoleProgress &progress, const InputPath &in, const AddOptions &o)
{
    int before = progress.Failures();
    HRESULT hr = archive.AddEntryToArchive(in.path.c_str(), o.method, o.level, o.flags,
                                           in.folder.empty() ? nullptr : in.folder.c_str());
    if (FAILED(hr) && (progress.Failures() == before || hr == VO_E_CANCEL)) progress.ReportResult(hr, in.arg);
    return hr;
}

// Adds every path; a path that fails is reported and the others still go in.
void AddPaths(CArchive2 &archive, CConsoleProgress &progress, const std::vector<InputPath> &inputs,
              const AddOptions &o)
{
    archive.SetProgress(nullptr);
    archive.SetLatestTime(o.latestTime);
    o.excludes.Attach(archive);
    // The workers start first, so that they deflate while the sizes are
    // summed.
    CParallelDeflate parallel(archive, o.threads, o.method);
    for (const InputPath &in : inputs) parallel.Plan(in.path, o.flags, o.level);
    parallel.Start();
    // The workers' plan has walked the inputs already (files only, as the
    // add takes them); without workers one walk sums them.
    if (parallel.Running()) progress.SetPlan(parallel.PlannedBytes(), parallel.PlannedFiles());
    else PlanAdd(archive, inputs, o.flags, progress);
    archive.SetProgress(&progress);
    for (const InputPath &in : inputs)
        if (AddOnePath(archive, progress, in, o) == VO_E_CANCEL) break;
    if (o.hasComment) archive.AddVolumeComment(o.comment.c_str());
}

// The names after the archive, lists read; false (after printing why) when
// a list cannot be read or no name is left.
bool ReadNames(const CommandLine &line, std::vector<std::string> &names)
{
    if (!ReadInputNames({line.positional.begin() + 1, line.positional.end()}, names)) return false;
    if (!names.empty()) return true;
    PrintError(line.command + ": the lists hold no names, so there is nothing to add");
    return false;
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
    std::vector<std::string> names;
    if (!ReadAddOptions(line, o) || !ReadNames(line, names)) return VOXPACK_USAGE;
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
    AddPaths(archive, progress, GatherInputs(names, o, progress), o);
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
    std::vector<std::string> names;
    if (!ReadAddOptions(line, o) || !ReadNames(line, names)) return VOXPACK_USAGE;
    const std::string &path = line.positional[0];
    CConsoleProgress progress(path, IsTerminal(), line.Has("-v"));
    progress.SetKeepHint("use --replace to replace it");
    if (line.Has("--replace") || line.Has("--update")) progress.SetOverwritePolicy(OverwritePolicy::Replace);
    CArchive2 archive;
    HRESULT hr = archive.Open(FullPath(path).c_str(), ARC_OPEN_APPEND, nullptr);
    if (FAILED(hr)) {
        PrintError(path + ": " + DescribeOpenResult(archive, hr));
        return VOXPACK_USAGE;
    }
    AddPaths(archive, progress, GatherInputs(names, o, progress), o);
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
