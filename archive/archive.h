// CArchive2: the archive engine. One object per opened archive: construct,
// Open in one of six modes, use, Close. Close does the mode's finishing work.
//
// The engine keeps no catalogue of entries in memory: queries walk the
// central directory in the file, except that a table of record positions is
// built once for the queries by index, and an index of the names once for
// the queries by name. Every failure is reported to the
// progress object (when there is one) with a diagnostic code and the failing
// operation's name, then returned as a result code.
//
// Entry names always use "\" as separator. On POSIX they are mapped to "/"
// where they meet the file system.
#pragma once

#include <set>
#include <string>

#include "archive/progress.h"
#include "archive/records.h"
#include "fileio.h"
#include "list/list.h"
#include "platform.h"

// Open modes.
#define ARC_OPEN_CREATE  0
#define ARC_OPEN_READ    1
#define ARC_OPEN_APPEND  2
#define ARC_OPEN_DELETE  3
#define ARC_OPEN_SEA     4
#define ARC_OPEN_VOLUMES 5

// Extraction flags.
#define ARC_EXTRACT_NOPATHS   0x1u  // files go straight into the destination, folders are skipped
#define ARC_EXTRACT_OVERWRITE 0x4u  // existing files are replaced without a question
#define ARC_EXTRACT_NOTOTAL   0x8u  // ExtractEntry by name only sets the text, no Begin

// Add flags.
#define ARC_ADD_RECURSE       0x1u  // a pattern also takes matching sub-folders, whole
#define ARC_ADD_NOTOTAL       0x2u  // only SetText(path), no Begin with a total
#define ARC_ADD_REPLACE       0x4u  // appending: an entry of the same name is replaced without a question
#define ARC_ADD_CLEARREADONLY 0x8u  // the stored attributes lose the read-only bit
// Names Windows cannot hold (ArcWindowsNameProblem), and names equal to one
// added before by this object but for letter case, are refused: reported
// (ARC_ERR_BADNAME, ARC_ERR_DUPLICATE, with the path), left out (a folder
// with everything below it), and the add goes on.
#define ARC_ADD_WINDOWSNAMES  0x10u
// A file whose deflated form is no smaller than the file itself is stored
// instead (method ARC_METHOD_STORE, the level as given).
#define ARC_ADD_STOREGROWN    0x20u
// Appending: an entry of the same name that the file matches (a folder
// entry for a folder; the same size and time for a file) is kept as it is,
// without a question. With ARC_ADD_REPLACE the others are replaced.
#define ARC_ADD_SKIPSAME      0x40u

// Delete, split and merge flags.
#define ARC_QUIET     0x1u  // no Begin with totals
#define ARC_OVERWRITE 0x4u  // SplitSEA and SplitArchive replace existing output files without a question
// CreateSEA flag.
#define ARC_SEA_NAME_ONLY 0x2u  // the base name is the archive's file name, without its folder

// Size of the chunks data moves in, and of the inflate output buffer.
#define ARC_CHUNK_SIZE        0x40000
#define ARC_INFLATE_OUT_SIZE  0x46666
#define ARC_DEFLATE_OUT_SIZE  0x40A49

// A directory record as the walk returns it: the record and its texts, each
// cut to 259 units and terminated.
struct ArcDirectoryEntry {
    ArcDirectoryRecord record;
    VOCHAR name[ARC_TEXT_UNITS];
    VOCHAR second[ARC_TEXT_UNITS];
    VOCHAR third[ARC_TEXT_UNITS];
};

// A prepared name pattern.
struct ArcPattern {
    VOCHAR text[ARC_TEXT_UNITS];
    int kind;  // 0 exact, 1 "*end", 2 "*.*", 3 "begin*"
};

