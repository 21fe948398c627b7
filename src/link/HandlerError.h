#pragma once

#include <exception>

// The windows' general error box for a failing handler: "Error number: " & number & " " &
// description, titled "VKM". Exceptions that are not VbError show number 0.
void ShowHandlerError(const std::exception &e);
