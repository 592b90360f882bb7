// Custom actions that drive the library's framework from inside real installations and
// write what they saw under C:\tw-probe, where the tests look.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>
#include <vector>

#include "common/unique_any.h"
#include "exports/export_barrier.h"
#include "msi/schedule.h"
#include "msi/action_data.h"
#include "msi/session.h"
#include "msi/row_decider.h"
#include "msi/table_reader.h"

using namespace tidewell;

namespace {

const std::wstring kProbeFolder = L"C:\\tw-probe\\";

void writeBytes(const std::wstring& path, const void* data, size_t size, bool append) {
    CreateDirectoryW(kProbeFolder.c_str(), nullptr);
    const unique_hfile file(CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, 0, nullptr,
                                        append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr);
}

void appendLine(const std::wstring& file, const std::wstring& line) {
    const std::wstring text = line + L"\n";
    writeBytes(kProbeFolder + file, text.data(), text.size() * sizeof(wchar_t), true);
}

}  // namespace

// Schedules each action named in PROBE_ACTIONS (separated by ";") with PROBE_DATA as its
// work list, then records what the action's property holds afterwards.
extern "C" UINT __stdcall ScheduleProbe(MSIHANDLE installer) {
    const ActionLog log(installer, L"ScheduleProbe");
    const std::wstring data = getProperty(installer, L"PROBE_DATA");
    for (const auto& action : splitText(getProperty(installer, L"PROBE_ACTIONS"), L';')) {
        if (!scheduleAction(log, action, data)) {
            appendLine(L"immediate.txt", L"failed:" + action);
            return kInstallFailure;
        }
        appendLine(L"immediate.txt", L"after:" + action + L"=" + getProperty(installer, action));
    }
    return ERROR_SUCCESS;
}

// Writes the CustomActionData it received, byte for byte, into the next free
// deferred-<n>.bin file.
extern "C" UINT __stdcall RecordData(MSIHANDLE installer) {
    const std::wstring data = ActionData::fromSession(installer).text();
    for (int n = 0; n < 100; ++n) {
        const std::wstring path = kProbeFolder + L"deferred-" + std::to_wstring(n) + L".bin";
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
        writeBytes(path, data.data(), data.size() * sizeof(wchar_t), false);
        break;
    }
    return ERROR_SUCCESS;
}

// Writes a small file at the path that CustomActionData names, at the action's place in
// the script: something that appears while the installation runs.
extern "C" UINT __stdcall WriteNamedFile(MSIHANDLE installer) {
    const std::wstring path = ActionData::fromSession(installer).text();
    const char text[] = "written while the installation runs";
    const unique_hfile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) WriteFile(file.get(), text, sizeof text - 1, &written, nullptr);
    return ERROR_SUCCESS;
}

// Fails the installation, so that the rollback script runs.
extern "C" UINT __stdcall FailInstall(MSIHANDLE) { return ERROR_INSTALL_FAILURE; }

// For every row of TW_SelectCase, records the library's row decision as "Case=1" or
// "Case=0" in select.txt.
extern "C" UINT __stdcall ProbeSelectRow(MSIHANDLE installer) {
    MsiTableReader reader(installer);
    reader.openTable(L"TW_SelectCase");
    RowDecider decider(installer);
    for (const auto& row : reader.rows()) {
        const RowDecision decision =
            decider.decide(row.value(L"Component_"), row.value(L"Condition"), row.value(L"InstallMode"));
        appendLine(L"select.txt", row.value(L"Case") + L"=" + (decision.taken ? L"1" : L"0") + L" " + decision.reason);
    }
    return ERROR_SUCCESS;
}

// Appends "NAME=value" to props.txt for every property named in PROBE_PROPERTIES (";").
extern "C" UINT __stdcall RecordProperties(MSIHANDLE installer) {
    for (const auto& name : splitText(getProperty(installer, L"PROBE_PROPERTIES"), L';'))
        appendLine(L"props.txt", name + L"=" + getProperty(installer, name));
    return ERROR_SUCCESS;
}

// Makes the runtime throw inside the library's export barrier, as a lack of memory or a
// length the runtime refuses would: the barrier, built as in Tidewell.dll, must log the
// runtime's text and return the export's result instead of letting the exception out.
extern "C" UINT __stdcall ThrowInsideBarrier(MSIHANDLE installer) {
    return guardedExport(installer, L"ThrowInsideBarrier", ERROR_INSTALL_FAILURE, [](const ActionLog&) {
        std::vector<wchar_t> items;
        items.reserve(items.max_size() + 1);
        return static_cast<UINT>(ERROR_SUCCESS);
    });
}