// Deflated data prepared outside the engine, for example on worker threads
// (see archive/deflate_pool.h). While one is set, the engine asks it before
// it deflates a file itself; headers, records and progress stay the
// engine's own.
class IArcCompressedSupplier {
public:
    virtual ~IArcCompressedSupplier() = default;
    // Starts the prepared data of the file at path, deflated at level from
    // size bytes: S_OK when it follows through NextPiece, S_FALSE when none
    // is prepared (the engine then deflates the file itself).
    virtual HRESULT BeginFile(const VOCHAR *path, uint32_t level, uint64_t size) = 0;
    // The next piece of the file begun: deflated bytes, valid until the next
    // call, and how many of the file's bytes they stand for. At the end
    // *size is 0 and *contentCrc holds the CRC of the file's bytes. A
    // failure is the file's read or memory error.
    virtual HRESULT NextPiece(const uint8_t **bytes, uint32_t *size, uint32_t *consumed, uint32_t *contentCrc) = 0;
};

// Called once per plain file an add would take, in the order of the add.
typedef void (*ArcAddVisitor)(void *context, const VOCHAR *path, uint64_t size);

class CArchive2 {
public:
    CArchive2();
    virtual ~CArchive2();
    CArchive2(const CArchive2 &) = delete;
    CArchive2 &operator=(const CArchive2 &) = delete;

    HRESULT Open(const VOCHAR *path, uint32_t mode, CVoArchiveProgress *progress);
    HRESULT Close();
    // After a Close that failed in append, delete or volume mode: the
    // temporary file left beside the archive (empty when none). The archive
    // itself is then untouched.
    const VOCHAR *GetLeftoverTemporaryFile() const;
    // Changes the progress object of an open archive (null: none).
    void SetProgress(CVoArchiveProgress *progress) { m_progress = progress; }

    // Catalogue queries by index: 1 when the record was read, 0 otherwise.
    int32_t GetArchiveCount();
    int32_t GetEntryName(int index, VOCHAR *buffer, unsigned size);
    int32_t GetEntryUncompressedSize(int index, uint64_t *size);
    int32_t GetEntryCompressedSize(int index, uint64_t *size);
    int32_t GetEntryCompressionType(int index, int *method);
    int32_t GetEntryCRC32(int index, int *crc);
    int32_t GetEntryFileAttributes(int index, int *attributes);
    int32_t GetEntryFileTime(int index, VOFILETIME *time);
    // The same by name: 0 when found, 1 when not, E_FAIL when nothing is open.
    int32_t GetEntryUncompressedSize(const VOCHAR *name, uint64_t *size);
    int32_t GetEntryCompressedSize(const VOCHAR *name, uint64_t *size);
    int32_t GetEntryCompressionType(const VOCHAR *name, int *method);
    int32_t GetEntryCRC32(const VOCHAR *name, int *crc);
    int32_t GetEntryFileAttributes(const VOCHAR *name, int *attributes);
    int32_t GetEntryFileTime(const VOCHAR *name, VOFILETIME *time);
    int IsEntryInArchive(const VOCHAR *name);
    int GetArchiveSEAStatus();
    int GetMultiVolumeStatus();
    int32_t GetCreateTime(VOFILETIME *time);
    int32_t GetModifyTime(VOFILETIME *time);
    int64_t GetArchiveSize();
    HRESULT GetVolumeComment(VOCHAR *buffer, unsigned size);
    // The whole directory record of an entry, for listings: 1 when read.
    int32_t GetEntryRecord(int index, ArcDirectoryEntry *entry);
    // The loaded end record and its texts.
    const ArcEndRecord &GetEndRecord() const { return m_endRecord; }
    // The directory records read, one after the other, before the walk on
    // opening stopped: the entry count when the directory is whole, else the
    // number of the first record that could not be read (Open then fails
    // with VO_E_BADDATA).
    uint32_t GetDirectoryWalked() const { return m_directoryWalked; }
    const VOCHAR *GetBaseName() const { return m_baseName; }

