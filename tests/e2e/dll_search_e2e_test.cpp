// A DLL lying beside the program, or in the folder it is started from, under a name that a
// provider beneath ADO loads by bare name (as real providers load their network libraries),
// never runs inside the program: the real VantleSetup.exe through Wine's ADO and the stand-in
// provider, which loads "vantle_netlib.dll" as it connects.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "e2e/install_fixture_win.h"

namespace vantle::e2e {
namespace {

TEST_F(InstallTest, APlantedDllInTheProgramOrTheCurrentFolderIsNeverLoaded) {
    // The program as an operator runs it from a Downloads folder, with its script; started
    // from another folder. Someone left the DLL in one of the two.
    for (const bool besideTheProgram : {true, false}) {
        SCOPED_TRACE(besideTheProgram ? "beside the program" : "in the current folder");
        const testing::TempDir downloads{L"downloads"}, current{L"cwd"};
        std::filesystem::copy_file(testing::BinFolder() / L"VantleSetup.exe",
                                   downloads.Path() / L"VantleSetup.exe");
        testing::WriteBytes(downloads.Path() / L"TableScripts.sql", "select 1\r\n");
        std::filesystem::copy_file(
            testing::BinFolder() / L"planted" / L"vantle_netlib.dll",
            (besideTheProgram ? downloads : current).Path() / L"vantle_netlib.dll");
        for (const wchar_t* record : {L"planted", L"provider", L"sqlcmd", L"notepad"})
            std::filesystem::remove(root_.Path() / (std::wstring(record) + L".calls"));
        ASSERT_NE(Start({.exe = (downloads.Path() / L"VantleSetup.exe").wstring(),
                         .currentFolder = current.Path()}),
                  nullptr);
        PressOk();
        DWORD exitCode = 99;
        ASSERT_TRUE(process_.WaitForExit(60s, &exitCode)) << "the run did not go on as usual";
        EXPECT_EQ(exitCode, 0u);
        const auto planted = Calls(L"planted");
        EXPECT_TRUE(planted.empty())
            << "loaded from " << testing::ToUtf8Text(planted.at(0).commandLine);
        const auto calls = ProviderCalls();
        EXPECT_NE(std::find(calls.begin(), calls.end(), L"load vantle_netlib.dll: not found"),
                  calls.end())
            << "the provider did not ask, or found a copy";
        ASSERT_EQ(Calls(L"sqlcmd").size(), 1u);
        EXPECT_EQ(Calls(L"sqlcmd")[0].args.at(8),
                  (downloads.Path() / L"TableScripts.sql").wstring());
        EXPECT_TRUE(testing::WaitUntil([&] { return !Calls(L"notepad").empty(); }, 20s));
        // Notepad's cmd.exe may still be ending, holding the folder.
        Sleep(1000);
    }
}

}  // namespace
}  // namespace vantle::e2e
