#include "window/media_windows.h"

#include <QDateTime>
#include <QGuiApplication>

#include "archive/ui/archive_viewer.h"
#include "http/http_text_download.h"
#include "markup/markup_document.h"
#include "smileys/smiley_list_fetch.h"
#include "smileys/ui/smileys_window.h"
#include "window/window_places.h"
#include "settings/settings.h"
#include "chat/chat_services.h"
#include "chat/link_actions.h"
#include "chat/smiley_codes.h"

namespace window {
namespace {

bool ShiftHeld() { return bool(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier); }

}  // namespace

MediaWindows::MediaWindows(ChatServices& chat, MessageLineAccess line, std::function<void(uint32_t)> countTraffic,
                           QObject* context)
    : chat_(chat),
      line_(std::move(line)),
      countTraffic_(std::move(countTraffic)),
      http_(std::make_unique<media::HttpTextDownloader>(context)),
      downloader_(http_.get()) {
  // Through downloader_ when it is called, so SetDownloader reaches it too.
  struct Forward : media::TextDownloader {
    media::TextDownloader** to;
    explicit Forward(media::TextDownloader** t) : to(t) {}
    std::unique_ptr<media::TextDownload> Start(const std::string& url, bool zip,
                                               media::TextDownloadReceiver& receiver) override {
      return (*to)->Start(url, zip, receiver);
    }
  };
  forward_ = std::make_unique<Forward>(&downloader_);
  listFetch_ = std::make_unique<media::SmileyListFetch>(static_cast<media::SmileysHost&>(*this), *forward_,
                                                        [] { return QDateTime::currentSecsSinceEpoch(); });
  // The archive and smileys windows open where the last of their kind was.
  media::ArchiveViewer::OnPlace = [this](QWidget& w, int offset) {
    return RestorePlace(chat_.Settings(), "Archive", w, offset);
  };
  media::ArchiveViewer::OnClosing = [this](const QWidget& w, int offset) {
    KeepPlace(chat_.Settings(), "Archive", w, offset);
  };
  media::SmileysWindow::OnPlace = [this](QWidget& w) { return RestorePlace(chat_.Settings(), "Smileys", w); };
  media::SmileysWindow::OnClosing = [this](const QWidget& w) { KeepPlace(chat_.Settings(), "Smileys", w); };
}

MediaWindows::~MediaWindows() {
  CloseAll();
  media::ArchiveViewer::OnPlace = nullptr;
  media::ArchiveViewer::OnClosing = nullptr;
  media::SmileysWindow::OnPlace = nullptr;
  media::SmileysWindow::OnClosing = nullptr;
}

bool MediaWindows::OpenArchiveLink(const std::string& target) {
  const std::optional<int> number = media::ArchiveNumberOf(target);
  if (!number) return false;
  OpenArchive(*number);
  return true;
}

void MediaWindows::OpenArchive(int number) {
  const settings::Settings& s = chat_.Settings();
  media::ArchiveViewerContext context;
  context.settings = {s.ProgramDir, s.ArcView, s.ChatDir, s.ZipEnable, s.UserName};
  context.fontSize = s.FontSize;
  context.russian = s.RussianInterface;
  media::ArchiveViewer::Open(number, context, *this, *downloader_);
}

void MediaWindows::OpenSmileys() {
  const settings::Settings& s = chat_.Settings();
  media::SmileysWindow::Open({s.ProgramDir, s.ChatDir, s.ZipEnable}, s.RussianInterface, *this, *downloader_);
}

void MediaWindows::PublicLinesShown(const markup::MarkupDocument& pane, int first, int count) {
  const settings::Settings& s = chat_.Settings();
  for (int i = std::max(first, 0); i < first + count && size_t(i) < pane.LineCount(); ++i)
    listFetch_->LineShown(pane.lines()[size_t(i)]->source, {s.ProgramDir, s.ChatDir, s.ZipEnable});
}

void MediaWindows::CloseAll() {
  media::ArchiveViewer::CloseAll();
  media::SmileysWindow::CloseCurrent();
}

void MediaWindows::LinkAction(const std::string& target) {
  line_.link(target, false, ShiftHeld());
}

void MediaWindows::PrivateLink(const std::string& target) {
  line_.link(target, true, ShiftHeld());
}

void MediaWindows::InsertIntoMessageLine(const std::string& text) {
  line_.apply(InsertText(line_.state(), text));
}

void MediaWindows::CountTraffic(int64_t bytes) { countTraffic_(static_cast<uint32_t>(bytes)); }

void MediaWindows::DownloadActivity() { countTraffic_(0); }

std::string MediaWindows::CodesToMarkup(const std::string& text) { return chat_.ChatTextMarkup(text); }

const media::SmileyMap& MediaWindows::SmileyTable() const { return AppSmileyTable(); }

void MediaWindows::ReloadSmileyTable() {
  LoadSmileyTable(SmileyFilePath(chat_.Settings().ProgramDir), AppSmileyTable());
}

}  // namespace window
