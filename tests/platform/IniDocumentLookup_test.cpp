#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/IniProfile.h"

using vk::platform::IniDocument;

namespace {

std::string lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The lookup rules spelled out: the first section of the name, the first key
// of the name inside it; later sections of the same name are not read.
struct Reference {
    struct Key {
        std::string name, value;
    };
    struct Section {
        std::string name;
        std::vector<Key> keys;
    };
    std::vector<Section> sections;

    const std::string* find(const std::string& section, const std::string& key) const {
        for (const auto& s : sections) {
            if (lower(s.name) != lower(section)) continue;
            for (const auto& k : s.keys)
                if (lower(k.name) == lower(key)) return &k.value;
            return nullptr;
        }
        return nullptr;
    }
};

TEST(IniDocumentLookup, SmallAndLargeSectionsFollowTheFirstMatchRules) {
    std::mt19937 rng(4242);
    for (int round = 0; round < 40; ++round) {
        Reference ref;
        std::string text;
        int sectionCount = 1 + static_cast<int>(rng() % 12);
        for (int s = 0; s < sectionCount; ++s) {
            // Few names, so sections repeat in other letter cases.
            std::string name = (rng() % 2 ? "Sec" : "SEC") + std::to_string(rng() % 6);
            text += "[" + name + "]\r\n";
            Reference::Section section{name, {}};
            // Some sections stay small, some grow past a short scan.
            int keys = static_cast<int>(rng() % (round % 2 ? 8 : 90));
            for (int k = 0; k < keys; ++k) {
                std::string key = (rng() % 3 ? "key" : "KEY") + std::to_string(rng() % 60);
                std::string value = "v" + std::to_string(round) + "_" + std::to_string(s) + "_" + std::to_string(k);
                text += key + "=" + value + "\r\n";
                section.keys.push_back({key, value});
            }
            ref.sections.push_back(section);
        }
        IniDocument doc = IniDocument::parse(text);
        for (int s = 0; s < 6; ++s)
            for (int k = 0; k < 60; ++k) {
                std::string section = "sec" + std::to_string(s), key = "Key" + std::to_string(k);
                const std::string* want = ref.find(section, key);
                auto got = doc.find(section, key);
                ASSERT_EQ(got.has_value(), want != nullptr) << round << " " << section << " " << key;
                if (want) {
                    ASSERT_EQ(std::string(*got), *want) << round << " " << section << " " << key;
                }
            }
    }
}

TEST(IniDocumentLookup, ReadsEveryKeyOfAManySectionPayload) {
    std::string text;
    for (int i = 1; i <= 20000; ++i)
        text += "[Signature" + std::to_string(i) + "]\nName=N" + std::to_string(i) + "\nCRC32Checksum=" +
                std::to_string(i * 7) + "\n";
    IniDocument doc = IniDocument::parse(text);
    for (int i = 1; i <= 20000; ++i) {
        std::string section = "signature" + std::to_string(i);
        ASSERT_EQ(doc.get(section, "name", ""), "N" + std::to_string(i));
        ASSERT_EQ(doc.get(section, "crc32checksum", ""), std::to_string(i * 7));
    }
    EXPECT_EQ(doc.get("Signature20001", "Name", "missing"), "missing");
}

}  // namespace
