// Tests of the reentrant tokenizer.
#include "cmdline/CTokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
std::vector<std::string> AllTokens(std::string strText)
{
    std::vector<std::string> tokens;
    CTokenizer tokenizer(&strText[0], ';');
    for (const char* psz = tokenizer.Next(); psz != NULL; psz = tokenizer.Next())
        tokens.push_back(psz);
    return tokens;
}
}

TEST(CTokenizer, SplitsAsStrtokDoes)
{
    struct { const char* pszText; std::vector<std::string> tokens; } const cases[] = {
        { "a;b;c", { "a", "b", "c" } },
        { ";;a;;;b;", { "a", "b" } },           // runs of separators count as one
        { " ; ", { " ", " " } },                // blanks are tokens
        { "", {} },
        { ";;;", {} },
        { "\"x;y\";z", { "\"x", "y\"", "z" } },  // quotes do not protect a ";"
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszText);
        EXPECT_EQ(c.tokens, AllTokens(c.pszText));
    }
}

TEST(CTokenizer, TwoTokenizersKeepTheirOwnPlace)
{
    char szFirst[] = "a;b;c";
    char szSecond[] = "1;2;3";
    CTokenizer first(szFirst, ';');
    CTokenizer second(szSecond, ';');
    EXPECT_STREQ("a", first.Next());
    EXPECT_STREQ("1", second.Next());
    EXPECT_STREQ("b", first.Next());
    EXPECT_STREQ("2", second.Next());
    EXPECT_STREQ("3", second.Next());
    EXPECT_EQ(NULL, second.Next());
    EXPECT_STREQ("c", first.Next());
    EXPECT_EQ(NULL, first.Next());
    EXPECT_EQ(NULL, first.Next());  // stays at the end
}
