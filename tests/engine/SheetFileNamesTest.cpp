#include "engine/SheetFileNames.h"

#include <QSet>

#include <gtest/gtest.h>

TEST(SheetFileNames, WhatAFileNameMustNotHoldIsReplaced)
{
    const QStringList parts =
        sheetFileNameParts({"Plain", "a/b", QString("nul") + QChar(0) + "x", "tab\tand\nline", ".hidden", "..",
                            "Größe 数据", "del\x7f", QString("rtl") + QChar(0x202e) + "x"});
    EXPECT_EQ(parts,
              QStringList({"Plain", "a_b", "nul_x", "tab_and_line", "_hidden", "_.", "Größe 数据", "del_", "rtl_x"}));
}

TEST(SheetFileNames, LongNamesAreCutOnACharacterAndEmptyOnesGetTheirNumber)
{
    const QString wide = QString(60, QChar(0x6570));                          // 3 bytes each in UTF-8
    const QString emoji = QString::fromUtf8("\xf0\x9f\x93\x8a").repeated(40); // 4 bytes, a surrogate pair each
    const QStringList parts = sheetFileNameParts({wide, emoji, QString(), QString(300, 'x')});
    ASSERT_EQ(parts.size(), 4);
    EXPECT_EQ(parts.at(0), QString(33, QChar(0x6570)));
    EXPECT_EQ(parts.at(1), QString::fromUtf8("\xf0\x9f\x93\x8a").repeated(25)) << "a pair is never split";
    EXPECT_EQ(parts.at(2), "Sheet3");
    EXPECT_EQ(parts.at(3).size(), kMaxSheetPartBytes);
    for (const QString &part : parts)
        EXPECT_LE(part.toUtf8().size(), kMaxSheetPartBytes) << qPrintable(part);
}

TEST(SheetFileNames, SheetsWhoseSafeNamesMeetStayApart)
{
    const QString longName(kMaxSheetPartBytes + 20, 'y');
    const QString controlChar = QStringLiteral("a") + QChar(0x01) + QStringLiteral("b");
    const QStringList parts = sheetFileNameParts({"a/b", "a_b", controlChar, "a_b~2", longName, longName + "z"});
    EXPECT_EQ(parts.mid(0, 4), QStringList({"a_b", "a_b~2", "a_b~3", "a_b~2~2"}));
    EXPECT_EQ(QSet<QString>(parts.begin(), parts.end()).size(), parts.size()) << qPrintable(parts.join(' '));
    EXPECT_EQ(parts.at(5), QString(kMaxSheetPartBytes - 2, 'y') + "~2") << "the number fits within the bound";
}
