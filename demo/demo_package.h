#pragma once
// The demo's package: one package that uses all five features, as an author writes it.
// The package tests check it too (it must come out of tidewell-check clean).
#include <string>

#include "package.h"

namespace tidewell::demo {

inline const std::wstring kRoot = L"D:\\Demo App";
inline const std::wstring kOld = kRoot + L"\\Old version";
inline const std::wstring kConfig = kRoot + L"\\Config";
inline const std::wstring kData = kRoot + L"\\User data";
inline const std::wstring kKey = L"Software\\TidewellDemoApp";
inline const std::wstring kCleanUp = L"VU_CLEAN_RESOURCES_UNINSTALL=\"1\" AND NOT UPGRADINGPRODUCTCODE";

// The demo's tables, rows and the kit's actions in the kit's places.
void buildDemoPackage(test::Package& package);

}  // namespace tidewell::demo
