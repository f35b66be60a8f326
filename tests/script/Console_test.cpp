#include "script/Console.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace vk::script {
namespace {

struct Recorder : ConsoleListener {
    std::vector<std::string> events;
    void lineAppended(std::string_view line, bool joined) override {
        events.push_back((joined ? "+" : "=") + std::string(line));
    }
    void textReset(std::string_view text) override { events.push_back("reset:" + std::string(text)); }
};

struct CountingPump : platform::EventPump {
    int calls = 0;
    void pump() override { ++calls; }
};

struct RecordingClipboard : platform::Clipboard {
    std::vector<std::string> copies;
    void setText(const std::string& text) override { copies.push_back(text); }
};

TEST(Console, LinesAreJoinedWithCrLf) {
    Console console;
    console.append("one");
    console.append("");
    console.append("two\r\nthree");
    EXPECT_EQ(console.text(), "one\r\n\r\ntwo\r\nthree");
    EXPECT_EQ(console.size(), console.text().size());
}

TEST(Console, EmptiedBeforeTheNextLineOnlyWhenOverTheLimit) {
    struct Case {
        std::size_t before;
        bool emptied;
    };
    for (Case c : {Case{54999, false}, Case{55000, false}, Case{55001, true}, Case{60000, true}}) {
        Console console;
        console.setText(std::string(c.before, 'x'));
        EXPECT_EQ(console.overLimit(), c.emptied) << c.before;
        console.append("next");
        if (c.emptied) {
            EXPECT_EQ(console.text(), "next") << c.before;
        } else {
            EXPECT_EQ(console.text(), std::string(c.before, 'x') + "\r\nnext") << c.before;
        }
    }
}

TEST(Console, TheLimitCountsCharactersNotBytes) {
    struct Case {
        std::size_t characters;
        bool emptied;
    };
    for (Case c : {Case{30000, false}, Case{55000, false}, Case{55001, true}}) {
        std::string text;
        for (std::size_t i = 0; i < c.characters; ++i) text += "\xC3\xA9";  // é
        Console console;
        console.setText(text);
        console.append("next");
        EXPECT_EQ(console.text() == "next", c.emptied) << c.characters;
    }
    // Lines added one by one count the same.
    Console console;
    std::string euros;
    for (int i = 0; i < 20; ++i) euros += "\xE2\x82\xAC";
    for (int i = 0; i < 1000; ++i) console.appendLine(euros);
    EXPECT_EQ(console.length(), 1000u * 20 + 999 * 2);
    EXPECT_GT(console.size(), kConsoleClearLimit);
    EXPECT_FALSE(console.overLimit());
}

TEST(Console, AppendLineKeepsTheTextWhateverItsSize) {
    // The VBScript host applies its own limit rule around this primitive.
    Console console;
    console.setText(std::string(55001, 'x'));
    console.appendLine("next");
    EXPECT_EQ(console.size(), 55001u + 2 + 4);
}

TEST(Console, ListenersSeeEachLineAsItIsWritten) {
    Console console;
    Recorder rec;
    console.addListener(&rec);
    console.addListener(&rec);  // once only
    console.append("a");
    console.append("b");
    console.clear();
    console.append("c");
    console.setText(std::string(55001, 'y'));
    console.append("d");
    std::vector<std::string> expected{"=a", "+b", "reset:", "=c", "reset:" + std::string(55001, 'y'),
                                      "reset:", "=d"};
    EXPECT_EQ(rec.events, expected);
    console.removeListener(&rec);
    console.append("e");
    EXPECT_EQ(rec.events.size(), expected.size());
}

TEST(Console, OnePumpPerAppendedLine) {
    Console console;
    CountingPump pump;
    console.setPump(&pump);
    for (int i = 0; i < 5; ++i) console.append("line");
    EXPECT_EQ(pump.calls, 5);
    console.appendLine("raw");
    console.clear();
    EXPECT_EQ(pump.calls, 5);
}

TEST(Console, FailingListenerDoesNotStopTheConsole) {
    struct Throwing : ConsoleListener {
        void lineAppended(std::string_view, bool) override { throw std::runtime_error("gone"); }
        void textReset(std::string_view) override { throw std::runtime_error("gone"); }
    } bad;
    struct SelfRemoving : ConsoleListener {
        Console* console = nullptr;
        int seen = 0;
        void lineAppended(std::string_view, bool) override {
            ++seen;
            console->removeListener(this);
        }
    } once;
    Recorder rec;
    Console console;
    once.console = &console;
    console.addListener(&bad);
    console.addListener(&once);
    console.addListener(&rec);
    console.append("a");
    console.append("b");
    console.clear();
    EXPECT_EQ(once.seen, 1);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"=a", "+b", "reset:"}));
}

TEST(Console, CopyPutsTheWholeTextOnTheClipboardOrIsSkipped) {
    Console console;
    console.append("a");
    console.append("b");
    console.copyToClipboard();  // no clipboard bound: nothing happens
    RecordingClipboard clip;
    console.setClipboard(&clip);
    console.copyToClipboard();
    EXPECT_EQ(clip.copies, (std::vector<std::string>{"a\r\nb"}));
}

}  // namespace
}  // namespace vk::script
