// voxpack: builds, inspects and unpacks voxkit archives and packages.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "kernel/kernel.h"

namespace {

// --log files move to FILE.previous at this size.
const int32_t kLogLimit = 1 << 20;

struct Command {
    const char *name;
    int (*run)(const CommandLine &);
    std::vector<std::string> valued;  // options that take a value
    std::vector<std::string> flags;
    const char *summary;
    const char *help;
};

const std::vector<Command> &Commands()
{
    static const std::vector<Command> commands = {
        {"create", CommandCreate, {"-m", "-l", "-j", "--folder", "-c", "-x"},
         {"-r", "--clear-readonly", "--force", "-v", "--exclude-vcs"},
         "make a new archive from files, folders and patterns",
         "usage: voxpack create ARCHIVE [-m store|deflate] [-l 0-9] [-j N] [-r] [--folder NAME]\n"
         "                      [-x PATTERN]... [--exclude-vcs] [--clear-readonly] [-c COMMENT]\n"
         "                      [--force] PATH...\n"
         "\n"
         "Makes ARCHIVE from each PATH: a file, a folder (stored with its own name\n"
         "and everything below it), or a pattern such as src/*.txt or 'src/*/?.txt'\n"
         "('*' any run of characters, '?' one, in any part; letter case is ignored,\n"
         "and '\\' separates as '/' does). Matching files go in by name, under the\n"
         "folders between the pattern's fixed start and them. @LISTFILE stands for\n"
         "the paths in LISTFILE, '-' for those on standard input (one a line).\n"
         "The archive is written under ARCHIVE.part and takes its name only when\n"
         "complete; a PATH that fails or a pattern that matches nothing is reported\n"
         "(exit 1) and the others still go in; when nothing went in, nothing is\n"
         "written. Names Windows cannot hold (CON, a:b, 'x.', two names that differ\n"
         "only in letter case, ...) are refused, one line each.\n"
         "With SOURCE_DATE_EPOCH set, folders carry that time and later file times\n"
         "are cut to it, so that the same files make the same archive anywhere.\n"
         "\n"
         "  -m store|deflate   compression (default deflate)\n"
         "  -l 0-9             deflate level (default 6)\n"
         "  -j N               deflate on N threads (default: the number of cores); the\n"
         "                     archive is the same for every N. Deflated data waiting\n"
         "                     to be written is held to 64 MiB (72 MiB with the file\n"
         "                     being written), plus under 1 MiB per thread\n"
         "  -r                 a pattern also takes matching folders, whole\n"
         "  --folder NAME      put files and folders under this folder of the archive\n"
         "  -x PATTERN         leave out files and folders matching PATTERN (repeatable):\n"
         "                     without a '/' it is matched against each name ('*.bak',\n"
         "                     '.*' for hidden files), with one against the path's end\n"
         "                     ('docs/*.tmp')\n"
         "  --exclude-vcs      leave out .git, .svn, .hg, .bzr, CVS and their files\n"
         "  --clear-readonly   store files without their read-only attribute\n"
         "  -c COMMENT         the archive's comment\n"
         "  --force            replace an existing ARCHIVE\n"},
        {"add", CommandAdd, {"-m", "-l", "-j", "--folder", "-c", "-x"},
         {"-r", "--clear-readonly", "--replace", "--update", "-v", "--exclude-vcs"},
         "add files, folders and patterns to an archive",
         "usage: voxpack add ARCHIVE [create's options] [--replace | --update] PATH...\n"
         "\n"
         "Adds each PATH to ARCHIVE. The archive is rewritten beside itself as\n"
         "~NAME and replaced only when everything succeeded; after a failure it is\n"
         "unchanged. A file the archive holds already with the same size and time\n"
         "(and a folder it holds) stays as it is. Another entry of the same name is\n"
         "asked about on a terminal and kept elsewhere (exit 1), unless:\n"
         "\n"
         "  --replace   replace every entry of the same name\n"
         "  --update    replace those whose file differs (size or time), keep the rest\n"},
        {"delete", CommandDelete, {}, {"-v"}, "delete entries matching patterns",
         "usage: voxpack delete ARCHIVE PATTERN...\n"
         "\n"
         "Deletes the entries matching each PATTERN (NAME, *END, BEGIN*, *.*).\n"
         "The archive is rewritten beside itself and replaced only on success.\n"},
        {"comment", CommandComment, {}, {}, "set the archive's comment",
         "usage: voxpack comment ARCHIVE TEXT\n"
         "\n"
         "Replaces the comment of ARCHIVE (at most 1023 characters; \"\" clears it).\n"},
        {"sea", CommandSea, {}, {"--force", "-v"}, "join a stub program and an archive into one executable",
         "usage: voxpack sea ARCHIVE STUB OUTPUT [--force]\n"
         "\n"
         "Writes OUTPUT: the program STUB followed by ARCHIVE, a self-extracting\n"
         "archive. It is written as OUTPUT.part and renamed when complete, so a\n"
         "failure leaves an existing OUTPUT as it was; an existing OUTPUT is\n"
         "replaced only with --force, and OUTPUT may not be ARCHIVE or STUB.\n"},
        {"unsea", CommandUnsea, {}, {"--overwrite", "-v"}, "split a self-extracting archive into stub and archive",
         "usage: voxpack unsea SEA DESTFOLDER [--overwrite]\n"
         "\n"
         "Writes the stub of SEA as Seastub.exe and the archive under the name it\n"
         "was made from into DESTFOLDER (created when missing). Existing files are\n"
         "asked about on a terminal and kept elsewhere, unless --overwrite.\n"},
        {"split", CommandSplit, {}, {"--force", "-v"}, "split an archive into volumes",
         "usage: voxpack split ARCHIVE VOLUME_SIZE [--force]\n"
         "\n"
         "Splits ARCHIVE into volumes of at most VOLUME_SIZE bytes (or with K, M, G:\n"
         "300K, 650M, 4G): ARCHIVE keeps the first part and the directory, NAME2.ext,\n"
         "NAME3.ext, ... beside it the rest. ARCHIVE is replaced only on success;\n"
         "until then the volumes are written as NAME2.ext.part, ... An existing\n"
         "file of a volume's name is replaced only with --force. A split makes\n"
         "9,999 files at most: a size too small for that is refused with the least\n"
         "size this archive allows.\n"},
        {"merge", CommandMerge, {}, {"-v"}, "merge a split archive back into one file",
         "usage: voxpack merge ARCHIVE\n"
         "\n"
         "Joins the volumes of ARCHIVE (its main file) back into ARCHIVE.\n"},
        {"package", CommandPackage,
         {"-o", "--ini", "--name", "--title", "--default-target", "--setup-app", "--setup-params", "--lcid",
          "--extract-to-temp", "--show-overwrite", "--banner", "--title-font", "--title-color", "-l", "-j", "--stub",
          "--arch", "-x", "--icon", "--version-info"},
         {"--force", "-v", "--exclude-vcs"},
         "build an installer package: a folder, its settings and the stub",
         "usage: voxpack package SOURCE_DIR -o OUTPUT.exe [options]\n"
         "\n"
         "Builds OUTPUT.exe, a Windows program that unpacks the contents of\n"
         "SOURCE_DIR into the destination folder (silently with /QUIET, else through\n"
         "its wizard) and then starts the installer among them. The settings go into\n"
         "voxinst.ini inside the package; options override an --ini file, which\n"
         "overrides the defaults shown.\n"
         "\n"
         "  -o OUTPUT.exe           the package to write (--force replaces it)\n"
         "  --ini FILE              start from this voxinst.ini (section [Stowage])\n"
         "  --name TEXT             $(AppName) in the texts (default: the folder's name)\n"
         "  --title TEXT            $(AppName.Title) (default: the name)\n"
         "  --default-target PATH   destination, tokens allowed\n"
         "                          (default: $(ProgramFiles)\\$(AppName))\n"
         "  --setup-app NAME        installer to start from the destination\n"
         "                          (default: setup.exe or msisetup.exe of SOURCE_DIR)\n"
         "  --setup-params TEXT     its parameters (default: -r \"$(Stowage)\" --vox,\n"
         "                          $(Stowage) being the package's short path)\n"
         "  --lcid N                language of the stub's texts, 0 = the system's (default 0)\n"
         "  --extract-to-temp 0|1   1: no destination page, overwrite silently (default 1)\n"
         "  --show-overwrite 0|1    ask before replacing existing files (default 1)\n"
         "  --banner IMAGE.png      banner of the wizard (default: the built-in one)\n"
         "  --title-font FACE       font of the headings (default MS Sans Serif)\n"
         "  --title-color R,G,B     colour of the headings (default 0,0,0)\n"
         "  -x PATTERN              leave out matching files and folders of SOURCE_DIR\n"
         "                          (repeatable; as for 'voxpack create')\n"
         "  --exclude-vcs           leave out .git, .svn, .hg, .bzr, CVS and their files\n"
         "  --icon FILE.ico         the package's icon: every image of the file (any\n"
         "                          sizes, bitmaps and PNG)\n"
         "  --version-info KEY=VALUE  the package's version information (repeatable;\n"
         "                          also section [VersionInfo] of the --ini file). KEY:\n"
         "                          ProductName (default: the name), ProductVersion,\n"
         "                          FileVersion (each defaults to the other; a.b.c.d,\n"
         "                          which the numeric versions follow), CompanyName,\n"
         "                          FileDescription (default: the title),\n"
         "                          LegalCopyright, OriginalFilename (default: the\n"
         "                          output's name), InternalName, LegalTrademarks,\n"
         "                          Comments. An empty VALUE leaves the key out.\n"
         "                          Without --icon and version information the stub's\n"
         "                          own icon and version resource stay\n"
         "  -l 0-9                  deflate level (default 6)\n"
         "  -j N                    deflate on N threads (default: the number of cores;\n"
         "                          memory as for 'voxpack create')\n"
         "  --arch x86|x64          the package's Windows: x86 (default) runs on every\n"
         "                          Windows, x64 only on 64-bit Windows\n"
         "  --stub PATH             the stub to use (default: $VOXKIT_STUB, then\n"
         "                          voxstub.exe beside voxpack, then ../share/voxkit;\n"
         "                          for x64 $VOXKIT_STUB64 and voxstub64.exe)\n"
         "\n"
         "With SOURCE_DATE_EPOCH set, the package is the same byte for byte for the\n"
         "same inputs, wherever and whenever it is built.\n"
         "\n"
         "Sign OUTPUT.exe after packaging (signtool, osslsigncode): the signature goes\n"
         "behind the archive, and the package still finds its archive.\n"},
        {"list", CommandList, {}, {"--json"}, "list the entries of an archive",
         "usage: voxpack list ARCHIVE [--json] [PATTERN...]\n"
         "\n"
         "Lists the entries of ARCHIVE (also a package or a split archive's main\n"
         "file), or those matching a PATTERN (as for extract): size, stored size,\n"
         "method, time (UTC) and name, then the totals. A PATTERN that matches no\n"
         "entry is reported (exit 1).\n"
         "\n"
         "  --json   print one JSON object instead: entries (name, method and\n"
         "           method_name, level, attributes and attribute_letters (RHSDA),\n"
         "           filetime and time (ISO 8601, UTC), compressed, uncompressed,\n"
         "           crc_data, crc_content, offset), comment, base_name, volumes,\n"
         "           start_offset. Names that are no valid UTF-16 keep their odd\n"
         "           halves as \\u escapes: the output is always valid JSON.\n"},
        {"extract", CommandExtract, {"-o"}, {"--flat", "--overwrite", "--skip-existing", "-v"},
         "extract entries into a folder",
         "usage: voxpack extract ARCHIVE [-o DEST] [--flat] [--overwrite | --skip-existing] [-v] [PATTERN...]\n"
         "\n"
         "Extracts every entry of ARCHIVE, or those matching a PATTERN, into DEST\n"
         "(default: the current folder; created when missing). Times and the\n"
         "read-only attribute are restored. Entries whose names would leave DEST\n"
         "are refused and reported; the rest still extracts.\n"
         "\n"
         "  -o DEST           destination folder\n"
         "  --flat            ignore the entries' folders; put every file in DEST\n"
         "  --overwrite       replace existing files without asking\n"
         "  --skip-existing   keep existing files without asking\n"
         "  -v                name each entry (when no progress bar is shown)\n"
         "\n"
         "An existing file is asked about on a terminal; elsewhere it is kept and\n"
         "reported unless --overwrite is given.\n"
         "Patterns: NAME (whole name or last part), *END, BEGIN*, *.* (everything).\n"},
        {"test", CommandTest, {}, {"-v"}, "check the stored data of the entries",
         "usage: voxpack test ARCHIVE [-v] [PATTERN...]\n"
         "\n"
         "Reads every entry (or those matching a PATTERN) and checks its CRC,\n"
         "following split archives across their volumes. Each damaged entry is\n"
         "reported on its own line.\n"},
    };
    return commands;
}

void PrintUsage(FILE *out)
{
    fprintf(out,
            "usage: voxpack COMMAND [OPTIONS] ARGUMENTS...\n"
            "\n"
            "Builds, inspects and unpacks voxkit archives and installer packages.\n"
            "\n"
            "Commands:\n");
    for (const Command &c : Commands()) fprintf(out, "  %-9s %s\n", c.name, c.summary);
    fprintf(out,
            "\n"
            "'voxpack COMMAND --help' (or 'voxpack help COMMAND') tells more. Options may\n"
            "stand before or after the arguments, a short one's value attached or not\n"
            "(-j2, -j 2); '--' ends the options. With every command, -q prints error\n"
            "lines only (no progress bar, no question: existing files are kept and\n"
            "reported) and -v a line per entry. 'voxpack --version' tells the version.\n"
            "\n"
            "--log FILE (any command) appends a record of the run to FILE: the command,\n"
            "every error line and the exit code, with times; it rotates at 1 MB.\n"
            "\n"
            "Exit codes: 0 success, 1 some entries failed, 2 bad command line or the\n"
            "archive cannot be opened.\n");
}

// "--log FILE" anywhere before "--": the run's record goes to FILE (error
// lines, and a line for the command and its outcome). Removed from args.
// Returns false when the log cannot be opened.
bool OpenLog(std::vector<std::string> &args)
{
    for (size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
        if (args[i] != "--log") continue;
        if (i + 1 >= args.size()) {
            PrintError("option '--log' needs a value");
            return false;
        }
        std::string path = args[i + 1];
        args.erase(args.begin() + (long)i, args.begin() + (long)i + 2);
        uint32_t flags = CLog::LOG_ERR | CLog::LOG_WARN | CLog::LOG_INFO | CLog::LOG_TIMESTAMP;
        if (FAILED(VoxpackLog().Init(FullPath(path).c_str(), flags, kLogLimit))) {
            PrintError(path + ": the log cannot be opened");
            return false;
        }
        return true;
    }
    return true;
}

std::string Joined(const std::vector<std::string> &args)
{
    std::string line;
    for (const std::string &a : args) line += (line.empty() ? "" : " ") + a;
    return line;
}

int Dispatch(const std::vector<std::string> &args);

int Run(std::vector<std::string> args)
{
    if (!OpenLog(args)) return VOXPACK_USAGE;
    LogLine(CLog::LOG_INFO, "voxpack " + Joined(args));
    int code = Dispatch(args);
    LogLine(code == VOXPACK_OK ? CLog::LOG_INFO : CLog::LOG_ERR, "exit code " + std::to_string(code));
    VoxpackLog().Shutdown();
    return code;
}

int Dispatch(const std::vector<std::string> &args)
{
    if (args.empty()) {
        PrintUsage(stderr);
        return VOXPACK_USAGE;
    }
    if (args[0] == "--version") {
        printf("voxpack %s\n", VOXPACK_VERSION);
        return VOXPACK_OK;
    }
    if (args[0] == "help" && args.size() > 1) return Dispatch({args[1], "--help"});
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintUsage(stdout);
        return VOXPACK_OK;
    }
    for (const Command &c : Commands()) {
        if (args[0] != c.name) continue;
        std::vector<std::string> rest(args.begin() + 1, args.end());
        for (const std::string &a : rest) {
            if (a == "--") break;
            if (a == "--help" || a == "-h") {
                fputs(c.help, stdout);
                return VOXPACK_OK;
            }
        }
        CommandLine line;
        line.command = c.name;
        std::vector<std::string> flags = c.flags;
        flags.insert(flags.end(), {"-q", "-v"});
        if (!ParseCommandLine(rest, c.valued, flags, line)) return VOXPACK_USAGE;
        SetQuiet(line.Has("-q"));
        return c.run(line);
    }
    PrintError("unknown command '" + args[0] + "' (see 'voxpack --help')");
    return VOXPACK_USAGE;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t **argv)
{
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(ToUtf8(argv[i]));
    VoKernel_Startup(GetModuleHandleW(nullptr), nullptr);
    int code = Run(args);
    VoKernel_Shutdown(GetModuleHandleW(nullptr), 0);
    return code;
}
#else
int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    VoKernel_Startup(nullptr, nullptr);
    int code = Run(args);
    VoKernel_Shutdown(nullptr, 0);
    return code;
}
#endif
