#pragma once
// The security of the library's stores, journals and backup files. Deferred actions run
// as LocalSystem, so whatever a user could plant or open there could steer them: these
// objects get an explicit, protected DACL, and existing ones are trusted only when their
// owner is SYSTEM, Administrators or the account this code runs as.
#include <windows.h>
#include <accctrl.h>
#include <string>
#include <vector>

namespace tidewell {

using SidBytes = std::vector<unsigned char>;

// The account this code runs as: the thread's token when it impersonates (an
// impersonating action runs as the installing user), else the process's.
SidBytes currentAccountSid();
// The user a token stands for; empty when the token cannot be read.
SidBytes tokenUser(HANDLE token);
SidBytes wellKnownSid(WELL_KNOWN_SID_TYPE type);

// Full control for SYSTEM and Administrators and, when the current account is another
// one, for that account; inherited by files and folders made inside; not inheriting.
class ProtectedSecurity {
public:
    ProtectedSecurity();
    ProtectedSecurity(const ProtectedSecurity&) = delete;
    ProtectedSecurity& operator=(const ProtectedSecurity&) = delete;
    // Null when the descriptor could not be built (nothing should then be created).
    SECURITY_ATTRIBUTES* attributes() { return built_ ? &attributes_ : nullptr; }

private:
    std::vector<SidBytes> sids_;
    std::vector<unsigned char> acl_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    bool built_ = false;
};

// True when the owner of what the handle holds (a file or folder, or a registry key
// with SE_REGISTRY_KEY) is SYSTEM, Administrators or the current account.
bool hasTrustedOwner(HANDLE handle, SE_OBJECT_TYPE type = SE_FILE_OBJECT);

// True when the DACL of what the handle holds lets nobody but SYSTEM, Administrators,
// TrustedInstaller and the current account write, delete, add entries or change its
// security (a missing DACL lets everyone). Deny entries are not counted on: a DACL that
// needs one to keep others out is not trusted.
bool onlyTrustedCanWrite(HANDLE handle, SE_OBJECT_TYPE type = SE_FILE_OBJECT);
// Both: what the library can take as its own.
bool isTrustedObject(HANDLE handle, SE_OBJECT_TYPE type = SE_FILE_OBJECT);

}  // namespace tidewell
