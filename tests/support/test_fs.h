#pragma once
// File and registry helpers for tests: each test owns its folders and keys and clears
// them first.
#include <windows.h>
#include <string>
#include <vector>

namespace tidewell::test {

// A folder owned by one test: emptied on construction and removed on destruction.
class TestFolder {
public:
    explicit TestFolder(std::wstring path);
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;
    const std::wstring& path() const { return path_; }
    // path() + "\" + relative
    std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }

private:
    std::wstring path_;
};

// Removes the tree; a link to a folder goes itself (Wine shows links to files as plain
// files: a test removes those with removeUnixLink first).
void removeTree(const std::wstring& path);
// Who may write the folder a link is made in: as it is (only this account, which the
// library trusts, as it trusts an administrator's relocation), or every account (so that
// any user could have made the link; Wine shows o+w as Everyone may write).
enum class LinkFolder { AsItIs, EveryoneWrites };
// A Unix symbolic link at the path to the target, as a user would plant one (Wine's own
// calls make none); the link's folder and the target must exist. Paths without spaces.
// With EveryoneWrites the folder's mode is changed in the same Unix command, before the
// link appears.
bool makeUnixLink(const std::wstring& link, const std::wstring& target, LinkFolder folder = LinkFolder::AsItIs);
// Many links in one Unix command (each Unix process costs seconds under Wine): whatever
// stands at each link's path goes first, and each link's folder gets the mode asked for.
struct PlannedLink {
    std::wstring link, target;
    LinkFolder folder = LinkFolder::AsItIs;
};
bool makeUnixLinks(const std::vector<PlannedLink>& links);
// Runs chmod with the mode change ("o+w") on the path's Unix file; Wine reads a file's
// access from its mode here. False when chmod could not be started.
bool changeUnixMode(const std::wstring& path, const std::string& change);
bool removeUnixLink(const std::wstring& link);
// Removes a tree that may hold links of any kind, none of them followed (rm -rf).
bool removeUnixTree(const std::wstring& path);
void makeFolder(const std::wstring& path);  // with every folder above it
void writeFile(const std::wstring& path, const std::string& content);  // creates the folders above it
std::string readFile(const std::wstring& path);
bool exists(const std::wstring& path);
bool isDirectory(const std::wstring& path);
DWORD attributesOf(const std::wstring& path);
// Names under the folder (recursive, relative, sorted), folders with a trailing backslash.
std::vector<std::wstring> listTree(const std::wstring& folder);
// The VU_RecycleBin folders on every drive (what an undo or commit must leave behind: none).
std::vector<std::wstring> recycleBins();
// The undo journal that earlier versions kept, one for every installation, in the
// temporary folder (and the unit tests' transactions keep by default).
std::wstring journalPath();
// The undoable removal's journal of an installation, in the library's journal folder.
std::wstring journalPath(const std::wstring& productCode);
// That folder (C:\windows\Installer\Tidewell).
std::wstring journalFolder();
// Every journal, write-ahead record or leftover record there is: the files in the
// journal folder and the earlier versions' journal files (what a finished run leaves:
// none). The move records ("VUMV_<ProductCode>.tmp", which a move to another volume
// leaves for its rollback until the product's next move) are not among them.
std::vector<std::wstring> journalFiles();
void deleteJournalFiles();

// The library's own registry view in either build: the 32-bit view of 64-bit Windows, the
// default of the 32-bit library and what the 64-bit one asks for.
constexpr REGSAM kLibraryView = KEY_WOW64_32KEY;

// Registry: a key path under a root, in the view given (KEY_WOW64_32KEY or KEY_WOW64_64KEY).
void regDeleteTree(HKEY root, const std::wstring& key, REGSAM view = kLibraryView);
void regSetString(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value,
                  REGSAM view = kLibraryView);
bool regKeyExists(HKEY root, const std::wstring& key, REGSAM view = kLibraryView);
bool regValueExists(HKEY root, const std::wstring& key, const std::wstring& name, REGSAM view = kLibraryView);
std::wstring regGetString(HKEY root, const std::wstring& key, const std::wstring& name, REGSAM view = kLibraryView);
// The native name of a key of HKEY_CURRENT_USER ("\Registry\User\<SID>\<key>"), what a
// registry link names as its target.
std::wstring regUserNativePath(const std::wstring& key);
// A registry link at root\key (volatile, as links are) that leads to the key of the native
// name, made as any account can make one in a key it may write.
bool regMakeLink(HKEY root, const std::wstring& key, const std::wstring& nativeTarget, REGSAM view = kLibraryView);
// Deletes the link itself, never what it leads to (RegDeleteTreeW would follow it): a test
// deletes its links before its trees.
void regDeleteLink(HKEY root, const std::wstring& key, REGSAM view = kLibraryView);
// Lets Everyone change root\key (values, subkeys, links in it): a key any account can
// write, as one a user could plant a link in.
bool regLetEveryoneWrite(HKEY root, const std::wstring& key, REGSAM view = kLibraryView);

}  // namespace tidewell::test
