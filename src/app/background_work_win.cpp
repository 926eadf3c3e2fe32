#include "app/background_work_win.h"

#include <exception>
#include <memory>
#include <utility>

#include "common/com_apartment_win.h"
#include "common/message_wait_win.h"
#include "common/unique_handle_win.h"

namespace vantle {
namespace {

// Shared by the caller and the thread: whichever lets go last frees it, so an abandoned
// thread never writes into memory its caller has already left.
struct Job {
    explicit Job(std::function<void()> w) : work(std::move(w)) {}
    std::function<void()> work;
    std::exception_ptr failure;
};

void Execute(Job& job) {
    // The thread that creates ADO's objects is where their apartment is chosen.
    const ComApartment com;
    try {
        job.work();
    } catch (...) {
        job.failure = std::current_exception();
    }
}

DWORD WINAPI RunJob(void* parameter) {
    const std::unique_ptr<std::shared_ptr<Job>> job(static_cast<std::shared_ptr<Job>*>(parameter));
    Execute(**job);
    return 0;
}

}  // namespace

bool RunInBackground(std::function<void()> work, HANDLE giveUp) {
    const auto job = std::make_shared<Job>(std::move(work));
    auto threadsShare = std::make_unique<std::shared_ptr<Job>>(job);
    const UniqueHandle thread(CreateThread(nullptr, 0, &RunJob, threadsShare.get(), 0, nullptr));
    if (!thread) {
        // No thread to be had: do the work here, with the window still for a while, rather
        // than not at all.
        Execute(*job);
    } else {
        static_cast<void>(threadsShare.release());  // the thread's own now
        if (WaitKeepingWindowsAlive(thread.Get(), giveUp) == WaitResult::Interrupted) return false;
        // The wait only returns early otherwise when it fails; the job must be over first.
        WaitForSingleObject(thread.Get(), INFINITE);
    }
    if (job->failure) std::rethrow_exception(job->failure);
    return true;
}

}  // namespace vantle
