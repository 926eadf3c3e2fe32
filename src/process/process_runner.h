#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "common/environment_block.h"
#include "common/error.h"

namespace vantle {

// The runner's own failures: fixed numbers, its name as the source.
inline constexpr std::int32_t kErrorExitCode = ErrorNumber(0x8004AA00u);
inline constexpr std::int32_t kErrorOpenProcess = ErrorNumber(0x8004AA01u);
inline constexpr std::int32_t kErrorShell = ErrorNumber(0x8004AA02u);
// The wait for a program to end failed: the program was ended (when it ends with this one)
// rather than left running beside whatever comes next. The description carries the system's
// number and words.
inline constexpr std::int32_t kErrorWaitFailed = ErrorNumber(0x8004AA03u);
inline constexpr const wchar_t* kSyncShellSource = L"SyncShell";
inline constexpr const wchar_t* kExitCodeFailure = L"Failed to retrieve exit code, error ";
inline constexpr const wchar_t* kOpenFailure = L"Failed to open child process";
inline constexpr const wchar_t* kShellFailure = L"Failed to Shell child process";
inline constexpr const wchar_t* kWaitFailure = L"Failed to wait for child process, error ";

// Raised by a runner that was given a stop request, when the request ended the program (and
// everything it had started) before it ended by itself. Not one of SyncShell's own failures:
// a run without a stop request never raises it.
inline constexpr std::int32_t kErrorStopped = ErrorNumber(0x800704C7u);  // ERROR_CANCELLED
inline constexpr const wchar_t* kStoppedDescription = L"Stopped by the operator";

// How a stop or a failed wait ended a program that ends with this one: by its job, which holds
// everything it started; or, without one, with whatever the processes' parent links still showed
// it had started. What left the tree that way (a program whose parent had ended first) may run
// on. Without a job is when none could be had (Windows 7 inside a job that allows no
// breakaway), or when the job itself could not be ended.
enum class EndedBy { Job, ParentLinksNoJob, ParentLinksJobNotEnded };

// What ends the error's description when it was not the job.
inline constexpr const wchar_t* kEndedWithoutAJob =
    L" (not in a job of this program's: ended with the programs found started from it)";
inline constexpr const wchar_t* kEndedWhenTheJobWasNot =
    L" (its job could not be ended: ended with the programs found started from it)";
inline const wchar_t* EndedNote(EndedBy how) {
    switch (how) {
        case EndedBy::ParentLinksNoJob:
            return kEndedWithoutAJob;
        case EndedBy::ParentLinksJobNotEnded:
            return kEndedWhenTheJobWasNot;
        case EndedBy::Job:
            break;
    }
    return L"";
}
// Read back from a raised stop or failed wait.
inline EndedBy HowEnded(const Error& error) {
    const std::wstring& text = error.Description();
    for (const EndedBy how : {EndedBy::ParentLinksNoJob, EndedBy::ParentLinksJobNotEnded}) {
        const std::wstring note = EndedNote(how);
        if (text.size() >= note.size() &&
            text.compare(text.size() - note.size(), note.size(), note) == 0)
            return how;
    }
    return EndedBy::Job;
}

// Show states in the platform's numbering.
inline constexpr std::int32_t kWindowHidden = 0;

// How to start one program. Handles are never inherited.
struct ProgramCommand {
    ProgramCommand() = default;
    ProgramCommand(std::wstring program, std::wstring line)
        : application(std::move(program)), commandLine(std::move(line)) {}

    // The program file to run. Empty: the platform finds the program named first in the
    // command line by its own search rules (program folder, current folder, then PATH).
    std::wstring application;
    std::wstring commandLine;
    // Set in the child's environment only; the program's own environment is left alone.
    EnvironmentOverrides environment;
    // The child's current folder; empty: the program's own.
    std::wstring currentFolder;
    // The child and everything it starts end together: when a stop request ends it, when it
    // ends itself (whatever it left running goes with it), and when this program ends, however
    // it ends. A program meant to outlive this one (Notepad) is started without.
    bool endsWithThisProgram = false;
};

// Runs a command line as a new process and waits for it to end.
class ProcessRunner {
  public:
    virtual ~ProcessRunner() = default;
    // Returns the exit code unchanged; raises Error on failure.
    virtual std::int32_t Run(const ProgramCommand& command, std::int32_t windowStyle) = 0;
};

}  // namespace vantle
