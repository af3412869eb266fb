#include "host/Registry.h"

#include <gtest/gtest.h>

#include "host/ComponentManager.h"
#include "host/HostLimits.h"

namespace vx::host {
namespace {

constexpr char kDigest[] = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

TEST(Registry, ReadsComponentRecordsWithTheirDigests) {
  std::string text = std::string("# Component registry\n\n") +
                     "COMPSTART\n"
                     "NAME = Vantessel\n"
                     "WIN_VERSION = 2.3\n"
                     "WIN_URL = http://host/pkg/Vantessel2_3.so.gz\r\n"
                     "#WIN_SHA256 = " + kDigest + "\n"
                     "COMPEND\n"
                     "COMPSTART NAME=Gadget WIN_VERSION=2.10 COMPEND\n"
                     "COMPSTART\nNAME = Last\nCOMPEND";  // no line end at the very end
  std::optional<RegistryFile> registry = ParseRegistryText(text, kComponentRegistryFormat);
  ASSERT_TRUE(registry);
  ASSERT_EQ(registry->records.size(), 3u);
  const RegistryRecord& core = registry->records[0];
  EXPECT_EQ(core.name, "Vantessel");
  EXPECT_EQ(core.major, 2);
  EXPECT_EQ(core.minor, 3);
  EXPECT_EQ(core.url, "http://host/pkg/Vantessel2_3.so.gz");
  EXPECT_EQ(core.sha256, kDigest);
  EXPECT_EQ(registry->records[1].name, "Gadget");
  EXPECT_EQ(registry->records[1].minor, 10);
  EXPECT_TRUE(registry->records[1].sha256.empty());
  EXPECT_EQ(registry->records[2].name, "Last");
}

TEST(Registry, RefusesWholeFilesThatAreMalformed) {
  EXPECT_FALSE(ParseRegistryText("COMPSTART\nNAME = A\nCOMPSTART\nCOMPEND\n", kComponentRegistryFormat));
  EXPECT_FALSE(ParseRegistryFile("/nonexistent/ComponentRegistry.txt", kComponentRegistryFormat));
  // A keyword missing its value reads as empty rather than failing.
  std::optional<RegistryFile> registry =
      ParseRegistryText("PRODUCTSTART NAME\nWIN_VERSION\nPRODUCTEND\nPRODUCTEND\n", kProductRegistryFormat);
  ASSERT_TRUE(registry);
  ASSERT_EQ(registry->records.size(), 1u);  // an end without a start adds nothing
  EXPECT_EQ(registry->records[0].major, 0);
}

TEST(Registry, ABadLineCostsOnlyTheRecordsItTouches) {
  const std::string longLine = std::string(kMaxLineLength + 1, '#') + "\n";
  const std::string text = "COMPSTART NAME=Before COMPEND\n" + longLine +                    // between records
                           "COMPSTART\nNAME = Spoiled\n" + longLine + "COMPEND\n" +           // inside one
                           "COMPSTART NAME " + std::string(300, 'x') + " COMPEND\n" +         // starts and ends one
                           "COMPSTART\nNAME = " + std::string(kMaxNameLength + 1, 'n') + "\nCOMPEND\n" +
                           "PRODUCT_DOWNLOAD_URL " + std::string(kMaxNameLength + 1, 'u') + "\n" +
                           "COMPSTART\nNAME = After\nCOMPEND\n";
  std::optional<RegistryFile> registry = ParseRegistryText(text, kComponentRegistryFormat);
  ASSERT_TRUE(registry);
  ASSERT_EQ(registry->records.size(), 2u);
  EXPECT_EQ(registry->records[0].name, "Before");
  EXPECT_EQ(registry->records[1].name, "After");
  EXPECT_FALSE(registry->siteUrl);
}

TEST(Registry, AValueEndsAtANul) {
  constexpr char kText[] = "PRODUCTSTART\nNAME = Pro\0duct\nWIN_VERSION = 2.1\0 9\nPRODUCTEND\n";
  const std::string text(kText, sizeof kText - 1);
  std::optional<RegistryFile> registry = ParseRegistryText(text, kProductRegistryFormat);
  ASSERT_TRUE(registry);
  ASSERT_EQ(registry->records.size(), 1u);
  EXPECT_EQ(registry->records[0].name, "Pro");
  EXPECT_EQ(registry->records[0].minor, 1);
}

TEST(Registry, EveryLocalRecordWrittenIsReadBack) {
  // Names from the longest that fits a line to ones no line can carry.
  std::vector<RegistryRecord> entries;
  for (const size_t length : {size_t{1}, size_t{227}, size_t{228}, size_t{247}, size_t{248}, kMaxNameLength})
    entries.push_back({std::string(length, static_cast<char>('a' + entries.size())), 2, 0, {}, {}});
  entries.push_back({"Last", 1, 5, {}, {}});
  const std::string text = LocalProductRegistryText(entries);
  for (size_t start = 0, end; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    EXPECT_LE(end - start, kMaxLineLength) << text.substr(start, 40);
  }
  std::optional<RegistryFile> registry = ParseRegistryText(text, kProductRegistryFormat);
  ASSERT_TRUE(registry);
  ASSERT_EQ(registry->records.size(), 5u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(registry->records[i].name, entries[i].name);
  EXPECT_EQ(registry->records[4].name, "Last");
  EXPECT_EQ(registry->records[4].minor, 5);
}

TEST(Registry, KeepsAtMostTheFormatsRecordCount) {
  std::string text;
  for (int i = 0; i < 12; ++i) text += "PRODUCTSTART NAME=P" + std::to_string(i) + " PRODUCTEND\n";
  text += "PRODUCT_DOWNLOAD_URL = http://site/get\n";
  std::optional<RegistryFile> registry = ParseRegistryText(text, kProductRegistryFormat);
  ASSERT_TRUE(registry);
  EXPECT_EQ(registry->records.size(), 10u);
  EXPECT_EQ(registry->siteUrl, "http://site/get");
}

TEST(Registry, DigestsOutsideARecordOrMalformedAreIgnored) {
  std::string text = std::string("#WIN_SHA256 = ") + kDigest + "\nCOMPSTART\n#WIN_SHA256 = abc\nCOMPEND\n";
  std::optional<RegistryFile> registry = ParseRegistryText(text, kComponentRegistryFormat);
  ASSERT_TRUE(registry);
  ASSERT_EQ(registry->records.size(), 1u);
  EXPECT_TRUE(registry->records[0].sha256.empty());
}

RegistryRecord Entry(const char* name, int16_t major, int16_t minor, const char* url = "") {
  return RegistryRecord{name, major, minor, url, {}};
}

TEST(Registry, SelectionKeepsTheProductMajorsNewestEntries) {
  std::vector<RegistryRecord> selected = SelectRegistryEntries(
      {Entry("Vantessel", 3, 0), Entry("Vantessel", 2, 3), Entry("Vantessel", 2, 1), Entry("Gadget", 2, 1),
       Entry("Gadget", 2, 1)},
      2);
  ASSERT_EQ(selected.size(), 3u);
  EXPECT_EQ(selected[0].minor, 3);
  EXPECT_EQ(selected[1].name, "Gadget");
  EXPECT_EQ(selected[2].name, "Gadget");  // equal minors both stay
}

TEST(Registry, PackageNamesMustMatchTheirEntry) {
  EXPECT_EQ(PackageFileName(Entry("Vantessel", 2, 3, "http://h/p/Vantessel2_3.so.gz")), "Vantessel2_3.so.gz");
  EXPECT_FALSE(PackageFileName(Entry("Vantessel", 2, 3, "http://h/p/Vantessel2_4.so.gz")));
  EXPECT_FALSE(PackageFileName(Entry("Vantessel", 2, 3, "http://h/p/Vantessel2_3.dll.gz")));
  EXPECT_FALSE(PackageFileName(Entry("Vantessel", 2, 3, "http://h/p/../Vantessel2_3.so.gz/")));
  EXPECT_FALSE(PackageFileName(Entry("../../bin/x", 2, 3, "http://h/../../bin/x2_3.so.gz")));
  EXPECT_FALSE(PackageFileName(Entry("", 2, 3, "http://h/2_3.so.gz")));
  EXPECT_FALSE(PackageFileName(Entry("Gadget", 2, -1, "http://h/Gadget2_-1.so.gz")));
}

}  // namespace
}  // namespace vx::host
