#include "setup/settings_texts.h"

namespace media {

const std::vector<SettingsCaption>& SettingsCaptions() {
  static const std::vector<SettingsCaption> captions = {
      {"SettingsDialog", "Настройки", "Settings"},
      {"Common", "Общие", "General"},
      {"ColorBox", "Шрифт", "Font"},
      {"BackCol", "Цвет фона:", "Back. color:"},
      {"LettCol", "Цвет букв:", "Letters color:"},
      {"Exam", "Пример текста", "Text example"},
      {"HelloBox", "Приветствие", "Greeting"},
      {"GameBox", "Игры", "Games"},
      {"HilightMoves", "Подсвечивать возможные ходы", "Hilight available moves"},
      {"Sex", "Пол", "Sex"},
      {"SayLab", "Сказать при входе:", "Say at entering:"},
      {"SayHnt", "Вместо своего ника можно использовать %s", "You can use %s instead of your nickname"},
      {"RemPass", "Запоминать пароль", "Remember password"},
      {"Translit", "Транслит", "Translit"},
      {"TranslCheck", "Включить транслитерацию", "Enable transliteration"},
      {"Defaults", "Вернуть по умолчанию", "Default settings"},
      {"OffLine", "Список друзей", "Friends list"},
      {"FrBox", "Друзья", "Friends"},
      {"OffBox", "Черный список", "Black list"},
      {"OffDel", "Удалить", "Delete"},
      {"BOffDel", "Удалить", "Delete"},
      {"AutoLab", "Автоматически добавлять тех, кому посылался приват",
       "Automatically add persons, private was sent to"},
      {"FiltLab", "Отсекать не только приват, но и список OnLine и общие сообщения",
       "Filter not only private, but Online list and all messages too"},
      {"FrNameLab", "Имя:", "Name:"},
      {"GoAwayLab", "Сообщать в ответ на приват:", "Answer on private message:"},
      {"ButAdd", "Добавить к друзьям", "Add to friends"},
      {"Notifications", "События", "Events"},
      {"SobLab", "Событие:", "Event:"},
      {"NoSnd", "Нет звука", "No sound"},
      {"StdSnd", "Стандартный звук", "Standard sound"},
      {"Caching", "Кэш", "Cache"},
      {"CachBox", "Метод кэширования", "Cache method"},
      {"NoCache", "Нет кэширования", "No caching"},
      {"IECache", "Кэширование Internet Explorer", "Internet Explorer caching"},
      {"MyCache", "Собственное кэширование", "Own caching"},
      {"UsPictLab", "Время хранения в кэше обычных картинок(дней):", "Lifetime of usual pictures in cache(days)"},
      {"QelPictLab", "Время хранения в кэше картинок QEL (дней):", "Lifetime of QEL pictures in cache(days)"},
      {"ClrCache", "Очистить собственный кэш", "Clear own cache"},
      {"Archive", "Архив", "Archive"},
      {"TabInfo", "Инфо", "Info"},
      {"TabServer", "Сервер", "Server"},
      {"ServerLab", "&Сервер:", "&Server:"},
      {"PortLab", "&Порт:", "&Port:"},
      {"ChatDirLab", "&Папка скриптов:", "Scripts &folder:"},
      {"ServerHint", "Новый адрес действует со следующего подключения.",
       "A new address applies from the next connection."},
      {"CreateArchive", "Создавать архив привата", "Create archive"},
      {"SndArchiving", "Авт. записывать в архив звуки", "Autom. archive sounds"},
      {"ZipEnable", "Сжатие HTTP-файлов при загрузке", "Compress HTTP-files at loading"},
      {"ButClrArchive", "Очистить архив", "Clear archive"},
      {"LabArLim", "Ограничить размер архива:", "Limit archive size with:"},
      {"LabArView", "Просматривать кусками по:", "View with pieces by:"},
      {"MegLab", "Мб", "Mb"},
      {"KilLab", "Кб", "Kb"},
      {"StealFocus", "Перехватывать фокус при приходе события", "Steal focus on an incoming event"},
      {"PlayNow", "Воспроизводить звуковые сообщения при поступлении", "Play sound messages on arrival"},
      {"Reaction", "Реакция на событие", "Reaction on event"},
      {"Sound", "Звук", "Sound"},
      {"ButOk", "Ок", "Ok"},
      {"ButCancel", "Отмена", "Cancel"},
      {"DivLab", "Символ-разделитель:", "Symbol-divider:"},
      {"FSLab", "Размер:", "Size:"},
      {"WavSnd", "Звуковой файл", "Sound file"},
      {"WavPlay", "Прослушать", "Listen"},
      {"SendInfo", "Послать серверу", "Send to server"},
  };
  return captions;
}

std::vector<std::string> SexItems(bool russian) {
  if (russian) return {"Не выбран", "Мужской", "Женский"};
  return {"Not selected", "Male", "Female"};
}

std::vector<std::string> EventItems(bool russian) {
  if (russian)
    return {"Любое сообщение", "Сообщение вам или с вашим именем", "Вход в OnLine кого-то из списка друзей",
            "Игровое сообщение"};
  return {"Any message", "Message to you or with your name", "Someone of your friends became online",
          "Game message"};
}

const char* TranslitDescription(bool russian) {
  return russian
             ? "Символ разделитель используется для разделения букв и удаляется из текста после транслитерации. "
               "Не используйте в этой роли '<', '>', ' '. Для того, чтобы не транслитерировать часть текста, "
               "выделите эту часть квадратными скобками. Пример(_ как разделитель): My byli zhutko vesely_e, "
               "kogda uznali, chto ego imya - [John]."
             : "Symbol-divider is used as divider for letters and it is removed from text after "
               "transliteration. Do not use '<', '>', ' ' as divider. For skipping some part of text from "
               "transliteration, embrace it with square brackets. Example(_ as divider): My byli zhutko "
               "vesely_e, kogda uznali, chto ego imya - [John].";
}

const char* SoundChooserTitle(bool russian) { return russian ? "Выберите звуковой файл" : "Select sound file"; }

// "Звуки (*.wav)|*.wav": Qt writes the pattern inside the description.
const char* SoundChooserFilter(bool russian) { return russian ? "Звуки (*.wav)" : "Sounds (*.wav)"; }

}  // namespace media
