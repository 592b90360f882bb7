// File removal: a folder tree and a log pattern removed undoably, once committed by a
// successful installation and once put back by a rollback.
#include "demo.h"
#include "removal_actions.h"
#include "test_fs.h"

namespace tidewell::demo {
namespace {

void prepare(const std::wstring& folder) {
    test::writeFile(folder + L"\\Cache & (old)\\page 1.bin", "1");
    test::writeFile(folder + L"\\Cache & (old)\\sub\\page 2.bin", "2");
    test::writeFile(folder + L"\\trace.log", "t");
    test::writeFile(folder + L"\\r\u00e9sum\u00e9.log", "r");
    test::writeFile(folder + L"\\settings.ini", "s");
}

void runOnce(const std::wstring& name, bool rollBack) {
    test::TestFolder folder(L"D:\\Demo Files");
    prepare(folder.path());
    test::Package package(name);
    package.component(L"Main")
        .property(L"DEMO_DIR", folder.path())
        .property(L"DEMO_CACHE", folder / L"Cache & (old)")
        .rows(L"RemoveFile", {{L"cache", L"Main", L"", L"DEMO_CACHE", L"1"}, {L"logs", L"Main", L"LOGS~1|*.log", L"DEMO_DIR", L"1"}})
        .rows(L"VU_RemoveFile", {{L"cache", L"", L"3"}, {L"logs", L"", L"0"}});
    test::addRemoveFilesActions(package);
    if (rollBack) package.failAt(6500);
    say(std::wstring(L"Rows: remove the folder 'Cache & (old)' with its content (options 3) and *.log (options 0), undoably") +
        (rollBack ? L"; a later deferred action fails, so the installation rolls back." : L"."));
    showTree(L"Before:", folder.path());
    const auto result = package.install();
    showLibraryLog(rollBack ? L"Installation that rolls back" : L"Installation", result);
    showTree(L"After:", folder.path());
    say(L"VU_RecycleBin folders left: " + std::to_wstring(test::recycleBins().size()) +
        L"; journal left: " + (test::exists(test::journalPath()) ? L"yes" : L"no"));
}

void run() {
    runOnce(L"demo-remove-commit", false);
    say(L"");
    runOnce(L"demo-remove-rollback", true);
}

const Register registration({30, "File removal: undoable removal, committed and rolled back", run});

}  // namespace
}  // namespace tidewell::demo
