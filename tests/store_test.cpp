#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "registry.h"
#include "store/store.h"

namespace {

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::Reset();
        reg::ClearStore();
    }
    void TearDown() override { reg::ClearStore(); }
};

struct Seen {
    LONG outcome;
    std::string name;
    std::string data;
};

bool Collect(const StoreValue *value, void *context)
{
    ((std::vector<Seen> *)context)->push_back(Seen{value->outcome, value->name, value->data});
    return true;
}

std::vector<Seen> Scan(REGSAM access = KEY_READ)
{
    std::vector<Seen> seen;
    EXPECT_EQ(ERROR_SUCCESS, EnumerateStore(access, Collect, &seen));
    return seen;
}

TEST_F(StoreTest, FirstRunOnlyWhileTheKeyIsMissing)
{
    EXPECT_TRUE(IsFirstRun());
    EXPECT_EQ(ERROR_SUCCESS, CreateStore());
    EXPECT_FALSE(IsFirstRun());
    EXPECT_TRUE(Scan().empty()) << "a new store is empty";
    EXPECT_EQ(ERROR_SUCCESS, CreateStore()) << "creating an existing store opens it";
}

TEST_F(StoreTest, WrittenValuesAreStringsWithTheirTerminator)
{
    WriteStoreValue("21045PMFilm", "Film");
    WriteStoreValue("1120 0AM", "");
    std::vector<RawValue> values = reg::AllValues();
    ASSERT_EQ(2u, values.size());
    for (const RawValue &value : values) {
        SCOPED_TRACE(value.name);
        EXPECT_EQ((DWORD)REG_SZ, value.type);
        ASSERT_FALSE(value.bytes.empty());
        EXPECT_EQ('\0', value.bytes.back());
    }
}

TEST_F(StoreTest, WriteRecreatesAMissingKeyAndReplacesASameNamedValue)
{
    WriteStoreValue(ALERTMODE_VALUE, "1");
    WriteStoreValue(ALERTMODE_VALUE, "2");
    std::vector<Seen> seen = Scan();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("2", seen[0].data);
}

TEST_F(StoreTest, EnumerationGivesEveryStringValueInThePlatformsOrder)
{
    reg::PutString("50705PMNews", "News");
    reg::PutString("10800PMFilm", "Film");
    reg::PutString(ALERTMODE_VALUE, "3");
    std::vector<RawValue> expected = reg::AllValues();
    std::vector<Seen> seen = Scan(KEY_ALL_ACCESS);
    ASSERT_EQ(expected.size(), seen.size());
    for (size_t i = 0; i < seen.size(); i++) {
        EXPECT_EQ(ERROR_SUCCESS, seen[i].outcome);
        EXPECT_EQ(expected[i].name, seen[i].name);
        EXPECT_EQ(expected[i].bytes, seen[i].data + '\0');
    }
}

TEST_F(StoreTest, EnumerationOfAMissingKeyReportsTheOpenFailureAndVisitsNothing)
{
    std::vector<Seen> seen;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, EnumerateStore(KEY_READ, Collect, &seen));
    EXPECT_TRUE(seen.empty());
}

TEST_F(StoreTest, OutsidersValuesNeverReachAReaderUnterminatedOrStale)
{
    reg::PutString("1aaaaaa", "first text, long enough to leave residue");
    reg::PutRaw("2bbbbbb", REG_SZ, "short");  // no terminator
    reg::PutRaw("3dword", REG_DWORD, std::string("\x01\x02\x03\x04", 4));
    reg::PutRaw("4binary", REG_BINARY, std::string(300, 'x'));
    reg::PutRaw("5edge", REG_SZ, std::string(249, 'y'));  // leaves the terminator's byte free
    reg::PutString(std::string(250, 'n'), "name one too long");
    reg::PutString("6long", std::string(250, 'z'));  // data one byte over the room
    reg::PutString("7last", "last");

    std::vector<Seen> seen = Scan();
    std::vector<std::string> names;
    for (const Seen &value : seen) {
        SCOPED_TRACE(value.name);
        if (value.outcome == ERROR_MORE_DATA) {
            EXPECT_EQ("", value.name);
            EXPECT_EQ("", value.data);
            continue;
        }
        ASSERT_EQ(ERROR_SUCCESS, value.outcome);
        names.push_back(value.name);
        EXPECT_LT(value.data.size(), (size_t)STORE_DATA_ROOM);
        if (value.name == "2bbbbbb") {
            EXPECT_EQ("short", value.data);
        }
        if (value.name == "5edge") {
            EXPECT_EQ(std::string(249, 'y'), value.data);
        }
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"1aaaaaa", "2bbbbbb", "5edge", "7last"}), names)
        << "non-string values are passed over, oversized ones fail without ending the scan";
    size_t failures = 0;
    for (const Seen &value : seen)
        failures += value.outcome == ERROR_MORE_DATA;
    EXPECT_EQ(3u, failures) << "the long name, the long text and the 300-byte binary value";
}

