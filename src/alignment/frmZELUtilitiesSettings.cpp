// The alignment tools window's settings: loading, storing and the option handlers.
#include "alignment/frmZELUtilities.h"

#include "link/DriverSettings.h"
#include "link/ModuleState.h"
#include "platform/Screen.h"
#include "platform/Vb.h"
#include "platform/VbError.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

namespace {

const QString ImageScaleName = QStringLiteral("ImageScale");
const QString MaxPosErrName = QStringLiteral("MaxPosErr");
const QString MaxRotErrName = QStringLiteral("MaxRotErr");
const QString MaxItterationsName = QStringLiteral("MaxItterations");
const QString ExposureTimeName = QStringLiteral("ExposureTime");
const QString ImagingProgramName = QStringLiteral("ImagingProgram");
const QString AstrometricEngineName = QStringLiteral("AstrometricEngine");
const QString CatalogPathName = QStringLiteral("CatalogPath");
const QString CatalogName = QStringLiteral("Catalog");
const QString SpiralSearchName = QStringLiteral("SpiralSearch");

// Reads one value; a missing one gets its default written. `read` takes the value read,
// `missing` the default; a value that exists but cannot be read is left alone.
void load(HKEY key, const QString &name, DWORD type, const QVariant &fallback,
          const std::function<void(const QVariant &)> &read, const std::function<void()> &missing)
{
    QVariant value;
    const LSTATUS status = QueryRegistryValue(key, name, value);
    if (status == ERROR_SUCCESS) {
        read(value);
    } else if (status == ERROR_FILE_NOT_FOUND) {
        SetRegistryValue(key, name, int32_t(type), fallback);
        missing();
    }
}

// A Double setting kept in the registry as text, read through single precision.
void loadDouble(HKEY key, const QString &name, const QString &fallback, double &field, QLineEdit *box,
                const char *pattern)
{
    load(
        key, name, REG_SZ, fallback,
        [&](const QVariant &value) {
            float read = 0;
            field = AssignRegistryValue(read, value) ? double(read) : vb::Val(fallback);
            box->setText(vb::Format(field, QString::fromLatin1(pattern)));
        },
        [&] {
            field = vb::Val(fallback);
            box->setText(fallback);
        });
}

void loadInteger(HKEY key, const QString &name, int16_t fallback, int16_t &field, QLineEdit *box = nullptr)
{
    load(
        key, name, REG_DWORD, int32_t(fallback),
        [&](const QVariant &value) {
            // A value that does not fit the field leaves field and box as they were.
            if (AssignRegistryValue(field, value) && box)
                box->setText(vb::CStr(int32_t(field)));
        },
        [&] {
            field = fallback;
            if (box)
                box->setText(vb::CStr(int32_t(fallback)));
        });
}

} // namespace

void frmZELUtilities::Form_Load()
{
    Module().thesky.UtilitiesFormOpen = true;
    IsLoading = true;
    HKEY key = 0;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, DriverKeyPath, 0, SettingsKeyAccess, &key) != ERROR_SUCCESS)
        return;
    AlignmentSettings &s = Settings;
    loadDouble(key, ImageScaleName, QStringLiteral("1.7"), s.ImageScale, txtImageScale, "0.000");
    loadDouble(key, MaxPosErrName, QStringLiteral("2"), s.MaxPosErr, txtPositionErr, "0.0");
    loadDouble(key, MaxRotErrName, QStringLiteral("1"), s.MaxRotErr, txtRotErr, "0.00");
    loadInteger(key, MaxItterationsName, 5, s.MaxItterations, txtItterations);
    loadInteger(key, ExposureTimeName, 10, s.ExposureTime, txtExposureTime);
    loadInteger(key, ImagingProgramName, 0, s.ImagingProgram);
    loadInteger(key, AstrometricEngineName, 0, s.AstrometricEngine);
    load(
        key, CatalogPathName, REG_SZ, QString(), [&](const QVariant &v) { AssignRegistryValue(s.CatalogPath, v); },
        [&] { s.CatalogPath.clear(); });
    loadInteger(key, CatalogName, 3, s.Catalog);
    loadInteger(key, SpiralSearchName, 1, s.SpiralSearch);
    RegCloseKey(key);

    // 2 is the grayed state, shown and kept.
    chkSpiralSearch->setCheckState(s.SpiralSearch == 2 ? Qt::PartiallyChecked
                                   : s.SpiralSearch == 1 ? Qt::Checked
                                                         : Qt::Unchecked);
    chkSpiralSearch_Click();
    cmbImager->addItems({QStringLiteral("CCDSoft"), QStringLiteral("MaxIm DL")});
    cmbImager->setCurrentIndex(s.ImagingProgram >= 0 && s.ImagingProgram < 2 ? s.ImagingProgram : -1);
    cmbImager_Click();
    IsLoading = false;
    if (s.AstrometricEngine == 0 || s.AstrometricEngine == 1)
        optAstro[s.AstrometricEngine]->setChecked(true);
    txtCatalogPath->setText(s.CatalogPath);
    cmbCatalog->addItems({QStringLiteral("GSC V1.1"), QStringLiteral("USNO SA2.0"), QStringLiteral("n/a"),
                          QStringLiteral("Corrected GSC"), QStringLiteral("ESP Tycho-2"), QStringLiteral("USNO A2.0"),
                          QStringLiteral("USNO UCAC2")});
    const int16_t catalog = s.Catalog;
    cmbCatalog->setCurrentIndex(catalog >= 0 && catalog < cmbCatalog->count() ? catalog : -1);
    // A stored number outside the list stays in the field.
    if (cmbCatalog->currentIndex() >= 0)
        cmbCatalog_Click();
    s.SpiralOffsetTable = AlignmentSettings::SpiralOffsets;
}

