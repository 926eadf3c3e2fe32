// OK from end to end where the surroundings are not the usual ones: the program started from
// a folder on another drive than its own, without TEMP. The dialog, profiles, cmd.exe, child
// processes and files are real; the database is the harness's in-process stand-in.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "dialog/layout.h"
#include "support/standin_calls.h"
#include "support/win_test_support.h"

namespace vantle {
namespace {

using namespace std::chrono_literals;
using testing::BinFolder;
using testing::ChildProcess;
using testing::ReadCalls;
using testing::StandinCall;
using testing::TempDir;
using testing::WriteBytes;

// A file this test may leave behind outside its own folders: removed at the end unless it was
// there before.
class LeftBehind {
  public:
    explicit LeftBehind(std::filesystem::path file)
        : file_(std::move(file)), existed_(std::filesystem::exists(file_)) {}
    LeftBehind(const LeftBehind&) = delete;
    LeftBehind& operator=(const LeftBehind&) = delete;
    ~LeftBehind() {
        std::error_code ignored;
        if (!existed_) std::filesystem::remove(file_, ignored);
    }
    bool Existed() const { return existed_; }

  private:
    std::filesystem::path file_;
    bool existed_;
};

class HardeningTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(windir_);
        std::filesystem::create_directories(install_);
        WriteBytes(windir_ / L"console.ini", "[console]\r\nPath=" + install_.string() + "\r\n");
        WriteBytes(install_ / L"QVN.ini",
                   "[Database]\r\nServer=SQLHOST\\Q1\r\nDatabase=QuillDB\r\n");
    }

    // The harness with the stand-in database holding no tables, the stand-in tools first on
    // PATH and sqlcmd writing its -o file.
    HWND Start(const testing::EnvironmentOverrides& more, const std::filesystem::path& current) {
        const auto exe = BinFolder() / L"VantleSetupHarness.exe";
        wchar_t path[32767];
        GetEnvironmentVariableW(L"PATH", path, 32767);
        testing::EnvironmentOverrides environment{
            {L"windir", windir_.wstring()},
            {L"PATH", testing::StandinFolder().wstring() + L";" + path},
            {L"VANTLE_FAKE_RECORD_DIR", root_.Win()},
            {L"VANTLE_FAKE_DB", std::wstring(L"absent")},
            {L"VANTLE_FAKE_SQLCMD_LOG", std::wstring(L"write")}};
        for (const auto& [name, value] : more) environment[name] = value;
        process_ = ChildProcess::Start(exe, L"\"" + exe.wstring() + L"\"", environment, current);
        form_ = testing::WaitForTopWindow(process_.Id(), L"Setup Vantle Tables", 30s);
        if (form_ == nullptr) ADD_FAILURE() << "the dialog did not appear";
        return form_;
    }
    void PressOk() { PostMessageW(GetDlgItem(form_, kIdOk), BM_CLICK, 0, 0); }
    // The run ends with a log shown, and so the program with it; a report box instead fails
    // the test with the report's text.
    void ExpectEndWithoutReport() {
        HWND box = nullptr;
        ASSERT_TRUE(testing::WaitUntil(
            [&] {
                box = testing::WaitForMessageBox(process_.Id(), L"Setup Vantle Tables", 0ms);
                return box != nullptr || !process_.IsRunning();
            },
            60s))
            << "the program neither ended nor reported";
        std::wstring report;
        for (HWND c = box ? GetWindow(box, GW_CHILD) : nullptr; c; c = GetWindow(c, GW_HWNDNEXT))
            report += testing::WindowText(c) + L" ";
        ASSERT_EQ(box, nullptr) << testing::ToUtf8Text(report);
        DWORD exitCode = 99;
        ASSERT_TRUE(process_.WaitForExit(10s, &exitCode));
        EXPECT_EQ(exitCode, 0u);
    }
    std::vector<StandinCall> Calls(const std::wstring& tool) const {
        return ReadCalls(root_.Path(), tool);
    }

    TempDir root_{L"hard"};
    std::filesystem::path windir_ = root_.Path() / L"Windows";
    std::filesystem::path install_ = root_.Path() / L"Quill";
    ChildProcess process_;
    HWND form_ = nullptr;
};

TEST_F(HardeningTest, WithoutTempEveryStepNamesTheLogOnTheCurrentFoldersDrive) {
    // The program lies on one drive (Z: under Wine) and is started from a folder on another
    // (C:), as from a share or a stick: "\TableScriptResults.log" is a different file for the
    // program and for the tools, which run in the program folder.
    const TempDir current{L"cur"};
    if (current.Path().root_name() == BinFolder().root_name())
        GTEST_SKIP() << "needs the program on another drive than the temporary folder";
    const std::filesystem::path log = current.Path().root_path() / L"TableScriptResults.log";
    const LeftBehind cleanUp(log);
    const LeftBehind programDrive(BinFolder().root_path() / L"TableScriptResults.log");
    WriteBytes(log, "an old log");

    ASSERT_NE(Start({{L"TEMP", std::nullopt}, {L"TMP", std::nullopt}}, current.Path()), nullptr);
    PressOk();
    ExpectEndWithoutReport();

    const auto sqlcmd = Calls(L"sqlcmd");
    ASSERT_EQ(sqlcmd.size(), 1u);
    ASSERT_GE(sqlcmd[0].args.size(), 2u);
    EXPECT_EQ(sqlcmd[0].args[sqlcmd[0].args.size() - 2], L"-o");
    EXPECT_EQ(sqlcmd[0].args.back(), log.wstring());
    EXPECT_TRUE(Calls(L"osql").empty()) << "sqlcmd wrote the log: no fallback";
    ASSERT_TRUE(testing::WaitUntil([&] { return !Calls(L"notepad").empty(); }, 20s));
    EXPECT_EQ(Calls(L"notepad")[0].args.at(1), log.wstring());
    // The old log was deleted before sqlcmd wrote its own (the stand-in appends).
    EXPECT_EQ(testing::ReadBytes(log), "sqlcmd wrote this\r\n");
    if (!programDrive.Existed()) {
        EXPECT_FALSE(std::filesystem::exists(BinFolder().root_path() / L"TableScriptResults.log"))
            << "a tool wrote on the program's drive";
    }
}

}  // namespace
}  // namespace vantle
