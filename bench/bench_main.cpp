// Side-by-side timings of the library in real installations, each figure a ratio of two
// things measured in this one run. Usage:
//   tidewell_bench.exe [--runs N] [figure ...]
//                                       every figure, or the named ones (size, rollback,
//                                       commit, permanent, backup, fixed, rows); the
//                                       median of N runs each (3)
//   tidewell_bench.exe rows-only N      one installation with N skipped rows and
//                                       nothing else (tools/bench.sh counts its calls)
// Times are the median of a few runs; trees are made afresh before each run.
#include <windows.h>
#include <msi.h>
#include <msidefs.h>
#include <msiquery.h>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "common/text.h"
#include "package.h"
#include "win/paths.h"
#include "test_fs.h"

using namespace tidewell::test;

namespace {

const std::wstring kRoot = L"C:\\tw-bench";

double now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The median time of `runs` calls of work, each after its own prepare.
double median(int runs, const std::function<void()>& prepare, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        if (prepare) prepare();
        const double start = now();
        work();
        times.push_back(now() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// files spread over folders of at most 100, each of `bytes` bytes.
void makeTree(const std::wstring& folder, int files, size_t bytes) {
    removeTree(folder);
    const std::string content(bytes, 'x');
    for (int i = 0; i < files; ++i) {
        const std::wstring sub = folder + L"\\d" + std::to_wstring(i / 100);
        if (i % 100 == 0) makeFolder(sub);
        const std::wstring path = sub + L"\\f" + std::to_wstring(i) + L".dat";
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        if (!content.empty()) WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(file);
    }
}

void runCommand(const std::wstring& commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process))
        return;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

void printRatio(const char* figure, double ratio, const char* detail, const char* goal, bool met) {
    std::printf("%-34s %6.2fx  %-58s goal %-9s %s\n", figure, ratio, detail, goal, met ? "met" : "NOT met");
    std::fflush(stdout);
}

std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", value);
    return text;
}

// A package that removes one folder property's tree at installation.
void removalPackage(Package& package, const std::wstring& folder, int options) {
    package.recording(RunRecording::none);
    package.property(L"BENCH_DIR", folder)
        .component(L"Main")
        .rows(L"RemoveFile", {{L"tree", L"Main", L"", L"BENCH_DIR", L"1"}})
        .rows(L"VU_RemoveFile", {{L"tree", L"", std::to_wstring(options)}})
        .withKit()
        .kitSequence(L"VU_UndoRemoveFiles")
        .kitSequence(L"VU_RemoveFilesImmediate");
}

// An installation of the package, uninstalled again afterwards (not timed).
double timedInstall(Package& package, const std::wstring& commandLine = L"") {
    const double start = now();
    const UINT code = package.install(commandLine).code;
    const double took = now() - start;
    if (code == ERROR_SUCCESS) package.uninstall();
    else std::fwprintf(stderr, L"installation of %ls failed with %u\n", package.path().c_str(), code);
    return took;
}

void figureSize(const std::wstring& dll) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(dll.c_str(), GetFileExInfoStandard, &data);
    const double kib = data.nFileSizeLow / 1024.0;
    char detail[96];
    std::snprintf(detail, sizeof detail, "%s %lu bytes (%.1f KiB) of 200 KiB", tidewell::toUtf8(tidewell::leafName(dll)).c_str(),
                  data.nFileSizeLow, kib);
    printRatio("size", kib / 200.0, detail, "<= 1.0", kib <= 200.0);
}

void figureRollback(int runs) {
    const std::wstring folder = kRoot + L"\\rollback";
    auto rollbackOf = [&](int files) {
        Package package(L"bench-rollback-" + std::to_wstring(files));
        removalPackage(package, folder, 3);
        package.failAt(6500);
        package.build();
        return median(runs, [&] { makeTree(folder, files, 16); }, [&] { package.install(); });
    };
    const double small = rollbackOf(100);
    const double large = rollbackOf(10000);
    const std::string detail = "10,000 files " + seconds(large) + ", 100 files " + seconds(small);
    printRatio("undoable removal + rollback", large / small, detail.c_str(), "<= 1.2", large / small <= 1.2);
}

