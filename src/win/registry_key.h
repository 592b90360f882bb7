#pragma once
// The registry access layer: the four root keys and their names, full registry paths
// ("HKEY_CURRENT_USER\Software\..."), a scope-bound key holder, and the value, subkey
// and tree operations that the removal, the undo stores and the backup share. Every
// operation reports success as a boolean and nothing else; callers decide whether a
// failure matters.
#include <windows.h>
#include <optional>
#include <string>

#include "common/unique_any.h"

namespace tidewell {

// "HKCR", "HKCU", "HKLM", "HKU" for the four roots; empty for any other handle.
std::wstring rootShortName(HKEY root);
// "HKEY_CLASSES_ROOT" and so on for the four roots; empty for any other handle.
std::wstring rootLongName(HKEY root);

// The root of a Root column number (RemoveRegistry, VU_PersistentData): -1 is
// HKEY_LOCAL_MACHINE when allUsers is exactly "1", else HKEY_CURRENT_USER; 0 HKCR; 1 HKCU;
// 2 HKLM; 3 HKEY_USERS; any other number HKLM.
HKEY rootForNumber(int number, const std::wstring& allUsers);

// The root whose long name is the text before the first backslash or slash, or the whole
// text when it has neither (case included); null for any other text.
HKEY namedRoot(const std::wstring& text);

// Splits "<long root name><\ or /><subkey path>" at its first separator. Only the exact
// long names count (case included), as for namedRoot. False, with both outputs untouched, when the text
// has no separator or names no root; the subkey path may come out empty.
bool parseRegistryPath(const std::wstring& path, HKEY& root, std::wstring& subkey);
// True when parseRegistryPath accepts the text.
bool isRegistryPath(const std::wstring& text);

// True when the library runs as a 32-bit process on 64-bit Windows. Asked once per
// process; when the question cannot be asked (kernel32 not loadable) the answer is
// false and the question is asked again next time.
bool isWow64();

// The cache behind isWow64, on its own so that tests can count the questions: the first
// answer is kept; no answer (the question could not be asked) gives false, uncached.
class CachedAnswer {
public:
    using Question = std::optional<bool> (*)();
    explicit constexpr CachedAnswer(Question question) : question_(question) {}
    bool get();

private:
    Question question_;
    bool known_ = false;
    bool value_ = false;
};
// Which registry view a key is opened in: the library's own view, which is the 32-bit view
// of 64-bit Windows (the default view of the 32-bit library), or the native 64-bit view
// that a 64-bit component's rows name. Both builds open the same keys for the same row.
enum class RegistryView { Own, Native };
// The extra access that reaches the view. The 32-bit build: KEY_WOW64_64KEY for the native
// view when it runs under WOW64, else nothing. The 64-bit build: KEY_WOW64_32KEY for its
// own view, KEY_WOW64_64KEY (its default view) for the native one.
REGSAM viewAccess(RegistryView view);
// The view's name for log lines: "32-bit view" or "native 64-bit view" on 64-bit Windows, empty
// where there is only one view (32-bit Windows).
std::wstring viewName(RegistryView view);

// What opening a key does when the key does not exist.
enum class IfMissing { Fail, Create };

// The error of an open or copy that met a registry link where none is followed.
inline constexpr LONG kRegistryLinkError = ERROR_CANT_RESOLVE_FILENAME;
// The error of a walk that met a tree deeper than kDeepestKey.
inline constexpr LONG kTooDeepError = ERROR_FILENAME_EXCED_RANGE;
// The key walks (deleteKeyTree, copyKeyTree) go no deeper than this many keys below where
// they start: each level is a frame on the action's stack. Windows nests keys 512 deep
// at most, so no tree of a real registry is cut.
inline constexpr int kDeepestKey = 512;

// One open key, closed at the end of its scope. Not open (handle null) when opening or
// creating failed; an empty subkey path opens the root itself. The key is opened in the
// library's own view (viewAccess(RegistryView::Own)) unless extraAccess names a view.
// Every key on the way, the key itself included, is opened one at a time as itself
// (REG_OPTION_OPEN_LINK): a registry link is followed only when trusted accounts alone
// could have made it or aimed it (its owner is SYSTEM, Administrators or this account,
// and nobody else can write it or its parent, as the system's own links); any other link
// stops the open with kRegistryLinkError, and linkOnTheWay names it.
class RegistryKey {
public:
    // Fail opens an existing key with KEY_READ | extraAccess; Create opens or creates the
    // key with KEY_ALL_ACCESS | extraAccess.
    RegistryKey(HKEY root, const std::wstring& subkey, IfMissing ifMissing, REGSAM extraAccess = 0);
    // The same under the root and subkey path of a full registry path; nothing is opened
    // (and root() is null) when the path does not parse.
    RegistryKey(const std::wstring& fullPath, IfMissing ifMissing, REGSAM extraAccess = 0);
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    bool isOpen() const { return key_.is_valid(); }
    // The Win32 error of the open or create; 0 when the key is open.
    LONG error() const { return error_; }
    HKEY handle() const { return key_.get(); }
    HKEY root() const { return root_; }
    // The subkey path (below the root) of the link that stopped the open; empty when none did.
    const std::wstring& linkOnTheWay() const { return linkOnTheWay_; }

