#include "support/SimulatorReports.h"

namespace SimulatorReports {

// As a controller fresh from power-up reports them: homed, sensors near room temperature,
// heaters and fans off.
QHash<QString, QString> defaultValues()
{
    return {
        {":!", "0"}, {":vr", "2.10"},
        // focuser status
        {":h", "1"}, {":ims", "0"}, {":mc", "0"}, {":tc", "0"}, {":frp", "0"},
        // temperatures (degrees F x 100) and raw sensor counts
        {":t1", "6800"}, {":t2", "6650"}, {":t3", "6700"}, {":t7", "8000"},
        {":t4", "512"}, {":t5", "500"}, {":t6", "505"},
        // fan, secondary heater, dew heaters
        {":fm", "0"}, {":fs", "0"}, {":fg", "10"}, {":ft", "5"},
        {":sm", "0"}, {":ss", "0"}, {":st", "0"}, {":d1", "0"}, {":d2", "0"},
        // rotator status
        {":rh", "1"}, {":rrp", "0"},
        // settings read back by "l", "G " and "< "
        {":sl1", "50000"}, {":of1", "0"}, {":tcc", "0"}, {":tcm", "10"},
        {":p", "10"}, {":r", "50"}, {":g", "1"}, {":i", "0"}, {":l", "0"},
        {":v", "65536"}, {":c", "6554"}, {":ac", "1"}, {":dbs", "0"}, {":eh", "1"},
        {":db", "5"}, {":dbt", "20"},
        {":sl2", "1"}, {":sl3", "1"}, {":sl4", "1"}, {":of2", "0"}, {":of3", "0"}, {":of4", "0"},
        {":skp", "100"}, {":skd", "0"}, {":ski", "10"}, {":sdi", "5"}, {":sil", "50"},
        {":fo", "50"}, {":fp", "50"},
        {":ifo", "1"}, {":ifa", "1"}, {":ifs", "10"}, {":ifh", "2"},
        // stepper set-up ("1 ") and status
        {":S2M", "0"}, {":S3M", "0"}, {":S4M", "0"}, {":S5M", "0"},
        {":S2C", "45"}, {":S3C", "45"}, {":S4C", "45"}, {":S5C", "45"},
        {":S2SM", "0"}, {":S3SM", "0"}, {":S4SM", "0"}, {":S5SM", "0"},
        {":SP", "170"}, {":SW", "0"},
    };
}

// The code a reader waits for comes last.
const QHash<QChar, QStringList> &queries()
{
    static const QHash<QChar, QStringList> table = {
        {'!', {":!"}},
        {'Q', {":h", ":ims", ":mc", ":mo", ":mb", ":tc", ":frp", ":s", ":a"}},
        {'T', {":t2", ":t3", ":t7", ":t4", ":t5", ":t6", ":fm", ":fs", ":fg", ":ft", ":sm", ":ss",
               ":st", ":d1", ":d2", ":t1"}},
        {'R', {":rh", ":rrp", ":wr", ":rs", ":rt"}},
        {'V', {":vr"}},
        {'l', {":sl1", ":of1", ":tcc", ":tcm", ":p", ":r", ":g", ":i", ":l", ":v", ":c", ":ac",
               ":dbs", ":eh", ":db", ":dbt", ":sl2", ":sl3", ":sl4", ":of2", ":of3", ":of4",
               ":skp", ":skd", ":ski", ":sdi", ":sil"}},
        {'G', {":fo", ":fp"}},
        {'<', {":ifo", ":ifa", ":ifs", ":ifh"}},
        {'1', {":S2M", ":S3M", ":S4M", ":S5M", ":S2C", ":S3C", ":S4C", ":S5C", ":S2SM", ":S3SM",
               ":S4SM", ":S5SM"}},
        {'2', {":S1", ":S2", ":S3", ":S4"}},
        {'3', {":SP"}},
        {'4', {":SIM"}},
        {'6', {":SW"}},
        {'8', {":CS"}},
    };
    return table;
}

const QHash<QChar, QString> &settingCodes()
{
    static const QHash<QChar, QString> table = {
        {'[', ":ifs"}, {']', ":ifh"}, {'@', ":fo"}, {'z', ":fp"}, {'N', ":ac"}, {'K', ":eh"},
        {'X', ":dbs"}, {'Y', ":db"}, {'W', ":dbt"}, {'L', ":skp"}, {'^', ":skd"}, {'?', ":sdi"},
        {'#', ":ski"}, {'~', ":sil"}, {'e', ":g"},
        // servo letters shared with rotator and stepper commands: only the arguments
        // those do not take end up here
        {'p', ":p"}, {'d', ":r"}, {'i', ":i"}, {'j', ":l"}, {'v', ":v"},
    };
    return table;
}

} // namespace SimulatorReports