void figureCommitAndPermanent(int runs) {
    const std::wstring folder = kRoot + L"\\commit";
    Package package(L"bench-commit");
    removalPackage(package, folder, 3);
    package.build();
    auto prepare = [&] { makeTree(folder, 10000, 16); };
    // Interleaved, so that a machine that slows down during the figure slows both.
    std::vector<double> undoables, permanents;
    for (int i = 0; i < runs; ++i) {
        prepare();
        undoables.push_back(timedInstall(package));
        prepare();
        permanents.push_back(timedInstall(package, L"DISABLEROLLBACK=1"));
    }
    std::sort(undoables.begin(), undoables.end());
    std::sort(permanents.begin(), permanents.end());
    const double undoable = undoables[undoables.size() / 2];
    const double permanent = permanents[permanents.size() / 2];
    const double empty = median(runs, [&] { makeTree(folder, 0, 0); }, [&] { timedInstall(package, L"DISABLEROLLBACK=1"); });
    const double rmdir = median(runs, prepare, [&] { runCommand(L"cmd /c rmdir /s /q " + folder); });
    const double cmd = median(runs, nullptr, [&] { runCommand(L"cmd /c exit"); });
    std::string detail = "undoable+commit " + seconds(undoable) + ", permanent " + seconds(permanent);
    printRatio("undoable removal + commit", undoable / permanent, detail.c_str(), "<= 1.2",
               undoable / permanent <= 1.2);
    const double ratio = (permanent - empty) / (rmdir - cmd);
    detail = "removal " + seconds(permanent - empty) + " (installation less an empty tree's), rmdir " +
             seconds(rmdir - cmd) + " (less cmd /c exit)";
    printRatio("permanent removal vs rmdir /s", ratio, detail.c_str(), "<= 1.0", ratio <= 1.0);
}

void figureBackup(int runs) {
    const std::wstring folder = kRoot + L"\\backup";
    const std::wstring copy = kRoot + L"\\backup-copy";
    auto backupPackage = [&](Package& package, bool discard) {
        package.recording(RunRecording::none);
        package.property(L"BENCH_DIR", folder)
            .component(L"Main")
            .rows(L"VU_PersistentData", {{L"tree", L"0", L"1", L"[BENCH_DIR]"}})
            .withKit()
            .kitSequence(L"VU_BackupImmediate");
        if (discard) package.kitSequence(L"VU_BackupCleanup", L"NOT REMOVE~=\"ALL\"");
        package.build();
    };
    Package none(L"bench-backup-none");
    none.recording(RunRecording::none);
    none.component(L"Main").withKit().build();
    Package backupOnly(L"bench-backup");
    backupPackage(backupOnly, false);
    Package backupAndDiscard(L"bench-backup-discard");
    backupPackage(backupAndDiscard, true);
    // 1,000 files of 100 KB: made once, then only read by the backups.
    makeTree(folder, 1000, 100 * 1024);
    const double base = median(runs, nullptr, [&] { timedInstall(none); });
    const double backup = median(runs, nullptr, [&] { timedInstall(backupOnly); });
    const double both = median(runs, nullptr, [&] { timedInstall(backupAndDiscard); });
    const double xcopy = median(runs, [&] { removeTree(copy); },
                                [&] { runCommand(L"cmd /c xcopy /E /I /Q /Y " + folder + L" " + copy); });
    const double rmdir = median(runs, [&] { runCommand(L"cmd /c xcopy /E /I /Q /Y " + folder + L" " + copy); },
                                [&] { runCommand(L"cmd /c rmdir /s /q " + copy); });
    const double cmd = median(runs, nullptr, [&] { runCommand(L"cmd /c exit"); });
    std::string detail = "backup " + seconds(backup - base) + ", xcopy /E " + seconds(xcopy - cmd);
    printRatio("backup of 1,000 files, 100 MB", (backup - base) / (xcopy - cmd), detail.c_str(), "<= 1.3",
               (backup - base) / (xcopy - cmd) <= 1.3);
    detail = "discard " + seconds(both - backup) + ", rmdir /s " + seconds(rmdir - cmd);
    printRatio("discard of that backup", (both - backup) / (rmdir - cmd), detail.c_str(), "<= 1.3",
               (both - backup) / (rmdir - cmd) <= 1.3);
    removeTree(folder);
    removeTree(copy);
}

// The library's seven immediate actions (their kit names and exports), with every custom
// table present and empty, against seven actions of the DLL that returns at once.
const wchar_t* const kImmediateActions[] = {L"VU_PromptUserBasicUI",    L"VU_BackupImmediate",
                                            L"VU_RemoveRegsImmediate",  L"VU_RemoveFilesImmediate",
                                            L"VU_MoveFilesImmediate",   L"VU_RestoreImmediate",
                                            L"VU_BackupCleanup"};

