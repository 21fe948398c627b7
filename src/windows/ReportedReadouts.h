#pragma once

class QLabel;
class QWidget;
class Serial;

// The readouts of a control window that show what the controller reported, and what the
// window shows when the port closes.
namespace ReportedReadouts {

// Marks `label` as showing a reported value; returns it.
QLabel *mark(QLabel *label);

// Follows `link` for `window`: once the port closes (however), every marked readout of the
// window shows nothing, no value from before; a port that closed on its own is said in one
// box naming the device and the reason, whichever of the windows follow it.
void follow(QWidget *window, Serial &link);

} // namespace ReportedReadouts
