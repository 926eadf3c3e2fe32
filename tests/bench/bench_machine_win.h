#pragma once

// The folders and profiles of one installed machine for the benchmarks that press OK, as the
// end-to-end tests make them: console.ini names the install folder, whose QVN.ini names the
// server (the stand-in provider acts by it) and the database.
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "install/script_commands.h"
#include "support/standin_calls.h"
#include "support/win_test_support.h"

namespace vantle::bench {

class Machine {
  public:
    explicit Machine(const std::wstring& server) : server_(server) {
        for (const auto& folder : {windir_, install_, temp_, records_})
            std::filesystem::create_directories(folder);
        testing::WriteBytes(windir_ / L"console.ini",
                            "[console]\r\nPath=" + install_.string() + "\r\n");
        testing::WriteBytes(install_ / L"QVN.ini",
                            "[Database]\r\nServer=" + std::filesystem::path(server).string() +
                                "\r\nDatabase=QuillDB\r\n");
    }

    // The stand-in tools first on PATH; their records (and the provider's) in a folder of
    // their own.
    testing::EnvironmentOverrides Environment(int toolSleepMs = 0) const {
        wchar_t path[32767];
        GetEnvironmentVariableW(L"PATH", path, 32767);
        return {{L"windir", windir_.wstring()},
                {L"TEMP", temp_.wstring()},
                {L"PATH", testing::StandinFolder().wstring() + L";" + path},
                {L"VANTLE_FAKE_RECORD_DIR", records_.wstring()},
                {L"VANTLE_FAKE_SQLCMD_LOG", std::wstring(L"write")},
                {L"VANTLE_FAKE_SQLCMD_SLEEP", std::to_wstring(toolSleepMs)}};
    }

    // The connection string the program makes of these plain settings.
    std::wstring ConnectionString() const {
        return L"Provider=sqloledb;Data Source=" + server_ +
               L";Initial Catalog=QuillDB;User Id=quillmar;Password=8vek3";
    }

    // The line the program gives cmd.exe for these plain settings; the program itself leaves
    // the password off it and puts it in SQLCMDPASSWORD.
    std::wstring ToolLine(bool passwordOnLine = true) const {
        return L"cmd.exe /c sqlcmd -S " + server_ + L" -U quillmar " +
               (passwordOnLine ? L"-P 8vek3 " : L"") + L"-d QuillDB -i \"" +
               (testing::BinFolder() / kScriptFileName).wstring() + L"\" -o \"" + Log().wstring() +
               L"\"";
    }

    // The stand-in sqlcmd writes its record first thing: its appearance is the tool's start.
    bool WaitForToolStart(std::chrono::milliseconds timeout) const {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (GetFileAttributesW(ToolRecord().c_str()) == INVALID_FILE_ATTRIBUTES) {
            if (std::chrono::steady_clock::now() > end) return false;
            Sleep(1);
        }
        return true;
    }

    void Forget() const {
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(records_, ignored))
            std::filesystem::remove(entry, ignored);
        std::filesystem::remove(Log(), ignored);
    }

  private:
    std::filesystem::path ToolRecord() const { return records_ / L"sqlcmd.calls"; }
    std::filesystem::path Log() const { return temp_ / kResultLogName; }

    std::wstring server_;
    testing::TempDir root_{L"okbench"};
    std::filesystem::path windir_ = root_.Path() / L"Windows";
    std::filesystem::path install_ = root_.Path() / L"Quill";
    std::filesystem::path temp_ = root_.Path() / L"Temp";
    std::filesystem::path records_ = root_.Path() / L"records";
};

}  // namespace vantle::bench