    // Extraction.
    HRESULT ExtractAll(const VOCHAR *dest, uint32_t flags);
    HRESULT ExtractEntry(const VOCHAR *pattern, const VOCHAR *dest, uint32_t flags);
    HRESULT ExtractEntry(int first, const int *count, const VOCHAR *dest, uint32_t flags);
    HRESULT GetSizeExtractAll(uint64_t *size);
    HRESULT GetSizeExtractEntry(const VOCHAR *pattern, uint64_t *size, uint32_t flags);
    HRESULT GetSizeExtractEntry(int first, const int *count, uint64_t *size, uint32_t flags);
    HRESULT IsSpaceForExtractAll(const VOCHAR *dest, uint32_t flags);
    HRESULT IsSpaceForExtractEntry(const VOCHAR *pattern, const VOCHAR *dest, uint32_t flags);
    HRESULT IsSpaceForExtractEntry(int first, const int *count, const VOCHAR *dest, uint32_t flags);
    HRESULT ValidateEntry(const VOCHAR *pattern);
    HRESULT ValidateEntry(int index);
    // The whole check an extraction makes, without writing anything: the
    // entry's name under the extraction's rules, its data read (and
    // inflated) to the end, the declared size and both CRC values compared.
    // S_OK, or the failure extracting it would give (each one reported).
    HRESULT VerifyEntry(int index);

    // Writing: adding, deleting, comments. With an archive folder F a file
    // goes in as F\name, a folder whole below F (F\name\...).
    HRESULT AddEntryToArchive(const VOCHAR *path, uint32_t method, uint32_t level, uint32_t flags,
                              const VOCHAR *folder);
    HRESULT GetSizeAddEntry(const VOCHAR *path, uint64_t *size, uint32_t flags);
    HRESULT GetCountAddEntry(const VOCHAR *path, uint32_t *count, uint32_t flags);
    HRESULT IsSpaceForAddEntry(const VOCHAR *path, uint32_t flags);
    // Calls visit for every plain file AddEntryToArchive(path, flags) would
    // take, in the same order; S_FALSE for a pattern without a usable "*".
    HRESULT EnumerateAddEntry(const VOCHAR *path, uint32_t flags, ArcAddVisitor visit, void *context);
    // A file or folder (a full path) that the walk of a folder or pattern
    // skips, as it skips the archive being written; four at most (false
    // when there is no room). They last as long as the object.
    bool ExcludeFromAdd(const VOCHAR *path);
    // For reproducible archives: with a time set, folder entries carry it in
    // place of the moment of the add, and file times after it are cut to it.
    // 0 (the default) keeps the clock and the files' own times.
    void SetLatestTime(VOFILETIME time) { m_latestTime = time; }
    // A test of the caller's that leaves files and folders out of every add
    // and estimate (null: none): true for a full path to skip. A folder
    // left out is left out with everything below it.
    typedef bool (*AddFilter)(void *context, const VOCHAR *path);
    void SetAddFilter(AddFilter filter, void *context)
    {
        m_addFilter = filter;
        m_addFilterContext = context;
    }
    // Sets (or with null, clears) the supplier of prepared deflated data.
    void SetCompressedSupplier(IArcCompressedSupplier *supplier) { m_supplier = supplier; }
    void AddVolumeComment(const VOCHAR *text);
    HRESULT Annotate(const VOCHAR *archivePath, const VOCHAR *comment);
    HRESULT DeleteEntryFromArchive(const VOCHAR *pattern, uint32_t flags);
    void AbortDeletionProcess();
    int IsDeleteRequested();
    int GetEntryDeleteStatus(int index);

