#include "win/protected_security.h"

#include <aclapi.h>

#include "common/unique_any.h"

namespace tidewell {

namespace {

bool equalSid(const SidBytes& sid, PSID other) {
    return !sid.empty() && other != nullptr && ::EqualSid(const_cast<unsigned char*>(sid.data()), other);
}

// Rights that let someone change an object or what it holds (for a registry key the same
// bits are KEY_SET_VALUE and KEY_CREATE_SUB_KEY, with which links are made).
constexpr ACCESS_MASK kChangingRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD |
                                        FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                                        GENERIC_ALL | MAXIMUM_ALLOWED;

// NT SERVICE\TrustedInstaller, which owns the system's own folders.
SidBytes trustedInstallerSid() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    if (!::AllocateAndInitializeSid(&nt, 6, 80, 956008885, 3418522649, 1831038044, 1853292631, 2271478464, 0, 0,
                                    &sid))
        return {};
    const auto* bytes = static_cast<const unsigned char*>(sid);
    SidBytes result(bytes, bytes + ::GetLengthSid(sid));
    ::FreeSid(sid);
    return result;
}

}  // namespace

SidBytes tokenUser(HANDLE token) {
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<unsigned char> buffer(size);
    if (!::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    const auto* bytes = static_cast<const unsigned char*>(sid);
    return SidBytes(bytes, bytes + ::GetLengthSid(sid));
}

SidBytes currentAccountSid() {
    unique_handle token;
    if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, token.put()) &&
        !::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return {};
    return tokenUser(token.get());
}

SidBytes wellKnownSid(WELL_KNOWN_SID_TYPE type) {
    SidBytes sid(SECURITY_MAX_SID_SIZE);
    DWORD size = static_cast<DWORD>(sid.size());
    if (!::CreateWellKnownSid(type, nullptr, sid.data(), &size)) return {};
    sid.resize(size);
    return sid;
}

ProtectedSecurity::ProtectedSecurity() {
    sids_ = {wellKnownSid(WinLocalSystemSid), wellKnownSid(WinBuiltinAdministratorsSid)};
    const SidBytes account = currentAccountSid();
    if (!account.empty() && !equalSid(account, sids_[0].data())) sids_.push_back(account);
    DWORD size = sizeof(ACL);
    for (const auto& sid : sids_) {
        if (sid.empty()) return;
        size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + static_cast<DWORD>(sid.size());
    }
    acl_.assign(size, 0);
    auto* acl = reinterpret_cast<PACL>(acl_.data());
    if (!::InitializeAcl(acl, size, ACL_REVISION)) return;
    for (auto& sid : sids_)
        if (!::AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, FILE_ALL_ACCESS,
                                     sid.data()))
            return;
    if (!::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) ||
        !::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return;
    attributes_ = {sizeof(SECURITY_ATTRIBUTES), &descriptor_, FALSE};
    built_ = true;
}

bool hasTrustedOwner(HANDLE handle, SE_OBJECT_TYPE type) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(handle, type, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS)
        return false;
    const unique_hlocal held(descriptor);
    return equalSid(wellKnownSid(WinLocalSystemSid), owner) ||
           equalSid(wellKnownSid(WinBuiltinAdministratorsSid), owner) || equalSid(currentAccountSid(), owner);
}

bool onlyTrustedCanWrite(HANDLE handle, SE_OBJECT_TYPE type) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(handle, type, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                          &descriptor) != ERROR_SUCCESS)
        return false;
    const unique_hlocal held(descriptor);
    if (dacl == nullptr) return false;
    const SidBytes trusted[] = {wellKnownSid(WinLocalSystemSid), wellKnownSid(WinBuiltinAdministratorsSid),
                                trustedInstallerSid(), currentAccountSid()};
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        void* entry = nullptr;
        if (!::GetAce(dacl, index, &entry)) return false;
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
            return false;  // object or callback entries: not read here, so not trusted
        }
        if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;  // applies to what is made inside
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        if ((allowed->Mask & kChangingRights) == 0) continue;
        const PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        bool known = false;
        for (const auto& candidate : trusted) known = known || equalSid(candidate, sid);
        if (!known) return false;
    }
    return true;
}

bool isTrustedObject(HANDLE handle, SE_OBJECT_TYPE type) {
    return hasTrustedOwner(handle, type) && onlyTrustedCanWrite(handle, type);
}

}  // namespace tidewell
