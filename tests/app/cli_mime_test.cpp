// kivo mime dump / encode as a user runs them, and the golden dumps of the sample messages in
// tests/data/mime: each NAME.eml has beside it NAME.json, what Kivo makes of it. Run the test
// program with --regen to rewrite the golden files after an intended change, then review the
// diff.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/testutil.h"

namespace kivo {
namespace {

using test::RunKivo;
using test::TempDir;
using Json = nlohmann::json;

std::vector<std::filesystem::path> Samples() {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(test::DataPath("mime"))) {
        if (entry.path().extension() == ".eml") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(CliMime, DumpsMatchTheGoldenFiles) {
    const auto samples = Samples();
    ASSERT_GE(samples.size(), 12u);
    for (const auto& eml : samples) {
        auto result = RunKivo({"mime", "dump", eml.string()});
        ASSERT_EQ(result.status, 0) << eml << ": " << result.err;
        std::filesystem::path golden = eml;
        golden.replace_extension(".json");
        if (test::Regenerating()) {
            test::WriteFile(golden, result.out);
            continue;
        }
        ASSERT_TRUE(std::filesystem::exists(golden)) << golden << " missing; run with --regen";
        EXPECT_EQ(result.out, test::ReadFile(golden)) << eml.filename();
    }
}

// Decoding what `mime encode` wrote gives the same message again: fields, body lines and the
// exact attachment bytes. (Not the charset: a line of 256 characters or more is sent
// quoted-printable, which reads back as iso-8859-1.)
TEST(CliMime, EncodedOutputDecodesToTheSameMessage) {
    TempDir dir;
    for (const char* name : {"plain", "eightbit", "qp", "mixed-binary", "alternative",
                             "nested-alternative", "uuencoded", "disposition-name", "long-html"}) {
        const std::string eml = test::DataPath(std::string("mime/") + name + ".eml").string();
        auto encoded = RunKivo({"mime", "encode", eml});
        ASSERT_EQ(encoded.status, 0) << name << ": " << encoded.err;
        test::WriteFile(dir / "again.eml", encoded.out);
        Json first = Json::parse(RunKivo({"mime", "dump", eml}).out);
        Json second = Json::parse(RunKivo({"mime", "dump", (dir / "again.eml").string()}).out);
        for (const char* key : {"sender", "to", "cc", "subject", "priority", "returnReceipt",
                                "contentType", "encoding", "body", "attachments"}) {
            EXPECT_EQ(second[key], first[key]) << name << ": " << key;
        }
    }
}

TEST(CliMime, ErrorsAreReportedOnOneLine) {
    TempDir dir;
    auto missing = RunKivo({"mime", "dump", (dir / "none.eml").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("none.eml"), std::string::npos) << missing.err;
    auto usage = RunKivo({"mime", "encode"});
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("usage: kivo mime encode FILE"), std::string::npos) << usage.err;
}

TEST(CliMime, EveryByteSurvivesAsItsOwnCharacter) {
    TempDir dir;
    std::string subject;
    for (int c = 0x80; c <= 0xff; ++c) subject += static_cast<char>(c);
    test::WriteFile(dir / "m.eml", "Subject: " + subject + "\r\n\r\nbody\r\n");
    Json dump = Json::parse(RunKivo({"mime", "dump", (dir / "m.eml").string()}).out);
    std::u32string expected;
    for (char32_t c = 0x80; c <= 0xff; ++c) expected += c;
    std::string utf8 = dump["subject"];
    std::u32string decoded;
    for (std::size_t i = 0; i < utf8.size(); i += 2) {
        decoded += static_cast<char32_t>(((utf8[i] & 0x1f) << 6) | (utf8[i + 1] & 0x3f));
    }
    EXPECT_EQ(decoded, expected);
}

}  // namespace
}  // namespace kivo
