#pragma once

// Reading what the stand-in tools recorded (see standins/fake_tool.cpp).
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vantle::testing {

struct StandinCall {
    std::wstring commandLine;
    std::vector<std::wstring> args;  // as CommandLineToArgvW split them, argv[0] included
    std::wstring currentFolder;
    std::wstring programFile;                    // which copy of the stand-in ran
    std::optional<std::wstring> sqlcmdPassword;  // SQLCMDPASSWORD as inherited, if set
    std::optional<std::wstring> osqlPassword;    // OSQLPASSWORD as inherited, if set
    bool wouldPrompt = false;  // no -P and no password variable: the real tool would hang
    unsigned long processId = 0;
    unsigned long parentProcessId = 0;  // the cmd.exe that started the tool
};

std::vector<StandinCall> ReadCalls(const std::filesystem::path& recordFolder,
                                   const std::wstring& tool);

// Points the stand-ins of this process and its children at `recordFolder` and puts their
// folder first on PATH, so that cmd.exe finds them as it would find the real tools.
class StandinSetup {
  public:
    explicit StandinSetup(const std::filesystem::path& recordFolder);
    ~StandinSetup();
    StandinSetup(const StandinSetup&) = delete;
    StandinSetup& operator=(const StandinSetup&) = delete;

    // Makes `tool` write its -o file ("write") or not (""), and exit with `exitCode`.
    static void Behave(const std::wstring& tool, bool writesLog, unsigned exitCode = 0);

  private:
    std::wstring oldPath_;
};

std::filesystem::path StandinFolder();

}  // namespace vantle::testing