    // Deletes one value; the empty name is the key's default value.
    bool deleteValue(const std::wstring& name) const;
    // Deletes a subkey that has no subkeys of its own, in the key's view; fails for any other.
    bool deleteSubkey(const std::wstring& name) const;

private:
    void open(HKEY root, const std::wstring& subkey, IfMissing ifMissing, REGSAM extraAccess);

    HKEY root_ = nullptr;
    REGSAM view_ = 0;
    LONG error_ = ERROR_INVALID_HANDLE;
    std::wstring linkOnTheWay_;
    unique_hkey key_;
};

// How a key-by-key copy went: Copied (every value and subkey, links inside left out and
// counted), SourceIsLink (the key to copy is a registry link: nothing is copied), or
// Failed with the Win32 error (kRegistryLinkError for a link on the way or in the
// destination, kTooDeepError beyond kDeepestKey). What was copied before a failure stays.
enum class KeyCopyResult { Copied, SourceIsLink, Failed };
struct KeyCopy {
    KeyCopyResult result = KeyCopyResult::Failed;
    LONG error = ERROR_SUCCESS;
    unsigned long linksLeftOut = 0;
    bool copied() const { return result == KeyCopyResult::Copied; }
};

// Copies every value and subkey under source\subkey into the destination key (which
// keeps what it already holds), key by key in the view given (0: the library's own).
// The source's path is opened as RegistryKey opens it; inside the tree no link is
// followed either way: a link in the source is left out, and a link in the destination
// where a subkey goes fails the copy rather than write into what it points to.
KeyCopy copyKeyTree(HKEY source, const std::wstring& subkey, HKEY destination, REGSAM view = 0);

// Removes key\subkey with all its values and subkeys, every step in the view given
// (viewAccess; 0 for the library's own). The empty subkey is refused: it would name the
// key itself, and this never empties a key it was not asked to remove. The path to the
// subkey is opened as RegistryKey opens it; a link at the subkey or inside the tree is
// deleted itself, never followed. Keys deeper than kDeepestKey below the subkey are not
// reached, and they and the keys above them stay. Parts removed before a failure stay
// removed.
bool deleteKeyTree(HKEY key, const std::wstring& subkey, REGSAM view = 0);

// True when a subkey path has an empty component: it is empty, begins or ends with a
// backslash, or holds two in a row. Such a path is what formatting leaves of a reference
// to a property that is not set ("Software\[Manufacturer]\[UNSET]"); taken as it stands,
// it would name a key above the one meant.
bool hasEmptyComponent(const std::wstring& subkey);

}  // namespace tidewell
