#include <gtest/gtest.h>

#include "core/ProjectText.h"
#include "core/Project.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "support/TempDir.h"

namespace rw {
namespace {

using Names = std::vector<std::string>;

const std::string Head = "object TProjectSettings\r\n  Files.Strings = (\r\n";
const std::string Tail = "end\r\n";

void ExpectCorrupted(const std::string& Text) {
  try {
    ReadProjectText(Text);
    ADD_FAILURE() << "accepted: " << Text;
  } catch (const Exception& E) {
    EXPECT_STREQ(E.what(), "The project file is corrupted") << Text;
  }
}

TEST(ProjectText, EmptyListWritesOnlyTheObjectLines) {
  EXPECT_EQ(WriteProjectText({}), "object TProjectSettings\r\nend\r\n");
  EXPECT_TRUE(ReadProjectText("object TProjectSettings\r\nend\r\n").empty());
}

TEST(ProjectText, ApostrophesControlCharactersAndDuplicates) {
  const Names files{"/clips/Bob's.avi", "/clips/a\tb.avi", "/clips/Bob's.avi", "'x'", ""};
  const std::string expected = Head +
                               "    '/clips/Bob'#39's.avi'\r\n"
                               "    '/clips/a'#9'b.avi'\r\n"
                               "    '/clips/Bob'#39's.avi'\r\n"
                               "    #39'x'#39\r\n"
                               "    '')\r\n" +
                               Tail;
  EXPECT_EQ(WriteProjectText(files), expected);
  EXPECT_EQ(ReadProjectText(expected), files);
}

TEST(ProjectText, LongNamesAreCutIntoSegmentsOf64) {
  const std::string n64 = "/v/" + std::string(57, 'x') + ".avi";
  const std::string n65 = "/v/" + std::string(58, 'y') + ".avi";
  std::string n200 = "/";
  for (int i = 0; n200.size() < 196; ++i) n200 += static_cast<char>('a' + i % 26);
  n200 += ".avi";
  ASSERT_EQ(n64.size(), 64u);
  ASSERT_EQ(n65.size(), 65u);
  ASSERT_EQ(n200.size(), 200u);

  const std::string expected = Head + "    '" + n64 +
                               "'\r\n"
                               "    \r\n"
                               "      '" +
                               n65.substr(0, 64) +
                               "' +\r\n"
                               "      'i'\r\n"
                               "    \r\n"
                               "      '" +
                               n200.substr(0, 64) +
                               "' +\r\n"
                               "      '" +
                               n200.substr(64, 64) +
                               "' +\r\n"
                               "      '" +
                               n200.substr(128, 64) +
                               "' +\r\n"
                               "      '" +
                               n200.substr(192) + "')\r\n" + Tail;
  EXPECT_EQ(WriteProjectText({n64, n65, n200}), expected);
  EXPECT_EQ(ReadProjectText(expected), (Names{n64, n65, n200}));
}

TEST(ProjectText, ACodeCountsAsOneCharacterOfItsSegment) {
  // The 64th character is an apostrophe: the segment ends right after its code.
  const std::string name = std::string(63, 'a') + "'z";
  const std::string expected =
      Head + "    \r\n      '" + std::string(63, 'a') + "'#39 +\r\n      'z')\r\n" + Tail;
  EXPECT_EQ(WriteProjectText({name}), expected);
  EXPECT_EQ(ReadProjectText(expected), Names{name});
}

TEST(ProjectText, ACutNeverSplitsAUtf8Sequence) {
  const std::string e = "\xC3\xA9";         // 2 bytes, straddles the cut after 63 bytes
  const std::string euro = "\xE2\x82\xAC";  // 3 bytes, starts at byte 62
  const std::string a = std::string(63, 'a') + e + "x";
  const std::string b = std::string(62, 'b') + euro + "y";
  const std::string c = std::string(64, 'c') + e;  // the cut falls between two sequences
  const std::string expected = Head + "    \r\n      '" + std::string(63, 'a') + "' +\r\n      '" +
                               e + "x'\r\n" + "    \r\n      '" + std::string(62, 'b') +
                               "' +\r\n      '" + euro + "y'\r\n" + "    \r\n      '" +
                               std::string(64, 'c') + "' +\r\n      '" + e + "')\r\n" + Tail;
  EXPECT_EQ(WriteProjectText({a, b, c}), expected);
  EXPECT_EQ(ReadProjectText(expected), (Names{a, b, c}));
}

TEST(ProjectText, CutsAreWrittenOnlyWhenAFileIsCutAndReadBackTheSame) {
  const Names files{"/clips/a.avi", "/clips/b.avi", "/clips/a.avi"};
  // Whole cuts write the names alone, byte for byte as a project without cuts.
  const std::string plain = Head +
                            "    '/clips/a.avi'\r\n"
                            "    '/clips/b.avi'\r\n"
                            "    '/clips/a.avi')\r\n" +
                            Tail;
  EXPECT_EQ(WriteProjectText(files, std::vector<TPictureCut>(3)), plain);
  EXPECT_EQ(WriteProjectText(files), plain);
  EXPECT_TRUE(ReadProjectContents(plain).Cuts.empty());

  const std::vector<TPictureCut> cuts{{30, 239}, {}, {4294967294u, TPictureCut::ToEnd}};
  const std::string text = WriteProjectText(files, cuts);
  EXPECT_EQ(text, Head +
                      "    '/clips/a.avi'\r\n"
                      "    '/clips/b.avi'\r\n"
                      "    '/clips/a.avi')\r\n"
                      "  Cuts.Strings = (\r\n"
                      "    '30-239'\r\n"
                      "    ''\r\n"
                      "    '4294967294-')\r\n" +
                      Tail);
  const TProjectContents read = ReadProjectContents(text);
  EXPECT_EQ(read.Files, files);
  EXPECT_EQ(read.Cuts, cuts);

  // A cut list that is not one valid cut per file is damage.
  const std::string names = "object TProjectSettings Files.Strings = ('a' 'b') ";
  EXPECT_EQ(ReadProjectContents(names + "Cuts.Strings = ('' '0-0') end").Cuts,
            (std::vector<TPictureCut>{{}, {0, 0}}));
  for (const char* bad : {"('1-2')", "('1-2' '' '')", "('9-8' '')", "('-5' '')", "('5' '')",
                          "('1-2x' '')", "('4294967295-' '')", "('1--2' '')", "(1 2)"})
    ExpectCorrupted(names + "Cuts.Strings = " + bad + " end");
}

TEST(ProjectText, ReaderToleratesTheFreerForms) {
  // Case, a named header, general properties, other white space and line ends, doubled
  // apostrophes, hexadecimal codes and strings joined by "+" anywhere.
  const std::string text =
      "\xEF\xBB\xBF"
      "OBJECT Project1 : TWhatever\n"
      "\tName = Project1  Tag = -5\n"
      "  files.strings=('/a/Bob''s.avi'#$41 + 'B'#9\n"
      "   '/b.avi' +\n'/c'\n"
      "  )\n"
      "END\n\n";
  EXPECT_EQ(ReadProjectText(text), (Names{"/a/Bob's.aviAB\t", "/b.avi/c"}));
  // A later list replaces an earlier one.
  EXPECT_EQ(ReadProjectText("object X Files.Strings = ('1') Files.Strings = ('2') end"),
            Names{"2"});
}

TEST(ProjectText, AnythingElseIsCorrupted) {
  for (const char* text : {
           "",
           "This is just a text file.\r\n",
           "object TProjectSettings\r\n",                   // no end
           "object TProjectSettings end garbage",           // text after end
           "object TProjectSettings object Inner end end",  // nested object
           "object TProjectSettings Caption = 'x' end",     // unknown property
           "object TProjectSettings Tag = 'x' end",         // wrong kinds
           "object TProjectSettings Name = 5 end",
           "object TProjectSettings Files.Strings = 'a' end",
           "object TProjectSettings Files.Strings = (5) end",
           "object TProjectSettings Files.Strings = ('a' +) end",     // dangling +
           "object TProjectSettings Files.Strings = ('a) end",        // open quote
           "object TProjectSettings Files.Strings = ('a\r\nb') end",  // break in quotes
           "object TProjectSettings Files.Strings = ('a'#0) end",     // NUL in a name
           "object TProjectSettings Files.Strings = (#256) end",
           "object TProjectSettings Files.Strings = (#99999999999999999999) end",
           "object TProjectSettings Files.Strings = (# ) end",
           "object TProjectSettings Tag = 99999999999 end",
           "object TProjectSettings Files.Strings = ((((((((((('a'))))))))))) end",
       })
    ExpectCorrupted(text);
  ExpectCorrupted(std::string("object TProjectSettings\0end", 27));
  // Deep nesting and long runs stay linear and bounded.
  ExpectCorrupted("object A Files.Strings = " + std::string(200000, '(') + " end");
  ExpectCorrupted("object A Files.Strings = ('" + std::string(1 << 20, 'x'));
}

TEST(ProjectText, NamesLongerThanAPathAndListsLongerThanAFileListAreRefused) {
  // The longest path is kept, however it is spelt (one run, codes, runs joined by "+").
  const std::string path(MaxProjectNameBytes, 'p');
  EXPECT_EQ(ReadProjectText(WriteProjectText({path})), Names{path});
  std::string codes;
  for (size_t i = 0; i < MaxProjectNameBytes; ++i) codes += "#112";
  EXPECT_EQ(ReadProjectText("object A Files.Strings = (" + codes + ") end"), Names{path});
  // One byte more names no file: refused in one run, in codes, and joined from short runs.
  ExpectCorrupted("object A Files.Strings = ('" + path + "x') end");
  ExpectCorrupted("object A Files.Strings = (" + codes + "#112) end");
  ExpectCorrupted(WriteProjectText({path + "x"}));

  // As many names as a list takes, and not one more.
  const Names most(MaxProjectFiles, "/a.avi");
  EXPECT_EQ(ReadProjectText(WriteProjectText(most)).size(), MaxProjectFiles);
  ExpectCorrupted(WriteProjectText(Names(MaxProjectFiles + 1, "/a.avi")));
}

TEST(ProjectFile, OpenErrorsAndOversizedFiles) {
  test::TTempDir dir;
  try {
    ReadProjectFile(dir.File("missing.rwp"));
    ADD_FAILURE();
  } catch (const Exception& E) {
    EXPECT_EQ(std::string(E.what()), "Cannot open file " + dir.File("missing.rwp"));
  }
  // A sparse file far larger than any project is refused without reading it.
  {
    TFile big = TFile::Create(dir.File("big.rwp"));
    big.Truncate(int64_t{1} << 32);
  }
  EXPECT_THROW(
      {
        try {
          ReadProjectFile(dir.File("big.rwp"));
        } catch (const Exception& E) {
          EXPECT_STREQ(E.what(), "The project file is corrupted");
          throw;
        }
      },
      Exception);
}

}  // namespace
}  // namespace rw
