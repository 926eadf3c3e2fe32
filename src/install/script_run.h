#pragma once

#include "common/environment.h"
#include "dialog/dialog_fields.h"
#include "install/file_system.h"
#include "install/script_commands.h"
#include "process/process_runner.h"

namespace vantle {

// The second half of an install: runs TableScripts.sql through sqlcmd (osql when sqlcmd has
// left no result log), hidden, and opens the result log in Notepad. The program itself never
// reads the script or the log.
class ScriptRun {
  public:
    ScriptRun(const DialogFields& fields, const Environment& environment, FileSystem& files,
              ProcessRunner& runner);

    // Every step below under the install run's rule: a failing step is skipped, and a failing
    // existence test lets the step it guards run.
    void RunAll();

    // The steps one by one; each raises its own failure.
    bool ResultLogExists() const;
    void DeleteResultLog();
    void RunTool(ScriptTool tool);
    void OpenResultLog();

  private:
    ProgramCommand Interpreter(const std::wstring& commandLine) const;
    std::wstring TempFolder() const { return environment_.Variable(L"TEMP"); }

    const DialogFields& fields_;
    const Environment& environment_;
    FileSystem& files_;
    ProcessRunner& runner_;
};

}  // namespace vantle
