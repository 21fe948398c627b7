// The settings file: the window's settings saved as keyed records and loaded back, marked
// for the upload.
#include "settings/frmCal.h"

#include "link/ModuleState.h"
#include "platform/DataFolder.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/VbError.h"
#include "platform/VbFiles.h"
#include "settings/SettingsReadBack.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <algorithm>
#include <array>
#include <initializer_list>
#include <vector>

namespace {

const QString Title = QStringLiteral("VKM");

// Settings records held by a spinner, with the box that shows its value where there is one.
struct SpinnerSetting
{
    const char *key;
    QLineEdit *box;
    QSpinBox *spinner;
};

std::array<SpinnerSetting, 6> spinnerSettings(const frmCal &w)
{
    return {{{"IFSet", w.txtIntFanSet, w.udIntFanSet},
             {"IFHyst", w.txtintfanhyst, w.udIntFanHyst},
             {"CFThreshold", w.txtFanThreshold, w.UpDown1},
             {"CFPulse", w.txtFanPulsePower, w.UpDown2},
             {"Deadband", w.txtDeadband, w.udDeadband},
             {"DeadbandTime", nullptr, w.udDBSettle}}};
}

std::array<std::pair<const char *, QCheckBox *>, 4> checkSettings(const frmCal &w)
{
    return {{{"OverCurrent", w.chkAutoCurrent}, {"StopDeadband", w.chkDeadband}, {"ErrorComputer", w.chkErrorComputer},
             {"errorVKM", w.chkErrorHandheld}}};
}

// The file dialog of both files (a save asks before replacing); nothing when abandoned.
std::optional<QString> chooseDataFile(bool save)
{
    FileDialogRequest request;
    request.filter = QStringLiteral("Data (*.dat)|*.dat|All (*.*)|*.*");
    request.initialDir = DataFolder::path();
    request.confirmOverwrite = false; // the question below is the only one
    UserPrompts &prompts = UserPrompts::current();
    const std::optional<QString> path = save ? prompts.saveFile(request) : prompts.openFile(request);
    if (!path || path->isEmpty())
        return std::nullopt;
    if (save && QFileInfo::exists(*path)
        && MsgBox(QStringLiteral("Replace current file?"), vbconst::vbOKCancel | vbconst::vbQuestion, Title) == vbconst::vbCancel)
        return std::nullopt;
    return path;
}

} // namespace

std::optional<int16_t> frmCal::openChosenFile(bool save, const std::function<bool()> &chosen)
{
    const std::optional<QString> path = chooseDataFile(save);
    if (!path || (chosen && !chosen()))
        return std::nullopt;
    const bool forInput = !save;
    const int16_t number = VbFiles::FreeFile();
    try {
        VbFiles::Open(number, *path, forInput ? VbFiles::Mode::Input : VbFiles::Mode::Output);
        return number;
    } catch (const VbError &) {
        VbFiles::Close(number);
        if (forInput)
            MsgBox(QStringLiteral("Error opening file."), vbconst::vbExclamation, QStringLiteral("File Error"));
        else
            MsgBox(QStringLiteral("Unable to create file."), vbconst::vbExclamation, Title);
        return std::nullopt;
    }
}

