#include "store/indexstore.h"

#include <gtest/gtest.h>

#include <string>

namespace kivo {
namespace {

TIndexItem Entry(int number, std::string date, std::string size, std::string priority) {
    TIndexItem item;
    item.Subject = "Subject " + std::to_string(number);
    item.From = "From " + std::to_string(number);
    item.To = "to" + std::to_string(number) + "@example.com";
    item.Date = std::move(date);
    item.Size = std::move(size);
    item.Priority = std::move(priority);
    item.Number = number;
    item.Icon = number % 16;
    item.Unread = number % 2 == 0;
    item.HasAttachment = number % 3 == 0;
    item.Tagged = number % 5 == 0;
    return item;
}

TEST(IndexStore, EveryEntryReadsBackAsItWasAdded) {
    // Values the program writes are packed; every other text is kept as it was.
    struct Case {
        const char* date;
        const char* size;
        const char* priority;
    } cases[] = {
        {"05/07/1999 12:34:56", "3", "Highest"},
        {"29/02/2024", "1", "High"},  // midnight: written without the time
        {"31/12/9999 23:59:59", "2147483647", "Normal"},
        {"01/01/0100 00:00:01", "0", "Low"},
        {"29/02/2024 00:00:00", "007", "Lowest"},  // midnight with its time, leading zeros
        {"1/2/2024 3:04", "+5", "normal"},         // another form of a date, a sign, case
        {"01/02/24", "-3", "Urgent"},              // two-digit year
        {"0005/07/1999", " 4", ""},                // a date that ParseProgramDate reads
        {"bad date", "x", "3 (Normal)"},
        {"", "", "Highest "},
        {"30/02/2024", "99999999999", "High"},     // no such day, size out of range
        {"05/07/1999 12:34:56 ", "1 ", "Normal"},  // trailing blanks
    };
    TIndexStore store;
    int number = 0;
    for (const Case& c : cases) store.Add(Entry(++number, c.date, c.size, c.priority));
    ASSERT_EQ(store.Count(), std::size(cases));
    number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.date);
        EXPECT_EQ(store.Item(static_cast<std::size_t>(number)),
                  Entry(number + 1, c.date, c.size, c.priority));
        ++number;
    }
}

TEST(IndexStore, TextsAreCutAt255Bytes) {
    TIndexItem item = Entry(1, std::string(300, 'd'), std::string(300, '7'), std::string(300, 'p'));
    item.Subject = std::string(300, 's');
    item.From = std::string(256, 'f');
    item.To = std::string(255, 't');
    TIndexStore store;
    store.Add(item);
    const TIndexItem back = store.Item(0);
    EXPECT_EQ(back.Subject, std::string(255, 's'));
    EXPECT_EQ(back.From, std::string(255, 'f'));
    EXPECT_EQ(back.To, std::string(255, 't'));
    EXPECT_EQ(back.Date, std::string(255, 'd'));
    EXPECT_EQ(back.Size, std::string(255, '7'));
    EXPECT_EQ(back.Priority, std::string(255, 'p'));
}

TEST(IndexStore, NumericKeysOrderDatesAndSizesWithUnreadableValuesFirst) {
    TIndexStore store;
    store.Add(Entry(1, "31/12/2023 23:59:59", "10", "Normal"));
    store.Add(Entry(2, "01/01/2024", "9", "Normal"));
    store.Add(Entry(3, "01/01/2024 00:00:01", "-1", "Normal"));
    store.Add(Entry(4, "bad", "x", "Normal"));
    store.Add(Entry(5, "1/1/2024", "010", "Normal"));  // the same date and size as 2 and 1
    auto key = [&](std::size_t pos, TIndexColumn column) { return store.NumericKey(pos, column); };
    EXPECT_LT(key(3, icDate), key(0, icDate));
    EXPECT_LT(key(0, icDate), key(1, icDate));
    EXPECT_LT(key(1, icDate), key(2, icDate));
    EXPECT_EQ(key(4, icDate), key(1, icDate));
    EXPECT_LT(key(3, icSize), key(2, icSize));
    EXPECT_LT(key(2, icSize), key(1, icSize));
    EXPECT_LT(key(1, icSize), key(0, icSize));
    EXPECT_EQ(key(4, icSize), key(0, icSize));
}

TEST(IndexStore, RemovingMostEntriesGivesTheirTextsBack) {
    TIndexStore store;
    for (int n = 1; n <= 100; ++n)
        store.Add(Entry(n, n % 2 ? "odd date" : "01/01/2024", "1", "Normal"));
    const std::size_t full = store.ArenaBytes();

    std::vector<char> drop(100, 0);
    for (int i = 0; i < 40; ++i) drop[static_cast<std::size_t>(i)] = 1;
    store.Remove(drop);  // under half dead: kept until more dies
    EXPECT_EQ(store.ArenaBytes(), full);
    EXPECT_GT(store.DeadBytes(), 0u);

    drop.assign(60, 0);
    for (int i = 0; i < 20; ++i) drop[static_cast<std::size_t>(i)] = 1;
    store.Remove(drop);
    EXPECT_EQ(store.DeadBytes(), 0u);
    EXPECT_LT(store.ArenaBytes(), full / 2);
    ASSERT_EQ(store.Count(), 40u);
    for (std::size_t pos = 0; pos < store.Count(); ++pos) {
        const int n = 61 + static_cast<int>(pos);
        EXPECT_EQ(store.Item(pos), Entry(n, n % 2 ? "odd date" : "01/01/2024", "1", "Normal"));
    }
}

}  // namespace
}  // namespace kivo
