// The program of the test suites that drive windows and views: the application object that
// reports failures, on Qt's offscreen platform, then the tests.
#include <gtest/gtest.h>

#include <QThreadPool>

#include "views/failure_reporting.h"

// A failure thrown out of a handler unwinds through Qt's own frames on its way to the
// application's failure handler; Qt does not clean those frames up: the guard of the receiving
// widget (a QPointer's 16-byte reference count) and the strings those frames held stay behind.
// Such leaks are bounded by the failures shown to the user.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:QtSharedPointer::ExternalRefCountData::getAndRef\n"
           "leak:QArrayData::allocate\n";
}

int main(int argc, char** argv) {
    // Listing the tests (outside CTest's environment) needs no screen either.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // Qt's pooled worker threads end now, not in a race with the leak check at exit.
    QThreadPool::globalInstance()->waitForDone();
    return result;
}
