#include "session.h"

#include <msiquery.h>

namespace tidewell::test {

Session::Session(Package& package) {
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    result_ = MsiOpenPackageW(package.build().c_str(), &handle_);
}

Session::~Session() {
    if (handle_ != 0) MsiCloseHandle(handle_);
}

UINT Session::cost() {
    for (const wchar_t* action : {L"CostInitialize", L"FileCost", L"CostFinalize"}) {
        const UINT result = MsiDoActionW(handle_, action);
        if (result != ERROR_SUCCESS) return result;
    }
    return ERROR_SUCCESS;
}

}  // namespace tidewell::test
