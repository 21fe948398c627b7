#pragma once

#include "platform/GuardedApplication.h"

#include <gtest/gtest.h>

// In tests an error that reaches the event loop's guard fails the running test, with its
// number and text, instead of showing a box.
inline void FailTestsOnEscapedErrors()
{
    EventLoopGuard::SetReporter([](const VbError &error) {
        ADD_FAILURE() << "an error escaped an event handler: Error number: " << error.number() << ' ' << error.what();
    });
}
