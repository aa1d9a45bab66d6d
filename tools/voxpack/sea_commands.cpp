// voxpack sea, unsea, split and merge.
#include <cctype>
#include <cstdlib>

#include "archive/archive.h"
#include "commands.h"
#include "console_progress.h"
#include "files/files.h"
#include "stub_check.h"

namespace {

// "300K", "650M", "4G" or plain bytes; 0 when the text is not a size.
int64_t ParseSize(const std::string &text)
{
    if (text.empty() || !isdigit((unsigned char)text[0])) return 0;
    char *end = nullptr;
    unsigned long long value = strtoull(text.c_str(), &end, 10);
    std::string suffix = end;
    int shift = 0;
    if (suffix == "K" || suffix == "k") shift = 10;
    else if (suffix == "M" || suffix == "m") shift = 20;
    else if (suffix == "G" || suffix == "g") shift = 30;
    else if (!suffix.empty()) return 0;
    if (value == 0 || value > (0x7FFFFFFFFFFFFFFFull >> shift)) return 0;
    return (int64_t)(value << shift);
}

// Runs one operation on an archive opened in `mode`, then closes it. Every
// failure is told once: by the engine through the progress object, or here
// from the result.
int RunOnArchive(const std::string &path, uint32_t mode, CConsoleProgress &progress,
                 HRESULT (*operation)(CArchive2 &, void *), void *context)
{
    CArchive2 archive;
    HRESULT hr = archive.Open(FullPath(path).c_str(), mode, nullptr);
    if (FAILED(hr)) {
        PrintError(path + ": " + DescribeOpenResult(archive, hr));
        return VOXPACK_USAGE;
    }
    archive.SetProgress(&progress);
    int before = progress.Failures();
    hr = operation(archive, context);
    if (FAILED(hr) && progress.Failures() == before) progress.ReportResult(hr, "");
    HRESULT closed = archive.Close();
    progress.Finish();
    if (FAILED(closed)) {
        if (progress.Failures() == before) progress.ReportResult(closed, "");
        const VOCHAR *leftover = archive.GetLeftoverTemporaryFile();
        if (leftover && leftover[0])
            PrintError(path + ": the archive is unchanged; the unfinished new copy is " + ToUtf8(leftover));
    }
    // Refused before anything was written: an output exists, or an
    // argument does not suit this archive.
    if (hr == VO_E_ALREADYEXISTS || hr == E_INVALIDARG) return VOXPACK_USAGE;
    return FAILED(hr) || FAILED(closed) || progress.Failures() ? VOXPACK_SOME_FAILED : VOXPACK_OK;
}

struct SeaContext {
    VoText output, stub;
};

// OUTPUT must be new (or --force), and neither of the inputs.
bool CheckSeaOutput(const CommandLine &line, const SeaContext &context)
{
    const std::string &output = line.positional[2];
    if (VoPathNamesEqual(context.output.c_str(), FullPath(line.positional[0]).c_str()) ||
        VoPathNamesEqual(context.output.c_str(), context.stub.c_str())) {
        PrintError(output + ": the output cannot be one of the inputs");
        return false;
    }
    if (VoPathGetAttributes(context.output.c_str()) != VO_INVALID_ATTRIBUTES && !line.Has("--force")) {
        PrintError(output + ": exists (use --force to replace it)");
        return false;
    }
    return true;
}

}  // namespace

int CommandSea(const CommandLine &line)
{
    if (line.positional.size() != 3) {
        PrintError("sea needs an archive, a stub program and an output file (see 'voxpack sea --help')");
        return VOXPACK_USAGE;
    }
    SeaContext context{FullPath(line.positional[2]), FullPath(line.positional[1])};
    if (VoPathGetAttributes(context.stub.c_str()) == VO_INVALID_ATTRIBUTES) {
        PrintError(line.positional[1] + ": no such file");
        return VOXPACK_USAGE;
    }
    std::string problem = StubProblem(context.stub);
    if (!problem.empty()) {
        PrintError(line.positional[1] + ": " + problem);
        return VOXPACK_USAGE;
    }
    if (!CheckSeaOutput(line, context)) return VOXPACK_USAGE;
    // Written as OUTPUT.part, which takes OUTPUT's name only when complete:
    // a failure or a kill never costs the previous OUTPUT, and only the file
    // this run made is deleted.
    VoText output = context.output;
    context.output = output + ToText(".part");
    CConsoleProgress progress(line.positional[0], IsTerminal(), line.Has("-v"));
    int code = RunOnArchive(line.positional[0], ARC_OPEN_SEA, progress, [](CArchive2 &a, void *c) {
        SeaContext *sea = (SeaContext *)c;
        return a.CreateSEA(sea->output.c_str(), sea->stub.c_str(), ARC_SEA_NAME_ONLY);
    }, &context);
    if (code == VOXPACK_OK && VoPathRename(context.output.c_str(), output.c_str())) return code;
    VoPathDeleteFile(context.output.c_str());
    PrintError(line.positional[2] + ": not written");
    return code == VOXPACK_OK ? VOXPACK_SOME_FAILED : code;
}

