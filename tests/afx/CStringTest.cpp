// Tests of the framework layer's CString.
#include "afx/CString.h"

#include <gtest/gtest.h>

#include <new>
#include <string.h>

TEST(CString, CopiesShareOneBufferUntilOneIsWritten)
{
    CString a("recording");
    CString b(a);
    EXPECT_EQ(static_cast<const char*>(a), static_cast<const char*>(b));
    b.SetAt(0, 'R');
    EXPECT_NE(static_cast<const char*>(a), static_cast<const char*>(b));
    EXPECT_STREQ("recording", a);
    EXPECT_STREQ("Recording", b);

    CString c;
    c = a;      // an empty string too takes the source's buffer
    EXPECT_EQ(static_cast<const char*>(a), static_cast<const char*>(c));
    c += "!";
    EXPECT_STREQ("recording", a);
    EXPECT_STREQ("recording!", c);
}

TEST(CString, EmptyStringsAreEmptyAndAssignableFromNull)
{
    CString s;
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(0, s.GetLength());
    EXPECT_STREQ("", s);
    s = static_cast<const char*>(NULL);
    EXPECT_TRUE(s.IsEmpty());
    s = "x";
    s.Empty();
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(CString(), CString(""));
}

TEST(CString, AssigningAPartOfItselfKeepsTheText)
{
    CString s("abcdef");
    s = static_cast<const char*>(s) + 2;
    EXPECT_STREQ("cdef", s);
    s += s;
    EXPECT_STREQ("cdefcdef", s);
}

TEST(CString, ConcatenationAndComparisonAreByteWise)
{
    CString s = CString("P:") + " " + CString("_SEL") + ';';
    EXPECT_STREQ("P: _SEL;", s);
    EXPECT_STREQ("a_SEL", "a" + CString("_SEL"));
    EXPECT_TRUE(CString("_SEL") == "_SEL");
    EXPECT_TRUE(CString("_sel") != "_SEL");
    EXPECT_TRUE("_SEL" == CString("_SEL"));
    EXPECT_TRUE(CString("A") < CString("a"));
    EXPECT_GT(CString("\xE4").Compare("a"), 0);  // bytes compare unsigned, as strcmp
}

TEST(CString, TrimRemovesExactlyTheSixWhiteSpaceCodes)
{
    CString s(" \t\n\v\f\r x y \r\f\v\n\t ");
    CString copy(s);
    s.TrimLeft();
    EXPECT_STREQ("x y \r\f\v\n\t ", s);
    s.TrimRight();
    EXPECT_STREQ("x y", s);
    EXPECT_EQ(17, copy.GetLength());  // the copy was not touched

    CString other("\x1f" "a" "\xa0");  // unit separator and no-break space stay
    other.TrimLeft();
    other.TrimRight();
    EXPECT_STREQ("\x1f" "a" "\xa0", other);

    CString blanks("   ");
    blanks.TrimLeft();
    EXPECT_TRUE(blanks.IsEmpty());
}

TEST(CString, ExtractionClampsOutOfRangeArguments)
{
    const CString s("010102");
    EXPECT_STREQ("0101", s.Left(4));
    EXPECT_STREQ("010102", s.Left(100));
    EXPECT_STREQ("", s.Left(-1));
    EXPECT_STREQ("02", s.Right(2));
    EXPECT_STREQ("010102", s.Right(7));
    EXPECT_STREQ("01", s.Mid(2, 2));
    EXPECT_STREQ("0102", s.Mid(2));
    EXPECT_STREQ("", s.Mid(6));
    EXPECT_STREQ("", s.Mid(9, 2));
    EXPECT_STREQ("01", s.Mid(-3, 2));
    EXPECT_STREQ("102", s.Mid(3, 0x7fffffff));
}

TEST(CString, FindAndDelete)
{
    CString s("xxP: _SEL");
    EXPECT_EQ(2, s.Find("P:"));
    EXPECT_EQ(-1, s.Find("p:"));
    EXPECT_EQ(2, s.Find('P'));
    EXPECT_EQ(-1, s.Find("x", 3));
    EXPECT_EQ(-1, s.Find("x", 100));
    EXPECT_EQ(0, s.Find(""));
    EXPECT_EQ(1, s.ReverseFind('x'));
    EXPECT_EQ(-1, s.ReverseFind('\0'));
    EXPECT_EQ(7, s.Delete(0, 2));
    EXPECT_STREQ("P: _SEL", s);
    EXPECT_EQ(1, s.Delete(1, 100));
    EXPECT_STREQ("P", s);
    EXPECT_EQ(1, s.Delete(5, 1));
    EXPECT_EQ(1, s.Delete(0, 0));
}

TEST(CString, FormatHandlesTheWsprintfConversionsAndLongTexts)
{
    CString s;
    s.Format("%i|%d|%u|%x|%c|%s|%5d", 20, -7, 4294967295u, 0xABu, 'k', "txt", 42);
    EXPECT_STREQ("20|-7|4294967295|ab|k|txt|   42", s);

    std::string strLong(5000, 'z');
    s.Format("[%s]", strLong.c_str());
    EXPECT_EQ(5002, s.GetLength());
    EXPECT_EQ(']', s[5001]);
}

TEST(CString, ReleaseBufferMeasuresWithinTheBufferOnly)
{
    CString s("old");
    char* p = s.GetBuffer(520);
    EXPECT_STREQ("old", p);  // the previous text stays in the buffer
    memset(p, 'q', 521);     // 520 characters and the place of the zero
    s.ReleaseBuffer();
    EXPECT_EQ(520, s.GetLength());

    CString t;
    char* q = t.GetBuffer(10);
    strcpy(q, "abc");
    t.ReleaseBuffer();
    EXPECT_STREQ("abc", t);
    t.GetBuffer(10);
    t.ReleaseBuffer(2);
    EXPECT_STREQ("ab", t);

    CString shared("abc");
    CString copy(shared);
    copy.GetBuffer(0)[0] = 'X';
    copy.ReleaseBuffer();
    EXPECT_STREQ("abc", shared);
    EXPECT_STREQ("Xbc", copy);
}

TEST(AfxNew, NothrowAllocationReportsFailureWithNull)
{
    volatile size_t nHuge = static_cast<size_t>(-1) / 4;  // more than any heap can give
    char* p = new (std::nothrow) char[nHuge];
    EXPECT_TRUE(p == NULL);
    delete[] p;
    int* pSmall = new int(42);
    EXPECT_EQ(42, *pSmall);
    delete pSmall;
}
