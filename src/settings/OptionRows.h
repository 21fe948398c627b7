#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

class ControlSink;

// How a row's control holds its value, shows it and sends it.
enum class RowKind {
    FanMode,     // the three fan options: "{0 ", "{255 " or "}255 "
    Spinner,     // a spinner, with the box that shows its value where it has one: its value
    Deadband,    // the deadband spinner and its box: the spinner takes the box's number
    ServoText,   // a box whose number goes out as it stands; an emptied box sends the bare letter
    FixedPoint,  // a box of the controller's value / 65536 (velocity, acceleration)
    Flag,        // a controller check box: " N0 " or " N255 "
    Hundredths,  // a heater box of the controller's value / 100
    HeaterText,  // a heater box whose number goes out as it stands
    Coefficient, // a temperature-coefficient box: nothing for the controller
    CheckBox,    // a check box the program keeps (0 cleared, 1 checked, 2 grayed)
    Option,      // a registry option's check box, 0 or 1 from a file
    StoredOption, // the same, whose stored setting the file holds and sets
    StepSize,    // the focuser step size: a positive number, never saved
};

// One row of the options window: everything the read-back, the display, the operator's
// edits, the settings file and the upload know of a setting.
struct OptionRow
{
    int entry;            // its change mark; -1 for none
    const char *key;      // its settings-file key
    const char *control;  // the control that holds it
    const char *box;      // the box showing a spinner's value; nullptr for none
    RowKind kind;
    const char *letter;   // its command letter; nullptr when it sends nothing
    const char *reports;  // the report codes that read it back, blank-separated; nullptr for none
    const char *format;   // how a reported number is shown; nullptr for CStr
    double scale;         // the controller's value per shown unit (65536, 100, 1)
    const char *name;     // what the boxes call it
};

namespace OptionRows {

// In the settings file's order.
const std::vector<OptionRow> &all();
const OptionRow *byEntry(int entry);
const OptionRow *byKey(const QString &key);
// The row whose control or box is `name` (a fan option by its index too).
const OptionRow *byControl(const QString &name);

// Writes report `code` with `text` into the row's control; false when no row takes it or
// the value is not one the row shows.
bool readBack(const QString &code, const QString &text, ControlSink &sink);

// The text a fixed-point row shows for the controller's `count`.
QString shownFixedPoint(const OptionRow &row, double count);

// The whole number a velocity or acceleration row sends for `value` (the shown number
// times 65536): the nearest one when within 1e-6, else the one below; beyond a Long throws 6.
int32_t fixedPoint(double value);

// The hundredths a heater row sends for `value`, rounded; beyond a Long throws 6.
int32_t hundredths(double value);

// The exact decimal text of `count` / 65536, which reads back to the same count.
QString exactFixedPoint(int32_t count);

// The focuser step size as every window and file takes it: a strict number (vb::StrictNumber)
// that is a positive Single; nothing otherwise.
std::optional<float> stepSize(const QString &text);

} // namespace OptionRows
