#include "test_fs.h"

#include <sddl.h>

#include <algorithm>
#include <fstream>

#include "common/text.h"
#include "common/unique_any.h"
#include "undo/journal_folder.h"
#include "win/paths.h"

namespace tidewell::test {

TestFolder::TestFolder(std::wstring path) : path_(std::move(path)) {
    removeTree(path_);
    makeFolder(path_);
}

TestFolder::~TestFolder() { removeTree(path_); }

namespace {

// The Unix path of a Windows path whose folder exists (Wine's own export).
std::string unixPath(const std::wstring& path) {
    using GetUnixName = char*(CDECL*)(LPCWSTR);
    const auto get = reinterpret_cast<GetUnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (get == nullptr) return {};
    const size_t at = path.rfind(L'\\');
    std::wstring parent = path.substr(0, at);
    if (parent.size() == 2) parent += L'\\';  // a drive's root, not its current folder
    char* folder = get(parent.c_str());
    if (folder == nullptr) return {};
    std::string result = std::string(folder) + "/" + toUtf8(path.substr(at + 1));
    HeapFree(GetProcessHeap(), 0, folder);
    return result;
}

// Starts a Unix program (Wine starts ELF files given as \\?\unix\ paths) and waits until
// the path shows the wanted state: Wine gives no exit status of a Unix process.
bool runUnix(const std::string& program, const std::string& arguments, const std::wstring& path, bool present) {
    std::string commandLine = program + " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(("\\\\?\\unix" + program).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return false;
    const unique_handle processHandle(process.hProcess), threadHandle(process.hThread);
    WaitForSingleObject(process.hProcess, 10000);
    for (int round = 0; round < 500; ++round) {
        WIN32_FIND_DATAW data;
        const unique_hfind found(FindFirstFileW(prefixedPath(path).c_str(), &data));
        if (found.is_valid() == present) return true;
        Sleep(10);
    }
    return false;
}

// Whether anything, a dangling link included, stands at the path.
bool standsThere(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    const unique_hfind found(FindFirstFileW(prefixedPath(path).c_str(), &data));
    return found.is_valid();
}

}  // namespace

bool makeUnixLink(const std::wstring& link, const std::wstring& target, LinkFolder folder) {
    const std::string from = unixPath(target), at = unixPath(link);
    if (from.empty() || at.empty()) return false;
    if (folder == LinkFolder::AsItIs) return runUnix("/bin/ln", "-s " + from + " " + at, link, true);
    // One command: the link appears only once its folder's mode has changed, and the
    // test waits for the link.
    const std::string in = unixPath(parentFolder(link));
    return !in.empty() && runUnix("/bin/sh", "-c \"chmod o+w " + in + " && ln -s " + from + " " + at + "\"", link, true);
}

bool makeUnixLinks(const std::vector<PlannedLink>& links) {
    if (links.empty()) return true;
    std::string script;
    for (const auto& planned : links) {
        const std::string at = unixPath(planned.link), to = unixPath(planned.target), in = unixPath(parentFolder(planned.link));
        if (at.empty() || to.empty() || in.empty()) return false;
        if (planned.folder == LinkFolder::EveryoneWrites) script += "chmod o+w " + in + " && ";
        script += "rm -rf " + at + " && ln -s " + to + " " + at + " && ";
    }
    // A mark of its own appears last: once it is there, every link is.
    static int made = 0;
    const std::wstring mark = L"C:\\tw-links-made-" + std::to_wstring(++made);
    DeleteFileW(mark.c_str());
    const std::string markAt = unixPath(L"C:\\") + "/tw-links-made-" + std::to_string(made);
    script += "touch " + markAt;
    const bool ran = runUnix("/bin/sh", "-c \"" + script + "\"", mark, true);
    const bool there = GetFileAttributesW(mark.c_str()) != INVALID_FILE_ATTRIBUTES;
    DeleteFileW(mark.c_str());
    return ran && there;
}

bool changeUnixMode(const std::wstring& path, const std::string& change) {
    const std::string at = unixPath(path);
    return !at.empty() && runUnix("/bin/chmod", change + " " + at, path, true);
}

// Nothing is started for a path where nothing stands: a Unix process that Wine cannot
// wait for could otherwise run late and take what a test puts there next.
bool removeUnixLink(const std::wstring& link) {
    if (!standsThere(link)) return true;
    const std::string at = unixPath(link);
    return !at.empty() && runUnix("/bin/rm", "-f " + at, link, false);
}

bool removeUnixTree(const std::wstring& path) {
    if (!standsThere(path)) return true;
    const std::string at = unixPath(path);
    return !at.empty() && runUnix("/bin/rm", "-rf " + at, path, false);
}

void removeTree(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(prefixedPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        removeUnixLink(path);  // never what it points to
        return;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        WIN32_FIND_DATAW data;
        const unique_hfind find(FindFirstFileW(prefixedPath(path + L"\\*").c_str(), &data));
        if (find) {
            do {
                const std::wstring name = data.cFileName;
                if (name != L"." && name != L"..") removeTree(path + L"\\" + name);
            } while (FindNextFileW(find.get(), &data));
        }
        SetFileAttributesW(prefixedPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveDirectoryW(prefixedPath(path).c_str());
    } else {
        SetFileAttributesW(prefixedPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(prefixedPath(path).c_str());
    }
}

void makeFolder(const std::wstring& path) {
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateDirectoryW(prefixedPath(path.substr(0, at)).c_str(), nullptr);
    CreateDirectoryW(prefixedPath(path).c_str(), nullptr);
}

void writeFile(const std::wstring& path, const std::string& content) {
    makeFolder(path.substr(0, path.rfind(L'\\')));
    const unique_hfile file(
        CreateFileW(prefixedPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
}

std::string readFile(const std::wstring& path) {
    const unique_hfile file(CreateFileW(prefixedPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return {};
    std::string content(GetFileSize(file.get(), nullptr), '\0');
    DWORD read = 0;
    ReadFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &read, nullptr);
    content.resize(read);
    return content;
}

bool exists(const std::wstring& path) { return GetFileAttributesW(prefixedPath(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

bool isDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(prefixedPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

DWORD attributesOf(const std::wstring& path) { return GetFileAttributesW(prefixedPath(path).c_str()); }

namespace {
void listInto(const std::wstring& root, const std::wstring& relative, std::vector<std::wstring>& names) {
    WIN32_FIND_DATAW data;
    const unique_hfind find(FindFirstFileW(prefixedPath(root + (relative.empty() ? L"" : L"\\" + relative) + L"\\*").c_str(), &data));
    if (!find) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring child = relative.empty() ? name : relative + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            names.push_back(child + L"\\");
            listInto(root, child, names);
        } else {
            names.push_back(child);
        }
    } while (FindNextFileW(find.get(), &data));
}
}  // namespace

std::vector<std::wstring> listTree(const std::wstring& folder) {
    std::vector<std::wstring> names;
    listInto(folder, L"", names);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::wstring> recycleBins() {
    std::vector<std::wstring> drives, found;
    logicalDrives(drives);
    for (const auto& drive : drives)
        if (exists(drive + L"VU_RecycleBin")) found.push_back(drive + L"VU_RecycleBin");
    return found;
}

std::wstring journalPath() { return tempFolder() + L"VUBB_id1f2e3d4b5a.tmp"; }

std::wstring journalFolder() {
    const std::wstring folder = journalFolderPath();
    return folder.substr(0, folder.size() - 1);
}

std::vector<std::wstring> journalFiles() {
    std::vector<std::wstring> found;
    for (const auto& name : listTree(journalFolder()))
        if (name.rfind(L"VUMV_", 0) != 0) found.push_back(journalFolder() + L"\\" + name);
    const std::wstring legacy = journalPath();
    for (const auto& file : {legacy, legacy + L".ahead", legacy + L".new", legacy + L".leftover"})
        if (exists(file)) found.push_back(file);
    return found;
}

void deleteJournalFiles() {
    for (const auto& file : journalFiles()) DeleteFileW(file.c_str());
}

std::wstring journalPath(const std::wstring& productCode) {
    return journalFolder() + L"\\VUBB_" + productCode + L".tmp";
}

void regDeleteTree(HKEY root, const std::wstring& key, REGSAM view) {
    const PathParts parts = splitAtLastBackslash(key);
    unique_hkey handle;
    if (RegOpenKeyExW(root, parts.parent.c_str(), 0, KEY_ALL_ACCESS | view, handle.put()) != ERROR_SUCCESS) return;
    RegDeleteTreeW(handle.get(), parts.leaf.c_str());
    RegDeleteKeyExW(handle.get(), parts.leaf.c_str(), view, 0);
}

void regSetString(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value,
                  REGSAM view) {
    unique_hkey handle;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, handle.put(), nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExW(handle.get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool regKeyExists(HKEY root, const std::wstring& key, REGSAM view) {
    unique_hkey handle;
    return RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, handle.put()) == ERROR_SUCCESS;
}

bool regValueExists(HKEY root, const std::wstring& key, const std::wstring& name, REGSAM view) {
    unique_hkey handle;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, handle.put()) != ERROR_SUCCESS) return false;
    return RegQueryValueExW(handle.get(), name.empty() ? nullptr : name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

std::wstring regGetString(HKEY root, const std::wstring& key, const std::wstring& name, REGSAM view) {
    unique_hkey handle;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, handle.put()) != ERROR_SUCCESS) return {};
    wchar_t buffer[1024] = {0};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    DWORD type = 0;
    std::wstring value;
    if (RegQueryValueExW(handle.get(), name.empty() ? nullptr : name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS)
        value = buffer;
    return value;
}

std::wstring regUserNativePath(const std::wstring& key) {
    unique_handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
    unsigned char user[256];
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenUser, user, sizeof user, &size)) return {};
    wchar_t* sid = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid)) return {};
    const std::wstring native = std::wstring(L"\\Registry\\User\\") + sid + L"\\" + key;
    LocalFree(sid);
    return native;
}

bool regMakeLink(HKEY root, const std::wstring& key, const std::wstring& nativeTarget, REGSAM view) {
    unique_hkey link;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                        KEY_ALL_ACCESS | KEY_CREATE_LINK | view, nullptr, link.put(), nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExW(link.get(), L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(nativeTarget.c_str()),
                          static_cast<DWORD>(nativeTarget.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

void regDeleteLink(HKEY root, const std::wstring& key, REGSAM view) {
    using NtDeleteKeyFunction = LONG(NTAPI*)(HANDLE);
    const auto deleteKey = reinterpret_cast<NtDeleteKeyFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    unique_hkey link;
    if (deleteKey && RegOpenKeyExW(root, key.c_str(), REG_OPTION_OPEN_LINK, DELETE | KEY_QUERY_VALUE | view, link.put()) ==
                         ERROR_SUCCESS)
        deleteKey(link.get());
}

bool regLetEveryoneWrite(HKEY root, const std::wstring& key, REGSAM view) {
    unique_hkey handle;
    if (RegOpenKeyExW(root, key.c_str(), 0, WRITE_DAC | view, handle.put()) != ERROR_SUCCESS) return false;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;CI;KA;;;WD)(A;CI;KA;;;BA)(A;CI;KA;;;SY)",
                                                              SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    const LONG set = RegSetKeySecurity(handle.get(), DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    return set == ERROR_SUCCESS;
}

}  // namespace tidewell::test