    // Self-extracting archives and volumes.
    HRESULT GetSizeCreateSEA(const VOCHAR *stub, uint64_t *size);
    HRESULT IsSpaceForCreateSEA(const VOCHAR *output, const VOCHAR *stub);
    HRESULT CreateSEA(const VOCHAR *output, const VOCHAR *stub, uint32_t flags);
    HRESULT SplitSEA(const VOCHAR *destination, uint32_t flags);
    HRESULT SplitArchive(int64_t volumeSize, uint32_t flags);
    // How SplitArchive would split the open archive into volumes of at most
    // volumeSize bytes: the number of files, the main one included (1 when
    // it fits in one), and the smallest volume size it allows (the main
    // file holds the stub, the directory and the end record, and a split
    // makes 9,999 files at most). With ARC_OVERWRITE, SplitArchive replaces
    // existing files of its volumes' names; without, it refuses them.
    HRESULT PlanSplit(int64_t volumeSize, uint32_t *files, uint64_t *minimum) const;
    HRESULT GetSizeMerge(uint64_t *size);
    HRESULT IsSpaceForMerge();
    HRESULT MergeArchive(uint32_t flags);

    // Volumes.
    HRESULT ValidateMultiVolume();
    // Composes the path of volume n next to the opened archive.
    void GetVolumeName(const VOCHAR *baseName, int n, VOCHAR *out);

    // Patterns shared by extraction, validation and deletion.
    HRESULT CheckForWildcards(const VOCHAR *pattern, ArcPattern *prepared);
    static bool MatchEntryName(const ArcPattern *pattern, const VOCHAR *name);

protected:
    // Opening and the directory walk.
    HRESULT OpenCreate();
    HRESULT OpenRead();
    HRESULT OpenExisting(const char *operation, bool forWriting);
    HRESULT OpenAppendOrDelete(const char *operation, bool deleting);
    HRESULT OpenSEA();
    HRESULT OpenMultiVol();
    HRESULT CreateTemporaryFile(const char *operation);
    static bool MakeFullPath(const VOCHAR *path, VOCHAR *full);
    HRESULT LockForRewrite(const char *operation);
    HRESULT WriteAnnotatedCopy(const VOCHAR *comment, const char *operation);
    HRESULT CloseOutputFile(HRESULT result, bool rewrite, const char *operation);
    HRESULT ReportWriteFailure(const char *operation, const VOCHAR *detail);
    HRESULT LoadArchive(HVOFILE file);
    HRESULT WalkDirectory();
    HRESULT LoadEndOfCentralDirectory(HVOFILE file);
    HRESULT FindEndOfCentralDirectory(HVOFILE file, int64_t *position);
    HRESULT FindFirstCentralDirectory(ArcDirectoryEntry *entry);
    HRESULT FindNextCentralDirectory(ArcDirectoryEntry *entry);
    int ReadDirectoryRecord(int64_t position, ArcDirectoryEntry *entry);
    HRESULT MapCentralDirectories(int count);
    int GetDirectoryRecord(int index, ArcDirectoryEntry *entry);
    HRESULT FindEntryByName(const VOCHAR *name, ArcDirectoryEntry *entry);
    HRESULT IndexEntryNames(ArcDirectoryEntry *entry);
    void ForgetEntryNames();
    bool IsOpen() const { return m_mode != ARC_OPEN_CREATE; }
    bool HasEndRecord() const { return m_endRecord.signature == ARC_END_SIGNATURE; }
    int32_t QueryByIndex(int index, ArcDirectoryEntry *entry);
    int32_t QueryByName(const VOCHAR *name, ArcDirectoryEntry *entry);

