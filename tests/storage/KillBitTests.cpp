#include "storage/KillBit.h"
#include "storage/StorageTestSupport.h"

#include <gtest/gtest.h>

namespace {

const char kFlags[] = "Compatibility Flags";

class KillBit : public testing::Test {
protected:
    void TearDown() override {
        for (const char* clsid : kClsids)
            DeleteCompatKey(clsid);
    }
    static CString Path(const char* clsid) { return KillBitKeyPath(clsid); }

    static const char* const kClsids[4];
};

const char* const KillBit::kClsids[4] = {
    "5E5E0001-0000-0000-0000-000000000001", "5E5E0001-0000-0000-0000-000000000002",
    "5E5E0001-0000-0000-0000-000000000003", "5E5E0001-0000-0000-0000-000000000004"};

} // namespace

TEST_F(KillBit, KeyPathWrapsTheClsidInBraces) {
    EXPECT_STREQ("Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\{AB-CD}",
                 KillBitKeyPath("AB-CD"));
}

TEST_F(KillBit, MissingKeyOrValueIsNotBlocked) {
    EXPECT_FALSE(IsBlocked(Path(kClsids[0])));
    EXPECT_EQ(0u, ReadRegDword(HKEY_LOCAL_MACHINE, Path(kClsids[0]), kFlags));

    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyA(HKEY_LOCAL_MACHINE, CompatKey(kClsids[1]).c_str(), &hKey));
    RegCloseKey(hKey);
    EXPECT_FALSE(IsBlocked(Path(kClsids[1])));
}

TEST_F(KillBit, OnlyTheBitOfADwordOrOfFourBinaryBytesCounts) {
    SetFlags(kClsids[0], 0x401);
    EXPECT_TRUE(IsBlocked(Path(kClsids[0])));

    const BYTE binary[] = {0x00, 0x04, 0x00, 0x00};
    SetFlags(kClsids[1], REG_BINARY, binary, sizeof(binary));
    EXPECT_TRUE(IsBlocked(Path(kClsids[1])));

    SetFlags(kClsids[2], 0x3FF);
    EXPECT_FALSE(IsBlocked(Path(kClsids[2])));
}

TEST_F(KillBit, ValuesNotExactlyFourBytesLongCountAsZero) {
    const BYTE two[] = {0x00, 0x04};
    SetFlags(kClsids[0], REG_BINARY, two, sizeof(two));
    EXPECT_EQ(0u, ReadRegDword(HKEY_LOCAL_MACHINE, Path(kClsids[0]), kFlags));
    EXPECT_FALSE(IsBlocked(Path(kClsids[0])));

    const unsigned long long qword = 0x400;
    SetFlags(kClsids[1], REG_QWORD, &qword, sizeof(qword));
    EXPECT_FALSE(IsBlocked(Path(kClsids[1])));

    SetFlags(kClsids[2], REG_SZ, "1024", 5);
    EXPECT_FALSE(IsBlocked(Path(kClsids[2])));
}

TEST_F(KillBit, SettingAndClearingChangeOnlyTheKillBit) {
    SetFlags(kClsids[0], 0x401);
    ASSERT_TRUE(SetBlocked(Path(kClsids[0]), true));
    EXPECT_EQ(0x401u, ReadRegDword(HKEY_LOCAL_MACHINE, Path(kClsids[0]), kFlags));
    ASSERT_TRUE(SetBlocked(Path(kClsids[0]), false));
    EXPECT_EQ(0x1u, ReadRegDword(HKEY_LOCAL_MACHINE, Path(kClsids[0]), kFlags));

    SetFlags(kClsids[1], 0);
    ASSERT_TRUE(SetBlocked(Path(kClsids[1]), true));
    EXPECT_EQ(0x400u, ReadRegDword(HKEY_LOCAL_MACHINE, Path(kClsids[1]), kFlags));
}

