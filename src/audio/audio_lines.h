#pragma once
// The texts audio messages put on the wire, into the private pane and into
// the private archive.  All Windows-1251.
#include <string>
#include <string_view>
#include <vector>

namespace audio {

// "f¦" + escaped recipients + "¦" + escaped block with marker "0" + "¦\n".
std::string DataLine(std::string_view recipients, std::string_view block);
// "f¦" + escaped recipients + "¦1¦\n".
std::string EndLine(std::string_view recipients);

// The pane line of a sent and of a received sound, with their action links.
std::string SentSoundLine(std::string_view recipients, int64_t total, int id);
std::string ReceivedSoundLine(std::string_view sender, int64_t total, int id);

// The replay link of a kept file, with its leading blank.
std::string ReplayLink(std::string_view base, int number);

// The archive entries of a kept own and received sound.
std::string OwnArchiveEntry(std::string_view backWire, std::string_view textWire,
                            std::string_view name, std::string_view link);
std::string ReceivedArchiveEntry(std::string_view name, std::string_view link);

// The part of a pane line that names sound `id`: its play link, and the
// text from which its archive link runs to the end of the line.
std::string PlayLinkOf(int id);
// The Play link and the start of the archive link of sound `id` in both
// interface languages, to find its lines whichever language wrote them.
std::vector<std::string> PlayLinksOf(int id);
std::vector<std::string> ArchiveLinkStartsOf(int id);

}  // namespace audio
