#include "support/standin_calls.h"

#include <windows.h>

#include <sstream>

#include "support/hex.h"
#include "support/win_test_support.h"

namespace vantle::testing {

std::filesystem::path StandinFolder() {
    return BinFolder() / L"standins";
}

std::vector<StandinCall> ReadCalls(const std::filesystem::path& recordFolder,
                                   const std::wstring& tool) {
    std::vector<StandinCall> calls;
    std::istringstream lines(ReadBytes(recordFolder / (tool + L".calls")));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string hex;
        StandinCall call;
        bool first = true;
        while (fields >> hex) {
            const std::wstring value = FromUtf8Text(FromHex(hex.substr(1)));
            switch (hex[0]) {
                case 'd':
                    call.currentFolder = value;
                    break;
                case 'm':
                    call.programFile = value;
                    break;
                case 's':
                    call.sqlcmdPassword = value;
                    break;
                case 'o':
                    call.osqlPassword = value;
                    break;
                case 'p':
                    call.wouldPrompt = true;
                    break;
                case 'i':
                    call.processId = std::stoul(FromHex(hex.substr(1)));
                    break;
                case 'q':
                    call.parentProcessId = std::stoul(FromHex(hex.substr(1)));
                    break;
                default:
                    if (first) {
                        call.commandLine = value;
                    } else {
                        call.args.push_back(value);
                    }
                    first = false;
            }
        }
        calls.push_back(call);
    }
    return calls;
}

namespace {

std::wstring GetVariable(const wchar_t* name) {
    std::wstring value(32767, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), 32767));
    return value;
}

}  // namespace

StandinSetup::StandinSetup(const std::filesystem::path& recordFolder)
    : oldPath_(GetVariable(L"PATH")) {
    SetEnvironmentVariableW(L"VANTLE_FAKE_RECORD_DIR", recordFolder.c_str());
    SetEnvironmentVariableW(L"PATH", (StandinFolder().wstring() + L";" + oldPath_).c_str());
    for (const wchar_t* tool : {L"sqlcmd", L"osql", L"notepad"}) Behave(tool, false);
}

StandinSetup::~StandinSetup() {
    SetEnvironmentVariableW(L"PATH", oldPath_.c_str());
    SetEnvironmentVariableW(L"VANTLE_FAKE_RECORD_DIR", nullptr);
}

void StandinSetup::Behave(const std::wstring& tool, bool writesLog, unsigned exitCode) {
    std::wstring upper;
    for (const wchar_t c : tool) upper += static_cast<wchar_t>(towupper(c));
    SetEnvironmentVariableW((L"VANTLE_FAKE_" + upper + L"_LOG").c_str(),
                            writesLog ? L"write" : nullptr);
    SetEnvironmentVariableW((L"VANTLE_FAKE_" + upper + L"_EXIT").c_str(),
                            std::to_wstring(exitCode).c_str());
}

}  // namespace vantle::testing
