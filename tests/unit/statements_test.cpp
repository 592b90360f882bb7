#include <gtest/gtest.h>

#include "msi/statements.h"

using namespace tidewell;

TEST(Statements, SelectTexts) {
    EXPECT_EQ(L"SELECT * FROM `Component` WHERE `Attributes` = 256",
              buildSelect(L"Component", {}, {}, L"`Attributes` = 256"));
    EXPECT_EQ(L"SELECT `A`,`B` FROM `T` ORDER BY `A`", buildSelect(L"T", {L"A", L"B"}, {L"A"}));
    EXPECT_EQ(L"SELECT * FROM `T`", buildSelect(L"T"));
}

TEST(Statements, JoinComparesEveryTableWithTheFirst) {
    EXPECT_EQ(L"SELECT * FROM `MoveFile`, `VU_MoveFile` WHERE `MoveFile`.`FileKey` = `VU_MoveFile`.`MoveFile`",
              buildJoinedSelect({{L"MoveFile", L"FileKey"}, {L"VU_MoveFile", L"MoveFile"}}));
    EXPECT_EQ(L"SELECT * FROM `A`, `B`, `C` WHERE `A`.`a` = `B`.`b` AND `A`.`a` = `C`.`c`",
              buildJoinedSelect({{L"A", L"a"}, {L"B", L"b"}, {L"C", L"c"}}));
}

TEST(Statements, DeleteText) {
    EXPECT_EQ(L"DELETE FROM `MoveFile` WHERE `FileKey`=?", buildDelete(L"MoveFile", L"FileKey"));
}
