#pragma once

#include <QIcon>

// Toolbar pictures a desktop user knows: the icon theme's where it has one, else a picture
// of our own drawn in the same spirit.
namespace ToolbarIcons {

QIcon connect();    // a plug in its socket
QIcon disconnect(); // the plug pulled out
QIcon console();    // a small terminal window

} // namespace ToolbarIcons
