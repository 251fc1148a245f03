#include "window/media_windows.h"

#include <QGuiApplication>

#include "archive/ui/archive_viewer.h"
#include "http/http_text_download.h"
#include "smileys/ui/smileys_window.h"
#include "settings/settings.h"
#include "chat/chat_session.h"
#include "chat/link_actions.h"
#include "chat/smiley_codes.h"

namespace window {
namespace {

bool ShiftHeld() { return bool(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier); }

}  // namespace

MediaWindows::MediaWindows(ChatSession& session, MessageLineAccess line, QObject* context)
    : session_(session),
      line_(std::move(line)),
      http_(std::make_unique<media::HttpTextDownloader>(context)),
      downloader_(http_.get()) {}

MediaWindows::~MediaWindows() { CloseAll(); }

bool MediaWindows::OpenArchiveLink(const std::string& target) {
  const std::optional<int> number = media::ArchiveNumberOf(target);
  if (!number) return false;
  OpenArchive(*number);
  return true;
}

void MediaWindows::OpenArchive(int number) {
  const settings::Settings& s = session_.Settings();
  media::ArchiveViewerContext context;
  context.settings = {s.ProgramDir, s.ArcView, s.ChatDir, s.ZipEnable, s.UserName};
  context.fontSize = s.FontSize;
  context.russian = s.RussianInterface;
  media::ArchiveViewer::Open(number, context, *this, *downloader_);
}

void MediaWindows::OpenSmileys() {
  const settings::Settings& s = session_.Settings();
  media::SmileysWindow::Open({s.ProgramDir, s.ChatDir, s.ZipEnable}, s.RussianInterface, *this, *downloader_);
}

void MediaWindows::CloseAll() {
  media::ArchiveViewer::CloseAll();
  media::SmileysWindow::CloseCurrent();
}

void MediaWindows::LinkAction(const std::string& target) {
  line_.apply(session_.Chat().LinkAction(target, line_.state(), ShiftHeld()));
}

void MediaWindows::PrivateLink(const std::string& target) {
  line_.apply(session_.Chat().PrivLink(target, line_.state(), ShiftHeld()));
}

void MediaWindows::InsertIntoMessageLine(const std::string& text) {
  line_.apply(InsertText(line_.state(), text));
}

void MediaWindows::CountTraffic(int64_t bytes) {
  session_.AddPictureTraffic(static_cast<uint32_t>(bytes), 0, false, true);
}

void MediaWindows::DownloadActivity() { session_.AddPictureTraffic(0, 0, false, true); }

std::string MediaWindows::CodesToMarkup(const std::string& text) { return session_.Chat().CodesToMarkup(text, false); }

const media::SmileyMap& MediaWindows::SmileyTable() const { return AppSmileyTable(); }

void MediaWindows::ReloadSmileyTable() {
  LoadSmileyTable(SmileyFilePath(session_.Settings().ProgramDir), AppSmileyTable());
}

}  // namespace window
