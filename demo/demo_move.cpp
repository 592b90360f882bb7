// File moving: VU_MoveFile rows copy and move files at install, and a failed
// installation puts everything back.
#include <msidefs.h>

#include "demo.h"
#include "test_fs.h"

namespace tidewell::demo {
namespace {

constexpr int kImmediate = msidbCustomActionTypeDll;
constexpr int kDeferred = msidbCustomActionTypeDll | msidbCustomActionTypeInScript;
constexpr int kRollback = kDeferred | msidbCustomActionTypeRollback;

void buildPackage(test::Package& package, const std::wstring& root) {
    package.component(L"Main")
        .property(L"OLD_DATA", root + L"\\old\\")
        .property(L"NEW_DATA", root + L"\\new\\data\\")
        .property(L"BACKUP", root + L"\\backup\\copies\\")
        // Move every *.cfg into the new data folder; copy the one settings.ini as a backup.
        .rows(L"MoveFile", {{L"moveCfg", L"Main", L"*.cfg", L"", L"OLD_DATA", L"NEW_DATA", L"1"},
                            {L"copyIni", L"Main", L"settings.ini", L"settings.bak", L"OLD_DATA", L"BACKUP", L"0"}})
        .rows(L"VU_MoveFile", {{L"moveCfg", L"", L"1"}, {L"copyIni", L"", L"1"}})
        .tidewellAction(L"VU_MoveFilesImmediate", kImmediate, L"OnVuMoveFilesImmediate")
        .tidewellAction(L"VU_VuMoveFilesRollback", kRollback, L"OnVuMoveFilesRollback")
        .tidewellAction(L"VU_VuMoveFilesDeferred", kDeferred, L"OnVuMoveFilesDeferred")
        .sequence(L"VU_MoveFilesImmediate", 1700);
}

void seed(const std::wstring& root) {
    test::removeTree(root);
    test::writeFile(root + L"\\old\\app.cfg", "app");
    test::writeFile(root + L"\\old\\user.cfg", "user");
    test::writeFile(root + L"\\old\\settings.ini", "[settings]");
}

void run() {
    const std::wstring root = L"C:\\tw-demo\\move";

    say(L"Rows: move every *.cfg from old\\ to new\\data\\ (which does not exist yet);");
    say(L"      copy settings.ini to backup\\copies\\settings.bak.");
    seed(root);
    showTree(L"Before the installation,", root);
    {
        test::Package package(L"demo-move");
        buildPackage(package, root);
        const auto result = package.install();
        showLibraryLog(L"Installation", result);
        showTree(L"After the installation,", root);
        package.uninstall();
    }

    say(L"");
    say(L"The same package again, but a later action fails, so the installation rolls back.");
    seed(root);
    showTree(L"Before the installation,", root);
    {
        test::Package package(L"demo-move-rollback");
        buildPackage(package, root);
        package.failAt(1800);
        const auto result = package.install();
        showLibraryLog(L"Installation", result);
        showTree(L"After the rollback (the files are back, the folders made for them are gone),", root);
    }
    test::removeTree(root);
}

const Register registration({40, "File moving: copies and moves at install, undone on rollback", run});

}  // namespace
}  // namespace tidewell::demo
