#pragma once

#include <cstdint>

class Serial;

// Puts the link on another port number without losing it: closed, renumbered and opened
// again (when it was open, or when `open` asks for it). A port that does not open puts the
// link back on its former number, as open as it was, and throws the port's error; while a
// firmware upload owns the line nothing changes and the upload's refusal is thrown. So a
// caller stores the number only once the link is on it, and undoes the move when it cannot.
class LinkPortChange
{
public:
    LinkPortChange(Serial &link, int16_t port, bool open);

    // Puts the link back where it was (a later step, such as storing the port, failed).
    void undo();

private:
    void restore();

    Serial &m_link;
    int16_t m_former;
    bool m_wasOpen;
};