// The records of the settings file, from the controls as they stand.
std::vector<frmCal::SettingsRecord> frmCal::settingsRecords() const
{
    const ModuleState::Settings &s = Module().settings;
    const int16_t fanMode = optIntFan[0]->isChecked() ? 0 : optIntFan[1]->isChecked() ? 1 : 2;
    const auto integer = [](int value) { return Variant(int16_t(value)); };
    return {
        {"date", QDateTime::currentDateTime().toString(QStringLiteral("MM/dd/yy hh:mm:ss"))},
        {"TAmbS", txtAmbSlope->text()},
        {"TAmbI", txtAmbIntercept->text()},
        {"TPrimS", txtPrimSlope->text()},
        {"TPrimI", txtPrimIntercept->text()},
        {"TSecS", txtSecSlope->text()},
        {"TSecI", txtSecIntercept->text()},
        {"TElectS", txtElectSlope->text()},
        {"TElectI", txtElectIntercept->text()},
        {"IFMode", fanMode},
        {"IFSet", txtIntFanSet->text()},
        {"IFHyst", txtintfanhyst->text()},
        {"CFThreshold", txtFanThreshold->text()},
        {"CFPulse", txtFanPulsePower->text()},
        {"Kp", txtKP->text()},
        {"Kd", txtKd->text()},
        {"Deriv", txtDeriv->text()},
        {"Ki", txtki->text()},
        {"il", txtil->text()},
        {"Velocity", txtVelocity->text()},
        {"Acc", txtAcc->text()},
        {"OverCurrent", integer(CheckValue(chkAutoCurrent))},
        {"StopDeadband", integer(CheckValue(chkDeadband))},
        {"Deadband", vb::Val(txtDeadband->text())},
        {"DeadbandTime", int32_t(udDBSettle->value())},
        {"ErrorComputer", integer(CheckValue(chkErrorComputer))},
        {"errorVKM", integer(CheckValue(chkErrorHandheld))},
        {"sKp", txtSKp->text()},
        {"sKd", txtSKd->text()},
        {"sKi", txtSKi->text()},
        {"sdi", txtSDI->text()},
        {"sil", txtSecKi->text()},
        {"CheckTelescope", s.CheckTelescope ? QStringLiteral("1") : QStringLiteral("0")},
        {"PromptTheSky", integer(CheckValue(chkPromptTheSky))},
    };
}

void frmCal::cmdSaveFile_Click()
{
    // The values and the date are taken once the file is chosen: the dialog serves events.
    std::vector<SettingsRecord> records;
    const std::optional<int16_t> file = openChosenFile(true, [&] {
        try {
            records = settingsRecords();
        } catch (const VbError &e) {
            MsgBox(e.description(), vbconst::vbExclamation, Title);
            return false;
        }
        // The format has no escape for a quote: such a value would corrupt the file.
        for (const SettingsRecord &r : records) {
            if (r.value.type() == Variant::Type::String && r.value.toString().contains(u'"')) {
                MsgBox(QStringLiteral("The value of \"%1\" holds a double quote (\") and cannot be saved.  Nothing was written.")
                           .arg(r.key),
                       vbconst::vbExclamation, Title);
                return false;
            }
        }
        return true;
    });
    if (!file)
        return;
    try {
        for (const SettingsRecord &r : records)
            VbFiles::Write(*file, {Variant(r.key), r.value});
    } catch (const VbError &e) {
        MsgBox(e.description(), vbconst::vbExclamation, Title);
    }
    VbFiles::Close(*file);
}

void frmCal::cmdRetrieveFile_Click()
{
    const std::optional<int16_t> file = openChosenFile(false);
    if (!file)
        return;
    // All or nothing: the whole file is read and checked before any control takes a value.
    std::vector<std::pair<QString, QString>> records;
    try {
        while (!VbFiles::EndOfFields(*file)) {
            const QString key = VbFiles::Input(*file);
            records.emplace_back(key, VbFiles::Input(*file));
        }
    } catch (const VbError &e) {
        VbFiles::Close(*file);
        MsgBox(e.description());
        return;
    }
    VbFiles::Close(*file);
    for (const auto &[key, value] : records) {
        if (!acceptsSetting(key, value)) {
            MsgBox(QStringLiteral("Invalid value for \"%1\": %2").arg(key, value));
            return;
        }
    }
    for (const auto &[key, value] : records)
        applySetting(key, value);
    for (int i = 0; i <= 33; ++i)
        ChangedFlags[i] = true;
    cmdUploadVKM->setEnabled(true);
}

