#include "cli/PasswordList.h"

#include <QBuffer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

batch::PasswordList fromText(const QByteArray &text)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    return batch::readPasswordList(buffer, QStringLiteral("list"));
}

} // namespace

TEST(PasswordList, OneALineWithBlanksKeptAndOnlyLineEndsDropped)
{
    const std::pair<QByteArray, QStringList> cases[] = {
        {"secret\n", {"secret"}},
        {"first\r\nsecond\r\n", {"first", "second"}},
        {"\n\n  padded  \n\nlast", {"  padded  ", "last"}},
        {"Grüße,\t#1\n", {"Grüße,\t#1"}},
        {"same\nsame\n", {"same", "same"}},
    };
    for (const auto &[text, passwords] : cases) {
        const batch::PasswordList list = fromText(text);
        EXPECT_EQ(list.passwords, passwords) << text.constData();
        EXPECT_TRUE(list.error.isEmpty()) << qPrintable(list.error);
    }
}

TEST(PasswordList, AFileWithoutPasswordsOrUnreadableIsAnErrorThatQuotesNoPassword)
{
    for (const QByteArray &text : {QByteArray(), QByteArray("\n\r\n\n")}) {
        const batch::PasswordList list = fromText(text);
        EXPECT_TRUE(list.passwords.isEmpty());
        EXPECT_EQ(list.error, "the password file list holds no password");
    }
    QTemporaryDir dir;
    const batch::PasswordList missing = batch::readPasswordList(dir.filePath("none"));
    EXPECT_TRUE(missing.error.startsWith("cannot read the password file " + dir.filePath("none") + ": "))
        << qPrintable(missing.error);
}
