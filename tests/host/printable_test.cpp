// Echoed input with control characters: every one shown as an escape, so
// that nothing reaches the terminal raw; other bytes, UTF-8 included, stay.
#include "host/common/printable.h"

#include <gtest/gtest.h>

namespace {

TEST(Printable, ControlCharactersAreEscaped) {
    EXPECT_EQ(Printable("W\r320"), "W\\r320");
    EXPECT_EQ(Printable("a\nb\tc"), "a\\nb\\tc");
    EXPECT_EQ(Printable("\x1b[2Jx"), "\\e[2Jx");
    EXPECT_EQ(Printable(std::string("\0\x01\x7f", 3)), "\\x00\\x01\\x7f");
}

TEST(Printable, OtherTextStays) {
    EXPECT_EQ(Printable("C:\\clips\\出力.y4m"), "C:\\clips\\出力.y4m");
    EXPECT_EQ(Printable(""), "");
}

}  // namespace
