#include "favorites/FavoritesExport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "favorites/tests/FavoritesFixture.h"

namespace ovix::favorites {

namespace {

using ovix::testing::FavoritesFixture;

using WalkTest = FavoritesFixture;

TEST_F(WalkTest, ExampleTreeGivesItsListing) {
    const std::string members = makeExampleTree();
    EXPECT_EQ(WalkFavoritesFolder(favorites().string()), members);
    // A trailing separator on the folder changes nothing.
    EXPECT_EQ(WalkFavoritesFolder(favorites().string() + "/"), members);
    if (listingOrder(favorites()).front() == "Links") {
        EXPECT_EQ(WalkFavoritesFolder(favorites().string()), R"("Links":{"A":"http://a/"},"notes.txt":"")");
    }
    pointAtFavorites();
    EXPECT_EQ(ExportFavorites(), "{" + members + "}");
}

TEST_F(WalkTest, MissingFolderValueOrFolderGivesEmptyBraces) {
    // No key at all, then the key without the value.
    EXPECT_EQ(ExportFavorites(), "{}");
    std::string folder = "unchanged";
    EXPECT_EQ(GetFavoritesFolder(folder), 0);
    EXPECT_EQ(folder, "unchanged");
    ASSERT_TRUE(compat::RegistryKey::create(compat::RegistryHive::CurrentUser,
                                            "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders")
                    ->setString("Personal", "/somewhere"));
    EXPECT_EQ(ExportFavorites(), "{}");
    // A value that is not text is no folder.
    setFavoritesValue("\x01\x02\x03", compat::RegistryType::Dword);
    EXPECT_EQ(GetFavoritesFolder(folder), 0);
    // A folder that cannot be listed, and an empty folder.
    setFavoritesValue((m_scratch / "nowhere").string());
    EXPECT_EQ(ExportFavorites(), "{}");
    pointAtFavorites();
    EXPECT_EQ(ExportFavorites(), "{}");
    // An empty value is not the root of the file system.
    setFavoritesValue("");
    EXPECT_EQ(ExportFavorites(), "{}");
}

TEST_F(WalkTest, FolderValueExpandsEnvironmentReferences) {
    writeShortcut(favorites() / "x.url", "http://x/");
    setenv("OVIX_TEST_SCRATCH", m_scratch.path().c_str(), 1);
    setFavoritesValue("%OVIX_TEST_SCRATCH%/Favorites");
    std::string folder;
    ASSERT_EQ(GetFavoritesFolder(folder), 1);
    EXPECT_EQ(folder, favorites().string());
    EXPECT_EQ(ExportFavorites(), R"({"x":"http://x/"})");
    unsetenv("OVIX_TEST_SCRATCH");
}

TEST_F(WalkTest, FolderValueMustNameAFolderDirectly) {
    writeShortcut(favorites() / "x.url", "http://x/");
    std::filesystem::create_directories(favorites() / "sub");
    setenv("OVIX_TEST_SCRATCH", m_scratch.path().c_str(), 1);
    std::string folder = "unchanged";
    for (const char* value : {"%OVIX_TEST_SCRATCH%/Favorites/sub/..", "%OVIX_TEST_SCRATCH%/Favorites/sub/../",
                              "%HOME%/../../", "Favorites", "%OVIX_TEST_UNSET%/Favorites"}) {
        setFavoritesValue(value);
        EXPECT_EQ(GetFavoritesFolder(folder), 0) << value;
        EXPECT_EQ(ExportFavorites(), "{}") << value;
    }
    EXPECT_EQ(folder, "unchanged");
    unsetenv("OVIX_TEST_SCRATCH");
}

TEST_F(WalkTest, HiddenFilesAreSkippedHiddenFoldersListed) {
    // The skipped file does not count as an item, whichever comes first.
    writeShortcut(favorites() / "top" / ".hidden.url", "http://hidden/");
    writeFile(favorites() / "top" / "shown.txt", "");
    EXPECT_EQ(WalkFavoritesFolder((favorites() / "top").string()), R"("shown.txt":"")");
    writeShortcut(favorites() / ".private" / "B.url", "http://b/");
    std::filesystem::remove_all(favorites() / "top");
    EXPECT_EQ(WalkFavoritesFolder(favorites().string()), R"(".private":{"B":"http://b/"})");
}

TEST_F(WalkTest, ShortcutNamesAndUrls) {
    const auto one = [&](const std::string& name, const std::string& body) {
        std::filesystem::remove_all(favorites());
        writeFile(favorites() / name, body);
        return WalkFavoritesFolder(favorites().string());
    };
    // Only a lower-case ".url" names a shortcut.
    EXPECT_EQ(one("A.URL", "[InternetShortcut]\nURL=http://a/\n"), R"("A.URL":"")");
    // No URL value, or one in another section, gives an empty url.
    EXPECT_EQ(one("a.url", "[InternetShortcut]\nIconIndex=0\n"), R"("a":"")");
    EXPECT_EQ(one("a.url", "[Other]\nURL=http://other/\n[InternetShortcut]\nURL=http://a/\n"), R"("a":"http://a/")");
    // A name that is only the extension.
    EXPECT_EQ(one(".url", "[InternetShortcut]\nURL=http://a/\n"), "");
    EXPECT_EQ(one("x.url.url", "[InternetShortcut]\nURL=http://a/\n"), R"("x.url":"http://a/")");
    // A long URL is read whole, up to the size of a shortcut file; a larger
    // file is left out.
    const std::string head = "[InternetShortcut]\r\nURL=";
    const std::string longUrl = "http://long/" + std::string(kShortcutMaxBytes - head.size() - 12, 'q');
    EXPECT_EQ(one("long.url", head + longUrl), "\"long\":\"" + longUrl + "\"");
    EXPECT_EQ(one("long.url", head + longUrl + "q"), "");
}

TEST_F(WalkTest, QuotesBackslashesAndControlCharactersAreEscaped) {
    writeShortcut(favorites() / "say \"hi\\there\".url", "http://a/?q=\"x\"&p=\\y");
    EXPECT_EQ(WalkFavoritesFolder(favorites().string()), R"("say \"hi\\there\"":"http://a/?q=\"x\"&p=\\y")");
    std::filesystem::remove_all(favorites());
    writeFile(favorites() / "tab\there\nnew\x01.txt", "");
    EXPECT_EQ(WalkFavoritesFolder(favorites().string()), R"("tab\there\nnew\u0001.txt":"")");
}

// Each invalid sequence (a stray byte, an overlong form, a surrogate, a cut
// sequence) becomes one U+FFFD; valid ones of every length stay.
TEST_F(WalkTest, NamesAndUrlsAreWrittenAsValidUtf8) {
    writeShortcut(favorites() / "\xff\xc0\xaf|\xed\xa0\x80|\xe2\x82|\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80.url",
                  "http://a/\xf4\x90\x80\x80\xf0\x9f\x98");
    const std::string r = "\xef\xbf\xbd";
    EXPECT_EQ(WalkFavoritesFolder(favorites().string()),
              "\"" + r + r + r + "|" + r + r + r + "|" + r + "|\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\":\"http://a/" + r + r +
                  r + r + r + "\"");
}

TEST_F(WalkTest, LinkLoopsEnd) {
    std::filesystem::create_directories(favorites() / "a");
    std::filesystem::create_directory_symlink("..", favorites() / "a" / "up");
    std::filesystem::create_directory_symlink(".", favorites() / "a" / "here");
    const auto text = WalkFavoritesFolder(favorites().string());
    const auto order = listingOrder(favorites() / "a");
    const std::string up = "\"up\":{}", here = "\"here\":{}";
    EXPECT_EQ(text, "\"a\":{" + (order.front() == "up" ? up + "," + here : here + "," + up) + "}");
}

// Links out of the tree, to the root or in a fan (each of 8 folders holding
// 8 links to the next) once walked for minutes: the walk runs in a child
// that an alarm ends.
TEST_F(WalkTest, LinksNeitherLeaveTheTreeNorListAFolderTwice) {
    writeShortcut(m_scratch / "elsewhere" / "E.url", "http://e/");
    std::filesystem::create_directory_symlink(m_scratch / "elsewhere", favorites() / "linked");
    std::filesystem::create_directory_symlink("/", favorites() / "root");
    for (int level = 0; level < 8; ++level) {
        const auto folder = favorites() / "fan" / std::to_string(level);
        std::filesystem::create_directories(folder);
        for (int link = 0; level < 7 && link < 8; ++link)
            std::filesystem::create_directory_symlink("../" + std::to_string(level + 1),
                                                      folder / ("to" + std::to_string(link)));
    }
    writeShortcut(favorites() / "fan" / "7" / "end.url", "http://end/");
    const auto count = [](const std::string& text, const std::string& part) {
        std::size_t n = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++n;
        return n;
    };
    EXPECT_EXIT(
        {
            alarm(30);
            const auto text = WalkFavoritesFolder(favorites().string());
            setFavoritesValue("/");
            const bool ok = count(text, "\"linked\":{}") == 1 && count(text, "\"root\":{}") == 1 &&
                            count(text, "http://e/") == 0 && count(text, "\"end\":\"http://end/\"") == 1 &&
                            count(text, "\":{}") == 2 + 7 * 8 && ExportFavorites() == "{}";
            std::cerr << text;
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(WalkTest, WalkStopsAtItsDepthAndEntryLimits) {
    std::filesystem::create_directories(favorites() / "a" / "a" / "a" / "a");
    EXPECT_EQ(WalkFavoritesFolder(favorites().string(), {.depth = 2}), R"("a":{"a":{"a":{}}})");
    std::filesystem::remove_all(favorites() / "a");
    for (const char* name : {"1", "2", "3", "4"})
        writeFile(favorites() / "f" / name, "");
    // The folder and three of its four files are looked at.
    const auto text = WalkFavoritesFolder(favorites().string(), {.entries = 4});
    EXPECT_EQ(text.size(), std::string(R"("f":{"1":"","2":"","3":""})").size()) << text;
}

TEST_F(WalkTest, SpecialFilesNeverBlock) {
    ASSERT_EQ(mkfifo((favorites() / "pipe.url").c_str(), 0600), 0);
    EXPECT_EQ(WalkFavoritesFolder(favorites().string()), R"("pipe":"")");
    std::filesystem::remove(favorites() / "pipe.url");
    std::filesystem::create_symlink(m_scratch / "gone", favorites() / "gone.url");
    EXPECT_EQ(WalkFavoritesFolder(favorites().string()), R"("gone":"")");
}

TEST_F(WalkTest, UnreadableSubfolderContributesNothing) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind root";
    writeShortcut(favorites() / "locked" / "L.url", "http://l/");
    std::filesystem::permissions(favorites() / "locked", std::filesystem::perms::none);
    EXPECT_EQ(WalkFavoritesFolder(favorites().string()), R"("locked":{})");
    std::filesystem::permissions(favorites() / "locked", std::filesystem::perms::owner_all);
}

// Python's json module reads the listing back, names with quotes,
// backslashes and control characters included.
TEST_F(WalkTest, PythonJsonParsesTheListing) {
    writeShortcut(favorites() / "Links" / "q\"uote.url", "http://a/\"b\"\\c");
    writeFile(favorites() / "back\\slash\\" / "new\nline.txt", "");
    writeShortcut(favorites() / "plain.url", "http://plain/");
    pointAtFavorites();
    const auto listing = m_scratch / "listing.json";
    writeFile(listing, ExportFavorites());
    const std::string command = std::string(PYTHON3) +
                                " -c 'import json,sys; print(json.dumps(json.load(open(sys.argv[1])), sort_keys=True))' " +
                                listing.string();
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_TRUE(pipe);
    std::string parsed;
    char buffer[512];
    while (std::size_t got = fread(buffer, 1, sizeof buffer, pipe))
        parsed.append(buffer, got);
    ASSERT_EQ(pclose(pipe), 0) << ovix::testing::readFile(listing);
    EXPECT_EQ(parsed,
              R"({"Links": {"q\"uote": "http://a/\"b\"\\c"}, "back\\slash\\": {"new\nline.txt": ""}, "plain": "http://plain/"})"
              "\n");
}

}  // namespace

}  // namespace ovix::favorites
