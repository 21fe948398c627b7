#pragma once

#include "link/ControlWindowHooks.h"
#include "link/ModuleState.h"
#include "link/ReplyState.h"
#include "platform/ListControl.h"

#include <QList>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>

// Stand-ins for the main window and the console as the lower windows see them: they record
// what is asked of them and install themselves in ControlWindows() while they live.
class FakeControlWindow : public ControlWindowAccess
{
public:
    std::shared_ptr<Serial> link() const override { return serial; }
    void RestartTimer3(int32_t intervalMs) override { timer3Restarts << intervalMs; }

    std::shared_ptr<Serial> serial;
    QList<int32_t> timer3Restarts;
};

class FakeList final : public ListControl
{
public:
    int ListCount() const override { return int(entries.size()); }
    QString List(int index) const override { return entries.value(index); }
    void setList(int index, const QString &text) override { entries[index] = text; }
    void AddItem(const QString &text, int index = -1) override { entries.insert(index < 0 ? entries.size() : index, text); }
    void RemoveItem(int index) override { entries.removeAt(index); }
    int ListIndex() const override { return selected; }
    void setListIndex(int index) override
    {
        selected = index;
        clicks << index;
    }

    QStringList entries;
    int selected = -1;
    QList<int> clicks; // selections from code, each a click
};

class FakeMainWindow final : public MainWindowAccess
{
public:
    FakeMainWindow() { ControlWindows().Main = this; }
    ~FakeMainWindow() { ControlWindows().Main = nullptr; }

    std::shared_ptr<Serial> link() const override { return serial; }
    void RestartTimer3(int32_t intervalMs) override { timer3Restarts << intervalMs; }
    void Handle_Received(const QString &chunk) override
    {
        received << chunk;
        if (parse)
            parse(chunk);
    }
    QString RotatorCaption() const override { return rotatorCaption; }
    void setRotatorGotoText(const QString &text) override { rotatorGotoText = text; }
    int16_t primaryCoverMode() const override { return coverMode; }
    void setPrimaryCoverMode(int16_t mode) override { coverMode = mode; }
    ListControl &FocusList() override { return focusList; }
    ListControl &RotatorList() override { return rotatorList; }

    // Parses the boot loader's ":x" status with the main window's own rule.
    void parseFlashStatus()
    {
        auto reply = std::make_shared<ReplyState>([](QStringView code, QStringView value) {
            if (code == u":x")
                Module().tools.FlashStatusReport(value);
        });
        parse = [reply](const QString &chunk) { reply->Handle_Received(chunk); };
    }

    std::shared_ptr<Serial> serial;
    QList<int32_t> timer3Restarts;
    QStringList received;
    std::function<void(const QString &)> parse; // the test's stand-in for the parser, if any
    QString rotatorCaption;
    QString rotatorGotoText;
    int16_t coverMode = 0;
    FakeList focusList, rotatorList;
};

class FakeConsole final : public FakeControlWindow
{
public:
    FakeConsole() { ControlWindows().Console = this; }
    ~FakeConsole() { ControlWindows().Console = nullptr; }
};
