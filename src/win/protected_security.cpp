#include "win/protected_security.h"

#include <aclapi.h>

#include "common/unique_any.h"

namespace tidewell {

namespace {

bool equalSid(const SidBytes& sid, PSID other) {
    return !sid.empty() && other != nullptr && ::EqualSid(const_cast<unsigned char*>(sid.data()), other);
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

bool hasTrustedOwner(HANDLE handle) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS)
        return false;
    const unique_hlocal held(descriptor);
    return equalSid(wellKnownSid(WinLocalSystemSid), owner) ||
           equalSid(wellKnownSid(WinBuiltinAdministratorsSid), owner) || equalSid(currentAccountSid(), owner);
}

}  // namespace tidewell
