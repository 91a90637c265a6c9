#include "core/XmlDocument.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include <filesystem>

#include "core/XmlScanner.h"
#include "shows/Records.h"
#include "support/Sandbox.h"

namespace quorvel {
namespace {

using test::ReadFile;
using test::WriteFile;

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
constexpr const char* kDataStart =
    "<Data xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\">";

class XmlDocumentTest : public test::SandboxedTest {};

TEST_F(XmlDocumentTest, ReadChildTextTakesTheFirstOfTwoAndTrimsAllDescendantText) {
  const XmlDocument doc = XmlDocument::Parse(
      "<Data><Series><Name>  first <b>bold</b>\n tail\t</Name><Name>second</Name>"
      "<Empty></Empty><Closed/><Spaces>   </Spaces><C><![CDATA[ <raw> ]]></C></Series></Data>");
  const XmlNode series = doc.SelectSingleNode("Data/Series");
  ASSERT_NE(series, nullptr);
  EXPECT_EQ(ReadChildText(series, "Name"), "first bold\n tail");
  EXPECT_EQ(ReadChildText(series, "Empty"), "");
  EXPECT_EQ(ReadChildText(series, "Closed"), "");
  EXPECT_EQ(ReadChildText(series, "Spaces"), "");
  EXPECT_EQ(ReadChildText(series, "C"), "<raw>");
  EXPECT_EQ(ReadChildText(series, "Missing"), "");
  EXPECT_EQ(ReadChildText(series, "name"), "") << "names are case-sensitive";
  EXPECT_EQ(ReadChildText(nullptr, "Name"), "");
}

TEST_F(XmlDocumentTest, ReadChildTextMatchesOnlyDirectChildren) {
  const XmlDocument doc =
      XmlDocument::Parse("<Data><Series><Inner><id>7</id></Inner></Series></Data>");
  EXPECT_EQ(ReadChildText(doc.SelectSingleNode("Data/Series"), "id"), "");
}

TEST_F(XmlDocumentTest, ReadChildTextAtComparesThePositionAndTheLocalName) {
  const XmlDocument doc = XmlDocument::Parse(
      "<r xmlns:s='urn:s'><i>text<a>0</a><!-- not counted --><b>1</b><c>2</c><d>3</d><e>4</e>"
      "<s:showid> 5 </s:showid><s:other>6</s:other></i></r>");
  const XmlNode item = doc.SelectSingleNode("r/i");
  EXPECT_EQ(ReadChildTextAt(item, 0, "a"), "0");
  EXPECT_EQ(ReadChildTextAt(item, 5, "showid"), "5");
  EXPECT_EQ(ReadChildTextAt(item, 5, "s:showid"), "") << "the local name is compared";
  EXPECT_EQ(ReadChildTextAt(item, 6, "showname"), "");
  EXPECT_EQ(ReadChildTextAt(item, 7, "x"), "");
  EXPECT_EQ(ReadChildTextAt(item, -1, "a"), "");
  EXPECT_EQ(ReadChildTextAt(nullptr, 0, "a"), "");
}

TEST_F(XmlDocumentTest, ReadChildTextComparesTheNameAsWritten) {
  const XmlDocument doc = XmlDocument::Parse(
      "<r xmlns:s='urn:s' xmlns:t='urn:s'><i><s:name>prefixed</s:name><t:id>t</t:id></i></r>");
  const XmlNode item = doc.SelectSingleNode("r/i");
  EXPECT_EQ(ReadChildText(item, "s:name"), "prefixed");
  EXPECT_EQ(ReadChildText(item, "name"), "");
  EXPECT_EQ(ReadChildText(item, "s:id"), "") << "prefixes are not resolved to their namespace";
}

TEST_F(XmlDocumentTest, ReadChildTextsReadsEveryNameAsReadChildTextDoes) {
  // Texts in one node and in several, first and later duplicates, prefixes, nested elements,
  // comments, CDATA, references and white space: the one-walk reader must agree with the other.
  const char* documents[] = {
      "<r><i><a>  one </a><b>two</b><a>dup</a><c/><d>   </d></i></r>",
      "<r xmlns:s='urn:s'><i><s:a>prefixed</s:a><a>plain</a><s:b>only</s:b></i></r>",
      "<r><i><a>x<!-- c -->y</a><b><![CDATA[ <raw> ]]></b><c>p &amp; q &#13;&#10;</c></i></r>",
      "<r><i><a>first <e>inner</e> last</a><b><e>deep</e></b><c>\r\n\t</c></i></r>",
      "<r><i>text<b>2</b><!-- x --><a>1</a></i></r>",
      "<r><i/></r>",
  };
  const char* names[] = {"a", "b", "c", "d", "s:a", "s:b", "e", "A"};
  for (const char* text : documents) {
    const XmlDocument doc = XmlDocument::Parse(text);
    const XmlNode item = doc.SelectSingleNode("r/i");
    ASSERT_NE(item, nullptr) << text;
    std::vector<std::string> read(std::size(names), "stale");
    std::vector<ChildTextField> fields;
    for (std::size_t i = 0; i < std::size(names); ++i) fields.push_back({names[i], &read[i]});
    ReadChildTexts(item, fields);
    for (std::size_t i = 0; i < std::size(names); ++i) {
      EXPECT_EQ(read[i], ReadChildText(item, names[i])) << text << " " << names[i];
    }
  }
  std::string cleared = "stale";
  const ChildTextField none[] = {{"a", &cleared}};
  ReadChildTexts(nullptr, none);
  EXPECT_EQ(cleared, "");
}

// What the tree gives for each element of root/element: ReadChildText(element, child).
std::vector<std::string> TreeChildTexts(const std::string& path, const char* selection,
                                        const char* child) {
  std::vector<std::string> texts;
  const XmlDocument doc = XmlDocument::LoadDocument(path);
  for (XmlNode node : doc.SelectNodes(selection)) texts.push_back(ReadChildText(node, child));
  return texts;
}

TEST_F(XmlDocumentTest, StreamedChildTextsAreWhatTheTreeGives) {
  const char* documents[] = {
      "<Data><Series><id>1</id></Series><Episode><id>1</id><FirstAired> 2012-05-03 "
      "</FirstAired></Episode><Episode/><Episode><FirstAired/></Episode></Data>",
      // first of two, nested text, CDATA, references, comments and instructions inside
      "<Data><Episode><FirstAired>a<b>b<c>c</c></b><!-- x -->d<?pi x?></FirstAired>"
      "<FirstAired>second</FirstAired></Episode><Episode><FirstAired><![CDATA[ <x> ]]>&amp;"
      "&#65;</FirstAired></Episode></Data>",
      // a grandchild of that name is not a child; other elements between episodes
      "<Data><Episode><x><FirstAired>deep</FirstAired></x></Episode><Other><FirstAired>o"
      "</FirstAired></Other><Episode>\r\n<FirstAired>\t2001-01-01\r\n</FirstAired></Episode>"
      "</Data>",
      // names as written: a prefixed child never matches, a default namespace does
      "<Data xmlns:p='urn:p'><Episode><p:FirstAired>p</p:FirstAired><FirstAired "
      "xmlns='urn:d'>d</FirstAired></Episode></Data>",
      // XPath names: a root or an element in a namespace is not selected
      "<Data xmlns='urn:d'><Episode><FirstAired>1</FirstAired></Episode></Data>",
      "<p:Data xmlns:p='urn:p'><Episode><FirstAired>1</FirstAired></Episode></p:Data>",
      "<Data><p:Episode xmlns:p='urn:p'><FirstAired>1</FirstAired></p:Episode></Data>",
      "<Other><Episode><FirstAired>1</FirstAired></Episode></Other>",
      "<Data/>",
      // refused: malformed, cut short, a DOCTYPE, an undeclared entity, an unbound prefix, empty
      "<Data><Episode><FirstAired>1</FirstAired></Episode>",
      "<Data><Episode><FirstAired>1</FirstAired></Episode></Data><Data/>",
      "<!DOCTYPE Data [<!ENTITY e 'x'>]><Data><Episode><FirstAired>&e;</FirstAired>"
      "</Episode></Data>",
      "<Data><Episode><FirstAired>&nope;</FirstAired></Episode></Data>",
      "<Data><Episode><q:FirstAired>1</q:FirstAired></Episode></Data>",
      "",
      "   ",
  };
  int n = 0;
  for (const char* text : documents) {
    const std::string path = root() + "/doc" + std::to_string(n++) + ".xml";
    WriteFile(path, text);
    EXPECT_EQ(StreamChildTexts(path, "Data", "Episode", "FirstAired"),
              TreeChildTexts(path, "Data/Episode", "FirstAired"))
        << text;
    EXPECT_EQ(StreamChildTexts(path, "Data", "Episode", "p:FirstAired"),
              TreeChildTexts(path, "Data/Episode", "p:FirstAired"))
        << text;
    // Several paths in one read give what a read for each gives.
    const ChildTextPath both[] = {{"Series", "id"}, {"Episode", "FirstAired"}};
    EXPECT_EQ(
        StreamChildTexts(path, "Data", both),
        (std::vector<std::vector<std::string>>{TreeChildTexts(path, "Data/Series", "id"),
                                               TreeChildTexts(path, "Data/Episode", "FirstAired")}))
        << text;
  }
  const std::string first = root() + "/doc0.xml";
  EXPECT_EQ(StreamChildTexts(first, "Data", "Episode", "FirstAired"),
            (std::vector<std::string>{"2012-05-03", "", ""}));
  EXPECT_TRUE(StreamChildTexts(root() + "/missing.xml", "Data", "Episode", "FirstAired").empty());
  EXPECT_TRUE(StreamChildTexts(first, "Data", "Episode", nullptr).empty());
}

TEST_F(XmlDocumentTest, ReadChildAttributeReadsTheFirstElementsAttribute) {
  const XmlDocument doc = XmlDocument::Parse(
      "<r><i><enclosure url='http://a/x?b=1&amp;c=2' length='0'/><enclosure url='second'/>"
      "<bare/></i></r>");
  const XmlNode item = doc.SelectSingleNode("r/i");
  EXPECT_EQ(ReadChildAttribute(item, "enclosure", "url"), "http://a/x?b=1&c=2");
  EXPECT_EQ(ReadChildAttribute(item, "enclosure", "type"), "");
  EXPECT_EQ(ReadChildAttribute(item, "bare", "url"), "");
  EXPECT_EQ(ReadChildAttribute(item, "missing", "url"), "");
}

TEST_F(XmlDocumentTest, SelectionsAreRelativeToTheDocumentNode) {
  const XmlDocument doc = XmlDocument::Parse(
      "<rss><channel><item><t>a</t></item><item><t>b</t></item></channel>"
      "<other><item><t>c</t></item></other><item><t>not two deep</t></item></rss>");
  EXPECT_EQ(doc.SelectNodes("*/*/item").size(), 3u);
  EXPECT_EQ(doc.SelectNodes("rss/channel/item").size(), 2u);
  EXPECT_EQ(ReadChildText(doc.SelectSingleNode("rss/channel/item"), "t"), "a");
  EXPECT_EQ(doc.SelectSingleNode("channel"), nullptr);
  EXPECT_TRUE(doc.SelectNodes("this is not xpath ((").empty());
  EXPECT_TRUE(doc.SelectNodes("count(//item)").empty()) << "only node sets are selections";
}

TEST_F(XmlDocumentTest, AnEmptyDocumentFindsNothing) {
  const XmlDocument doc;
  EXPECT_TRUE(doc.IsEmpty());
  EXPECT_EQ(doc.Root(), nullptr);
  EXPECT_EQ(doc.SelectSingleNode("Data"), nullptr);
  EXPECT_TRUE(doc.SelectNodes("*").empty());
  EXPECT_EQ(doc.Serialize(), "");
  EXPECT_FALSE(doc.Save(root() + "/never.xml"));
  EXPECT_FALSE(test::FileExists(root() + "/never.xml"));
}

// Inputs the parser must refuse as a whole: they read as a document that was never loaded.
TEST_F(XmlDocumentTest, DocumentsWithADoctypeOrAnErrorAreEmpty) {
  const char* refused[] = {
      "",
      "not xml at all",
      "<Data><Series></Data>",
      "<Data><Series><id>1</id></Series>",  // truncated
      "<Data/><Data/>",
      "<Data>&undefined;</Data>",
      "<Data><s:x>undeclared prefix</s:x></Data>",
      "<!DOCTYPE Data><Data/>",
      "<!DOCTYPE Data [<!ENTITY e 'x'>]><Data>&e;</Data>",
      "<!DOCTYPE Data SYSTEM 'file:///etc/hostname'><Data/>",
      "<?xml version='1.0' encoding='UTF-8'?><Data>\xff\xfe</Data>",
      "<Data>\x01</Data>",
  };
  for (const char* bytes : refused) {
    EXPECT_TRUE(XmlDocument::Parse(bytes).IsEmpty()) << bytes;
  }
}

TEST_F(XmlDocumentTest, NothingIsPrintedForABadDocument) {
  const std::string captured = root() + "/stderr.txt";
  fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  const int file = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(file, 0);
  dup2(file, STDERR_FILENO);
  close(file);
  XmlDocument::Parse("<Data><open></Data>");
  XmlDocument::Parse("<!DOCTYPE Data [<!ENTITY e SYSTEM 'http://127.0.0.1:1/x'>]><Data>&e;</Data>");
  XmlDocument::Parse("<Data><s:x/></Data>");
  XmlDocument::Parse("<Data>\xff</Data>").SelectNodes("((");
  XmlDocument::Parse("<Data/>").SelectNodes("((");
  XmlDocument::Parse("<Data/>").SelectNodes("unknown-function()");
  fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  EXPECT_EQ(ReadFile(captured), "");
}

TEST_F(XmlDocumentTest, FilesAreReadWhenRegularAndSmallEnough) {
  WriteFile(root() + "/ok.xml", "<Data><v>1</v></Data>");
  EXPECT_EQ(ReadChildText(XmlDocument::LoadDocument(root() + "/ok.xml").Root(), "v"), "1");
  EXPECT_TRUE(XmlDocument::LoadDocument(root() + "/missing.xml").IsEmpty());
  EXPECT_TRUE(XmlDocument::LoadDocument(root()).IsEmpty()) << "a folder";
  EXPECT_TRUE(XmlDocument::LoadDocument("").IsEmpty());
  ASSERT_EQ(mkfifo((root() + "/fifo").c_str(), 0600), 0);
  EXPECT_TRUE(XmlDocument::LoadDocument(root() + "/fifo").IsEmpty()) << "must not block";
  EXPECT_TRUE(XmlDocument::LoadDocument("/dev/zero").IsEmpty()) << "must not read forever";
}

TEST_F(XmlDocumentTest, AFileOverTheSizeLimitIsNotRead) {
  std::string big = "<Data>";
  big.append(kMaxDocumentBytes, ' ');
  big += "</Data>";
  WriteFile(root() + "/big.xml", big);
  EXPECT_TRUE(XmlDocument::LoadDocument(root() + "/big.xml").IsEmpty());
}

TEST_F(XmlDocumentTest, NewDataDocumentStartsWithTheDeclarationAndBothNamespaces) {
  const auto doc = XmlDocument::NewDataDocument();
  ASSERT_TRUE(doc.has_value());
  EXPECT_EQ(doc->Serialize(), std::string(kDeclaration) +
                                  "<Data xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                                  "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"/>\n");
}

TEST_F(XmlDocumentTest, AppendFieldElementsWritesEachFieldThenALineBreak) {
  auto doc = XmlDocument::NewDataDocument();
  ASSERT_TRUE(doc.has_value());
  doc->AppendFieldElements(doc->Root(), FavoriteShow{}.fieldMap());
  FavoriteShow show;
  show.seriesid = "80001";
  show.DateAdded = "2012-05-03";
  show.PathToDetails = "/home/u/.local/share/Quorvel/80001.xml";
  const XmlNode series = doc->AppendElement(doc->Root(), "Series");
  doc->AppendFieldElements(series, show.fieldMap());
  EXPECT_EQ(doc->Serialize(),
            std::string(kDeclaration) + kDataStart +
                "<DateAdded/>\r\n<PathToDetails/>\r\n<seriesid/>\r\n"
                "<Series><DateAdded>2012-05-03</DateAdded>\r\n"
                "<PathToDetails>/home/u/.local/share/Quorvel/80001.xml</PathToDetails>\r\n"
                "<seriesid>80001</seriesid>\r\n</Series></Data>\n");
}

TEST_F(XmlDocumentTest, TextIsWrittenAsCharactersAndReadBackUnchanged) {
  const std::string hostile =
      "a < b && c > d \"q\" 'a' ]]> <!-- x --> &amp; &#65; line\r\nbreak\ttab \xc3\xa9";
  auto doc = XmlDocument::NewDataDocument();
  ASSERT_TRUE(doc.has_value());
  const XmlNode element = doc->AppendElement(doc->Root(), "Overview");
  doc->AppendText(element, hostile);
  ASSERT_TRUE(doc->Save(root() + "/text.xml"));
  const XmlDocument back = XmlDocument::LoadDocument(root() + "/text.xml");
  EXPECT_EQ(ReadChildText(back.Root(), "Overview"), hostile);
}

TEST_F(XmlDocumentTest, SaveReplacesTheFileAndLeavesNoTemporaryFile) {
  const std::string path = root() + "/data.xml";
  WriteFile(path, "old");
  auto doc = XmlDocument::NewDataDocument();
  ASSERT_TRUE(doc.has_value());
  ASSERT_TRUE(doc->Save(path));
  EXPECT_EQ(ReadFile(path), doc->Serialize());
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(root())) ++entries;
  EXPECT_EQ(entries, 4) << "data, config, cache and data.xml only";
}

TEST_F(XmlDocumentTest, SaveRemovesTemporaryFilesLeftByAnInterruptedSave) {
  const std::string path = root() + "/favorites.xml";
  const std::string stale = path + ".a1B2c3", fresh = path + ".Zz9Yy8", other = path + ".bak";
  for (const auto& file : {stale, fresh, other}) WriteFile(file, "<Data>");
  // Older than any save in progress could be.
  const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(10);
  std::filesystem::last_write_time(stale, old);
  std::filesystem::last_write_time(other, old);
  auto doc = XmlDocument::NewDataDocument();
  ASSERT_TRUE(doc.has_value());
  ASSERT_TRUE(doc->Save(path));
  EXPECT_FALSE(test::FileExists(stale));
  EXPECT_TRUE(test::FileExists(fresh)) << "a save in progress elsewhere is left alone";
  EXPECT_TRUE(test::FileExists(other)) << "only names the saver makes are removed";
}

TEST_F(XmlDocumentTest, SaveIntoAFolderThatCannotExistFails) {
  WriteFile(root() + "/plain-file", "x");
  auto doc = XmlDocument::NewDataDocument();
  ASSERT_TRUE(doc.has_value());
  EXPECT_FALSE(doc->Save(root() + "/plain-file/data.xml"));
  EXPECT_FALSE(doc->Save(root() + "/no-such-folder/data.xml"));
  EXPECT_FALSE(doc->Save(""));
  EXPECT_EQ(ReadFile(root() + "/plain-file"), "x");
}

TEST_F(XmlDocumentTest, SaveOverAFolderFailsAndKeepsIt) {
  std::filesystem::create_directory(root() + "/taken.xml");
  WriteFile(root() + "/taken.xml/inside", "kept");
  auto doc = XmlDocument::NewDataDocument();
  ASSERT_TRUE(doc.has_value());
  EXPECT_FALSE(doc->Save(root() + "/taken.xml"));
  EXPECT_EQ(ReadFile(root() + "/taken.xml/inside"), "kept");
}

}  // namespace
}  // namespace quorvel
