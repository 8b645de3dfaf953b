// The box's UTF-16 text, counted and converted character by character, as
// every front-end of the form does.
#include <form/form.h>

#include <gtest/gtest.h>

TEST(Form, Utf16TextIsCountedAndConvertedByCharacter)
{
    const struct
    {
        std::u16string text;
        std::size_t characters;
        std::u16string shown;
    } cases[] = {
        {u"", 0, u""},
        {u"42123456", 8, u"04.42.12.34.56"},
        {u"45\U0001F4DE9", 4, u"05.45.\U0001F4DE9.."}, // a pair is one character
        {u"\U0001F4DE", 1, u"\U0001F4DE"},
        {u"45\xD83D"
         u"12",
            5,
            u"05.45.\xD83D"
            u"1.2."}, // an unpaired surrogate is kept
        {u"\xDC00"
         u"5",
            2, u"??????????"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(form::characterCount(c.text), c.characters);
        EXPECT_EQ(form::convertText(c.text), c.shown);
    }
}
