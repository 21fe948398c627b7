#pragma once

#include "platform/VbError.h"

#include <QPointer>
#include <memory>

// An object reached through a reference that may be empty (an automation object, a window
// that may have closed): the object, or VbError 91 "Object variable or With block variable
// not set" as VB raised it for a variable set to Nothing. Never a raw dereference.
template <typename T> T &Held(T *object)
{
    if (!object)
        throw VbError::objectNotSet();
    return *object;
}

template <typename T> T &Held(const std::shared_ptr<T> &object)
{
    return Held(object.get());
}

template <typename T> T &Held(const QPointer<T> &object)
{
    return Held(object.data());
}