TEST_F(KillBit, WithoutWriteAccessOnlyAValueThatMustChangeFails) {
    SetFlags(kClsids[0], 0x401);
    SetFlags(kClsids[1], 0x0);
    SetFlags(kClsids[3], REG_BINARY, "\x00\x04\x00\x00", 4); // blocked, as every reader takes it
    // A key without the value: not blocked, as far as anyone reads it.
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        HKEY hKey;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, CompatKey(kClsids[2]).c_str(),
                                                 0, NULL, 0, KEY_WRITE | view, NULL, &hKey, NULL));
        RegCloseKey(hKey);
    }
    {
        DenyKillBitWrites deny0(kClsids[0]), deny1(kClsids[1]), deny2(kClsids[2]),
            deny3(kClsids[3]);
        EXPECT_TRUE(SetBlocked(Path(kClsids[0]), true));
        EXPECT_TRUE(SetBlocked(Path(kClsids[3]), true));
        EXPECT_TRUE(SetBlocked(Path(kClsids[1]), false));
        EXPECT_TRUE(SetBlocked(Path(kClsids[2]), false));
        EXPECT_FALSE(SetBlocked(Path(kClsids[0]), false));
        EXPECT_FALSE(SetBlocked(Path(kClsids[1]), true));
        EXPECT_FALSE(SetBlocked(Path(kClsids[2]), true));
    }
    EXPECT_EQ("0x00000401", DescribeFlags(kClsids[0]));
    EXPECT_EQ("0x00000000", DescribeFlags(kClsids[1]));
    EXPECT_EQ("no value", DescribeFlags(kClsids[2]));
}

TEST_F(KillBit, ClearingAMissingKeyCreatesItWithAnExplicitZero) {
    ASSERT_TRUE(SetBlocked(Path(kClsids[0]), false));
    EXPECT_EQ("0x00000000", DescribeFlags(kClsids[0], kOwnView));
}

TEST_F(KillBit, AnUnreadableValueIsReplacedByAPlainDword) {
    const BYTE two[] = {0x01, 0x04};
    SetFlags(kClsids[0], REG_BINARY, two, sizeof(two));
    ASSERT_TRUE(SetBlocked(Path(kClsids[0]), true));
    EXPECT_EQ("0x00000400", DescribeFlags(kClsids[0], kOwnView));
}

TEST_F(KillBit, EveryViewIsWrittenAndEveryViewMustHoldTheBit) {
    SetFlags(kClsids[0], 0x400, KEY_WOW64_32KEY);
    SetFlags(kClsids[0], 0x1, KEY_WOW64_64KEY);
    // Half blocked: Internet Explorer of the other bitness still loads the control.
    EXPECT_FALSE(IsBlocked(Path(kClsids[0])));
    ASSERT_TRUE(SetBlocked(Path(kClsids[0]), true));
    EXPECT_EQ(FlagsByView("0x00000400", "0x00000401"), DescribeFlags(kClsids[0]));
    EXPECT_TRUE(IsBlocked(Path(kClsids[0])));

    ASSERT_TRUE(SetBlocked(Path(kClsids[1]), false));
    EXPECT_EQ("0x00000000", DescribeFlags(kClsids[1]));
}

TEST_F(KillBit, GenericDwordAccessRoundTripsAndReportsFailure) {
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, Path(kClsids[3]), "Other", 0xDEADBEEF));
    EXPECT_EQ(0xDEADBEEFu, ReadRegDword(HKEY_LOCAL_MACHINE, Path(kClsids[3]), "Other"));

    // A key name beyond the registry's limit cannot be created.
    std::string tooLong(300, 'A');
    EXPECT_FALSE(WriteRegDword(HKEY_LOCAL_MACHINE, KillBitKeyPath(tooLong.c_str()), kFlags, 1));
    EXPECT_FALSE(SetBlocked(KillBitKeyPath(tooLong.c_str()), true));
    EXPECT_FALSE(IsBlocked(KillBitKeyPath(tooLong.c_str())));
}
