#pragma once
// The test entry with our application object, its resources and the
// environment values computed as at start-up.

#include "WindowTestSupport.h"
#include "app/StartUp.h"
#include "app/VantrixApplication.h"

#define VANTRIX_TEST_MAIN(TestClass)                                                                                   \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        initEnvironment();                                                                                             \
        VantrixApplication app(argc, argv);                                                                            \
        initResources();                                                                                               \
        app.setQuitOnLastWindowClosed(false);                                                                          \
        TestClass test;                                                                                                \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
