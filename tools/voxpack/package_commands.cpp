// voxpack package: a folder, its settings and the stub joined into one
// installer executable.
#include <cstdlib>
#include <cstring>

#include "archive/archive.h"
#include "commands.h"
#include "console_progress.h"
#include "files/files.h"
#include "inputs.h"
#include "package_settings.h"
#include "parallel_deflate.h"
#include "peres.h"
#include "stub_check.h"
#include "png/png.h"

namespace {

const char kControlArchive[] = "voxctrl.ach";
const char kSettingsFile[] = "voxinst.ini";
const char kDefaultTarget[] = "$(ProgramFiles)\\$(AppName)";

struct PackageJob {
    VoText source;     // the folder whose contents are installed
    VoText output;     // OUTPUT.exe
    VoText stub;       // voxstub.exe
    VoText banner;     // an image of the author's, or empty
    VoText work;       // a folder beside the output for intermediate files
    uint32_t level = 6;
    unsigned threads = 1;
    uint64_t latestTime = 0;  // SOURCE_DATE_EPOCH
    CExcludes excludes;       // -x, --exclude-vcs: for the payload
    PackageSettings settings;
    // The stub with the package's icon and version information, when the
    // author gave any (written into the work folder and used as the stub).
    bool identity = false;
    std::string identityStub;
};

VoText Join(const VoText &folder, const std::string &name) { return folder + VO_PATH_SEPARATOR + ToText(name); }

std::string BaseName(const std::string &path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The stubs voxpack can join a package to: the 32-bit one (the default, it
// runs on every Windows) and the x86_64 one.
struct StubKind {
    const char *arch;      // the --arch value
    uint16_t machine;      // the PE header's machine field
    const char *variable;  // the environment variable naming it
    const char *file;      // its file name beside voxpack and in share/voxkit
};
const StubKind kStubKinds[] = {
    {"x86", 0x14C, "VOXKIT_STUB", "voxstub.exe"},
    {"x64", 0x8664, "VOXKIT_STUB64", "voxstub64.exe"},
};

bool ChooseStubKind(const CommandLine &line, const StubKind **kind)
{
    std::string arch = line.Value("--arch", "x86");
    for (const StubKind &k : kStubKinds)
        if (arch == k.arch) {
            *kind = &k;
            return true;
        }
    PrintError("--arch takes x86 or x64, not '" + arch + "'");
    return false;
}

// A stub named by the author: it must exist, and with --arch be of that
// architecture.
bool CheckGivenStub(const CommandLine &line, const StubKind &kind, const std::string &given, const VoText &stub)
{
    if (VoPathGetAttributes(stub.c_str()) == VO_INVALID_ATTRIBUTES) {
        PrintError(given + ": no such stub program");
        return false;
    }
    std::string problem = StubProblem(stub);
    if (!problem.empty()) {
        PrintError(given + ": " + problem);
        return false;
    }
    if (!line.Has("--arch")) return true;
    uint16_t machine = 0, characteristics = 0;
    if (VoGetFileExecutableInfo(stub.c_str(), &machine, &characteristics) == S_OK && machine == kind.machine)
        return true;
    PrintError(given + ": not a Windows program for --arch " + kind.arch);
    return false;
}

// The stub: --stub, the kind's environment variable, beside voxpack, or the
// install prefix's share/voxkit.
bool FindStub(const CommandLine &line, VoText &stub)
{
    const StubKind *kind = nullptr;
    if (!ChooseStubKind(line, &kind)) return false;
    std::string given = line.Value("--stub");
    if (given.empty() && getenv(kind->variable)) given = getenv(kind->variable);
    if (!given.empty()) {
        stub = FullPath(given);
        return CheckGivenStub(line, *kind, given, stub);
    }
    VOCHAR folder[VO_MAX_PATH];
    if (VoGetModulePath(nullptr, folder, VO_MAX_PATH) > 0) {
        for (const std::string &candidate : {std::string(kind->file), "../share/voxkit/" + std::string(kind->file)}) {
            stub = VoText(folder) + ToText(candidate);
            if (VoPathGetAttributes(stub.c_str()) != VO_INVALID_ATTRIBUTES) return true;
        }
    }
    PrintError(std::string(kind->file) + " not found beside voxpack or in ../share/voxkit; give --stub PATH");
    return false;
}

bool IsFileIn(const VoText &folder, const std::string &name)
{
    uint32_t attributes = VoPathGetAttributes(Join(folder, name).c_str());
    return attributes != VO_INVALID_ATTRIBUTES && !(attributes & VO_ATTR_DIRECTORY);
}

// The installer to start: --setup-app, or setup.exe / msisetup.exe when the
// folder has one.
bool ChooseSetupApp(const CommandLine &line, PackageJob &job)
{
    if (line.Has("--setup-app")) {
        std::string app = line.Value("--setup-app");
        if (!app.empty() && !IsFileIn(job.source, app))
            PrintError("warning: " + app + " is not in " + ToUtf8(job.source.c_str()) + "; the installer will not start");
        job.settings.Set("SetupApp", app);
        return true;
    }
    if (job.settings.Has("SetupApp")) return true;
    for (const char *name : {"setup.exe", "msisetup.exe"})
        if (IsFileIn(job.source, name)) {
            job.settings.Set("SetupApp", name);
            return true;
        }
    PrintError("no setup.exe or msisetup.exe in the folder; name the installer with --setup-app NAME");
    return false;
}

bool CheckNumber(const std::string &key, const std::string &value, long low, long high)
{
    char *end = nullptr;
    long n = strtol(value.c_str(), &end, 10);
    if (!value.empty() && *end == 0 && n >= low && n <= high) return true;
    PrintError(key + " takes a number from " + std::to_string(low) + " to " + std::to_string(high) + ", not '" +
               value + "'");
    return false;
}

bool CheckColor(const std::string &value)
{
    int r, g, b;
    char extra;
    if (sscanf(value.c_str(), "%d,%d,%d%c", &r, &g, &b, &extra) == 3 && r >= 0 && r < 256 && g >= 0 && g < 256 &&
        b >= 0 && b < 256)
        return true;
    PrintError("--title-color takes R,G,B with each from 0 to 255, not '" + value + "'");
    return false;
}

// The options over the author's voxinst.ini over voxpack's defaults.
bool ReadSettings(const CommandLine &line, PackageJob &job)
{
    if (line.Has("--ini")) {
        std::string ini = line.Value("--ini");
        std::vector<SettingsProblem> problems;
        bool read = ReadPackageSettings(ini, job.settings, problems);
        for (const SettingsProblem &p : problems)
            PrintError((p.warning ? "warning: " : "") + ini + (p.line ? ":" + std::to_string(p.line) : "") + ": " + p.text);
        if (!read) return false;
    }
    static const std::pair<const char *, const char *> kOptionKeys[] = {
        {"--name", "Name"},           {"--title", "Title"},       {"--default-target", "DefaultTarget"},
        {"--setup-params", "SetupAppParams"}, {"--lcid", "LCID"}, {"--extract-to-temp", "ExtractToTemp"},
        {"--show-overwrite", "ShowOverwrite"}, {"--title-font", "TitleFont"}, {"--title-color", "TitleFontColor"},
    };
    for (const auto &option : kOptionKeys)
        if (line.Has(option.first)) job.settings.Set(option.second, line.Value(option.first));
    std::string folderName = BaseName(ToUtf8(job.source.c_str()));
    if (!job.settings.Has("Name")) job.settings.Set("Name", folderName);
    if (!job.settings.Has("Title")) job.settings.Set("Title", job.settings.Get("Name"));
    if (!job.settings.Has("DefaultTarget")) {
        job.settings.Set("DefaultTarget", kDefaultTarget);
        if (IsTerminal()) fprintf(stderr, "voxpack: DefaultTarget not given; using %s\n", kDefaultTarget);
    }
    if (!job.settings.Has("LCID")) job.settings.Set("LCID", "0");
    if (!ChooseSetupApp(line, job)) return false;
    for (const auto &value : job.settings.values) {
        std::string error;
        if (!IsStorableSetting(value.first, value.second, error)) {
            PrintError(error);
            return false;
        }
    }
    return CheckNumber("LCID", job.settings.Get("LCID"), 0, 0xFFFF) &&
           CheckNumber("ExtractToTemp", job.settings.Get("ExtractToTemp", "1"), 0, 1) &&
           CheckNumber("ShowOverwrite", job.settings.Get("ShowOverwrite", "1"), 0, 1) &&
           (!job.settings.Has("TitleFontColor") || CheckColor(job.settings.Get("TitleFontColor")));
}

// The banner must be a PNG the stub can show; it is decoded here once.
bool CheckBanner(const CommandLine &line, PackageJob &job)
{
    if (!line.Has("--banner")) return true;
    std::string path = line.Value("--banner");
    job.banner = FullPath(path);
    BITMAPINFOHEADER *dib = nullptr;
    HRESULT hr = VoLoadPngDib(nullptr, job.banner.c_str(), VO_PNG_FROM_FILE, &dib);
    VoDibFree(dib);
    if (FAILED(hr)) {
        PrintError(path + ": not a PNG image the stub can show (" + DescribeResult(hr) + ")");
        return false;
    }
    std::string name = BaseName(path);
    if (name == kSettingsFile || name == kControlArchive) name = "banner.png";
    job.settings.Set("Banner", name);
    return true;
}

bool WriteFileBytes(const VoText &path, const std::string &bytes);

bool ReadFileBytes(const VoText &path, std::string &bytes)
{
    HVOFILE file = VoFileOpen(path.c_str(), VO_ACCESS_READ, VO_SHARE_READ, VO_OPEN_EXISTING);
    if (!file) return false;
    int64_t size = VoFileGetSize(file);
    bool ok = size >= 0 && size < (int64_t)1 << 30;
    if (ok) {
        bytes.assign((size_t)size, '\0');
        uint32_t done = 0;
        ok = size == 0 || (VoFileRead(file, &bytes[0], (uint32_t)size, &done) && done == (uint32_t)size);
    }
    VoFileClose(file);
    return ok;
}

// The text versions give the numeric ones; a text that is not a.b.c.d is
// refused rather than guessed at.
bool ReadNumericVersion(const PackageSettings &settings, const char *key, uint16_t out[4])
{
    std::string text = settings.GetVersionInfo(key);
    if (text.empty() || peres::ParseVersionNumber(text, out)) return true;
    PrintError(std::string(key) + " '" + text +
               "' is not a version of the form a.b.c.d (up to four numbers from 0 to 65535), which the file's "
               "numeric version must follow");
    return false;
}

// The version information: --version-info over the --ini file's section
// [VersionInfo] over the defaults (FileDescription: the Title, ProductName:
// the Name, OriginalFilename: the output's name; each of FileVersion and
// ProductVersion the other). An empty value leaves the key out.
bool CollectVersionInfo(const CommandLine &line, PackageJob &job, peres::VersionInfo &info)
{
    PackageSettings &settings = job.settings;
    for (const auto &option : line.options) {
        if (option.first != "--version-info") continue;
        size_t equals = option.second.find('=');
        const char *key = equals == std::string::npos ? nullptr : CanonicalVersionInfoKey(option.second.substr(0, equals));
        if (!key) {
            std::string known;
            for (const char *k : kVersionInfoKeys) known += std::string(known.empty() ? "" : ", ") + k;
            PrintError("--version-info takes KEY=VALUE with KEY one of " + known + "; not '" + option.second + "'");
            return false;
        }
        settings.SetVersionInfo(key, option.second.substr(equals + 1));
    }
    PackageSettings defaults;
    defaults.SetVersionInfo("FileDescription", settings.Get("Title"));
    defaults.SetVersionInfo("ProductName", settings.Get("Name"));
    defaults.SetVersionInfo("OriginalFilename", BaseName(ToUtf8(job.output.c_str())));
    for (const auto &v : settings.versionInfo) defaults.SetVersionInfo(v.first, v.second);
    auto value = [&](const char *key) { return defaults.GetVersionInfo(key); };
    if (value("FileVersion").empty()) defaults.SetVersionInfo("FileVersion", value("ProductVersion"));
    if (value("ProductVersion").empty()) defaults.SetVersionInfo("ProductVersion", value("FileVersion"));
    for (const char *key : kVersionInfoKeys)
        if (!value(key).empty()) info.strings.emplace_back(key, value(key));
    return ReadNumericVersion(defaults, "FileVersion", info.fileVersion) &&
           ReadNumericVersion(defaults, "ProductVersion", info.productVersion);
}

// --icon and the version information: the stub's copy for this package,
// made here in memory so that a bad icon, value or stub stops the run
// before anything is written. Nothing given: the stub goes in as it is.
bool PrepareIdentity(const CommandLine &line, PackageJob &job)
{
    bool versionGiven = job.settings.versionSection || !job.settings.versionInfo.empty() || line.Has("--version-info");
    if (!line.Has("--icon") && !versionGiven) return true;
    peres::Identity identity;
    identity.setVersion = true;
    if (!CollectVersionInfo(line, job, identity.version)) return false;
    std::string bytes, error;
    if (line.Has("--icon")) {
        std::string path = line.Value("--icon");
        if (!ReadFileBytes(FullPath(path), bytes)) {
            PrintError(path + ": cannot be read");
            return false;
        }
        if (!peres::ParseIcoFile(bytes, identity.icon, error)) {
            PrintError(path + ": " + error);
            return false;
        }
    }
    std::string stubName = ToUtf8(job.stub.c_str());
    if (!ReadFileBytes(job.stub, bytes)) {
        PrintError(stubName + ": cannot be read");
        return false;
    }
    if (!peres::SetPackageIdentity(bytes, identity, job.identityStub, error)) {
        // The version resource's own limits are the author's values, not the stub.
        if (error.compare(0, 24, "the version information ") == 0)
            PrintError(error);
        else
            PrintError(stubName + ": its resources cannot take the package's icon and version information (" + error +
                       ")");
        return false;
    }
    job.identity = true;
    return true;
}

// The stub of this package, when it has an identity of its own.
bool WriteIdentityStub(PackageJob &job)
{
    if (!job.identity) return true;
    VoText path = Join(job.work, "voxstub.exe");
    if (!WriteFileBytes(path, job.identityStub)) {
        PrintError(ToUtf8(path.c_str()) + ": cannot be written");
        return false;
    }
    job.stub = path;
    return true;
}

bool WriteFileBytes(const VoText &path, const std::string &bytes)
{
    HVOFILE file = VoFileOpen(path.c_str(), VO_ACCESS_WRITE, 0, VO_CREATE_ALWAYS);
    if (!file) return false;
    bool ok = VoFileWrite(file, bytes.data(), (uint32_t)bytes.size());
    VoFileClose(file);
    return ok;
}

// Adds paths to a new archive at target; reports failures through progress.
bool BuildArchive(const VoText &target, const std::vector<VoText> &paths, const PackageJob &job,
                  CConsoleProgress &progress, const CExcludes *excludes = nullptr)
{
    const uint32_t flags = ARC_ADD_NOTOTAL | ARC_ADD_RECURSE | ARC_ADD_WINDOWSNAMES | ARC_ADD_STOREGROWN;
    CArchive2 archive;
    HRESULT hr = archive.Open(target.c_str(), ARC_OPEN_CREATE, nullptr);
    if (FAILED(hr)) {
        progress.ReportResult(hr, ToUtf8(target.c_str()));
        return false;
    }
    // The outputs of this run stay out: a source folder may hold them.
    for (const VoText &own : {job.work, job.output, job.output + VOTEXT(".part")}) archive.ExcludeFromAdd(own.c_str());
    archive.SetLatestTime(job.latestTime);
    if (excludes) excludes->Attach(archive);
    CParallelDeflate parallel(archive, job.threads, ARC_METHOD_DEFLATE);
    for (const VoText &path : paths) parallel.Plan(path, flags, job.level);
    parallel.Start();
    archive.SetProgress(&progress);
    int before = progress.Failures();
    for (const VoText &path : paths) {
        hr = archive.AddEntryToArchive(path.c_str(), ARC_METHOD_DEFLATE, job.level, flags, nullptr);
        if (FAILED(hr) && progress.Failures() == before) progress.ReportResult(hr, ToUtf8(path.c_str()));
        if (FAILED(hr)) break;
    }
    HRESULT closed = archive.Close();
    if (FAILED(closed) && progress.Failures() == before) progress.ReportResult(closed, ToUtf8(target.c_str()));
    return progress.Failures() == before && SUCCEEDED(hr) && SUCCEEDED(closed);
}

// voxctrl.ach: the settings file and the banner.
bool BuildControlArchive(PackageJob &job, CConsoleProgress &progress)
{
    VoText control = Join(job.work, kControlArchive);
    VoText ini = Join(job.work, kSettingsFile);
    if (!WriteFileBytes(ini, EncodePackageSettings(job.settings))) {
        PrintError(ToUtf8(ini.c_str()) + ": cannot be written");
        return false;
    }
    std::vector<VoText> paths = {ini};
    if (!job.banner.empty()) {
        VoText copy = Join(job.work, job.settings.Get("Banner"));
        if (!VoPathCopyFile(job.banner.c_str(), copy.c_str(), false)) {
            PrintError(ToUtf8(job.banner.c_str()) + ": cannot be copied");
            return false;
        }
        paths.push_back(copy);
    }
    return BuildArchive(control, paths, job, progress);
}

// The payload: every entry of the source folder at the archive's root, and
// the control archive beside them.
bool BuildPayload(PackageJob &job, CConsoleProgress &progress, uint64_t *bytes)
{
    std::vector<VoText> paths;
    tVOFINDDATA data;
    HVOFIND find = VoFindFirst(job.source.c_str(), &data);
    for (bool more = find != nullptr; more; more = VoFindNext(find, &data)) {
        if (VoStrCmpI(data.name, ToText(kControlArchive).c_str()) == 0) {
            PrintError(std::string(kControlArchive) + " is a name of the package's own; rename that file");
            VoFindClose(find);
            return false;
        }
        paths.push_back(Join(job.source, ToUtf8(data.name)));
    }
    if (find) VoFindClose(find);
    *bytes = 0;
    CArchive2 sizing;
    job.excludes.Attach(sizing);
    for (const VoText &path : paths) {
        uint64_t size = 0;
        if (sizing.GetSizeAddEntry(path.c_str(), &size, ARC_ADD_RECURSE) == S_OK) *bytes += size;
    }
    progress.SetPlan(*bytes, 0);
    paths.push_back(Join(job.work, kControlArchive));
    job.excludes.Keep(paths.back());
    return BuildArchive(Join(job.work, "payload.ach"), paths, job, progress, &job.excludes);
}

// The stub and the payload joined under OUTPUT.part, renamed when complete.
bool JoinWithStub(PackageJob &job, CConsoleProgress &progress)
{
    VoText partial = job.output + VOTEXT(".part");
    CArchive2 payload;
    HRESULT hr = payload.Open(Join(job.work, "payload.ach").c_str(), ARC_OPEN_SEA, nullptr);
    if (SUCCEEDED(hr)) {
        payload.SetProgress(&progress);
        // The base name is payload.ach alone: no folder of this machine goes
        // into the package.
        hr = payload.CreateSEA(partial.c_str(), job.stub.c_str(), ARC_SEA_NAME_ONLY);
        HRESULT closed = payload.Close();
        if (SUCCEEDED(hr)) hr = closed;
    }
    if (SUCCEEDED(hr) && VoPathRename(partial.c_str(), job.output.c_str())) return true;
    VoPathDeleteFile(partial.c_str());
    progress.ReportResult(FAILED(hr) ? hr : E_FAIL, ToUtf8(job.output.c_str()));
    return false;
}

// A folder of this run's own beside the output, OUTPUT.workN.part: created
// anew (never one that exists, which may be someone else's), and removed
// at the end. One left by a killed run has the .part name of a leftover.
bool CreateWorkFolder(PackageJob &job)
{
    for (int n = 1; n <= 100; ++n) {
        job.work = job.output + ToText(".work" + std::to_string(n) + ".part");
        if (VoPathCreateFolder(job.work.c_str())) return true;
        if (VoPathGetAttributes(job.work.c_str()) == VO_INVALID_ATTRIBUTES) break;
    }
    PrintError(ToUtf8(job.work.c_str()) + ": cannot create the work folder");
    return false;
}

bool PrepareJob(const CommandLine &line, PackageJob &job)
{
    if (line.positional.size() != 1 || !line.Has("-o")) {
        PrintError("package needs a source folder and -o OUTPUT.exe (see 'voxpack package --help')");
        return false;
    }
    job.source = FullPath(line.positional[0]);
    while (job.source.size() > 1 && (job.source.back() == '/' || job.source.back() == '\\')) job.source.pop_back();
    if (!VoPathIsFolder(job.source.c_str())) {
        PrintError(line.positional[0] + ": not a folder");
        return false;
    }
    job.excludes.Read(line);
    job.output = FullPath(line.Value("-o"));
    if (VoPathGetAttributes(job.output.c_str()) != VO_INVALID_ATTRIBUTES && !line.Has("--force")) {
        PrintError(line.Value("-o") + ": exists (use --force to replace it)");
        return false;
    }
    return ReadLevel(line, &job.level) && ReadThreads(line, &job.threads) && ReadSourceDateEpoch(&job.latestTime) &&
           FindStub(line, job.stub) && ReadSettings(line, job) && CheckBanner(line, job) && PrepareIdentity(line, job);
}

}  // namespace

int CommandPackage(const CommandLine &line)
{
    PackageJob job;
    if (!PrepareJob(line, job)) return VOXPACK_USAGE;
    if (!CreateWorkFolder(job)) return VOXPACK_USAGE;
    CConsoleProgress progress(line.Value("-o"), IsTerminal(), line.Has("-v"));
    uint64_t bytes = 0;
    bool ok = WriteIdentityStub(job) && BuildControlArchive(job, progress) && BuildPayload(job, progress, &bytes) && JoinWithStub(job, progress);
    progress.Finish();
    VoDeleteDirectoryTree(job.work.c_str(), 1);
    if (!ok) {
        PrintError(line.Value("-o") + ": not written");
        return VOXPACK_SOME_FAILED;
    }
    if (!IsQuiet())
        printf("voxpack: wrote %s (installer %s, destination %s)\n", line.Value("-o").c_str(),
               job.settings.Get("SetupApp").c_str(), job.settings.Get("DefaultTarget").c_str());
    return VOXPACK_OK;
}
