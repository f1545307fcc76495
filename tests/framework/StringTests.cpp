#include "framework/String.h"

#include <gtest/gtest.h>

#include <mbctype.h>

#include <random>
#include <string>

namespace {

std::string Bytes(const CString& s) { return std::string(s, s.GetLength()); }

CString FromBytes(const std::string& bytes) {
    return CString(bytes.data(), static_cast<int>(bytes.size()));
}

// Offsets where characters start, walking from the first byte as the code page defines.
std::vector<bool> CharacterStarts(const std::string& bytes) {
    std::vector<bool> starts(bytes.size(), false);
    const char* begin = bytes.data();
    const char* end = begin + bytes.size();
    for (const char* p = begin; p < end; p += AfxCharLength(p, end))
        starts[p - begin] = true;
    return starts;
}

} // namespace

TEST(CString, TrailByte5CIsNotABackslash) {
    // "C:\" + D5 5C + "A": a byte-wise search would find offset 4.
    CString path("C:\\\xD5\x5C"
                 "A");
    EXPECT_EQ(2, path.ReverseFind('\\'));
    EXPECT_EQ(-1, CString("\x81\x5C").ReverseFind('\\'));
    EXPECT_EQ(5, CString("\x81\x5C\\\x81\x5C\\").ReverseFind('\\'));
}

TEST(CString, MakeUpperKeepsDoubleByteCharactersWhole) {
    // 81 61: a trail byte with the code of 'a'.
    CString s("abc\x81"
              "az");
    s.MakeUpper();
    EXPECT_EQ(std::string("ABC\x81"
                          "aZ"),
              Bytes(s));
}

TEST(CString, TrimRemovesOnlyBlanksAtTheEnds) {
    CString s(" \t\r\n \xC3\xFB \xD7\xD6 \t ");
    s.TrimLeft();
    s.TrimRight();
    EXPECT_EQ(std::string("\xC3\xFB \xD7\xD6"), Bytes(s));

    CString blanks("   ");
    blanks.TrimRight();
    EXPECT_TRUE(blanks.IsEmpty());
}

TEST(CString, CompareIsExactAndCaseSensitive) {
    EXPECT_EQ(0, CString("ABC-1").Compare("ABC-1"));
    EXPECT_NE(0, CString("ABC-1").Compare("abc-1"));
    EXPECT_NE(0, CString("ABC").Compare("ABC "));
    EXPECT_EQ(0, CString("\x81\x61").Compare("\x81\x61"));
    EXPECT_NE(0, CString("\x81\x61").Compare("\x81\x41"));
}

TEST(CString, LoneLeadByteAtTheEndStaysInBounds) {
    CString s("ab \x81");
    EXPECT_EQ(4, s.GetLength());
    EXPECT_EQ(-1, s.ReverseFind('\0'));
    s.MakeUpper();
    s.TrimRight();
    EXPECT_EQ(std::string("AB \x81"), Bytes(s));
    EXPECT_EQ(0, s.Compare("AB \x81"));
}

TEST(CString, LeftMidAndAppendWorkInBytes) {
    CString s("\xC3\xFB\xD7\xD6.exe");
    EXPECT_EQ(std::string("\xC3\xFB"), Bytes(s.Left(2)));
    EXPECT_EQ(std::string(".exe"), Bytes(s.Mid(4)));
    EXPECT_EQ(std::string(), Bytes(s.Mid(40)));
    s += "!";
    EXPECT_EQ(9, s.GetLength());
    EXPECT_EQ(std::string("\xC3\xFB\xD7\xD6.exe!ini"), Bytes(s + "ini"));
}

// Random byte strings through every multibyte operation: the invariants hold whatever the
// bytes are, and nothing reads or writes outside the string.
TEST(CString, MultibyteOperationsKeepTheirInvariantsOnRandomBytes) {
    std::mt19937 random(936);
    const char alphabet[] = " \t\r\nabzAZ-\\\x81\x5C\x61\xFE\x40\xD5\x80\xFF\x7F";
    for (int n = 0; n < 100000; ++n) {
        std::string bytes(random() % 12, '\0');
        for (char& c : bytes) {
            c = (random() % 2) ? alphabet[random() % (sizeof(alphabet) - 1)]
                               : static_cast<char>(1 + random() % 255);
        }
        const std::vector<bool> starts = CharacterStarts(bytes);

        CString trimmed = FromBytes(bytes);
        trimmed.TrimLeft();
        trimmed.TrimRight();
        ASSERT_NE(std::string::npos, bytes.find(Bytes(trimmed))) << n;

        CString upper = FromBytes(bytes);
        upper.MakeUpper();
        std::string up = Bytes(upper);
        ASSERT_EQ(bytes.size(), up.size()) << n;
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] != up[i]) {
                ASSERT_TRUE(starts[i] && bytes[i] >= 'a' && bytes[i] <= 'z' &&
                            up[i] == bytes[i] - 'a' + 'A')
                    << n;
            }
        }

        int found = FromBytes(bytes).ReverseFind('\\');
        if (found >= 0) {
            ASSERT_TRUE(starts[found]) << n;
            ASSERT_EQ('\\', bytes[found]) << n;
        }
        ASSERT_EQ(0, FromBytes(bytes).Compare(FromBytes(bytes))) << n;
    }
}