TEST_F(StoreTest, DeletingAValueKeepsTheOthersAndDeletingTheStoreRemovesEverything)
{
    reg::PutString("10800PMFilm", "Film");
    reg::PutString("10700PMNews", "News");
    DeleteStoreValue("10800PMFilm");
    std::vector<Seen> seen = Scan();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("10700PMNews", seen[0].name);
    DeleteStore();
    EXPECT_FALSE(reg::StoreExists());
    EXPECT_TRUE(IsFirstRun());
}

// The remove dialog repeats a pass only while deleting makes progress, so a delete that did
// nothing must not say it did.
TEST_F(StoreTest, DeletingAValueSaysWhetherItWentByThatCall)
{
    EXPECT_FALSE(DeleteStoreValue("10800PMFilm")) << "no store";
    reg::PutString("10800PMFilm", "Film");
    EXPECT_TRUE(DeleteStoreValue("10800PMFilm"));
    EXPECT_FALSE(DeleteStoreValue("10800PMFilm")) << "already gone";
    EXPECT_TRUE(reg::StoreExists());
}

TEST_F(StoreTest, AlertModeTextReadsAsAnUnsignedDecimalNumber)
{
    struct Case {
        const char *text;
        DWORD number;
    } cases[] = {
        {"1", 1},          {" 1", 1},           {"\t\n 2", 2},       {"+3", 3},
        {"-1", 0xFFFFFFFFu}, {"-2", 0xFFFFFFFEu}, {"2abc", 2},        {"abc", 0},
        {"", 0},           {"99999999999", 0xFFFFFFFFu},            {"4294967295", 0xFFFFFFFFu},
        {"4294967296", 0xFFFFFFFFu},            {"-99999999999", 0xFFFFFFFFu},
        {"- 1", 0},        {"007", 7},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string("text \"") + c.text + "\"");
        reg::PutString(ALERTMODE_VALUE, c.text);
        EXPECT_EQ(c.number, ReadAlertMode());
        EXPECT_EQ(c.text[0], ReadAlertModeChar());
    }
}

TEST_F(StoreTest, AMissingOrForeignAlertModeIsNoMode)
{
    EXPECT_EQ(0u, ReadAlertMode()) << "no key";
    EXPECT_EQ('\0', ReadAlertModeChar());
    reg::PutString("10800PMFilm", "Film");
    EXPECT_EQ(0u, ReadAlertMode()) << "no value";
    reg::PutRaw(ALERTMODE_VALUE, REG_DWORD, std::string("\x01\0\0\0", 4));
    EXPECT_EQ(0u, ReadAlertMode()) << "not a string";
    EXPECT_EQ('\0', ReadAlertModeChar());
    reg::PutString(ALERTMODE_VALUE, "1" + std::string(300, '0'));
    EXPECT_EQ(0u, ReadAlertMode()) << "does not fit its room";
    EXPECT_EQ('\0', ReadAlertModeChar());
    reg::PutRaw(ALERTMODE_VALUE, REG_SZ, std::string(259, '2'));
    EXPECT_EQ('2', ReadAlertModeChar()) << "unterminated, one byte short of its room";
    EXPECT_EQ(0xFFFFFFFFu, ReadAlertMode());
}

}  // namespace
