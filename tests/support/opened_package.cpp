#include "opened_package.h"

#include <msiquery.h>

namespace tidewell::test {

OpenedPackage::OpenedPackage(Package& package) {
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    result_ = MsiOpenPackageW(package.build().c_str(), handle_.put());
}

UINT OpenedPackage::cost() {
    for (const wchar_t* action : {L"CostInitialize", L"FileCost", L"CostFinalize"}) {
        const UINT result = MsiDoActionW(handle_.get(), action);
        if (result != ERROR_SUCCESS) return result;
    }
    return ERROR_SUCCESS;
}

}  // namespace tidewell::test
