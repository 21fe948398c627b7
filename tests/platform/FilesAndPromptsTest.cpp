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
