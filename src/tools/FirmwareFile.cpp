#include "tools/FirmwareFile.h"

#include "link/ControlWindowHooks.h"
#include "link/Serial.h"
#include "platform/Held.h"
#include "platform/UserPrompts.h"
#include "platform/VbError.h"
#include "platform/VbFiles.h"

#include <limits>

namespace {

// The failure's description in a box of its own, as the reader reports it.
bool failed(const std::exception &e)
{
    const auto *vbError = dynamic_cast<const VbError *>(&e);
    MsgBox(vbError ? vbError->description() : QString::fromUtf8(e.what()), vbconst::vbOKOnly);
    return true;
}

} // namespace

FirmwareFile::~FirmwareFile()
{
    Close();
}

bool FirmwareFile::OpenFirmwareFile(const QString &fileName)
{
    try {
        Close();
        FirmwareFileNumber = VbFiles::FreeFile();
        VbFiles::Open(FirmwareFileNumber, fileName, VbFiles::Mode::Input);
        int lines = 0;
        while (!VbFiles::EndOfFile(FirmwareFileNumber)) {
            VbFiles::LineInput(FirmwareFileNumber);
            if (++lines > std::numeric_limits<int16_t>::max())
                throw VbError::overflow();
        }
        FirmwareLineCount = int16_t(lines);
        Close();
        FirmwareFileNumber = VbFiles::FreeFile();
        VbFiles::Open(FirmwareFileNumber, fileName, VbFiles::Mode::Input);
        return false;
    } catch (const std::exception &e) {
        Close();
        return failed(e);
    }
}

bool FirmwareFile::SendNextFirmwareLine()
{
    try {
        if (VbFiles::EndOfFile(FirmwareFileNumber))
            return false;
        const QString line = VbFiles::LineInput(FirmwareFileNumber);
        Held(MainWindowLink()).TransmitForUpload(line);
        return false;
    } catch (const std::exception &e) {
        return failed(e);
    }
}

void FirmwareFile::Close()
{
    if (FirmwareFileNumber != 0)
        VbFiles::Close(FirmwareFileNumber);
    FirmwareFileNumber = 0;
}
