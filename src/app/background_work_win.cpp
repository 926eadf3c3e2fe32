#include "app/background_work_win.h"

#include <windows.h>

#include <exception>

#include "common/com_apartment_win.h"
#include "common/message_wait_win.h"
#include "common/unique_handle_win.h"

namespace vantle {
namespace {

struct Job {
    const std::function<void()>& work;
    std::exception_ptr failure;
};

DWORD WINAPI RunJob(void* parameter) {
    auto* job = static_cast<Job*>(parameter);
    // The thread that creates ADO's objects is where their apartment is chosen.
    const ComApartment com;
    try {
        job->work();
    } catch (...) {
        job->failure = std::current_exception();
    }
    return 0;
}

}  // namespace

void RunInBackground(const std::function<void()>& work) {
    Job job{work, nullptr};
    const UniqueHandle thread(CreateThread(nullptr, 0, &RunJob, &job, 0, nullptr));
    if (!thread) {
        // No thread to be had: do the work here, with the window still for a while, rather
        // than not at all.
        RunJob(&job);
    } else {
        WaitKeepingWindowsAlive(thread.Get());
        // The wait only returns early when it fails; the job must be over before it goes.
        WaitForSingleObject(thread.Get(), INFINITE);
    }
    if (job.failure) std::rethrow_exception(job.failure);
}

}  // namespace vantle
