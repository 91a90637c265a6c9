#include "shows/RssChannel.h"

#include <gtest/gtest.h>

#include "support/Sandbox.h"
#include "support/TestServer.h"

namespace quorvel {
namespace {

using test::FixturePath;

class RssChannelTest : public test::SandboxedTest {};

TEST_F(RssChannelTest, ReadsTheChannelAndEveryItemInDocumentOrder) {
  RssChannel channel;
  ASSERT_TRUE(channel.ReadFeedFrom(FixturePath("feed/shows.rss")));
  EXPECT_EQ(channel.title, "showRSS: test feed");
  EXPECT_EQ(channel.link, "http://showrss.info/");
  EXPECT_EQ(channel.ttl, "30");
  EXPECT_EQ(channel.description, "Recently released episodes");
  ASSERT_EQ(channel.items.size(), 3u);
  EXPECT_EQ(channel.items[0].title, "Item A 1x01");
  EXPECT_EQ(channel.items[1].title, "Item B & Friends 2x03");
  EXPECT_EQ(channel.items[2].title, "Item C 3x10");
  const RssItem& b = channel.items[1];
  EXPECT_EQ(b.link, "http://feeds.example/b");
  EXPECT_EQ(b.guid, "guid-b");
  EXPECT_EQ(b.pubDate, "Mon, 06 May 2024 11:00:00 +0000");
  EXPECT_EQ(b.description, "New episode of Item B");
  EXPECT_EQ(b.showid, "102");
  EXPECT_EQ(b.showname, "Item B & Friends");
  EXPECT_EQ(b.episode, "5002");
  EXPECT_EQ(b.infohash, "BBBB2222");
  EXPECT_EQ(b.rawtitle, "Item.B.S02E03.1080p");
  EXPECT_EQ(b.enclosure, "http://feeds.example/b.torrent");
}

TEST_F(RssChannelTest, FeedFieldsOutOfPlaceStayEmpty) {
  RssChannel channel;
  ASSERT_TRUE(channel.ReadFeedFrom(FixturePath("feed/shows-misordered.rss")));
  ASSERT_EQ(channel.items.size(), 2u);
  const RssItem& shifted = channel.items[0];
  EXPECT_EQ(shifted.title, "Shifted 1x01");
  EXPECT_EQ(shifted.description, "");
  EXPECT_EQ(shifted.showid, "");
  EXPECT_EQ(shifted.showname, "");
  EXPECT_EQ(shifted.episode, "");
  EXPECT_EQ(shifted.infohash, "");
  EXPECT_EQ(shifted.rawtitle, "");
  EXPECT_EQ(shifted.enclosure, "http://feeds.example/shifted.torrent");
  const RssItem& bare = channel.items[1];
  EXPECT_EQ(bare.showid, "202");
  EXPECT_EQ(bare.rawtitle, "No.Enclosure.S01E02");
  EXPECT_EQ(bare.enclosure, "");
}

TEST_F(RssChannelTest, ItemsAreTheGrandchildrenOfTheRootWhateverTheirNames) {
  test::WriteFile(root() + "/feed.xml",
                  "<feed><list><item><title>one</title></item></list>"
                  "<other><item><title>two</title></item></other>"
                  "<item><title>not two deep</title></item></feed>");
  RssChannel channel;
  ASSERT_TRUE(channel.ReadFeedFrom(root() + "/feed.xml"));
  ASSERT_EQ(channel.items.size(), 2u);
  EXPECT_EQ(channel.items[1].title, "two");
  EXPECT_EQ(channel.title, "") << "no rss/channel";
}

TEST_F(RssChannelTest, AChannelWithoutItemsIsFalseButKeepsItsFields) {
  test::WriteFile(root() + "/empty.rss",
                  "<rss><channel><title>Quiet</title><ttl>5</ttl></channel></rss>");
  RssChannel channel;
  EXPECT_FALSE(channel.ReadFeedFrom(root() + "/empty.rss"));
  EXPECT_EQ(channel.title, "Quiet");
  EXPECT_TRUE(channel.items.empty());
}

TEST_F(RssChannelTest, TheFeedComesFromTheFeedHost) {
  test::TestServer server;
  ASSERT_TRUE(server.running());
  test::ScopedRemoteHosts hosts(server);
  EXPECT_EQ(GetFeedUrl(), "http://" + server.host() + "/other/shows.rss");
  RssChannel channel;
  ASSERT_TRUE(channel.ReadFeed());
  EXPECT_EQ(channel.items.size(), 3u);
  EXPECT_EQ(server.hits(), std::vector<std::string>{"/other/shows.rss"});
}

}  // namespace
}  // namespace quorvel
