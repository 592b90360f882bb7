// The bounds of a program run for the user's script: its output costs no more memory than
// kKeptOutput however much it writes, a child it leaves behind ends with it (its job), and
// a process outside its job that holds its output keeps the caller waiting no longer than
// kOutputGraceMs after it ended. Each child below is a disabled test of this program.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "common/unique_any.h"
#include "win/user_process.h"
#include "child_run.h"
#include "scoped_variable.h"

using namespace tidewell;

namespace {

constexpr size_t kFloodBytes = 32 * 1024 * 1024;
constexpr const wchar_t* kHolderVariable = L"TIDEWELL_TEST_OUTPUT_HOLDER";
constexpr const char kGrandchildMark[] = "grandchild ";

std::wstring selfPath() {
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    return self;
}

std::wstring childLine(const std::wstring& self, const wchar_t* test) {
    return L"\"" + self + L"\" --gtest_also_run_disabled_tests --gtest_filter=UserProcessBounds.DISABLED_" + test;
}

void writeOut(const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

// Writes far more than a run keeps, and only ends once all of it was read.
TEST(UserProcessBounds, DISABLED_FloodsItsOutput) {
    const std::vector<char> chunk(64 * 1024, 'x');
    for (size_t sent = 0; sent < kFloodBytes; sent += chunk.size()) {
        DWORD written = 0;
        if (!WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr))
            ExitProcess(1);
    }
    ExitProcess(0);
}

// Lives on with the output it inherited, for longer than the test waits.
TEST(UserProcessBounds, DISABLED_HoldsTheOutputAWhile) {
    Sleep(90000);
    ExitProcess(0);
}

// Ends at once, leaving a child that inherited its output and names itself there.
TEST(UserProcessBounds, DISABLED_LeavesAChildHoldingTheOutput) {
    const unique_handle child = test::startChild(L"UserProcessBounds", L"HoldsTheOutputAWhile", nullptr, L"",
                                                test::ChildHandles::Inherited);
    if (!child) ExitProcess(2);
    writeOut(kGrandchildMark + std::to_string(GetProcessId(child.get())) + "\n");
    ExitProcess(0);
}

// Gives a copy of its output to a process outside its job (one of the same user, as the
// user can), then ends.
TEST(UserProcessBounds, DISABLED_HandsItsOutputOutside) {
    wchar_t value[32] = {};
    GetEnvironmentVariableW(kHolderVariable, value, 32);
    const unique_handle holder(OpenProcess(PROCESS_DUP_HANDLE, FALSE, wcstoul(value, nullptr, 10)));
    HANDLE copy = nullptr;
    const bool handed = holder && DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_OUTPUT_HANDLE), holder.get(),
                                                  &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
    ExitProcess(handed ? 0 : 3);
}

TEST(UserProcessBounds, NoProgramKeepsTheCallerWaitingOrFillsItsMemory) {
    const unique_handle holder = test::startChild(L"UserProcessBounds", L"HoldsTheOutputAWhile", nullptr, L"");
    ASSERT_TRUE(holder.is_valid());
    const test::ScopedVariable holderId(kHolderVariable, std::to_wstring(GetProcessId(holder.get())).c_str());
    struct Case {
        const char* what;
        const wchar_t* child;
        OutputEnd end;
        bool floods;
        bool leavesGrandchild;
    } cases[] = {
        {"a flood of output", L"FloodsItsOutput", OutputEnd::Closed, true, false},
        {"a child that keeps the output open", L"LeavesAChildHoldingTheOutput", OutputEnd::Closed, false, true},
        {"a process outside the job that holds the output", L"HandsItsOutputOutside", OutputEnd::LeftOpen, false, false},
    };
    const std::wstring self = selfPath();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto running = std::async(std::launch::async, [&] { return runProgram(self, childLine(self, c.child)); });
        // Bounded so that a failing test cannot hang: the children end by themselves in 90 s.
        ASSERT_EQ(std::future_status::ready, running.wait_for(std::chrono::seconds(60))) << "the call still waits";
        const ProgramRun run = running.get();
        ASSERT_TRUE(run.started) << run.error;
        EXPECT_EQ(0u, run.exitCode);
        EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), run.jobError) << "its processes ran in a job";
        EXPECT_EQ(c.end, run.outputEnd);
        EXPECT_LE(run.output.size(), kKeptOutput);
        EXPECT_LT(run.output.capacity(), 2 * kKeptOutput) << "the kept output never grew past its bound";
        if (c.floods) {
            EXPECT_EQ(kKeptOutput, run.output.size());
            EXPECT_GE(run.discarded + run.output.size(), kFloodBytes) << "everything was read, the rest counted";
        } else {
            EXPECT_EQ(0u, run.discarded);
        }
        if (c.leavesGrandchild) {
            const size_t at = run.output.find(kGrandchildMark);
            ASSERT_NE(std::string::npos, at) << run.output;
            const DWORD id = std::stoul(run.output.substr(at + sizeof(kGrandchildMark) - 1));
            const unique_handle grandchild(OpenProcess(SYNCHRONIZE, FALSE, id));
            EXPECT_TRUE(!grandchild || WaitForSingleObject(grandchild.get(), 5000) == WAIT_OBJECT_0)
                << "the job ended the child it left";
        }
    }
    TerminateProcess(holder.get(), 0);
}