    // Extraction internals.
    HRESULT ExtractOne(const ArcDirectoryEntry *entry, const VOCHAR *dest);
    HRESULT ExtractDirectoryEntry(const ArcDirectoryEntry *entry, const VOCHAR *dest);
    HRESULT ExtractCentralDirectoryFile(const ArcDirectoryEntry *entry, const VOCHAR *dest);
    // Extract into out (null: verify only, nothing written); target names
    // the file in reports.
    HRESULT ExtractInternalNoCompression(struct ArcDataSource &source, const ArcDirectoryEntry *entry, HVOFILE out,
                                         const VOCHAR *target);
    HRESULT ExtractInternalZipCompression(struct ArcDataSource &source, const ArcDirectoryEntry *entry, HVOFILE out,
                                          const VOCHAR *target);
    HRESULT CreateReplacement(const VOCHAR *target, VOCHAR *replacement, HVOFILE *out, const char *operation);
    HRESULT OpenTarget(const VOCHAR *target, HVOFILE *out, const char *operation);
    bool RefuseFolderWithData(const ArcDirectoryEntry *entry, const char *operation);
    HRESULT FinishTarget(HVOFILE target, const ArcDirectoryEntry *entry,
                         uint32_t dataCrc, uint32_t contentCrc, const char *operation);
    HVOFILE FindVolumeForOffset(uint64_t *offset, int *volume);
    HRESULT OpenDataSource(const ArcDirectoryEntry *entry, struct ArcDataSource &source, const char *operation);
    HRESULT ReadEntryData(struct ArcDataSource &source, uint8_t *buffer, uint32_t want, uint32_t *got);
    HRESULT ReadChunk(struct ArcDataSource &source, uint8_t *buffer, uint64_t &remaining, uint32_t *got,
                      uint32_t &dataCrc, const char *operation);
    HRESULT WriteChunk(HVOFILE out, const uint8_t *bytes, uint32_t size, uint32_t &contentCrc, const VOCHAR *target,
                       const char *operation);
    bool OpenNextVolume(struct ArcDataSource &source);
    HRESULT AskOverwrite(const VOCHAR *path);
    HRESULT AskOverwriteReadOnly(const VOCHAR *path);
    HRESULT Ask(const VOCHAR *path, uint32_t question, int32_t &replaceAll, HRESULT &remembered);
    HRESULT ValidateEntryData(const ArcDirectoryEntry *entry);
    HRESULT CheckRoom(uint64_t size, const VOCHAR *dest, const char *operation, bool notFoundIsInvalid);
    HRESULT CheckVolumes(const char *operation);
    HRESULT ReadyToExtract(HRESULT space);
    bool RefuseUnsafeName(const ArcDirectoryEntry *entry);
    bool MakeTargetPath(const VOCHAR *dest, const ArcDirectoryEntry *entry, VOCHAR *target, bool *foldersExist,
                        uint32_t *attributes);
    void RememberCheckedFolder(const VOCHAR *folder);
    int RunLength(const int *count) const;
    int LastOfRun(int first, const int *count) const;

