#include "msi/statements.h"

#include "common/text.h"

namespace tidewell {

std::wstring quoteName(const std::wstring& name) { return concat({L"`", name, L"`"}); }

std::wstring nameList(const std::vector<std::wstring>& names) {
    std::wstring text;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += L",";
        text += quoteName(names[i]);
    }
    return text;
}

std::wstring buildSelect(const std::wstring& table, const std::vector<std::wstring>& columns,
                         const std::vector<std::wstring>& order, const std::wstring& condition) {
    std::wstring text = L"SELECT ";
    text += columns.empty() ? std::wstring(L"*") : nameList(columns);
    text += concat({L" FROM ", quoteName(table)});
    if (!condition.empty()) text += concat({L" WHERE ", condition});
    if (!order.empty()) text += concat({L" ORDER BY ", nameList(order)});
    return text;
}

std::wstring buildJoinedSelect(const std::vector<std::pair<std::wstring, std::wstring>>& tables) {
    std::wstring text = L"SELECT * FROM ";
    for (size_t i = 0; i < tables.size(); ++i) {
        if (i > 0) text += L", ";
        text += quoteName(tables[i].first);
    }
    text += L" WHERE ";
    for (size_t i = 1; i < tables.size(); ++i) {
        if (i > 1) text += L" AND ";
        text += concat({quoteName(tables[0].first), L".", quoteName(tables[0].second), L" = ",
                quoteName(tables[i].first), L".", quoteName(tables[i].second)});
    }
    return text;
}

std::wstring buildDelete(const std::wstring& table, const std::wstring& column) {
    return concat({L"DELETE FROM ", quoteName(table), L" WHERE ", quoteName(column), L"=?"});
}

UINT runQuery(MSIHANDLE database, const std::wstring& statement, MsiHandleHolder& view,
              const std::vector<std::wstring>& parameters) {
    if (const UINT opened = ::MsiDatabaseOpenViewW(database, statement.c_str(), view.put()); opened != ERROR_SUCCESS)
        return opened;
    MsiHandleHolder record;
    if (!parameters.empty()) {
        record.reset(::MsiCreateRecord(static_cast<UINT>(parameters.size())));
        if (!record) return ERROR_OUTOFMEMORY;
        for (size_t i = 0; i < parameters.size(); ++i)
            if (const UINT set = ::MsiRecordSetStringW(record.get(), static_cast<UINT>(i + 1), parameters[i].c_str());
                set != ERROR_SUCCESS)
                return set;
    }
    return ::MsiViewExecute(view.get(), record.get());
}

}  // namespace tidewell