void figureFixedCost(int runs, const std::wstring& noopDll) {
    auto frame = [](Package& package) {
        package.recording(RunRecording::none);
        package.component(L"Main").withKit();
        for (const wchar_t* table : {L"VU_RemoveFile", L"VU_RemoveRegistry", L"VU_MoveFile", L"VU_PersistentData",
                                     L"RemoveFile", L"RemoveRegistry", L"MoveFile"})
            package.table(table);
    };
    Package base(L"bench-fixed-none");
    frame(base);
    Package library(L"bench-fixed-library");
    frame(library);
    Package noop(L"bench-fixed-noop");
    frame(noop);
    // The library's DLL with an export that only writes one log line: what the DLL's
    // size and loading cost, apart from the actions' work.
    Package light(L"bench-fixed-light");
    frame(light);
    noop.rows(L"Binary", {{L"NoopAction", noopDll}});
    int number = 2590;
    for (const wchar_t* action : kImmediateActions) {
        library.sequence(action, number);
        const std::wstring floorAction = std::wstring(L"BENCH_Noop") + std::to_wstring(number);
        noop.customAction(floorAction, msidbCustomActionTypeDll, L"NoopAction", L"Noop").sequence(floorAction, number);
        light.customAction(floorAction, msidbCustomActionTypeDll, L"Tidewell", L"OnVuRestoreRollback")
            .sequence(floorAction, number);
        ++number;
    }
    base.build();
    library.build();
    noop.build();
    light.build();
    // Interleaved, so that a machine that slows down during the run slows all three.
    std::vector<double> bases, libraries, noops, lights;
    for (int i = 0; i < runs; ++i) {
        bases.push_back(timedInstall(base));
        libraries.push_back(timedInstall(library));
        noops.push_back(timedInstall(noop));
        lights.push_back(timedInstall(light));
    }
    auto middle = [](std::vector<double>& times) {
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    const double none = middle(bases), withLibrary = middle(libraries), withNoop = middle(noops);
    const double withLight = middle(lights);
    const double ratio = (withLibrary - none) / (withNoop - none);
    const std::string detail = "library adds " + seconds(withLibrary - none) + ", minimal DLL adds " +
                               seconds(withNoop - none) + " to " + seconds(none);
    printRatio("7 immediate actions, no rows", ratio, detail.c_str(), "<= 1.2", ratio <= 1.2);
    const std::string part = "7 calls of a one-line export of " + tidewell::toUtf8(libraryFile()) + " add " + seconds(withLight - none);
    printRatio("  of which the DLL (size, loading)", (withLight - none) / (withNoop - none), part.c_str(), "-", true);
}

// A package whose immediate removal action reads `rows` extended rows, every one
// skipped (its condition is false), so that only the immediate action's work is timed.
void rowsPackage(Package& package, int rows) {
    std::vector<Row> removeRows, extendRows;
    for (int i = 0; i < rows; ++i) {
        const std::wstring key = L"r" + std::to_wstring(i);
        removeRows.push_back({key, L"Main", L"", L"BENCH_DIR", L"1"});
        extendRows.push_back({key, L"0", L"3"});
    }
    package.recording(RunRecording::none);
    package.property(L"BENCH_DIR", kRoot + L"\\rows")
        .component(L"Main")
        .rows(L"RemoveFile", removeRows)
        .rows(L"VU_RemoveFile", extendRows)
        .table(L"RemoveFile")
        .table(L"VU_RemoveFile")
        .withKit()
        .kitSequence(L"VU_RemoveFilesImmediate", L"NOT REMOVE");  // not again at the uninstallation
    package.build();
}

void figureRows(int runs) {
    auto perRow = [&](int rows) {
        Package package(L"bench-rows-" + std::to_wstring(rows));
        rowsPackage(package, rows);
        return median(runs, nullptr, [&] { timedInstall(package); });
    };
    const double none = perRow(0);
    const double thousand = (perRow(1000) - none) / 1000;
    const double tenThousand = (perRow(10000) - none) / 10000;
    char detail[96];
    std::snprintf(detail, sizeof detail, "%.2f ms per row over 10,000 rows, %.2f ms over 1,000", tenThousand * 1000,
                  thousand * 1000);
    printRatio("immediate removal, per row", tenThousand / thousand, detail, "<= 1.1", tenThousand / thousand <= 1.1);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring bin = binFolder();
    CreateDirectoryW(kRoot.c_str(), nullptr);
    std::vector<std::wstring> figures(argv + 1, argv + argc);
    if (figures.size() == 2 && figures[0] == L"rows-only") {
        Package package(L"bench-rows-only");
        rowsPackage(package, _wtoi(figures[1].c_str()));
        timedInstall(package);
        return 0;
    }
    int runs = 3;
    if (figures.size() >= 2 && figures[0] == L"--runs") {
        runs = std::max(1, _wtoi(figures[1].c_str()));
        figures.erase(figures.begin(), figures.begin() + 2);
    }
    if (figures.empty()) figures = {L"size", L"fixed", L"rows", L"rollback", L"commit", L"backup"};
    for (const auto& figure : figures) {
        if (figure == L"size") figureSize(bin + libraryFile());
        else if (figure == L"fixed") figureFixedCost(runs * 3, bin + L"NoopAction.dll");
        else if (figure == L"rows") figureRows(runs);
        else if (figure == L"rollback") figureRollback(runs);
        else if (figure == L"commit" || figure == L"permanent") figureCommitAndPermanent(runs);
        else if (figure == L"backup") figureBackup(runs);
        else std::fwprintf(stderr, L"unknown figure %ls\n", figure.c_str());
    }
    removeTree(kRoot);
    return 0;
}
