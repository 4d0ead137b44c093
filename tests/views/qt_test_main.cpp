// The program of the test suites that drive windows and views: the application object that
// reports failures, on Qt's offscreen platform, then the tests.
#include <gtest/gtest.h>

#include <QThread>
#include <QThreadPool>
#include <filesystem>

#include "views/failure_reporting.h"

// A failure thrown out of a handler unwinds through Qt's own frames on its way to the
// application's failure handler; Qt does not clean those frames up: the guard of the receiving
// widget (a QPointer's 16-byte reference count) and the strings those frames held stay behind.
// Such leaks are bounded by the failures shown to the user.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:QtSharedPointer::ExternalRefCountData::getAndRef\n"
           "leak:QArrayData::allocate\n";
}

namespace {

std::ptrdiff_t ThreadCount() {
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return std::distance(begin(tasks), end(tasks));
}

// Qt's pooled worker threads (the raster engine fills large areas on them) end now, not in a
// race with the leak check at exit: a worker that waitForDone() has joined still frees its
// thread data on its way out, and the check would count that as a leak.
void EndPooledThreads(std::ptrdiff_t threadsBefore) {
    QThreadPool::globalInstance()->waitForDone();
    for (int waited = 0; ThreadCount() > threadsBefore && waited < 1000; ++waited)
        QThread::msleep(1);
}

}  // namespace

int main(int argc, char** argv) {
    // Listing the tests (outside CTest's environment) needs no screen either.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication application(argc, argv);
    const std::ptrdiff_t threadsBefore = ThreadCount();
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    EndPooledThreads(threadsBefore);
    return result;
}
