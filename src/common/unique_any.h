#pragma once
// One owner template for every handle the library holds. The traits carry the handle
// type, its invalid value and how to close it; an alias per resource kind follows.
#include <windows.h>
#include <msi.h>
#include <utility>

namespace tidewell {

template <typename Traits>
class unique_any {
public:
    using pointer = typename Traits::type;

    unique_any() noexcept : value_(Traits::invalid()) {}
    explicit unique_any(pointer value) noexcept : value_(value) {}
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    unique_any(unique_any&& other) noexcept : value_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~unique_any() { reset(); }

    pointer get() const noexcept { return value_; }
    bool is_valid() const noexcept { return value_ != Traits::invalid(); }
    explicit operator bool() const noexcept { return is_valid(); }

    // Closes what is held (keeping the thread's last error) and holds the new value.
    void reset(pointer value = Traits::invalid()) noexcept {
        if (is_valid()) {
            const DWORD lastError = ::GetLastError();
            Traits::close(value_);
            ::SetLastError(lastError);
        }
        value_ = value;
    }

    pointer release() noexcept { return std::exchange(value_, Traits::invalid()); }

    // Output slot for an API that writes a fresh handle: what was held is closed first.
    pointer* put() noexcept {
        reset();
        return &value_;
    }

private:
    pointer value_;
};

namespace traits {
struct msi_handle {
    using type = MSIHANDLE;
    static type invalid() noexcept { return 0; }
    static void close(type h) noexcept { ::MsiCloseHandle(h); }
};
struct hkey {
    using type = HKEY;
    static type invalid() noexcept { return nullptr; }
    static void close(type h) noexcept { ::RegCloseKey(h); }
};
struct hfind {
    using type = HANDLE;
    static type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(type h) noexcept { ::FindClose(h); }
};
struct hfile {
    using type = HANDLE;
    static type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(type h) noexcept { ::CloseHandle(h); }
};
struct handle {
    using type = HANDLE;
    static type invalid() noexcept { return nullptr; }
    static void close(type h) noexcept { ::CloseHandle(h); }
};
struct hmodule {
    using type = HMODULE;
    static type invalid() noexcept { return nullptr; }
    static void close(type h) noexcept { ::FreeLibrary(h); }
};
struct attribute_list {
    using type = LPPROC_THREAD_ATTRIBUTE_LIST;
    static type invalid() noexcept { return nullptr; }
    static void close(type h) noexcept { ::DeleteProcThreadAttributeList(h); }
};
struct hlocal {
    using type = HLOCAL;
    static type invalid() noexcept { return nullptr; }
    static void close(type h) noexcept { ::LocalFree(h); }
};
}  // namespace traits

using unique_msihandle = unique_any<traits::msi_handle>;
using unique_hkey = unique_any<traits::hkey>;
using unique_hfind = unique_any<traits::hfind>;
using unique_hfile = unique_any<traits::hfile>;
using unique_handle = unique_any<traits::handle>;
using unique_hmodule = unique_any<traits::hmodule>;
using unique_hlocal = unique_any<traits::hlocal>;
// The list is initialised in memory its caller owns (declared before it).
using unique_attribute_list = unique_any<traits::attribute_list>;

}  // namespace tidewell
