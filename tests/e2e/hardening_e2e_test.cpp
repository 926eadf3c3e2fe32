// OK from end to end where the surroundings are not the usual ones: the program started from
// a folder on another drive than its own, without TEMP. The real VantleSetup.exe through
// Wine's ADO and the stand-in provider, the real cmd.exe and the stand-in tools.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "e2e/install_fixture_win.h"

namespace vantle::e2e {
namespace {

using testing::BinFolder;
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

TEST_F(InstallTest, WithoutTempEveryStepNamesTheLogOnTheCurrentFoldersDrive) {
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

    ASSERT_NE(Start({.environment = {{L"TEMP", std::nullopt}, {L"TMP", std::nullopt}},
                     .currentFolder = current.Path()}),
              nullptr);
    PressOk();
    // The run ends with a log shown, and so the program with it, never in a report.
    HWND report = nullptr;
    ASSERT_TRUE(testing::WaitUntil(
        [&] { return (report = WaitForReport(0ms)) != nullptr || !process_.IsRunning(); }, 60s))
        << "the program neither ended nor reported";
    ASSERT_EQ(report, nullptr) << testing::ToUtf8Text(ReadMessageBox(report).text);
    DWORD exitCode = 99;
    ASSERT_TRUE(process_.WaitForExit(10s, &exitCode));
    EXPECT_EQ(exitCode, 0u);

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
}  // namespace vantle::e2e
