#include "smileys/smileys_model.h"

#include "smileys/smiley_list_fetch.h"
#include "smileys/smileys_texts.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "text/line_file.h"

namespace media {

std::string SmileysWindowCaption(bool russian) {
  return russian ? text::W("Дополнительные смайлы") : "Additional smiles";
}

SmileysModel::SmileysModel(SmileysSettings settings, SmileysView& view, SmileysHost& host,
                           TextDownloader& downloader)
    : settings_(std::move(settings)), view_(view), host_(host), downloader_(downloader) {}

SmileysModel::~SmileysModel() = default;

void SmileysModel::Show() {
  view_.ShowIndex(SmileyIndexLine(host_.SmileyTable()));
  ShowGroup(0);
  // Nothing to choose from yet: the list is fetched by itself, once per
  // window (a list that loads empty does not ask again and again).
  if (host_.SmileyTable().empty() && !fetchedWhenEmpty_) {
    fetchedWhenEmpty_ = true;
    Refresh();
  }
}

void SmileysModel::ShowGroup(int group) { view_.ShowPictures(SmileyGroupLines(host_.SmileyTable(), group)); }

void SmileysModel::IndexLinkClicked(const std::string& target) {
  if (target == "read") {
    Refresh();
    return;
  }
  const auto group = text::ParseInt(target);
  if (group && (*group == kAllSmileyGroups || (*group >= 0 && *group < kSmileyGroupCount))) ShowGroup(*group);
}

void SmileysModel::PictureLinkClicked(const std::string& target) {
  const auto number = text::ParseInt(target);
  if (number) host_.InsertIntoMessageLine(SmileyCode(*number));
}

void SmileysModel::Refresh() {
  if (download_) return;
  view_.ShowPictures({text::Shown(smileys_texts::kReading)});
  download_ = downloader_.Start(settings_.chatDir + "straf.cgi?gol=1", settings_.zipEnable, *this);
  if (!download_) ShowError();
}

void SmileysModel::DownloadProgress(int64_t, int64_t) {}

void SmileysModel::DownloadActivity() { host_.DownloadActivity(); }

void SmileysModel::DownloadDone(const std::string& body) {
  host_.CountTraffic(static_cast<int64_t>(body.size()));
  // A list that could not be stored is reported, not shown as if it had
  // been taken.
  const bool stored = StoreSmileyList(settings_.programDir, body);
  download_.reset();
  if (!stored) {
    ShowError();
    return;
  }
  host_.ReloadSmileyTable();
  Show();
}

void SmileysModel::DownloadFailed() {
  download_.reset();
  ShowError();
}

void SmileysModel::ShowError() { view_.ShowPictures({text::Shown(smileys_texts::kReadError)}); }

}  // namespace media