    // Writing internals.
    HRESULT FinishWriting();
    HRESULT AddFile(const VOCHAR *path, size_t baseLength, const VOCHAR *folder, uint32_t attributes,
                    const tVOFINDDATA *found);
    HRESULT OpenAddFile(const VOCHAR *path, struct ArcEntryItem *item, HVOFILE *file, const char *operation);
    bool TakeSupplied(const VOCHAR *path, uint64_t size);
    HRESULT AddDirectory(const VOCHAR *path, size_t baseLength);
    HRESULT AddDirectoryTree(const VOCHAR *path, size_t baseLength);
    bool IsExcludedFromAdd(const VOCHAR *path) const;
    bool RefuseAddName(const VOCHAR *name, const VOCHAR *path, const char *operation);
    struct NameLess {
        bool operator()(const std::basic_string<VOCHAR> &a, const std::basic_string<VOCHAR> &b) const
        {
            return VoStrCmpI(a.c_str(), b.c_str()) < 0;
        }
    };
    std::set<std::basic_string<VOCHAR>, NameLess> m_addedNames;  // under ARC_ADD_WINDOWSNAMES
    uint32_t m_refusedNames = 0;
    VOCHAR m_treeFolder[ARC_TEXT_UNITS] = {0};  // the archive folder of the folder being added
    VOCHAR m_addExclusions[4][ARC_TEXT_UNITS] = {};
    HRESULT AddWildcard(const VOCHAR *path, size_t baseLength);
    HRESULT AskReplaceEntry(const VOCHAR *name, const VOCHAR *path, bool *keepOld);
    bool IsSameAsEntry(const VOCHAR *path, const ArcDirectoryRecord &record) const;
    bool HasRoomForAdd(uint64_t size);
    HRESULT NoCompressFile(HVOFILE file, struct ArcEntryItem *item);
    HRESULT CompressZipFile(HVOFILE file, struct ArcEntryItem *item);
    HRESULT CopyCompressedFile(struct ArcEntryItem *item, const VOCHAR *path);
    HRESULT StoreInstead(HVOFILE file, struct ArcEntryItem *item, const char *operation);
    HRESULT WriteOutput(const void *bytes, uint32_t size, const char *operation);
    HRESULT WriteToFile(const void *bytes, uint32_t size, const char *operation);
    uint8_t *PendingBuffer();
    HRESULT FlushOutput(const char *operation);
    void DropPendingOutput() { m_pendingSize = 0; }
    HRESULT PatchOutput(uint64_t offset, const uint8_t *bytes, uint32_t size, const char *operation,
                        const VOCHAR *detail);
    HRESULT CopyIntoOutput(HVOFILE source, int64_t sourcePosition, uint64_t size);
    HRESULT WriteEntryHeader(struct ArcEntryItem *item, const char *operation);
    HRESULT InsertEntryItem(const struct ArcEntryItem *item);
    HRESULT MeasureAdd(const VOCHAR *path, uint32_t flags, struct ArcAddTally &tally, bool report);
    HRESULT WalkAddSource(const VOCHAR *path, size_t baseLength, const ArcPattern *pattern, bool recurse,
                          struct ArcAddTally &tally);
    HRESULT AddCentralDirectory();
    HRESULT CopyExistingEntries();
    HRESULT AddEndOfCentralDir(uint64_t directoryStart);
    HRESULT SubmitDeleteList();
    HRESULT WriteKeptDirectory();
    HRESULT BlockCopy(HVOFILE source, int64_t sourcePosition, uint64_t size, HVOFILE destination,
                      int64_t destinationPosition);
    uint64_t FreeKilobytes(const VOCHAR *folder, bool fatRule);
    HRESULT OpenSourceFile(const VOCHAR *path, uint32_t share, const char *operation, HVOFILE *file,
                           int64_t *size);

    // Self-extracting archive and volume internals.
    HRESULT CopyStub();
    HRESULT CopySEAMultiFiles();
    HRESULT SplitSEAParts(const VOCHAR *destination, uint32_t flags);
    HRESULT WriteStubCopy(const VOCHAR *path, const char *operation);
    HRESULT NameFinishedOutputs(HRESULT result);
    HRESULT FileCopy(const VOCHAR *source, const VOCHAR *destination);

    // The buffers reused from one entry to the next (work_buffers.h): made
    // at first use, freed at Close; null when out of memory.
    class CArcWorkBuffers *WorkBuffers();
    void ReleaseWorkBuffers();
    // The reused ARC_CHUNK_SIZE buffer; null, reported, when out of memory.
    uint8_t *ChunkBuffer(const char *operation);

    // The engine's single error path.
    void ReportError(uint32_t diagnostic, const char *operation, const VOCHAR *detail = nullptr);
    void ReportError(uint32_t diagnostic, const char *operation, int number);