// Whether a settings file's value is one its control holds as it stands and its upload row
// can send: numbers where the row sends one, spinner values within the spinner's range,
// check box values, a fan mode of an existing option, a positive step size. The temperature
// coefficients go to no row and load as they are; keys of no control are skipped anyway.
bool frmCal::acceptsSetting(const QString &key, const QString &value) const
{
    const auto is = [&key](std::initializer_list<const char *> names) {
        return std::any_of(names.begin(), names.end(), [&key](const char *name) { return key == QLatin1String(name); });
    };
    try {
        for (const SpinnerSetting &setting : spinnerSettings(*this)) {
            if (key == QLatin1String(setting.key)) {
                const int n = vb::CInt(value);
                return n >= setting.spinner->minimum() && n <= setting.spinner->maximum();
            }
        }
        for (const auto &[name, box] : checkSettings(*this)) {
            if (key == QLatin1String(name)) {
                const int n = vb::CInt(value);
                return n >= 0 && n <= 2;
            }
        }
        if (is({"Kp", "Kd", "Deriv", "Ki", "il", "sdi", "sil", "CheckTelescope", "PromptTheSky"}))
            return vb::IsNumeric(value);
        if (is({"Velocity", "Acc"})) {
            if (!vb::IsNumeric(value))
                return false;
            FixedPoint(vb::Val(value) * 65536); // beyond a Long throws
            return true;
        }
        if (is({"sKp", "sKd", "sKi"})) {
            HeaterHundredths(value);
            return true;
        }
        if (is({"StepSize"}))
            return vb::CSng(value) > 0;
        if (is({"IFMode"})) {
            const double v = vb::Val(value);
            return vb::IsNumeric(value) && !(v >= 0 && v < 3 && vb::CInt(v) > 2);
        }
    } catch (const VbError &) {
        return false;
    }
    return true;
}

// One record of a settings file into its control; keys of no control are skipped.
void frmCal::applySetting(const QString &key, const QString &value)
{
    const std::pair<const char *, QLineEdit *> boxes[] = {
        {"TAmbS", txtAmbSlope}, {"TAmbI", txtAmbIntercept}, {"TPrimS", txtPrimSlope}, {"TPrimI", txtPrimIntercept},
        {"TSecS", txtSecSlope}, {"TSecI", txtSecIntercept}, {"TElectS", txtElectSlope}, {"TElectI", txtElectIntercept},
        {"Kp", txtKP},          {"Kd", txtKd},              {"Deriv", txtDeriv},        {"Ki", txtki},
        {"il", txtil},          {"Velocity", txtVelocity},  {"Acc", txtAcc},
        {"sKp", txtSKp},        {"sKd", txtSKd},            {"sKi", txtSKi},            {"sdi", txtSDI},
        {"sil", txtSecKi},      {"StepSize", txtStepSize}};
    for (const auto &[name, box] : boxes) {
        if (key == QLatin1String(name)) {
            box->setText(value);
            return;
        }
    }
    // A spinner's box, then the spinner, whose value its row sends.
    for (const SpinnerSetting &setting : spinnerSettings(*this)) {
        if (key == QLatin1String(setting.key)) {
            if (setting.box)
                setting.box->setText(value);
            m_readBack->setValue(setting.spinner->objectName(), vb::CInt(value));
            return;
        }
    }
    for (const auto &[name, box] : checkSettings(*this)) {
        if (key == QLatin1String(name)) {
            SetCheckValue(box, vb::CInt(value));
            return;
        }
    }
    if (key == QLatin1String("IFMode")) {
        const double v = vb::Val(value);
        if (v >= 0 && v < 3)
            optIntFan[vb::CInt(v)]->setChecked(true);
    } else if (key == QLatin1String("CheckTelescope") || key == QLatin1String("PromptTheSky")) {
        const bool telescope = key == QLatin1String("CheckTelescope");
        const double n = vb::CDbl(value);
        if (n >= 0 && n <= 1)
            SetCheckValue(telescope ? chkTeleEastWest : chkPromptTheSky, vb::CInt(value));
        if (telescope)
            Module().settings.CheckTelescope = n == 1;
    }
}
