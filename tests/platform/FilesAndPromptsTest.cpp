#include "platform/DataFolder.h"
#include "platform/VbError.h"
#include "platform/VbFiles.h"
#include "support/RecordingPrompts.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

TEST(DataFolder, FindsAnExistingFileWhateverTheCaseOfTheName)
{
    const QString actual = DataFolder::path() + QStringLiteral("/orva.dat");
    QFile f(actual);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_EQ(DataFolder::file(QStringLiteral("ORVA.DAT")), actual);
    EXPECT_EQ(DataFolder::file(QStringLiteral("new.txt")), DataFolder::path() + QStringLiteral("/new.txt"));
    QFile::remove(actual);
}

TEST(VbFiles, EachPrintIsOnDiskAtOnceAsSingleByteText)
{
    const QString path = DataFolder::file(QStringLiteral("vbfiles-test.log"));
    const int16_t n = VbFiles::FreeFile();
    VbFiles::Open(n, path, VbFiles::Mode::Output);
    EXPECT_TRUE(VbFiles::IsOpen(n));
    EXPECT_NE(VbFiles::FreeFile(), n);
    VbFiles::Print(n, QStringLiteral("72\u00B0F\r\n"));
    EXPECT_EQ(readAll(path), QByteArray("72\xB0" "F\r\n"));
    EXPECT_THROW(VbFiles::Open(n, path, VbFiles::Mode::Append), VbError);
    VbFiles::Close(n);
    VbFiles::Close(n); // not open: nothing happens

    VbFiles::Open(n, path, VbFiles::Mode::Append);
    VbFiles::Print(n, QStringLiteral("next\r\n"));
    VbFiles::Close(n);
    EXPECT_EQ(readAll(path), QByteArray("72\xB0" "F\r\nnext\r\n"));
    try {
        VbFiles::Print(n, QStringLiteral("x"));
        FAIL();
    } catch (const VbError &e) {
        EXPECT_EQ(e.number(), 52);
    }
}

TEST(VbFiles, WriteRecordsAndReadThemBackByFieldAndByLine)
{
    EXPECT_EQ(VbFiles::WriteRecordText({Variant(QStringLiteral("Kp")), Variant(QStringLiteral("12.5"))}),
              QStringLiteral("\"Kp\",\"12.5\"\r\n"));
    EXPECT_EQ(VbFiles::WriteRecordText({Variant(QStringLiteral("t")), Variant(72.5f), Variant(int16_t(-3)), Variant(68.12f),
                                        Variant(0.1), Variant(true), Variant()}),
              QStringLiteral("\"t\",72.5,-3,68.12,0.1,#TRUE#,\r\n"));

    const QString path = DataFolder::file(QStringLiteral("vbfiles-input.dat"));
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("\"Kp\", \"a, b\" \r\n  IFMode ,2.7\nlast\r\r\n\r\n  \r\n");
    out.close();
    const int16_t n = VbFiles::FreeFile();
    VbFiles::Open(n, path, VbFiles::Mode::Input);
    QStringList fields;
    while (!VbFiles::EndOfFields(n))
        fields << VbFiles::Input(n);
    EXPECT_EQ(fields, (QStringList{"Kp", "a, b", "IFMode", "2.7", "last"}));
    EXPECT_FALSE(VbFiles::EndOfFile(n));
    try {
        VbFiles::Input(n);
        FAIL();
    } catch (const VbError &e) {
        EXPECT_EQ(e.number(), 62);
    }
    VbFiles::Close(n);

    VbFiles::Open(n, path, VbFiles::Mode::Input);
    QStringList lines;
    while (!VbFiles::EndOfFile(n))
        lines << VbFiles::LineInput(n);
    EXPECT_EQ(lines, (QStringList{"\"Kp\", \"a, b\" ", "  IFMode ,2.7", "last", "", "", "  "}));
    EXPECT_THROW(VbFiles::Print(n, QStringLiteral("x")), VbError);
    VbFiles::Close(n);
    EXPECT_THROW(VbFiles::Open(n, path + QStringLiteral(".missing"), VbFiles::Mode::Input), VbError);

    // A line end ends a field as a comma does: an empty field before it stays on its line.
    struct Case { const char *bytes; QStringList fields; };
    const Case cases[] = {
        {"T1,,\r\nT2,1.5,2.5\r\n", {"T1", "", "", "T2", "1.5", "2.5"}},
        {"Kp,\nKd,5", {"Kp", "", "Kd", "5"}},
        {"\"q\", \r\n\r\n", {"q", ""}},
        {"a,", {"a", ""}},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(c.bytes);
        out.close();
        VbFiles::Open(n, path, VbFiles::Mode::Input);
        QStringList read;
        while (!VbFiles::EndOfFields(n))
            read << VbFiles::Input(n);
        VbFiles::Close(n);
        EXPECT_EQ(read, c.fields) << c.bytes;
    }
    // A quoted field the file ends in was cut short.
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write("\"Kp\",\"12");
    out.close();
    VbFiles::Open(n, path, VbFiles::Mode::Input);
    EXPECT_EQ(VbFiles::Input(n), QStringLiteral("Kp"));
    EXPECT_THROW(VbFiles::Input(n), VbError);
    EXPECT_TRUE(VbFiles::EndOfFields(n));
    VbFiles::Close(n);
}

TEST(UserPrompts, DialogFiltersMatchBothCases)
{
    EXPECT_EQ(DialogFilter(QStringLiteral("S19 File (*.S19; *.S2)|*.s19;*.s2")),
              QStringLiteral("S19 File (*.S19; *.S2) (*.s19 *.S19 *.s2 *.S2)"));
    EXPECT_EQ(DialogFilter(QStringLiteral("Data (*.dat)|*.dat|All (*.*)|*.*")),
              QStringLiteral("Data (*.dat) (*.dat *.DAT);;All (*.*) (*)"));
}

TEST(UserPrompts, TheRecorderSeesEveryBoxAndAnswersIt)
{
    RecordingPrompts prompts;
    prompts.answer = [](const MessageBoxRequest &) { return int(vbconst::vbNo); };
    EXPECT_EQ(MsgBox(QStringLiteral("Discard changes?"), vbconst::vbYesNo | vbconst::vbQuestion, QStringLiteral("VKM")),
              vbconst::vbNo);
    ASSERT_EQ(prompts.boxes.size(), 1);
    EXPECT_EQ(prompts.boxes[0].prompt, QStringLiteral("Discard changes?"));
    EXPECT_EQ(prompts.boxes[0].buttonSet(), vbconst::vbYesNo);
    EXPECT_EQ(prompts.boxes[0].icon(), vbconst::vbQuestion);
    EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("VKM"));
}