void frmZELUtilities::Form_Unload()
{
    m_unloaded = true;
    HKEY key = 0;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, DriverKeyPath, 0, SettingsKeyAccess, &key) == ERROR_SUCCESS) {
        const AlignmentSettings &s = Settings;
        const auto dword = [&](const QString &name, int32_t value) { SetRegistryValue(key, name, REG_DWORD, value); };
        // A box number beyond the Long range is not stored: the stored value stays.
        const auto boxDword = [&](const QString &name, const QLineEdit *box) {
            try {
                dword(name, vb::CLng(vb::Val(box->text())));
            } catch (const VbError &) {
            }
        };
        SetRegistryValue(key, ImageScaleName, REG_SZ, txtImageScale->text());
        SetRegistryValue(key, MaxPosErrName, REG_SZ, txtPositionErr->text());
        SetRegistryValue(key, MaxRotErrName, REG_SZ, txtRotErr->text());
        boxDword(MaxItterationsName, txtItterations);
        boxDword(ExposureTimeName, txtExposureTime);
        dword(ImagingProgramName, s.ImagingProgram);
        dword(AstrometricEngineName, s.AstrometricEngine);
        SetRegistryValue(key, CatalogPathName, REG_SZ, s.CatalogPath);
        dword(CatalogName, s.Catalog);
        dword(SpiralSearchName, s.SpiralSearch);
        RegCloseKey(key);
    }
    Module().thesky.UtilitiesFormOpen = false;
}

void frmZELUtilities::optAstro_Click()
{
    Settings.AstrometricEngine = optAstro[0]->isChecked() ? 0 : 1;
}

void frmZELUtilities::txtCatalogPath_Change()
{
    Settings.CatalogPath = txtCatalogPath->text();
}

void frmZELUtilities::txtExposureTime_Change()
{
    const double value = vb::Val(txtExposureTime->text());
    // A value outside the Integer range leaves the field as it was.
    if (value >= -32768.5 && value < 32767.5)
        Settings.ExposureTime = vb::CInt(value);
}

void frmZELUtilities::txtItterations_Change()
{
    const QString text = txtItterations->text();
    const double value = vb::Val(text);
    if (vb::IsNumeric(text) && value >= -32768.5 && value < 32767.5)
        Settings.MaxItterations = vb::CInt(value);
}

void frmZELUtilities::chkSpiralSearch_Click()
{
    // The box's value as stored: 0 off, 1 on, 2 grayed.
    const Qt::CheckState state = chkSpiralSearch->checkState();
    Settings.SpiralSearch = state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0;
}

void frmZELUtilities::cmbCatalog_Click()
{
    Settings.Catalog = int16_t(cmbCatalog->currentIndex());
}

void frmZELUtilities::cmbImager_Click()
{
    if (!IsLoading)
        Settings.ImagingProgram = int16_t(cmbImager->currentIndex());
}

void frmZELUtilities::stepSetting(QSpinBox *spinner, int16_t &last, int16_t &repeat, double &setting, QLineEdit *box,
                                  const char *pattern, const double (&steps)[3])
{
    const int v = spinner->value();
    const int p = last;
    // A jump of more than one is the spinner wrapping from its top to its bottom.
    const int direction = ((v > p && v - p == 1) || (v < p && p - v > 1)) ? 1 : -1;
    last = int16_t(v);
    ++repeat;
    const double step = repeat <= 10 ? steps[0] : repeat <= 20 ? steps[1] : steps[2];
    setting += direction * step;
    if (setting < 0) {
        setting = 0;
        Screen::Beep();
    }
    box->setText(vb::Format(setting, QString::fromLatin1(pattern)));
}

void frmZELUtilities::UpDown1_Change()
{
    static const double steps[3] = {0.001, 0.01, 0.1};
    stepSetting(UpDown1, LastUpDown1, ImageScaleRepeat, Settings.ImageScale, txtImageScale, "0.000", steps);
}

void frmZELUtilities::UpDown2_Change()
{
    static const double steps[3] = {0.1, 1, 1};
    stepSetting(UpDown2, LastUpDown2, PositionErrRepeat, Settings.MaxPosErr, txtPositionErr, "0.0", steps);
}

void frmZELUtilities::UpDown3_Change()
{
    static const double steps[3] = {0.01, 0.1, 0.1};
    stepSetting(UpDown3, LastUpDown3, RotErrRepeat, Settings.MaxRotErr, txtRotErr, "0.00", steps);
}
