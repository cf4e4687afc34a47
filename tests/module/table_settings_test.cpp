// The table as the host reads it, word by word and byte by byte, and the
// 8-byte settings exchange at its edges.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/module/module_test.h"
#include "tests/module/module_under_test.h"

namespace {

// The 26 words in table order. On the host's 32-bit platform they are read
// straight from memory, as the host reads them; elsewhere field by field.
std::vector<uintptr_t> Words(const OutputPluginTable* table) {
    std::vector<uintptr_t> words;
#if UINTPTR_MAX == 0xFFFFFFFFu
    uint32_t raw[26];
    static_assert(sizeof raw == sizeof(OutputPluginTable), "26 words");
    std::memcpy(raw, table, sizeof raw);
    words.assign(raw, raw + 26);
#else
    words = {static_cast<uint32_t>(table->flags),
             reinterpret_cast<uintptr_t>(table->name),
             reinterpret_cast<uintptr_t>(table->filter),
             reinterpret_cast<uintptr_t>(table->information),
             reinterpret_cast<uintptr_t>(table->unused4),
             reinterpret_cast<uintptr_t>(table->unused5),
             reinterpret_cast<uintptr_t>(table->output),
             reinterpret_cast<uintptr_t>(table->config),
             reinterpret_cast<uintptr_t>(table->configGet),
             reinterpret_cast<uintptr_t>(table->configSet)};
    for (int32_t reserved : table->reserved) words.push_back(static_cast<uint32_t>(reserved));
#endif
    return words;
}

class Settings : public ModuleTest {
protected:
    // What the debugger saw since the last look.
    std::vector<std::string> Lines() { return TakeDebugLines(); }
};

const std::vector<std::string> kNoLines;

}  // namespace

TEST(Table, SameAddressOnEveryCall) {
    auto lookup = reinterpret_cast<GetOutputPluginTableFn>(ModuleExport("GetOutputPluginTable"));
    ASSERT_NE(lookup, nullptr);
    OutputPluginTable* first = lookup();
    EXPECT_EQ(first, lookup());
    EXPECT_EQ(first, lookup());
    EXPECT_EQ(first, TheModule().table);
}

TEST(Table, WordsAreFlagsStringsEntriesAndZeros) {
    const OutputPluginTable* table = TheModule().table;
    ASSERT_NE(table, nullptr);
    const std::vector<uintptr_t> words = Words(table);
    ASSERT_EQ(words.size(), 26u);
    EXPECT_EQ(words[0], 0u);
    for (int word : {1, 2, 3, 6, 7, 8, 9}) EXPECT_NE(words[word], 0u) << "word " << word;
    EXPECT_EQ(words[4], 0u);
    EXPECT_EQ(words[5], 0u);
    for (int word = 10; word < 26; ++word) EXPECT_EQ(words[word], 0u) << "word " << word;
    EXPECT_EQ(words[1], reinterpret_cast<uintptr_t>(table->name));
    EXPECT_EQ(words[6], reinterpret_cast<uintptr_t>(table->output));
    EXPECT_EQ(words[9], reinterpret_cast<uintptr_t>(table->configSet));
}

TEST(Table, StringsByteForByte) {
    const OutputPluginTable* table = TheModule().table;
    ASSERT_NE(table, nullptr);
    EXPECT_STREQ(table->name, "Rozove");
    EXPECT_STREQ(table->information, "Rozove 256-level gray animated GIF output");
    static const char kFilter[42] = "GIF File (*.gif)\0*.gif\0AllFile (*.*)\0*.*\0";
    EXPECT_EQ(std::memcmp(table->filter, kFilter, sizeof kFilter), 0);
    // The run ends at the first empty string: byte 41 closes it.
    size_t length = 0;
    while (table->filter[length] != '\0' || table->filter[length + 1] != '\0') ++length;
    EXPECT_EQ(length + 2, 42u);
}

TEST_F(Settings, FreshModuleHoldsEightZeroBytes) {
    ASSERT_TRUE(TheModule().initialSettingsRead);
    const uint8_t zeros[8] = {0};
    EXPECT_EQ(std::memcmp(TheModule().initialSettings, zeros, 8), 0);
}

TEST_F(Settings, SizeQueryWithNullBufferWhateverTheSize) {
    SetSettings(1, 77);
    Lines();
    for (int32_t size : {0, 1, 7, 8, 9, -1, 4096}) {
        EXPECT_EQ(table->configGet(nullptr, size), 8) << "size " << size;
        EXPECT_EQ(Lines(), std::vector<std::string>{"_get"}) << "size " << size;
    }
    EXPECT_TRUE(HoldsSettings(1, 77));
}

TEST_F(Settings, GetIntoAShortBufferIsRefusedAndWritesNothing) {
    for (int32_t size : {0, 4, 7, -8}) {
        uint8_t buffer[16];
        std::memset(buffer, 0xA5, sizeof buffer);
        EXPECT_EQ(table->configGet(buffer, size), 0) << "size " << size;
        for (uint8_t byte : buffer) ASSERT_EQ(byte, 0xA5) << "size " << size;
    }
    EXPECT_EQ(Lines(), kNoLines);
}

TEST_F(Settings, GetWritesTheBlockLittleEndian) {
    SetSettings(0x01020304, -2);
    Lines();
    uint8_t buffer[12];
    std::memset(buffer, 0xA5, sizeof buffer);
    EXPECT_EQ(table->configGet(buffer, 12), 8);
    const uint8_t expected[12] = {4, 3, 2, 1, 0xFE, 0xFF, 0xFF, 0xFF, 0xA5, 0xA5, 0xA5, 0xA5};
    EXPECT_EQ(std::memcmp(buffer, expected, sizeof expected), 0);
    EXPECT_EQ(Lines(), std::vector<std::string>{"_get"});
}

TEST_F(Settings, WrongSizeIsRefusedWhole) {
    SetSettings(1, 42);
    Lines();
    uint8_t other[9] = {9, 9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_EQ(table->configSet(other, 7), 0);
    EXPECT_EQ(table->configSet(other, 9), 0);
    EXPECT_EQ(table->configSet(other, 0), 0);
    EXPECT_EQ(table->configSet(other, -8), 0);
    EXPECT_EQ(Lines(), kNoLines);
    EXPECT_TRUE(HoldsSettings(1, 42));
}

TEST_F(Settings, NullDataIsRefused) {
    SetSettings(1, 42);
    Lines();
    EXPECT_EQ(table->configSet(nullptr, 8), 0);
    EXPECT_EQ(Lines(), kNoLines);
    EXPECT_TRUE(HoldsSettings(1, 42));
}

TEST_F(Settings, AnyFlagAndRepeatCountAreKeptVerbatim) {
    uint8_t block[8] = {5, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(table->configSet(block, 8), 8);
    EXPECT_EQ(Lines(), std::vector<std::string>{"_set"});
    uint8_t back[8] = {0};
    EXPECT_EQ(table->configGet(back, 8), 8);
    EXPECT_EQ(std::memcmp(back, block, 8), 0);
}
