#include "chat/captions.h"

namespace window {

const std::vector<Caption>& MainWindowCaptions() {
  static const std::vector<Caption> captions = {
      {"PrevLab", "Просмотр сообщения:", "Preview:"},
      {"TransLab", "Транслит:", "Translit:"},
      {"PrivLab", "Приват для:", "Private for:"},
      {"MessLab", "Текст сообщения:", "Message text:"},
      {"ClearCommon", "Очистить общее окно", "Clear public window"},
      {"ClearPrivate", "Очистить частное окно", "Clear private window"},
      {"Say", "Сказать", "Say"},
      {"SendWav.hint", "Нажмите и удерживайте пока идет запись", "Press and hold while recording"},
      {"UserInfo.hint", "Информация о собеседнике", "Info about interlocutor"},
      {"MenConn", "Подключение", "Connection"},
      {"MenuConnect", "Установить соединение", "Connect"},
      {"MenuDisconnect", "Разорвать соединение", "Disconnect"},
      {"MenuChangeName", "Войти под другим именем ...", "Connect as another user ..."},
      {"MenuReg", "Зарегистрироваться ...", "Register ..."},
      {"MenuSetup", "Настройки ...", "Settings ..."},
      {"MenuNoSound", "Отключить звук", "Disable sound"},
      {"MenuExit", "Выход", "Exit"},
      {"MenView", "Вид", "View"},
      {"MenPreview", "Область просмотра", "Preview area"},
      {"MenRefresh", "Обновить картинки", "Refresh pictures"},
      {"MenAnimation", "Анимация картинок", "Pictures animation"},
      {"MenNotifications", "Уведомления на рабочем столе", "Desktop notifications"},
      {"MenTrayIcon", "Значок в области уведомлений", "Tray icon"},
      {"MenuAbout", "О программе", "About"},
      {"MenLanguage", "Язык", "Language"},
      {"MenGames", "Игры", "Games"},
      {"MenAdmin", "Модератор", "Moderator"},
      {"DebugMode", "Режим отладки", "Debug mode"},
      {"MenFine", "Штраф через HTML", "HTML Fine"},
      {"MenEnIp", "Вкл. контроль по IP", "Enable IP control"},
      {"MenNS1", "Не пускать на сервер", "No server access"},
      {"MenNS2", "Чтение архивов", "Reading of archives"},
      {"MenNS3", "Чтение всего", "Reading of all"},
      {"MenNS4", "Только приват", "Only private"},
      {"MenFineS", "Штрафовать", "Fine"},
      {"MenFineS1", "Убрать штраф", "Remove fine"},
      {"MenFineS2", "10 мин", "10 min"},
      {"MenFineS3", "30 мин", "30 min"},
      {"MenFineS4", "1 час", "1 hour"},
      {"MenFineS5", "1 сутки", "1 day"},
      {"MenFineS6", "10 суток", "10 days"},
      {"MenFineS7", "1 год", "1 year"},
      {"MenIP", "Получить IP", "Get IP"},
      {"MenNewChess", "Новая партия в шахматы", "New chess game"},
      {"MenLoadChess", "Загрузить последнюю партию", "Load last chess game"},
      {"MenNewCheckers", "Новая партия в шашки", "New checkers game"},
      {"MenLoadCheckers", "Загрузить последнюю партию", "Load last checkers game"},
      {"MenNewReversi", "Новая партия в реверси", "New reversi game"},
      {"MenLoadReversi", "Загрузить последнюю партию", "Load last reversi game"},
      {"AddSmile", "Дополнительные", "Additional"},
      {"MenPrivate", "Личное", "Private"},
      {"ReadPrivInfo", "Прочитать файл личной информации", "Download private info file"},
      {"SavePrivInfo", "Записать файл личной информации", "Upload private info file"},
      {"EditMyFoto", "Редактировать мои фотки", "Edit my photos"},
      {"SendBuf", "Картинки из буфера обмена", "Pictures from clipboard"},
      {"SendPic", "Картинки из файла", "Pictures from file"},
      {"DirectLab", "Прямое соединение", "Direct link"},
  };
  return captions;
}

std::string WindowTitle(bool russian, std::string_view siteName) {
  return std::string(russian ? "Чат на " : "Chat on ") + std::string(siteName);
}

}  // namespace window