    HVOFILE m_readFile;
    HVOFILE m_outputFile;
    tVOLIST *m_entryList;
    uint64_t m_outputPosition;
    CVoArchiveProgress *m_progress;
    IArcCompressedSupplier *m_supplier = nullptr;
    VOFILETIME m_latestTime = 0;
    AddFilter m_addFilter = nullptr;
    void *m_addFilterContext = nullptr;
    uint32_t m_mode;
    uint32_t m_addMethod;
    uint32_t m_addLevel;
    ArcEndRecord m_endRecord;
    VOCHAR m_volumeComment[ARC_MAX_COMMENT + 1];
    VOCHAR m_baseName[ARC_TEXT_UNITS];
    VOCHAR m_thirdText[ARC_TEXT_UNITS];
    int64_t m_directoryCursor;
    VOCHAR m_archivePath[ARC_TEXT_UNITS];
    VOCHAR m_outputPath[ARC_TEXT_UNITS];
    uint32_t m_extractFlags;
    uint32_t m_addFlags;
    uint32_t m_deleteFlags;
    uint64_t m_startOffset;
    uint32_t m_volumeCount;
    uint32_t m_entriesWritten;
    int32_t m_replaceAll;
    int32_t m_replaceAllReadOnly;
    HRESULT m_rememberedAnswer;
    HRESULT m_rememberedAnswerReadOnly;
    int32_t m_changed;
    uint64_t m_totalUncompressed;
    uint32_t m_directoryWalked;
    VOCHAR m_fileSystemName[128];
    int64_t *m_recordPositions;
    int m_recordPositionCount;
    bool m_refusedEntry;
    class CArcWorkBuffers *m_work = nullptr;
    class CArcNameIndex *m_nameIndex = nullptr;  // built by the first lookup by name
    // Output written by WriteOutput and not yet in the file: it belongs at
    // the output's end (m_outputPosition - m_pendingSize up to
    // m_outputPosition), where the output file stands.
    uint8_t *m_pending = nullptr;
    uint32_t m_pendingSize = 0;
    // The folder (with its separator) the last extracted entry went into,
    // known to exist with no link on its way below the destination: the
    // next entry of the same folder checks only what lies below it.
    VOCHAR m_checkedFolder[ARC_TEXT_UNITS * 2] = {0};

    // Helpers of the self-extracting archive and volume operations
    // (sea.cpp, volumes.cpp).
    //
    // 0 when the output file path may be written, 1 when the user keeps the
    // existing file, or a negative answer such as VO_E_CANCEL.
    HRESULT MayWriteOutput(const VOCHAR *path, uint32_t flags);
    // True when two paths name the same file: compared in full form, case
    // ignored, so that an output is never created over an input.
    static bool IsSamePath(const VOCHAR *a, const VOCHAR *b);
    // folder + file title of nameSource + n + its extension ("%s%s%d%s").
    // out holds kNumberedPathUnits units, room for the longest folder and
    // name with any number (GetVolumeName's results fit too); false when the
    // result is longer than a path may be.
    static constexpr size_t kNumberedPathUnits = 3 * ARC_TEXT_UNITS;
    static bool ComposeNumberedPath(const VOCHAR *folder, const VOCHAR *nameSource, uint32_t n, VOCHAR *out);
    // path + ".part" into out (kNumberedPathUnits units); false when the
    // result is longer than a path may be.
    static bool PartPath(const VOCHAR *path, VOCHAR *out);
    void DeleteMergedVolumes();
    const VOCHAR *SplitNameSource() const;
    uint64_t SplitOverhead() const;
    bool SplitVolumePath(uint32_t n, bool part, VOCHAR *out) const;
    bool HoldsDataSlice(const VOCHAR *path, uint64_t offset, uint64_t length);
    HRESULT CheckVolumeNames(uint32_t files, uint64_t first, uint64_t size, uint32_t flags, const char *operation);
    HRESULT WriteVolumes(uint64_t position, uint64_t size, bool quiet, const char *operation);
    bool NameSplitVolumes();
    void DeleteSplitVolumes();
    uint32_t m_splitVolumes = 0;  // files of the split under way, the main one included
    uint32_t m_splitNamed = 0;    // the last of them that has its own name
    VOCHAR m_splitNameSource[ARC_TEXT_UNITS] = {0};
    uint32_t m_mergedVolumes = 0;  // volumes a finished merge took in
    VOCHAR m_mergedVolumeBase[ARC_TEXT_UNITS] = {0};
    // The names SplitSEA's outputs, written as NAME.part, take at Close
    // ("" for an output not written; a failed SplitSEA removes its parts).
    VOCHAR m_finalOutputPath[ARC_TEXT_UNITS] = {0};
    VOCHAR m_finalStubPath[ARC_TEXT_UNITS] = {0};
};