int CommandUnsea(const CommandLine &line)
{
    if (line.positional.size() != 2) {
        PrintError("unsea needs a self-extracting archive and a folder (see 'voxpack unsea --help')");
        return VOXPACK_USAGE;
    }
    VoText dest = FullPath(line.positional[1]);
    if (VoPathGetAttributes(dest.c_str()) == VO_INVALID_ATTRIBUTES && !VoCreateDirectory(dest.c_str(), nullptr)) {
        PrintError(line.positional[1] + ": cannot create the folder");
        return VOXPACK_USAGE;
    }
    CConsoleProgress progress(line.positional[0], IsTerminal(), line.Has("-v"));
    uint32_t flags = line.Has("--overwrite") ? ARC_OVERWRITE : 0;
    struct Context {
        VoText dest;
        uint32_t flags;
    } context{dest, flags};
    int code = RunOnArchive(line.positional[0], ARC_OPEN_SEA, progress, [](CArchive2 &a, void *c) {
        Context *u = (Context *)c;
        return a.SplitSEA(u->dest.c_str(), u->flags);
    }, &context);
    return code == VOXPACK_OK && progress.KeptByDefault() ? VOXPACK_SOME_FAILED : code;
}

namespace {

struct SplitContext {
    int64_t size;
    uint32_t flags;
    CConsoleProgress *progress;
    std::string sizeText;
};

// The volume size checked against the archive, then the split.
HRESULT SplitChecked(CArchive2 &archive, void *context)
{
    SplitContext *split = (SplitContext *)context;
    uint32_t files = 0;
    uint64_t minimum = 0;
    archive.PlanSplit(split->size, &files, &minimum);
    if ((uint64_t)split->size < minimum) {
        split->progress->ReportFailure("a volume size of " + split->sizeText + " is too small for this archive: " +
                                       std::to_string(minimum) + " bytes at least");
        return E_INVALIDARG;
    }
    if (files < 2 || archive.GetEndRecord().directoryOffset < (uint64_t)split->size) {
        split->progress->ReportFailure("its data is smaller than one volume of " + split->sizeText +
                                       ": nothing to split");
        return E_INVALIDARG;
    }
    return archive.SplitArchive(split->size, split->flags);
}

}  // namespace

int CommandSplit(const CommandLine &line)
{
    if (line.positional.size() != 2) {
        PrintError("split needs an archive and a volume size (see 'voxpack split --help')");
        return VOXPACK_USAGE;
    }
    int64_t size = ParseSize(line.positional[1]);
    if (size <= 0) {
        PrintError("'" + line.positional[1] + "' is not a volume size (bytes, or with K, M, G: 300K, 650M, 4G)");
        return VOXPACK_USAGE;
    }
    CConsoleProgress progress(line.positional[0], IsTerminal(), line.Has("-v"));
    SplitContext context{size, line.Has("--force") ? ARC_OVERWRITE : 0u, &progress, line.positional[1]};
    return RunOnArchive(line.positional[0], ARC_OPEN_VOLUMES, progress, SplitChecked, &context);
}

int CommandMerge(const CommandLine &line)
{
    if (line.positional.size() != 1) {
        PrintError("merge needs the main file of a split archive (see 'voxpack merge --help')");
        return VOXPACK_USAGE;
    }
    CConsoleProgress progress(line.positional[0], IsTerminal(), line.Has("-v"));
    return RunOnArchive(line.positional[0], ARC_OPEN_VOLUMES, progress,
                        [](CArchive2 &a, void *) { return a.MergeArchive(0); }, nullptr);
}
