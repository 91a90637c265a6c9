#include "shows/RssChannel.h"

#include "core/NoThrow.h"
#include "core/Places.h"
#include "core/XmlDocument.h"

namespace quorvel {
namespace {

RssItem ReadItem(XmlNode node) {
  RssItem item;
  item.title = ReadChildText(node, "title");
  item.link = ReadChildText(node, "link");
  item.guid = ReadChildText(node, "guid");
  item.pubDate = ReadChildText(node, "pubDate");
  item.description = ReadChildText(node, "description");
  // The feed's own elements are known by position and local name; the prefix is not compared.
  item.showid = ReadChildTextAt(node, 5, "showid");
  item.showname = ReadChildTextAt(node, 6, "showname");
  item.episode = ReadChildTextAt(node, 7, "episode");
  item.infohash = ReadChildTextAt(node, 8, "infohash");
  item.rawtitle = ReadChildTextAt(node, 9, "rawtitle");
  item.enclosure = ReadChildAttribute(node, "enclosure", "url");
  return item;
}

}  // namespace

FieldMap RssChannel::fieldMap() const {
  static const std::pair<const char*, std::string RssChannel::*> kTable[] = {
      {"description", &RssChannel::description},
      {"link", &RssChannel::link},
      {"title", &RssChannel::title},
      {"ttl", &RssChannel::ttl},
  };
  return FieldMap::Bind(*this, kTable);
}

bool RssChannel::ReadFeed() {
  return ReadFeedFrom(GetFeedUrl());
}

bool RssChannel::ReadFeedFrom(const std::string& source) {
  const XmlDocument document = XmlDocument::LoadDocument(source);
  // Out of memory: false, and the items read so far stay.
  return NoThrow(false, [&] {
    const XmlNode channel = document.SelectSingleNode("rss/channel");
    title = ReadChildText(channel, "title");
    link = ReadChildText(channel, "link");
    ttl = ReadChildText(channel, "ttl");
    description = ReadChildText(channel, "description");
    const std::vector<XmlNode> nodes = document.SelectNodes("*/*/item");
    if (nodes.empty()) return false;
    for (XmlNode node : nodes) items.push_back(ReadItem(node));
    return true;
  });
}

std::string GetFeedUrl() {
  return "http://" + FeedHost() + "/other/shows.rss";
}

}  // namespace quorvel
