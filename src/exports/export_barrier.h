#pragma once
// The barrier that keeps every exception inside an export.
#include <windows.h>
#include <msi.h>
#include <type_traits>

#include "msi/action_log.h"
#include "msi/schedule.h"

namespace tidewell {

// The body of an export behind a plain function pointer, so that the barrier's handlers
// exist once in the library rather than once per export.
using GuardedBody = UINT (*)(const void* context, const ActionLog& log);

// Builds the action's log named after the export and runs the body with it; an
// exception that reaches here is logged and turned into resultOnException.
UINT runGuarded(MSIHANDLE installer, const wchar_t* exportName, UINT resultOnException, const void* context,
                GuardedBody call) noexcept;

// Runs an export's body with the action log named after the export. A body that returns
// nothing gives 0; an exception that reaches here is logged and turned into the export's
// documented result instead of crossing into the installer.
template <typename Body>
UINT guardedExport(MSIHANDLE installer, const wchar_t* exportName, UINT resultOnException, Body&& body) noexcept {
    using Callable = std::remove_reference_t<Body>;
    Callable* const target = &body;  // a function's or a closure's address
    return runGuarded(installer, exportName, resultOnException, &target,
                      [](const void* context, const ActionLog& log) -> UINT {
                          Callable& run = **static_cast<Callable* const*>(context);
                          if constexpr (std::is_void_v<std::invoke_result_t<Callable&, const ActionLog&>>) {
                              run(log);
                              return ERROR_SUCCESS;
                          } else {
                              return run(log);
                          }
                      });
}

}  // namespace tidewell
