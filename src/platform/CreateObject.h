#pragma once

#include "platform/Dispatch.h"

#include <functional>
#include <memory>

// Makes a new object of a class.
using DispatchFactory = std::function<std::shared_ptr<Dispatch>()>;

// A new object of the class `progId` (matched without regard to case): from a class
// registered in this process if there is one, else from the program that serves it on the
// session bus (started by activation if need be). VbError 429 "ActiveX component can't
// create object" when neither has it; a refusal of the class's own is thrown as it came.
std::shared_ptr<Dispatch> CreateObject(const QString &progId);

// Classes created in this process, found before the bus: stand-ins and fakes of outside
// programs. Registering a ProgID again replaces its factory.
void RegisterInProcessClass(const QString &progId, DispatchFactory factory);
void UnregisterInProcessClass(const QString &progId);
